#include "history_source.h"

#include "home_layout.h"
#include "regular_file.h"
#include "source_table.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString ProfileLabel(const THome& Home, const QString& Profile)
{
    return Home.User.isEmpty() ? Profile : Home.User + QChar('/') + Profile;
}

// Display names of Chromium profiles from "Local State" (profile.info_cache).
// Anything but a readable regular file of sane size leaves the folder names.
QJsonObject ReadProfileNames(const QString& UserDataDir)
{
    QByteArray Bytes;
    QString Ignored;
    if (!ReadCapped(UserDataDir + QStringLiteral("/Local State"), qint64(16) << 20, Bytes, Ignored))
        return {};
    const QJsonDocument Doc = QJsonDocument::fromJson(Bytes);
    return Doc.object().value(QStringLiteral("profile")).toObject()
        .value(QStringLiteral("info_cache")).toObject();
}

// The browser's name in reports: its caption, unless the place names another
// browser kept under the same id (Chromium under "chrome").
QString BrowserName(const TPlace& Place)
{
    if (Place.Name)
        return QString::fromUtf8(Place.Name);
    const TSourceDef* Def = FindSourceDef(QLatin1StringView(Place.Id));
    return Def ? Def->Cap : QString::fromLatin1(Place.Id);
}

void AddChromium(const THome& Home, const TPlace& Place, QList<TSourceInfo>& Out)
{
    const QString& Dir = Place.Path;
    if (!QFileInfo(Dir).isDir())
        return;
    TSourceInfo S;
    S.Id = QString::fromLatin1(Place.Id);
    S.Name = BrowserName(Place);
    S.Kind = skChromium;
    if (Place.SingleProfile) {
        S.Path = Dir + QStringLiteral("/History");
        if (QFileInfo::exists(S.Path)) {
            S.Profile = ProfileLabel(Home, QStringLiteral("Default"));
            Out << S;
        }
        return;
    }
    const QJsonObject Names = ReadProfileNames(Dir);
    static const QRegularExpression ProfileDir(QStringLiteral("^(Default|Profile \\d+)$"));
    QStringList Dirs = QDir(Dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    // "Default" first, then "Profile 1", "Profile 2", … in numeric order.
    std::sort(Dirs.begin(), Dirs.end(), [](const QString& A, const QString& B) {
        const bool DA = A == QLatin1String("Default"), DB = B == QLatin1String("Default");
        if (DA != DB)
            return DA;
        if (A.size() != B.size())
            return A.size() < B.size();
        return A < B;
    });
    for (const QString& P : Dirs) {
        if (!ProfileDir.match(P).hasMatch() && !Names.contains(P))
            continue;
        S.Path = Dir + QChar('/') + P + QStringLiteral("/History");
        if (!QFileInfo::exists(S.Path))
            continue;
        const QString Shown = Names.value(P).toObject().value(QStringLiteral("name")).toString().trimmed();
        S.Profile = ProfileLabel(Home, Shown.isEmpty() ? P : Shown);
        Out << S;
    }
}

// profiles.ini: [ProfileN] sections with Name, IsRelative and Path.
void AddFirefoxIni(const THome& Home, const TPlace& Place, QList<TSourceInfo>& Out)
{
    const QString& Dir = Place.Path;
    QByteArray Ini;
    QString Ignored;
    if (!ReadCapped(Dir + QStringLiteral("/profiles.ini"), qint64(1) << 20, Ini, Ignored))
        return;
    struct TIniProfile { QString Name, Path; bool Relative = true; };
    QList<TIniProfile> Profiles;
    bool InProfile = false;
    for (const QByteArray& RawLine : Ini.split('\n')) {
        const QString Line = QString::fromUtf8(RawLine).trimmed();
        if (Line.isEmpty() || Line.startsWith(QChar(';')) || Line.startsWith(QChar('#')))
            continue;
        if (Line.startsWith(QChar('['))) {
            InProfile = Line.startsWith(QLatin1String("[Profile"), Qt::CaseInsensitive);
            if (InProfile)
                Profiles << TIniProfile();
            continue;
        }
        const qsizetype Eq = Line.indexOf(QChar('='));
        if (!InProfile || Eq <= 0)
            continue;
        const QString Key = Line.left(Eq).trimmed();
        const QString Value = Line.mid(Eq + 1).trimmed();
        if (Key.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
            Profiles.last().Name = Value;
        else if (Key.compare(QLatin1String("Path"), Qt::CaseInsensitive) == 0)
            Profiles.last().Path = Value;
        else if (Key.compare(QLatin1String("IsRelative"), Qt::CaseInsensitive) == 0)
            Profiles.last().Relative = Value != QLatin1String("0");
    }
    for (const TIniProfile& P : Profiles) {
        if (P.Path.isEmpty())
            continue;
        const QString ProfileDir = P.Relative ? Dir + QChar('/') + P.Path : P.Path;
        TSourceInfo S;
        S.Id = QString::fromLatin1(Place.Id);
        S.Name = BrowserName(Place);
        S.Kind = skFirefox;
        S.Path = QDir::cleanPath(ProfileDir + QStringLiteral("/places.sqlite"));
        if (!QFileInfo::exists(S.Path))
            continue;
        const bool Dup = std::any_of(Out.cbegin(), Out.cend(),
                                     [&](const TSourceInfo& O) { return O.Path == S.Path; });
        if (Dup)
            continue;
        S.Profile = ProfileLabel(Home, P.Name.isEmpty() ? QFileInfo(ProfileDir).fileName() : P.Name);
        Out << S;
    }
}

} // namespace

QString EnvPath(const char* Name)
{
    return QDir::fromNativeSeparators(qEnvironmentVariable(Name));
}

THome HomeAt(const QString& Path, const QString& User)
{
    THome H;
    H.User = User;
    H.Path = Path;
    H.ConfigDir = Path + u'/' + QLatin1StringView(kConfigBelowHome);
    if (kLocalBelowHome[0])
        H.LocalDir = Path + u'/' + QLatin1StringView(kLocalBelowHome);
    return H;
}

THome CurrentHome()
{
    // One switch that moves every user folder at once: Windows rebuilds
    // USERPROFILE and the AppData variables for a program started under Wine,
    // and a sample home is easiest to try this way on any system.
    const QString Override = EnvPath(kHomeOverrideVar);
    if (!Override.isEmpty())
        return HomeAt(Override, QString());
    return SystemCurrentHome();
}

QList<THome> SystemHomes()
{
    return AllHomes(SystemUsersRoot(), SystemExtraHomes());
}

QList<THome> AllHomes(const QString& Root, const QStringList& Extra)
{
    QList<THome> Homes;
    QStringList Seen;
    const THome Current = CurrentHome();
    auto Add = [&](const QString& Path, const QString& User) {
        const QFileInfo Info(Path);
        const QString Canon = Info.canonicalFilePath();
        if (!Info.isDir() || !Info.isReadable() || Canon.isEmpty() || Seen.contains(Canon))
            return;
        Seen << Canon;
        THome H = HomeAt(Path, User);
        // The current user's own XDG setting still applies to their home.
        if (QFileInfo(Current.Path).canonicalFilePath() == Canon)
            H.ConfigDir = Current.ConfigDir, H.LocalDir = Current.LocalDir;
        Homes << H;
    };
    const QDir RootDir(Root);
    for (const QString& Name : RootDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (!IsSharedProfileDir(Name))
            Add(RootDir.filePath(Name), Name);
    for (const QString& E : Extra)
        Add(E, QFileInfo(E).fileName());
    return Homes;
}

namespace {

// A profile reached twice (a linked profile folder, a profiles.ini entry
// pointing at a link, a home linked under a second name) is read once: the
// first path found for a database wins.
QList<TSourceInfo> WithoutDuplicates(const QList<TSourceInfo>& Sources)
{
    QList<TSourceInfo> Out;
    QStringList SeenPaths;
    QList<TFileId> SeenIds;
    for (const TSourceInfo& S : Sources) {
        const QString Canon = QFileInfo(S.Path).canonicalFilePath();
        TFileId Id;
        const bool HasId = RegularFileId(S.Path, Id);
        if ((!Canon.isEmpty() && SeenPaths.contains(Canon)) || (HasId && SeenIds.contains(Id)))
            continue;
        if (!Canon.isEmpty())
            SeenPaths << Canon;
        if (HasId)
            SeenIds << Id;
        Out << S;
    }
    return Out;
}

} // namespace

QList<TSourceInfo> FindSources(const QList<THome>& Homes, const QStringList& Ids)
{
    QList<TSourceInfo> Out;
    for (const THome& Home : Homes) {
        for (const TPlace& P : PlacesIn(Home)) {
            if (!Ids.isEmpty() && !Ids.contains(QLatin1String(P.Id)))
                continue;
            if (P.Kind == pkChromium)
                AddChromium(Home, P, Out);
            else if (P.Kind == pkFirefox)
                AddFirefoxIni(Home, P, Out);
        }
    }
    return WithoutDuplicates(Out);
}

QList<TAbsentSource> AbsentSources(const QList<THome>& Homes, const QStringList& Ids, const QList<TSourceInfo>& Found)
{
    QList<TAbsentSource> Out;
    for (const TSourceDef& Def : SourceDefs()) {
        const bool NoneFound = std::none_of(Found.cbegin(), Found.cend(), [&](const TSourceInfo& S) { return S.Id == Def.Id; });
        if (!Ids.contains(Def.Id) || !NoneFound)
            continue;
        TAbsentSource A;
        A.Info.Id = Def.Id;
        A.Info.Name = Def.Cap;
        QStringList Looked;
        for (const THome& Home : Homes) {
            for (const TPlace& P : PlacesIn(Home)) {
                if (Def.Id != QLatin1String(P.Id))
                    continue;
                if (P.Kind == pkUnread && QFileInfo::exists(P.Path)) {
                    A.Unread = true;
                    A.Info.Path = P.Path;
                    A.Info.Profile = Home.User;
                    break;
                }
                Looked << QDir::toNativeSeparators(P.Path);
            }
            if (A.Unread)
                break;
        }
        if (A.Unread)
            A.Msg = QStringLiteral("已安装，但本程序不读取这个浏览器的历史记录格式");
        else if (Looked.isEmpty())
            A.Msg = QStringLiteral("本程序在此系统上不查找这个浏览器");
        else
            A.Msg = QStringLiteral("未找到历史数据库；查找位置：") + Looked.join(QStringLiteral("；"));
        Out << A;
    }
    return Out;
}
