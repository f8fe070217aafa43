#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class QTemporaryDir;

// A folder for private copies of someone's browser history. Only this user
// can read it, and it is removed however the run ends: normally, on a stop
// request (see InstallStopHandler), or by a later run once this one is gone.
// While it lives, the folder's lock file is held; a run in another PID
// namespace or sandbox sharing the temporary folder sees that, where it
// could not see this process.
class TPrivateDir final
{
public:
    TPrivateDir();
    ~TPrivateDir();
    TPrivateDir(const TPrivateDir&) = delete;
    TPrivateDir& operator=(const TPrivateDir&) = delete;

    bool IsValid() const;
    QString ErrorString() const;
    QString FilePath(const QString& Name) const;

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FError;
};

// Removes every private folder of this process; later ones cannot be made.
// A folder whose files are still open (Windows) is removed by its owner when
// it is done; this waits a moment for that.
void RemoveAllPrivateDirs();
// Whether a stop is removing the folders: work that holds one open should
// let go of it at once, so the stop can remove it within its grace time.
bool PrivateDirsEnding();

// Removes the private folders of earlier runs whose owner is gone: its lock
// can be taken.
void RemoveStalePrivateDirs();

// What a stopped run must not leave behind: its private folders and a report
// file half written.
void RemoveRunLeftovers();

// Platform halves.
// A stop request removes the run's leftovers and ends the process with
// 128 + the signal (SIGTERM, SIGINT, SIGHUP). On Windows the requests are
// Ctrl+C, Ctrl+Break, closing the console and the front end's stop event
// (kStopEventVar), and the code is kStopExitCode.
void InstallStopHandler();
// The exit code of a run that has done its work: Code, or the stopped code
// when a stop request came; from here on one ends the process at once.
int FinishRun(int Code);

enum TDirLock { dlHeld, dlFree, dlMissing };
// Creates the lock file in Dir and holds it until UnlockPrivateDir; false
// with the system's reason.
bool LockPrivateDir(const QString& Dir, qintptr& Lock, QString& ErrMsg);
void UnlockPrivateDir(qintptr Lock);
// Whether Dir's lock file is held by a live owner. dlFree: the owner is gone
// (on Windows the lock file is removed on the way).
TDirLock ProbePrivateDir(const QString& Dir);
