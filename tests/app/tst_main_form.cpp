#include "card.h"
#include "child_probe.h"
#include "collector_contract.h"
#include "dialogs.h"
#include "find_control.h"
#include "flat_button.h"
#include "json.h"
#include "main_form.h"
#include "recent_reports.h"
#include "report_window.h"
#include "run_controller.h"
#include "start_signal.h"
#include "text_util.h"
#include "ui_hooks.h"
#include "window_fit.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QDropEvent>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// "工具" > "以管理员身份重启".
QAction* ElevateItem(const TMainForm& F)
{
    return F.menuBar()->actions()[1]->menu()->actions().last();
}

struct TShownMsg {
    QString Text;
    TMsgKind Kind;
};

// Everything the window would have shown or started, and the answers it gets.
struct TRecorder {
    QList<TShownMsg> Msgs;
    QList<int> Answers; // taken by questions in order; No when empty
    QStringList Revealed;
    QStringList ElevatedArgs;
    int ElevateCalls = 0;
    bool ElevateResult = false;
    std::function<void()> DuringElevate; // run inside the restart hook
    bool ElevationAvailable = true;
    QString PickedFolder;
    std::function<int()> DuringQuestion; // answers a question instead of Answers
    std::function<void()> OnDismiss;
};

TRecorder* GRec = nullptr;

const char* const kChildVars[] = {"MK_CHILD_ARGS_FILE", "MK_CHILD_GRANDCHILD", "MK_CHILD_FILE", "MK_CHILD_SCRIPT",
                                  "MK_CHILD_FLOOD_MIB", "MK_CHILD_SLEEP_MS", "MK_CHILD_EXIT", "MK_CHILD_STDIN"};

QString FakeCollector()
{
    return QStringLiteral(MK_TEST_CHILD);
}

// Reads what the fake collector recorded: working folder, then its arguments.
QStringList ReadLines(const QString& Path)
{
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        return {};
    QStringList Lines = QString::fromUtf8(F.readAll()).split(u'\n');
    if (!Lines.isEmpty() && Lines.last().isEmpty())
        Lines.removeLast();
    return Lines;
}

// Until the run is over and its result is in its window (or said to be unreadable).
bool WaitIdle(TMainForm& F, int Ms = 15000)
{
    return QTest::qWaitFor([&F] { return !F.Busy() && F.PendingLoads() == 0; }, Ms);
}

QList<QWidget*> ResultWindows(TMainForm& F)
{
    QList<QWidget*> Out;
    for (QWidget* W : F.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (W->isWindow() && !qobject_cast<QMenu*>(W))
            Out << W;
    return Out;
}

QAction* ActionByShortcut(TMainForm& F, const QString& Keys)
{
    for (QAction* A : F.menuBar()->findChildren<QAction*>())
        if (A->shortcut() == QKeySequence(Keys))
            return A;
    return nullptr;
}

bool ProcessGone(qint64 Pid)
{
    return ProcessGone(FakeCollector(), Pid);
}

} // namespace

class TMainFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void FixedClientArea();
    void TabStartsAtTheFirstCard();
    void FitsTheScreen_data();
    void FitsTheScreen();
    void DefaultStates();
    void PickModeKeepsTicks();
    void ScopeHints_data();
    void ScopeHints();
    void ScopeQuestion_data();
    void ScopeQuestion();
    void ElevateFailureKeepsWindow();
    void OpenOutDir();
    void BrowseSetsFolder();
    void OptionLineThroughNewWindow();
    void CommandLineFillsWindow();
    void OpenReports();

    void CollectorArguments_data();
    void CollectorArguments();
    void FinishedRuns_data();
    void FinishedRuns();
    void UnreadableResult_data();
    void UnreadableResult();
    void CollectorMissing();
    void BusyDisablesInputsOnly();
    void SecondStartIgnored();
    void ProgressDots();
    void CloseDuringRun();
    void CloseQuestionEndsWithRun();
    void RunEndClosesInfoDialog_data();
    void RunEndClosesInfoDialog();
    void RunAborted();
    void StartSignal();
    void StartMessage_data();
    void StartMessage();

private:
    QString Tmp(const QString& Name) const { return JoinPath(FTmp->path(), Name); }
    QStringList Recorded() const { return ReadLines(Tmp(QStringLiteral("args.txt"))); }

    std::unique_ptr<QTemporaryDir> FTmp;
    TRecorder FRec;
};

void TMainFormTest::initTestCase()
{
    FTmp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTmp->isValid());
    QVERIFY(QFileInfo(FakeCollector()).isExecutable());
    GRec = &FRec;
    TUiHooks& H = UiHooks();
    H.ShowMsg = [](QWidget*, const QString& Text, TMsgKind Kind) {
        GRec->Msgs.append({Text, Kind});
        if (Kind != mkQuestion)
            return kIdOk;
        if (GRec->DuringQuestion)
            return GRec->DuringQuestion();
        return GRec->Answers.isEmpty() ? kIdNo : GRec->Answers.takeFirst();
    };
    H.DismissQuestions = [](QWidget*) {
        GRec->Msgs.append({QStringLiteral("<dismissed>"), mkQuestion});
        if (GRec->OnDismiss)
            GRec->OnDismiss();
    };
    H.ElevationAvailable = [] { return GRec->ElevationAvailable; };
    H.Reveal = [](const QString& Path) { GRec->Revealed << Path; };
    H.ShellOpen = [](const QString&) {};
    H.PickFolder = [](const QString&, const QString&, QString& Folder) {
        if (GRec->PickedFolder.isEmpty())
            return false;
        Folder = GRec->PickedFolder;
        return true;
    };
    // A desktop that holds the window at its fixed size (the offscreen screen
    // is smaller).
    H.ScreenArea = [](const QWidget*) { return QRect(0, 0, 1920, 1080); };
    H.RestartElevated = [](const QString&, const QStringList& Args, const QString&) {
        ++GRec->ElevateCalls;
        GRec->ElevatedArgs = Args;
        if (GRec->DuringElevate)
            GRec->DuringElevate();
        return GRec->ElevateResult;
    };
}

