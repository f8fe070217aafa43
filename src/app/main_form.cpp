#include "main_form.h"

#include "anchors.h"
#include "app_icon.h"
#include "app_info.h"
#include "card.h"
#include "collector_contract.h"
#include "control_factory.h"
#include "dialogs.h"
#include "flat_button.h"
#include "json.h"
#include "link_label.h"
#include "msg_box.h"
#include "palette.h"
#include "panel.h"
#include "recent_reports.h"
#include "report_file.h"
#include "report_window.h"
#include "run_controller.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

constexpr int kAutoDelayMs = 200;

// Restores the loading flag however the guarded step ends.
class TLoadingGuard {
public:
    explicit TLoadingGuard(bool& Flag) : FFlag(Flag), FOld(Flag) { FFlag = true; }
    ~TLoadingGuard() { FFlag = FOld; }
    TLoadingGuard(const TLoadingGuard&) = delete;
    TLoadingGuard& operator=(const TLoadingGuard&) = delete;

private:
    bool& FFlag;
    bool FOld;
};

QSpinBox* MakeSpin(QWidget* Parent, int L, int T, int W, int H, int Min, int Max, int Value)
{
    auto* Spin = new QSpinBox(Parent);
    Spin->setGeometry(L, T, W, H);
    Spin->setRange(Min, Max);
    Spin->setValue(Value);
    ApplyUiFont(Spin, 9, fsRegular, clText);
    return Spin;
}

QDateEdit* MakeDatePicker(QWidget* Parent, int L, int T, int W, int H)
{
    auto* Dt = new QDateEdit(Parent);
    Dt->setGeometry(L, T, W, H);
    Dt->setCalendarPopup(true);
    Dt->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    ApplyUiFont(Dt, 9, fsRegular, clText);
    return Dt;
}

QLabel* MakeFieldLabel(QWidget* Parent, const QString& Caption, int L, int T, int W)
{
    return MakeLabel(Parent, Caption, L, T, W, 18, 9, fsRegular, clText);
}

// Said instead of the usual failure when there is no tool to ask for the
// rights with at all.
QString NoElevationToolText(const QString& Exe)
{
    return QStringLiteral("无法以管理员身份重启：本机没有安装 pkexec（polkit）。\r\n"
                          "可以安装 pkexec 后重试，或在终端中以 root 身份运行本程序：\r\nsudo -E ") +
           QuoteArg(Exe);
}

} // namespace

TMainForm::TMainForm(QWidget* Parent)
    : TMainForm(QCoreApplication::arguments().mid(1),
                JoinPath(QCoreApplication::applicationDirPath(), CollectorFileName()), Parent)
{
}

TMainForm::TMainForm(const QStringList& Args, const QString& ConsoleExe, QWidget* Parent)
    : QMainWindow(Parent), FConsoleExe(ConsoleExe)
{
    Init(Args);
}

TMainForm::~TMainForm()
{
    // The run goes first: it ends a collector that still runs.
    FRun.reset();
    // A report still loading is waited for: its thread must not outlive us.
    for (QThread* Worker : std::as_const(FLoaders)) {
        disconnect(Worker, nullptr, this, nullptr);
        Worker->wait();
        delete Worker;
        QGuiApplication::restoreOverrideCursor();
    }
}

