#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include <sys/wait.h>
#include <unistd.h>

// A field of /proc/self/status in KiB (VmRSS, VmHWM, …), or -1.
inline long long StatusKib(const char* Field)
{
    FILE* F = std::fopen("/proc/self/status", "r");
    if (!F)
        return -1;
    char Line[256];
    long long Kib = -1;
    const size_t Len = std::strlen(Field);
    while (std::fgets(Line, sizeof(Line), F))
        if (std::strncmp(Line, Field, Len) == 0 && Line[Len] == ':') {
            Kib = std::atoll(Line + Len + 1);
            break;
        }
    std::fclose(F);
    return Kib;
}

// Runs Fn in a forked child and returns its plain result, so that one
// measurement's freed heap and allocator history cannot flatter the next.
// A child that fails gives a value-initialised result.
template <typename TResult, typename TFn>
TResult MeasureInChild(TFn&& Fn)
{
    static_assert(std::is_trivially_copyable_v<TResult>);
    int Pipe[2];
    if (::pipe(Pipe) != 0)
        return {};
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        ::close(Pipe[0]);
        const TResult R = Fn();
        const bool Written = ::write(Pipe[1], &R, sizeof(R)) == ssize_t(sizeof(R));
        ::_exit(Written ? 0 : 1);
    }
    ::close(Pipe[1]);
    TResult R{};
    if (Pid < 0 || ::read(Pipe[0], &R, sizeof(R)) != ssize_t(sizeof(R)))
        R = {};
    ::close(Pipe[0]);
    if (Pid > 0)
        ::waitpid(Pid, nullptr, 0);
    return R;
}
