#pragma once

#include "options.h"
#include "run_texts.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QThread;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QResizeEvent;
class QSpinBox;
class QStatusBar;
class QTimer;
class TCard;
class TConsoleRunner;
class TFlatButton;
class TLinkLabel;
struct TReportFile;

// The program's one main window: option cards, the two run commands, the
// status bar and the menus. The controls are the store of the options; every
// command line is computed from ReadOptions() by the option model.
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

    QString BuildRestartArgs() const;
    QString BuildCollectorArgs() const;
    QString CheckedSourceIds() const;
    QString SourceSwitchValue() const;
    QString ResolveOutDir() const;
    QString DefaultOutDir() const { return FDefaultOut; }

    void StartRun(bool ListMode);
    void UpdateOptionStates();
    void UpdateExeStatus();
    void LayoutColumns();
    // Started from outside the program (the start-run signal): a report run,
    // only when idle.
    void WMStartRun();

    bool Busy() const { return FBusy; }
    bool AutoMode() const { return FAutoMode; }
    QString ConsoleExe() const { return FConsoleExe; }
    QString StatusText(int Panel) const;
    QLabel* StatusPanel(int Panel) const { return FPanels[Panel]; }
    TConsoleRunner* Runner() const { return FRunner.get(); }

    // Elevation test; replaceable so that the scope rules can be checked
    // whatever account runs the tests.
    void SetElevatedCheck(std::function<bool()> Check) { FIsElevated = std::move(Check); }

    // The most output a run may print before it is given up as unreadable.
    static constexpr qint64 kDefaultOutputLimit = qint64(1) << 30;
    void SetOutputLimit(qint64 Bytes) { FOutputLimit = Bytes; }

    // Controls by role, for tests and for the status logic.
    QRadioButton* RbAuto() const { return FRbAuto; }
    QRadioButton* RbPick() const { return FRbPick; }
    QCheckBox* SourceBox(int Index) const { return FSrcChecks[Index]; }
    QRadioButton* RbAll() const { return FRbAll; }
    QRadioButton* RbDays() const { return FRbDays; }
    QRadioButton* RbCust() const { return FRbCust; }
    QSpinBox* SpinDays() const { return FSpinDays; }
    QDateEdit* DtFrom() const { return FDtFrom; }
    QDateEdit* DtTo() const { return FDtTo; }
    QRadioButton* RbCur() const { return FRbCur; }
    QRadioButton* RbAllUsers() const { return FRbAllUsers; }
    QLabel* LblScope() const { return FLblScope; }
    QLineEdit* EdOut() const { return FEdOut; }
    QRadioButton* RbEmbed() const { return FRbEmbed; }
    QRadioButton* RbHtml() const { return FRbHtml; }
    QLineEdit* EdTitle() const { return FEdTitle; }
    QLineEdit* EdInclude() const { return FEdInclude; }
    QLineEdit* EdExclude() const { return FEdExclude; }
    QSpinBox* SpinLimit() const { return FSpinLimit; }
    QCheckBox* CkPrivacy() const { return FCkPrivacy; }
    TFlatButton* BtnElevate() const { return FBtnElevate; }
    TFlatButton* BtnBrowse() const { return FBtnBrowse; }
    TFlatButton* BtnStart() const { return FBtnStart; }
    TFlatButton* BtnList() const { return FBtnList; }
    TCard* Card(int Index) const { return FCards[Index]; }

signals:
    // Unattended mode is over: the process should end with Code once the
    // window has been torn down.
    void EndProcess(int Code);

protected:
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

    // One poll of the run; virtual so that a failing tick can be simulated.
    virtual void PollRun();
    void TimerTick();
    void RunFinished(quint32 Code);

public:
    // Menu and button commands.
    void StartClick() { StartRun(false); }
    void ListClick() { StartRun(true); }
    void BrowseClick();
    void OpenOutDirClick();
    void ElevateClick();
    void ScopeClick();
    // "打开报告…": picks report files starting in the output folder.
    void OpenReportClick();
    // Loads a report file off the GUI thread and shows it in a report window,
    // or says why it cannot. The window stays usable meanwhile.
    void OpenReport(const QString& Path);
    // The report files named on the command line; called once the window shows.
    void OpenStartupReports();
    QStringList StartupReports() const { return FReportArgs; }
    int PendingReports() const { return int(FLoaders.size()); }
    // The file the "最近打开" list is kept in; empty means the user's settings.
    void SetRecentStore(const QString& IniFile) { FRecentStore = IniFile; }
    QStringList RecentReports() const;
    // Rebuilds the "最近打开" submenu, dropping files that no longer exist.
    void RefreshRecentMenu();
    QMenu* RecentMenu() const { return FRecentMenu; }

private:
    void Init(const QStringList& Args);
    void BuildBanner();
    void BuildCards();
    void BuildStatusBar();
    void BuildMenu();
    void BuildReportMenu(QMenu* File);
    void ReportLoaded(TReportFile&& File);
    QAction* AddMenuItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                         const QString& Shortcut = QString());
    void ApplyInitialOptions();
    void SetBusy(bool Value);
    void SetInputsEnabled(QWidget* Container, bool Value);
    void SetStatus(int Panel, const QString& Text);
    void ShowResult(TRunKind Kind, quint32 Code);
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
    QTimer* FTimer = nullptr;
    std::unique_ptr<TConsoleRunner> FRunner;
    std::function<bool()> FIsElevated;

    QString FConsoleExe;
    QString FDefaultOut;
    TInitOptions FInit;
    bool FAutoMode = false;
    bool FAutoPending = false;
    bool FLoading = false;
    bool FEnded = false;
    bool FElevating = false;  // waiting for the elevated copy to come up
    bool FAskingClose = false; // the question about stopping the run is open

    bool FBusy = false;
    bool FListMode = false;
    bool FHtmlRun = false;
    QString FBusyText;
    QByteArray FJsonBuf;
    qint64 FOutputLimit = kDefaultOutputLimit;
    bool FOutputTooLarge = false;

    QStringList FReportArgs;
    QString FRecentStore;
    QMenu* FRecentMenu = nullptr;
    QList<QThread*> FLoaders;
};
