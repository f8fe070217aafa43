#include "source_list.h"

#include "json.h"

#include <algorithm>

QString PartSeparator()
{
    return QStringLiteral("\u3000\u00B7\u3000");
}

TSourceRow ReadSourceRow(const TJsonValue* Element)
{
    TSourceRow R;
    if (!Element)
        return R;
    R.Name = Element->S(QStringLiteral("name"), QString());
    R.Profile = Element->S(QStringLiteral("profile"), QString());
    R.Status = Element->S(QStringLiteral("status"), QString());
    R.Path = Element->S(QStringLiteral("path"), QString());
    R.Msg = Element->S(QStringLiteral("msg"), QString());
    R.Count = Element->I(QStringLiteral("count"), 0);
    R.Ok = Element->B(QStringLiteral("ok"), false);
    return R;
}

TSourceRows ReadSourceRows(const TJsonValue* Data)
{
    TSourceRows Rows;
    const TJsonValue* Sources = Data ? Data->Get(QLatin1StringView("sources")) : nullptr;
    if (Sources && Sources->IsArray())
        for (int I = 0, N = Sources->Count(); I < N; ++I)
            Rows.append(ReadSourceRow(Sources->Items(I)));
    return Rows;
}

TSourceList ReadSourceList(const TJsonValue* Data)
{
    TSourceList L;
    L.Rows = ReadSourceRows(Data);
    const auto Usable = std::count_if(L.Rows.begin(), L.Rows.end(), [](const TSourceRow& R) { return R.Ok; });
    if (Data)
        L.Summary = (QStringLiteral("共 %1 个数据源，其中 %2 个可用（已采集或无记录）") + PartSeparator()
                     + QStringLiteral("生成于 %3"))
                        .arg(QString::number(L.Rows.size()), QString::number(Usable),
                             Data->S(QLatin1StringView("generated")));
    return L;
}

QStringList SourceListTitles()
{
    return {QStringLiteral("浏览器"), QStringLiteral("配置/用户"), QStringLiteral("状态"), QStringLiteral("条数"),
            QStringLiteral("库文件")};
}

QStringList SourceListCells(const TSourceRow& Row)
{
    return {Row.Name, Row.Profile, Row.Status, QString::number(Row.Count), Row.Path};
}

QString SourceListText(const TSourceRows& Rows)
{
    const QString Eol = QStringLiteral("\r\n");
    QString Text = SourceListTitles().join(u'\t') + Eol;
    for (const TSourceRow& Row : Rows)
        Text += SourceListCells(Row).join(u'\t') + Eol;
    return Text;
}
