#pragma once

#include "run_texts.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class TConsoleRunner;
struct TOptions;

// What a finished run printed, for the kinds that read it (RunKeepsOutput).
struct TRunOutput {
    QByteArray Bytes;
    // Set, with Bytes empty, when the output outgrew the limit and was given
    // up; said where the parser's message would stand.
    QString Error;
};

// One execution of the collector at a time: starts it for a run kind, polls
// it from the event loop, keeps the output of the runs that read it (up to a
// limit) and reports the progress and the end. Holds no widgets, so a run is
// driven and tested without a window.
//
// An unattended program ends with the exit code these signals carry: the
// collector's own, or one of the codes below when it never gave one.
class TRunController final : public QObject {
    Q_OBJECT
public:
    static constexpr int kExitNoCollector = 2;
    static constexpr int kExitNotStarted = 5;
    static constexpr int kExitAborted = 9;

    // The most output a run may print before it is given up as unreadable.
    static constexpr qint64 kDefaultOutputLimit = qint64(1) << 30;

    explicit TRunController(QObject* Parent = nullptr);
    // Ends a collector that still runs.
    ~TRunController() override;

    void SetOutputLimit(qint64 Bytes) { FOutputLimit = Bytes; }

    // Milliseconds of a clock that never goes back; the elapsed time is read
    // from it. The system's steady clock unless set (tests step one by hand).
    using TClock = std::function<qint64()>;
    void SetClock(TClock Clock) { FClock = std::move(Clock); }

    // Runs Exe in its own folder with the command line of Kind for Opts; a run
    // that writes files gets OutDir created first. False when a run is going
    // on already (ignored) or, after StartFailed, when Exe cannot be started.
    bool Start(const QString& Exe, TRunKind Kind, const TOptions& Opts, const QString& OutDir);
    // Ends the run and everything it started; no Finished follows.
    void Stop();

    bool Busy() const { return FBusy; }
    // The kind of the current or last run.
    TRunKind Kind() const { return FKind; }
    // Whole seconds since the last run started; 0 before the first.
    int ElapsedSec() const;

signals:
    // While the collector runs, once per poll.
    void Progress(int ElapsedSec);
    // The collector has exited; the run is over (Busy is false) before this
    // is emitted. Output is empty for the kinds that do not read it.
    void Finished(TRunKind Kind, quint32 Code, const TRunOutput& Output);
    // No run started; Message says why.
    void StartFailed(int ExitCode, const QString& Message);
    // Polling, or acting on a signal above, failed with an exception; the run
    // was stopped. Reason is the exception's text.
    void Aborted(int ExitCode, const QString& Reason);

private:
    void Tick();
    void Poll();

    std::unique_ptr<TConsoleRunner> FRunner;
    QTimer FTimer;
    TRunKind FKind = rnEmbed;
    bool FBusy = false;
    QByteArray FOutput;
    qint64 FOutputLimit = kDefaultOutputLimit;
    TClock FClock;
    qint64 FStartMs = -1; // no run started yet
    bool FOutputTooLarge = false;
};
