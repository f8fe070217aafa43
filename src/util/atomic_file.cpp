#include "atomic_file.h"

#include "text_util.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <mutex>
#include <vector>

// What a stop handler needs to remove the temporary file of a writer.
struct TPendingFile
{
    QString TempPath;
    qintptr Handle = -1;
    bool Dropped = false; // removed by DiscardPending; the owner still closes the handle
};

namespace {

// Shared with a stop handler's thread, which may still run while the
// program's statics are destroyed; so these never are.
std::mutex& GLock = *new std::mutex;
std::vector<TPendingFile*>& GPending = *new std::vector<TPendingFile*>;
bool GEnding = false;

QString RandomSuffix()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString S(6, QChar('x'));
    for (QChar& C : S)
        C = QLatin1Char(kChars[QRandomGenerator::global()->bounded(62)]);
    return S;
}

QString EndingText()
{
    return QStringLiteral("程序正在退出");
}

} // namespace

TAtomicFile::TAtomicFile() = default;

TAtomicFile::~TAtomicFile()
{
    Discard();
}

void TAtomicFile::Fail(int SystemError)
{
    FError = CleanSystemText(qt_error_string(SystemError));
}

bool TAtomicFile::Open(const QString& Path)
{
    Discard();
    FError.clear();
    FSynced = false;
    FTargetExists = false;
    auto Pending = std::make_unique<TPendingFile>();
    // A random name that is taken already is simply drawn again.
    for (int Try = 0; Try < 64; ++Try) {
        Pending->TempPath = Path + QChar('.') + RandomSuffix();
        bool Exists = false;
        int Error = 0;
        // Made and registered in one step, so a stop never misses it.
        const std::lock_guard<std::mutex> Guard(GLock);
        if (GEnding) {
            FError = EndingText();
            return false;
        }
        if (CreateHeld(Pending->TempPath, Pending->Handle, Exists, Error)) {
            GPending.push_back(Pending.get());
            FPending = std::move(Pending);
            return true;
        }
        if (!Exists) {
            Fail(Error);
            return false;
        }
    }
    FError = QStringLiteral("无法创建临时文件");
    return false;
}

bool TAtomicFile::Write(const char* Data, qint64 Size)
{
    if (!FPending) {
        FError = QStringLiteral("文件未打开");
        return false;
    }
    while (Size > 0) {
        qint64 Done = 0;
        int Error = 0;
        if (!WriteSome(FPending->Handle, Data, Size, Done, Error)) {
            Fail(Error);
            return false;
        }
        Data += Done;
        Size -= Done;
    }
    return true;
}

bool TAtomicFile::Commit(const QString& Path, TCommitMode Mode)
{
    FTargetExists = false;
    if (!FPending) {
        FError = QStringLiteral("文件未打开");
        return false;
    }
    int Error = 0;
    if (!FSynced && !Sync(FPending->Handle, Error)) {
        Fail(Error);
        return false;
    }
    FSynced = true;
    // Under the lock: a stop either finds the file still pending and removes
    // it, or finds it done.
    const std::lock_guard<std::mutex> Guard(GLock);
    if (FPending->Dropped) {
        FError = EndingText();
        return false;
    }
    bool Exists = false;
    if (!Rename(FPending->Handle, FPending->TempPath, Path, Mode == cmReplace, Exists, Error)) {
        FTargetExists = Exists;
        Fail(Error);
        return false;
    }
    std::erase(GPending, FPending.get());
    FPending.reset();
    return true;
}

void TAtomicFile::Discard()
{
    if (!FPending)
        return;
    {
        const std::lock_guard<std::mutex> Guard(GLock);
        if (!FPending->Dropped)
            Drop(FPending->Handle, FPending->TempPath);
        std::erase(GPending, FPending.get());
    }
    Close(FPending->Handle);
    FPending.reset();
}

void TAtomicFile::RemoveAbandoned(const QString& Folder, const QString& TargetName)
{
    const QRegularExpression Name(QStringLiteral("^(?:%1)\\.[A-Za-z0-9]{6}$").arg(TargetName));
    const QDir Dir(Folder);
    for (const QString& File : Dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (Name.match(File).hasMatch())
            RemoveIfAbandoned(Dir.filePath(File));
}

void TAtomicFile::DiscardPending()
{
    const std::lock_guard<std::mutex> Guard(GLock);
    GEnding = true;
    for (TPendingFile* P : GPending) {
        if (!P->Dropped)
            Drop(P->Handle, P->TempPath);
        P->Dropped = true;
    }
}
