#include "regular_file.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TRegularFile::~TRegularFile()
{
    Close();
}

bool TRegularFile::Open(const QString& Path, QString& ErrMsg)
{
    Close();
    FError = oeNone;
    // Non-blocking, so a FIFO with no writer does not hold the open; the
    // type is then checked on the handle itself, not on the name.
    int Fd;
    do
        Fd = ::open(QFile::encodeName(Path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (Fd < 0 && errno == EINTR);
    if (Fd < 0) {
        const int Err = errno;
        FError = Err == ENOENT || Err == ENOTDIR ? oeMissing : oeOther;
        ErrMsg = FError == oeMissing ? QStringLiteral("找不到文件")
                                     : QStringLiteral("无法打开文件：%1").arg(qt_error_string(Err));
        return false;
    }
    struct stat St;
    if (::fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode)) {
        ::close(Fd);
        FError = oeNotRegular;
        ErrMsg = QStringLiteral("不是普通文件，已跳过");
        return false;
    }
    ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK);
    FHandle = Fd;
    FState.Id = {quint64(St.st_dev), quint64(St.st_ino)};
    FState.Size = qint64(St.st_size);
    FState.ChangeNs = qint64(St.st_ctim.tv_sec) * 1000000000 + St.st_ctim.tv_nsec;
    FState.ModifyNs = qint64(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
    return true;
}

qint64 TRegularFile::Read(char* Buf, qint64 Max, QString& ErrMsg)
{
    for (;;) {
        const ssize_t Got = ::read(int(FHandle), Buf, size_t(Max));
        if (Got >= 0)
            return Got;
        if (errno != EINTR) {
            ErrMsg = qt_error_string(errno);
            return -1;
        }
    }
}

void TRegularFile::Close()
{
    if (FHandle >= 0)
        ::close(int(FHandle));
    FHandle = -1;
}
