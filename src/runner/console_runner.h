#pragma once

#include "process_tree.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QProcess;

// Runs one console program as a hidden child with standard output and standard
// error merged into one stream, and lets the GUI thread poll for output and for
// the exit without ever blocking. The child runs in a process group (on Windows
// a kill-on-close job) of its own, so stopping a run also ends everything the
// child started.
//
// Output is read continuously, so a child that writes a lot is never throttled
// by the pipe between two polls: on a thread of the runner's own (POSIX), or
// by QProcess while the owner's event loop runs (Windows), where a drain call
// without an event loop in between still picks up what is waiting. Either
// way the GUI thread neither copies nor grows the buffer of a large output
// while the child runs.
class TConsoleRunner final {
public:
    TConsoleRunner();
    // Stops a child that still runs.
    ~TConsoleRunner();

    TConsoleRunner(const TConsoleRunner&) = delete;
    TConsoleRunner& operator=(const TConsoleRunner&) = delete;

    // Starts ExePath with the command-line string Params (blanks only: no
    // arguments) in WorkDir, or in the program's own folder when WorkDir is
    // empty. On failure returns false with a message in ErrMsg and stays idle.
    bool Start(const QString& ExePath, const QString& Params, const QString& WorkDir, QString& ErrMsg);

    // Hands out every byte read since the last call, in the order written;
    // whatever Raw held before is dropped, and its storage may be reused, so
    // a caller that passes the same array on every poll saves allocations.
    // Once the child has ended, the call that reports it (true, Exited true)
    // also delivers the last bytes the child wrote, ends whatever the child
    // left running in its group, and leaves the runner idle. A stopped child
    // is reported with exit code 1; one killed by a signal nobody here sent
    // with 128 + the signal number.
    //
    // With Hold, the output stays in the runner instead, read straight into
    // one growing buffer (each byte written once, no copy per poll), and Raw
    // gets all of it with the exit; Held() says how much has come so far.
    bool DrainBytes(QByteArray& Raw, bool& Exited, quint32& ExitCode, bool Hold = false);
    qsizetype Held() const;

    // Text variant: complete lines only (CR removed, LF kept) while the child
    // runs, then the unterminated rest with the exit. Decoded from the local
    // 8-bit encoding.
    bool Drain(QString& Text, bool& Exited, quint32& ExitCode);

    // Ends the running child and every process it started, also those that
    // left its group or session: they are asked to end (SIGTERM; on Windows
    // the run's stop event, see kStopEventVar) and killed after two seconds.
    // The next drain reports the exit with code 1.
    void Stop();

    // Whole seconds since the last successful start; 0 before the first.
    int ElapsedSec() const;

    bool Running() const { return FRunning; }
    quint32 ExitCode() const { return FExitCode; }

    // Called from the event loop when a child ends, so that its owner can
    // drain at once instead of at its next poll.
    void SetExitHandler(std::function<void()> Handler) { FExitHandler = std::move(Handler); }

private:
    // What one system needs to run a child: the pipe or job and their handles.
    // Defined with the system's half of the runner (console_runner_posix.cpp,
    // console_runner_win.cpp), like the members below marked as such.
    struct TPlatform;
    struct TPlatformDeleter {
        void operator()(TPlatform* Platform) const;
    };
    static TPlatform* NewPlatform();

    // One drain call takes at most this many chunks when the event loop has
    // not been reading for us. A drain never reads much, so it stays short
    // even when the child writes faster than we read; whatever is left comes
    // with the next call.
    static constexpr int kReadsPerDrain = 16;
    // Once the child has ended, what it wrote is all in the pipe already; the
    // bound only matters for a grandchild that keeps writing.
    static constexpr int kReadsAtExit = 4;
    // How long a stopped run may take to clean up (remove its private files)
    // before it is killed.
    static constexpr int kStopGraceMs = 2000;

    // The system's half.
    // Arguments, output channel and child set-up before the start.
    bool Prepare(QProcess& Proc, const QString& Params, QString& ErrMsg);
    // Right after the start attempt; Ok says whether the child runs.
    void AfterStart(QProcess& Proc, bool Ok);
    // Hold: the output stays where it is read until the exit.
    void CatchUp(bool Hold);
    void ReadRest();
    void ReadPipe(int MaxReads);
    // Exit code of a child that crashed or was killed by someone else.
    static quint32 CrashCode(int Code);
    // Asks the child and everything it started to end.
    void EndRun();
    // Releases the pipe or job; whatever the child left behind ends with it.
    void CloseRun();

    // Shared.
    void RecycleInto(QByteArray& Spare);
    bool CheckExited(quint32& Code);
    // Moves the available output into FBuf; true (with the code) once the
    // child has exited, its last output included.
    bool CollectOutput(quint32& Code, bool Hold);
    QString TakeText(bool All);
    void Finish(quint32 Code);
    void CloseAll();

    std::unique_ptr<QProcess> FProc;
    std::function<void()> FExitHandler;
    QByteArray FBuf;             // read from the child, not yet handed out
    QElapsedTimer FClock;        // invalid until the first start
    bool FRunning = false;
    bool FStopped = false;       // Stop was called on the current child
    quint32 FExitCode = 0;
    std::unique_ptr<TPlatform, TPlatformDeleter> FPlatform;
    TRunTree FTree;
};
