#include "report_form.h"

#include "window_setup.h"

#include "anchors.h"
#include "atomic_file.h"
#include "bar_chart.h"
#include "control_factory.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "json.h"
#include "msg_box.h"
#include "palette.h"
#include "rank_chart.h"
#include "records_page.h"
#include "report_file_name.h"
#include "report_load.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// The tab bar of the report window: the tab under the pointer shows its
// caption in the accent colour.
class THoverTabBar final : public QTabBar {
public:
    explicit THoverTabBar(QWidget* Parent) : QTabBar(Parent)
    {
        setAttribute(Qt::WA_Hover, true);
        setMouseTracking(true);
    }

protected:
    void mouseMoveEvent(QMouseEvent* Event) override
    {
        SetHover(tabAt(Event->position().toPoint()));
        QTabBar::mouseMoveEvent(Event);
    }
    void leaveEvent(QEvent* Event) override
    {
        SetHover(-1);
        QTabBar::leaveEvent(Event);
    }
    void hideEvent(QHideEvent* Event) override
    {
        SetHover(-1);
        QTabBar::hideEvent(Event);
    }

private:
    // Repaints only when the tab under the pointer changes.
    void SetHover(int Index)
    {
        if (Index == FHover)
            return;
        if (FHover >= 0 && FHover < count())
            setTabTextColor(FHover, QColor());
        FHover = Index;
        if (Index >= 0)
            setTabTextColor(Index, ToQColor(clAccent));
    }

    int FHover = -1;
};

class TReportTabs final : public QTabWidget {
public:
    explicit TReportTabs(QWidget* Parent) : QTabWidget(Parent) { setTabBar(new THoverTabBar(this)); }
};

// Writes Bytes as the whole file Path in Folder, made with its parents first;
// a file of that name is replaced only once every byte is on disk. False
// with the system's reason in Error.
bool WriteReportFile(const QString& Folder, const QString& Path, const QByteArray& Bytes, QString& Error)
{
    // Made here rather than through EnsureDir so that a failure can name its reason.
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(Folder.toStdU16String()), Ec);
    if (Ec && !DirExists(Folder)) {
        Error = CleanSystemText(QString::fromLocal8Bit(Ec.message()));
        return false;
    }
    TAtomicFile File;
    if (!File.Open(Path) || !File.Write(Bytes.constData(), Bytes.size()) ||
        !File.Commit(Path, TAtomicFile::cmReplace)) {
        Error = File.ErrorString();
        return false;
    }
    return true;
}

} // namespace

TReportForm::TReportForm(QWidget* Owner, TLoadedReport&& Report, const QString& OutDir)
    : QWidget(Owner, Qt::Window)
    , FData(std::move(Report.Data))
    , FRawJson(std::move(Report.Bytes))
    , FOutDir(Report.Path.isEmpty() ? OutDir : QDir::toNativeSeparators(QFileInfo(Report.Path).absolutePath()))
    , FSourceFile(Report.Path)
    , FContent(std::move(Report.Content))
{
    FClient = SetupResultWindow(this, Owner, QStringLiteral("采集报告"), QSize(kClientW, kClientH),
                                QSize(kMinW, kMinH));
    FClient->setObjectName(QStringLiteral("Client"));

    BuildUi();
    FPgRecords->SetExportFolder(FOutDir);
    FPgRecords->SetRecords(FData ? FData->Get(QLatin1StringView("records")) : nullptr, std::move(Report.Filter),
                           std::move(Report.Keys), std::move(Report.Rows), FContent.Total);
    LoadReport();
    if (!FSourceFile.isEmpty())
        ShowSourceFile();
    LayoutAll();
}

TReportForm::TReportForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                         const QString& OutDir, bool NoData)
    : TReportForm(Owner, PrepareReport(std::move(Data), RawJson, NoData), OutDir)
{
}

TReportForm::~TReportForm()
{
    // The document goes before the child widgets; the records page must not
    // be left pointing into it meanwhile.
    FPgRecords->SetRecords(nullptr, TFilterIndex(), TRecordKeys(), {}, 0);
}

void TReportForm::BuildUi()
{
    const int W = kClientW;
    SetAnchors(MakePanel(FClient, 0, 0, W, 4, clAccent), akStretch);

    FStatus = new QStatusBar(FClient);
    FStatus->setObjectName(QStringLiteral("Status"));
    FStatus->setSizeGripEnabled(true);
    FStatus->setGeometry(0, kClientH - 24, W, 24);
    FStatusText = new QLabel(FStatus);
    FStatusText->setObjectName(QStringLiteral("StatusText"));
    ApplyUiFont(FStatusText, 9, fsRegular, clText);
    FStatus->addWidget(FStatusText, 1);
    SetAnchors(FStatus, akLeft | akRight | akBottom);

    BuildHeader();
    BuildToolbar();

    FTabs = new TReportTabs(FClient);
    FTabs->setObjectName(QStringLiteral("Tabs"));
    FTabs->setGeometry(0, 126, W, kClientH - 126 - 24 - 6);
    FTabs->setDocumentMode(false);
    ApplyUiFont(FTabs, 9, fsRegular, clText);
    SetAnchors(FTabs, akFill);
    // The pages switch from wherever the focus is, not only inside the page
    // control (the toolbar has it when the window opens).
    const std::pair<QKeySequence, int> PageKeys[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [Keys, Step] : PageKeys)
        connect(new QShortcut(Keys, this), &QShortcut::activated, this, [this, Step = Step] { StepPage(Step); });

    BuildPages();
    connect(FPgRecords, &TRecordsPage::StatusMessage, this, &TReportForm::SetStatus);
}

