#include "console_runner.h"

#include "collector_contract.h"
#include "text_util.h"

#include <QFileInfo>
#include <QProcess>

// The parts every system shares; the pipe or job, reading and ending a run
// live in console_runner_posix.cpp and console_runner_win.cpp.

namespace {

// QProcess words its start failures as "function: system text".
QString SystemTextOf(const QString& QtText)
{
    const qsizetype Colon = QtText.indexOf(QLatin1String(": "));
    return CleanSystemText(Colon >= 0 ? QtText.mid(Colon + 2) : QtText);
}

} // namespace

TConsoleRunner::TConsoleRunner() : FPlatform(NewPlatform()) {}

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
    if (!Prepare(*Proc, Params, ErrMsg))
        return false;

    Proc->start(QIODevice::ReadOnly);
    const bool Started = Proc->waitForStarted(-1);
    AfterStart(*Proc, Started);
    if (!Started) {
        ErrMsg = QStringLiteral("启动 ") + CollectorFileName() + QStringLiteral(" 失败：") + SystemTextOf(Proc->errorString());
        return false;
    }

    FProc = std::move(Proc);
    QObject::connect(FProc.get(), &QProcess::finished, FProc.get(), [this] {
        if (FExitHandler)
            FExitHandler();
    });
    FBuf.clear();
    FExitCode = 0;
    FStopped = false;
    FClock.start();
    FRunning = true;
    return true;
}

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
    else
        Code = CrashCode(FProc->exitCode());
    return true;
}

bool TConsoleRunner::CollectOutput(quint32& Code, bool Hold)
{
    CatchUp(Hold);
    if (!CheckExited(Code))
        return false;
    // What the child wrote between the read above and its exit. A grandchild
    // that still holds the pipe cannot hold this up: the read never waits.
    ReadRest();
    return true;
}

bool TConsoleRunner::DrainBytes(QByteArray& Raw, bool& Exited, quint32& ExitCode, bool Hold)
{
    QByteArray Spare;
    Spare.swap(Raw);
    Exited = false;
    ExitCode = 0;
    if (!FProc)
        return false;
    quint32 Code = 0;
    const bool Ended = CollectOutput(Code, Hold);
    if (Hold && !Ended)
        return false;
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
    const bool Ended = CollectOutput(Code, false);
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
    EndRun();
    FStopped = true;
    FRunning = false;
}

void TConsoleRunner::CloseAll()
{
    CloseRun();
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
