#include "collector.h"
#include "private_dir.h"
#include "process_env.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    PrepareProcess();
    InstallStopHandler();
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
