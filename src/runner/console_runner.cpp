#include "console_runner.h"

#include "text_util.h"

#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// A drain without an event loop in between pulls at most this many chunks, so
// a child that writes faster than we read cannot keep one call busy.
constexpr int kMaxReadsPerDrain = 16;

// QProcess words its start failures as "function: system text"; the front end
// shows only the system text, without the trailing full stop or line break.
QString SystemErrorText(const QString& QtText)
{
    QString Text = QtText;
    const qsizetype Colon = Text.indexOf(QLatin1String(": "));
    if (Colon >= 0)
        Text = Text.mid(Colon + 2);
    qsizetype End = Text.size();
    while (End > 0) {
        const QChar C = Text[End - 1];
        if (C.unicode() <= 0x20 || C == u'.' || C == u'。' || C.category() == QChar::Other_Control)
            --End;
        else
            break;
    }
    return Text.left(End);
}

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
        ErrMsg = QStringLiteral("找不到 Marrowkin.exe：") + ExePath;
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
#ifdef Q_OS_WIN
    // The caller's command line goes to the child unchanged.
    if (!Params.trimmed().isEmpty())
        Proc->setNativeArguments(Params);
    Proc->setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* Args) {
        Args->flags |= CREATE_NO_WINDOW;
        Args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        Args->startupInfo->wShowWindow = SW_HIDE;
    });
#else
    // No shell is involved: the string is split the way the program splits its
    // own command line, so nothing in a title or keyword can run a command.
    Proc->setArguments(SplitCommandLine(Params));
    Proc->setChildProcessModifier([] {
        // A group of its own lets Stop reach every process the child starts.
        ::setpgid(0, 0);
#ifdef F_SETPIPE_SZ
        // A wider pipe means fewer wake-ups when the child writes a lot; the
        // limit set by the system may refuse it, which is harmless.
        ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
#endif
    });
#endif
    QObject::connect(Proc.get(), &QProcess::readyRead, Proc.get(), [this] { TakeBuffered(); });

    Proc->start(QIODevice::ReadOnly);
    if (!Proc->waitForStarted(-1)) {
        ErrMsg = QStringLiteral("启动 Marrowkin.exe 失败：") + SystemErrorText(Proc->errorString());
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
#endif

    FProc = std::move(Proc);
    FBuf.clear();
    FExitCode = 0;
    FStopped = false;
    FClock.start();
    FRunning = true;
    return true;
}

void TConsoleRunner::TakeBuffered()
{
    const qint64 Avail = FProc ? FProc->bytesAvailable() : 0;
    if (Avail <= 0)
        return;
    if (!FInDrain)
        FFedByLoop = true;
    const qsizetype Old = FBuf.size();
    // resize() alone would reallocate to the exact size on every chunk.
    if (FBuf.capacity() < Old + Avail)
        FBuf.reserve(qMax<qsizetype>(Old + Avail, 2 * FBuf.capacity()));
    FBuf.resize(Old + Avail);
    const qint64 Got = FProc->read(FBuf.data() + Old, Avail);
    FBuf.resize(Old + qMax<qint64>(Got, 0));
}

void TConsoleRunner::ReadAvailable()
{
    if (!FProc)
        return;
    // When the event loop has been reading for us since the last drain there
    // is nothing to catch up on, and what is still in the pipe comes with the
    // next call. Otherwise a zero-timeout wait reads what the pipe holds; it
    // never blocks and is bounded, so a flooding child cannot stretch a call.
    if (!FFedByLoop) {
        FInDrain = true;
        for (int I = 0; I < kMaxReadsPerDrain && FProc->state() != QProcess::NotRunning; ++I) {
            if (!FProc->waitForReadyRead(0))
                break;
        }
        FInDrain = false;
    }
    FFedByLoop = false;
    TakeBuffered();
}

// Raw is an out parameter, but its storage can be reused: a caller that keeps
// one array for every poll then hands the runner back a buffer that is already
// in memory, so a child writing a lot does not cost fresh pages on every tick.
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
#ifdef Q_OS_WIN
        FProc->waitForFinished(0);
#else
        // Only ask QProcess to collect the child once it is known to be gone:
        // its wait loop keeps reading while output arrives, which a busy
        // child could stretch out. WNOWAIT leaves the reaping to QProcess.
        siginfo_t Info{};
        if (::waitid(P_PID, id_t(FProc->processId()), &Info, WEXITED | WNOHANG | WNOWAIT) == 0 && Info.si_pid != 0)
            FProc->waitForFinished(0);
#endif
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

bool TConsoleRunner::DrainBytes(QByteArray& Raw, bool& Exited, quint32& ExitCode)
{
    QByteArray Spare;
    Spare.swap(Raw);
    Exited = false;
    ExitCode = 0;
    if (!FProc)
        return false;
    ReadAvailable();
    Raw.swap(FBuf);
    RecycleInto(Spare);
    quint32 Code = 0;
    if (!CheckExited(Code))
        return false;
    // What the child wrote between the read above and its exit.
    ReadAvailable();
    Raw.append(FBuf);
    FBuf.clear();
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
    ReadAvailable();
    Text = TakeText(false);
    quint32 Code = 0;
    if (!CheckExited(Code))
        return false;
    ReadAvailable();
    Text += TakeText(false);
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
    if (FGroup > 0)
        ::kill(pid_t(-FGroup), SIGKILL);
#endif
    FStopped = true;
    FRunning = false;
}

void TConsoleRunner::CloseAll()
{
    if (!FProc)
        return;
#ifdef Q_OS_WIN
    // Closing the job ends whatever the child left behind.
    if (FJob) {
        ::CloseHandle(HANDLE(FJob));
        FJob = nullptr;
    }
#else
    // Like a job closed with kill-on-close: processes the child left behind in
    // its group end with the run.
    if (FGroup > 0)
        ::kill(pid_t(-FGroup), SIGKILL);
    FGroup = 0;
#endif
    FProc->disconnect();
    // The child is gone or has been killed, so this wait is short.
    if (FProc->state() != QProcess::NotRunning) {
        FProc->kill();
        FProc->waitForFinished(5000);
    }
    FProc.reset();
    FBuf.clear();
}

int TConsoleRunner::ElapsedSec() const
{
    return FClock.isValid() ? int(FClock.elapsed() / 1000) : 0;
}