void TMainFormTest::init()
{
    FRec = TRecorder();
    QFile::remove(Tmp(QStringLiteral("args.txt")));
    qputenv("MK_CHILD_ARGS_FILE", Tmp(QStringLiteral("args.txt")).toLocal8Bit());
}

void TMainFormTest::cleanup()
{
    for (const char* V : kChildVars)
        qunsetenv(V);
}

void TMainFormTest::FixedClientArea()
{
    TMainForm F({}, FakeCollector());
    F.show();
    QVERIFY(QTest::qWaitForWindowExposed(&F));
    QCOMPARE(F.centralWidget()->width(), 1000);
    QCOMPARE(F.centralWidget()->height() + F.statusBar()->height(), 510);
    QCOMPARE(F.statusBar()->height(), 22);
    QCOMPARE(F.minimumSize(), F.maximumSize());
    QVERIFY(!F.statusBar()->isSizeGripEnabled());
    QCOMPARE(Ctl<TCard>(F, "Card", 3)->geometry(), QRect(506, 76, 482, 122));
    QCOMPARE(Ctl<TCard>(F, "Card", 4)->geometry(), QRect(506, 206, 482, 270));
    QCOMPARE(Ctl<QLabel>(F, "StatusPanel", 0)->width(), 650);
    QCOMPARE(Ctl<QLabel>(F, "StatusPanel", 1)->geometry(), QRect(650, 0, 190, 22));
    QCOMPARE(Ctl<QLabel>(F, "StatusPanel", 2)->geometry(), QRect(840, 0, 160, 22));
    QVERIFY(Ctl<QLabel>(F, "StatusPanel", 2)->alignment() & Qt::AlignRight);
    QCOMPARE(F.StatusText(0), QStringLiteral("就绪"));
    QCOMPARE(F.StatusText(1), CollectorFileName() + QStringLiteral(" 已就绪"));
    QCOMPARE(F.StatusText(2), QStringLiteral("用时 0.0 s"));
    QCOMPARE(F.windowTitle(), QStringLiteral("Marrowkin 浏览器访问记录报告工具"));
}

void TMainFormTest::TabStartsAtTheFirstCard()
{
    TMainForm F({}, FakeCollector());
    F.show();
    F.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&F));
    // Once round the window with Tab: the cards one after the other, from the first.
    QList<int> Cards;
    QWidget* W = QApplication::focusWidget();
    for (int I = 0; I < 30 && (Cards.isEmpty() || W != Ctl<QRadioButton>(F, "RbAuto")); ++I) {
        int Card = 0;
        while (Card < 5 && !Ctl<TCard>(F, "Card", Card)->isAncestorOf(W))
            ++Card;
        if (Cards.isEmpty() || Cards.last() != Card)
            Cards << Card;
        QTest::keyClick(W, Qt::Key_Tab);
        W = QApplication::focusWidget();
    }
    QCOMPARE(Cards, QList<int>({0, 1, 2, 3, 4}));
}

void TMainFormTest::FitsTheScreen_data()
{
    QTest::addColumn<QRect>("Area");
    QTest::addColumn<bool>("Scrolls");
    QTest::addColumn<QString>("MenuStyle"); // set after building, as a platform style may turn out
    QTest::newRow("1600 x 1000 at scale 1.5") << QRect(0, 0, 1067, 667) << false << QString();
    QTest::newRow("1600 x 1000 at scale 2") << QRect(0, 0, 800, 500) << true << QString();
    QTest::newRow("menu bar taller once shown") << QRect(0, 0, 1400, 1000) << false
                                                << QStringLiteral("QMenuBar { padding: 8px; }");
}

void TMainFormTest::FitsTheScreen()
{
    QFETCH(QRect, Area);
    QFETCH(bool, Scrolls);
    QFETCH(QString, MenuStyle);
    const auto Desktop = UiHooks().ScreenArea;
    UiHooks().ScreenArea = [Area](const QWidget*) { return Area; };
    TMainForm F({}, FakeCollector());
    F.menuBar()->setStyleSheet(MenuStyle);
    F.show();
    QVERIFY(QTest::qWaitForWindowExposed(&F));
    UiHooks().ScreenArea = Desktop;
    QVERIFY(Area.contains(F.geometry().marginsAdded(WindowFrame(&F))));
    QCOMPARE(F.minimumSize(), F.maximumSize());
    // The cards keep their places and scroll; the status bar spans the window.
    QCOMPARE(Ctl<TCard>(F, "Card", 4)->geometry(), QRect(506, 206, 482, 270));
    const QSize Client = F.centralWidget()->size();
    QCOMPARE(Client.width() < 1000 || Client.height() < 488, Scrolls);
    QCOMPARE(Ctl<QLabel>(F, "StatusPanel", 2)->geometry().right(), F.width() - 1);
}

void TMainFormTest::DefaultStates()
{
    TMainForm F({}, Tmp(QStringLiteral("nothing-here")));
    QVERIFY(F.ReadOptions() == DefaultOptions(F.DefaultOutDir()));
    QVERIFY(F.DefaultOutDir().endsWith(QStringLiteral("Marrowkin")));
    QCOMPARE(F.StatusText(1), QStringLiteral("未找到 ") + CollectorFileName());
    for (int I = 0; I < kSourceCount; ++I)
        QVERIFY(!Ctl<QCheckBox>(F, "SrcCheck", I)->isEnabled());
    QVERIFY(!Ctl<QSpinBox>(F, "SpinDays")->isEnabled());
    QVERIFY(!Ctl<QDateEdit>(F, "DtFrom")->isEnabled());
    QVERIFY(!Ctl<QDateEdit>(F, "DtTo")->isEnabled());

    Ctl<QRadioButton>(F, "RbDays")->click();
    QVERIFY(Ctl<QSpinBox>(F, "SpinDays")->isEnabled());
    QVERIFY(!Ctl<QDateEdit>(F, "DtFrom")->isEnabled());
    Ctl<QRadioButton>(F, "RbCust")->click();
    QVERIFY(!Ctl<QSpinBox>(F, "SpinDays")->isEnabled());
    QVERIFY(Ctl<QDateEdit>(F, "DtFrom")->isEnabled() && Ctl<QDateEdit>(F, "DtTo")->isEnabled());
}

