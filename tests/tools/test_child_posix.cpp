#include "test_child_platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

void ChildInit() {}

std::vector<std::string> ChildArguments(int Argc, char** Argv)
{
    return std::vector<std::string>(Argv + 1, Argv + Argc);
}

std::string ChildCurrentFolder()
{
    char Cwd[4096];
    return ::getcwd(Cwd, sizeof Cwd) ? Cwd : "?";
}

long long ChildPid()
{
    return ::getpid();
}

bool ChildWrite(int Fd, const char* Data, size_t Size)
{
    while (Size > 0) {
        const ssize_t N = ::write(Fd, Data, Size);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Data += N;
        Size -= size_t(N);
    }
    return true;
}

bool ChildReplaceFile(const char* From, const char* To)
{
    return ::rename(From, To) == 0;
}

long long ChildReadStdinToEnd()
{
    char Buf[4096];
    long long Total = 0;
    for (;;) {
        const ssize_t N = ::read(0, Buf, sizeof Buf);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return Total;
        Total += N;
    }
}

void ChildSleepMs(long Ms)
{
    if (Ms > 0)
        ::usleep(useconds_t(Ms) * 1000);
}

void ChildRaise(int Signal)
{
    ::raise(Signal);
}

bool ChildWidenPipe(int Bytes)
{
#ifdef F_SETPIPE_SZ
    return ::fcntl(1, F_SETPIPE_SZ, Bytes) >= 0;
#else
    (void)Bytes;
    return false;
#endif
}

long long ChildStartGrandchild(long SleepMs, bool NewSession)
{
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        if (NewSession)
            ::setsid();
        ChildSleepMs(SleepMs);
        std::_Exit(0);
    }
    return Pid > 0 ? Pid : 0;
}

namespace {

const char* GTermFile = nullptr;

void OnTerm(int)
{
    const int Fd = ::open(GTermFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (Fd >= 0) {
        [[maybe_unused]] const ssize_t N = ::write(Fd, "term", 4);
        ::close(Fd);
    }
    std::_Exit(15);
}

} // namespace

void ChildOnTerm(const char* Path)
{
    GTermFile = Path;
    std::signal(SIGTERM, OnTerm);
}

void ChildIgnoreTerm()
{
    std::signal(SIGTERM, SIG_IGN);
}

bool ChildProcessRuns(long long Pid)
{
    if (Pid <= 0 || ::kill(pid_t(Pid), 0) != 0)
        return false;
    // An orphan nobody reaps yet stays a zombie: it has ended all the same.
    std::FILE* Stat = std::fopen(("/proc/" + std::to_string(Pid) + "/stat").c_str(), "r");
    if (!Stat)
        return false;
    char Line[1024];
    const size_t N = std::fread(Line, 1, sizeof Line - 1, Stat);
    std::fclose(Stat);
    const std::string S(Line, N);
    const size_t Paren = S.rfind(')');
    return !(Paren != std::string::npos && Paren + 2 < S.size() && (S[Paren + 2] == 'Z' || S[Paren + 2] == 'X'));
}
