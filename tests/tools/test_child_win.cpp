#include "test_child_platform.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

std::string ToUtf8(const wchar_t* W)
{
    const int N = ::WideCharToMultiByte(CP_UTF8, 0, W, -1, nullptr, 0, nullptr, nullptr);
    if (N <= 1)
        return {};
    std::string S(size_t(N - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, W, -1, S.data(), N, nullptr, nullptr);
    return S;
}

} // namespace

void ChildInit()
{
    // Text mode would turn every "\n" into "\r\n" on the way out.
    ::_setmode(0, _O_BINARY);
    ::_setmode(1, _O_BINARY);
    ::_setmode(2, _O_BINARY);
    // A crash or abort must not wait for someone to close a dialog.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

std::vector<std::string> ChildArguments(int, char**)
{
    // The narrow argv is in the ANSI code page; the wide one is exact.
    std::vector<std::string> Out;
    int Argc = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Argc);
    for (int I = 1; Argv && I < Argc; ++I)
        Out.push_back(ToUtf8(Argv[I]));
    ::LocalFree(Argv);
    return Out;
}

std::string ChildCurrentFolder()
{
    wchar_t Cwd[4096];
    return ::GetCurrentDirectoryW(4096, Cwd) ? ToUtf8(Cwd) : "?";
}

long long ChildPid()
{
    return ::GetCurrentProcessId();
}

bool ChildWrite(int Fd, const char* Data, size_t Size)
{
    while (Size > 0) {
        const unsigned Chunk = Size > (1u << 20) ? (1u << 20) : unsigned(Size);
        const int N = ::_write(Fd, Data, Chunk);
        if (N <= 0)
            return false;
        Data += N;
        Size -= size_t(N);
    }
    return true;
}

bool ChildReplaceFile(const char* From, const char* To)
{
    return ::MoveFileExA(From, To, MOVEFILE_REPLACE_EXISTING) != 0;
}

long long ChildReadStdinToEnd()
{
    char Buf[4096];
    long long Total = 0;
    for (int N; (N = ::_read(0, Buf, sizeof Buf)) > 0;)
        Total += N;
    return Total;
}

void ChildSleepMs(long Ms)
{
    if (Ms > 0)
        ::Sleep(DWORD(Ms));
}

void ChildRaise(int Signal)
{
    std::raise(Signal);
}

bool ChildWidenPipe(int)
{
    return false;
}

void ChildOnTerm(const char* Path)
{
    // Windows has no SIGTERM: the runner asks through the named event it
    // passes in MK_STOP_EVENT.
    const char* Name = std::getenv("MK_STOP_EVENT");
    HANDLE Event = Name && *Name ? ::OpenEventA(SYNCHRONIZE, FALSE, Name) : nullptr;
    if (!Event)
        return;
    std::thread([Event, File = std::string(Path)] {
        ::WaitForSingleObject(Event, INFINITE);
        if (std::FILE* F = std::fopen(File.c_str(), "wb")) {
            std::fputs("term", F);
            std::fclose(F);
        }
        ::ExitProcess(15);
    }).detach();
}

void ChildIgnoreTerm() {}

long long ChildStartGrandchild(long SleepMs, bool)
{
    wchar_t Exe[MAX_PATH];
    if (!::GetModuleFileNameW(nullptr, Exe, MAX_PATH))
        return 0;
    ::SetEnvironmentVariableW(L"MK_CHILD_AS_GRANDCHILD", std::to_wstring(SleepMs > 0 ? SleepMs : 1).c_str());
    STARTUPINFOW Si{};
    Si.cb = sizeof Si;
    Si.dwFlags = STARTF_USESTDHANDLES;
    Si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    Si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    Si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION Pi{};
    std::wstring Cmd = L"\"" + std::wstring(Exe) + L"\"";
    const BOOL Ok = ::CreateProcessW(Exe, Cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Si, &Pi);
    ::SetEnvironmentVariableW(L"MK_CHILD_AS_GRANDCHILD", nullptr);
    if (!Ok)
        return 0;
    ::CloseHandle(Pi.hThread);
    ::CloseHandle(Pi.hProcess);
    return Pi.dwProcessId;
}

bool ChildProcessRuns(long long Pid)
{
    HANDLE H = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(Pid));
    if (!H)
        return false;
    const bool Runs = ::WaitForSingleObject(H, 0) == WAIT_TIMEOUT;
    ::CloseHandle(H);
    return Runs;
}
