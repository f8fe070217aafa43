#include "private_dir.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int GWake[2] = {-1, -1};
std::atomic<int> GStopSignal{0};
std::atomic<bool> GFinished{false};

void OnStop(int Sig)
{
    // Nothing left to clean up: end at once, and say it was a stop.
    if (GFinished.load())
        ::_exit(128 + Sig);
    const int Saved = errno;
    int None = 0;
    GStopSignal.compare_exchange_strong(None, Sig);
    const char Byte = 1;
    [[maybe_unused]] const ssize_t N = ::write(GWake[1], &Byte, 1);
    errno = Saved;
}

int FlockNow(int Fd, int How)
{
    int Rc;
    do
        Rc = ::flock(Fd, How);
    while (Rc != 0 && errno == EINTR);
    return Rc;
}

QByteArray LockName(const QString& Dir)
{
    return QFile::encodeName(Dir + QStringLiteral("/.lock"));
}

} // namespace

void InstallStopHandler()
{
    if (GWake[0] >= 0 || ::pipe2(GWake, O_CLOEXEC) != 0)
        return;
    // The handler only wakes this thread, which may then take locks and
    // remove files while the main thread is anywhere in its work.
    std::thread([] {
        char Byte;
        while (::read(GWake[0], &Byte, 1) < 0 && errno == EINTR) {
        }
        RemoveRunLeftovers();
        ::_exit(128 + GStopSignal.load());
    }).detach();
    struct sigaction Sa = {};
    Sa.sa_handler = OnStop;
    ::sigemptyset(&Sa.sa_mask);
    for (const int Sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(Sig, &Sa, nullptr);
}

int FinishRun(int Code)
{
    GFinished = true;
    const int Sig = GStopSignal.load();
    return Sig ? 128 + Sig : Code;
}

bool LockPrivateDir(const QString& Dir, qintptr& Lock, QString& ErrMsg)
{
    // Locked under another name and then renamed, so the lock file is never
    // seen unlocked. Where the file system has no locks, others take the
    // folder for held, which keeps it safe.
    const QByteArray Name = LockName(Dir);
    const QByteArray New = Name + ".new";
    const int Fd = ::open(New.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (Fd >= 0)
        FlockNow(Fd, LOCK_EX);
    if (Fd < 0 || ::rename(New.constData(), Name.constData()) != 0) {
        ErrMsg = QStringLiteral("无法锁定临时目录：%1").arg(qt_error_string(errno));
        if (Fd >= 0)
            ::close(Fd);
        return false;
    }
    Lock = Fd;
    return true;
}

void UnlockPrivateDir(qintptr Lock)
{
    if (Lock >= 0)
        ::close(int(Lock));
}

TDirLock ProbePrivateDir(const QString& Dir)
{
    const int Fd = ::open(LockName(Dir).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0)
        return errno == ENOENT ? dlMissing : dlHeld;
    struct stat St;
    // Anything that cannot be told counts as held: a live run's copies are
    // worth more than a stale folder.
    const bool Free = ::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode) && FlockNow(Fd, LOCK_EX | LOCK_NB) == 0;
    ::close(Fd);
    return Free ? dlFree : dlHeld;
}
