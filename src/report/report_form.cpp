#include "report_form.h"

#include "window_setup.h"

#include "anchors.h"
#include "bar_chart.h"
#include "card.h"
#include "control_factory.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "json.h"
#include "msg_box.h"
#include "palette.h"
#include "rank_chart.h"
#include "records_csv.h"
#include "records_model.h"
#include "report_file.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QKeySequence>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// Pages are built for this size (the page area of a 1120 x 760 window);
// anchored controls keep their distances to it as the real page size varies.
constexpr int kPageW = 1112;
constexpr int kPageH = 572;

const char* const kPageNames[7] = {"概览", "时段分布", "域名与类别", "页面与关键词", "浏览器", "数据源", "访问明细"};
const char* const kPageDescs[7] = {"关键指标、采集概况与记录跨度",
                                   "星期 × 小时热力图 + 按日趋势",
                                   "访问最多域名 Top 15、站点类别占比环形图",
                                   "访问最多页面 Top 12、搜索关键词 Top 12",
                                   "各浏览器来源次数与采集概况",
                                   "各数据源状态、条数与异常说明",
                                   "全部记录：可搜索、复制、双击打开网址"};
const char* const kKpiCaptions[5] = {"访问次数", "不同网址", "不同域名", "活跃天数", "最活跃时段"};
const char* const kInfoCaptions[4] = {"数据源", "异常源", "活跃天数", "日均访问"};
const char* const kBrsCaptions[5] = {"数据源", "异常源", "活跃天数", "日均访问", "记录跨度"};

constexpr unsigned kStretch = akLeft | akTop | akRight;
constexpr unsigned kFill = akLeft | akTop | akRight | akBottom;

QString U(const char* Utf8)
{
    return QString::fromUtf8(Utf8);
}

// A column-view list as both lists of the window use it: whole rows, no
// editing, no grid, no sorting, headers that do nothing when clicked.
void SetUpList(QTableView* List)
{
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setShowGrid(false);
    List->setSortingEnabled(false);
    List->setWordWrap(false);
    List->setTextElideMode(Qt::ElideRight);
    List->setFrameShape(QFrame::StyledPanel);
    List->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    List->verticalHeader()->hide();
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->verticalHeader()->setDefaultSectionSize(22);
    List->horizontalHeader()->setSectionsClickable(false);
    List->horizontalHeader()->setHighlightSections(false);
    List->horizontalHeader()->setStretchLastSection(false);
    List->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    List->setAutoFillBackground(true);
    QPalette P = List->palette();
    P.setColor(QPalette::Base, ToQColor(clWhite));
    List->setPalette(P);
    ApplyUiFont(List, 9, fsRegular, clText);
}

// The records list: a letter typed there does nothing special (the view's
// type-ahead search would jump to a matching row and replace the selection),
// and the focus frame goes round the whole current row, as rows are what the
// list selects.
class TRecordsView final : public QTableView {
public:
    using QTableView::QTableView;
    void keyboardSearch(const QString&) override {}

protected:
    void paintEvent(QPaintEvent* Event) override
    {
        QTableView::paintEvent(Event);
        const QModelIndex Current = currentIndex();
        if (!hasFocus() || !Current.isValid() || !model())
            return;
        const int Last = model()->columnCount() - 1;
        const QRect Row = visualRect(Current.siblingAtColumn(0)).united(visualRect(Current.siblingAtColumn(Last)));
        if (Row.isEmpty())
            return;
        QStyleOptionFocusRect Opt;
        Opt.initFrom(this);
        Opt.rect = Row.adjusted(0, 0, -1, -1);
        Opt.backgroundColor = palette().color(QPalette::Base);
        QPainter P(viewport());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Opt, &P, this);
    }
};

void SetWhiteBackground(QWidget* W)
{
    QPalette P = W->palette();
    P.setColor(QPalette::Window, ToQColor(clWhite));
    W->setPalette(P);
    W->setAutoFillBackground(true);
}

QLabel* Title(QWidget* Page, const char* Text, int L, int T, int W)
{
    return MakeLabel(Page, U(Text), L, T, W, 20, 10, fsBold, clText);
}

// Lets the last column of a list take the remaining width, always leaving room
// for a vertical scroll bar so no horizontal one appears. Nothing happens when
// the rest would be 80 px or less.
void FitLastColumn(QTableView* List)
{
    if (!List || !List->model())
        return;
    const int Columns = List->model()->columnCount();
    if (Columns <= 0)
        return;
    int Others = 0;
    for (int C = 0; C < Columns - 1; ++C)
        Others += List->columnWidth(C);
    const int ScrollBar = List->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, List);
    const int Avail = List->contentsRect().width() - Others - ScrollBar - 4;
    if (Avail > 80)
        List->setColumnWidth(Columns - 1, Avail);
}

}  // namespace

