#include "process_env.h"

#include <QByteArray>

#include <cstdio>

TCollectorEnv ProcessEnv()
{
    // Reports arrive in large chunks from their own buffer; a second one in stdio only copies.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    TCollectorEnv Env;
    Env.WriteStdout = [](const char* Data, size_t Size) {
        return std::fwrite(Data, 1, Size, stdout) == Size && std::fflush(stdout) == 0;
    };
    Env.WriteStderr = [](const QString& Text) {
        const QByteArray Bytes = (Text + QChar('\n')).toUtf8();
        std::fwrite(Bytes.constData(), 1, size_t(Bytes.size()), stderr);
        std::fflush(stderr);
    };
    Env.OpenFile = OpenWithDesktop;
    return Env;
}
