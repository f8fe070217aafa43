#include "app_info.h"
#include "dialogs.h"
#include "flat_button.h"
#include "link_label.h"
#include "palette.h"
#include "ui_hooks.h"
#include "ui_locale.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs Inspect on the dialog once it is up, then lets Finish close it.
// Returns false when no dialog appeared or it did not go away.
struct TDialogProbe {
    std::function<void(QDialog*)> Inspect;
    std::function<void(QDialog*)> Finish;
    QPointer<QDialog> Seen;
    QTimer Poll;

    void Arm()
    {
        QObject::connect(&Poll, &QTimer::timeout, [this] {
            auto* D = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!D)
                return;
            Poll.stop();
            Seen = D;
            if (Inspect)
                Inspect(D);
            Finish(D);
            // Safety net: a dialog that ignores Finish must not hang the test.
            QTimer::singleShot(3000, D, [D] { D->done(99); });
        });
        Poll.start(10);
    }
};

QStringList ExpectedUsageLines()
{
    const QString Q1 = QString(QChar(0x201C));
    const QString Q2 = QString(QChar(0x201D));
    const QString Sp = QString(QChar(0x3000));
#ifdef Q_OS_WIN
    const QString Col = QStringLiteral("Marrowkin.exe"), Gui = QStringLiteral("MarrowkinWin.exe");
#else
    const QString Col = QStringLiteral("Marrowkin"), Gui = QStringLiteral("MarrowkinWin");
#endif
    return {
        "一、基本用法",
        "  1. 选择数据源（默认" + Q1 + "自动探测全部" + Q2 + "即可覆盖本机已安装的浏览器）；",
        "  2. 选择时间范围（默认" + Q1 + "全部历史" + Q2 + "）；",
        "  3. 在" + Q1 + "输出" + Q2 + "卡片设置保存位置、报告形式与报告标题；",
        "  4. 点" + Q1 + "开始生成报告" + Q2 + "（按钮在右侧" + Q1 + "高级选项" + Q2 + "卡片的下部）；",
        "  5. 采集完成后按报告形式展示结果（见下节）。",
        "",
        "二、报告形式与留档",
        "  \u00B7 输出卡片可选两种报告形式：",
        "    内置窗口（默认）\u2014\u2014结果在独立窗口展示：顶部统计摘要，下面是访问明细，",
        "    双击某一行可用默认浏览器打开该网址；",
        "    HTML 文件\u2014\u2014生成单文件网页到保存位置，并自动用浏览器打开；",
        "  \u00B7 内置模式下点报告窗口的" + Q1 + "保存 JSON" + Q2 + "，可把原始数据写到保存位置留档；",
        "  \u00B7 " + Q1 + "复制选中" + Q2 + "可把选中的行按制表符分隔复制到剪贴板，方便粘进表格。",
        "",
        "三、几个要点",
        "  \u00B7 " + Q1 + "检测数据源" + Q2 + "只探测库文件与条数，不读取明细，结果同样在独立窗口展示；",
        "  \u00B7 底部状态栏会显示 " + Col + " 是否就绪、用时与退出码；",
        "  \u00B7 " + Q1 + "全部用户" + Q2 + "需要管理员权限，界面会提示并支持一键提权重启；",
        "  \u00B7 浏览器正在运行时数据库被占用，多数情况仍可只读快照采集，",
        "    个别浏览器（如 IE/旧版 Edge）需要管理员权限才能读取；",
        "  \u00B7 " + Q1 + "网址脱敏" + Q2 + "会在入库时去掉查询参数，适用于需要外发的场景；",
        "  \u00B7 关键词/域名支持分号分隔多个值，域名支持 *.example.com 通配。",
        "",
        "四、脚本与自动化",
        "  " + Gui + " /auto [/out:<目录>] [/days:N]",
        "  按当前保存的参数静默执行，JSON 报告写入 /out 目录（缺省为保存位置），",
        "  结束后以 " + Col + " 的退出码退出，适合放进计划任务。",
        "",
        "五、退出码（与命令行版一致）",
        "  0 成功" + Sp + "1 参数错误" + Sp + "2 无记录" + Sp + "3 数据源全部失败" + Sp + "4 写报告失败" + Sp + "5 内部错误",
        "",
        "六、打开保存过的报告",
        "  \u00B7 文件菜单" + Q1 + "打开报告\u2026" + Q2 + "（Ctrl+O）打开保存的 JSON 报告；",
        "  \u00B7 " + Q1 + "最近打开" + Q2 + "列出最近打开的报告，末项" + Q1 + "清除列表" + Q2 + "清空它；",
        "  \u00B7 把 JSON 报告文件拖到主窗口上也能打开；",
        "  \u00B7 报告窗口的" + Q1 + "导出 CSV" + Q2 + "（Ctrl+E）把访问明细当前显示的记录存为 CSV；",
        "  \u00B7 " + Gui + " <report.json> \u2026 启动后直接打开这些报告。",
    };
}

