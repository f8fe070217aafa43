#include "atomic_file.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The temporary file is held with flock(), which every process on the
// machine sees, whatever PID namespace it runs in; the lock ends with the
// process however it ends.

namespace {

QByteArray Native(const QString& Path)
{
    return QFile::encodeName(Path);
}

bool SameFile(int Fd, const QByteArray& Path)
{
    struct stat Held, Named;
    return ::fstat(Fd, &Held) == 0 && ::lstat(Path.constData(), &Named) == 0 && Held.st_dev == Named.st_dev
           && Held.st_ino == Named.st_ino;
}

int Locked(int Fd, int How)
{
    int Rc;
    do
        Rc = ::flock(Fd, How);
    while (Rc != 0 && errno == EINTR);
    return Rc;
}

// Gives From the name To unless To exists. Not every system or file system
// has an atomic way; the last resort checks first.
bool RenameKeeping(const QByteArray& From, const QByteArray& To, bool& Exists)
{
#if defined(Q_OS_LINUX) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, From.constData(), AT_FDCWD, To.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        Exists = errno == EEXIST;
        return false;
    }
#endif
    if (::link(From.constData(), To.constData()) == 0) {
        ::unlink(From.constData());
        return true;
    }
    if (errno == EEXIST) {
        Exists = true;
        return false;
    }
    struct stat St;
    if (::lstat(To.constData(), &St) == 0) {
        Exists = true;
        errno = EEXIST;
        return false;
    }
    return ::rename(From.constData(), To.constData()) == 0;
}

} // namespace

bool TAtomicFile::CreateHeld(const QString& TempPath, qintptr& Handle, bool& Exists, int& Error)
{
    const QByteArray Name = Native(TempPath);
    int Fd;
    do
        Fd = ::open(Name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    while (Fd < 0 && errno == EINTR);
    if (Fd < 0) {
        Error = errno;
        Exists = Error == EEXIST;
        return false;
    }
    // Someone cleaning up may have taken the new file for an abandoned one
    // between its creation and the lock; then it is no longer under its name.
    if (Locked(Fd, LOCK_EX) == 0 && !SameFile(Fd, Name)) {
        ::close(Fd);
        Exists = true;
        return false;
    }
    // A file system without locks still gets the file written.
    Handle = Fd;
    return true;
}

bool TAtomicFile::WriteSome(qintptr Handle, const char* Data, qint64 Size, qint64& Done, int& Error)
{
    for (;;) {
        const ssize_t N = ::write(int(Handle), Data, size_t(qMin<qint64>(Size, qint64(1) << 30)));
        if (N > 0) {
            Done = N;
            return true;
        }
        if (N < 0 && errno == EINTR)
            continue;
        // A short write (a full disk) comes back as N > 0; the next one
        // gives the reason.
        Error = N < 0 ? errno : EIO;
        return false;
    }
}

bool TAtomicFile::Sync(qintptr Handle, int& Error)
{
    if (::fsync(int(Handle)) == 0 || errno == EINVAL || errno == EROFS)
        return true;
    Error = errno;
    return false;
}

bool TAtomicFile::Rename(qintptr& Handle, const QString& TempPath, const QString& Path, bool Replace,
                         bool& Exists, int& Error)
{
    const QByteArray From = Native(TempPath), To = Native(Path);
    // Renamed while still held, so no one takes it for abandoned in between.
    const bool Done = Replace ? ::rename(From.constData(), To.constData()) == 0 : RenameKeeping(From, To, Exists);
    if (!Done) {
        Error = errno;
        return false;
    }
    // The data is on disk already (Sync), so closing can no longer lose any.
    Close(Handle);
    Handle = -1;
    return true;
}

void TAtomicFile::Drop(qintptr, const QString& TempPath)
{
    ::unlink(Native(TempPath).constData());
}

void TAtomicFile::Close(qintptr Handle)
{
    if (Handle >= 0)
        ::close(int(Handle));
}

void TAtomicFile::RemoveIfAbandoned(const QString& Path)
{
    const QByteArray Name = Native(Path);
    const int Fd = ::open(Name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0)
        return;
    struct stat St;
    // Only a regular file that nobody holds, and still the one under that name.
    if (::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode) && Locked(Fd, LOCK_EX | LOCK_NB) == 0 && SameFile(Fd, Name))
        ::unlink(Name.constData());
    ::close(Fd);
}
