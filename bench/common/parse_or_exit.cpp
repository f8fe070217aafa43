#include "parse_or_exit.h"

#include "report_generator.h"

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

TParsedReport ParsedReport(int Count)
{
    TParsedReport R;
    R.Raw = GenerateReportDocument(Count, 1);
    R.Tree = ParseOrExit(R.Raw);
    R.Records = R.Tree->Get("records");
    return R;
}
