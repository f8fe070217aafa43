#include "private_dir.h"

#include "collector_contract.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

int GWake[2] = {-1, -1};

void OnStop(int)
{
    const int Saved = errno;
    const char Byte = 1;
    [[maybe_unused]] const ssize_t N = ::write(GWake[1], &Byte, 1);
    errno = Saved;
}

} // namespace

void InstallStopHandler()
{
    if (GWake[0] >= 0 || ::pipe2(GWake, O_CLOEXEC) != 0)
        return;
    // The handler only wakes this thread, which may then take locks and
    // remove files while the main thread is anywhere in its work.
    std::thread([] {
        char Byte;
        while (::read(GWake[0], &Byte, 1) < 0 && errno == EINTR) {
        }
        RemoveAllPrivateDirs();
        ::_exit(ceInternal);
    }).detach();
    struct sigaction Sa = {};
    Sa.sa_handler = OnStop;
    ::sigemptyset(&Sa.sa_mask);
    for (const int Sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(Sig, &Sa, nullptr);
}

bool ProcessExists(qint64 Pid)
{
    if (Pid <= 0)
        return false;
    return ::kill(pid_t(Pid), 0) == 0 || errno == EPERM;
}