TReportForm::TReportForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                         const QString& OutDir, bool NoData)
    : QWidget(Owner, Qt::Window)
    , FData(std::move(Data))
    , FRawJson(RawJson)
    , FOutDir(OutDir)
    , FNoData(NoData)
{
    FRecords = FData ? FData->Get(QLatin1StringView("records")) : nullptr;

    SetupResultWindow(this, Owner, QStringLiteral("采集报告"), QSize(kClientW, kClientH),
                      QSize(kMinW, kMinH));

    BuildUi();
    LoadReport();
    LayoutAll();
}

TReportForm::~TReportForm()
{
    // The document goes before the child widgets; the list must not be left
    // pointing into it meanwhile.
    if (FRecModel)
        FRecModel->SetSource(nullptr);
}

void TReportForm::BuildUi()
{
    const int W = kClientW;
    SetAnchors(MakePanel(this, 0, 0, W, 4, clAccent), kStretch);

    FStatus = new QStatusBar(this);
    FStatus->setSizeGripEnabled(true);
    FStatus->setGeometry(0, kClientH - 24, W, 24);
    FStatusText = new QLabel(FStatus);
    ApplyUiFont(FStatusText, 9, fsRegular, clText);
    FStatus->addWidget(FStatusText, 1);
    SetAnchors(FStatus, akLeft | akRight | akBottom);

    BuildHeader();
    BuildToolbar();

    FTabs = new QTabWidget(this);
    FTabs->setGeometry(0, 126, W, kClientH - 126 - 24 - 6);
    FTabs->setDocumentMode(false);
    FTabs->tabBar()->setAttribute(Qt::WA_Hover, true);
    // The tab under the pointer shows its caption in the accent colour.
    FTabs->tabBar()->setMouseTracking(true);
    FTabs->tabBar()->installEventFilter(this);
    ApplyUiFont(FTabs, 9, fsRegular, clText);
    SetAnchors(FTabs, kFill);

    FPgOverview = AddPage(U(kPageNames[0]));
    FPgTime = AddPage(U(kPageNames[1]));
    FPgDomain = AddPage(U(kPageNames[2]));
    FPgPage = AddPage(U(kPageNames[3]));
    FPgBrowser = AddPage(U(kPageNames[4]));
    FPgSource = AddPage(U(kPageNames[5]));
    FPgRecords = AddPage(U(kPageNames[6]));
    for (QWidget* Page : {FPgOverview, FPgTime, FPgDomain, FPgPage, FPgBrowser, FPgSource, FPgRecords})
        Page->installEventFilter(this);

    BuildOverviewPage();
    BuildTimePage();
    BuildDomainPage();
    BuildPagesPage();
    BuildBrowserPage();
    BuildSourcePage();
    BuildRecordsPage();
    FTabs->setCurrentWidget(FPgOverview);
}

void TReportForm::BuildHeader()
{
    const int W = kClientW;
    QWidget* Header = MakePanel(this, 0, 4, W, 74, clWhite);
    SetAnchors(Header, kStretch);
    FLblTitle = MakeLabel(Header, QStringLiteral("采集报告"), 20, 10, 700, 30, 17, fsBold, clText);
    FLblDetail = MakeLabel(Header, QString(), 22, 46, W - 320, 18, 9, fsRegular, clSecondary);
    SetAnchors(FLblDetail, kStretch);
    FLblCount = MakeLabel(Header, QString(), W - 264, 18, 240, 28, 12, fsBold, clAccent);
    FLblCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblCount, akTop | akRight);
    FLblFile = MakeLabel(Header, QString(), W - 264, 48, 240, 18, 9, fsRegular, clSecondary);
    FLblFile->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblFile, akTop | akRight);
    SetAnchors(MakePanel(this, 0, 78, W, 1, clBorder), kStretch);
}