void TMainForm::Init(const QStringList& Args)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Marrowkin 浏览器访问记录报告工具"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());
    setFont(UiFont(9));
    QPalette Pal = palette();
    Pal.setColor(QPalette::Window, ToQColor(clWindowBg));
    setPalette(Pal);
    setAutoFillBackground(true);

    FRun = std::make_unique<TRunController>();
    connect(FRun.get(), &TRunController::Progress, this, &TMainForm::RunProgress);
    connect(FRun.get(), &TRunController::Finished, this, &TMainForm::RunFinished);
    connect(FRun.get(), &TRunController::StartFailed, this, &TMainForm::RunNotStarted);
    connect(FRun.get(), &TRunController::Aborted, this, &TMainForm::RunAborted);

    FInit = ParseCommandLine(Args);
    FReportArgs = ReportFileArgs(Args);
    FAutoMode = FInit.FAutoMode;
    FDefaultOut = ::DefaultOutDir(ShellFolderPath(kCsidlPersonal));

    // The client is sized before anything is placed on it, because anchors
    // take their distances from the parent's size at the time they are set.
    FClient = MakePanel(nullptr, 0, 0, kClientW, kClientH - kStatusH, clWindowBg);
    setCentralWidget(FClient);
    FClient->resize(kClientW, kClientH - kStatusH);
    BuildBanner();
    BuildCards();
    BuildStatusBar();
    BuildMenu();
    setAcceptDrops(true);

    WriteOptions(DefaultOptions(FDefaultOut));
    ApplyInitialOptions();

    UpdateOptionStates();
    UpdateExeStatus();
    LayoutColumns();

    SetStatus(0, QStringLiteral("就绪"));
    SetStatus(2, QStringLiteral("用时 0.0 s"));
    UpdateExeStatus();

    if (FAutoMode)
        QTimer::singleShot(kAutoDelayMs, this, [this] { StartRun(false); });

    setFixedSize(kClientW, kClientH + menuBar()->sizeHint().height());
    if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
        const QRect Avail = Screen->availableGeometry();
        move(Avail.center() - QPoint(width() / 2, height() / 2));
    }
}

void TMainForm::BuildBanner()
{
    FBanner = MakePanel(FClient, 0, 0, kClientW, 64, clWhite);
    SetAnchors(FBanner, akLeft | akTop | akRight);

    SetAnchors(MakePanel(FBanner, 0, 0, 5, 64, clAccent), akLeft | akTop | akBottom);

    auto* Logo = new QLabel(FBanner);
    Logo->setGeometry(16, 12, 40, 40);
    Logo->setScaledContents(false);
    Logo->setPixmap(MakeAppIconBitmap(40, clWhite));

    MakeLabel(FBanner, QStringLiteral("Marrowkin"), 66, 9, 150, 26, 15, fsBold, clText);
    MakeLabel(FBanner, QStringLiteral("浏览器访问记录收集与报告"), 192, 15, 320, 20, 10, fsRegular, clSecondary);
    MakeLabel(FBanner,
              QStringLiteral("图形界面外壳 · 参数由此拼装，采集与统计由 ") + CollectorFileName() +
                  QStringLiteral(" 在本机完成"),
              66, 38, 560, 18, 9, fsRegular, clSecondary);

    FLblVer = MakeLabel(FBanner,
                        QStringLiteral("v%1（%2）").arg(QString::fromUtf8(kAppVersion), QString::fromUtf8(kAppBuildDate)),
                        640, 12, 340, 18, 9, fsRegular, clSecondary);
    FLblVer->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblVer, akTop | akRight);

    FLinkCompany = MakeLink(FBanner, QString::fromUtf8(kCompanyName), QString::fromUtf8(kCompanyUrl), 640, 34, 340, 18);
    FLinkCompany->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLinkCompany, akTop | akRight);

    SetAnchors(MakePanel(FBanner, 0, 63, kClientW, 1, clBorder), akLeft | akTop | akRight);
}

