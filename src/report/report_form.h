#pragma once

#include "filter_index.h"
#include "report_content.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QEvent;
class QLabel;
class QLineEdit;
class QStatusBar;
class QTableView;
class QTableWidget;
class QTabWidget;
class TBarChart;
class TCard;
class TDonutChart;
class THeatChart;
class TJsonValue;
class TRankChart;
class TRecordsModel;

// One finished report run: header, toolbar, seven pages and a status bar.
// A modeless child window of its owner, destroyed with it at the latest. It
// owns the parsed document it was given. The pages are built and laid out in
// report_form_pages.cpp.
class TReportForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientW = 1120;
    static constexpr int kClientH = 760;
    static constexpr int kMinW = 980;
    static constexpr int kMinH = 640;

    // RawJson: the document as the collector printed it (or the file held
    // it); "保存 JSON" writes these bytes unchanged.
    TReportForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson, const QString& OutDir,
                bool NoData);
    ~TReportForm() override;

    const TReportContent& Content() const { return FContent; }
    qint64 Total() const { return FTotal; }
    int Shown() const { return FShown; }
    int BrCount() const { return FBrCount; }
    qsizetype FilterBytes() const { return FFilterIndex.MemoryBytes(); }

    // Records page.
    void ApplyFilter();
    void FilterBy(const QString& Text);
    const TJsonValue* RecordAt(int Index) const;
    void RecListDblClick();
    void CopySelected();
    // The copied text of the selected rows, or empty when none is selected.
    QString SelectedText(int* Lines = nullptr) const;
    // A run's report is saved under a timestamped name in the output folder;
    // one opened from a file, wherever the user picks.
    void SaveJson();
    void OpenSaveFolder();
    // Writes the rows now shown, in their order, to a CSV file the user picks.
    void ExportCsv();
    // The window shows a report file opened from disk: its caption and header
    // name the file.
    void SetSourceFile(const QString& Path);
    QString SourceFile() const { return FSourceFile; }
    void DomainDblClick(int Index);
    void PageDblClick(int Index);

    void LayoutAll();
    QString StatusText() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TReportFormTest;

    void BuildUi();
    void BuildHeader();
    void BuildToolbar();
    QWidget* AddPage(const QString& Caption);
    // Every page from its table, then what the tables leave: signals, lists.
    void BuildPages();
    void SetUpSourceList();
    // The filter box and the records list, once the list has its model.
    void SetUpRecordsPage();
    void LoadReport();
    // Every change of the filter text, typed or set, filters again.
    void FilterChange();
    void SetStatus(const QString& Text);
    // The page Step pages on from the current one, round from the last to the first.
    void StepPage(int Step);
    // Highlights the caption of the tab under the pointer (-1 = none).
    void SetHoverTab(int Index);
    void FitKpiFonts();
    void FitCountLabel();

    // Lays out the page (or list) whose resize the event filter saw.
    void PageResized(QObject* Watched);
    void OverviewPageResize();
    void TimePageResize();
    void DomainPageResize();
    void PagesPageResize();
    void BrowserPageResize();
    void SrcPageResize();
    void RecPageResize();

    // Document and what was read from it.
    std::unique_ptr<TJsonValue> FData;
    const TJsonValue* FRecords = nullptr;
    QByteArray FRawJson;
    QString FOutDir;
    QString FSourceFile;
    bool FNoData = false;
    TReportContent FContent;
    qint64 FTotal = 0;
    int FShown = 0;
    int FBrCount = 0;
    TFilterIndex FFilterIndex;
    QStringList FShownTerms;  // the filter the records page shows
    int FHoverTab = -1;

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
    QWidget* FPgRecords = nullptr;
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
    QTableView* FRecList = nullptr;
    TRecordsModel* FRecModel = nullptr;
    QLineEdit* FEdFilter = nullptr;
    QLabel* FLblRecInfo = nullptr;
    QLabel* FLblTrendSpan = nullptr;
    QLabel* FLblBrsInfo = nullptr;
    TCard* FBrsInfoCard = nullptr;
    std::array<QLabel*, 5> FBrsInfoVal{};
};

// Opens a report window for a finished run and returns at once; every call
// opens a further window. The window is deleted when it is closed.
TReportForm* ShowReportWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                              const QString& OutDir, bool NoData);

struct TReportFile;
// The same for a report file that loaded; it saves into the file's folder.
TReportForm* ShowReportFile(QWidget* Owner, TReportFile&& File);
