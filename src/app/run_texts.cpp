#include "run_texts.h"

#include "app_info.h"
#include "collector_contract.h"
#include "options.h"
#include "text_util.h"

TRunKind RunKindOf(bool ListMode, bool AutoMode, const TOptions& Opts)
{
    if (ListMode)
        return rnList;
    if (AutoMode)
        return rnAuto;
    return Opts.FOutMode == omHtml ? rnHtml : rnEmbed;
}

bool RunWritesFiles(TRunKind Kind)
{
    return Kind == rnAuto || Kind == rnHtml;
}

bool RunKeepsOutput(TRunKind Kind)
{
    return Kind == rnList || Kind == rnEmbed;
}

QString RunArgs(TRunKind Kind, const TOptions& Opts, const QString& OutDir)
{
    switch (Kind) {
    case rnList:
        return QString(kSwList) + u' ' + kSwFormatJson;
    case rnAuto:
        return BuildCollectorArgs(Opts) + u' ' + kSwFormatJson + u' ' + kSwOut + QuoteArg(OutDir);
    case rnHtml:
        return BuildCollectorArgs(Opts) + u' ' + kSwFormatHtml + u' ' + kSwOut + QuoteArg(OutDir) +
               u' ' + kSwOpen;
    case rnClearArchive:
        return kSwArchiveClear;
    case rnEmbed:
        break;
    }
    return BuildCollectorArgs(Opts) + u' ' + kSwFormatJson;
}

QString BusyTextOf(TRunKind Kind)
{
    switch (Kind) {
    case rnList:
        return QStringLiteral("正在检测数据源");
    case rnHtml:
        return QStringLiteral("正在生成 HTML 报告");
    case rnClearArchive:
        return QStringLiteral("正在清除历史存档");
    case rnAuto:
    case rnEmbed:
        break;
    }
    return QStringLiteral("正在采集，请稍候");
}

QString ProgressText(const QString& BusyText, int ElapsedSec)
{
    const int Dots = ElapsedSec < 0 ? 0 : ElapsedSec % 4;
    return BusyText + QString(Dots, u'.');
}

QString ElapsedText(int ElapsedSec)
{
    return QStringLiteral("用时 %1 s").arg(ElapsedSec);
}

QString FinishedStatusText(TRunKind Kind, quint32 Code)
{
    if (Kind == rnList)
        return QStringLiteral("检测完成 · ") + ExitCodeText(int(Code));
    if (Kind == rnHtml && Code == ceOk)
        return QStringLiteral("HTML 报告已生成，已在浏览器打开");
    if (Kind == rnClearArchive)
        return Code == ceOk ? QStringLiteral("历史存档已清除")
                            : QStringLiteral("清除历史存档失败 · ") + ExitCodeText(int(Code));
    return QStringLiteral("完成 · ") + ExitCodeText(int(Code));
}

QString FinishedElapsedText(int ElapsedSec, quint32 Code)
{
    return QStringLiteral("用时 %1 s · 退出码 %2").arg(double(ElapsedSec), 0, 'f', 1).arg(int(Code));
}

TFinishStep FinishStep(TRunKind Kind, quint32 Code)
{
    if (Kind == rnAuto)
        return {};
    if (Kind == rnClearArchive) {
        if (Code == ceOk)
            return {};
        QString Text = QStringLiteral("清除历史存档失败：") + ExitCodeText(int(Code));
        // A collector from before the archive does not know the switch.
        if (Code == ceBadArgs)
            Text += QStringLiteral("\r\n\r\n请确认 ") + CollectorFileName() + QStringLiteral(" 是支持历史存档的版本。");
        return {faWarn, Text};
    }
    if (Kind == rnHtml) {
        if (Code == ceNoRecords)
            return {faWarn, QStringLiteral("时间范围内没有可用记录，未生成报告。")};
        return {};
    }
    if (Code == ceOk || Code == ceNoRecords)
        return {faShowResult, QString()};
    if (Code == ceAllSourcesFailed)
        return {faWarn, QStringLiteral("所有数据源都读取失败，未能生成报告。\r\n\r\n"
                                       "可以先用“检测数据源”查看各数据源的状态；扫描全部用户需要管理员权限。")};
    return {faWarn, QStringLiteral("未生成报告：") + ExitCodeText(int(Code))};
}

QString ParseFailedText(const QString& ParserMessage)
{
    return QStringLiteral("结果解析失败：") + ParserMessage + QStringLiteral("\r\n\r\n请确认 ") + CollectorFileName() +
           QStringLiteral(" 是与本界面配套的版本（1.1.3 及以上，支持 /format:json）。");
}

QString OutputTooLargeText(qint64 Limit)
{
    return QStringLiteral("输出超过 %1 MB，已停止接收").arg(double(Limit) / (1024 * 1024), 0, 'g', 4);
}

QString CollectorMissingText(const QString& ExePath)
{
    const QString Collector = CollectorFileName();
    return QStringLiteral("找不到 ") + Collector + QStringLiteral("：\r\n") + ExePath + QStringLiteral("\r\n\r\n请把 ") +
           QString::fromLatin1(kGuiFile) + QStringLiteral(" 与 ") + Collector + QStringLiteral(" 放在同一目录后重试。");
}