void TMainForm::BuildCards()
{
    const int RightX = kClientW - 494;
    FCards[0] = MakeCard(FClient, QStringLiteral("数据源"), 12, 76, 482, 172);
    FCards[1] = MakeCard(FClient, QStringLiteral("时间范围"), 12, 256, 482, 136);
    FCards[2] = MakeCard(FClient, QStringLiteral("扫描范围"), 12, 400, 482, 76);
    FCards[3] = MakeCard(FClient, QStringLiteral("输出"), RightX, 76, 482, 122);
    FCards[4] = MakeCard(FClient, QStringLiteral("高级选项"), RightX, 206, 482, 270);

    // Data sources
    TCard* C = FCards[0];
    FRbAuto = MakeRadio(C, QStringLiteral("自动探测全部"), 14, 36, 124);
    FRbAuto->setChecked(true);
    FRbPick = MakeRadio(C, QStringLiteral("仅采集指定的浏览器"), 152, 36, 160);
    for (int I = 0; I < kSourceCount; ++I)
        FSrcChecks[I] = MakeCheck(C, SourceDefs()[I].Cap, 16 + (I % 4) * 116, 64 + (I / 4) * 24, 112);

    // Time range
    C = FCards[1];
    FRbAll = MakeRadio(C, QStringLiteral("全部历史"), 14, 36, 110);
    FRbAll->setChecked(true);
    FRbDays = MakeRadio(C, QStringLiteral("最近"), 130, 36, 52);
    // One spin box stands for the edit and its up-down control.
    FSpinDays = MakeSpin(C, 186, 34, 58 + 16, 22, kMinDays, kMaxDays, 30);
    MakeFieldLabel(C, QStringLiteral("天"), 268, 38, 24);
    FRbCust = MakeRadio(C, QStringLiteral("自定义区间"), 14, 64, 90);
    FDtFrom = MakeDatePicker(C, 104, 62, 120, 22);
    MakeFieldLabel(C, QStringLiteral("至"), 232, 66, 16);
    FDtTo = MakeDatePicker(C, 252, 62, 120, 22);
    MakeNote(C, QStringLiteral("全部历史＝不限制时间；自定义区间按本地日期，含起止当天"), 14, 94, 456, 18);

    // Scan scope
    C = FCards[2];
    FRbCur = MakeRadio(C, QStringLiteral("当前用户"), 14, 30, 110);
    FRbCur->setChecked(true);
    FRbAllUsers = MakeRadio(C, QStringLiteral("全部用户（需管理员）"), 130, 30, 180);
    FLblScope = MakeNote(C, QString(), 14, 52, 316, 18);
    FBtnElevate = MakeButton(C, QStringLiteral("以管理员身份重启"), 334, 46, 134, 24, bkSecondary);

    // Output
    C = FCards[3];
    MakeFieldLabel(C, QStringLiteral("保存位置"), 14, 30, 58);
    FEdOut = MakeEdit(C, 76, 28, 336, 22, QString());
    SetAnchors(FEdOut, akLeft | akTop | akRight);
    FBtnBrowse = MakeButton(C, QStringLiteral("浏览…"), 416, 27, 54, 24, bkSecondary);
    SetAnchors(FBtnBrowse, akTop | akRight);
    MakeFieldLabel(C, QStringLiteral("报告形式"), 14, 60, 58);
    FRbEmbed = MakeRadio(C, QStringLiteral("内置窗口"), 76, 58, 90);
    FRbEmbed->setChecked(true);
    FRbHtml = MakeRadio(C, QStringLiteral("HTML 文件（浏览器打开）"), 180, 58, 200);
    MakeFieldLabel(C, QStringLiteral("报告标题"), 14, 90, 58);
    FEdTitle = MakeEdit(C, 76, 88, 394, 22, DefaultTitle());
    SetAnchors(FEdTitle, akLeft | akTop | akRight);

    // Advanced
    C = FCards[4];
    const unsigned Stretch = akLeft | akTop | akRight;
    MakeFieldLabel(C, QStringLiteral("关键词"), 14, 30, 76);
    FEdInclude = MakeEdit(C, 94, 28, 376, 22, QString());
    SetAnchors(FEdInclude, Stretch);
    SetAnchors(MakeNote(C, QStringLiteral("分号分隔多个；URL 或标题命中任一即保留（留空表示不过滤）"), 14, 54, 456, 14),
               Stretch);
    MakeFieldLabel(C, QStringLiteral("排除域名"), 14, 78, 76);
    FEdExclude = MakeEdit(C, 94, 76, 376, 22, QString());
    SetAnchors(FEdExclude, Stretch);
    SetAnchors(MakeNote(C, QStringLiteral("支持通配 *.example.com；分号分隔多个"), 14, 102, 456, 14), Stretch);
    MakeFieldLabel(C, QStringLiteral("明细上限"), 14, 126, 76);
    FSpinLimit = MakeSpin(C, 94, 124, 70 + 16, 22, kMinLimit, kMaxLimit, 0);
    SetAnchors(MakeNote(C, QStringLiteral("0 表示输出全部（统计仍按全量）"), 188, 128, 282, 14), Stretch);
    FCkPrivacy = MakeCheck(C, QStringLiteral("网址脱敏（去掉查询参数）"), 14, 158, 220);
    SetAnchors(MakePanel(C, 14, 190, 454, 1, clBorder), Stretch);
    FBtnStart = MakeButton(C, QStringLiteral("开始生成报告"), 14, 210, 200, 38, bkPrimary);
    FBtnStart->setFont(UiFont(10, fsBold));
    FBtnStart->setToolTip(QStringLiteral("按当前参数调用 ") + CollectorFileName() +
                          QStringLiteral(" 采集，结果按“报告形式”展示"));
    FBtnList = MakeButton(C, QStringLiteral("检测数据源"), 226, 210, 140, 38, bkSecondary);
    FBtnList->setToolTip(QStringLiteral("只探测本机有哪些浏览器数据（相当于 /list），结果在独立窗口展示"));

    connect(FBtnStart, &TFlatButton::clicked, this, &TMainForm::StartClick);
    connect(FBtnList, &TFlatButton::clicked, this, &TMainForm::ListClick);
    connect(FBtnBrowse, &TFlatButton::clicked, this, &TMainForm::BrowseClick);
    connect(FBtnElevate, &TFlatButton::clicked, this, &TMainForm::ElevateClick);

    // toggled rather than clicked: keyboard moves between radios count too,
    // and a radio that is already on does not ask again.
    auto OnOptionRadio = [this](bool On) {
        if (On && !FLoading)
            UpdateOptionStates();
    };
    for (QRadioButton* Rb : {FRbAuto, FRbPick, FRbAll, FRbDays, FRbCust})
        connect(Rb, &QRadioButton::toggled, this, OnOptionRadio);
    for (QRadioButton* Rb : {FRbCur, FRbAllUsers})
        connect(Rb, &QRadioButton::toggled, this, [this](bool On) {
            if (On)
                ScopeClick();
        });
}

