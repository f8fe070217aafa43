#include "private_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <mutex>
#include <vector>

namespace {

// Shared with the stop handler's thread, which may still run while the
// program's statics are destroyed; so these never are.
std::mutex& GLock = *new std::mutex;
std::vector<QString>& GDirs = *new std::vector<QString>;
bool GEnding = false;

const QLatin1StringView kPrefix("Marrowkin-");

} // namespace

TPrivateDir::TPrivateDir()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    if (GEnding)
        return;
    FDir = std::make_unique<QTemporaryDir>(
        QDir::tempPath() + QChar('/') + kPrefix + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("-XXXXXX"));
    // QTemporaryDir makes the folder readable by its owner only.
    if (FDir->isValid())
        GDirs.push_back(FDir->path());
}

TPrivateDir::~TPrivateDir()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    if (FDir && FDir->isValid())
        std::erase(GDirs, FDir->path());
    FDir.reset();
}

bool TPrivateDir::IsValid() const
{
    return FDir && FDir->isValid();
}

QString TPrivateDir::ErrorString() const
{
    return FDir ? FDir->errorString() : QStringLiteral("程序正在退出");
}

QString TPrivateDir::FilePath(const QString& Name) const
{
    return FDir ? FDir->filePath(Name) : QString();
}

void RemoveAllPrivateDirs()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    GEnding = true;
    for (const QString& Dir : GDirs)
        QDir(Dir).removeRecursively();
    GDirs.clear();
}

void RemoveStalePrivateDirs()
{
    static const QRegularExpression Name(QStringLiteral("^Marrowkin-(\\d+)-[A-Za-z0-9]{6}$"));
    const qint64 Own = QCoreApplication::applicationPid();
    const QDir Temp(QDir::tempPath());
    const QStringList Dirs = Temp.entryList({kPrefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& D : Dirs) {
        const QRegularExpressionMatch M = Name.match(D);
        if (!M.hasMatch())
            continue;
        const qint64 Pid = M.captured(1).toLongLong();
        if (Pid != Own && !ProcessExists(Pid))
            QDir(Temp.filePath(D)).removeRecursively();
    }
}
