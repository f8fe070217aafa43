#include "console_runner.h"

#include "text_util.h"

#include <QProcess>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

// Both output streams go into one pipe of our own, read on a thread of the
// runner's own straight into the output buffer; QProcess only starts the
// child and watches its exit. The child runs in a process group of its own.
// Reading a large output costs the reading thread most of its time, and
// growing the buffer now and then copies or remaps tens of MB: none of that
// may hold up the window.

namespace {

// How many chunks the reader takes before it hands the buffer back, so that
// a drain is not kept waiting for a child that writes without pause.
constexpr int kReadsPerBatch = 16;
constexpr int kChunkSize = 64 << 10;

enum TReadResult { rrMore, rrEmpty, rrEnded };

// Reads up to MaxReads chunks from Fd straight into room at the end of Buf,
// never waiting: rrEmpty once the pipe is empty, rrEnded at the end of data
// or on a broken pipe.
TReadResult ReadInto(int Fd, QByteArray& Buf, int MaxReads)
{
    // One pipe's worth at a time: a read with more room keeps going for as
    // long as a fast writer keeps the pipe filled.
    constexpr qsizetype kChunk = kChunkSize;
    // Past the first MiB, output is taken to be large: room this size is
    // mapped on its own and costs nothing until written, and growing it later
    // remaps instead of copying what is already there.
    constexpr qsizetype kFirstRoom = 1 << 20;
    constexpr qsizetype kLargeRoom = qsizetype(64) << 20;
    for (int I = 0; I < MaxReads; ++I) {
        // The reserve only chooses how the buffer grows; resize() is what
        // guarantees the room, also when taking lines off the front has left
        // free space at the start.
        const qsizetype Old = Buf.size();
        if (Buf.capacity() - Old < kChunk)
            Buf.reserve(Old < kFirstRoom / 2 ? kFirstRoom : qMax(kLargeRoom, 2 * Buf.capacity()));
        Buf.resize(Old + kChunk);
        const ssize_t Got = ::read(Fd, Buf.data() + Old, size_t(kChunk));
        const int Err = errno;
        Buf.resize(Old + qMax<ssize_t>(Got, 0));
        if (Got > 0 || (Got < 0 && Err == EINTR))
            continue;
        return Got < 0 && (Err == EAGAIN || Err == EWOULDBLOCK) ? rrEmpty : rrEnded;
    }
    return rrMore;
}

QString ErrnoText(int Err)
{
    return CleanSystemText(QString::fromLocal8Bit(std::strerror(Err)));
}

// Keeps the pipe clear of descriptors 0..2: the child's dup2 onto 1 and 2
// would otherwise be a no-op that leaves close-on-exec set.
int AboveStdio(int Fd)
{
    if (Fd > 2)
        return Fd;
    const int Moved = ::fcntl(Fd, F_DUPFD_CLOEXEC, 3);
    ::close(Fd);
    return Moved;
}

// A process of ours in the run's process group that does nothing and is
// reaped only when the run is closed. QProcess reaps the child the moment it
// ends, which frees its id, the group's id; while this process exists, even
// as a zombie, the id stays taken, so a signal to the group reaches only
// processes of the run and never a stranger that got the id next. It is a
// copy of this program that writes nothing, so it costs little more than the
// pages the program itself writes while the run lasts.
class TGroupHold final {
public:
    TGroupHold() = default;
    TGroupHold(const TGroupHold&) = delete;
    TGroupHold& operator=(const TGroupHold&) = delete;
    ~TGroupHold() { Release(); }

