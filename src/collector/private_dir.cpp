#include "private_dir.h"

#include "atomic_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

struct TOwnDir
{
    QString Path;
    qintptr Lock;
};

// Shared with the stop handler's thread, which may still run while the
// program's statics are destroyed; so these never are.
std::mutex& GLock = *new std::mutex;
std::vector<TOwnDir>& GDirs = *new std::vector<TOwnDir>;
std::atomic<bool> GEnding = false;
// Folders a stop could not remove yet: on Windows a file that is open (a
// copy being written or read) cannot be removed, and its owner removes the
// folder as soon as it is done with it.
std::vector<QString>& GBusy = *new std::vector<QString>;
std::condition_variable& GReleased = *new std::condition_variable;
// How long a stop waits for them: well within the front end's grace of two
// seconds before it ends the run.
constexpr std::chrono::milliseconds kBusyWait(1500);

const QLatin1StringView kPrefix("Marrowkin-");

// A folder without a lock file is one whose owner was ended before it could
// make one, or one of an older version; its owner makes the lock at once,
// so one this old is not being set up.
constexpr qint64 kUnlockedGraceSecs = 60;

// Lets go of the folder's lock; the caller holds GLock and removes the folder.
void Release(const QString& Path)
{
    const auto It = std::find_if(GDirs.begin(), GDirs.end(), [&](const TOwnDir& D) { return D.Path == Path; });
    if (It == GDirs.end())
        return;
    UnlockPrivateDir(It->Lock);
    GDirs.erase(It);
}

} // namespace

TPrivateDir::TPrivateDir()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    if (GEnding) {
        FError = QStringLiteral("程序正在退出");
        return;
    }
    FDir = std::make_unique<QTemporaryDir>(
        QDir::tempPath() + QChar('/') + kPrefix + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("-XXXXXX"));
    // QTemporaryDir makes the folder readable by its owner only.
    if (!FDir->isValid()) {
        FError = FDir->errorString();
        FDir.reset();
        return;
    }
    qintptr Lock = -1;
    if (!LockPrivateDir(FDir->path(), Lock, FError)) {
        FDir.reset();
        return;
    }
    GDirs.push_back({FDir->path(), Lock});
}

TPrivateDir::~TPrivateDir()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    if (!FDir)
        return;
    const QString Path = FDir->path();
    Release(Path);
    FDir.reset();
    if (std::erase(GBusy, Path) > 0)
        GReleased.notify_all();
}

bool TPrivateDir::IsValid() const
{
    return FDir != nullptr;
}

QString TPrivateDir::ErrorString() const
{
    return FError;
}

QString TPrivateDir::FilePath(const QString& Name) const
{
    return FDir ? FDir->filePath(Name) : QString();
}

bool PrivateDirsEnding()
{
    return GEnding;
}

void RemoveAllPrivateDirs()
{
    std::unique_lock<std::mutex> Guard(GLock);
    GEnding = true;
    while (!GDirs.empty()) {
        const QString Path = GDirs.back().Path;
        Release(Path);
        if (!QDir(Path).removeRecursively())
            GBusy.push_back(Path);
    }
    GReleased.wait_for(Guard, kBusyWait, [] { return GBusy.empty(); });
}

void RemoveRunLeftovers()
{
    RemoveAllPrivateDirs();
    TAtomicFile::DiscardPending();
}

void RemoveStalePrivateDirs()
{
    static const QRegularExpression Name(QStringLiteral("^Marrowkin-\\d+-[A-Za-z0-9]{6}$"));
    const QDir Temp(QDir::tempPath());
    const QStringList Dirs = Temp.entryList({kPrefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    const QDateTime Now = QDateTime::currentDateTimeUtc();
    for (const QString& D : Dirs) {
        if (!Name.match(D).hasMatch())
            continue;
        const QString Path = Temp.filePath(D);
        const QFileInfo Info(Path);
        if (Info.isSymLink())
            continue;
        const TDirLock Lock = ProbePrivateDir(Path);
        const bool Old = Info.lastModified().toUTC().secsTo(Now) > kUnlockedGraceSecs;
        if (Lock == dlFree || (Lock == dlMissing && Old))
            QDir(Path).removeRecursively();
    }
}
