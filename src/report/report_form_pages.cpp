// The report window's pages: each made from a table of its controls, and
// laid out on every resize by the page geometry of report_layout.

#include "report_form.h"

#include "window_setup.h"

#include "anchors.h"
#include "bar_chart.h"
#include "card.h"
#include "control_factory.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "palette.h"
#include "rank_chart.h"
#include "records_model.h"
#include "report_layout.h"
#include "ui_font.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <functional>
#include <iterator>
#include <vector>

namespace {

const char* const kPageNames[7] = {"概览", "时段分布", "域名与类别", "页面与关键词", "浏览器", "数据源", "访问明细"};
const char* const kPageDescs[7] = {"关键指标、采集概况与记录跨度",
                                   "星期 × 小时热力图 + 按日趋势",
                                   "访问最多域名 Top 15、站点类别占比环形图",
                                   "访问最多页面 Top 12、搜索关键词 Top 12",
                                   "各浏览器来源次数与采集概况",
                                   "各数据源状态、条数与异常说明",
                                   "全部记录：可搜索、复制、双击打开网址"};
const char* const kKpiCaptions[5] = {"访问次数", "不同网址", "不同域名", "活跃天数", "最活跃时段"};
// The browser page's card repeats the first five.
const char* const kInfoCaptions[6] = {"数据源", "异常源", "活跃天数", "日均访问", "记录跨度", "生成时间"};

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

// A page is made from a table: one row a control, in the order they are made
// (which is also their stacking and focus order), each with its place on a
// page of the built-for size. A row that names a field stores its control there.
enum TPartKind {
    pkTitle, pkNote, pkCaption, pkValue, pkName, pkInfo, pkFigure,  // labels, by look
    pkCard, pkEdit, pkHeat, pkBars, pkRank, pkDonut, pkSources, pkRecords
};

struct TLook {
    int Size;
    TFontStyles Style;
    TColor Color;
};
// The looks of the label kinds, in their order.
constexpr TLook kLooks[] = {{10, fsBold, clText},   {8, fsRegular, clSecondary}, {9, fsRegular, clSecondary},
                            {9, fsRegular, clText}, {9, fsBold, clText},         {13, fsBold, clText},
                            {18, fsBold, clText}};
static_assert(std::size(kLooks) == pkCard);

using TKeep = std::function<void(QWidget*)>;

struct TPagePart {
    TPartKind Kind;
    QRect Place;
    QString Text{};  // a label's text or a card's title
    TKeep Keep{};
    unsigned Anchors = 0;
    std::vector<TPagePart> Inside{};  // a card's contents
};

template <class T>
TKeep Keep(T*& Field)
{
    return [&Field](QWidget* W) {
        Field = qobject_cast<T*>(W);
        Q_ASSERT(Field);
    };
}

QWidget* NewPart(QWidget* Parent, const TPagePart& Part)
{
    const QRect& R = Part.Place;
    switch (Part.Kind) {
    case pkCard:
        return MakeCard(Parent, Part.Text, R.x(), R.y(), R.width(), R.height());
    case pkEdit:
        return MakeEdit(Parent, R.x(), R.y(), R.width(), R.height(), QString());
    case pkHeat:
        return new THeatChart(Parent);
    case pkBars:
        return new TBarChart(Parent);
    case pkRank:
        return new TRankChart(Parent);
    case pkDonut:
        return new TDonutChart(Parent);
    case pkSources:
        return new QTableWidget(0, 6, Parent);
    case pkRecords:
        return new TRecordsView(Parent);
    default: {
        const TLook& L = kLooks[Part.Kind];
        return MakeLabel(Parent, Part.Text, R.x(), R.y(), R.width(), R.height(), L.Size, L.Style, L.Color);
    }
    }
}

void MakePart(QWidget* Parent, const TPagePart& Part)
{
    QWidget* W = NewPart(Parent, Part);
    W->setGeometry(Part.Place);
    if (Part.Anchors)
        SetAnchors(W, Part.Anchors);
    for (const TPagePart& Inner : Part.Inside)
        MakePart(W, Inner);
    if (Part.Keep)
        Part.Keep(W);
}

}  // namespace

QWidget* TReportForm::AddPage(const QString& Caption)
{
    auto* Page = new QWidget;
    FTabs->addTab(Page, Caption);
    SetWhiteBackground(Page);
    ApplyUiFont(Page, 9, fsRegular, clText);
    // The tab widget sizes a page only once it is shown; build on the size it
    // will have in a window of the initial size.
    Page->resize(kBuiltPage);
    Page->installEventFilter(this);
    return Page;
}