    // Group must still be ours: its leader is not yet reaped.
    void Hold(pid_t Group);
    bool Held() const { return FPid > 0; }
    // Ends and reaps the holding process; the group's id may then be reused.
    void Release();

private:
    [[noreturn]] static void Wait(pid_t Parent);
    pid_t FPid = -1;
};

void TGroupHold::Hold(pid_t Group)
{
    Release();
    const pid_t Parent = ::getpid();
    // Every signal but SIGKILL is held off in the copy from its first moment:
    // a stop asks the group to end with SIGTERM, and this process must
    // outlast the run. Blocked here, so the copy starts with that mask.
    sigset_t All, Old;
    ::sigfillset(&All);
    ::pthread_sigmask(SIG_SETMASK, &All, &Old);
    const pid_t Pid = ::fork();
    if (Pid == 0)
        Wait(Parent);
    ::pthread_sigmask(SIG_SETMASK, &Old, nullptr);
    if (Pid < 0)
        return;
    // Joined from here, so the group is the child's before this returns.
    if (::setpgid(Pid, Group) != 0) {
        ::kill(Pid, SIGKILL);
        while (::waitpid(Pid, nullptr, 0) < 0 && errno == EINTR) {}
        return;
    }
    FPid = Pid;
}

void TGroupHold::Wait(pid_t Parent)
{
    // A copy of a program with threads: only async-signal-safe calls here.
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (::getppid() != Parent)
        ::_exit(0);
    // Holds none of the program's files, pipes or sockets open meanwhile.
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 0u, ~0u, 0u) != 0)
#endif
    {
        rlimit Limit{};
        const rlim_t Max = ::getrlimit(RLIMIT_NOFILE, &Limit) == 0 && Limit.rlim_cur != RLIM_INFINITY
                               ? qMin<rlim_t>(Limit.rlim_cur, 1 << 16)
                               : 1 << 12;
        for (rlim_t Fd = 0; Fd < Max; ++Fd)
            ::close(int(Fd));
    }
    for (;;)
        ::pause();
}

void TGroupHold::Release()
{
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGKILL);
    while (::waitpid(FPid, nullptr, 0) < 0 && errno == EINTR) {}
    FPid = -1;
}

// Reads the run's output pipe on a thread of its own until the end of data
// or until it is told to stop. What it read waits in a buffer that the
// thread lends itself for each batch of reads; the owner takes the buffer
// between batches, so neither side ever waits for the other's reading or
// for the buffer to grow, and each byte is copied once, from the pipe.
class TPipeReader final {
public:
    TPipeReader() = default;
    TPipeReader(const TPipeReader&) = delete;
    TPipeReader& operator=(const TPipeReader&) = delete;
    ~TPipeReader() { Stop(); }

    // Starts reading Fd, which stays the caller's; false (nothing started)
    // when no thread or wake-up pipe can be had.
    bool Start(int Fd);
    // Ends the thread after its current batch; what it read stays to be taken.
    void Stop();
    // Stops and drops what was read: the run is over.
    void Clear();
    // Moves what has been read into Buf: swapped in when Buf is empty, which
    // hands Buf's own storage to the reader for reuse, else appended.
    // Throws std::bad_alloc when the reader ran out of memory: the output is
    // incomplete from there on.
    void TakeInto(QByteArray& Buf);
    qsizetype Pending() const { return FPendingSize.load(std::memory_order_relaxed); }

private:
    void Run();

    int FFd = -1;
    int FWake[2] = {-1, -1};
    std::thread FThread;
    std::mutex FLock;
    QByteArray FPending;     // guarded by FLock; lent to the thread during a batch
    bool FLent = false;      // guarded by FLock
    bool FFailed = false;    // guarded by FLock
    std::atomic<qsizetype> FPendingSize{0};
};

bool TPipeReader::Start(int Fd)
{
    Clear();
    if (::pipe2(FWake, O_CLOEXEC) != 0) {
        FWake[0] = FWake[1] = -1;
        return false;
    }
    FFd = Fd;
    try {
        FThread = std::thread([this] { Run(); });
    } catch (const std::exception&) {
        ::close(FWake[0]);
        ::close(FWake[1]);
        FWake[0] = FWake[1] = -1;
        return false;
    }
    return true;
}

void TPipeReader::Stop()
{
    if (!FThread.joinable())
        return;
    const char Byte = 0;
    while (::write(FWake[1], &Byte, 1) < 0 && errno == EINTR) {}
    FThread.join();
    ::close(FWake[0]);
    ::close(FWake[1]);
    FWake[0] = FWake[1] = -1;
}

void TPipeReader::Clear()
{
    Stop();
    FPending = QByteArray();
    FPendingSize = 0;
    FFailed = false;
}

