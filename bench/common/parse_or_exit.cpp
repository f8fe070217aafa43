#include "parse_or_exit.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

std::unique_ptr<TJsonValue> ParseOrExit(const QByteArray& Raw)
{
    QString Err;
    auto Tree = ParseJsonBytes(Raw, Err);
    if (!Tree) {
        std::fprintf(stderr, "parse failed: %s\n", qPrintable(Err));
        std::exit(1);
    }
    return Tree;
}
