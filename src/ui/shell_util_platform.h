#pragma once

// The system's half of the shell helpers (shell_util_posix.cpp,
// shell_util_win.cpp): what shell_util.cpp calls once the test hooks and the
// checks every system shares are behind it.

#include <QString>
#include <QStringList>

class QFileInfo;

// Target is not empty.
void OpenWithShell(const QString& Target);
// Info names a folder or a file that exists.
void RevealWithShell(const QFileInfo& Info);
bool ElevationToolFound();
bool RestartElevatedWithShell(const QString& Exe, const QStringList& Args, const QString& WorkDir);
// True once process Pid has ended; a process nobody has reaped counts as ended.
bool ProcessEnded(qint64 Pid);
