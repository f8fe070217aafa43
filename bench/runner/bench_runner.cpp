// Reads the same flood of output from the same child through TConsoleRunner
// polled every 120 ms from a timer, as the main window does, and with a plain
// blocking read loop over a pipe, in the same run. Two pairs:
//   reuse: the consumer only looks at each chunk (the runner gets one array
//          back every poll; the plain loop reads into one 64 KiB buffer)
//   keep:  every byte is kept in memory, as the main window keeps the report
//          (the runner's chunks go into a list; the plain loop reads into one
//          growing array)
// Prints the rates side by side and the longest single drain call.
//
// Usage: bench_runner [MiB] [rounds] [reuse|keep]   (default 512 MiB, 3 rounds, both)

#include "console_runner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* const kChild = MK_TEST_CHILD;

struct TFigures {
    qint64 Bytes = 0;
    double Seconds = 0;
    double MaxDrainMs = 0;  // while the child runs
    double ExitDrainMs = 0; // the call that reports the exit and ends the run
    int Drains = 0;
    bool Ok = false;
};

// The peer: posix_spawn with both output streams on one pipe, then read(2)
// into a 64 KiB buffer until end of file.
TFigures PlainPipe(bool Keep)
{
    TFigures F;
    int Fds[2];
    if (::pipe(Fds) != 0)
        return F;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Fds[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Fds[1], 2);
    posix_spawn_file_actions_addclose(&Actions, Fds[0]);
    posix_spawn_file_actions_addclose(&Actions, Fds[1]);
    char* Argv[] = {const_cast<char*>(kChild), nullptr};
    QElapsedTimer Clock;
    Clock.start();
    pid_t Pid = 0;
    const int Rc = posix_spawn(&Pid, kChild, &Actions, nullptr, Argv, environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Fds[1]);
    if (Rc != 0) {
        ::close(Fds[0]);
        return F;
    }
    std::vector<char> Buf(65536);
    QByteArray All;
    for (;;) {
        char* Into = Buf.data();
        if (Keep) {
            if (All.capacity() - All.size() < 65536)
                All.reserve(std::max<qsizetype>(2 * All.capacity(), 1 << 20));
            Into = All.data() + All.size();
        }
        const ssize_t N = ::read(Fds[0], Into, 65536);
        if (N <= 0)
            break;
        if (Keep)
            All.resize(All.size() + N);
        F.Bytes += N;
    }
    ::close(Fds[0]);
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    F.Seconds = Clock.nsecsElapsed() / 1e9;
    F.Ok = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    return F;
}

TFigures ThroughRunner(bool Keep)
{
    TFigures F;
    QByteArray Raw;
    QList<QByteArray> Chunks;
    TConsoleRunner Runner;
    QEventLoop Loop;
    QTimer Poll;
    Poll.setInterval(120);
    QElapsedTimer Clock;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        bool Exited = false;
        quint32 Code = 0;
        QElapsedTimer Call;
        Call.start();
        Runner.DrainBytes(Raw, Exited, Code);
        const double Ms = Call.nsecsElapsed() / 1e6;
        if (Exited)
            F.ExitDrainMs = Ms;
        else
            F.MaxDrainMs = std::max(F.MaxDrainMs, Ms);
        ++F.Drains;
        F.Bytes += Raw.size();
        if (Keep && !Raw.isEmpty())
            Chunks.append(std::move(Raw));
        if (Exited) {
            F.Seconds = Clock.nsecsElapsed() / 1e9;
            F.Ok = Code == 0;
            Loop.quit();
        }
    });
    QString Err;
    Clock.start();
    if (!Runner.Start(QString::fromLocal8Bit(kChild), QString(), QString(), Err)) {
        std::fprintf(stderr, "start failed: %s\n", qPrintable(Err));
        return F;
    }
    Poll.start();
    Loop.exec();
    return F;
}

double Rate(const TFigures& F) { return F.Seconds > 0 ? F.Bytes / 1048576.0 / F.Seconds : 0; }

} // namespace

int main(int Argc, char** Argv)
{
    QCoreApplication App(Argc, Argv);
    const int MiB = Argc > 1 ? std::atoi(Argv[1]) : 512;
    const int Rounds = Argc > 2 ? std::atoi(Argv[2]) : 3;
    qputenv("MK_CHILD_FLOOD_MIB", QByteArray::number(MiB));

    std::printf("child writes %d MiB; runner polled every 120 ms\n", MiB);
    std::printf("%-6s %-6s %12s %12s %7s %14s %14s %7s\n", "round", "bytes", "runner MB/s", "plain MB/s", "ratio",
                "max drain ms", "exit drain ms", "drains");
    bool AllOk = true;
    const QByteArray Only = Argc > 3 ? QByteArray(Argv[3]) : QByteArray();
    for (const bool Keep : {false, true}) {
        if (!Only.isEmpty() && Only != (Keep ? "keep" : "reuse"))
            continue;
        std::vector<double> Ratios;
        double WorstDrain = 0;
        for (int R = 1; R <= Rounds; ++R) {
            const TFigures Plain = PlainPipe(Keep);
            const TFigures Ours = ThroughRunner(Keep);
            const bool Ok = Plain.Ok && Ours.Ok && Plain.Bytes == (qint64(MiB) << 20) && Ours.Bytes == Plain.Bytes;
            AllOk = AllOk && Ok;
            const double Ratio = Rate(Plain) > 0 ? Rate(Ours) / Rate(Plain) : 0;
            Ratios.push_back(Ratio);
            WorstDrain = std::max({WorstDrain, Ours.MaxDrainMs, Ours.ExitDrainMs});
            std::printf("%-6d %-6s %12.1f %12.1f %7.2f %14.2f %14.2f %7d%s\n", R, Keep ? "keep" : "reuse", Rate(Ours),
                        Rate(Plain), Ratio, Ours.MaxDrainMs, Ours.ExitDrainMs, Ours.Drains,
                        Ok ? "" : "  (byte count or exit code wrong)");
        }
        std::sort(Ratios.begin(), Ratios.end());
        std::printf("%s: median ratio %.2f (goal >= 0.80), longest drain %.2f ms (goal <= 20)\n",
                    Keep ? "keep" : "reuse", Ratios[Ratios.size() / 2], WorstDrain);
    }
    return AllOk ? 0 : 1;
}
