#include "report_file.h"

#include "json.h"
#include "text_util.h"

#include <QDir>
#include <QFile>
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
    if (Info.size() > MaxBytes) {
        R.Error = QStringLiteral("文件太大（%1 字节），最多只能打开 %2 字节的报告。")
                      .arg(FormatCount(Info.size()), FormatCount(MaxBytes));
        return R;
    }
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        R.Error = QStringLiteral("无法读取：") + CleanSystemText(File.errorString()) + QStringLiteral("。");
        return R;
    }
    QByteArray Bytes = File.readAll();
    if (File.error() != QFileDevice::NoError) {
        R.Error = QStringLiteral("无法读取：") + CleanSystemText(File.errorString()) + QStringLiteral("。");
        return R;
    }
    if (Bytes.size() > MaxBytes) {
        // Grew after its size was looked at.
        R.Error = QStringLiteral("文件太大，最多只能打开 %1 字节的报告。").arg(FormatCount(MaxBytes));
        return R;
    }
    File.close();
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
