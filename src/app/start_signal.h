#pragma once

#include <QObject>

#include <memory>

class QWidget;

// Lets another process ask the running program to start a report run, and
// emits Triggered for it in the GUI thread: on Windows the window message
// WM_APP + 0x65 to the main window asks, elsewhere SIGUSR1 to the process.
// Where signals exist, those that end the program arrive the same way, as
// EndRequested.
class TStartSignal final : public QObject {
    Q_OBJECT
public:
    // Window is the one the window message is addressed to.
    explicit TStartSignal(QWidget* Window, QObject* Parent = nullptr);
    ~TStartSignal() override;

    // False when the request could not be set up; the program then simply
    // has no outside trigger.
    bool Active() const { return FPlatform != nullptr; }

signals:
    void Triggered();
    // SIGTERM, SIGINT or SIGHUP: the program should end with Code (128 + the
    // signal number), stopping its run on the way out.
    void EndRequested(int Code);

private:
    // How the system delivers the request; defined, like the constructor and
    // the destructor, in start_signal_posix.cpp / start_signal_win.cpp.
    struct TPlatform;
    std::unique_ptr<TPlatform> FPlatform;
};