void TMainForm::BuildStatusBar()
{
    FStatus = new QStatusBar(this);
    FStatus->setSizeGripEnabled(false);
    FStatus->setFixedHeight(kStatusH);
    setStatusBar(FStatus);
    // The panels are placed by hand so that their widths are exactly the
    // stated ones; the status bar's own layout would add spacing.
    for (int I = 0; I < 3; ++I) {
        auto* Panel = new QLabel(FStatus);
        Panel->setObjectName(QStringLiteral("StatusPanel%1").arg(I));
        Panel->setFont(UiFont(9));
        Panel->setIndent(6);
        Panel->setAlignment((I == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        FPanels[I] = Panel;
    }
    // A line along the top and one between neighbouring panels.
    for (QWidget*& Line : FStatusLines)
        Line = MakePanel(FStatus, 0, 0, 1, 1, clBorder);
}

void TMainForm::BuildMenu()
{
    QMenuBar* Bar = menuBar();
    QMenu* File = Bar->addMenu(QStringLiteral("文件(&F)"));
    AddMenuItem(File, QStringLiteral("打开保存目录(&D)"), &TMainForm::OpenOutDirClick, QStringLiteral("Ctrl+D"));
    File->addSeparator();
    QAction* Exit = AddMenuItem(File, QStringLiteral("退出(&X)"), nullptr);
    BuildReportMenu(File);

    QMenu* Tools = Bar->addMenu(QStringLiteral("工具(&T)"));
    AddMenuItem(Tools, QStringLiteral("检测数据源(&L)"), &TMainForm::ListClick, QStringLiteral("F5"));
    Tools->addSeparator();
    AddMenuItem(Tools, QStringLiteral("以管理员身份重启(&A)"), &TMainForm::ElevateClick);

    QMenu* Help = Bar->addMenu(QStringLiteral("帮助(&H)"));
    QAction* Usage = AddMenuItem(Help, QStringLiteral("使用说明(&U)"), nullptr, QStringLiteral("F1"));
    Help->addSeparator();
    QAction* About = AddMenuItem(Help, QStringLiteral("关于 Marrowkin(&A)"), nullptr);

    // Handlers that are not members of their own.
    connect(Exit, &QAction::triggered, this, &QWidget::close);
    connect(Usage, &QAction::triggered, this, [this] { ShowUsageDialog(this); });
    connect(About, &QAction::triggered, this, [this] { ShowAboutDialog(this); });
}

QAction* TMainForm::AddMenuItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                                const QString& Shortcut)
{
    QAction* Item = Menu->addAction(Caption);
    if (!Shortcut.isEmpty())
        Item->setShortcut(QKeySequence(Shortcut));
    if (Handler)
        connect(Item, &QAction::triggered, this, Handler);
    return Item;
}

void TMainForm::BuildReportMenu(QMenu* File)
{
    // Above the existing items, with a separator of their own.
    QAction* First = File->actions().value(0);
    QAction* Open = AddMenuItem(File, QStringLiteral("打开报告(&O)…"), &TMainForm::OpenReportClick,
                                QStringLiteral("Ctrl+O"));
    FRecentMenu = new QMenu(QStringLiteral("最近打开(&R)"), File);
    File->insertAction(First, Open);
    File->insertMenu(First, FRecentMenu);
    File->insertSeparator(First);
    // Filled when it opens, so files deleted meanwhile are never offered.
    connect(FRecentMenu, &QMenu::aboutToShow, this, &TMainForm::RefreshRecentMenu);
}

// ---- options ---------------------------------------------------------------

TOptions TMainForm::ReadOptions() const
{
    TOptions O;
    O.FSrcMode = FRbPick->isChecked() ? smPick : smAuto;
    for (int I = 0; I < kSourceCount; ++I)
        O.FChecked[I] = FSrcChecks[I]->isChecked();
    O.FRange = FRbDays->isChecked() ? rgDays : FRbCust->isChecked() ? rgCust : rgAll;
    O.FDays = FSpinDays->value();
    O.FFrom = FDtFrom->date();
    O.FTo = FDtTo->date();
    O.FScope = FRbAllUsers->isChecked() ? scAll : scCurrent;
    O.FOutMode = FRbHtml->isChecked() ? omHtml : omEmbed;
    O.FOutDir = FEdOut->text();
    O.FTitle = FEdTitle->text();
    O.FInclude = FEdInclude->text();
    O.FExclude = FEdExclude->text();
    O.FLimit = FSpinLimit->value();
    O.FPrivacy = FCkPrivacy->isChecked();
    return O;
}

void TMainForm::WriteOptions(const TOptions& Opts)
{
    TLoadingGuard Guard(FLoading);
    (Opts.FSrcMode == smPick ? FRbPick : FRbAuto)->setChecked(true);
    for (int I = 0; I < kSourceCount; ++I)
        FSrcChecks[I]->setChecked(Opts.FChecked[I]);
    (Opts.FRange == rgDays ? FRbDays : Opts.FRange == rgCust ? FRbCust : FRbAll)->setChecked(true);
    FSpinDays->setValue(Opts.FDays);
    FDtFrom->setDate(Opts.FFrom);
    FDtTo->setDate(Opts.FTo);
    (Opts.FScope == scAll ? FRbAllUsers : FRbCur)->setChecked(true);
    (Opts.FOutMode == omHtml ? FRbHtml : FRbEmbed)->setChecked(true);
    FEdOut->setText(Opts.FOutDir);
    FEdTitle->setText(Opts.FTitle);
    FEdInclude->setText(Opts.FInclude);
    FEdExclude->setText(Opts.FExclude);
    FSpinLimit->setValue(Opts.FLimit);
    FCkPrivacy->setChecked(Opts.FPrivacy);
}

void TMainForm::ApplyInitialOptions()
{
    TLoadingGuard Guard(FLoading);
    TOptions O = ReadOptions();
    ::ApplyInitialOptions(FInit, O);
    WriteOptions(O);
}

QString TMainForm::ResolveOutDir() const
{
    return ::ResolveOutDir(ReadOptions(), FDefaultOut);
}

// ---- states and layout -----------------------------------------------------

bool TMainForm::Elevated() const
{
    return FIsElevated ? FIsElevated() : IsElevated();
}

void TMainForm::UpdateOptionStates()
{
    if (FRun->Busy())
        return;
    const bool Pick = FRbPick->isChecked();
    for (QCheckBox* Box : FSrcChecks)
        Box->setEnabled(Pick);
    FSpinDays->setEnabled(FRbDays->isChecked());
    FDtFrom->setEnabled(FRbCust->isChecked());
    FDtTo->setEnabled(FRbCust->isChecked());
    const bool Admin = Elevated();
    FBtnElevate->setEnabled(!Admin);
    if (Admin)
        FLblScope->setText(QStringLiteral("已以管理员身份运行，可读取所有用户的历史记录"));
    else if (FRbAllUsers->isChecked())
        FLblScope->setText(QStringLiteral("当前为普通权限，其他用户的数据可能读不到，建议提权"));
    else
        FLblScope->setText(QStringLiteral("当前为普通权限，只能读取当前用户的记录"));
}

void TMainForm::UpdateExeStatus()
{
    SetStatus(1, QFileInfo(FConsoleExe).isFile() ? CollectorFileName() + QStringLiteral(" 已就绪")
                                                 : QStringLiteral("未找到 ") + CollectorFileName());
}

void TMainForm::LayoutColumns()
{
    const int CW = FClient->width();
    if (FCards[3] && CW > 900) {
        const int W = std::max(430, CW - 518);
        for (int I : {3, 4}) {
            const QRect R = FCards[I]->geometry();
            FCards[I]->setGeometry(CW - W - 12, R.top(), W, R.height());
        }
        FLblVer->move(CW - 360, FLblVer->y());
        FLinkCompany->move(CW - 360, FLinkCompany->y());
    }
    // The status bar spans the client's width.
    FPanels[0]->setGeometry(0, 0, CW - 350, kStatusH);
    FPanels[1]->setGeometry(CW - 350, 0, 190, kStatusH);
    FPanels[2]->setGeometry(CW - 160, 0, 160, kStatusH);
    FStatusLines[0]->setGeometry(0, 0, CW, 1);
    FStatusLines[1]->setGeometry(CW - 351, 4, 1, kStatusH - 8);
    FStatusLines[2]->setGeometry(CW - 161, 4, 1, kStatusH - 8);
}

void TMainForm::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    if (FClient)
        LayoutColumns();
}

