#pragma once

#include <QObject>

class QSocketNotifier;

// Lets another process ask the running program to start a report run: on
// Linux by sending it SIGUSR1 (on Windows the window message does this). The
// signal handler only writes a byte into a pipe; the GUI thread picks it up
// through a socket notifier and emits Triggered there. Signals that end the
// program arrive the same way, as EndRequested.
class TStartSignal final : public QObject {
    Q_OBJECT
public:
    explicit TStartSignal(QObject* Parent = nullptr);
    ~TStartSignal() override;

    // False when the pipe or the handler could not be set up; the program
    // then simply has no outside trigger.
    bool Active() const { return FNotifier != nullptr; }

signals:
    void Triggered();
    // SIGTERM, SIGINT or SIGHUP: the program should end with Code (128 + the
    // signal number), stopping its run on the way out.
    void EndRequested(int Code);

private:
    void ReadPipe();

    QSocketNotifier* FNotifier = nullptr;
};
