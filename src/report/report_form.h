#pragma once

#include "record_keys.h"
#include "report_content.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QStatusBar;
class QTableWidget;
class QTabWidget;
class TBarChart;
class TCard;
class TDonutChart;
class THeatChart;
class TJsonValue;
class TRankChart;
class TRecordsPage;
struct TLoadedReport;

// One finished report run: header, toolbar, seven pages and a status bar.
// A modeless child window of its owner, destroyed with it at the latest. It
// owns the document it was given. The pages are built and laid out in
// report_form_pages.cpp; the records page is a class of its own.
//
// The controls have object names after their roles (the field names without
// the F: "LblTitle", "KpiVal0", "Tabs", "PgRecords", …), by which tests find them.
class TReportForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientW = 1120;
    static constexpr int kClientH = 760;
    static constexpr int kMinW = 980;
    static constexpr int kMinH = 640;

    // A report made ready off the GUI thread (report_load.h); the window
    // only shows it. OutDir: where "保存 JSON" saves a run's report; one
    // from a file saves beside the file.
    TReportForm(QWidget* Owner, TLoadedReport&& Report, const QString& OutDir);
    // The same for a parsed document, made ready here. RawJson: the document
    // as the collector printed it; "保存 JSON" writes these bytes unchanged.
    TReportForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson, const QString& OutDir,
                bool NoData);
    ~TReportForm() override;

    const TReportContent& Content() const { return FContent; }
    qint64 Total() const { return FContent.Total; }
    int Shown() const;
    int BrCount() const { return FContent.BrCount; }
    qsizetype FilterBytes() const;

    // Shows the records page filtered by Text, with the focus in its filter box.
    void FilterBy(const QString& Text);
    // A run's report is saved under a timestamped name in the output folder;
    // one opened from a file, wherever the user picks.
    void SaveJson();
    void OpenSaveFolder();
    // The file the report was opened from; empty for a run's report.
    QString SourceFile() const { return FSourceFile; }
    void DomainDblClick(int Index);
    void PageDblClick(int Index);
    // Shows the records page narrowed to item Item of a chart (DrillChip),
    // with the focus in its filter box; items outside the chart are ignored.
    void Drill(TChipKind Kind, int Item);

    void LayoutAll();
    QString StatusText() const;

private:
    void BuildUi();
    void BuildHeader();
    void BuildToolbar();
    QWidget* AddPage(const QString& Caption, QWidget* Page);
    // Every page from its table, then what the tables leave: signals, lists.
    void BuildPages();
    void SetUpSourceList();
    void LoadReport();
    // The caption and header name the file the report came from.
    void ShowSourceFile();
    void SetStatus(const QString& Text);
    // The page Step pages on from the current one, round from the last to the first.
    void StepPage(int Step);
    void FitKpiFonts();
    void FitCountLabel();

    void OverviewPageResize();
    void TimePageResize();
    void DomainPageResize();
    void PagesPageResize();
    void BrowserPageResize();

    // The document and what was read from it.
    std::unique_ptr<TJsonValue> FData;
    QByteArray FRawJson;
    QString FOutDir;
    QString FSourceFile;
    TReportContent FContent;

    // Controls; all owned by the window through the parent tree.
    QWidget* FClient = nullptr;  // what the window scrolls when it is small
    QLabel* FLblTitle = nullptr;
    QLabel* FLblDetail = nullptr;
    QLabel* FLblCount = nullptr;
    QLabel* FLblFile = nullptr;
    QStatusBar* FStatus = nullptr;
    QLabel* FStatusText = nullptr;
    QTabWidget* FTabs = nullptr;
    QWidget* FPgOverview = nullptr;
    std::array<TCard*, 5> FKpiCard{};
    std::array<QLabel*, 5> FKpiVal{};
    TCard* FInfoCard = nullptr;
    std::array<QLabel*, 6> FInfoVal{};
    TCard* FIndexCard = nullptr;
    std::array<QLabel*, 7> FIdxName{};
    std::array<QLabel*, 7> FIdxDesc{};
    QWidget* FPgTime = nullptr;
    QWidget* FPgDomain = nullptr;
    QWidget* FPgPage = nullptr;
    QWidget* FPgBrowser = nullptr;
    QWidget* FPgSource = nullptr;
    TRecordsPage* FPgRecords = nullptr;
    THeatChart* FHeatChart = nullptr;
    TBarChart* FBarChart = nullptr;
    TRankChart* FDnsChart = nullptr;
    TRankChart* FPgsChart = nullptr;
    TRankChart* FKwsChart = nullptr;
    TRankChart* FBrsChart = nullptr;
    TDonutChart* FDonut = nullptr;
    QLabel* FCatTitle = nullptr;
    QLabel* FCatNote = nullptr;
    QLabel* FKwsTitle = nullptr;
    QLabel* FKwsNote = nullptr;
    QTableWidget* FSrcList = nullptr;
    QLabel* FLblTrendSpan = nullptr;
    QLabel* FLblBrsInfo = nullptr;
    TCard* FBrsInfoCard = nullptr;
    std::array<QLabel*, 5> FBrsInfoVal{};
};

// Opens a report window and returns at once; every call opens a further
// window. The window is deleted when it is closed.
TReportForm* ShowReportWindow(QWidget* Owner, TLoadedReport&& Report, const QString& OutDir);
// The same for a finished run whose output parsed into Data.
TReportForm* ShowReportWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                              const QString& OutDir, bool NoData);
