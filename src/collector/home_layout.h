#pragma once

#include "history_source.h"

#include <QList>
#include <QString>
#include <QStringList>

// How homes, and the browsers' folders in them, are laid out on this system:
// one file per platform (home_layout_posix.cpp, home_layout_win.cpp).

enum TPlaceKind { pkChromium, pkFirefox, pkUnread };

// Where a browser may keep its history in one home.
struct TPlace
{
    const char* Id;   // source id
    TPlaceKind Kind;
    QString Path;     // Chromium: the user-data folder; Firefox: the folder of profiles.ini;
                      // unread: the file or folder that shows the browser is there
    const char* Name = nullptr; // shown instead of the id's caption (Chromium under "chrome")
    bool SingleProfile = false; // Chromium: History sits in the folder itself (Opera)
};

// Every place of one home, in the order they are read.
QList<TPlace> PlacesIn(const THome& Home);

// Where a home keeps the browsers' folders by default, below the home: the
// configuration folder (XDG's, or roaming AppData) and local AppData (empty
// where there is none).
extern const char kConfigBelowHome[];
extern const char kLocalBelowHome[];

// The home at Path with its configuration folders where they are by default.
THome HomeAt(const QString& Path, const QString& User);

// An environment variable's value as a path with '/' between its parts.
QString EnvPath(const char* Name);

// The current user's home as the system's environment describes it.
THome SystemCurrentHome();

// Where every user's home lies (Linux /home, Windows C:\Users), and homes
// kept elsewhere (Linux: /root).
QString SystemUsersRoot();
QStringList SystemExtraHomes();

// A folder under the users' root that is nobody's home (Windows: Public,
// Default, …).
bool IsSharedProfileDir(const QString& Name);
