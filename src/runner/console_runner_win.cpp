#include "console_runner.h"

#include <QProcess>

#include <qt_windows.h>

// QProcess reads the merged output; the child runs hidden in a kill-on-close
// job, so ending the run or closing the job ends every process it started.

struct TConsoleRunner::TPlatform {
    HANDLE FJob = nullptr;
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
    if (!Ok)
        return;
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

void TConsoleRunner::CatchUp()
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

void TConsoleRunner::EndRun()
{
    if (FPlatform->FJob)
        ::TerminateJobObject(FPlatform->FJob, 1);
    else if (FProc)
        FProc->kill();
}

void TConsoleRunner::CloseRun()
{
    // Closing the job ends whatever the child left behind.
    if (FPlatform->FJob) {
        ::CloseHandle(FPlatform->FJob);
        FPlatform->FJob = nullptr;
    }
}