void TMainForm::SetStatus(int Panel, const QString& Text)
{
    FPanels[Panel]->setText(Text);
}

QString TMainForm::StatusText(int Panel) const
{
    return FPanels[Panel]->text();
}

// ---- commands --------------------------------------------------------------

void TMainForm::ScopeClick()
{
    if (FLoading)
        return;
    UpdateOptionStates();
    if (FRbAllUsers->isChecked() && !Elevated() && !FAutoMode &&
        AskYesNo(this, QStringLiteral("扫描全部用户需要管理员权限。\r\n\r\n现在以管理员身份重启吗？（当前参数会先保存）")))
        ElevateClick();
}

void TMainForm::ElevateClick()
{
    if (Elevated()) {
        if (!FAutoMode)
            InfoBox(this, QStringLiteral("当前已经是管理员权限。"));
        return;
    }
    if (FElevating)
        return;
    if (!ElevationAvailable()) {
        if (!FAutoMode)
            WarnBox(this, NoElevationToolText(QCoreApplication::applicationFilePath()));
        return;
    }
    const QStringList Args = SplitCommandLine(::BuildRestartArgs(ReadOptions(), FDefaultOut));
    // Events keep running while the authorisation is asked for: the options
    // take no input then and runs do not start (StartRun), while the menu and
    // the status bar stay alive and say what is being waited for.
    FElevating = true;
    FClient->setEnabled(false);
    const QString Before = StatusText(0);
    SetStatus(0, QStringLiteral("正在等待管理员授权…"));
    const bool Restarted =
        RestartElevated(QCoreApplication::applicationFilePath(), Args, QCoreApplication::applicationDirPath());
    SetStatus(0, Before);
    FClient->setEnabled(true);
    FElevating = false;
    if (!Restarted) {
        if (!FAutoMode)
            WarnBox(this, QStringLiteral("提权失败（可能取消了 UAC 提示）。\r\n可以右键程序选择“以管理员身份运行”。"));
        return;
    }
    close();
}

