#include "start_signal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// The signal handler only writes a byte into a pipe; the GUI thread picks it
// up through a socket notifier.
struct TStartSignal::TPlatform {
    QSocketNotifier* Notifier = nullptr;
};

namespace {

int GPipe[2] = {-1, -1};

void OnSignal(int Sig)
{
    const int Saved = errno;
    const char Byte = char(Sig);
    // A full pipe already holds a pending request, so a failed write is fine.
    [[maybe_unused]] const ssize_t N = ::write(GPipe[1], &Byte, 1);
    errno = Saved;
}

bool SetUp()
{
    if (GPipe[0] >= 0)
        return true;
    if (::pipe2(GPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        GPipe[0] = GPipe[1] = -1;
        return false;
    }
    struct sigaction Act {};
    Act.sa_handler = OnSignal;
    sigemptyset(&Act.sa_mask);
    Act.sa_flags = SA_RESTART;
    // Being told to end goes through the GUI thread too, so that the run in
    // progress is stopped as the window closes, not left behind.
    for (const int Sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(Sig, &Act, nullptr);
    return ::sigaction(SIGUSR1, &Act, nullptr) == 0;
}

void ReadPipe(TStartSignal* Owner)
{
    // Several signals before the GUI thread got here ask for one run.
    char Buf[64];
    bool Any = false;
    int End = 0;
    for (ssize_t N; (N = ::read(GPipe[0], Buf, sizeof Buf)) > 0;)
        for (ssize_t I = 0; I < N; ++I) {
            if (Buf[I] == SIGUSR1)
                Any = true;
            else
                End = Buf[I];
        }
    if (End)
        emit Owner->EndRequested(128 + End);
    else if (Any)
        emit Owner->Triggered();
}

} // namespace

TStartSignal::TStartSignal(QWidget* /*Window: the process is signalled as a whole*/, QObject* Parent)
    : QObject(Parent)
{
    if (!SetUp())
        return;
    FPlatform = std::make_unique<TPlatform>();
    FPlatform->Notifier = new QSocketNotifier(GPipe[0], QSocketNotifier::Read, this);
    connect(FPlatform->Notifier, &QSocketNotifier::activated, this, [this] { ReadPipe(this); });
}

TStartSignal::~TStartSignal() = default;
