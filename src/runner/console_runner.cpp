#include "console_runner.h"

#include "collector_contract.h"
#include "text_util.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#endif

namespace {

// How many chunks one wake-up of the event loop reads, and one drain call when
// the event loop has not been reading for us. A drain never reads much, so it
// stays short even when the child writes faster than we read; whatever is
// left comes with the next call.
constexpr int kReadsPerWakeUp = 16;
constexpr int kReadsPerDrain = 16;
// Once the child has ended, what it wrote is all in the pipe already; the
// bound only matters for a grandchild that keeps writing.
constexpr int kReadsAtExit = 4;
constexpr int kChunkSize = 64 << 10;
// How long a stopped run may take to clean up (remove its private files)
// before it is killed.
constexpr int kStopGraceMs = 2000;

// QProcess words its start failures as "function: system text".
QString SystemTextOf(const QString& QtText)
{
    const qsizetype Colon = QtText.indexOf(QLatin1String(": "));
    return CleanSystemText(Colon >= 0 ? QtText.mid(Colon + 2) : QtText);
}

#ifndef Q_OS_WIN
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
#endif

} // namespace

TConsoleRunner::TConsoleRunner() = default;

TConsoleRunner::~TConsoleRunner()
{
    Stop();
    CloseAll();
}

bool TConsoleRunner::Start(const QString& ExePath, const QString& Params, const QString& WorkDir, QString& ErrMsg)
{
    ErrMsg.clear();
    if (FRunning) {
        ErrMsg = QStringLiteral("已有任务正在运行。");
        return false;
    }
    const QFileInfo Exe(ExePath);
    if (ExePath.isEmpty() || !Exe.isFile()) {
        ErrMsg = QStringLiteral("找不到 ") + CollectorFileName() + QStringLiteral("：") + ExePath;
        return false;
    }
    // Whatever is left of a stopped run that was never drained is abandoned.
    CloseAll();

    auto Proc = std::make_unique<QProcess>();
    Proc->setProcessChannelMode(QProcess::MergedChannels);
    Proc->setStandardInputFile(QProcess::nullDevice());
    Proc->setWorkingDirectory(WorkDir.isEmpty() ? Exe.absolutePath() : WorkDir);
    // An absolute path keeps the program from being looked up in PATH or
    // relative to the new working folder.
    Proc->setProgram(Exe.absoluteFilePath());
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    FTree.Tag(Env);
    Proc->setProcessEnvironment(Env);

#ifdef Q_OS_WIN
    // The caller's command line goes to the child unchanged.
    if (!Params.trimmed().isEmpty())
        Proc->setNativeArguments(Params);
    Proc->setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* Args) {
        Args->flags |= CREATE_NO_WINDOW;
        Args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        Args->startupInfo->wShowWindow = SW_HIDE;
    });
    QObject::connect(Proc.get(), &QProcess::readyRead, Proc.get(), [this] { TakeBuffered(); });
#else
    // No shell is involved: the string is split the way the program splits its
    // own command line, so nothing in a title or keyword can run a command.
    Proc->setArguments(SplitCommandLine(Params));

    // Both output streams go into one pipe of our own, which we read straight
    // into the output buffer without blocking. QProcess only starts the child
    // and watches its exit.
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
    Proc->setStandardOutputFile(QProcess::nullDevice());
    Proc->setChildProcessModifier([WriteFd] {
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
#endif

    Proc->start(QIODevice::ReadOnly);
    const bool Started = Proc->waitForStarted(-1);
#ifndef Q_OS_WIN
    // From now on only the child holds a write end.
    ::close(WriteFd);
    if (!Started)
        ::close(ReadFd);
#endif
    if (!Started) {
        ErrMsg = QStringLiteral("启动 ") + CollectorFileName() + QStringLiteral(" 失败：") + SystemTextOf(Proc->errorString());
        return false;
    }

#ifdef Q_OS_WIN
    // Kill-on-close: ending the run or closing the job ends every process the
    // child started. Without a job the run goes on and Stop ends the child alone.
    if (HANDLE Job = ::CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION Info{};
        Info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(Job, JobObjectExtendedLimitInformation, &Info, sizeof(Info));
        if (HANDLE Child = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(Proc->processId()))) {
            ::AssignProcessToJobObject(Job, Child);
            ::CloseHandle(Child);
        }
        FJob = Job;
    }
#else
    FGroup = Proc->processId();
    FRead = ReadFd;
    // The event loop keeps the pipe empty between two polls, so a child that
    // writes a lot never waits for us.
    FNotifier = std::make_unique<QSocketNotifier>(FRead, QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, FNotifier.get(),
                     [this] {
                         FFedByLoop = true;
                         ReadPipe(kReadsPerWakeUp);
                     });
#endif

    FProc = std::move(Proc);
    FBuf.clear();
    FExitCode = 0;
    FStopped = false;
    FClock.start();
    FRunning = true;
    return true;
}