void TMainForm::BrowseClick()
{
    QString Folder;
    if (PickFolder(QStringLiteral("选择报告的保存目录"), ResolveOutDir(), Folder))
        FEdOut->setText(Folder);
}

void TMainForm::OpenOutDirClick()
{
    const QString Dir = ResolveOutDir();
    if (DirExists(Dir)) {
        RevealInExplorer(Dir);
    } else if (!FAutoMode) {
        InfoBox(this, QStringLiteral("保存目录还不存在：") + Dir +
                          QStringLiteral("\r\n报告窗口点“保存 JSON”时会自动创建。"));
    }
}

// ---- report files ----------------------------------------------------------

void TMainForm::OpenReportClick()
{
    QString File;
    if (PickOpenFile(QStringLiteral("打开报告"), ResolveOutDir(), QStringLiteral("采集报告 (*.json)"), File))
        OpenReport(File);
}

void TMainForm::OpenStartupReports()
{
    if (FAutoMode)
        return;
    for (const QString& Path : std::as_const(FReportArgs))
        OpenReport(Path);
}

void TMainForm::OpenReport(const QString& Path)
{
    // Relative paths are the command line's: pinned to the folder we started in.
    const QString Full = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(Path)));
    SetStatus(0, QStringLiteral("正在打开报告：") + QFileInfo(Full).fileName() + QStringLiteral("…"));
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    auto Result = std::make_shared<TReportFile>();
    QThread* Worker = QThread::create([Result, Full] { *Result = LoadReportFile(Full); });
    FLoaders.append(Worker);
    // Queued to this thread: the window is built where widgets live.
    connect(Worker, &QThread::finished, this, [this, Worker, Result] {
        FLoaders.removeOne(Worker);
        Worker->wait();
        delete Worker;
        ReportLoaded(std::move(*Result));
    });
    Worker->start();
}

