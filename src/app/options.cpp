#include "options.h"

#include "collector_contract.h"
#include "text_util.h"

#include <QDir>

#include <algorithm>
#include <limits>

QString DefaultTitle()
{
    return QStringLiteral("浏览器访问记录报告");
}

QString DefaultOutDir(const QString& Documents)
{
    return JoinPath(Documents, QStringLiteral("Marrowkin"));
}

TOptions DefaultOptions(const QString& DefaultOut, const QDate& Today)
{
    TOptions O;
    O.FFrom = Today.addMonths(-1);
    O.FTo = Today;
    O.FOutDir = DefaultOut;
    O.FTitle = DefaultTitle();
    return O;
}

bool IsAutoSwitch(const QString& Arg)
{
    return Arg.compare(QLatin1String("/auto"), Qt::CaseInsensitive) == 0;
}

namespace {

// A 32-bit integer in plain decimal; anything else (also out of range) fails.
bool ToInt(const QString& Text, int& Value)
{
    qint64 V = 0;
    if (!ParseDecimal(Text, V) || V < std::numeric_limits<int>::min() ||
        V > std::numeric_limits<int>::max())
        return false;
    Value = int(V);
    return true;
}

int ToIntDef(const QString& Text, int Default)
{
    int V = 0;
    return ToInt(Text, V) ? V : Default;
}

// A folder that ends in its root: "/", or a drive's "C:\" (a folder here is
// absolute, so a drive form arises only where drives exist).
bool IsRoot(const QString& Dir)
{
    return Dir.size() == 1 || (Dir.size() == 3 && Dir[0].isLetter() && Dir[1] == u':');
}

enum TTreat { ttAsIs, ttLower, ttInt };
struct TSwitch {
    const char* Prefix;
    QString TInitOptions::*Text;
    TTreat Treat;
};
// Tried in this order; the first prefix that matches takes the argument.
const TSwitch kSwitches[] = {
    {"/out:", &TInitOptions::FOutOverride, ttAsIs},
    {"/days:", nullptr, ttInt},
    {"/srcmode:", &TInitOptions::FInitSrcMode, ttLower},
    {"/srcids:", &TInitOptions::FInitSrcIds, ttLower},
    {"/range:", &TInitOptions::FInitRange, ttLower},
    {"/from:", &TInitOptions::FInitFrom, ttAsIs},
    {"/to:", &TInitOptions::FInitTo, ttAsIs},
    {"/scope:", &TInitOptions::FInitScope, ttLower},
    {"/outmode:", &TInitOptions::FInitOutMode, ttLower},
    {"/title:", &TInitOptions::FInitTitle, ttAsIs},
    {"/include:", &TInitOptions::FInitInclude, ttAsIs},
    {"/exclude:", &TInitOptions::FInitExclude, ttAsIs},
    {"/limit:", &TInitOptions::FInitLimit, ttAsIs},
    {"/privacy:", nullptr, ttInt},
    {"/archive:", &TInitOptions::FInitArchive, ttLower},
};

QLatin1String RangeName(TRangeKind Range)
{
    static const char* const Names[] = {"all", "days", "cust"};
    return QLatin1String(Names[Range]);
}

const TSwitch* FindSwitch(const QString& Arg)
{
    for (const TSwitch& S : kSwitches)
        if (Arg.startsWith(QLatin1String(S.Prefix), Qt::CaseInsensitive))
            return &S;
    return nullptr;
}

} // namespace

bool IsOptionSwitch(const QString& Arg)
{
    return IsAutoSwitch(Arg) || FindSwitch(Arg) != nullptr;
}

