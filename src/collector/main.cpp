#include "collector.h"
#include "private_dir.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
#ifdef SIGPIPE
    // A reader that goes away makes the write fail (exit code 4) instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    InstallStopHandler();
    // Without TZ the C library looks at /etc/localtime again on every
    // local-time conversion (a third of a million-visit run); naming the
    // file says the same zone once. The zone is taken as fixed for a run.
    if (!qEnvironmentVariableIsSet("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    int Code = ceInternal;
    try {
        QCoreApplication App(argc, argv);
        QStringList Args = App.arguments();
        if (!Args.isEmpty())
            Args.removeFirst();
        TCollectorEnv Env = ProcessEnv();
        Code = RunCollector(Args, Env);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "内部错误：%s\n", E.what());
    } catch (...) {
        std::fprintf(stderr, "内部错误\n");
    }
    return FinishRun(Code);
}