void TMainFormTest::PickModeKeepsTicks()
{
    TMainForm F({}, FakeCollector());
    Ctl<QRadioButton>(F, "RbPick")->click();
    for (int I = 0; I < kSourceCount; ++I)
        QVERIFY(Ctl<QCheckBox>(F, "SrcCheck", I)->isEnabled());
    Ctl<QCheckBox>(F, "SrcCheck", 2)->click();
    Ctl<QCheckBox>(F, "SrcCheck", 7)->click();
    Ctl<QRadioButton>(F, "RbAuto")->click();
    for (int I = 0; I < kSourceCount; ++I)
        QVERIFY(!Ctl<QCheckBox>(F, "SrcCheck", I)->isEnabled());
    QVERIFY(Ctl<QCheckBox>(F, "SrcCheck", 2)->isChecked() && Ctl<QCheckBox>(F, "SrcCheck", 7)->isChecked());
    QCOMPARE(SourceSwitchValue(F.ReadOptions()), QStringLiteral("auto"));
    Ctl<QRadioButton>(F, "RbPick")->click();
    QCOMPARE(SourceSwitchValue(F.ReadOptions()), QStringLiteral("firefox,sogou"));
}

void TMainFormTest::ScopeHints_data()
{
    QTest::addColumn<bool>("Elevated");
    QTest::addColumn<bool>("AllUsers");
    QTest::addColumn<QString>("Hint");
    QTest::newRow("normal, current") << false << false << "当前为普通权限，只能读取当前用户的记录";
    QTest::newRow("normal, all") << false << true << "当前为普通权限，其他用户的数据可能读不到，建议提权";
    QTest::newRow("admin, current") << true << false << "已以管理员身份运行，可读取所有用户的历史记录";
    QTest::newRow("admin, all") << true << true << "已以管理员身份运行，可读取所有用户的历史记录";
}

void TMainFormTest::ScopeHints()
{
    QFETCH(bool, Elevated);
    QFETCH(bool, AllUsers);
    QFETCH(QString, Hint);
    TMainForm F(AllUsers ? QStringList{"/scope:all"} : QStringList(), FakeCollector());
    F.SetElevatedCheck([Elevated] { return Elevated; });
    F.UpdateOptionStates();
    QCOMPARE(Ctl<QLabel>(F, "LblScope")->text(), Hint);
    QCOMPARE(Ctl<TFlatButton>(F, "BtnElevate")->isEnabled(), !Elevated);
    QCOMPARE(ElevateItem(F)->isEnabled(), !Elevated);
    QVERIFY(FRec.Msgs.isEmpty()); // options from the command line never ask
}

void TMainFormTest::ScopeQuestion_data()
{
    QTest::addColumn<bool>("Elevated");
    QTest::addColumn<int>("Answer");
    QTest::addColumn<int>("Questions");
    QTest::addColumn<int>("Restarts");
    QTest::newRow("admin asks nothing") << true << int(kIdYes) << 0 << 0;
    QTest::newRow("no keeps all users") << false << int(kIdNo) << 1 << 0;
    QTest::newRow("yes restarts") << false << int(kIdYes) << 1 << 1;
}

void TMainFormTest::ScopeQuestion()
{
    QFETCH(bool, Elevated);
    QFETCH(int, Answer);
    QFETCH(int, Questions);
    QFETCH(int, Restarts);
    TMainForm F({QStringLiteral("/title:A B")}, FakeCollector());
    F.SetElevatedCheck([Elevated] { return Elevated; });
    F.UpdateOptionStates();
    FRec.Answers = {Answer};
    FRec.ElevateResult = true;
    F.show();
    Ctl<QRadioButton>(F, "RbAllUsers")->click();
    QCOMPARE(int(FRec.Msgs.size()), Questions);
    if (Questions)
        QCOMPARE(FRec.Msgs[0].Text, QStringLiteral("扫描全部用户需要管理员权限。\r\n\r\n现在以管理员身份重启吗？（当前参数会先保存）"));
    QCOMPARE(FRec.ElevateCalls, Restarts);
    QVERIFY(Ctl<QRadioButton>(F, "RbAllUsers")->isChecked());
    if (Restarts) {
        QCOMPARE(FRec.ElevatedArgs, SplitCommandLine(BuildRestartArgs(F.ReadOptions(), F.DefaultOutDir())));
        QVERIFY(FRec.ElevatedArgs.contains(QStringLiteral("/title:A B")));
        QVERIFY(FRec.ElevatedArgs.contains(QStringLiteral("/scope:all")));
        QVERIFY(!F.isVisible()); // closed for the elevated copy
    } else {
        QVERIFY(F.isVisible());
    }
    // Clicking the radio that is already on asks nothing more.
    Ctl<QRadioButton>(F, "RbAllUsers")->click();
    QCOMPARE(int(FRec.Msgs.size()), Questions);
}

