#include "regular_file.h"

#include <QFile>

#include <vector>

bool ReadCapped(const QString& Path, qint64 Cap, QByteArray& Data, QString& ErrMsg)
{
    Data.clear();
    TRegularFile In;
    if (!In.Open(Path, ErrMsg))
        return false;
    char Buf[64 * 1024];
    for (;;) {
        const qint64 Got = In.Read(Buf, sizeof Buf, ErrMsg);
        if (Got < 0)
            return false;
        if (Got == 0)
            return true;
        // Enforced while reading: a size reported up front can lie or change.
        if (Data.size() + Got > Cap) {
            ErrMsg = QStringLiteral("文件过大（超过 %1 MiB）").arg(Cap >> 20);
            Data.clear();
            return false;
        }
        Data.append(Buf, Got);
    }
}

bool CopyCapped(const QString& From, const QString& To, qint64 Cap, QString& ErrMsg)
{
    TRegularFile In;
    if (!In.Open(From, ErrMsg))
        return false;
    QFile Out(To);
    if (!Out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
        ErrMsg = QStringLiteral("无法复制数据库文件：%1").arg(Out.errorString());
        return false;
    }
    std::vector<char> Buf(4 * 1024 * 1024);
    qint64 Total = 0;
    for (;;) {
        const qint64 Got = In.Read(Buf.data(), qint64(Buf.size()), ErrMsg);
        if (Got < 0) {
            ErrMsg = QStringLiteral("读取数据库文件失败：%1").arg(ErrMsg);
            return false;
        }
        if (Got == 0)
            return true;
        Total += Got;
        if (Total > Cap) {
            ErrMsg = QStringLiteral("数据库文件过大（超过 %1 MiB）").arg(Cap >> 20);
            return false;
        }
        if (Out.write(Buf.data(), Got) != Got) {
            ErrMsg = QStringLiteral("无法复制数据库文件：%1").arg(Out.errorString());
            return false;
        }
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
