#pragma once

#include "process_tree.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <memory>

class QProcess;
class QSocketNotifier;

// Runs one console program as a hidden child with standard output and standard
// error merged into one stream, and lets the GUI thread poll for output and for
// the exit without ever blocking. The child runs in a process group (on Windows
// a kill-on-close job) of its own, so stopping a run also ends everything the
// child started.
//
// Output is read continuously while the owner's event loop runs, so a child
// that writes a lot is never throttled by the pipe between two polls; a drain
// call without an event loop in between still picks up what is waiting.
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
    bool DrainBytes(QByteArray& Raw, bool& Exited, quint32& ExitCode);

    // Text variant: complete lines only (CR removed, LF kept) while the child
    // runs, then the unterminated rest with the exit. Decoded from the local
    // 8-bit encoding.
    bool Drain(QString& Text, bool& Exited, quint32& ExitCode);

    // Ends the running child and every process it started, also those that
    // left its group or session: they are asked to end (SIGTERM; on Windows
    // the job ends them at once) and killed after two seconds. The next drain
    // reports the exit with code 1.
    void Stop();

    // Whole seconds since the last successful start; 0 before the first.
    int ElapsedSec() const;

    bool Running() const { return FRunning; }
    quint32 ExitCode() const { return FExitCode; }

private:
    void CatchUp();
    void ReadRest();
    void ReadPipe(int MaxReads);
    void RecycleInto(QByteArray& Spare);
    bool CheckExited(quint32& Code);
    // Moves the available output into FBuf; true (with the code) once the
    // child has exited, its last output included.
    bool CollectOutput(quint32& Code);
    QString TakeText(bool All);
    void Finish(quint32 Code);
    void CloseAll();

    std::unique_ptr<QProcess> FProc;
    QByteArray FBuf;             // read from the child, not yet handed out
    QElapsedTimer FClock;        // invalid until the first start
    bool FRunning = false;
    bool FStopped = false;       // Stop was called on the current child
    quint32 FExitCode = 0;
#ifdef Q_OS_WIN
    void TakeBuffered();
    void* FJob = nullptr;
#else
    std::unique_ptr<QSocketNotifier> FNotifier;
    int FRead = -1;              // our end of the output pipe
    bool FFedByLoop = false;     // the event loop has read since the last drain
    qint64 FGroup = 0;           // process group of the current child
    QElapsedTimer FStopClock;    // valid once the run was asked to end
#endif
    TRunTree FTree;
};