void TReportForm::BuildToolbar()
{
    QWidget* Bar = MakePanel(this, 0, 82, kClientW, 44, clWindowBg);
    SetAnchors(Bar, kStretch);
    connect(MakeButton(Bar, QStringLiteral("保存 JSON"), 12, 8, 108, 28, bkPrimary), &TFlatButton::clicked, this,
            &TReportForm::SaveJson);
    connect(MakeButton(Bar, QStringLiteral("复制选中"), 128, 8, 100, 28, bkSecondary), &TFlatButton::clicked, this,
            &TReportForm::CopySelected);
    connect(MakeButton(Bar, QStringLiteral("打开保存目录"), 236, 8, 116, 28, bkSecondary), &TFlatButton::clicked,
            this, &TReportForm::OpenSaveFolder);
    auto* Export = MakeButton(Bar, QStringLiteral("导出 CSV"), 360, 8, 100, 28, bkSecondary);
    Export->setToolTip(QStringLiteral("把“访问明细”当前显示的记录导出为 CSV 文件（Ctrl+E）"));
    connect(Export, &TFlatButton::clicked, this, &TReportForm::ExportCsv);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), this), &QShortcut::activated, this,
            &TReportForm::ExportCsv);
}

QWidget* TReportForm::AddPage(const QString& Caption)
{
    auto* Page = new QWidget;
    FTabs->addTab(Page, Caption);
    SetWhiteBackground(Page);
    ApplyUiFont(Page, 9, fsRegular, clText);
    // The tab widget sizes a page only once it is shown; build on the size it
    // will have in a window of the initial size.
    Page->resize(kPageW, kPageH);
    return Page;
}

void TReportForm::BuildOverviewPage()
{
    QWidget* Pg = FPgOverview;
    for (int I = 0; I < 5; ++I) {
        FKpiCard[I] = MakeCard(Pg, QString(), 12 + 212 * I, 12, 200, 88);
        FKpiVal[I] = MakeLabel(FKpiCard[I], EmDash(), 16, 12, 168, 34, 18, fsBold, clText);
        SetAnchors(FKpiVal[I], kStretch);
        SetAnchors(MakeLabel(FKpiCard[I], U(kKpiCaptions[I]), 16, 50, 168, 18, 9, fsRegular, clSecondary), kStretch);
    }
    FInfoCard = MakeCard(Pg, QStringLiteral("采集概况"), 12, 116, 1096, 156);
    for (int I = 0; I < 4; ++I) {
        FInfoVal[I] = MakeLabel(FInfoCard, EmDash(), 20 + 264 * I, 40, 240, 26, 13, fsBold, clText);
        MakeLabel(FInfoCard, U(kInfoCaptions[I]), 20 + 264 * I, 68, 240, 18, 9, fsRegular, clSecondary);
    }
    MakeLabel(FInfoCard, QStringLiteral("记录跨度"), 20, 100, 70, 18, 9, fsRegular, clSecondary);
    FInfoVal[4] = MakeLabel(FInfoCard, EmDash(), 92, 100, 900, 18, 9, fsRegular, clText);
    SetAnchors(FInfoVal[4], kStretch);
    MakeLabel(FInfoCard, QStringLiteral("生成时间"), 20, 124, 70, 18, 9, fsRegular, clSecondary);
    FInfoVal[5] = MakeLabel(FInfoCard, EmDash(), 92, 124, 900, 18, 9, fsRegular, clText);
    SetAnchors(FInfoVal[5], kStretch);

    SetAnchors(MakeNote(Pg, QStringLiteral("全部统计与明细都在本机生成，报告内容不离开本机。"), 14, 286, 1000, 18),
               kStretch);

    FIndexCard = MakeCard(Pg, QStringLiteral("报告内容"), 12, 312, 1096, 210);
    for (int I = 0; I < 7; ++I) {
        FIdxName[I] = MakeLabel(FIndexCard, U(kPageNames[I]), 20, 48 + 38 * I, 96, 20, 9, fsBold, clText);
        FIdxDesc[I] = MakeLabel(FIndexCard, U(kPageDescs[I]), 120, 49 + 38 * I, 440, 20, 9, fsRegular, clSecondary);
    }
}

void TReportForm::BuildTimePage()
{
    QWidget* Pg = FPgTime;
    Title(Pg, "时段热力图", 16, 10, 300);
    MakeNote(Pg, QStringLiteral("按星期 × 小时统计访问次数，颜色越深越活跃；鼠标悬停查看具体次数"), 16, 30, 700, 18);
    FHeatChart = new THeatChart(Pg);
    FHeatChart->setGeometry(16, 52, 1080, 240);
    Title(Pg, "按日趋势", 16, 302, 100);
    FLblTrendSpan = MakeLabel(Pg, QString(), 110, 304, 900, 18, 8, fsRegular, clSecondary);
    FBarChart = new TBarChart(Pg);
    FBarChart->setGeometry(16, 324, 1080, 200);
}

