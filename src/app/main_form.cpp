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
#include "report_load.h"
#include "report_window.h"
#include "run_controller.h"
#include "schedule_dialog.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"
#include "window_fit.h"

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
#include <QScrollArea>
#include <QSpinBox>
#include <QLayout>
#include <QShowEvent>
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
    delete FRun;
    FRun = nullptr;
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

    FRun = new TRunController(this);
    FRun->setObjectName(QStringLiteral("Run"));
    connect(FRun, &TRunController::Progress, this, &TMainForm::RunProgress);
    connect(FRun, &TRunController::Finished, this, &TMainForm::RunFinished);
    connect(FRun, &TRunController::StartFailed, this, &TMainForm::RunNotStarted);
    connect(FRun, &TRunController::Aborted, this, &TMainForm::RunAborted);

    FInit = ParseCommandLine(Args);
    FReportArgs = ReportFileArgs(Args);
    FAutoMode = FInit.FAutoMode;
    FDefaultOut = ::DefaultOutDir(ShellFolderPath(kCsidlPersonal));

    // The client is sized before anything is placed on it, because anchors
    // take their distances from the parent's size at the time they are set.
    FClient = MakePanel(nullptr, 0, 0, kClientW, kClientH - kStatusH, clWindowBg);
    // The cards keep their places; a screen too small for them scrolls them.
    setCentralWidget(WrapInScrollArea(FClient, FClient->size()));
    BuildBanner();
    BuildCards();
    BuildStatusBar();
    BuildMenu();
    setAcceptDrops(true);

    WriteOptions(DefaultOptions(FDefaultOut));
    ApplyInitialOptions();

    UpdateOptionStates();
    UpdateExeStatus();

    SetStatus(0, QStringLiteral("就绪"));
    SetStatus(2, QStringLiteral("用时 0.0 s"));
    UpdateExeStatus();

    if (FAutoMode) {
        auto* AutoStart = new QTimer(this);
        AutoStart->setObjectName(QStringLiteral("AutoStart"));
        AutoStart->setSingleShot(true);
        connect(AutoStart, &QTimer::timeout, this, [this] { StartRun(false); });
        AutoStart->start(kAutoDelayMs);
    }

    setFixedSize(PlaceOnScreen(this, QSize(kClientW, kClientH + menuBar()->sizeHint().height()),
                               ScreenArea(this).center()));
    LayoutColumns();
    // Tab goes through the cards in their order, from the first one.
    (FRbPick->isChecked() ? FRbPick : FRbAuto)->setFocus();
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
    O.FArchive = FActArchive->isChecked();
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
    FActArchive->setChecked(Opts.FArchive);
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
    // The status bar spans the window, which a small screen makes narrower
    // than the client.
    const int SW = width();
    FPanels[0]->setGeometry(0, 0, SW - 350, kStatusH);
    FPanels[1]->setGeometry(SW - 350, 0, 190, kStatusH);
    FPanels[2]->setGeometry(SW - 160, 0, 160, kStatusH);
    FStatusLines[0]->setGeometry(0, 0, SW, 1);
    FStatusLines[1]->setGeometry(SW - 351, 4, 1, kStatusH - 8);
    FStatusLines[2]->setGeometry(SW - 161, 4, 1, kStatusH - 8);
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

