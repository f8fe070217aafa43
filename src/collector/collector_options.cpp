#include "collector_options.h"

#include "collector_contract.h"
#include "text_util.h"

namespace {

bool StartsWithSwitch(const QString& Arg, QLatin1StringView Prefix, QString& Value)
{
    if (!Arg.startsWith(Prefix, Qt::CaseInsensitive))
        return false;
    Value = Arg.mid(Prefix.size());
    return true;
}

bool IsSwitch(const QString& Arg, QLatin1StringView Name)
{
    return Arg.compare(Name, Qt::CaseInsensitive) == 0;
}

bool ReadCount(const QString& Text, qint64 Min, qint64 Max, qint64& Value)
{
    return ParseDecimal(Text.trimmed(), Value) && Value >= Min && Value <= Max;
}

} // namespace

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
        if (StartsWithSwitch(Arg, kSwSrc, V)) {
            Options.FSources.clear();
            for (const QString& Part : V.split(QChar(','), Qt::SkipEmptyParts)) {
                const QString Id = Part.trimmed().toLower();
                if (Id.isEmpty())
                    continue;
                if (Id == QLatin1String("auto") || Id == QLatin1String("all")) {
                    Options.FSources.clear();
                    break;
                }
                if (!FindSourceDef(Id)) {
                    ErrMsg = QStringLiteral("未知的数据源：%1").arg(Part.trimmed());
                    return false;
                }
                if (!Options.FSources.contains(Id))
                    Options.FSources << Id;
            }
        } else if (StartsWithSwitch(Arg, kSwDays, V)) {
            qint64 N = 0;
            if (!ReadCount(V, 1, 36500, N)) {
                ErrMsg = QStringLiteral("天数无效：%1（应为 1 到 36500 的整数）").arg(V);
                return false;
            }
            Options.FDays = int(N);
        } else if (StartsWithSwitch(Arg, kSwFrom, V)) {
            if (!ParseDate(V, Options.FFrom)) {
                ErrMsg = QStringLiteral("起始日期无效：%1（应为 yyyy-mm-dd）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, kSwTo, V)) {
            if (!ParseDate(V, Options.FTo)) {
                ErrMsg = QStringLiteral("结束日期无效：%1（应为 yyyy-mm-dd）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, kSwUser, V)) {
            const QString U = V.trimmed().toLower();
            if (U == QLatin1String("all"))
                Options.FAllUsers = true;
            else if (U == QLatin1String("current"))
                Options.FAllUsers = false;
            else {
                ErrMsg = QStringLiteral("用户范围无效：%1（应为 all）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, kSwTitle, V)) {
            const QString T = V.trimmed();
            Options.FTitle = T.isEmpty() ? QString::fromUtf8(kDefaultTitle) : T;
        } else if (StartsWithSwitch(Arg, kSwInclude, V)) {
            const QString K = V.trimmed();
            if (!K.isEmpty() && !Options.FInclude.contains(K))
                Options.FInclude << K;
        } else if (StartsWithSwitch(Arg, kSwExclude, V)) {
            const QString D = NormaliseDomainPattern(V);
            if (!D.isEmpty() && !Options.FExclude.contains(D))
                Options.FExclude << D;
        } else if (StartsWithSwitch(Arg, kSwLimit, V)) {
            if (!ReadCount(V, 0, 100000000, Options.FLimit)) {
                ErrMsg = QStringLiteral("条数上限无效：%1（应为不小于 0 的整数）").arg(V);
                return false;
            }
        } else if (IsSwitch(Arg, kSwPrivacy)) {
            Options.FPrivacy = true;
        } else if (StartsWithSwitch(Arg, kSwFormat, V)) {
            const QString F = V.trimmed().toLower();
            if (F == QLatin1String("json"))
                Options.FFormat = ofJson;
            else if (F == QLatin1String("html"))
                Options.FFormat = ofHtml;
            else {
                ErrMsg = QStringLiteral("输出格式无效：%1（应为 json 或 html）").arg(V);
                return false;
            }
        } else if (StartsWithSwitch(Arg, kSwOut, V)) {
            Options.FOutDir = V.trimmed();
            if (Options.FOutDir.isEmpty()) {
                ErrMsg = QStringLiteral("输出目录为空");
                return false;
            }
        } else if (IsSwitch(Arg, kSwOpen)) {
            Options.FOpen = true;
        } else if (IsSwitch(Arg, kSwList)) {
            Options.FList = true;
        } else if (IsSwitch(Arg, kSwAllVisits)) {
            Options.FAllVisits = true;
        } else if (IsSwitch(Arg, kSwArchive)) {
            if (Options.FArchive == amOff)
                Options.FArchive = amOn;
        } else if (StartsWithSwitch(Arg, kSwArchiveFile, V)) {
            // Only the bare word clears; a file of that name is given as "./clear".
            if (V.trimmed().compare(kSwArchiveClear.sliced(kSwArchiveFile.size()), Qt::CaseInsensitive) == 0) {
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
        ErrMsg = QStringLiteral("%1 不能与 %2、%3 同时使用").arg(kSwDays, kSwFrom, kSwTo);
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
