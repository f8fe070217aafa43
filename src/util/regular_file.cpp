#include "regular_file.h"

#include <QFile>

#include <cstring>
#include <vector>

namespace {

QString TooLargeText(qint64 Cap)
{
    return QStringLiteral("文件过大（超过 %1 MiB）").arg(Cap >> 20);
}

} // namespace

qint64 TRegularFile::ReadFull(char* Buf, qint64 Max, QString& ErrMsg)
{
    qint64 Done = 0;
    while (Done < Max) {
        const qint64 Got = Read(Buf + Done, Max - Done, ErrMsg);
        if (Got < 0)
            return -1;
        if (Got == 0)
            break;
        Done += Got;
    }
    return Done;
}

bool ReadRest(TRegularFile& File, qint64 Cap, QByteArray& Data, bool& TooLarge, QString& ErrMsg)
{
    Data.clear();
    TooLarge = false;
    // Sized once from what the system said; the cap below holds whatever it said.
    Data.reserve(qsizetype(qBound<qint64>(0, File.State().Size, Cap)));
    char Buf[64 * 1024];
    for (;;) {
        const qint64 Got = File.Read(Buf, sizeof Buf, ErrMsg);
        if (Got < 0)
            break;
        if (Got == 0)
            return true;
        // Enforced while reading: a size reported up front can lie or change.
        if (Data.size() + Got > Cap) {
            TooLarge = true;
            break;
        }
        Data.append(Buf, Got);
    }
    Data.clear();
    Data.squeeze();
    return false;
}

bool ReadCapped(const QString& Path, qint64 Cap, QByteArray& Data, QString& ErrMsg)
{
    Data.clear();
    TRegularFile In;
    if (!In.Open(Path, ErrMsg))
        return false;
    bool TooLarge = false;
    if (ReadRest(In, Cap, Data, TooLarge, ErrMsg))
        return true;
    if (TooLarge)
        ErrMsg = TooLargeText(Cap);
    return false;
}

bool CopyCapped(const QString& From, const QString& To, qint64 Cap, QString& ErrMsg)
{
    TRegularFile In;
    if (!In.Open(From, ErrMsg))
        return false;
    QFile Out(To);
    // Unbuffered: each write reaches the system at once and fails with its reason.
    if (!Out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                  QFile::ReadOwner | QFile::WriteOwner)) {
        ErrMsg = QStringLiteral("无法创建副本：%1").arg(Out.errorString());
        return false;
    }
    auto Fail = [&](const QString& Why) {
        ErrMsg = Why;
        Out.close();
        Out.remove();
        return false;
    };
    std::vector<char> Buf(4 * 1024 * 1024);
    qint64 Total = 0;
    for (;;) {
        QString Why;
        const qint64 Got = In.Read(Buf.data(), qint64(Buf.size()), Why);
        if (Got < 0)
            return Fail(QStringLiteral("读取失败：%1").arg(Why));
        if (Got == 0)
            break;
        Total += Got;
        if (Total > Cap)
            return Fail(TooLargeText(Cap));
        for (qint64 Done = 0; Done < Got;) {
            const qint64 Put = Out.write(Buf.data() + Done, Got - Done);
            if (Put <= 0)
                return Fail(QStringLiteral("写入副本失败：%1").arg(Out.errorString()));
            Done += Put;
        }
    }
    // A file system may report the last write only when the file is closed.
    if (!Out.flush())
        return Fail(QStringLiteral("写入副本失败：%1").arg(Out.errorString()));
    Out.close();
    if (Out.error() != QFileDevice::NoError)
        return Fail(QStringLiteral("写入副本失败：%1").arg(Out.errorString()));
    return true;
}

bool SameContent(const QString& A, const QString& B)
{
    TRegularFile FA, FB;
    QString Ignored;
    if (!FA.Open(A, Ignored) || !FB.Open(B, Ignored))
        return false;
    std::vector<char> BufA(1024 * 1024), BufB(BufA.size());
    for (;;) {
        const qint64 GotA = FA.ReadFull(BufA.data(), qint64(BufA.size()), Ignored);
        const qint64 GotB = FB.ReadFull(BufB.data(), qint64(BufB.size()), Ignored);
        if (GotA < 0 || GotA != GotB || std::memcmp(BufA.data(), BufB.data(), size_t(GotA)) != 0)
            return false;
        if (GotA == 0)
            return true;
    }
}

bool RegularFileId(const QString& Path, TFileId& Id)
{
    TRegularFile F;
    QString Ignored;
    if (!F.Open(Path, Ignored))
        return false;
    Id = F.Id();
    return true;
}
