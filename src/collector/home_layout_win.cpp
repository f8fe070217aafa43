#include "home_layout.h"

#include <QDir>

namespace {

// Chromium browsers under local AppData, or roaming AppData where Roaming is set.
struct TChromiumDir
{
    const char* Id;
    const char* Name;
    const char* Folder;
    bool Roaming;
    bool SingleProfile;
};

const TChromiumDir kChromium[] = {
    {"chrome", nullptr, "Google/Chrome/User Data", false, false},
    {"chrome", "Chromium", "Chromium/User Data", false, false},
    {"edge", nullptr, "Microsoft/Edge/User Data", false, false},
    {"qq", nullptr, "Tencent/QQBrowser/User Data", false, false},
    {"360se", nullptr, "360se6/User Data", true, false},
    {"360chrome", nullptr, "360Chrome/Chrome/User Data", false, false},
    {"liebao", nullptr, "liebao/User Data", false, false},
    {"2345", nullptr, "2345Explorer/User Data", false, false},
    {"theworld", nullptr, "theworld6/User Data", false, false},
    {"opera", nullptr, "Opera Software/Opera Stable", true, true},
    {"brave", nullptr, "BraveSoftware/Brave-Browser/User Data", false, false},
    {"vivaldi", nullptr, "Vivaldi/User Data", false, false},
    {"maxthon", nullptr, "Maxthon/Application/User Data", false, false},
    {"115", nullptr, "115Chrome/User Data", false, false},
};

// Browsers whose history is kept in a form this program does not read, and
// where that history lies.
struct TUnreadPlace
{
    const char* Id;
    const char* Path;
    bool Roaming;
};

const TUnreadPlace kUnread[] = {
    {"ie", "Microsoft/Windows/WebCache/WebCacheV01.dat", false},
    {"sogou", "SogouExplorer", true},
};

QString AppData(const THome& Home, bool Roaming, const char* Below)
{
    return (Roaming ? Home.ConfigDir : Home.LocalDir) + u'/' + QString::fromUtf8(Below);
}

} // namespace

QList<TPlace> PlacesIn(const THome& Home)
{
    QList<TPlace> Places;
    for (const TChromiumDir& D : kChromium)
        Places.append({D.Id, pkChromium, AppData(Home, D.Roaming, D.Folder), D.Name, D.SingleProfile});
    Places.append({"firefox", pkFirefox, Home.ConfigDir + QStringLiteral("/Mozilla/Firefox")});
    for (const TUnreadPlace& U : kUnread)
        Places.append({U.Id, pkUnread, AppData(Home, U.Roaming, U.Path)});
    return Places;
}

const char kConfigBelowHome[] = "AppData/Roaming";
const char kLocalBelowHome[] = "AppData/Local";

THome SystemCurrentHome()
{
    THome H = HomeAt(EnvPath("USERPROFILE"), QString());
    if (!EnvPath("APPDATA").isEmpty())
        H.ConfigDir = EnvPath("APPDATA");
    if (!EnvPath("LOCALAPPDATA").isEmpty())
        H.LocalDir = EnvPath("LOCALAPPDATA");
    return H;
}

QString SystemUsersRoot()
{
    return QDir::fromNativeSeparators(qEnvironmentVariable("SystemDrive", QStringLiteral("C:"))) + QStringLiteral("/Users");
}

QStringList SystemExtraHomes()
{
    return {};
}

bool IsSharedProfileDir(const QString& Name)
{
    for (const char* Shared : {"Public", "Default", "Default User", "All Users"})
        if (Name.compare(QLatin1StringView(Shared), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
