#include "collector_options.h"

#include "collector_contract.h"
#include "text_util.h"

namespace {

bool StartsWithSwitch(const QString& Arg, const char* Prefix, QString& Value)
{
    const QLatin1String P(Prefix);
    if (!Arg.startsWith(P, Qt::CaseInsensitive))
        return false;
    Value = Arg.mid(P.size());
    return true;
}

bool ReadCount(const QString& Text, qint64 Min, qint64 Max, qint64& Value)
{
    return ParseDecimal(Text.trimmed(), Value) && Value >= Min && Value <= Max;
}

} // namespace

const QStringList& KnownSourceIds()
{
    static const QStringList Ids = [] {
        QStringList L;
        for (const TSourceDef& D : SourceDefs())
            L << D.Id;
        return L;
    }();
    return Ids;
}

QString NormaliseDomainPattern(const QString& Text)
{
    QString S = Text.trimmed().toLower();
    const qsizetype Scheme = S.indexOf(QLatin1String("://"));
    if (Scheme >= 0)
        S = S.mid(Scheme + 3);
    for (const QChar Stop : {QChar('/'), QChar('?'), QChar('#')}) {
        const qsizetype At = S.indexOf(Stop);
        if (At >= 0)
            S.truncate(At);
    }
    const qsizetype At = S.lastIndexOf(QChar('@'));
    if (At >= 0)
        S = S.mid(At + 1);
    const qsizetype Colon = S.indexOf(QChar(':'));
    if (Colon >= 0)
        S.truncate(Colon);
    while (S.endsWith(QChar('.')))
        S.chop(1);
    if (S == QLatin1String("*") || S == QLatin1String("*."))
        return {};
    return S;
}