void TReportForm::BuildDomainPage()
{
    QWidget* Pg = FPgDomain;
    Title(Pg, "访问最多域名", 16, 10, 300);
    MakeNote(Pg, QStringLiteral("Top 15 · 双击一行可在“访问明细”中按该域名筛选"), 16, 30, 620, 18);
    FDnsChart = new TRankChart(Pg);
    FDnsChart->setGeometry(16, 52, 660, 480);
    connect(FDnsChart, &TRankChart::ItemDblClicked, this, &TReportForm::DomainDblClick);
    FCatTitle = Title(Pg, "站点类别", 700, 10, 300);
    FCatNote = MakeNote(Pg, QStringLiteral("按域名规则归类，环形图占比与右侧数量一致"), 700, 30, 380, 18);
    FDonut = new TDonutChart(Pg);
    FDonut->setGeometry(700, 52, 380, 300);
}

void TReportForm::BuildPagesPage()
{
    QWidget* Pg = FPgPage;
    Title(Pg, "访问最多页面", 16, 10, 300);
    MakeNote(Pg, QStringLiteral("Top 12 · 双击一行可在“访问明细”中按该网址筛选"), 16, 30, 480, 18);
    FPgsChart = new TRankChart(Pg);
    FPgsChart->setGeometry(16, 52, 520, 480);
    connect(FPgsChart, &TRankChart::ItemDblClicked, this, &TReportForm::PageDblClick);
    FKwsTitle = Title(Pg, "搜索关键词", 556, 10, 300);
    FKwsNote = MakeNote(Pg, QStringLiteral("Top 12 · 来自各搜索引擎 URL 的查询参数"), 556, 30, 500, 18);
    FKwsChart = new TRankChart(Pg);
    FKwsChart->setGeometry(556, 52, 520, 480);
}

void TReportForm::BuildBrowserPage()
{
    QWidget* Pg = FPgBrowser;
    Title(Pg, "浏览器分布", 16, 10, 300);
    MakeNote(Pg, QStringLiteral("按记录来源浏览器统计；同一浏览器的多个用户配置已合并计数"), 16, 30, 700, 18);
    FBrsChart = new TRankChart(Pg);
    FBrsChart->setGeometry(16, 52, 660, 380);
    FBrsInfoCard = MakeCard(Pg, QStringLiteral("采集概况"), 690, 52, 380, 244);
    for (int I = 0; I < 5; ++I) {
        MakeLabel(FBrsInfoCard, U(kBrsCaptions[I]), 18, 46 + 34 * I, 76, 18, 9, fsRegular, clSecondary);
        FBrsInfoVal[I] = MakeLabel(FBrsInfoCard, EmDash(), 100, 46 + 34 * I, 200, 18, 9, fsRegular, clText);
        SetAnchors(FBrsInfoVal[I], kStretch);
    }
    FLblBrsInfo = MakeLabel(Pg, QString(), 16, 300, 660, 34, 8, fsRegular, clSecondary);
    FLblBrsInfo->setWordWrap(true);
}

void TReportForm::BuildSourcePage()
{
    QWidget* Pg = FPgSource;
    Title(Pg, "数据源状态", 16, 10, 300);
    MakeNote(Pg, QStringLiteral("采集范围与异常说明；只读采集，不修改任何浏览器数据"), 16, 30, 700, 18);
    FSrcList = new QTableWidget(0, 6, Pg);
    SetUpList(FSrcList);
    FSrcList->setSelectionMode(QAbstractItemView::SingleSelection);
    FSrcList->setItemDelegate(MakeListDelegate(5, FSrcList));
    FSrcList->setHorizontalHeaderLabels({QStringLiteral("浏览器"), QStringLiteral("配置/用户"), QStringLiteral("状态"),
                                         QStringLiteral("条数"), QStringLiteral("说明"), QStringLiteral("库文件")});
    const int Widths[6] = {150, 190, 110, 70, 240, 300};
    for (int C = 0; C < 6; ++C)
        FSrcList->setColumnWidth(C, Widths[C]);
    FSrcList->setGeometry(16, 54, 1080, 460);
    SetAnchors(FSrcList, kFill);
    FSrcList->installEventFilter(this);
}

