// Collector output as the window reads it: decoded, parsed, loaded into the
// report model and filtered. The first line of the input is the filter text,
// the rest the output. The indexed filter must agree with the plain scan.

#include "json.h"
#include "record_filter.h"
#include "report_model.h"
#include "text_util.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QByteArray Bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const qsizetype Lf = Bytes.indexOf('\n');
    const QString Filter = Lf < 0 ? QString() : QString::fromUtf8(Bytes.left(Lf));
    const QString Text = DecodeOutput(Lf < 0 ? Bytes : Bytes.mid(Lf + 1));

    QString Err;
    const std::unique_ptr<TJsonValue> Doc = ParseJson(Text, Err);
    if (!Doc)
        return 0;
    const TReportModel Model = BuildReportModel(Doc.get(), false);
    (void)ReportStatusText(Model, 0);

    const TJsonValue* Records = Doc->Get(QLatin1StringView("records"));
    const QStringList Terms = ParseFilterTerms(Filter);
    TFilterIndex Index;
    Index.Build(Records);
    if (Index.Match(Terms) != ScanRecords(Records, Terms))
        std::abort();
    return 0;
}
