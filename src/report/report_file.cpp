#include "report_file.h"

#include "json.h"
#include "regular_file.h"
#include "text_util.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool IsBlank(const QByteArray& Text)
{
    for (const char C : Text)
        if (uchar(C) > 0x20)
            return false;
    return true;
}

} // namespace

QString TReportFile::Folder() const
{
    return QDir::toNativeSeparators(QFileInfo(Path).absolutePath());
}

QString TReportFile::ErrorText() const
{
    return QStringLiteral("无法打开报告文件：") + Path + QStringLiteral("\r\n") + Error;
}

bool IsReportDocument(const TJsonValue* Root)
{
    // A detection run's list document is an object too; it has neither member.
    return Root && Root->Kind() == jkObject &&
           (Root->Get(QLatin1StringView("stats")) || Root->Get(QLatin1StringView("records")));
}

TReportFile LoadReportFile(const QString& Path, qint64 MaxBytes)
{
    TReportFile R;
    R.Path = QDir::toNativeSeparators(Path);
    const QFileInfo Info(Path);
    if (!Info.exists()) {
        R.Error = QStringLiteral("文件不存在。");
        return R;
    }
    if (Info.isDir()) {
        R.Error = QStringLiteral("这是一个文件夹，不是报告文件。");
        return R;
    }
    // Opened without blocking and checked on the handle: a FIFO or a device
    // behind a ".json" name would otherwise hang the loader or fill memory.
    TRegularFile File;
    QString Why;
    if (!File.Open(Path, Why)) {
        R.Error = File.Error() == oeMissing      ? QStringLiteral("文件不存在。")
                  : File.Error() == oeNotRegular ? QStringLiteral("这不是普通文件（可能是设备或管道），不能作为报告打开。")
                                                 : QStringLiteral("无法读取：") + CleanSystemText(Why) + QStringLiteral("。");
        return R;
    }
    if (File.State().Size > MaxBytes) {
        R.Error = QStringLiteral("文件太大（%1 字节），最多只能打开 %2 字节的报告。")
                      .arg(FormatCount(File.State().Size), FormatCount(MaxBytes));
        return R;
    }
    QByteArray Bytes;
    bool TooLarge = false;
    if (!ReadRest(File, MaxBytes, Bytes, TooLarge, Why)) {
        // Grown after its size was looked at, or a read that failed.
        R.Error = TooLarge ? QStringLiteral("文件太大，最多只能打开 %1 字节的报告。").arg(FormatCount(MaxBytes))
                           : QStringLiteral("无法读取：") + CleanSystemText(Why) + QStringLiteral("。");
        return R;
    }
    File.Close();
    if (Bytes.startsWith("\xEF\xBB\xBF"))
        Bytes.remove(0, 3);
    if (IsBlank(Bytes)) {
        R.Error = QStringLiteral("文件是空的。");
        return R;
    }
    QString ParseError;
    std::unique_ptr<TJsonValue> Root = ParseJsonBytes(Bytes, ParseError);
    if (!Root) {
        R.Error = QStringLiteral("不是有效的 JSON（文件可能不完整）：") + ParseError;
        return R;
    }
    if (!IsReportDocument(Root.get())) {
        R.Error = QStringLiteral("这不是 Marrowkin 的采集报告（缺少统计数据和访问明细）。");
        return R;
    }
    R.Data = std::move(Root);
    R.Bytes = std::move(Bytes);
    return R;
}