void TReportForm::BuildRecordsPage()
{
    QWidget* Pg = FPgRecords;
    FEdFilter = MakeEdit(Pg, 16, 12, 340, 24, QString());
    const QString Cue = QStringLiteral("搜索标题、网址或域名，空格分词");
    FEdFilter->setPlaceholderText(Cue);
    FEdFilter->setClearButtonEnabled(false);
    connect(FEdFilter, &QLineEdit::textChanged, this, &TReportForm::FilterChange);
    FEdFilter->installEventFilter(this);

    FLblRecInfo = MakeLabel(Pg, QString(), 368, 15, 700, 18, 9, fsRegular, clSecondary);
    SetAnchors(FLblRecInfo, kStretch);

    FRecList = new TRecordsView(Pg);
    FRecModel = new TRecordsModel(FRecList);
    FRecModel->SetSource(FRecords);
    FRecList->setModel(FRecModel);
    SetUpList(FRecList);
    FRecList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FRecList->setItemDelegate(MakeListDelegate(-1, FRecList));
    const int Widths[TRecordsModel::rcColumnCount] = {140, 120, 130, 360, 400};
    for (int C = 0; C < TRecordsModel::rcColumnCount; ++C)
        FRecList->setColumnWidth(C, Widths[C]);
    FRecList->setGeometry(16, 48, 1080, 470);
    SetAnchors(FRecList, kFill);
    FRecList->installEventFilter(this);
    connect(FRecList, &QAbstractItemView::doubleClicked, this, [this] { RecListDblClick(); });

    FFilterIndex.Build(FRecords);
}

void TReportForm::LoadReport()
{
    const TReportModel& M = FModel = BuildReportModel(FData.get(), FNoData);
    setWindowTitle(M.Caption);
    FLblTitle->setText(M.Title);
    FLblDetail->setText(M.Detail);
    for (int I = 0; I < 5; ++I)
        FKpiVal[I]->setText(M.KpiVal[I]);
    FitKpiFonts();
    FTotal = M.Total;
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
    FBrCount = M.BrCount;
    BrowserPageResize();
    FDonut->SetSlices(M.Cats);

    FSrcList->setUpdatesEnabled(false);
    FSrcList->setRowCount(0);
    FSrcList->setRowCount(int(M.Sources.size()));
    for (int R = 0; R < M.Sources.size(); ++R) {
        const TSourceRow& S = M.Sources[R];
        const QString Cells[6] = {S.Name, S.Profile, S.Status, QString::number(S.Count), S.Msg, S.Path};
        for (int C = 0; C < 6; ++C) {
            auto* Item = new QTableWidgetItem(Cells[C]);
            Item->setToolTip(C >= 4 ? Cells[C] : QString());
            FSrcList->setItem(R, C, Item);
        }
    }
    FitNumberColumn(FSrcList, 3, 70);
    FitLastColumn(FSrcList);
    FSrcList->setUpdatesEnabled(true);

    ApplyFilter();
    SetStatus(ReportStatusText(M, FShown));
}

void TReportForm::SetStatus(const QString& Text)
{
    FStatusText->setText(Text);
}

QString TReportForm::StatusText() const
{
    return FStatusText->text();
}

void TReportForm::ApplyFilter()
{
    const QStringList Terms = ParseFilterTerms(FEdFilter->text());
    std::vector<int> Rows = FFilterIndex.Match(Terms);
    FShown = int(Rows.size());
    FRecModel->SetRows(std::move(Rows));
    FitLastColumn(FRecList);
    FLblRecInfo->setText(Terms.isEmpty()
                             ? QStringLiteral("共 %1 条，双击一行用默认浏览器打开；Ctrl+C 复制选中").arg(FormatCount(FTotal))
                             : QStringLiteral("共 %1 条，当前筛选 %2 条").arg(FormatCount(FTotal), FormatCount(FShown)));
}

void TReportForm::FilterChange()
{
    ApplyFilter();
}

void TReportForm::FilterBy(const QString& Text)
{
    // Setting the same text again emits no change, yet the rows must be fresh.
    const bool Same = FEdFilter->text() == Text;
    FEdFilter->setText(Text);
    if (Same)
        ApplyFilter();
    FTabs->setCurrentWidget(FPgRecords);
    FEdFilter->setFocus(Qt::OtherFocusReason);
}

const TJsonValue* TReportForm::RecordAt(int Index) const
{
    return FRecModel->RecordAt(Index);
}

void TReportForm::RecListDblClick()
{
    const QModelIndexList Rows = FRecList->selectionModel()->selectedRows();
    if (Rows.isEmpty())
        return;
    int First = Rows.first().row();
    for (const QModelIndex& I : Rows)
        First = std::min(First, I.row());
    const TJsonValue* Record = RecordAt(First);
    const QString Url = Record ? Record->S(QLatin1StringView("url")) : QString();
    if (!Url.isEmpty())
        ShellOpen(Url);
    else
        InfoBox(this, QStringLiteral("这条记录没有网址。"));
}