#ifdef Q_OS_WIN
void TConsoleRunner::TakeBuffered()
{
    const qint64 Avail = FProc ? FProc->bytesAvailable() : 0;
    if (Avail <= 0)
        return;
    const qsizetype Old = FBuf.size();
    if (FBuf.capacity() < Old + Avail)
        FBuf.reserve(qMax<qsizetype>(Old + Avail, 2 * FBuf.capacity()));
    FBuf.resize(Old + Avail);
    const qint64 Got = FProc->read(FBuf.data() + Old, Avail);
    FBuf.resize(Old + qMax<qint64>(Got, 0));
}

void TConsoleRunner::CatchUp()
{
    ReadPipe(kReadsPerDrain);
}

void TConsoleRunner::ReadPipe(int MaxReads)
{
    // Zero-timeout waits read what the pipe holds without an event loop.
    for (int I = 0; FProc && I < MaxReads && FProc->state() != QProcess::NotRunning; ++I) {
        if (!FProc->waitForReadyRead(0))
            break;
    }
    TakeBuffered();
}

void TConsoleRunner::ReadRest()
{
    ReadPipe(kReadsAtExit);
}
#else
void TConsoleRunner::ReadRest()
{
    // Enough reads to empty the pipe, however large the child made it.
    int Reads = kReadsAtExit;
#ifdef F_GETPIPE_SZ
    if (FRead >= 0)
        Reads = qMax(Reads, ::fcntl(FRead, F_GETPIPE_SZ) / kChunkSize + 2);
#endif
    ReadPipe(Reads);
}

void TConsoleRunner::CatchUp()
{
    // While the event loop reads for us there is nothing to catch up on;
    // otherwise take what the pipe holds now.
    if (!FFedByLoop)
        ReadPipe(kReadsPerDrain);
    FFedByLoop = false;
}

void TConsoleRunner::ReadPipe(int MaxReads)
{
    // One pipe's worth at a time: a read with more room keeps going for as
    // long as a fast writer keeps the pipe filled.
    constexpr qsizetype kChunk = kChunkSize;
    // Past the first MiB, output is taken to be large: room this size is
    // mapped on its own and costs nothing until written, and growing it later
    // remaps instead of copying what is already there.
    constexpr qsizetype kFirstRoom = 1 << 20;
    constexpr qsizetype kLargeRoom = qsizetype(64) << 20;
    for (int I = 0; I < MaxReads && FRead >= 0; ++I) {
        // Read straight into room at the end of the buffer. The reserve only
        // chooses how it grows; resize() is what guarantees the room, also
        // when taking lines off the front has left free space at the start.
        const qsizetype Old = FBuf.size();
        if (FBuf.capacity() - Old < kChunk)
            FBuf.reserve(Old < kFirstRoom / 2 ? kFirstRoom : qMax(kLargeRoom, 2 * FBuf.capacity()));
        FBuf.resize(Old + kChunk);
        const ssize_t Got = ::read(FRead, FBuf.data() + Old, size_t(kChunk));
        const int Err = errno;
        FBuf.resize(Old + qMax<ssize_t>(Got, 0));
        if (Got > 0)
            continue;
        if (Got < 0 && Err == EINTR)
            continue;
        // End of data or a broken pipe: nothing more will come, and the
        // notifier would otherwise keep firing.
        if ((Got == 0 || (Err != EAGAIN && Err != EWOULDBLOCK)) && FNotifier)
            FNotifier->setEnabled(false);
        break;
    }
}
#endif

// Raw is an out parameter, but its storage can be reused: a caller that keeps
// one array for every poll then hands the runner back memory that is already
// mapped, so a child writing a lot does not cost fresh pages on every tick.
void TConsoleRunner::RecycleInto(QByteArray& Spare)
{
    if (FBuf.isEmpty() && Spare.isDetached() && Spare.capacity() > FBuf.capacity()) {
        Spare.resize(0);
        FBuf.swap(Spare);
    }
}