void TReportForm::BuildPages()
{
    QWidget** const Fields[7] = {&FPgOverview, &FPgTime, &FPgDomain, &FPgPage, &FPgBrowser, &FPgSource, &FPgRecords};
    for (int I = 0; I < 7; ++I)
        *Fields[I] = AddPage(U(kPageNames[I]));

    std::vector<TPagePart> Overview;
    for (int I = 0; I < 5; ++I)
        Overview.push_back({pkCard, {12 + 212 * I, 12, 200, 88}, QString(), Keep(FKpiCard[I]), 0,
                            {{pkFigure, {16, 12, 168, 34}, EmDash(), Keep(FKpiVal[I]), akStretch},
                             {pkCaption, {16, 50, 168, 18}, U(kKpiCaptions[I]), {}, akStretch}}});
    std::vector<TPagePart> Info;
    for (int I = 0; I < 4; ++I) {
        Info.push_back({pkInfo, {20 + 264 * I, 40, 240, 26}, EmDash(), Keep(FInfoVal[I])});
        Info.push_back({pkCaption, {20 + 264 * I, 68, 240, 18}, U(kInfoCaptions[I])});
    }
    for (int I = 4; I < 6; ++I) {
        const int Top = 100 + 24 * (I - 4);
        Info.push_back({pkCaption, {20, Top, 70, 18}, U(kInfoCaptions[I])});
        Info.push_back({pkValue, {92, Top, 900, 18}, EmDash(), Keep(FInfoVal[I]), akStretch});
    }
    Overview.push_back({pkCard, {12, 116, 1096, 156}, QStringLiteral("采集概况"), Keep(FInfoCard), 0, Info});
    Overview.push_back({pkNote, {14, 286, 1000, 18}, QStringLiteral("全部统计与明细都在本机生成，报告内容不离开本机。"),
                        {}, akStretch});
    std::vector<TPagePart> Index;
    for (int I = 0; I < 7; ++I) {
        Index.push_back({pkName, {20, 48 + 38 * I, 96, 20}, U(kPageNames[I]), Keep(FIdxName[I])});
        Index.push_back({pkCaption, {120, 49 + 38 * I, 440, 20}, U(kPageDescs[I]), Keep(FIdxDesc[I])});
    }
    Overview.push_back({pkCard, {12, 312, 1096, 210}, QStringLiteral("报告内容"), Keep(FIndexCard), 0, Index});

    std::vector<TPagePart> BrsInfo;
    for (int I = 0; I < 5; ++I) {
        BrsInfo.push_back({pkCaption, {18, 46 + 34 * I, 76, 18}, U(kInfoCaptions[I])});
        BrsInfo.push_back({pkValue, {100, 46 + 34 * I, 200, 18}, EmDash(), Keep(FBrsInfoVal[I]), akStretch});
    }

    const std::vector<TPagePart> Pages[7] = {
        Overview,
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("时段热力图")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("按星期 × 小时统计访问次数，颜色越深越活跃；鼠标悬停查看具体次数")},
         {pkHeat, {16, 52, 1080, 240}, {}, Keep(FHeatChart)},
         {pkTitle, {16, 302, 100, 20}, QStringLiteral("按日趋势")},
         {pkNote, {110, 304, 900, 18}, {}, Keep(FLblTrendSpan)},
         {pkBars, {16, 324, 1080, 200}, {}, Keep(FBarChart)}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("访问最多域名")},
         {pkNote, {16, 30, 620, 18}, QStringLiteral("Top 15 · 双击一行可在“访问明细”中按该域名筛选")},
         {pkRank, {16, 52, 660, 480}, {}, Keep(FDnsChart)},
         {pkTitle, {700, 10, 300, 20}, QStringLiteral("站点类别"), Keep(FCatTitle)},
         {pkNote, {700, 30, 380, 18}, QStringLiteral("按域名规则归类，环形图占比与右侧数量一致"), Keep(FCatNote)},
         {pkDonut, {700, 52, 380, 300}, {}, Keep(FDonut)}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("访问最多页面")},
         {pkNote, {16, 30, 480, 18}, QStringLiteral("Top 12 · 双击一行可在“访问明细”中按该网址筛选")},
         {pkRank, {16, 52, 520, 480}, {}, Keep(FPgsChart)},
         {pkTitle, {556, 10, 300, 20}, QStringLiteral("搜索关键词"), Keep(FKwsTitle)},
         {pkNote, {556, 30, 500, 18}, QStringLiteral("Top 12 · 来自各搜索引擎 URL 的查询参数"), Keep(FKwsNote)},
         {pkRank, {556, 52, 520, 480}, {}, Keep(FKwsChart)}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("浏览器分布")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("按记录来源浏览器统计；同一浏览器的多个用户配置已合并计数")},
         {pkRank, {16, 52, 660, 380}, {}, Keep(FBrsChart)},
         {pkCard, {690, 52, 380, 244}, QStringLiteral("采集概况"), Keep(FBrsInfoCard), 0, BrsInfo},
         {pkNote, {16, 300, 660, 34}, {}, Keep(FLblBrsInfo)}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("数据源状态")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("采集范围与异常说明；只读采集，不修改任何浏览器数据")},
         {pkSources, {16, 54, 1080, 460}, {}, Keep(FSrcList), akFill}},
        {{pkEdit, {16, 12, 340, 24}, {}, Keep(FEdFilter)},
         {pkCaption, {368, 15, 700, 18}, {}, Keep(FLblRecInfo), akStretch},
         {pkRecords, {16, 48, 1080, 470}, {}, Keep(FRecList), akFill}},
    };
    for (int I = 0; I < 7; ++I)
        for (const TPagePart& Part : Pages[I])
            MakePart(*Fields[I], Part);

    connect(FDnsChart, &TRankChart::ItemDblClicked, this, &TReportForm::DomainDblClick);
    connect(FPgsChart, &TRankChart::ItemDblClicked, this, &TReportForm::PageDblClick);
    FLblBrsInfo->setWordWrap(true);
    SetUpSourceList();
    FTabs->setCurrentWidget(FPgOverview);
}