template <class T>
T* ChildWithText(QDialog* D, const QString& Text)
{
    for (T* W : D->findChildren<T*>())
        if (W->text() == Text)
            return W;
    return nullptr;
}

TFlatButton* ButtonWithCaption(QDialog* D, const QString& Caption)
{
    for (TFlatButton* B : D->findChildren<TFlatButton*>())
        if (B->Caption() == Caption)
            return B;
    return nullptr;
}

} // namespace

class TDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { UiHooks() = TUiHooks(); }

    void UsageTextIsExact();
    void DialogForm();
    void DialogsCloseBy_data();
    void DialogsCloseBy();
    void AboutShowsMakerAndOpensAddress();
    void UsageBoxShowsTextUnwrapped();
    void ChineseToolkitTexts();
};

void TDialogsTest::UsageTextIsExact()
{
    const QString Text = UsageText();
    QCOMPARE(Text, ExpectedUsageLines().join(QStringLiteral("\r\n")));
    QVERIFY(!Text.endsWith(QLatin1Char('\n')));
    QCOMPARE(Text.count(QStringLiteral("\r\n")), 37);
    QCOMPARE(Text.count(QLatin1Char('\n')), 37);
}

void TDialogsTest::DialogForm()
{
    QWidget Owner;
    Owner.resize(800, 600);
    std::unique_ptr<QDialog> D(NewDialogForm(&Owner, 440, 344, QStringLiteral("关于 Marrowkin")));
    QCOMPARE(D->windowTitle(), QStringLiteral("关于 Marrowkin"));
    QCOMPARE(D->size(), QSize(440, 344));
    QCOMPARE(D->minimumSize(), D->maximumSize());
    QVERIFY(!(D->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(D->parentWidget(), &Owner);
    QCOMPARE(D->font().pointSize(), 9);
    QCOMPARE(D->grab().toImage().pixelColor(200, 200).name(), ToQColor(clWhite).name());

    std::unique_ptr<QDialog> Orphan(NewDialogForm(nullptr, 100, 80, QStringLiteral("x")));
    QCOMPARE(Orphan->parentWidget(), nullptr);
}

void TDialogsTest::DialogsCloseBy_data()
{
    QTest::addColumn<bool>("About");
    QTest::addColumn<QString>("How");
    QTest::newRow("about, button") << true << "button";
    QTest::newRow("about, escape") << true << "escape";
    QTest::newRow("about, enter on the focused button") << true << "enter";
    QTest::newRow("usage, button") << false << "button";
    QTest::newRow("usage, escape") << false << "escape";
}

void TDialogsTest::DialogsCloseBy()
{
    QFETCH(bool, About);
    QFETCH(QString, How);
    QWidget Owner;
    Owner.resize(1000, 600);
    Owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Owner));

    const QString Caption = About ? QStringLiteral("确定") : QStringLiteral("关闭");
    int Result = -1;
    TDialogProbe Probe;
    bool Appeared = false;
    Probe.Inspect = [&](QDialog* D) {
        Appeared = true;
        QCOMPARE(D->size(), About ? QSize(440, 344) : QSize(620, 480));
    };
    Probe.Finish = [&](QDialog* D) {
        QObject::connect(D, &QDialog::finished, [&Result](int R) { Result = R; });
        if (How == "button") {
            TFlatButton* B = ButtonWithCaption(D, Caption);
            QVERIFY(B);
            QTest::mouseClick(B, Qt::LeftButton);
        } else if (How == "escape") {
            QTest::keyClick(D, Qt::Key_Escape);
        } else {
            QTRY_VERIFY(QApplication::focusWidget() == ButtonWithCaption(D, Caption));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
    };
    Probe.Arm();
    if (About)
        ShowAboutDialog(&Owner);
    else
        ShowUsageDialog(&Owner);

    QVERIFY(Appeared);
    QVERIFY(Probe.Seen.isNull()); // destroyed once closed
    QCOMPARE(Result, How == "escape" ? int(QDialog::Rejected) : kIdOk);
}

void TDialogsTest::AboutShowsMakerAndOpensAddress()
{
    QStringList Opened;
    UiHooks().ShellOpen = [&Opened](const QString& T) { Opened << T; };
    bool Checked = false;
    TDialogProbe Probe;
    Probe.Inspect = [&](QDialog* D) {
        QCOMPARE(D->windowTitle(), QStringLiteral("关于 Marrowkin"));
        QVERIFY(ChildWithText<QLabel>(D, QStringLiteral("版本 1.1.4.2（2026-11-19）")));
        QVERIFY(ChildWithText<QLabel>(D, QString::fromUtf8(kRightsNotice)));
        TLinkLabel* Company = ChildWithText<TLinkLabel>(D, QString::fromUtf8(kCompanyName));
        TLinkLabel* Web = ChildWithText<TLinkLabel>(D, QString::fromUtf8(kCompanyUrl));
        QVERIFY(Company && Web);
        QCOMPARE(Company->font().pointSize(), 10);
        QVERIFY(Company->font().bold());
        QCOMPARE(Company->geometry(), QRect(28, 142, 384, 20));
        QTest::mouseClick(Company, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(Web, Qt::LeftButton, {}, QPoint(5, 5));
        Checked = true;
    };
    Probe.Finish = [](QDialog* D) { D->reject(); };
    Probe.Arm();
    ShowAboutDialog(nullptr);
    QVERIFY(Checked);
    const QString Url = QString::fromUtf8(kCompanyUrl);
    QCOMPARE(Opened, (QStringList{Url, Url}));
    QVERIFY(Url.contains(QStringLiteral(".example")));
}

void TDialogsTest::UsageBoxShowsTextUnwrapped()
{
    bool Checked = false;
    TDialogProbe Probe;
    Probe.Inspect = [&](QDialog* D) {
        auto* Box = D->findChild<QPlainTextEdit*>();
        QVERIFY(Box);
        QCOMPARE(Box->geometry(), QRect(20, 76, 580, 344));
        QVERIFY(Box->isReadOnly());
        QCOMPARE(Box->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(Box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(Box->toPlainText(), ExpectedUsageLines().join(QLatin1Char('\n')));
        QCOMPARE(Box->document()->blockCount(), ExpectedUsageLines().size());
        Checked = true;
    };
    Probe.Finish = [](QDialog* D) { D->reject(); };
    Probe.Arm();
    ShowUsageDialog(nullptr);
    QVERIFY(Checked);
}

void TDialogsTest::ChineseToolkitTexts()
{
    // A folder without the translations is passed over quietly; the locale is
    // Chinese either way, whatever the environment says.
    QTemporaryDir Empty;
    QVERIFY(!InstallChineseUi({Empty.path(), QString()}));
    QCOMPARE(QLocale().name(), QStringLiteral("zh_CN"));

    const QString QtFolder = TranslationFolders().value(0);
    if (!QFileInfo::exists(QDir(QtFolder).filePath(QStringLiteral("qtbase_zh_CN.qm"))))
        QSKIP("Qt's Chinese translations are not installed here");
    QVERIFY(InstallChineseUi({Empty.path(), QtFolder}));
    QDialogButtonBox Buttons(QDialogButtonBox::Cancel);
    QCOMPARE(Buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

QTEST_MAIN(TDialogsTest)
#include "tst_dialogs.moc"
