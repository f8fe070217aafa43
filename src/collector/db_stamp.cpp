#include "db_stamp.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The database header holds the change counter (bytes 24-27) and the page
// count; the WAL header its checkpoint sequence and salts; a rollback journal
// its header and, from the first sector on, the first page record, which every
// transaction writes anew with its own checksum nonce.
constexpr qint64 kMainHead = 100;
constexpr qint64 kWalHead = 32;
constexpr qint64 kJournalHead = 16 * 1024;

// A journal whose header is intact would be rolled back by the next reader;
// PERSIST mode and exclusive locking zero the header when they commit instead
// of deleting the file.
bool HotJournal(const QByteArray& Head)
{
    static const char Magic[] = {'\xd9', '\xd5', '\x05', '\xf9', '\x20', '\xa1', '\x63', '\xd7'};
    return Head.startsWith(QByteArray::fromRawData(Magic, sizeof Magic));
}

} // namespace

TDbStamp::TPart TDbStamp::TakePart(const QString& Path, qint64 HeadBytes, QString& ErrMsg)
{
    TPart P;
    TRegularFile F;
    if (!F.Open(Path, ErrMsg)) {
        P.Exists = F.Error() != oeMissing;
        return P;
    }
    P.Exists = true;
    P.State = F.State();
    P.Head.resize(qsizetype(HeadBytes));
    const qint64 Got = F.ReadFull(P.Head.data(), HeadBytes, ErrMsg);
    P.Regular = Got >= 0;
    P.Head.resize(qsizetype(std::max<qint64>(Got, 0)));
    return P;
}

bool TDbStamp::Take(const QString& Path, QString& ErrMsg)
{
    QString Why;
    FMain = TakePart(Path, kMainHead, Why);
    if (!FMain.Regular) {
        ErrMsg = FMain.Exists ? QStringLiteral("无法读取数据库文件 %1：%2").arg(QFileInfo(Path).fileName(), Why)
                              : QStringLiteral("找不到历史数据库文件");
        return false;
    }
    FWal = TakePart(Path + QLatin1String("-wal"), kWalHead, Why);
    FJournal = TakePart(Path + QLatin1String("-journal"), kJournalHead, Why);
    return true;
}

bool TDbStamp::Quiet(qint64 NowNs, qint64 MinAgeNs) const
{
    if (!FMain.Regular || (FWal.Exists && (!FWal.Regular || FWal.State.Size > 0))
        || (FJournal.Exists && (!FJournal.Regular || HotJournal(FJournal.Head))))
        return false;
    for (const TPart* P : {&FMain, &FWal, &FJournal})
        if (P->Exists && std::max(P->State.ChangeNs, P->State.ModifyNs) > NowNs - MinAgeNs)
            return false;
    return true;
}