void TMainFormTest::ElevateFailureKeepsWindow()
{
    TMainForm F({QStringLiteral("/limit:77")}, FakeCollector());
    F.SetElevatedCheck([] { return false; });
    F.UpdateOptionStates();
    F.show();
    FRec.ElevateResult = false;
    // The wait for the authorisation runs events: the options take no input
    // and neither a run nor a second restart starts, while the menu and the
    // status bar stay alive and say what is awaited.
    bool Waiting = false;
    FRec.DuringElevate = [&] {
        F.StartClick();
        F.ElevateClick();
        Waiting = !Ctl<QLineEdit>(F, "EdTitle")->isEnabled() && F.menuBar()->isEnabled() && !F.Busy() &&
                  !Ctl<TFlatButton>(F, "BtnElevate")->isEnabled() && !ElevateItem(F)->isEnabled() &&
                  F.StatusText(0) == QStringLiteral("正在等待管理员授权…");
    };
    F.ElevateClick();
    QCOMPARE(FRec.ElevateCalls, 1);
    QVERIFY(Waiting);
    QCOMPARE(F.StatusText(0), QStringLiteral("就绪"));
    QVERIFY(Ctl<QLineEdit>(F, "EdTitle")->isEnabled() && ElevateItem(F)->isEnabled());
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkWarning);
    QCOMPARE(FRec.Msgs[0].Text, QStringLiteral("提权失败（可能取消了 UAC 提示）。\r\n可以右键程序选择“以管理员身份运行”。"));
    QVERIFY(F.isVisible());
    QCOMPARE(Ctl<QSpinBox>(F, "SpinLimit")->value(), 77);

    // Without the tool nothing is tried and the box says how else to go on.
    FRec.ElevationAvailable = false;
    F.ElevateClick();
    QCOMPARE(FRec.ElevateCalls, 1);
    QCOMPARE(FRec.Msgs.last().Kind, mkWarning);
    QVERIFY2(FRec.Msgs.last().Text.contains(QStringLiteral("pkexec")) &&
                 FRec.Msgs.last().Text.contains(QStringLiteral("root")) &&
                 !FRec.Msgs.last().Text.contains(QStringLiteral("UAC")),
             qPrintable(FRec.Msgs.last().Text));

    F.SetElevatedCheck([] { return true; });
    F.ElevateClick();
    QCOMPARE(FRec.ElevateCalls, 1);
    QCOMPARE(FRec.Msgs.last().Text, QStringLiteral("当前已经是管理员权限。"));
    QCOMPARE(FRec.Msgs.last().Kind, mkInfo);
}

void TMainFormTest::OpenOutDir()
{
    const QString Missing = Tmp(QStringLiteral("not yet/there"));
    TMainForm F({QStringLiteral("/out:") + Missing + u'/'}, FakeCollector());
    QAction* CtrlD = ActionByShortcut(F, QStringLiteral("Ctrl+D"));
    QVERIFY(CtrlD);
    CtrlD->trigger();
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkInfo);
    QCOMPARE(FRec.Msgs[0].Text, QStringLiteral("保存目录还不存在：") + QDir::toNativeSeparators(Missing) +
                                    QStringLiteral("\r\n报告窗口点“保存 JSON”时会自动创建。"));
    QVERIFY(!QFileInfo::exists(Missing));
    QVERIFY(FRec.Revealed.isEmpty());

    Ctl<QLineEdit>(F, "EdOut")->setText(FTmp->path());
    CtrlD->trigger();
    QCOMPARE(FRec.Revealed, QStringList{QDir::toNativeSeparators(FTmp->path())});
    QCOMPARE(FRec.Msgs.size(), 1);
    QVERIFY(ActionByShortcut(F, QStringLiteral("F5")));
    QVERIFY(ActionByShortcut(F, QStringLiteral("F1")));
}

void TMainFormTest::BrowseSetsFolder()
{
    TMainForm F({}, FakeCollector());
    const QString Before = Ctl<QLineEdit>(F, "EdOut")->text();
    F.BrowseClick(); // cancelled
    QCOMPARE(Ctl<QLineEdit>(F, "EdOut")->text(), Before);
    FRec.PickedFolder = QStringLiteral("/picked/here");
    F.BrowseClick();
    QCOMPARE(Ctl<QLineEdit>(F, "EdOut")->text(), QStringLiteral("/picked/here"));
}

void TMainFormTest::OptionLineThroughNewWindow()
{
    TMainForm A({}, FakeCollector());
    TOptions O = A.ReadOptions();
    O.FSrcMode = smPick;
    O.FChecked[1] = O.FChecked[9] = O.FChecked[14] = true;
    O.FRange = rgCust;
    O.FDays = 120;
    O.FFrom = QDate(2023, 12, 31);
    O.FTo = QDate(2024, 2, 29);
    O.FScope = scAll;
    O.FOutMode = omHtml;
    O.FOutDir = Tmp(QStringLiteral("my reports"));
    O.FTitle = QStringLiteral("季度 报告 (草稿)");
    O.FInclude = QStringLiteral("github; 新闻");
    O.FExclude = QStringLiteral("*.ads.example");
    O.FLimit = 4321;
    O.FPrivacy = true;
    A.WriteOptions(O);
    QVERIFY(A.ReadOptions() == O);

    TMainForm B(SplitCommandLine(BuildRestartArgs(A.ReadOptions(), A.DefaultOutDir())), FakeCollector());
    QVERIFY(B.ReadOptions() == O);
    QVERIFY(!B.AutoMode());
    QVERIFY(FRec.Msgs.isEmpty());
}

void TMainFormTest::CommandLineFillsWindow()
{
    // Out of range numbers end up where the spin controls would put them.
    TMainForm F({QStringLiteral("/days:99999"), QStringLiteral("/range:days"), QStringLiteral("/limit:-4"),
                 QStringLiteral("/out:") + Tmp(QStringLiteral("o")), QStringLiteral("/privacy:1")},
                FakeCollector());
    QCOMPARE(Ctl<QSpinBox>(F, "SpinDays")->value(), 36500);
    QVERIFY(Ctl<QRadioButton>(F, "RbDays")->isChecked());
    QVERIFY(Ctl<QSpinBox>(F, "SpinDays")->isEnabled());
    QCOMPARE(Ctl<QSpinBox>(F, "SpinLimit")->value(), 0);
    QCOMPARE(Ctl<QLineEdit>(F, "EdOut")->text(), Tmp(QStringLiteral("o")));
    QVERIFY(Ctl<QCheckBox>(F, "CkPrivacy")->isChecked());
    QVERIFY(!F.AutoMode());
    QVERIFY(!QFileInfo::exists(Tmp(QStringLiteral("o")))); // only filled in, nothing run
}

