#include "dialogs.h"

#include "app_icon.h"
#include "app_info.h"
#include "card.h"
#include "control_factory.h"
#include "link_label.h"
#include "msg_box.h"
#include "palette.h"
#include "ui_font.h"
#include "ui_hooks.h"

#include <QDialog>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>

QDialog* NewDialogForm(QWidget* Owner, int ClientW, int ClientH, const QString& Caption)
{
    // Parented to the owner's window: Qt then centres the dialog over it and
    // keeps it above it.
    auto* Dialog = new QDialog(Owner ? Owner->window() : nullptr);
    SetUpDialogForm(Dialog, ClientW, ClientH, Caption);
    return Dialog;
}

void SetUpDialogForm(QDialog* Dialog, int ClientW, int ClientH, const QString& Caption)
{
    Dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    Dialog->setWindowTitle(Caption);
    Dialog->setFixedSize(ClientW, ClientH);
    Dialog->setSizeGripEnabled(false);
    Dialog->setAutoFillBackground(true);
    QPalette P = Dialog->palette();
    P.setColor(QPalette::Window, ToQColor(clWhite));
    Dialog->setPalette(P);
    Dialog->setFont(UiFont(9));
    Dialog->setWindowIcon(AppIcon());
}

namespace {

constexpr char kInfoDialogProp[] = "mkInfoDialog";

// Shows the dialog modally and destroys it afterwards, unless its owner took
// it down already.
void RunAndRelease(QDialog* Dialog)
{
    QPointer<QDialog> Guard(Dialog);
    Dialog->setProperty(kInfoDialogProp, true);
    Dialog->exec();
    delete Guard.data();
}

} // namespace

void ShowAboutDialog(QWidget* Owner)
{
    QDialog* D = NewDialogForm(Owner, 440, 344, QStringLiteral("关于 Marrowkin"));
    MakePanel(D, 0, 0, D->width(), 4, clAccent);

    auto* Logo = new QLabel(D);
    Logo->setGeometry(26, 26, 48, 48);
    Logo->setPixmap(MakeAppIconBitmap(48, clWhite));

    MakeLabel(D, QStringLiteral("Marrowkin"), 98, 26, 300, 34, 20, fsBold, clText);
    MakeLabel(D, QStringLiteral("浏览器访问记录收集与报告工具 · 图形界面"), 98, 62, 330, 20, 9,
              fsRegular, clSecondary);
    MakeLabel(D, QStringLiteral("版本 %1（%2）").arg(QString::fromUtf8(kAppVersion), QString::fromUtf8(kAppBuildDate)),
              98, 84, 300, 20, 9, fsRegular, clSecondary);
    MakePanel(D, 28, 112, 384, 1, clBorder);
    MakeLabel(D, QStringLiteral("开发与版权"), 28, 124, 120, 18, 8, fsRegular, clSecondary);

    const QString Url = QString::fromUtf8(kCompanyUrl);
    TLinkLabel* Company = MakeLink(D, QString::fromUtf8(kCompanyName), Url, 28, 142, 384, 20);
    ApplyUiFont(Company, 10, fsBold, clAccent);
    MakeLink(D, Url, Url, 28, 164, 384, 18);
    MakeLabel(D, QString::fromUtf8(kRightsNotice), 28, 186, 384, 18, 9, fsRegular, clSecondary);

    QLabel* Para1 = MakeLabel(D,
        QStringLiteral("本程序是 %1 的图形外壳：参数由界面拼装，采集、统计与报告生成全部由 %1 在本机完成。")
            .arg(QString::fromLatin1(kCollectorFile)),
        28, 212, 384, 34, 9, fsRegular, clSecondary);
    Para1->setWordWrap(true);
    QLabel* Para2 = MakeLabel(D,
        KeepTokensWhole(QStringLiteral("不联网、不上传任何数据；报告默认在独立窗口展示，也可选 HTML 文件用浏览器打开。"),
                        {QStringLiteral("文件")}),
        28, 250, 384, 34, 9, fsRegular, clSecondary);
    Para2->setWordWrap(true);

    TFlatButton* Ok = MakeButton(D, QStringLiteral("确定"), 328, 296, 84, 28, bkPrimary);
    Ok->SetModalResult(kIdOk);
    Ok->setFocus();

    RunAndRelease(D);
}

