#include "report_load.h"

#include "report_file.h"

#include <exception>
#include <utility>

TLoadedReport PrepareReport(std::unique_ptr<TJsonValue> Data, QByteArray Bytes, bool NoData)
{
    TLoadedReport R;
    // Running out of memory on a huge document fails the load, as it fails
    // a parse; on a loader thread it would end the program.
    try {
        R.Content = ReadReportContent(Data.get(), NoData);
        const TJsonValue* Records = Data ? Data->Get(QLatin1StringView("records")) : nullptr;
        R.Filter.Build(Records);
        R.Keys.Build(Records);
        R.Rows = R.Filter.Match({});
    } catch (const std::exception& E) {
        TLoadedReport Failed;
        Failed.Error = QStringLiteral("内存不足：") + QString::fromLocal8Bit(E.what());
        return Failed;
    }
    R.Bytes = std::move(Bytes);
    R.Data = std::move(Data);
    return R;
}

TLoadedReport LoadRunReport(QByteArray Bytes, bool NoData)
{
    QString Error;
    std::unique_ptr<TJsonValue> Data = ParseJsonBytes(Bytes, Error);
    if (!Data) {
        TLoadedReport R;
        R.Error = Error;
        return R;
    }
    return PrepareReport(std::move(Data), std::move(Bytes), NoData);
}

TLoadedReport LoadSourceList(QByteArray Bytes)
{
    TLoadedReport R;
    R.Data = ParseJsonBytes(Bytes, R.Error);
    R.Bytes = std::move(Bytes);
    return R;
}

TLoadedReport LoadReportFromFile(const QString& Path)
{
    TReportFile File = LoadReportFile(Path);
    if (!File.Ok()) {
        TLoadedReport R;
        R.Path = File.Path;
        R.Error = File.ErrorText();
        return R;
    }
    TLoadedReport R = PrepareReport(std::move(File.Data), std::move(File.Bytes), false);
    R.Path = File.Path;
    if (!R.Ok()) {
        File.Error = R.Error;
        R.Error = File.ErrorText();
    }
    return R;
}
