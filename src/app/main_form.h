#pragma once

#include "options.h"
#include "run_texts.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QEvent;
class QThread;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QResizeEvent;
class QSpinBox;
class QStatusBar;
class TCard;
class TFlatButton;
class TLinkLabel;
class TReportForm;
class TRunController;
struct TLoadedReport;
struct TRunOutput;

// The program's one main window: option cards, the two run commands, the
// status bar and the menus. The controls are the store of the options; every
// command line is computed from ReadOptions() by the option model, and the
// run controller carries the run out while the window shows how it goes.
// Results and report files are loaded off the GUI thread, so the window
// keeps answering while a large report is read.
//
// The controls have object names after their roles (the field names without
// the F: "RbAuto", "SrcCheck3", "Card4", "StatusPanel0", "RecentMenu"), as
// have the run controller ("Run") and an unattended run's start ("AutoStart");
// tests find them by these names.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Reads the process arguments and finds the collector next to the program.
    explicit TMainForm(QWidget* Parent = nullptr);
    // Args without the program name; ConsoleExe is the collector to run.
    TMainForm(const QStringList& Args, const QString& ConsoleExe, QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Client area without the menu bar.
    static constexpr int kClientW = 1000;
    static constexpr int kClientH = 510;
    static constexpr int kStatusH = 22;

    TOptions ReadOptions() const;
    void WriteOptions(const TOptions& Opts);
    QString DefaultOutDir() const { return FDefaultOut; }

    void StartRun(bool ListMode);
    // Started from outside the program (the start-run signal): a report run,
    // only when idle.
    void WMStartRun();
    void UpdateOptionStates();

    bool Busy() const;
    // How many run results and report files are being loaded for their windows.
    int PendingLoads() const { return int(FLoaders.size()); }
    bool AutoMode() const { return FAutoMode; }
    QString StatusText(int Panel) const;

    // Menu and button commands.
    void StartClick() { StartRun(false); }
    void ListClick() { StartRun(true); }
    void BrowseClick();
    void ElevateClick();
    // "打开报告…": picks report files starting in the output folder.
    void OpenReportClick();
    // "定时生成报告…" and "清除历史存档…".
    void ScheduleClick();
    void ClearArchiveClick();
    // The report files named on the command line; called once the window shows.
    void OpenStartupReports();
    // Rebuilds the "最近打开" submenu, dropping files that no longer exist.
    void RefreshRecentMenu();

    // For the tests: the elevation check, replaceable so that the scope rules
    // can be checked whatever account runs them, and where the "最近打开" list
    // is kept (empty: the user's settings).
    void SetElevatedCheck(std::function<bool()> Check) { FIsElevated = std::move(Check); }
    void SetRecentStore(const QString& IniFile) { FRecentStore = IniFile; }

signals:
    // Unattended mode is over: the process should end with Code once the
    // window has been torn down.
    void EndProcess(int Code);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    void Init(const QStringList& Args);
    void BuildBanner();
    void BuildCards();
    void BuildStatusBar();
    void BuildMenu();
    void BuildReportMenu(QMenu* File);
    void BuildArchiveMenu(QMenu* Tools);
    QAction* AddMenuItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                         const QString& Shortcut = QString());
    void ApplyInitialOptions();
    QString ResolveOutDir() const;
    void UpdateExeStatus();
    void LayoutColumns();
    void OpenOutDirClick();
    void ScopeClick();
    // Loads a report file off the GUI thread and shows it in a report window,
    // or says why it cannot. The window stays usable meanwhile.
    void OpenReport(const QString& Path);
    void ReportLoaded(TLoadedReport&& Report);
    // Runs Job on a thread of its own and hands its result to Done on this
    // one, with a busy pointer meanwhile; the window stays usable.
    void LoadInBackground(std::function<TLoadedReport()> Job, std::function<void(TLoadedReport&&)> Done);
    // The open report window showing the file Path, if any.
    TReportForm* ReportWindowOf(const QString& Path) const;
    // Brings the window showing Path to the front; false when there is none.
    bool RaiseReportWindow(const QString& Path);
    // Path goes to the front of "最近打开" and the status bar names it.
    void NoteReportOpened(const QString& Path);
    // Starts a run of Kind for the options, unless one is going on.
    void StartKind(TRunKind Kind);
    void SetBusy(bool Value);
    void SetInputsEnabled(QWidget* Container, bool Value);
    void SetStatus(int Panel, const QString& Text);
    // What the run controller reports.
    void RunProgress(int ElapsedSec);
    void RunNotStarted(int ExitCode, const QString& Message);
    void RunAborted(int ExitCode, const QString& Reason);
    void RunFinished(TRunKind Kind, quint32 Code, const TRunOutput& Output);
    void ShowResult(TRunKind Kind, quint32 Code, const TRunOutput& Output);
    void Finish(int Code);
    bool Elevated() const;

    QWidget* FClient = nullptr;
    // Banner
    QWidget* FBanner = nullptr;
    QLabel* FLblVer = nullptr;
    TLinkLabel* FLinkCompany = nullptr;
    std::array<TCard*, 5> FCards{};
    // Card 0
    QRadioButton* FRbAuto = nullptr;
    QRadioButton* FRbPick = nullptr;
    std::array<QCheckBox*, kSourceCount> FSrcChecks{};
    // Card 1
    QRadioButton* FRbAll = nullptr;
    QRadioButton* FRbDays = nullptr;
    QRadioButton* FRbCust = nullptr;
    QSpinBox* FSpinDays = nullptr;
    QDateEdit* FDtFrom = nullptr;
    QDateEdit* FDtTo = nullptr;
    // Card 2
    QRadioButton* FRbCur = nullptr;
    QRadioButton* FRbAllUsers = nullptr;
    QLabel* FLblScope = nullptr;
    TFlatButton* FBtnElevate = nullptr;
    // Card 3
    QLineEdit* FEdOut = nullptr;
    TFlatButton* FBtnBrowse = nullptr;
    QRadioButton* FRbEmbed = nullptr;
    QRadioButton* FRbHtml = nullptr;
    QLineEdit* FEdTitle = nullptr;
    // Card 4
    QLineEdit* FEdInclude = nullptr;
    QLineEdit* FEdExclude = nullptr;
    QSpinBox* FSpinLimit = nullptr;
    QCheckBox* FCkPrivacy = nullptr;
    TFlatButton* FBtnStart = nullptr;
    TFlatButton* FBtnList = nullptr;

    QStatusBar* FStatus = nullptr;
    std::array<QLabel*, 3> FPanels{};
    std::array<QWidget*, 3> FStatusLines{};
    TRunController* FRun = nullptr; // a child of the window
    std::function<bool()> FIsElevated;

    QString FConsoleExe;
    QString FDefaultOut;
    TInitOptions FInit;
    bool FAutoMode = false;
    bool FLoading = false;
    bool FEnded = false;
    bool FShownOnce = false;
    bool FElevating = false;  // waiting for the elevated copy to come up
    bool FAskingClose = false; // the question about stopping the run is open

    QStringList FReportArgs;
    QString FRecentStore;
    QMenu* FRecentMenu = nullptr;
    QAction* FActElevate = nullptr;  // enabled exactly when FBtnElevate is
    QAction* FActArchive = nullptr;  // the archive option; checkable
    QList<QThread*> FLoaders;
};
