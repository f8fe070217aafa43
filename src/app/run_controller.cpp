#include "run_controller.h"

#include "console_runner.h"
#include "options.h"
#include "text_util.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#include <exception>
#include <utility>

namespace {

constexpr int kPollMs = 120;

qint64 SteadyMs()
{
    return QDeadlineTimer::current().deadline();
}

} // namespace

TRunController::TRunController(QObject* Parent)
    : QObject(Parent), FRunner(std::make_unique<TConsoleRunner>()), FClock(SteadyMs)
{
    FTimer.setInterval(kPollMs);
    connect(&FTimer, &QTimer::timeout, this, &TRunController::Tick);
    // The end of a run is taken up at once; a large report waits for no tick.
    FRunner->SetExitHandler([this] { QTimer::singleShot(0, this, [this] {
        if (FBusy)
            Tick();
    }); });
}

TRunController::~TRunController() = default;

bool TRunController::Start(const QString& Exe, TRunKind Kind, const TOptions& Opts, const QString& OutDir)
{
    if (FBusy)
        return false;
    if (!QFileInfo(Exe).isFile()) {
        emit StartFailed(kExitNoCollector, CollectorMissingText(Exe));
        return false;
    }
    FOutput = QByteArray();
    FOutputTooLarge = false;
    if (RunWritesFiles(Kind))
        EnsureDir(OutDir);
    QString ErrMsg;
    if (!FRunner->Start(Exe, RunArgs(Kind, Opts, OutDir), QFileInfo(Exe).absolutePath(), ErrMsg)) {
        emit StartFailed(kExitNotStarted, ErrMsg);
        return false;
    }
    FKind = Kind;
    FBusy = true;
    FStartMs = FClock();
    FTimer.start();
    return true;
}

void TRunController::Stop()
{
    FTimer.stop();
    FRunner->Stop();
    FBusy = false;
    FOutput = QByteArray();
}

int TRunController::ElapsedSec() const
{
    return FStartMs < 0 ? 0 : int((FClock() - FStartMs) / 1000);
}

void TRunController::Tick()
{
    // Nothing may escape into the event loop; whatever failed, the run ends.
    QString Reason;
    try {
        Poll();
        return;
    } catch (const std::exception& E) {
        Reason = QString::fromLocal8Bit(E.what());
    } catch (...) {
        Reason = QStringLiteral("未知错误");
    }
    Stop();
    emit Aborted(kExitAborted, Reason);
}

void TRunController::Poll()
{
    // Output to keep stays in the runner until the exit, so each byte is
    // written once into one buffer; other output is drained into a buffer
    // used again on every poll and dropped.
    const bool Hold = RunKeepsOutput(FKind) && !FOutputTooLarge;
    bool Exited = false;
    quint32 Code = 0;
    FRunner->DrainBytes(FOutput, Exited, Code, Hold);
    // A child that prints without end must not take all memory with it.
    if (Hold && (FRunner->Held() > FOutputLimit || FOutput.size() > FOutputLimit))
        FOutputTooLarge = true;
    if (FRunner->Running())
        emit Progress(ElapsedSec());
    if (!Exited)
        return;
    FTimer.stop();
    FBusy = false;
    TRunOutput Output;
    if (FOutputTooLarge)
        Output.Error = OutputTooLargeText(FOutputLimit);
    else if (RunKeepsOutput(FKind))
        Output.Bytes = std::exchange(FOutput, QByteArray());
    FOutput = QByteArray();
    emit Finished(FKind, Code, Output);
}
