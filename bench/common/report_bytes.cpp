#include "report_bytes.h"

#include "json.h"
#include "report_window.h"

std::unique_ptr<TJsonValue> ParseReportBytes(const QByteArray& Bytes, QString& Err)
{
    return ParseJsonBytes(Bytes, Err);
}

TReportForm* ShowReportBytes(QWidget* Owner, std::unique_ptr<TJsonValue> Root, const QByteArray& Bytes)
{
    return ShowReportWindow(Owner, std::move(Root), Bytes, QString(), false);
}
