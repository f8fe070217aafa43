#include "private_dir.h"

#include "atomic_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
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
bool GEnding = false;

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
    if (FDir)
        Release(FDir->path());
    FDir.reset();
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

void RemoveAllPrivateDirs()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    GEnding = true;
    while (!GDirs.empty()) {
        const QString Path = GDirs.back().Path;
        Release(Path);
        QDir(Path).removeRecursively();
    }
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