void TPipeReader::Run()
{
    pollfd Fds[2] = {{FFd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    QByteArray Buf;
    bool Failed = false;
    for (;;) {
        Fds[0].revents = Fds[1].revents = 0;
        if (::poll(Fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (Fds[1].revents != 0)
            break;
        {
            std::lock_guard<std::mutex> Guard(FLock);
            Buf.swap(FPending);
            FLent = true;
        }
        TReadResult Result = rrMore;
        try {
            Result = ReadInto(FFd, Buf, kReadsPerBatch);
        } catch (const std::exception&) {
            // Out of memory: the pipe is still emptied, so the child is not
            // left blocked on it, but what it writes is lost.
            Failed = true;
            Buf = QByteArray();
            char Sink[4096];
            while (::read(FFd, Sink, sizeof Sink) > 0) {}
        }
        {
            std::lock_guard<std::mutex> Guard(FLock);
            // Taken meanwhile, the pending buffer can only be an empty spare.
            FPending.swap(Buf);
            FLent = false;
            FFailed = FFailed || Failed;
            FPendingSize.store(FPending.size(), std::memory_order_relaxed);
        }
        Buf = QByteArray();
        if (Result == rrEnded)
            break;
    }
}

void TPipeReader::TakeInto(QByteArray& Buf)
{
    std::lock_guard<std::mutex> Guard(FLock);
    if (FFailed)
        throw std::bad_alloc();
    if (FLent || FPending.isEmpty())
        return;
    if (Buf.isEmpty())
        Buf.swap(FPending);
    else
        Buf.append(FPending);
    FPending.resize(0);
    FPendingSize.store(0, std::memory_order_relaxed);
}

} // namespace

struct TConsoleRunner::TPlatform {
    int FRead = -1;              // our end of the output pipe
    int FPendingRead = -1;       // both ends between Prepare and AfterStart
    int FPendingWrite = -1;
    TPipeReader FReader;         // reads FRead while the run lasts
    bool FReading = false;       // FReader runs; else drains read FRead themselves
    qint64 FGroup = 0;           // process group of the current child
    TGroupHold FHold;            // keeps FGroup's id from passing to a stranger
    QElapsedTimer FStopClock;    // valid once the run was asked to end

    // The group to signal, or 0 once its id may belong to someone else:
    // without the hold, only while QProcess has not reaped the child.
    qint64 OwnGroup(const QProcess* Proc) const
    {
        return FHold.Held() || (Proc && Proc->state() != QProcess::NotRunning) ? FGroup : 0;
    }
};

void TConsoleRunner::TPlatformDeleter::operator()(TPlatform* Platform) const
{
    delete Platform;
}

TConsoleRunner::TPlatform* TConsoleRunner::NewPlatform()
{
    return new TPlatform;
}

bool TConsoleRunner::Prepare(QProcess& Proc, const QString& Params, QString& ErrMsg)
{
    // No shell is involved: the string is split the way the program splits its
    // own command line, so nothing in a title or keyword can run a command.
    Proc.setArguments(SplitCommandLine(Params));

    int Fds[2];
    if (::pipe2(Fds, O_CLOEXEC) != 0) {
        ErrMsg = QStringLiteral("创建输出管道失败：") + ErrnoText(errno);
        return false;
    }
    const int ReadFd = AboveStdio(Fds[0]);
    const int WriteFd = AboveStdio(Fds[1]);
    if (ReadFd < 0 || WriteFd < 0) {
        const int Err = errno;
        ::close(ReadFd);
        ::close(WriteFd);
        ErrMsg = QStringLiteral("创建输出管道失败：") + ErrnoText(Err);
        return false;
    }
    ::fcntl(ReadFd, F_SETFL, ::fcntl(ReadFd, F_GETFL) | O_NONBLOCK);
    Proc.setStandardOutputFile(QProcess::nullDevice());
    Proc.setChildProcessModifier([WriteFd] {
        ::dup2(WriteFd, STDOUT_FILENO);
        ::dup2(WriteFd, STDERR_FILENO);
        // A group of its own lets Stop reach every process the child starts.
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        // Like the job's kill-on-close: a run does not outlive this program,
        // however it ends (Ctrl+C no longer reaches the child's own group).
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    });
    FPlatform->FPendingRead = ReadFd;
    FPlatform->FPendingWrite = WriteFd;
    return true;
}

void TConsoleRunner::AfterStart(QProcess& Proc, bool Ok)
{
    TPlatform& P = *FPlatform;
    const int ReadFd = P.FPendingRead;
    // From now on only the child holds a write end.
    ::close(P.FPendingWrite);
    P.FPendingRead = P.FPendingWrite = -1;
    if (!Ok) {
        ::close(ReadFd);
        return;
    }
    P.FGroup = Proc.processId();
    // QProcess collects the child's end only from the event loop or its
    // waits, so the child is not reaped yet and its group is still the run's.
    P.FHold.Hold(pid_t(P.FGroup));
    P.FRead = ReadFd;
    // The reader keeps the pipe empty between two polls, so a child that
    // writes a lot never waits for us; without it, each drain reads.
    P.FReading = P.FReader.Start(P.FRead);
}

qsizetype TConsoleRunner::Held() const
{
    return FBuf.size() + FPlatform->FReader.Pending();
}

void TConsoleRunner::ReadRest()
{
    TPlatform& P = *FPlatform;
    // The reader's batch in hand is finished first; the rest is read here,
    // after what the reader has read, so the order stays as written.
    if (P.FReading) {
        P.FReader.Stop();
        P.FReading = false;
        P.FReader.TakeInto(FBuf);
    }
    // Enough reads to empty the pipe, however large the child made it.
    int Reads = kReadsAtExit;
#ifdef F_GETPIPE_SZ
    if (P.FRead >= 0)
        Reads = qMax(Reads, ::fcntl(P.FRead, F_GETPIPE_SZ) / kChunkSize + 2);
#endif
    ReadPipe(Reads);
}

void TConsoleRunner::CatchUp(bool Hold)
{
    TPlatform& P = *FPlatform;
    // Output to hold stays with the reader, in the one buffer it grows, until
    // the exit; without a reader, the drain reads what the pipe holds now.
    if (!P.FReading)
        ReadPipe(kReadsPerDrain);
    else if (!Hold)
        P.FReader.TakeInto(FBuf);
}

void TConsoleRunner::ReadPipe(int MaxReads)
{
    if (FPlatform->FRead >= 0)
        ReadInto(FPlatform->FRead, FBuf, MaxReads);
}

quint32 TConsoleRunner::CrashCode(int Code)
{
    // Killed by a signal we did not send: the shell's convention.
    return 128 + quint32(Code);
}

void TConsoleRunner::EndRun()
{
    // Asked first, so the collector can remove its private copies; whatever
    // has not ended after the grace time is killed.
    TPlatform& P = *FPlatform;
    FTree.AskToEnd(P.OwnGroup(FProc.get()));
    P.FStopClock.start();
    if (FProc)
        QTimer::singleShot(kStopGraceMs, FProc.get(), [this] { FTree.Kill(FPlatform->OwnGroup(FProc.get())); });
}

void TConsoleRunner::CloseRun()
{
    TPlatform& P = *FPlatform;
    P.FReader.Clear();
    P.FReading = false;
    if (P.FRead >= 0) {
        ::close(P.FRead);
        P.FRead = -1;
    }
    // Like a job closed with kill-on-close: processes the child left behind
    // end with the run. A child still running (the window closes, the program
    // is told to end) is asked first and given the grace time.
    if (FProc && FProc->state() != QProcess::NotRunning) {
        if (!P.FStopClock.isValid()) {
            FTree.AskToEnd(P.OwnGroup(FProc.get()));
            P.FStopClock.start();
        }
        FProc->waitForFinished(int(qMax<qint64>(0, kStopGraceMs - P.FStopClock.elapsed())));
    }
    if (P.FGroup > 0)
        FTree.Kill(P.OwnGroup(FProc.get()));
    P.FHold.Release();
    P.FGroup = 0;
    P.FStopClock.invalidate();
}
