#pragma once

#include <QString>

// Where an archive run keeps its history unless told otherwise: the user's
// application-data folder (%LOCALAPPDATA%\Marrowkin on Windows,
// $XDG_DATA_HOME/Marrowkin or ~/.local/share/Marrowkin elsewhere), below
// MARROWKIN_HOME when that names the home.
QString DefaultArchivePath();
