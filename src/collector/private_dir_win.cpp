#include "private_dir.h"

#include "collector_contract.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// Runs on a thread of its own, while the main thread is anywhere in its work.
BOOL WINAPI OnConsoleEvent(DWORD Event)
{
    switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        RemoveAllPrivateDirs();
        ::ExitProcess(ceInternal);
    default:
        return FALSE;
    }
}

} // namespace

void InstallStopHandler()
{
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool ProcessExists(qint64 Pid)
{
    if (Pid <= 0)
        return false;
    HANDLE H = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(Pid));
    if (!H)
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    const bool Running = ::WaitForSingleObject(H, 0) == WAIT_TIMEOUT;
    ::CloseHandle(H);
    return Running;
}
