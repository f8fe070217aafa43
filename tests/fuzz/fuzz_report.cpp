// Collector output as the window reads it: parsed from its bytes, read into
// the report's content and filtered. The first line of the input is the filter
// text, the rest the output. The byte parser must agree with the text parser
// on the decoded output, and the indexed filter with the plain scan.

#include "json.h"
#include "filter_index.h"
#include "record_filter.h"
#include "report_content.h"
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
    const QByteArray Output = Lf < 0 ? Bytes : Bytes.mid(Lf + 1);

    QString Err, TextErr;
    const std::unique_ptr<TJsonValue> Doc = ParseJsonBytes(Output, Err);
    const std::unique_ptr<TJsonValue> TextDoc = ParseJson(DecodeOutput(Output), TextErr);
    if (bool(Doc) != bool(TextDoc) || Err != TextErr)
        std::abort();
    if (!Doc)
        return 0;
    const TReportContent Content = ReadReportContent(Doc.get(), false);
    (void)ReportStatusText(Content, 0);

    const TJsonValue* Records = Doc->Get(QLatin1StringView("records"));
    const QStringList Terms = ParseFilterTerms(Filter);
    TFilterIndex Index;
    Index.Build(Records);
    if (Index.Match(Terms) != ScanRecords(Records, Terms))
        std::abort();
    return 0;
}