QStringList ReportFileArgs(const QStringList& Args)
{
    QStringList Files;
    for (const QString& Arg : Args)
        if (!IsOptionSwitch(Arg) && Arg.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
            Files.append(Arg);
    return Files;
}

TInitOptions ParseCommandLine(const QStringList& Args)
{
    TInitOptions R;
    for (const QString& Arg : Args) {
        if (IsAutoSwitch(Arg)) {
            R.FAutoMode = true;
            continue;
        }
        const TSwitch* S = FindSwitch(Arg);
        if (!S)
            continue;
        const QLatin1String Prefix(S->Prefix);
        const QString Value = Arg.mid(Prefix.size());
        if (S->Treat == ttInt) {
            if (Prefix == QLatin1String("/days:"))
                R.FAutoDays = ToIntDef(Value, 0);
            else
                R.FInitPrivacy = ToIntDef(Value, -1);
        } else {
            R.*S->Text = S->Treat == ttLower ? Value.toLower() : Value;
        }
    }
    return R;
}

void ApplyInitialOptions(const TInitOptions& Init, TOptions& Opts)
{
    if (!Init.FOutOverride.isEmpty())
        Opts.FOutDir = Init.FOutOverride;

    if (Init.FInitSrcMode == QLatin1String("pick"))
        Opts.FSrcMode = smPick;
    else if (Init.FInitSrcMode == QLatin1String("auto"))
        Opts.FSrcMode = smAuto;

    if (!Init.FInitSrcIds.isEmpty()) {
        const QString Ids = u',' + Init.FInitSrcIds + u',';
        for (int I = 0; I < kSourceCount; ++I)
            Opts.FChecked[I] = Ids.contains(u',' + SourceDefs()[I].Id + u',');
    }

    if (Init.FAutoDays > 0)
        Opts.FDays = std::clamp(Init.FAutoDays, kMinDays, kMaxDays);

    // "/days:N" on its own means the last N days, as the usage text shows it
    // ("/auto /days:7"); a "/range:" switch beside it decides instead.
    if (Init.FAutoDays > 0 && Init.FInitRange.isEmpty())
        Opts.FRange = rgDays;
    if (Init.FInitRange == QLatin1String("days"))
        Opts.FRange = rgDays;
    else if (Init.FInitRange == QLatin1String("cust"))
        Opts.FRange = rgCust;
    else if (Init.FInitRange == QLatin1String("all"))
        Opts.FRange = rgAll;

    QDate D;
    if (!Init.FInitFrom.isEmpty() && ParseDate(Init.FInitFrom, D))
        Opts.FFrom = D;
    if (!Init.FInitTo.isEmpty() && ParseDate(Init.FInitTo, D))
        Opts.FTo = D;

    if (Init.FInitScope == QLatin1String("all"))
        Opts.FScope = scAll;
    else if (Init.FInitScope == QLatin1String("current"))
        Opts.FScope = scCurrent;

    if (Init.FInitOutMode == QLatin1String("html"))
        Opts.FOutMode = omHtml;
    else if (Init.FInitOutMode == QLatin1String("embed"))
        Opts.FOutMode = omEmbed;

    if (!Init.FInitTitle.isEmpty())
        Opts.FTitle = Init.FInitTitle;
    if (!Init.FInitInclude.isEmpty())
        Opts.FInclude = Init.FInitInclude;
    if (!Init.FInitExclude.isEmpty())
        Opts.FExclude = Init.FInitExclude;

    if (!Init.FInitLimit.isEmpty())
        Opts.FLimit = std::clamp(ToIntDef(Init.FInitLimit, 0), kMinLimit, kMaxLimit);

    if (Init.FInitPrivacy >= 0)
        Opts.FPrivacy = Init.FInitPrivacy == 1;

    if (Init.FInitArchive == QLatin1String("on"))
        Opts.FArchive = true;
    else if (Init.FInitArchive == QLatin1String("off"))
        Opts.FArchive = false;
}

QStringList SplitList(const QString& Text)
{
    QStringList List;
    QString Cur;
    auto Flush = [&] {
        const QString V = TrimBlanks(Cur);
        if (!V.isEmpty())
            List.append(V);
        Cur.clear();
    };
    for (const QChar C : Text) {
        if (C == u';' || C == u'\uFF1B' || C == u'\r' || C == u'\n')
            Flush();
        else
            Cur.append(C);
    }
    Flush();
    return List;
}

QString CheckedSourceIds(const TOptions& Opts)
{
    QStringList Ids;
    for (int I = 0; I < kSourceCount; ++I)
        if (Opts.FChecked[I])
            Ids.append(SourceDefs()[I].Id);
    return Ids.join(u',');
}

QString SourceSwitchValue(const TOptions& Opts)
{
    if (Opts.FSrcMode == smPick) {
        const QString Ids = CheckedSourceIds(Opts);
        if (!Ids.isEmpty())
            return Ids;
    }
    return QStringLiteral("auto");
}

QString ResolveOutDir(const TOptions& Opts, const QString& DefaultOut)
{
    QString Dir = TrimBlanks(Opts.FOutDir);
    if (Dir.isEmpty())
        Dir = DefaultOut;
    // The collector runs in its own folder and an elevated copy starts in the
    // program's folder: a relative folder is pinned to ours before it travels,
    // so the folder created here is the one the report goes to.
    if (!Dir.isEmpty() && QDir::isRelativePath(Dir))
        Dir = QDir::cleanPath(QDir::current().absoluteFilePath(Dir));
    // One form of separator in every path shown or handed on: the system's,
    // so that is the only trailing one to strip. Stripping a root's would
    // turn "/" into an empty folder.
    Dir = QDir::toNativeSeparators(Dir);
    while (Dir.endsWith(QDir::separator()) && !IsRoot(Dir))
        Dir.chop(1);
    return Dir;
}

QString CommandLineDate(const QDate& Date)
{
    return Date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString BuildRestartArgs(const TOptions& Opts, const QString& DefaultOut)
{
    QStringList A;
    if (Opts.FSrcMode == smPick) {
        A << QStringLiteral("/srcmode:pick");
        const QString Ids = CheckedSourceIds(Opts);
        if (!Ids.isEmpty())
            A << QStringLiteral("/srcids:") + Ids;
    } else {
        A << QStringLiteral("/srcmode:auto");
    }
    A << QStringLiteral("/range:") + RangeName(Opts.FRange);
    A << QStringLiteral("/days:") + QString::number(Opts.FDays);
    A << QStringLiteral("/from:") + CommandLineDate(Opts.FFrom);
    A << QStringLiteral("/to:") + CommandLineDate(Opts.FTo);
    A << (Opts.FScope == scAll ? QStringLiteral("/scope:all") : QStringLiteral("/scope:current"));
    A << (Opts.FOutMode == omHtml ? QStringLiteral("/outmode:html") : QStringLiteral("/outmode:embed"));
    A << QStringLiteral("/out:") + QuoteArg(ResolveOutDir(Opts, DefaultOut));
    const QString Title = TrimBlanks(Opts.FTitle);
    if (!Title.isEmpty())
        A << QStringLiteral("/title:") + QuoteArg(Title);
    const QString Include = TrimBlanks(Opts.FInclude);
    if (!Include.isEmpty())
        A << QStringLiteral("/include:") + QuoteArg(Include);
    const QString Exclude = TrimBlanks(Opts.FExclude);
    if (!Exclude.isEmpty())
        A << QStringLiteral("/exclude:") + QuoteArg(Exclude);
    A << QStringLiteral("/limit:") + QString::number(Opts.FLimit);
    A << (Opts.FPrivacy ? QStringLiteral("/privacy:1") : QStringLiteral("/privacy:0"));
    // Off is the start-up value, so only on travels.
    if (Opts.FArchive)
        A << QStringLiteral("/archive:on");
    return A.join(u' ');
}

QString BuildCollectorArgs(const TOptions& Opts)
{
    QStringList A;
    const QString Src = SourceSwitchValue(Opts);
    if (Src.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0)
        A << kSwSrc + Src;
    if (Opts.FRange == rgDays) {
        A << kSwDays + QString::number(Opts.FDays);
    } else if (Opts.FRange == rgCust) {
        A << kSwFrom + CommandLineDate(Opts.FFrom);
        A << kSwTo + CommandLineDate(Opts.FTo);
    }
    if (Opts.FScope == scAll)
        A << kSwUserAll;
    const QString Title = TrimBlanks(Opts.FTitle);
    if (!Title.isEmpty())
        A << kSwTitle + QuoteArg(Title);
    for (const QString& V : SplitList(Opts.FInclude))
        A << kSwInclude + QuoteArg(V);
    for (const QString& V : SplitList(Opts.FExclude))
        A << kSwExclude + QuoteArg(V);
    if (Opts.FLimit > 0)
        A << kSwLimit + QString::number(Opts.FLimit);
    if (Opts.FPrivacy)
        A << kSwPrivacy;
    if (Opts.FArchive)
        A << kSwArchive;
    return A.join(u' ');
}

QStringList UnattendedArgs(const TOptions& Opts, const QString& OutDir)
{
    QStringList A{QStringLiteral("/auto")};
    if (SourceSwitchValue(Opts) != QLatin1String("auto"))
        A << QStringLiteral("/srcmode:pick") << QStringLiteral("/srcids:") + CheckedSourceIds(Opts);
    // The range always travels: "/days:" alone would choose the last N days.
    A << QStringLiteral("/range:") + RangeName(Opts.FRange);
    if (Opts.FRange == rgDays)
        A << QStringLiteral("/days:") + QString::number(Opts.FDays);
    if (Opts.FRange == rgCust)
        A << QStringLiteral("/from:") + CommandLineDate(Opts.FFrom) << QStringLiteral("/to:") + CommandLineDate(Opts.FTo);
    if (Opts.FScope == scAll)
        A << QStringLiteral("/scope:all");
    A << QStringLiteral("/out:") + OutDir;
    const QString Title = TrimBlanks(Opts.FTitle);
    if (!Title.isEmpty() && Title != DefaultTitle())
        A << QStringLiteral("/title:") + Title;
    const QString Include = TrimBlanks(Opts.FInclude);
    if (!Include.isEmpty())
        A << QStringLiteral("/include:") + Include;
    const QString Exclude = TrimBlanks(Opts.FExclude);
    if (!Exclude.isEmpty())
        A << QStringLiteral("/exclude:") + Exclude;
    if (Opts.FLimit > 0)
        A << QStringLiteral("/limit:") + QString::number(Opts.FLimit);
    if (Opts.FPrivacy)
        A << QStringLiteral("/privacy:1");
    if (Opts.FArchive)
        A << QStringLiteral("/archive:on");
    return A;
}