void TMainForm::ReportLoaded(TReportFile&& File)
{
    // The busy cursor stays while a large window is built, not over the box.
    if (!File.Ok()) {
        QGuiApplication::restoreOverrideCursor();
        SetStatus(0, QStringLiteral("打开报告失败"));
        ErrorBox(this, File.ErrorText());
        return;
    }
    SaveRecentReports(AddRecentReport(LoadRecentReports(FRecentStore), File.Path), FRecentStore);
    SetStatus(0, QStringLiteral("已打开报告：") + QFileInfo(File.Path).fileName());
    ShowReportFile(this, std::move(File));
    QGuiApplication::restoreOverrideCursor();
}

void TMainForm::RefreshRecentMenu()
{
    const QStringList Stored = LoadRecentReports(FRecentStore);
    const QStringList List = PruneRecentReports(Stored, [](const QString& P) { return QFileInfo(P).isFile(); });
    if (List != Stored)
        SaveRecentReports(List, FRecentStore);
    FRecentMenu->clear();
    if (List.isEmpty()) {
        FRecentMenu->addAction(QStringLiteral("（无）"))->setEnabled(false);
        return;
    }
    for (int I = 0; I < List.size(); ++I) {
        const QString Path = List[I];
        // "&&" keeps an ampersand in a file name from turning into a mnemonic.
        QString Caption = QStringLiteral("&%1  ").arg(I + 1) + QString(Path).replace(u'&', QStringLiteral("&&"));
        connect(FRecentMenu->addAction(Caption), &QAction::triggered, this, [this, Path] { OpenReport(Path); });
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event)
{
    if (!FAutoMode && Event->mimeData()->hasUrls() && !DroppedReportFiles(Event->mimeData()->urls()).isEmpty())
        Event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* Event)
{
    const QStringList Files = DroppedReportFiles(Event->mimeData()->urls());
    if (Files.isEmpty())
        return;
    Event->acceptProposedAction();
    for (const QString& F : Files)
        OpenReport(F);
}

void TMainForm::closeEvent(QCloseEvent* Event)
{
    if (FRun->Busy()) {
        if (!FAutoMode) {
            // The run goes on while the question is open; RunFinished closes
            // the question when the run ends first.
            FAskingClose = true;
            const bool Yes = AskYesNo(this, QStringLiteral("任务正在运行，确定中止并退出吗？"));
            FAskingClose = false;
            if (!Yes) {
                Event->ignore();
                return;
            }
        }
        FRun->Stop();
    }
    Event->accept();
}

// ---- runs ------------------------------------------------------------------

bool TMainForm::Busy() const
{
    return FRun->Busy();
}

void TMainForm::WMStartRun()
{
    if (!FRun->Busy())
        StartRun(false);
}

void TMainForm::Finish(int Code)
{
    if (FEnded)
        return;
    FEnded = true;
    emit EndProcess(Code);
}

void TMainForm::StartRun(bool ListMode)
{
    if (FRun->Busy() || FEnded || FElevating)
        return;
    const TOptions Opts = ReadOptions();
    if (!FRun->Start(FConsoleExe, RunKindOf(ListMode, FAutoMode, Opts), Opts, ::ResolveOutDir(Opts, FDefaultOut)))
        return;
    SetBusy(true);
    SetStatus(0, BusyTextOf(FRun->Kind()) + QStringLiteral("…"));
}

void TMainForm::SetBusy(bool Value)
{
    SetInputsEnabled(FClient, !Value);
    if (Value) {
        FBtnStart->SetCaption(QStringLiteral("正在运行…"));
    } else {
        FBtnStart->SetCaption(QStringLiteral("开始生成报告"));
        UpdateOptionStates();
    }
    UpdateExeStatus();
}

void TMainForm::SetInputsEnabled(QWidget* Container, bool Value)
{
    for (QObject* Child : Container->children()) {
        auto* W = qobject_cast<QWidget*>(Child);
        if (!W)
            continue;
        // Spin boxes and date pickers hold line edits of their own; the
        // control is switched as a whole, never its parts.
        if (qobject_cast<QCheckBox*>(W) || qobject_cast<QRadioButton*>(W) || qobject_cast<QAbstractSpinBox*>(W)) {
            W->setEnabled(Value);
        } else if (auto* Ed = qobject_cast<QLineEdit*>(W)) {
            if (!Ed->isReadOnly())
                Ed->setEnabled(Value);
        } else {
            SetInputsEnabled(W, Value);
        }
    }
}

void TMainForm::RunProgress(int ElapsedSec)
{
    SetStatus(2, ElapsedText(ElapsedSec));
    SetStatus(0, ProgressText(BusyTextOf(FRun->Kind()), ElapsedSec));
}

void TMainForm::RunNotStarted(int ExitCode, const QString& Message)
{
    if (FAutoMode)
        Finish(ExitCode);
    else
        ErrorBox(this, Message);
}

void TMainForm::RunAborted(int ExitCode, const QString& Reason)
{
    SetBusy(false);
    SetStatus(0, QStringLiteral("界面异常：") + Reason);
    if (FAutoMode)
        Finish(ExitCode);
}

void TMainForm::RunFinished(TRunKind Kind, quint32 Code, const TRunOutput& Output)
{
    // A question about stopping this run has nothing left to act on.
    if (FAskingClose)
        DismissQuestions(this);
    SetBusy(false);
    SetStatus(0, FinishedStatusText(Kind, Code));
    SetStatus(2, FinishedElapsedText(FRun->ElapsedSec(), Code));
    if (FAutoMode) {
        // Passed on bit for bit: a code above 2^31 becomes the same negative int.
        Finish(int(Code));
        return;
    }
    const TFinishStep Step = FinishStep(Kind, Code);
    if (Step.Action == faWarn)
        WarnBox(this, Step.Text);
    else if (Step.Action == faShowResult) {
        // A modal about or usage dialog would keep the new window from use.
        CloseInfoDialogs(this);
        ShowResult(Kind, Code, Output);
    }
}

void TMainForm::ShowResult(TRunKind Kind, quint32 Code, const TRunOutput& Output)
{
    if (!Output.Error.isEmpty()) {
        ErrorBox(this, ParseFailedText(Output.Error));
        return;
    }
    // The tree and the report window share the output's bytes.
    QString ErrMsg;
    std::unique_ptr<TJsonValue> Root = ParseJsonBytes(Output.Bytes, ErrMsg);
    if (!Root) {
        ErrorBox(this, ParseFailedText(ErrMsg));
        return;
    }
    if (Kind == rnList)
        ShowSourcesWindow(this, std::move(Root));
    else
        ShowReportWindow(this, std::move(Root), Output.Bytes, ResolveOutDir(), Code == ceNoRecords);
}