bool TConsoleRunner::CheckExited(quint32& Code)
{
    if (FProc->state() != QProcess::NotRunning) {
        // Collects an exit the event loop has not seen yet; never waits.
        FProc->waitForFinished(0);
        if (FProc->state() != QProcess::NotRunning)
            return false;
    }
    if (FStopped)
        Code = 1;
    else if (FProc->exitStatus() == QProcess::NormalExit)
        Code = quint32(FProc->exitCode());
#ifdef Q_OS_WIN
    else
        Code = quint32(FProc->exitCode());
#else
    else // killed by a signal we did not send: the shell's convention
        Code = 128 + quint32(FProc->exitCode());
#endif
    return true;
}

bool TConsoleRunner::CollectOutput(quint32& Code)
{
    CatchUp();
    if (!CheckExited(Code))
        return false;
    // What the child wrote between the read above and its exit. A grandchild
    // that still holds the pipe cannot hold this up: the read never waits.
    ReadRest();
    return true;
}

bool TConsoleRunner::DrainBytes(QByteArray& Raw, bool& Exited, quint32& ExitCode)
{
    QByteArray Spare;
    Spare.swap(Raw);
    Exited = false;
    ExitCode = 0;
    if (!FProc)
        return false;
    quint32 Code = 0;
    const bool Ended = CollectOutput(Code);
    Raw.swap(FBuf);
    RecycleInto(Spare);
    if (!Ended)
        return false;
    Finish(Code);
    Exited = true;
    ExitCode = Code;
    return true;
}

bool TConsoleRunner::Drain(QString& Text, bool& Exited, quint32& ExitCode)
{
    Text.clear();
    Exited = false;
    ExitCode = 0;
    if (!FProc)
        return false;
    quint32 Code = 0;
    const bool Ended = CollectOutput(Code);
    Text = TakeText(false);
    if (!Ended)
        return false;
    Text += TakeText(true);
    Finish(Code);
    Exited = true;
    ExitCode = Code;
    return true;
}

QString TConsoleRunner::TakeText(bool All)
{
    if (FBuf.isEmpty())
        return {};
    QByteArray Chunk;
    if (All) {
        Chunk.swap(FBuf);
    } else {
        const qsizetype Lf = FBuf.lastIndexOf('\n');
        if (Lf < 0)
            return {}; // an incomplete line waits for its end
        Chunk = FBuf.left(Lf + 1);
        FBuf.remove(0, Lf + 1);
    }
    QString Text = QString::fromLocal8Bit(Chunk);
    Text.remove(u'\r');
    return Text;
}

void TConsoleRunner::Finish(quint32 Code)
{
    FExitCode = Code;
    FRunning = false;
    FStopped = false;
    CloseAll();
}

void TConsoleRunner::Stop()
{
    if (!FRunning)
        return;
#ifdef Q_OS_WIN
    if (FJob)
        ::TerminateJobObject(HANDLE(FJob), 1);
    else if (FProc)
        FProc->kill();
#else
    // Asked first, so the collector can remove its private copies; whatever
    // has not ended after the grace time is killed.
    FTree.AskToEnd(FGroup);
    FStopClock.start();
    if (FProc)
        QTimer::singleShot(kStopGraceMs, FProc.get(), [this] { FTree.Kill(FGroup); });
#endif
    FStopped = true;
    FRunning = false;
}

void TConsoleRunner::CloseAll()
{
#ifdef Q_OS_WIN
    // Closing the job ends whatever the child left behind.
    if (FJob) {
        ::CloseHandle(HANDLE(FJob));
        FJob = nullptr;
    }
#else
    FNotifier.reset();
    if (FRead >= 0) {
        ::close(FRead);
        FRead = -1;
    }
    // Like a job closed with kill-on-close: processes the child left behind
    // end with the run. A child still running (the window closes, the program
    // is told to end) is asked first and given the grace time.
    if (FProc && FProc->state() != QProcess::NotRunning) {
        if (!FStopClock.isValid()) {
            FTree.AskToEnd(FGroup);
            FStopClock.start();
        }
        FProc->waitForFinished(int(qMax<qint64>(0, kStopGraceMs - FStopClock.elapsed())));
    }
    if (FGroup > 0)
        FTree.Kill(FGroup);
    FGroup = 0;
    FStopClock.invalidate();
#endif
    if (FProc) {
        FProc->disconnect();
        // The child is gone or has been killed, so this wait is short.
        if (FProc->state() != QProcess::NotRunning) {
            FProc->kill();
            FProc->waitForFinished(5000);
        }
        FProc.reset();
    }
    FBuf.clear();
}

int TConsoleRunner::ElapsedSec() const
{
    return FClock.isValid() ? int(FClock.elapsed() / 1000) : 0;
}
