#include "report_bytes.h"

#include "json.h"
#include "report_window.h"
#include "text_util.h"

#include <utility>

namespace {

// The report window still takes the decoded text, and the main window hands
// it the copy its parse decoded; this keeps that copy from the parse to the
// window. Goes with the switch to the byte parser.
QString& DecodedText()
{
    static QString Text;
    return Text;
}

} // namespace

std::unique_ptr<TJsonValue> ParseReportBytes(const QByteArray& Bytes, QString& Err)
{
    DecodedText() = DecodeOutput(Bytes);
    return ParseJson(DecodedText(), Err); // byte parser: return ParseJsonBytes(Bytes, Err);
}

TReportForm* ShowReportBytes(QWidget* Owner, std::unique_ptr<TJsonValue> Root, const QByteArray& Bytes)
{
    Q_UNUSED(Bytes);
    // byte window: return ShowReportWindow(Owner, std::move(Root), Bytes, QString(), false);
    return ShowReportWindow(Owner, std::move(Root), std::exchange(DecodedText(), QString()), QString(), false);
}
