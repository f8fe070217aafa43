#include "report_content.h"

#include "colors.h"
#include "json.h"
#include "text_util.h"

namespace {

QString MemberText(const TJsonValue* Obj, const QString& Key, const QString& Default = QString())
{
    return Obj ? Obj->S(Key, Default) : Default;
}

qint64 MemberInt(const TJsonValue* Obj, const QString& Key)
{
    return Obj ? Obj->I(Key, 0) : 0;
}

const TJsonValue* Item(const TJsonValue* Arr, int Index)
{
    return Arr && Arr->IsArray() ? Arr->Items(Index) : nullptr;
}

int ItemCount(const TJsonValue* Arr)
{
    return Arr && Arr->IsArray() ? Arr->Count() : 0;
}

const TJsonValue* ArrayMember(const TJsonValue* Data, const QString& Key)
{
    const TJsonValue* V = Data ? Data->Get(Key) : nullptr;
    return V && V->IsArray() ? V : nullptr;
}

QString SpanText(const QString& First, const QString& Last)
{
    if (First.isEmpty() && Last.isEmpty())
        return EmDash();
    return First.left(10) + QStringLiteral(" ~ ") + Last.left(10);
}

}  // namespace

QString EmDash()
{
    return QStringLiteral("\u2014");
}

QString DefaultReportTitle()
{
    return QStringLiteral("浏览器访问记录报告");
}

qint64 DivRoundHalfEven(qint64 Num, qint64 Den)
{
    const qint64 Q = Num / Den;
    const qint64 R = Num % Den;
    if (R > Den - R)
        return Q + 1;
    if (R == Den - R)
        return Q + (Q & 1);
    return Q;
}

QString ElementText(const TJsonValue* Element)
{
    if (!Element)
        return QString();
    const TJsonKind K = Element->Kind();
    return K == jkString || K == jkNumber ? Element->AsString() : QString();
}

qint32 JsonInt(const TJsonValue* Element)
{
    qint64 V = 0;
    if (!ParseDecimal(ElementText(Element), V) || V < INT32_MIN || V > INT32_MAX)
        return 0;
    return qint32(V);
}

QString UrlHost(const QString& Url)
{
    QString S = Url;
    const qsizetype Scheme = S.indexOf(QStringLiteral("://"));
    if (Scheme >= 0)
        S = S.mid(Scheme + 3);
    const qsizetype Slash = S.indexOf(u'/');
    if (Slash >= 0)
        S.truncate(Slash);
    const qsizetype Query = S.indexOf(u'?');
    if (Query >= 0)
        S.truncate(Query);
    return S;
}

TRankEntries ReadRankList(const TJsonValue* Data, const QString& Key, bool Wide, QStringList* PageUrls)
{
    TRankEntries Out;
    const TJsonValue* Arr = ArrayMember(Data, Key);
    const int Need = Wide ? 3 : 2;
    for (int I = 0, N = ItemCount(Arr); I < N; ++I) {
        const TJsonValue* El = Arr->Items(I);
        if (ItemCount(El) < Need)
            continue;
        TRankEntry E;
        if (Wide) {
            const QString Url = ElementText(El->Items(0));
            E.Name = ElementText(El->Items(1));
            if (E.Name.isEmpty())
                E.Name = Url;
            E.Sub = UrlHost(Url);
            E.Value = JsonInt(El->Items(2));
            if (PageUrls)
                PageUrls->append(Url);
        } else {
            E.Name = ElementText(El->Items(0));
            E.Value = JsonInt(El->Items(1));
        }
        E.Color = kDefaultColor;
        Out.append(E);
    }
    return Out;
}

namespace {

// The detail line joins only the parts that have text, so an empty range,
// scope or generation time leaves no stray separator behind.
QString JoinPresent(const QStringList& Parts)
{
    QStringList Present;
    for (const QString& Part : Parts)
        if (!TrimBlanks(Part).isEmpty())
            Present << TrimBlanks(Part);
    return Present.join(PartSeparator());
}

}  // namespace