void ShowUsageDialog(QWidget* Owner)
{
    QDialog* D = NewDialogForm(Owner, 620, 480, QStringLiteral("使用说明"));
    MakePanel(D, 0, 0, D->width(), 4, clAccent);
    MakeLabel(D, QStringLiteral("使用说明"), 20, 20, 400, 26, 13, fsBold, clText);
    MakeLabel(D, QStringLiteral("参数由界面拼装后调用 %1，结果在内置窗口展示或生成 HTML 文件").arg(QString::fromLatin1(kCollectorFile)),
              20, 48, 580, 18, 9, fsRegular, clSecondary);

    auto* Text = new QPlainTextEdit(D);
    Text->setGeometry(20, 76, 580, 344);
    Text->setReadOnly(true);
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ApplyUiFont(Text, 9, fsRegular, clText);
    // A plain one-pixel frame in the border colour (the frame is drawn with
    // WindowText), on the light grey text background.
    Text->setFrameStyle(QFrame::Box | QFrame::Plain);
    Text->setLineWidth(1);
    QPalette P = Text->palette();
    P.setColor(QPalette::Base, ToQColor(Rgb(0xF8, 0xF9, 0xFA)));
    P.setColor(QPalette::WindowText, ToQColor(clBorder));
    Text->setPalette(P);
    // The editor keeps paragraphs apart by itself; a CR would show as a glyph.
    QString Shown = UsageText();
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text->setPlainText(Shown);

    TFlatButton* Close = MakeButton(D, QStringLiteral("关闭"), 516, 432, 84, 28, bkPrimary);
    Close->SetModalResult(kIdOk);
    Close->setFocus();

    RunAndRelease(D);
}

void CloseInfoDialogs(QWidget* Owner)
{
    if (!Owner)
        return;
    for (QDialog* D : Owner->window()->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        if (D->property(kInfoDialogProp).toBool() && D->isVisible())
            D->reject();
}

QString UsageText()
{
    const QString Collector = QString::fromLatin1(kCollectorFile);
    const QStringList Lines = {
        QStringLiteral("一、基本用法"),
        QStringLiteral("  1. 选择数据源（默认“自动探测全部”即可覆盖本机已安装的浏览器）；"),
        QStringLiteral("  2. 选择时间范围（默认“全部历史”）；"),
        QStringLiteral("  3. 在“输出”卡片设置保存位置、报告形式与报告标题；"),
        QStringLiteral("  4. 点“开始生成报告”（按钮在右侧“高级选项”卡片的下部）；"),
        QStringLiteral("  5. 采集完成后按报告形式展示结果（见下节）。"),
        QStringLiteral(""),
        QStringLiteral("二、报告形式与留档"),
        QStringLiteral("  · 输出卡片可选两种报告形式："),
        QStringLiteral("    内置窗口（默认）——结果在独立窗口展示：顶部统计摘要，下面是访问明细，"),
        QStringLiteral("    双击某一行可用默认浏览器打开该网址；"),
        QStringLiteral("    HTML 文件——生成单文件网页到保存位置，并自动用浏览器打开；"),
        QStringLiteral("  · 内置模式下点报告窗口的“保存 JSON”，可把原始数据写到保存位置留档；"),
        QStringLiteral("  · “复制选中”可把选中的行按制表符分隔复制到剪贴板，方便粘进表格。"),
        QStringLiteral(""),
        QStringLiteral("三、几个要点"),
        QStringLiteral("  · “检测数据源”只探测库文件与条数，不读取明细，结果同样在独立窗口展示；"),
        QStringLiteral("  · 底部状态栏会显示 %1 是否就绪、用时与退出码；").arg(Collector),
        QStringLiteral("  · “全部用户”需要管理员权限，界面会提示并支持一键提权重启；"),
        QStringLiteral("  · 浏览器正在运行时数据库被占用，多数情况仍可只读快照采集，"),
        QStringLiteral("    个别浏览器（如 IE/旧版 Edge）需要管理员权限才能读取；"),
        QStringLiteral("  · “网址脱敏”会在入库时去掉查询参数，适用于需要外发的场景；"),
        QStringLiteral("  · 关键词/域名支持分号分隔多个值，域名支持 *.example.com 通配。"),
        QStringLiteral(""),
        QStringLiteral("四、脚本与自动化"),
        QStringLiteral("  %1 /auto [/out:<目录>] [/days:N]").arg(QString::fromLatin1(kGuiFile)),
        QStringLiteral("  按当前保存的参数静默执行，JSON 报告写入 /out 目录（缺省为保存位置），"),
        QStringLiteral("  结束后以 %1 的退出码退出，适合放进计划任务。").arg(Collector),
        QStringLiteral(""),
        QStringLiteral("五、退出码（与命令行版一致）"),
        QStringLiteral("  0 成功" "\u3000" "1 参数错误" "\u3000" "2 无记录" "\u3000" "3 数据源全部失败" "\u3000" "4 写报告失败" "\u3000" "5 内部错误"),
        QStringLiteral(""),
        QStringLiteral("六、打开保存过的报告"),
        QStringLiteral("  · 文件菜单“打开报告…”（Ctrl+O）打开保存的 JSON 报告；"),
        QStringLiteral("  · “最近打开”列出最近打开的报告，末项“清除列表”清空它；"),
        QStringLiteral("  · 把 JSON 报告文件拖到主窗口上也能打开；"),
        QStringLiteral("  · 报告窗口的“导出 CSV”（Ctrl+E）把访问明细当前显示的记录存为 CSV；"),
        QStringLiteral("  · %1 <report.json> … 启动后直接打开这些报告。").arg(QString::fromLatin1(kGuiFile))
    };
    return Lines.join(QStringLiteral("\r\n"));
}
