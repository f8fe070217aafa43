#include "console_runner.h"

#include "collector_contract.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <qt_windows.h>

// QProcess reads the merged output; the child runs hidden in a kill-on-close
// job, so ending the run or closing the job ends every process it started.
// A child without a console gets no Ctrl+C, so a stop is asked for through a
// named event of the run's own, whose name the child finds in its
// environment; the job ends whatever is left after the grace time.

struct TConsoleRunner::TPlatform {
    HANDLE FJob = nullptr;
    HANDLE FStopEvent = nullptr;
    QElapsedTimer FStopClock; // valid once the run was asked to end
};

void TConsoleRunner::TPlatformDeleter::operator()(TPlatform* Platform) const
{
    delete Platform;
}

TConsoleRunner::TPlatform* TConsoleRunner::NewPlatform()
{
    return new TPlatform;
}

bool TConsoleRunner::Prepare(QProcess& Proc, const QString& Params, QString&)
{
    TPlatform& P = *FPlatform;
    const QString Name = QStringLiteral("Marrowkin-Stop-%1-%2")
                             .arg(::GetCurrentProcessId())
                             .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar('0'));
    // Without the event a stop ends the run at once, as the job always did.
    P.FStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, reinterpret_cast<const wchar_t*>(Name.utf16()));
    if (P.FStopEvent) {
        QProcessEnvironment Env = Proc.processEnvironment();
        Env.insert(QLatin1String(kStopEventVar), Name);
        Proc.setProcessEnvironment(Env);
    }
    // The caller's command line goes to the child unchanged.
    if (!Params.trimmed().isEmpty())
        Proc.setNativeArguments(Params);
    Proc.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* Args) {
        Args->flags |= CREATE_NO_WINDOW;
        Args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        Args->startupInfo->wShowWindow = SW_HIDE;
    });
    // No waits: only what QProcess has read already moves into the buffer.
    QObject::connect(&Proc, &QProcess::readyRead, &Proc, [this] { ReadPipe(0); });
    return true;
}

void TConsoleRunner::AfterStart(QProcess& Proc, bool Ok)
{
    if (!Ok) {
        CloseRun();
        return;
    }
    // Without a job the run goes on and Stop ends the child alone.
    if (HANDLE Job = ::CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION Info{};
        Info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(Job, JobObjectExtendedLimitInformation, &Info, sizeof(Info));
        if (HANDLE Child = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(Proc.processId()))) {
            ::AssignProcessToJobObject(Job, Child);
            ::CloseHandle(Child);
        }
        FPlatform->FJob = Job;
    }
}

qsizetype TConsoleRunner::Held() const
{
    return FBuf.size();
}

void TConsoleRunner::CatchUp(bool)
{
    ReadPipe(kReadsPerDrain);
}

void TConsoleRunner::ReadRest()
{
    ReadPipe(kReadsAtExit);
}

void TConsoleRunner::ReadPipe(int MaxReads)
{
    // Zero-timeout waits read what the pipe holds without an event loop.
    for (int I = 0; FProc && I < MaxReads && FProc->state() != QProcess::NotRunning; ++I) {
        if (!FProc->waitForReadyRead(0))
            break;
    }
    // Moves what QProcess has buffered into FBuf.
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

quint32 TConsoleRunner::CrashCode(int Code)
{
    return quint32(Code);
}

namespace {

void EndJob(HANDLE Job, QProcess* Proc)
{
    if (Job)
        ::TerminateJobObject(Job, 1);
    else if (Proc)
        Proc->kill();
}

} // namespace

void TConsoleRunner::EndRun()
{
    TPlatform& P = *FPlatform;
    if (!P.FStopEvent || !::SetEvent(P.FStopEvent)) {
        EndJob(P.FJob, FProc.get());
        return;
    }
    // Asked first, so the collector can remove its private copies.
    P.FStopClock.start();
    if (FProc)
        QTimer::singleShot(kStopGraceMs, FProc.get(), [this] { EndJob(FPlatform->FJob, FProc.get()); });
}

void TConsoleRunner::CloseRun()
{
    TPlatform& P = *FPlatform;
    // A child still running (the window closes, the program is told to end)
    // is asked first and given the grace time, as a stop does.
    if (FProc && FProc->state() != QProcess::NotRunning && P.FStopEvent) {
        if (!P.FStopClock.isValid()) {
            ::SetEvent(P.FStopEvent);
            P.FStopClock.start();
        }
        FProc->waitForFinished(int(qMax<qint64>(0, kStopGraceMs - P.FStopClock.elapsed())));
    }
    // Closing the job ends whatever the child left behind.
    if (P.FJob) {
        ::CloseHandle(P.FJob);
        P.FJob = nullptr;
    }
    if (P.FStopEvent) {
        ::CloseHandle(P.FStopEvent);
        P.FStopEvent = nullptr;
    }
    P.FStopClock.invalidate();
}