void TMainFormTest::OpenReports()
{
    const auto Write = [this](const QString& Name, const QByteArray& Bytes) {
        QFile File(Tmp(Name));
        if (!File.open(QIODevice::WriteOnly) || File.write(Bytes) != Bytes.size())
            qFatal("cannot write test file");
        return Tmp(Name);
    };
    const QString Good = Write(QStringLiteral("good.json"), "{\"title\":\"重开\",\"stats\":{\"total\":2},\"records\":[]}");
    const QString Bad = Write(QStringLiteral("bad.json"), "{\"stats\":");
    TMainForm F({QStringLiteral("/title:x"), Good, QStringLiteral("/limit:3")}, FakeCollector());
    const QString Recent = Tmp(QStringLiteral("recent.ini"));
    F.SetRecentStore(Recent);
    const QAction* First = F.menuBar()->actions()[0]->menu()->actions()[0];
    QCOMPARE(First->text(), QStringLiteral("打开报告(&O)…"));
    QCOMPARE(First->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

    F.OpenStartupReports();
    QTRY_COMPARE(F.PendingLoads(), 0);
    QList<TReportForm*> Windows = F.findChildren<TReportForm*>();
    QCOMPARE(Windows.size(), 1);
    QCOMPARE(Windows[0]->windowTitle(), QStringLiteral("采集报告 · 重开 — good.json"));
    QCOMPARE(LoadRecentReports(Recent), QStringList{QDir::toNativeSeparators(Good)});

    QString Start;
    UiHooks().PickOpenFile = [&](const QString&, const QString& From, const QString&, QString& File) {
        Start = From;
        File = Bad;
        return true;
    };
    F.OpenReportClick();
    UiHooks().PickOpenFile = nullptr;
    QTRY_COMPARE(F.PendingLoads(), 0);
    QCOMPARE(Start, ResolveOutDir(F.ReadOptions(), F.DefaultOutDir()));
    QCOMPARE(F.findChildren<TReportForm*>().size(), 1);
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkError);
    QVERIFY2(FRec.Msgs[0].Text.contains(QDir::toNativeSeparators(Bad)) && FRec.Msgs[0].Text.contains(QStringLiteral("位置")),
             qPrintable(FRec.Msgs[0].Text));
    QCOMPARE(F.StatusText(0), QStringLiteral("打开报告失败"));
    QCOMPARE(LoadRecentReports(Recent).size(), 1);

    // Dropped files: the reports among them open; one open already comes to
    // the front instead of a second copy.
    QMimeData Mime;
    const QString Other = Write(QStringLiteral("other.json"), "{\"stats\":{\"total\":1},\"records\":[]}");
    Mime.setUrls({QUrl::fromLocalFile(Good), QUrl::fromLocalFile(Tmp(QStringLiteral("notes.txt"))),
                  QUrl::fromLocalFile(Other)});
    QDropEvent Drop(QPointF(10, 10), Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application only passes on drops of a drag
    // it is running itself.
    static_cast<QObject&>(F).event(&Drop);
    QVERIFY(Drop.isAccepted());
    QCOMPARE(F.PendingLoads(), 1);
    QTRY_COMPARE(F.PendingLoads(), 0);
    QCOMPARE(F.findChildren<TReportForm*>().size(), 2);
    QCOMPARE(LoadRecentReports(Recent),
             QStringList({QDir::toNativeSeparators(Other), QDir::toNativeSeparators(Good)}));

    // The list ends with an entry that clears it.
    F.RefreshRecentMenu();
    QAction* Clear = Ctl<QMenu>(F, "RecentMenu")->actions().last();
    QCOMPARE(Clear->text(), QStringLiteral("清除列表"));
    QVERIFY(Clear->isEnabled());
    QCOMPARE(Ctl<QMenu>(F, "RecentMenu")->actions().size(), 4);

    // A file gone since it was opened leaves the list when the menu opens.
    QVERIFY(QFile::remove(Good));
    F.RefreshRecentMenu();
    QCOMPARE(LoadRecentReports(Recent), QStringList{QDir::toNativeSeparators(Other)});
    Ctl<QMenu>(F, "RecentMenu")->actions().last()->trigger();
    QCOMPARE(LoadRecentReports(Recent), QStringList());
    F.RefreshRecentMenu();
    QCOMPARE(Ctl<QMenu>(F, "RecentMenu")->actions().size(), 3);
    QVERIFY(!Ctl<QMenu>(F, "RecentMenu")->actions()[0]->isEnabled());
    QVERIFY(!Ctl<QMenu>(F, "RecentMenu")->actions().last()->isEnabled());
}

void TMainFormTest::CollectorArguments_data()
{
    // What the options make of the command line is the run texts' test; here
    // the window's options reach the collector whole.
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<bool>("ListMode");
    QTest::addColumn<QStringList>("Expected");
    const QString J = QStringLiteral("/format:json");
    QTest::newRow("report") << QStringList{"/title:My Weekly Report", "/include:github; 新闻 中心；"} << false
                            << QStringList{"/title:My Weekly Report", "/include:github", "/include:新闻 中心", J};
    QTest::newRow("detection") << QStringList{"/title:x", "/limit:5"} << true << QStringList{"/list", J};
}

void TMainFormTest::CollectorArguments()
{
    QFETCH(QStringList, Args);
    QFETCH(bool, ListMode);
    QFETCH(QStringList, Expected);
    qputenv("MK_CHILD_SCRIPT", "out:{}");
    TMainForm F(Args, FakeCollector());
    F.StartRun(ListMode);
    QVERIFY(F.Busy());
    QVERIFY(WaitIdle(F));
    const QStringList Lines = Recorded();
    QVERIFY(!Lines.isEmpty());
    QCOMPARE(Lines.first(), QDir::toNativeSeparators(QFileInfo(FakeCollector()).absolutePath()));
    QCOMPARE(Lines.mid(1), Expected);
    QVERIFY2(FRec.Msgs.isEmpty(), qPrintable(FRec.Msgs.isEmpty() ? QString() : FRec.Msgs[0].Text));
}

void TMainFormTest::FinishedRuns_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<bool>("ListMode");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Status");
    QTest::addColumn<QString>("Warning"); // empty: no box
    QTest::addColumn<int>("Windows");
    // One row per way of ending; every code's texts are the run texts' test.
    const QString AllFailed = QStringLiteral("所有数据源都读取失败，未能生成报告。\r\n\r\n"
                                             "可以先用“检测数据源”查看各数据源的状态；扫描全部用户需要管理员权限。");
    const QString Html = QStringLiteral("/outmode:html");
    QTest::newRow("report ok") << QStringList() << false << 0 << "完成 · 成功" << "" << 1;
    QTest::newRow("report no records opens window") << QStringList() << false << 2 << "完成 · 时间范围内没有记录" << ""
                                                    << 1;
    QTest::newRow("report all failed") << QStringList() << false << 3 << "完成 · 数据源全部读取失败" << AllFailed << 0;
    QTest::newRow("html ok") << QStringList{Html} << false << 0 << "HTML 报告已生成，已在浏览器打开" << "" << 0;
    QTest::newRow("detection ok") << QStringList() << true << 0 << "检测完成 · 成功" << "" << 1;
}

