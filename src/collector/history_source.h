#pragma once

#include <QList>
#include <QString>
#include <QStringList>

enum TSourceKind { skChromium, skFirefox };

// One history database of one browser profile.
struct TSourceInfo
{
    QString Id;      // source id of the front end ("chrome", "firefox", …)
    QString Name;    // browser name shown in reports
    QString Profile; // profile name, prefixed with the user when scanning all users
    QString Path;    // the database file
    TSourceKind Kind = skChromium;
};

// A home folder to scan. User is empty when scanning only the current user.
struct THome
{
    QString User;
    QString Path;
    QString ConfigDir; // XDG config folder (Linux) or the roaming AppData folder (Windows)
    QString LocalDir;  // local AppData (Windows only)
};

// Names a folder to use as the current user's home instead of the system's,
// with the browser folders laid out below it as on this system.
inline constexpr char kHomeOverrideVar[] = "MARROWKIN_HOME";

// The current user's home from MARROWKIN_HOME when set, else from HOME and
// XDG_CONFIG_HOME (Windows: USERPROFILE, APPDATA, LOCALAPPDATA).
THome CurrentHome();

// Every readable home under Root, plus the extra folders given, each only once.
QList<THome> AllHomes(const QString& Root, const QStringList& Extra);

// Every user's home on this system: under /home and /root (Linux), under
// C:\Users (Windows).
QList<THome> SystemHomes();

// Databases of the browsers installed in the given homes, limited to Ids when
// that list is not empty. Browsers that are not there are simply absent.
QList<TSourceInfo> FindSources(const QList<THome>& Homes, const QStringList& Ids);

// A chosen browser that gave no database to read.
struct TAbsentSource
{
    TSourceInfo Info;    // id and name; the path only of data that is not read
    bool Unread = false; // installed, but its history is in a form not read here
    QString Msg;         // where it was looked for, or why it is not read
};

// One entry for each of Ids, in the order of the source table, that has no
// source in Found: the browser is not installed in the homes, or keeps its
// history in a form this program does not read.
QList<TAbsentSource> AbsentSources(const QList<THome>& Homes, const QStringList& Ids, const QList<TSourceInfo>& Found);
