#include "db_snapshot.h"

#include "db_stamp.h"
#include "private_dir.h"
#include "regular_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

namespace {

// Databases and side files larger than this are not copied.
constexpr qint64 kMaxDatabaseBytes = qint64(16) << 30;

constexpr int kInPlaceTries = 2;
constexpr int kCopyTries = 10;

const char* const kSuffixes[] = {"", "-wal", "-journal"};

// How long the files must have been left alone before a read where they lie:
// longer than the step of any file system's clock (FAT keeps two seconds),
// so a write during the read always shows in the change time. Tests shorten it.
qint64 MinQuietAgeNs()
{
    bool Set = false;
    const int Ms = qEnvironmentVariableIntValue("MK_QUIET_AGE_MS", &Set);
    return qint64(Set ? Ms : 3000) * 1000000;
}

qint64 NowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

// Waits, half a second at most, until the files hold still for a moment, so
// that a writer in the middle of a burst of commits can finish it first.
void AwaitStill(const QString& Path)
{
    TDbStamp Last, Now;
    QString Ignored;
    Last.Take(Path, Ignored);
    for (int I = 0; I < 25; ++I) {
        QThread::msleep(20);
        Now.Take(Path, Ignored);
        if (Now == Last)
            return;
        Last = Now;
    }
}

enum TCopyResult { crDone, crChanged, crFailed };

// A private copy of a database and its side files; removed with the object,
// and on a stop signal too.
class TDbCopy final
{
public:
    // Copies the files Before describes. crChanged when anything moved
    // meanwhile: a commit, a side file that came or went, bytes that no
    // longer match once copied.
    TCopyResult Make(const QString& Source, const TDbStamp& Before, QString& ErrMsg)
    {
        if (!FDir.IsValid()) {
            ErrMsg = QStringLiteral("无法创建临时目录：%1").arg(FDir.ErrorString());
            return crFailed;
        }
        FPath = FDir.FilePath(QStringLiteral("history.db"));
        for (const char* Suffix : kSuffixes) {
            const QString From = Source + QLatin1String(Suffix);
            // The WAL holds the newest visits of a running browser; the shared-memory
            // index is left behind on purpose, SQLite rebuilds it from the WAL.
            if (*Suffix && !QFileInfo::exists(From))
                continue;
            QString Why;
            if (!CopyCapped(From, FPath + QLatin1String(Suffix), kMaxDatabaseBytes, Why)) {
                if (Moved(Source, Before))
                    return crChanged;
                ErrMsg = QStringLiteral("无法复制数据库文件 %1：%2").arg(QFileInfo(From).fileName(), Why);
                return crFailed;
            }
        }
        if (Moved(Source, Before))
            return crChanged;
        // A commit within one step of the file system's clock, in exclusive
        // locking mode, can leave every stamp as it was; its bytes cannot.
        for (const char* Suffix : kSuffixes) {
            const QString To = FPath + QLatin1String(Suffix);
            if (QFileInfo::exists(To) && !SameContent(Source + QLatin1String(Suffix), To))
                return crChanged;
        }
        HoldForTests();
        if (PrivateDirsEnding()) {
            ErrMsg = QStringLiteral("程序正在退出");
            return crFailed;
        }
        return crDone;
    }
    const QString& Path() const { return FPath; }

private:
    static bool Moved(const QString& Source, const TDbStamp& Before)
    {
        TDbStamp Now;
        QString Ignored;
        return !Now.Take(Source, Ignored) || !(Now == Before);
    }

    // Lets the tests stop a run while its copies exist.
    static void HoldForTests()
    {
        // In slices, so a stop can still remove the copy in time.
        const int Ms = qEnvironmentVariableIntValue("MK_COLLECTOR_HOLD_MS");
        for (int Held = 0; Held < Ms && !PrivateDirsEnding(); Held += 50)
            QThread::msleep(50);
    }

    TPrivateDir FDir;
    QString FPath;
};

} // namespace

bool ReadConsistent(const QString& Path, const TSnapshotRead& Read, QString& ErrMsg)
{
    // Copying a large history costs more than reading it, so a quiet database
    // is read where it lies. A failure there is repeated on a copy, which is
    // also what gives the message.
    const qint64 MinAge = MinQuietAgeNs();
    for (int Try = 0; Try < kInPlaceTries; ++Try) {
        TDbStamp Before, After;
        if (!Before.Take(Path, ErrMsg))
            return false;
        if (!Before.Quiet(NowNs(), MinAge))
            break;
        QString Ignored;
        const bool Ok = Read({QUrl::fromLocalFile(Path).toEncoded() + "?immutable=1", true}, Ignored);
        if (After.Take(Path, Ignored) && After == Before) {
            if (Ok)
                return true;
            break;
        }
    }
    for (int Try = 0; Try < kCopyTries; ++Try) {
        if (Try > 0)
            AwaitStill(Path);
        TDbStamp Before;
        if (!Before.Take(Path, ErrMsg))
            return false;
        TDbCopy Copy;
        switch (Copy.Make(Path, Before, ErrMsg)) {
        case crDone:
            return Read({QFile::encodeName(Copy.Path()), false}, ErrMsg);
        case crFailed:
            return false;
        case crChanged:
            break;
        }
    }
    ErrMsg = QStringLiteral("数据库正被浏览器持续写入，%1 次复制都未能取得一致的内容；请稍后重试或先关闭浏览器")
                 .arg(kCopyTries);
    return false;
}
