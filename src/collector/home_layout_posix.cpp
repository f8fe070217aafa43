#include "home_layout.h"

#include <QDir>

namespace {

// Chromium browsers under the XDG configuration folder.
struct TChromiumDir
{
    const char* Id;
    const char* Name;
    const char* Folder;
    bool SingleProfile;
};

const TChromiumDir kChromium[] = {
    {"chrome", nullptr, "google-chrome", false},
    {"chrome", "Chromium", "chromium", false},
    {"edge", nullptr, "microsoft-edge", false},
    {"opera", nullptr, "opera", true},
    {"brave", nullptr, "BraveSoftware/Brave-Browser", false},
    {"vivaldi", nullptr, "vivaldi", false},
};

} // namespace

QList<TPlace> PlacesIn(const THome& Home)
{
    QList<TPlace> Places;
    for (const TChromiumDir& D : kChromium)
        Places.append({D.Id, pkChromium, Home.ConfigDir + u'/' + QLatin1StringView(D.Folder), D.Name, D.SingleProfile});
    // Chromium's snap keeps the profile in the snap's own folder.
    Places.append({"chrome", pkChromium, Home.Path + QStringLiteral("/snap/chromium/common/chromium"), "Chromium"});
    for (const char* Dir : {"/.mozilla/firefox", "/snap/firefox/common/.mozilla/firefox",
                            "/.var/app/org.mozilla.firefox/.mozilla/firefox"})
        Places.append({"firefox", pkFirefox, Home.Path + QLatin1StringView(Dir)});
    return Places;
}

const char kConfigBelowHome[] = ".config";
const char kLocalBelowHome[] = "";

THome SystemCurrentHome()
{
    QString Home = EnvPath("HOME");
    if (Home.isEmpty())
        Home = QDir::homePath();
    THome H = HomeAt(Home, QString());
    const QString Xdg = EnvPath("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and are ignored.
    if (!Xdg.isEmpty() && QDir::isAbsolutePath(Xdg))
        H.ConfigDir = Xdg;
    return H;
}

QString SystemUsersRoot()
{
    return QStringLiteral("/home");
}

QStringList SystemExtraHomes()
{
    return {QStringLiteral("/root")};
}

bool IsSharedProfileDir(const QString&)
{
    return false;
}
