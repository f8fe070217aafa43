#include "report_save.h"

#include "atomic_file.h"
#include "report_file_name.h"
#include "text_out.h"

#include <QDir>
#include <QThread>

namespace {

// Names tried for reports made in one second before giving up.
constexpr int kMaxReportsPerSecond = 999;

// Lets the tests stop a run while its report file is being written.
void HoldReportForTests()
{
    const int Ms = qEnvironmentVariableIntValue("MK_COLLECTOR_HOLD_REPORT_MS");
    if (Ms > 0)
        QThread::msleep(ulong(Ms));
}

} // namespace

bool SaveReport(const QString& Dir, const QDateTime& Now, const QString& Ext,
                const std::function<void(TTextOut&)>& Produce, QString& Path, QString& ErrMsg)
{
    // Temporary files of runs that were killed while writing.
    TAtomicFile::RemoveAbandoned(Dir, ReportFileNamePattern());
    TAtomicFile File;
    Path = QDir(Dir).filePath(ReportFileName(Now, Ext));
    if (!File.Open(Path)) {
        ErrMsg = File.ErrorString();
        return false;
    }
    TTextOut Out([&File](const char* Data, size_t Size) { return File.Write(Data, qint64(Size)); });
    Produce(Out);
    if (!Out.Finish()) {
        ErrMsg = File.ErrorString();
        return false;
    }
    HoldReportForTests();
    for (int Copy = 2; !File.Commit(Path, TAtomicFile::cmKeepExisting); ++Copy) {
        if (!File.TargetExists() || Copy > kMaxReportsPerSecond) {
            ErrMsg = File.ErrorString();
            return false;
        }
        Path = QDir(Dir).filePath(ReportFileName(Now, Ext, Copy));
    }
    return true;
}