void TMainFormTest::FinishedRuns()
{
    QFETCH(QStringList, Args);
    QFETCH(bool, ListMode);
    QFETCH(int, Exit);
    QFETCH(QString, Status);
    QFETCH(QString, Warning);
    QFETCH(int, Windows);
    Args << QStringLiteral("/out:") + Tmp(QStringLiteral("html out"));
    qputenv("MK_CHILD_SCRIPT", ListMode ? "out:{\"sources\":[]}" : "out:{\"meta\":{}}");
    qputenv("MK_CHILD_EXIT", QByteArray::number(Exit));
    TMainForm F(Args, FakeCollector());
    F.StartRun(ListMode);
    QVERIFY(WaitIdle(F));
    QCOMPARE(F.StatusText(0), Status);
    // Whole seconds printed with one decimal.
    QVERIFY2(QRegularExpression(QStringLiteral("^用时 \\d+\\.0 s · 退出码 %1$").arg(Exit)).match(F.StatusText(2)).hasMatch(),
             qPrintable(F.StatusText(2)));
    if (Warning.isEmpty()) {
        QCOMPARE(FRec.Msgs.size(), 0);
    } else {
        QCOMPARE(FRec.Msgs.size(), 1);
        QCOMPARE(FRec.Msgs[0].Kind, mkWarning);
        QCOMPARE(FRec.Msgs[0].Text, Warning);
    }
    const QList<QWidget*> Shown = ResultWindows(F);
    QCOMPARE(int(Shown.size()), Windows);
    if (Windows) {
        QVERIFY(Shown[0]->isVisible());
        if (ListMode) {
            QVERIFY(qobject_cast<TSourcesForm*>(Shown[0]));
        } else {
            auto* Report = qobject_cast<TReportForm*>(Shown[0]);
            QVERIFY(Report);
            QCOMPARE(Report->Content().NoData, Exit == 2);
        }
    }
    // Whatever happened, the window is usable again.
    QCOMPARE(Ctl<TFlatButton>(F, "BtnStart")->Caption(), QStringLiteral("开始生成报告"));
    QVERIFY(Ctl<QRadioButton>(F, "RbPick")->isEnabled());
    QVERIFY(!Ctl<QCheckBox>(F, "SrcCheck", 0)->isEnabled());
}

void TMainFormTest::UnreadableResult_data()
{
    QTest::addColumn<QByteArray>("Output");
    QTest::addColumn<QString>("Error"); // from the run instead of the output
    QTest::addColumn<QString>("Reason");
    QString Parser;
    QVERIFY(!ParseJson(QStringLiteral("warning\n{}"), Parser));
    // Text around the JSON counts as a parse failure too.
    QTest::newRow("text around the JSON") << QByteArray("warning\n{}") << QString() << Parser;
    QTest::newRow("output given up") << QByteArray() << "输出超过 1 MB，已停止接收" << "输出超过 1 MB，已停止接收";
}

void TMainFormTest::UnreadableResult()
{
    QFETCH(QByteArray, Output);
    QFETCH(QString, Error);
    QFETCH(QString, Reason);
    TMainForm F({}, FakeCollector());
    emit Ctl<TRunController>(F, "Run")->Finished(rnEmbed, 0, TRunOutput{Output, Error});
    QVERIFY(WaitIdle(F));
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkError);
    QCOMPARE(FRec.Msgs[0].Text, ParseFailedText(Reason));
    QCOMPARE(F.StatusText(0), QStringLiteral("完成 · 成功"));
    QVERIFY(ResultWindows(F).isEmpty());
}

void TMainFormTest::CollectorMissing()
{
    // Every way a start fails is the run controller's test; the window says it.
    const QString Missing = Tmp(QStringLiteral("Marrowkin"));
    TMainForm F({}, Missing);
    F.StartRun(false);
    QVERIFY(!F.Busy());
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkError);
    QCOMPARE(FRec.Msgs[0].Text, CollectorMissingText(Missing));
    QCOMPARE(F.StatusText(1), QStringLiteral("未找到 ") + CollectorFileName());
    QVERIFY(Ctl<QLineEdit>(F, "EdTitle")->isEnabled());
}