TReportContent ReadReportContent(const TJsonValue* Data, bool NoData)
{
    TReportContent M;
    M.NoData = NoData;
    M.KpiVal.fill(EmDash());
    M.InfoVal.fill(EmDash());
    M.BrsInfoVal.fill(EmDash());

    // Header.
    M.Title = MemberText(Data, QStringLiteral("title"), DefaultReportTitle());
    const QString Range = MemberText(Data, QStringLiteral("range"));
    const QString Scope = MemberText(Data, QStringLiteral("scope"));
    const QString Generated = MemberText(Data, QStringLiteral("generated"));
    M.Caption = QStringLiteral("采集报告 \u00B7 ") + M.Title;
    const QString GeneratedPart = TrimBlanks(Generated).isEmpty() ? QString() : QStringLiteral("生成于 ") + Generated;
    M.Detail = BoundedText(JoinPresent({Range, Scope, GeneratedPart}));

    // Key figures: a stats member of any kind counts as present.
    const TJsonValue* Stats = Data ? Data->Get(QStringLiteral("stats")) : nullptr;
    qint64 Total = 0;
    if (Stats) {
        Total = Stats->I(QStringLiteral("total"), 0);
        M.KpiVal[0] = FormatCount(Total);
        M.KpiVal[1] = FormatCount(MemberInt(Stats, QStringLiteral("uniqueUrl")));
        M.KpiVal[2] = FormatCount(MemberInt(Stats, QStringLiteral("uniqueDomain")));
        M.KpiVal[3] = FormatCount(MemberInt(Stats, QStringLiteral("activeDays")));
        const QString Peak = MemberText(Stats, QStringLiteral("peak"));
        M.KpiVal[4] = Peak.isEmpty() ? EmDash() : Peak;
        M.First = MemberText(Stats, QStringLiteral("first"));
        M.Last = MemberText(Stats, QStringLiteral("last"));
    }
    M.Total = Total;
    M.CountText = FormatCount(Total) + QStringLiteral(" 次访问");

    // Heat: only the first 7 rows and 24 hours count; anything missing is 0.
    if (const TJsonValue* Heat = ArrayMember(Data, QStringLiteral("heat"))) {
        for (int R = 0; R < 7; ++R) {
            const TJsonValue* Row = Heat->Items(R);
            for (int H = 0; H < 24; ++H)
                M.Heat[R][H] = JsonInt(Item(Row, H));
        }
    }

    // Trend.
    if (const TJsonValue* Days = ArrayMember(Data, QStringLiteral("days")); Days && Days->Count() > 0) {
        for (int I = 0, N = Days->Count(); I < N; ++I) {
            const TJsonValue* El = Days->Items(I);
            TDayPoint P;
            if (ItemCount(El) >= 2) {
                P.Text = ElementText(El->Items(0));
                P.Count = JsonInt(El->Items(1));
            }
            M.Days.append(P);
        }
        M.TrendSpan = QStringLiteral("从 %1 到 %2，共 %3 个时间点")
                          .arg(M.Days.first().Text, M.Days.last().Text, QString::number(M.Days.size()));
    } else {
        M.TrendSpan = QStringLiteral("暂无按日统计数据");
    }

    // Rankings.
    M.Doms = ReadRankList(Data, QStringLiteral("domains"), false);
    M.Pgs = ReadRankList(Data, QStringLiteral("pages"), true, &M.PageUrls);
    M.Kws = ReadRankList(Data, QStringLiteral("keywords"), false);
    M.Brs = ReadRankList(Data, QStringLiteral("browsers"), false);
    M.BrCount = int(M.Brs.size());

    // Categories: short elements still give a (black, empty) slice.
    if (const TJsonValue* Cats = ArrayMember(Data, QStringLiteral("cats"))) {
        for (int I = 0, N = Cats->Count(); I < N; ++I) {
            const TJsonValue* El = Cats->Items(I);
            TSlice S;
            S.Color = Rgb(0, 0, 0);
            if (ItemCount(El) >= 3) {
                S.Name = ElementText(El->Items(0));
                S.Value = JsonInt(El->Items(1));
                S.Color = ColorFromHex(ElementText(El->Items(2)), clAccent);
            }
            M.Cats.append(S);
        }
    }

    // Sources.
    int Ok = 0;
    int Failed = 0;
    M.Sources = ReadSourceRows(Data);
    for (TSourceRow& R : M.Sources) {
        R.Count = qint32(quint32(quint64(R.Count)));
        (R.Ok ? Ok : Failed)++;
    }

    // Overview info card.
    if (!M.Sources.isEmpty())
        M.InfoVal[0] = QStringLiteral("%1 个（有效 %2）").arg(M.Sources.size()).arg(Ok);
    M.InfoVal[1] = Failed > 0 ? QStringLiteral("%1 个").arg(Failed) : QStringLiteral("无");
    M.InfoVal[2] = M.KpiVal[3] + QStringLiteral(" 天");
    qint64 Average = 0;
    if (Total > 0 && Stats) {
        const qint64 Active = Stats->I(QStringLiteral("activeDays"), 0);
        if (Active > 0)
            Average = DivRoundHalfEven(Total, Active);
    }
    M.InfoVal[3] = FormatCount(Average) + QStringLiteral(" 次");
    M.InfoVal[4] = SpanText(M.First, M.Last);
    M.InfoVal[5] = Generated;

    // Browser page card repeats the overview figures.
    for (int I = 0; I < 5; ++I)
        M.BrsInfoVal[I] = M.InfoVal[I];
    M.BrsNote = QStringLiteral("共 %1 种浏览器来源；同一浏览器的多个用户配置已合并计数，明细里仍按配置分别标注")
                    .arg(M.BrCount);

    M.Truncated = Data && Data->B(QStringLiteral("truncated"), false);
    if (NoData || Total == 0)
        M.Detail = BoundedText(JoinPresent({Range, Scope}));
    return M;
}

QString ReportStatusText(const TReportContent& Content, qint64 Shown)
{
    if (Content.NoData || Content.Total == 0)
        return QStringLiteral("时间范围内没有可用记录");
    QString S = Content.Truncated
                    ? QStringLiteral("明细按上限抽样：显示 %1 条 / 共 %2 条").arg(FormatCount(Shown), FormatCount(Content.Total))
                    : QStringLiteral("明细 %1 条").arg(FormatCount(Shown));
    if (!Content.First.isEmpty() || !Content.Last.isEmpty())
        S += PartSeparator() + QStringLiteral("记录跨度 ") + Content.First.left(10) + QStringLiteral(" ~ ") + Content.Last.left(10);
    return S;
}

QStringList ReportSourceCells(const TSourceRow& Row)
{
    return {Row.Name, Row.Profile, Row.Status, QString::number(Row.Count), Row.Msg, Row.Path};
}
