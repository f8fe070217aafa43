#include "private_dir.h"

#include "collector_contract.h"

#include <QDir>

#include <thread>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

HANDLE GStopEvent = nullptr;

[[noreturn]] void EndStopped()
{
    RemoveRunLeftovers();
    ::ExitProcess(kStopExitCode);
}

// Runs on a thread of its own, while the main thread is anywhere in its work.
BOOL WINAPI OnConsoleEvent(DWORD Event)
{
    switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        EndStopped();
    default:
        return FALSE;
    }
}

std::wstring LockName(const QString& Dir)
{
    return QDir::toNativeSeparators(Dir + QStringLiteral("/.lock")).toStdWString();
}

} // namespace

void InstallStopHandler()
{
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    // The front end runs us without a console, so it asks through an event
    // of its own; it ends the run itself after a grace time.
    const std::wstring Name = qEnvironmentVariable(kStopEventVar).toStdWString();
    if (Name.empty() || GStopEvent)
        return;
    GStopEvent = ::OpenEventW(SYNCHRONIZE, FALSE, Name.c_str());
    if (!GStopEvent)
        return;
    std::thread([] {
        if (::WaitForSingleObject(GStopEvent, INFINITE) == WAIT_OBJECT_0)
            EndStopped();
    }).detach();
}

int FinishRun(int Code)
{
    if (GStopEvent && ::WaitForSingleObject(GStopEvent, 0) == WAIT_OBJECT_0)
        return kStopExitCode;
    return Code;
}

bool LockPrivateDir(const QString& Dir, qintptr& Lock, QString& ErrMsg)
{
    // Open without delete sharing: nobody can remove it while we live, and
    // it is free again however the process ends.
    const HANDLE File = ::CreateFileW(LockName(Dir).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        ErrMsg = QStringLiteral("无法锁定临时目录：%1").arg(qt_error_string(int(::GetLastError())));
        return false;
    }
    Lock = reinterpret_cast<qintptr>(File);
    return true;
}

void UnlockPrivateDir(qintptr Lock)
{
    if (Lock != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(Lock));
}

TDirLock ProbePrivateDir(const QString& Dir)
{
    if (::DeleteFileW(LockName(Dir).c_str()))
        return dlFree;
    const DWORD Err = ::GetLastError();
    return Err == ERROR_FILE_NOT_FOUND ? dlMissing : dlHeld;
}