void TMainFormTest::BusyDisablesInputsOnly()
{
    const QString Go = Tmp(QStringLiteral("busy-go"));
    qputenv("MK_CHILD_SCRIPT", WaitStep(Go) + "out:{}");
    TMainForm F({QStringLiteral("/range:days")}, FakeCollector());
    F.StartRun(false);
    QVERIFY(F.Busy());
    QCOMPARE(F.StatusText(0), QStringLiteral("正在采集，请稍候…"));
    QCOMPARE(Ctl<TFlatButton>(F, "BtnStart")->Caption(), QStringLiteral("正在运行…"));
    for (const char* Name : {"RbAuto", "RbDays", "SpinDays", "DtFrom", "EdTitle", "EdOut", "EdInclude", "SpinLimit",
                             "CkPrivacy", "RbHtml", "RbAllUsers"})
        QVERIFY2(!Ctl<QWidget>(F, Name)->isEnabled(), Name);
    for (const char* Name : {"BtnStart", "BtnList", "BtnBrowse"})
        QVERIFY2(Ctl<QWidget>(F, Name)->isEnabled(), Name);
    QVERIFY(F.menuBar()->isEnabled());
    QVERIFY(LetChildGoOn(Go));
    QVERIFY(WaitIdle(F));
    QVERIFY(Ctl<QSpinBox>(F, "SpinDays")->isEnabled()); // the option rules are back
    QVERIFY(!Ctl<QDateEdit>(F, "DtFrom")->isEnabled());
    QVERIFY(Ctl<QLineEdit>(F, "EdTitle")->isEnabled());
}

void TMainFormTest::SecondStartIgnored()
{
    const QString Go = Tmp(QStringLiteral("second-go"));
    qputenv("MK_CHILD_SCRIPT", WaitStep(Go) + "out:{}");
    TMainForm F({}, FakeCollector());
    F.StartClick();
    QVERIFY(F.Busy());
    QTRY_VERIFY(QFileInfo::exists(Tmp(QStringLiteral("args.txt"))));
    QVERIFY(QFile::remove(Tmp(QStringLiteral("args.txt"))));
    F.StartClick();
    F.ListClick();
    F.WMStartRun();
    QVERIFY(LetChildGoOn(Go));
    // A second collector would have written its arguments before the run ended.
    QVERIFY(WaitIdle(F));
    QVERIFY(!QFileInfo::exists(Tmp(QStringLiteral("args.txt"))));
    QVERIFY(FRec.Msgs.isEmpty());
    QCOMPARE(ResultWindows(F).size(), 1);

    // Idle again: the outside trigger starts a report run.
    qputenv("MK_CHILD_SCRIPT", "out:{}");
    F.WMStartRun();
    QVERIFY(F.Busy());
    QVERIFY(WaitIdle(F));
}

void TMainFormTest::ProgressDots()
{
    // The run's clock is stepped by hand; the collector goes on when told.
    const QString Go = Tmp(QStringLiteral("dots-go"));
    qputenv("MK_CHILD_SCRIPT", WaitStep(Go));
    TMainForm F({QStringLiteral("/outmode:html"), QStringLiteral("/out:") + Tmp(QStringLiteral("dots"))},
                FakeCollector());
    auto* Run = Ctl<TRunController>(F, "Run");
    qint64 Now = 0;
    Run->SetClock([&Now] { return Now; });
    F.StartRun(false);
    const QString B = QStringLiteral("正在生成 HTML 报告");
    QCOMPARE(F.StatusText(0), B + QStringLiteral("…"));
    QSignalSpy Polled(Run, &TRunController::Progress);
    for (int Sec = 0; Sec <= 4; ++Sec) {
        Now = Sec * 1000 + 999;
        QVERIFY(Polled.wait());
        QCOMPARE(F.StatusText(0), B + QString(Sec % 4, u'.'));
        QCOMPARE(F.StatusText(2), QStringLiteral("用时 %1 s").arg(Sec));
    }
    QVERIFY(LetChildGoOn(Go));
    QVERIFY(WaitIdle(F));
    QCOMPARE(F.StatusText(2), QStringLiteral("用时 4.0 s · 退出码 0"));
}

void TMainFormTest::CloseDuringRun()
{
    const QString PidFile = Tmp(QStringLiteral("grandchild.pid"));
    QFile::remove(PidFile);
    qputenv("MK_CHILD_GRANDCHILD", PidFile.toLocal8Bit());
    qputenv("MK_CHILD_SLEEP_MS", "30000");
    TMainForm F({}, FakeCollector());
    F.show();
    F.StartRun(false);
    QVERIFY(F.Busy());
    QTRY_VERIFY(QFileInfo::exists(PidFile));
    QFile Pf(PidFile);
    QVERIFY(Pf.open(QIODevice::ReadOnly));
    const qint64 Grandchild = Pf.readAll().trimmed().toLongLong();
    QVERIFY(Grandchild > 0);

    FRec.Answers = {kIdNo};
    QVERIFY(!F.close());
    QCOMPARE(FRec.Msgs.size(), 1);
    QCOMPARE(FRec.Msgs[0].Kind, mkQuestion);
    QCOMPARE(FRec.Msgs[0].Text, QStringLiteral("任务正在运行，确定中止并退出吗？"));
    QVERIFY(F.isVisible());
    // A stop ends the run at once; it goes on.
    QVERIFY(F.Busy());
    QVERIFY(!ProcessGone(Grandchild));

    FRec.Answers = {kIdYes};
    QVERIFY(F.close());
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(Grandchild), 5000);
    QCOMPARE(FRec.Msgs.size(), 2);
}