QString TReportForm::SelectedText(int* Lines) const
{
    // Ranges rather than one index per row, so selecting everything in a
    // large list stays cheap; rows outside the viewport count as well.
    std::vector<int> Rows;
    for (const QItemSelectionRange& R : FRecList->selectionModel()->selection())
        for (int Row = R.top(); Row <= R.bottom(); ++Row)
            Rows.push_back(Row);
    std::sort(Rows.begin(), Rows.end());
    Rows.erase(std::unique(Rows.begin(), Rows.end()), Rows.end());
    QString Text;
    int Count = 0;
    const QString Tab = QStringLiteral("\t");
    for (int Row : Rows) {
        const TJsonValue* Record = RecordAt(Row);
        if (!Record)
            continue;
        const TRecordText T = ReadRecordText(Record);
        Text += BoundedText(T.Time) + Tab + BoundedText(T.Browser) + Tab + BoundedText(T.Title) + Tab
                + BoundedText(T.Url) + QStringLiteral("\r\n");
        ++Count;
    }
    if (Lines)
        *Lines = Count;
    return Text;
}

void TReportForm::CopySelected()
{
    int Lines = 0;
    const QString Text = SelectedText(&Lines);
    if (Lines == 0) {
        InfoBox(this, QStringLiteral("请先在“访问明细”页选择要复制的行（可按住 Ctrl / Shift 多选）。"));
        return;
    }
    QGuiApplication::clipboard()->setText(Text);
    SetStatus(QStringLiteral("已复制 %1 行到剪贴板").arg(Lines));
}

void TReportForm::SaveJson()
{
    if (FRawJson.isEmpty()) {
        WarnBox(this, QStringLiteral("没有可保存的数据。"));
        return;
    }
    if (FOutDir.isEmpty()) {
        WarnBox(this, QStringLiteral("请先在主界面设置保存位置。"));
        return;
    }
    const QString Name = QStringLiteral("Marrowkin_Report_")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))
                         + QStringLiteral(".json");
    const QString Path = JoinPath(FOutDir, Name);

    // Created here rather than through EnsureDir so that a failure can name
    // its reason.
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(FOutDir.toStdU16String()), Ec);
    if (Ec && !DirExists(FOutDir)) {
        ErrorBox(this, QStringLiteral("保存失败：") + CleanSystemText(QString::fromLocal8Bit(Ec.message())));
        return;
    }

    // Written beside the target and renamed over it when complete, so a full
    // disk or an error midway never leaves a cut-off report behind.
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !WriteWhole(File, FRawJson.constData(), FRawJson.size())
        || !File.commit()) {
        const QString Reason = CleanSystemText(File.errorString());
        File.cancelWriting();
        ErrorBox(this, QStringLiteral("保存失败：") + Reason);
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

void TReportForm::ExportCsv()
{
    if (FShown == 0) {
        InfoBox(this, QStringLiteral("没有可导出的记录。"));
        return;
    }
    const QString Name = RecordsCsvName(QDateTime::currentDateTime());
    QString Path;
    if (!PickSaveFile(QStringLiteral("导出 CSV"), FOutDir.isEmpty() ? Name : JoinPath(FOutDir, Name),
                      QStringLiteral("CSV 文件 (*.csv)"), Path))
        return;
    Path = QDir::toNativeSeparators(Path);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<int>& Rows = FRecModel->Rows();
    QString Error;
    const bool Ok = WriteWholeFile(Path, RecordsCsv(FRecords, Rows), Error);
    QApplication::restoreOverrideCursor();
    if (!Ok) {
        ErrorBox(this, QStringLiteral("导出失败：") + CleanSystemText(Error));
        return;
    }
    SetStatus(QStringLiteral("已导出 %1 条记录：%2").arg(FormatCount(qint64(Rows.size())), Path));
}

void TReportForm::SetSourceFile(const QString& Path)
{
    FSourceFile = QDir::toNativeSeparators(Path);
    const QString Name = QFileInfo(Path).fileName();
    setWindowTitle(FModel.Caption + QStringLiteral(" — ") + Name);
    FLblFile->setText(QFontMetrics(FLblFile->font()).elidedText(QStringLiteral("文件：") + Name, Qt::ElideMiddle,
                                                                 FLblFile->width()));
    FLblFile->setToolTip(FSourceFile);
}

void TReportForm::DomainDblClick(int Index)
{
    if (Index >= 0 && Index < FModel.Doms.size())
        FilterBy(FModel.Doms[Index].Name);
}

void TReportForm::PageDblClick(int Index)
{
    if (Index >= 0 && Index < FModel.PageUrls.size())
        FilterBy(FModel.PageUrls[Index]);
}

void TReportForm::SetHoverTab(int Index)
{
    if (Index == FHoverTab)
        return;
    QTabBar* Bar = FTabs->tabBar();
    if (FHoverTab >= 0 && FHoverTab < Bar->count())
        Bar->setTabTextColor(FHoverTab, QColor());
    FHoverTab = Index;
    if (Index >= 0)
        Bar->setTabTextColor(Index, ToQColor(clAccent));
}

bool TReportForm::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type Type = Event->type();
    if (FTabs && Watched == FTabs->tabBar()) {
        if (Type == QEvent::MouseMove)
            SetHoverTab(FTabs->tabBar()->tabAt(static_cast<QMouseEvent*>(Event)->position().toPoint()));
        else if (Type == QEvent::Leave || Type == QEvent::Hide)
            SetHoverTab(-1);
        return false;
    }
    if (Watched == FRecList && (Type == QEvent::KeyPress || Type == QEvent::ShortcutOverride)) {
        // Ctrl with any other modifiers and C copies whole records; the view's
        // own copy would take only the current cell.
        const auto* Key = static_cast<QKeyEvent*>(Event);
        if (Key->key() == Qt::Key_C && (Key->modifiers() & Qt::ControlModifier)) {
            Event->accept();
            if (Type == QEvent::KeyPress)
                CopySelected();
            return true;
        }
        return false;
    }
    if (Watched == FEdFilter && (Type == QEvent::KeyPress || Type == QEvent::ShortcutOverride)) {
        // Where Ctrl+E means "end of line" (X11 key bindings) the filter box
        // would take it; the export is what the window promises.
        const auto* Key = static_cast<QKeyEvent*>(Event);
        if (Key->key() == Qt::Key_E && Key->modifiers() == Qt::ControlModifier) {
            Event->accept();
            if (Type == QEvent::KeyPress)
                ExportCsv();
            return true;
        }
        return false;
    }
    if (Type != QEvent::Resize)
        return false;
    if (Watched == FPgOverview)
        OverviewPageResize();
    else if (Watched == FPgTime)
        TimePageResize();
    else if (Watched == FPgDomain)
        DomainPageResize();
    else if (Watched == FPgPage)
        PagesPageResize();
    else if (Watched == FPgBrowser)
        BrowserPageResize();
    else if (Watched == FSrcList)
        SrcPageResize();
    else if (Watched == FRecList)
        RecPageResize();
    return false;
}