void TReportForm::SetUpSourceList()
{
    SetUpList(FSrcList);
    FSrcList->setSelectionMode(QAbstractItemView::SingleSelection);
    FSrcList->setItemDelegate(MakeListDelegate(5, FSrcList));
    FSrcList->setHorizontalHeaderLabels({QStringLiteral("浏览器"), QStringLiteral("配置/用户"), QStringLiteral("状态"),
                                         QStringLiteral("条数"), QStringLiteral("说明"), QStringLiteral("库文件")});
    const int Widths[6] = {150, 190, 110, 70, 240, 300};
    for (int C = 0; C < 6; ++C)
        FSrcList->setColumnWidth(C, Widths[C]);
    FSrcList->installEventFilter(this);
}

void TReportForm::SetUpRecordsPage()
{
    FEdFilter->setPlaceholderText(QStringLiteral("搜索标题、网址或域名，空格分词"));
    FEdFilter->setClearButtonEnabled(false);
    connect(FEdFilter, &QLineEdit::textChanged, this, &TReportForm::FilterChange);
    FEdFilter->installEventFilter(this);

    SetUpList(FRecList);
    FRecList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FRecList->setItemDelegate(MakeListDelegate(-1, FRecList));
    const int Widths[TRecordsModel::rcColumnCount] = {140, 120, 130, 360, 400};
    for (int C = 0; C < TRecordsModel::rcColumnCount; ++C)
        FRecList->setColumnWidth(C, Widths[C]);
    FRecList->installEventFilter(this);
    connect(FRecList, &QAbstractItemView::doubleClicked, this, [this] { RecListDblClick(); });
}

void TReportForm::PageResized(QObject* Watched)
{
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
    if (!FPgOverview || !FIndexCard)
        return;
    const TOverviewLayout L = OverviewLayout(FPgOverview->size());
    for (int I = 0; I < 5; ++I)
        FKpiCard[I]->setGeometry(L.Kpi[I]);
    FitKpiFonts();
    FInfoCard->setGeometry(L.Info);
    FIndexCard->setGeometry(L.Index);
    for (int I = 0; I < 7; ++I) {
        FIdxName[I]->setGeometry(L.IdxName[I]);
        FIdxDesc[I]->setGeometry(L.IdxDesc[I]);
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
        const QString& Full = FContent.KpiVal[I];
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

void TReportForm::TimePageResize()
{
    if (!FPgTime || !FBarChart)
        return;
    const TTimeLayout L = TimeLayout(FPgTime->size());
    FHeatChart->setGeometry(L.Heat);
    FBarChart->setGeometry(L.Bars);
    FLblTrendSpan->setGeometry(L.Span);
}

void TReportForm::DomainPageResize()
{
    if (!FPgDomain || !FDonut)
        return;
    const TSplitLayout L = DomainLayout(FPgDomain->size());
    FDnsChart->setGeometry(L.Left);
    FDonut->setGeometry(L.Right);
    FCatTitle->setGeometry(L.RightTitle);
    FCatNote->setGeometry(L.RightNote);
}

void TReportForm::PagesPageResize()
{
    if (!FPgPage || !FKwsChart)
        return;
    const TSplitLayout L = PagesLayout(FPgPage->size());
    FPgsChart->setGeometry(L.Left);
    FKwsChart->setGeometry(L.Right);
    FKwsTitle->setGeometry(L.RightTitle);
    FKwsNote->setGeometry(L.RightNote);
}

void TReportForm::BrowserPageResize()
{
    if (!FPgBrowser || !FLblBrsInfo)
        return;
    const TBrowserLayout L = BrowserLayout(FPgBrowser->size(), FBrCount);
    FBrsChart->setGeometry(L.Chart);
    FBrsInfoCard->setGeometry(L.Info);
    FLblBrsInfo->setGeometry(L.Note);
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