void TReportForm::BuildHeader()
{
    const int W = kClientW;
    QWidget* Header = MakePanel(FClient, 0, 4, W, 74, clWhite);
    SetAnchors(Header, akStretch);
    FLblTitle = MakeLabel(Header, QStringLiteral("采集报告"), 20, 10, 700, 30, 17, fsBold, clText);
    FLblTitle->setObjectName(QStringLiteral("LblTitle"));
    FLblDetail = MakeLabel(Header, QString(), 22, 46, W - 320, 18, 9, fsRegular, clSecondary);
    FLblDetail->setObjectName(QStringLiteral("LblDetail"));
    SetAnchors(FLblDetail, akStretch);
    FLblCount = MakeLabel(Header, QString(), W - 264, 18, 240, 28, 12, fsBold, clAccent);
    FLblCount->setObjectName(QStringLiteral("LblCount"));
    FLblCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblCount, akTop | akRight);
    FLblFile = MakeLabel(Header, QString(), W - 264, 48, 240, 18, 9, fsRegular, clSecondary);
    FLblFile->setObjectName(QStringLiteral("LblFile"));
    FLblFile->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblFile, akTop | akRight);
    SetAnchors(MakePanel(FClient, 0, 78, W, 1, clBorder), akStretch);
}

void TReportForm::BuildToolbar()
{
    QWidget* Bar = MakePanel(FClient, 0, 82, kClientW, 44, clWindowBg);
    SetAnchors(Bar, akStretch);
    connect(MakeButton(Bar, QStringLiteral("保存 JSON"), 12, 8, 108, 28, bkPrimary), &TFlatButton::clicked, this,
            &TReportForm::SaveJson);
    connect(MakeButton(Bar, QStringLiteral("复制选中"), 128, 8, 100, 28, bkSecondary), &TFlatButton::clicked, this,
            [this] { FPgRecords->CopySelected(); });
    connect(MakeButton(Bar, QStringLiteral("打开保存目录"), 236, 8, 116, 28, bkSecondary), &TFlatButton::clicked,
            this, &TReportForm::OpenSaveFolder);
    auto* Export = MakeButton(Bar, QStringLiteral("导出 CSV"), 360, 8, 100, 28, bkSecondary);
    Export->setToolTip(QStringLiteral("把“访问明细”当前显示的记录导出为 CSV 文件（Ctrl+E）"));
    connect(Export, &TFlatButton::clicked, this, [this] { FPgRecords->ExportCsv(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), this), &QShortcut::activated, this,
            [this] { FPgRecords->ExportCsv(); });
}

void TReportForm::LoadReport()
{
    const TReportContent& M = FContent;
    setWindowTitle(M.Caption);
    FLblTitle->setText(M.Title);
    FLblDetail->setText(M.Detail);
    FitKpiFonts();
    FLblCount->setText(M.CountText);
    FitCountLabel();
    FLblTrendSpan->setText(M.TrendSpan);
    for (int I = 0; I < 6; ++I)
        FInfoVal[I]->setText(M.InfoVal[I]);
    for (int I = 0; I < 5; ++I)
        FBrsInfoVal[I]->setText(M.BrsInfoVal[I]);
    FLblBrsInfo->setText(M.BrsNote);

    FHeatChart->SetMatrix(M.Heat);
    FBarChart->SetPoints(M.Days);
    FDnsChart->SetEntries(M.Doms);
    FPgsChart->SetEntries(M.Pgs);
    FKwsChart->SetEntries(M.Kws);
    FBrsChart->SetEntries(M.Brs);
    BrowserPageResize();
    FDonut->SetSlices(M.Cats);

    FSrcList->setUpdatesEnabled(false);
    FSrcList->setRowCount(0);
    FSrcList->setRowCount(int(M.Sources.size()));
    for (int R = 0; R < M.Sources.size(); ++R) {
        const QStringList Cells = ReportSourceCells(M.Sources[R]);
        for (int C = 0; C < Cells.size(); ++C) {
            auto* Item = new QTableWidgetItem(Cells[C]);
            // The message and the file path are the cells likely cut off.
            Item->setToolTip(C >= 4 ? Cells[C] : QString());
            FSrcList->setItem(R, C, Item);
        }
    }
    FitNumberColumn(FSrcList, 3, 70);
    FitLastColumn(FSrcList);
    FSrcList->setUpdatesEnabled(true);

    SetStatus(ReportStatusText(M, Shown()));
}