bool ParseCollectorArgs(const QStringList& Args, TCollectorOptions& Options, QString& ErrMsg)
{
    Options = TCollectorOptions();
    Options.FTitle = QString::fromUtf8(kDefaultTitle);
    QString V;
    for (const QString& Arg : Args) {
        if (Arg.isEmpty())
            continue;
        if (StartsWithSwitch(Arg, "/src:", V)) {
            Options.FSources.clear();
            for (const QString& Part : V.split(QChar(','), Qt::SkipEmptyParts)) {
                const QString Id = Part.trimmed().toLower();
                if (Id.isEmpty())
                    continue;
                if (Id == QLatin1String("auto") || Id == QLatin1String("all")) {
                    Options.FSources.clear();
                    break;
                }
                if (!KnownSourceIds().contains(Id)) {
                    ErrMsg = QStringLiteral("未知的数据源：%1").arg(Part.trimmed());
                    return false;
                }
                if (!Options.FSources.contains(Id))
                    Options.FSources << Id;
            }
        } else if (StartsWithSwitch(Arg, "/days:", V)) {
            qint64 N = 0;
            if (!ReadCount(V, 1, 36500, N)) {
                ErrMsg = QStringLiteral("天数无效：%1（应为 1 到 36500 的整数）").arg(V);
                return false;
            }
            Options.FDays = int(N);
        } else if (StartsWithSwitch(Arg, "/from:", V)) {
            if (!ParseDate(V, Options.FFrom)) {
                ErrMsg = QStringLiteral("起始日期无效：%1（应为 yyyy-mm-dd）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, "/to:", V)) {
            if (!ParseDate(V, Options.FTo)) {
                ErrMsg = QStringLiteral("结束日期无效：%1（应为 yyyy-mm-dd）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, "/user:", V)) {
            const QString U = V.trimmed().toLower();
            if (U == QLatin1String("all"))
                Options.FAllUsers = true;
            else if (U == QLatin1String("current"))
                Options.FAllUsers = false;
            else {
                ErrMsg = QStringLiteral("用户范围无效：%1（应为 all）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, "/title:", V)) {
            const QString T = V.trimmed();
            Options.FTitle = T.isEmpty() ? QString::fromUtf8(kDefaultTitle) : T;
        } else if (StartsWithSwitch(Arg, "/include:", V)) {
            const QString K = V.trimmed();
            if (!K.isEmpty() && !Options.FInclude.contains(K))
                Options.FInclude << K;
        } else if (StartsWithSwitch(Arg, "/exclude:", V)) {
            const QString D = NormaliseDomainPattern(V);
            if (!D.isEmpty() && !Options.FExclude.contains(D))
                Options.FExclude << D;
        } else if (StartsWithSwitch(Arg, "/limit:", V)) {
            if (!ReadCount(V, 0, 100000000, Options.FLimit)) {
                ErrMsg = QStringLiteral("条数上限无效：%1（应为不小于 0 的整数）").arg(V);
                return false;
            }
        } else if (Arg.compare(QLatin1String("/privacy"), Qt::CaseInsensitive) == 0) {
            Options.FPrivacy = true;
        } else if (StartsWithSwitch(Arg, "/format:", V)) {
            const QString F = V.trimmed().toLower();
            if (F == QLatin1String("json"))
                Options.FFormat = ofJson;
            else if (F == QLatin1String("html"))
                Options.FFormat = ofHtml;
            else {
                ErrMsg = QStringLiteral("输出格式无效：%1（应为 json 或 html）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, "/out:", V)) {
            Options.FOutDir = V.trimmed();
            if (Options.FOutDir.isEmpty()) {
                ErrMsg = QStringLiteral("输出目录为空");
                return false;
            }
        } else if (Arg.compare(QLatin1String("/open"), Qt::CaseInsensitive) == 0) {
            Options.FOpen = true;
        } else if (Arg.compare(QLatin1String("/list"), Qt::CaseInsensitive) == 0) {
            Options.FList = true;
        } else if (Arg.compare(QLatin1String("/allvisits"), Qt::CaseInsensitive) == 0) {
            Options.FAllVisits = true;
        } else if (Arg.compare(QLatin1String("/archive"), Qt::CaseInsensitive) == 0) {
            if (Options.FArchive == amOff)
                Options.FArchive = amOn;
        } else if (StartsWithSwitch(Arg, "/archive:", V)) {
            // Only the bare word clears; a file of that name is given as "./clear".
            if (V.trimmed().compare(QLatin1String("clear"), Qt::CaseInsensitive) == 0) {
                Options.FArchive = amClear;
            } else if (V.trimmed().isEmpty()) {
                ErrMsg = QStringLiteral("存档文件名为空");
                return false;
            } else {
                Options.FArchivePath = V.trimmed();
                if (Options.FArchive == amOff)
                    Options.FArchive = amOn;
            }
        } else {
            ErrMsg = QStringLiteral("无法识别的参数：%1").arg(Arg);
            return false;
        }
    }
    if (Options.FDays > 0 && (Options.FFrom.isValid() || Options.FTo.isValid())) {
        ErrMsg = QStringLiteral("/days: 不能与 /from:、/to: 同时使用");
        return false;
    }
    if (Options.FFrom.isValid() && Options.FTo.isValid() && Options.FFrom > Options.FTo) {
        ErrMsg = QStringLiteral("起始日期 %1 晚于结束日期 %2")
                     .arg(Options.FFrom.toString(QStringLiteral("yyyy-MM-dd")),
                          Options.FTo.toString(QStringLiteral("yyyy-MM-dd")));
        return false;
    }
    return true;
}

QString RangeText(const TCollectorOptions& Options)
{
    const QString Fmt = QStringLiteral("yyyy-MM-dd");
    if (Options.FDays > 0)
        return QStringLiteral("最近 %1 天").arg(Options.FDays);
    if (Options.FFrom.isValid() && Options.FTo.isValid())
        return QStringLiteral("%1 至 %2").arg(Options.FFrom.toString(Fmt), Options.FTo.toString(Fmt));
    if (Options.FFrom.isValid())
        return QStringLiteral("%1 起").arg(Options.FFrom.toString(Fmt));
    if (Options.FTo.isValid())
        return QStringLiteral("截至 %1").arg(Options.FTo.toString(Fmt));
    return QStringLiteral("全部历史");
}