void TMainFormTest::CloseQuestionEndsWithRun()
{
    qputenv("MK_CHILD_SLEEP_MS", "400");
    qputenv("MK_CHILD_SCRIPT", "out:{}");
    TMainForm F({}, FakeCollector());
    F.show();
    F.StartRun(false);
    // The question stays open until dismissed (or long enough to notice).
    QEventLoop Open;
    int WindowsAtDismiss = -1;
    FRec.OnDismiss = [&] {
        WindowsAtDismiss = int(ResultWindows(F).size());
        Open.quit();
    };
    FRec.DuringQuestion = [&] {
        QTimer::singleShot(10000, &Open, &QEventLoop::quit);
        Open.exec();
        return int(kIdNo);
    };
    QVERIFY(!F.close());
    QVERIFY(WaitIdle(F));
    QCOMPARE(FRec.Msgs.size(), 2);
    QCOMPARE(FRec.Msgs[0].Text, QStringLiteral("任务正在运行，确定中止并退出吗？"));
    QCOMPARE(FRec.Msgs[1].Text, QStringLiteral("<dismissed>"));
    QCOMPARE(WindowsAtDismiss, 0); // closed before the result came up
    QTRY_COMPARE(ResultWindows(F).size(), 1);
    QVERIFY(F.isVisible());
}

void TMainFormTest::RunEndClosesInfoDialog_data()
{
    QTest::addColumn<bool>("About");
    QTest::newRow("about") << true;
    QTest::newRow("usage") << false;
}

void TMainFormTest::RunEndClosesInfoDialog()
{
    QFETCH(bool, About);
    // The collector ends once the dialog is up.
    const QString Go = Tmp(QStringLiteral("dialog-go-%1").arg(QTest::currentDataTag()));
    qputenv("MK_CHILD_SCRIPT", WaitStep(Go) + "out:{}");
    TMainForm F({}, FakeCollector());
    F.show();
    F.StartRun(false);
    QTimer::singleShot(0, &F, [&Go] { LetChildGoOn(Go); });
    // The run ends inside the dialog's own loop and is to close it; a safety
    // net closes it otherwise.
    bool NetClosed = false;
    QTimer::singleShot(60000, &F, [&NetClosed] {
        if (auto* D = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            NetClosed = true;
            D->reject();
        }
    });
    About ? ShowAboutDialog(&F) : ShowUsageDialog(&F);
    QVERIFY(!NetClosed);
    QVERIFY(WaitIdle(F));
    const QList<QWidget*> Shown = ResultWindows(F);
    QCOMPARE(Shown.size(), 1);
    QVERIFY(Shown[0]->isVisible());
}

void TMainFormTest::RunAborted()
{
    // How a run fails inside is the controller's test; here what the window
    // makes of it.
    TMainForm F({}, FakeCollector());
    emit Ctl<TRunController>(F, "Run")->Aborted(TRunController::kExitAborted, QStringLiteral("boom"));
    QCOMPARE(F.StatusText(0), QStringLiteral("界面异常：boom"));
    QVERIFY(Ctl<QLineEdit>(F, "EdTitle")->isEnabled());

    TMainForm A({QStringLiteral("/AUTO"), QStringLiteral("/out:") + Tmp(QStringLiteral("never"))}, FakeCollector());
    QSignalSpy Ended(&A, &TMainForm::EndProcess);
    emit Ctl<TRunController>(A, "Run")->Aborted(TRunController::kExitAborted, QStringLiteral("boom"));
    QCOMPARE(Ended.size(), 1);
    QCOMPARE(Ended[0][0].toInt(), 9);
    // The unattended start, when due, is not made after the end.
    QSignalSpy Due(Ctl<QTimer>(A, "AutoStart"), &QTimer::timeout);
    QVERIFY(Due.wait());
    QVERIFY(!A.Busy());
    QVERIFY(FRec.Msgs.isEmpty());
}

void TMainFormTest::StartSignal()
{
#ifdef Q_OS_WIN
    QSKIP("Windows asks for a run with a window message, not a signal");
#else
    TStartSignal Sig(nullptr);
    QVERIFY(Sig.Active());
    QSignalSpy Spy(&Sig, &TStartSignal::Triggered);
    // Two requests before the loop runs again ask for one run.
    const QString Pid = QString::number(QCoreApplication::applicationPid());
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-USR1"), Pid}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-USR1"), Pid}), 0);
    QVERIFY(Spy.wait(2000));
    // Both bytes were in the pipe before it was read; a second reading would come now.
    QCoreApplication::processEvents();
    QCOMPARE(Spy.size(), 1);
#endif
}

void TMainFormTest::StartMessage_data()
{
    QTest::addColumn<int>("Offset");   // from WM_APP
    QTest::addColumn<bool>("ToWindow"); // else to another window
    QTest::addColumn<bool>("Taken");
    QTest::newRow("start run") << 0x65 << true << true;
    QTest::newRow("another message") << 0x66 << true << false;
    QTest::newRow("another window") << 0x65 << false << false;
}

void TMainFormTest::StartMessage()
{
#ifndef Q_OS_WIN
    QSKIP("Linux asks for a run with a signal, tested in StartSignal");
#else
    QFETCH(int, Offset);
    QFETCH(bool, ToWindow);
    QFETCH(bool, Taken);
    qputenv("MK_CHILD_SLEEP_MS", "3000");
    TMainForm F({}, FakeCollector());
    QWidget Other;
    TStartSignal Sig(&F);
    connect(&Sig, &TStartSignal::Triggered, &F, &TMainForm::WMStartRun);
    // Handed over the way the event loop hands over a posted message.
    MSG Msg{};
    Msg.hwnd = reinterpret_cast<HWND>((ToWindow ? static_cast<QWidget&>(F) : Other).winId());
    Msg.message = WM_APP + Offset;
    qintptr Result = -1;
    QAbstractEventDispatcher* Dispatcher = QAbstractEventDispatcher::instance();
    QCOMPARE(Dispatcher->filterNativeEvent("windows_generic_MSG", &Msg, &Result), Taken);
    QCOMPARE(F.Busy(), Taken);
    if (Taken) {
        QCOMPARE(Result, qintptr(0));
        // While a run goes on, the request is taken and ignored.
        QVERIFY(Dispatcher->filterNativeEvent("windows_generic_MSG", &Msg, &Result));
        QVERIFY(F.Busy());
    }
#endif
}

QTEST_MAIN(TMainFormTest)
#include "tst_main_form.moc"