void TReportForm::FitCountLabel()
{
    // The count grows to the left as far as it needs: a total that lost its
    // leading digits would read as a smaller one.
    const int Need = FLblCount->fontMetrics().horizontalAdvance(FLblCount->text()) + 2;
    const QRect G = FLblCount->geometry();
    if (Need <= G.width())
        return;
    FLblCount->setGeometry(G.right() + 1 - Need, G.top(), Need, G.height());
    SetAnchors(FLblCount, akTop | akRight);
}

void TReportForm::StepPage(int Step)
{
    const int N = FTabs->count();
    FTabs->setCurrentIndex(((FTabs->currentIndex() + Step) % N + N) % N);
}

void TReportForm::SetStatus(const QString& Text)
{
    FStatusText->setText(Text);
}

QString TReportForm::StatusText() const
{
    return FStatusText->text();
}

int TReportForm::Shown() const
{
    return FPgRecords->Shown();
}

qsizetype TReportForm::FilterBytes() const
{
    return FPgRecords->FilterBytes();
}

void TReportForm::FilterBy(const QString& Text)
{
    FPgRecords->SetFilter(Text);
    FTabs->setCurrentWidget(FPgRecords);
    FPgRecords->FocusFilter();
}

void TReportForm::Drill(TChipKind Kind, int Item)
{
    const std::optional<TRecordChip> Chip = DrillChip(FContent, Kind, Item);
    if (!Chip)
        return;
    FPgRecords->AddChip(*Chip);
    FTabs->setCurrentWidget(FPgRecords);
    FPgRecords->FocusFilter();
}

void TReportForm::SaveJson()
{
    if (FRawJson.isEmpty()) {
        WarnBox(this, QStringLiteral("没有可保存的数据。"));
        return;
    }
    QString Folder = FOutDir;
    QString Path;
    if (!FSourceFile.isEmpty()) {
        // A report opened from a file sits in a file already: a copy goes
        // where the user says.
        if (!PickSaveFile(QStringLiteral("保存 JSON"), FSourceFile, QStringLiteral("采集报告 (*.json)"), Path))
            return;
        Path = QDir::toNativeSeparators(Path);
        Folder = QFileInfo(Path).absolutePath();
    } else {
        if (FOutDir.isEmpty()) {
            WarnBox(this, QStringLiteral("请先在主界面设置保存位置。"));
            return;
        }
        Path = JoinPath(FOutDir, ReportFileName(QDateTime::currentDateTime(), u"json"));
    }
    QString Error;
    if (!WriteReportFile(Folder, Path, FRawJson, Error)) {
        ErrorBox(this, QStringLiteral("保存失败：") + Error);
        return;
    }
    SetStatus(QStringLiteral("已保存：") + Path);
    RevealInExplorer(Path);
}

void TReportForm::OpenSaveFolder()
{
    if (!FOutDir.isEmpty() && DirExists(FOutDir)) {
        RevealInExplorer(FOutDir);
        return;
    }
    InfoBox(this, QStringLiteral("保存目录还不存在：") + FOutDir + QStringLiteral("\r\n")
                      + QStringLiteral("可以先点“保存 JSON”自动创建。"));
}

void TReportForm::ShowSourceFile()
{
    const QString Name = QFileInfo(FSourceFile).fileName();
    setWindowTitle(FContent.Caption + QStringLiteral(" — ") + Name);
    FLblFile->setText(QFontMetrics(FLblFile->font()).elidedText(QStringLiteral("文件：") + Name, Qt::ElideMiddle,
                                                                 FLblFile->width()));
    FLblFile->setToolTip(FSourceFile);
}

void TReportForm::DomainDblClick(int Index)
{
    if (Index >= 0 && Index < FContent.Doms.size())
        FilterBy(FContent.Doms[Index].Name);
}

void TReportForm::PageDblClick(int Index)
{
    if (Index >= 0 && Index < FContent.PageUrls.size())
        FilterBy(FContent.PageUrls[Index]);
}

TReportForm* ShowReportWindow(QWidget* Owner, TLoadedReport&& Report, const QString& OutDir)
{
    auto* Form = new TReportForm(Owner, std::move(Report), OutDir);
    // A closed window cannot be shown again, so it gives back its document
    // (hundreds of megabytes for a large report) instead of waiting for the
    // owner to end.
    Form->setAttribute(Qt::WA_DeleteOnClose);
    Form->show();
    return Form;
}

TReportForm* ShowReportWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                              const QString& OutDir, bool NoData)
{
    return ShowReportWindow(Owner, PrepareReport(std::move(Data), RawJson, NoData), OutDir);
}