void TReportForm::LayoutAll()
{
    OverviewPageResize();
    TimePageResize();
    DomainPageResize();
    PagesPageResize();
    BrowserPageResize();
    SrcPageResize();
    RecPageResize();
}

void TReportForm::OverviewPageResize()
{
    if (!FPgOverview || !FInfoCard)
        return;
    const int Wp = FPgOverview->width();
    const int KW = std::max(120, (Wp - 24 - 40) / 5);
    for (int I = 0; I < 5; ++I)
        if (FKpiCard[I])
            FKpiCard[I]->setGeometry(12 + I * (KW + 10), 12, KW, 88);
    FitKpiFonts();
    FInfoCard->setGeometry(12, 116, Wp - 24, 156);
    if (!FIndexCard)
        return;
    // At small heights the table of contents closes up its rows so that all
    // four stay inside the page.
    const int Hp = FPgOverview->height();
    const int IndexH = std::clamp(Hp - 312 - 8, 130, 210);
    const int Step = std::clamp((IndexH - 48 - 20 - 6) / 3, 22, 38);
    const int First = 48 - (38 - Step) / 2;
    FIndexCard->setGeometry(12, 312, Wp - 24, IndexH);
    const int Half = (Wp - 24 - 60) / 2;
    for (int I = 0; I < 7; ++I) {
        const int X = I < 4 ? 20 : Half + 40;
        const int Top = First + Step * (I < 4 ? I : I - 4);
        if (FIdxName[I])
            FIdxName[I]->setGeometry(X, Top, 96, 20);
        if (FIdxDesc[I])
            FIdxDesc[I]->setGeometry(X + 100, Top + 1, Half - 100, 20);
    }
}

