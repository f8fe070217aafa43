#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class QTemporaryDir;

// A folder for private copies of someone's browser history. Only this user
// can read it, its name carries this process's id, and it is removed however
// the run ends: normally, on a stop signal (see InstallStopHandler), or by a
// later run once this process is gone.
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
};

// Removes every private folder of this process; later ones cannot be made.
// Called on the way out of a stopped run.
void RemoveAllPrivateDirs();

// Removes the private folders of earlier runs whose process no longer exists.
void RemoveStalePrivateDirs();

// Platform halves.
// A stop request (SIGTERM, SIGINT, SIGHUP; on Windows Ctrl+C, Ctrl+Break and
// closing the console) removes the private folders and exits with ceInternal.
void InstallStopHandler();
bool ProcessExists(qint64 Pid);