void TMainForm::ScheduleClick()
{
    TScheduleDialog Dialog(this, ReadOptions(), FDefaultOut,
                           QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    Dialog.Refresh();
    Dialog.exec();
}

void TMainForm::ClearArchiveClick()
{
    if (FRun->Busy() || FAutoMode)
        return;
    if (AskYesNo(this, QStringLiteral("清除历史存档后，浏览器已删除的旧记录不会再出现在报告中，且无法恢复。\r\n\r\n确定清除吗？")))
        StartKind(rnClearArchive);
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

TReportForm* TMainForm::ReportWindowOf(const QString& Path) const
{
    // A closed window is only hidden until it is deleted.
    for (TReportForm* Form : findChildren<TReportForm*>(Qt::FindDirectChildrenOnly))
        if (!Form->isHidden() && !Form->SourceFile().isEmpty() && SameReportFile(Form->SourceFile(), Path))
            return Form;
    return nullptr;
}

bool TMainForm::RaiseReportWindow(const QString& Path)
{
    TReportForm* Form = ReportWindowOf(Path);
    if (!Form)
        return false;
    Form->setWindowState((Form->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    Form->raise();
    Form->activateWindow();
    NoteReportOpened(Path);
    return true;
}

void TMainForm::NoteReportOpened(const QString& Path)
{
    SaveRecentReports(AddRecentReport(LoadRecentReports(FRecentStore), Path), FRecentStore);
    SetStatus(0, QStringLiteral("已打开报告：") + QFileInfo(Path).fileName());
}

void TMainForm::LoadInBackground(std::function<TLoadedReport()> Job, std::function<void(TLoadedReport&&)> Done)
{
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    auto Result = std::make_shared<TLoadedReport>();
    QThread* Worker = QThread::create([Result, Job = std::move(Job)] { *Result = Job(); });
    FLoaders.append(Worker);
    // Queued to this thread: windows are built where widgets live.
    connect(Worker, &QThread::finished, this, [this, Worker, Result, Done = std::move(Done)] {
        FLoaders.removeOne(Worker);
        Worker->wait();
        delete Worker;
        QGuiApplication::restoreOverrideCursor();
        Done(std::move(*Result));
    });
    Worker->start();
}

void TMainForm::OpenReport(const QString& Path)
{
    // Relative paths are the command line's: pinned to the folder we started in.
    const QString Full = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(Path)));
    // A report open already comes to the front instead of a second copy.
    if (RaiseReportWindow(Full))
        return;
    SetStatus(0, QStringLiteral("正在打开报告：") + QFileInfo(Full).fileName() + QStringLiteral("…"));
    LoadInBackground([Full] { return LoadReportFromFile(Full); },
                     [this](TLoadedReport&& Report) { ReportLoaded(std::move(Report)); });
}

void TMainForm::ReportLoaded(TLoadedReport&& Report)
{
    if (!Report.Ok()) {
        SetStatus(0, QStringLiteral("打开报告失败"));
        ErrorBox(this, Report.Error);
        return;
    }
    // The same file may have been asked for twice while it loaded.
    if (RaiseReportWindow(Report.Path))
        return;
    NoteReportOpened(Report.Path);
    ShowReportWindow(this, std::move(Report), QString());
}

void TMainForm::RefreshRecentMenu()
{
    const QStringList Stored = LoadRecentReports(FRecentStore);
    const QStringList List = PruneRecentReports(Stored, [](const QString& P) { return QFileInfo(P).isFile(); });
    if (List != Stored)
        SaveRecentReports(List, FRecentStore);
    FRecentMenu->clear();
    if (List.isEmpty())
        FRecentMenu->addAction(QStringLiteral("（无）"))->setEnabled(false);
    for (int I = 0; I < List.size(); ++I) {
        const QString Path = List[I];
        // "&&" keeps an ampersand in a file name from turning into a mnemonic.
        QString Caption = QStringLiteral("&%1  ").arg(I + 1) + QString(Path).replace(u'&', QStringLiteral("&&"));
        connect(FRecentMenu->addAction(Caption), &QAction::triggered, this, [this, Path] { OpenReport(Path); });
    }
    FRecentMenu->addSeparator();
    QAction* Clear = FRecentMenu->addAction(QStringLiteral("清除列表"));
    Clear->setEnabled(!List.isEmpty());
    connect(Clear, &QAction::triggered, this, [this] { SaveRecentReports({}, FRecentStore); });
}

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event)
{
    // The menu item follows its button, however the button changes.
    if (Watched == FBtnElevate && Event->type() == QEvent::EnabledChange && FActElevate)
        FActElevate->setEnabled(FBtnElevate->isEnabled());
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainForm::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (FShownOnce)
        return;
    FShownOnce = true;
    // A platform style's menu bar can be taller once shown than it measured
    // before: the window grows by what the cards then lack, as far as the
    // screen allows, rather than scroll on a screen with room for them.
    layout()->activate();
    const QSize Lack = (FClient->minimumSize() - centralWidget()->size()).expandedTo(QSize(0, 0));
    if (Lack.width() > 0 || Lack.height() > 0)
        setFixedSize(PlaceOnScreen(this, size() + Lack, geometry().center()));
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
    StartKind(RunKindOf(ListMode, FAutoMode, ReadOptions()));
}

void TMainForm::StartKind(TRunKind Kind)
{
    if (FRun->Busy() || FEnded || FElevating)
        return;
    const TOptions Opts = ReadOptions();
    if (!FRun->Start(FConsoleExe, Kind, Opts, ::ResolveOutDir(Opts, FDefaultOut)))
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
    const bool List = Kind == rnList;
    const bool NoData = Code == ceNoRecords;
    // The run's outcome comes back once its window is up.
    const QString Outcome = StatusText(0);
    const QString Loading = List ? QStringLiteral("正在载入检测结果…") : QStringLiteral("正在载入报告…");
    SetStatus(0, Loading);
    LoadInBackground(
        [Bytes = Output.Bytes, List, NoData] { return List ? LoadSourceList(Bytes) : LoadRunReport(Bytes, NoData); },
        [this, List, Outcome, Loading, OutDir = ResolveOutDir()](TLoadedReport&& Result) {
            // Unless a later run or file has taken the status since.
            if (StatusText(0) == Loading)
                SetStatus(0, Outcome);
            if (!Result.Ok())
                ErrorBox(this, ParseFailedText(Result.Error));
            else if (List)
                ShowSourcesWindow(this, std::move(Result.Data));
            else
                ShowReportWindow(this, std::move(Result), OutDir);
        });
}