void TReportForm::FitKpiFonts()
{
    // A long peak text ("周三 21:00-22:00") or a huge count would be cut off
    // in a narrow card; step the size down until it fits, but not below 11 pt,
    // and past that end it with an ellipsis (the full text in the tooltip).
    for (int I = 0; I < 5; ++I) {
        if (!FKpiCard[I] || !FKpiVal[I])
            continue;
        const QString& Full = FModel.KpiVal[I];
        const int Avail = FKpiCard[I]->width() - 32;
        // Measured as the elision measures, which allows for the last glyph's
        // overhang that a plain advance leaves out.
        const auto Fits = [&](int Size) {
            return QFontMetrics(UiFont(Size, fsBold)).elidedText(Full, Qt::ElideRight, Avail) == Full;
        };
        int Size = 18;
        while (Size > 11 && !Fits(Size))
            --Size;
        if (FKpiVal[I]->font().pointSize() != Size)
            ApplyUiFont(FKpiVal[I], Size, fsBold, kDefaultColor);
        const QString Shown = QFontMetrics(UiFont(Size, fsBold)).elidedText(Full, Qt::ElideRight, Avail);
        FKpiVal[I]->setText(Shown);
        FKpiVal[I]->setToolTip(Shown == Full ? QString() : Full);

    }
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

void TReportForm::TimePageResize()
{
    if (!FPgTime || !FBarChart)
        return;
    const int Wp = FPgTime->width();
    const int Hp = FPgTime->height();
    if (FHeatChart)
        FHeatChart->setGeometry(16, 52, Wp - 32, 240);
    FBarChart->setGeometry(16, 324, Wp - 32, Hp - 334);
    if (FLblTrendSpan)
        FLblTrendSpan->resize(Wp - 130, FLblTrendSpan->height());
}

void TReportForm::DomainPageResize()
{
    if (!FPgDomain || !FDonut)
        return;
    const int Wp = FPgDomain->width();
    const int Hp = FPgDomain->height();
    // The ranking takes 60 %, but the donut keeps room for legend names
    // beside its 200 px ring.
    constexpr int kMinDonutW = 420;
    const int LW = std::min(int(RoundHalfEven((Wp - 40) * 0.6)), std::max(300, Wp - 50 - kMinDonutW));
    if (FDnsChart)
        FDnsChart->setGeometry(16, 52, LW, Hp - 64);
    FDonut->setGeometry(LW + 30, 52, Wp - LW - 50, 300);
    // The title and note stand over the donut wherever the split puts it.
    if (FCatTitle)
        FCatTitle->move(LW + 30, FCatTitle->y());
    if (FCatNote)
        FCatNote->setGeometry(LW + 30, FCatNote->y(), Wp - LW - 50, FCatNote->height());
}

void TReportForm::PagesPageResize()
{
    if (!FPgPage || !FKwsChart)
        return;
    const int Half = (FPgPage->width() - 40) / 2;
    const int Hp = FPgPage->height();
    if (FPgsChart)
        FPgsChart->setGeometry(16, 52, Half, Hp - 64);
    FKwsChart->setGeometry(Half + 32, 52, Half, Hp - 64);
    if (FKwsTitle)
        FKwsTitle->move(Half + 32, FKwsTitle->y());
    if (FKwsNote)
        FKwsNote->setGeometry(Half + 32, FKwsNote->y(), Half, FKwsNote->height());
}

void TReportForm::BrowserPageResize()
{
    if (!FPgBrowser || !FBrsChart)
        return;
    const int Wp = FPgBrowser->width();
    const int Hp = FPgBrowser->height();
    const int CW = std::max(300, Wp - 32 - 380 - 14);
    // Room for every browser row, at least 120, but never past the page.
    const int CH = std::max(0, std::min(std::max(FBrCount * 30 + 4 + 16, 120), Hp - 110));
    FBrsChart->setGeometry(16, 52, CW, CH);
    if (FBrsInfoCard)
        FBrsInfoCard->setGeometry(CW + 30, 52, Wp - CW - 50, 244);
    if (FLblBrsInfo)
        FLblBrsInfo->setGeometry(16, CH + 62, CW, 34);
}

void TReportForm::SrcPageResize()
{
    if (FSrcList)
        FitLastColumn(FSrcList);
}

void TReportForm::RecPageResize()
{
    if (FRecList)
        FitLastColumn(FRecList);
}

TReportForm* ShowReportWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                              const QString& OutDir, bool NoData)
{
    auto* Form = new TReportForm(Owner, std::move(Data), RawJson, OutDir, NoData);
    // A closed window cannot be shown again, so it gives back its document
    // (hundreds of megabytes for a large report) instead of waiting for the
    // owner to end.
    Form->setAttribute(Qt::WA_DeleteOnClose);
    Form->show();
    return Form;
}

TReportForm* ShowReportFile(QWidget* Owner, TReportFile&& File)
{
    const QString Folder = File.Folder();
    // Built hidden: the caption names the file before the window appears.
    auto* Form = new TReportForm(Owner, std::move(File.Data), File.Bytes, Folder, false);
    Form->SetSourceFile(File.Path);
    Form->setAttribute(Qt::WA_DeleteOnClose);
    Form->show();
    return Form;
}
