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
#include "records_page.h"
#include "report_layout.h"
#include "ui_font.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTabWidget>
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

// A page that lays out its controls whenever its size changes.
class TPage final : public QWidget {
public:
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* Event) override
    {
        QWidget::resizeEvent(Event);
        if (OnResize)
            OnResize();
    }
};

// The data-source list: its last column takes the width the others leave.
class TSourceTable final : public QTableWidget {
public:
    explicit TSourceTable(QWidget* Parent) : QTableWidget(0, 6, Parent) {}

protected:
    void resizeEvent(QResizeEvent* Event) override
    {
        QTableWidget::resizeEvent(Event);
        FitLastColumn(this);
    }
};

void SetWhiteBackground(QWidget* W)
{
    QPalette P = W->palette();
    P.setColor(QPalette::Window, ToQColor(clWhite));
    W->setPalette(P);
    W->setAutoFillBackground(true);
}

// A page is made from a table: one row a control, in the order they are made
// (which is also their stacking and focus order), each with its place on a
// page of the built-for size. A row that names a field stores its control there.
enum TPartKind {
    pkTitle, pkNote, pkCaption, pkValue, pkName, pkInfo, pkFigure,  // labels, by look
    pkCard, pkHeat, pkBars, pkRank, pkDonut, pkSources
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

// Stores the control in Field and names it Name (followed by Index, if any),
// by which tests find it.
template <class T>
TKeep Keep(T*& Field, const char* Name, int Index = -1)
{
    const QString Full = QString::fromLatin1(Name) + (Index < 0 ? QString() : QString::number(Index));
    return [&Field, Full](QWidget* W) {
        Field = qobject_cast<T*>(W);
        Q_ASSERT(Field);
        W->setObjectName(Full);
    };
}

QWidget* NewPart(QWidget* Parent, const TPagePart& Part)
{
    const QRect& R = Part.Place;
    switch (Part.Kind) {
    case pkCard:
        return MakeCard(Parent, Part.Text, R.x(), R.y(), R.width(), R.height());
    case pkHeat:
        return new THeatChart(Parent);
    case pkBars:
        return new TBarChart(Parent);
    case pkRank:
        return new TRankChart(Parent);
    case pkDonut:
        return new TDonutChart(Parent);
    case pkSources:
        return new TSourceTable(Parent);
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

QWidget* TReportForm::AddPage(const QString& Caption, QWidget* Page)
{
    FTabs->addTab(Page, Caption);
    SetWhiteBackground(Page);
    ApplyUiFont(Page, 9, fsRegular, clText);
    // The tab widget sizes a page only once it is shown; build on the size it
    // will have in a window of the initial size.
    Page->resize(kBuiltPage);
    return Page;
}

void TReportForm::BuildPages()
{
    QWidget** const Fields[6] = {&FPgOverview, &FPgTime, &FPgDomain, &FPgPage, &FPgBrowser, &FPgSource};
    const char* const Names[6] = {"PgOverview", "PgTime", "PgDomain", "PgPage", "PgBrowser", "PgSource"};
    const std::function<void()> Layouts[6] = {[this] { OverviewPageResize(); }, [this] { TimePageResize(); },
                                              [this] { DomainPageResize(); },   [this] { PagesPageResize(); },
                                              [this] { BrowserPageResize(); },  {}};
    for (int I = 0; I < 6; ++I) {
        auto* Page = new TPage;
        Page->setObjectName(QString::fromLatin1(Names[I]));
        Page->OnResize = Layouts[I];
        *Fields[I] = AddPage(U(kPageNames[I]), Page);
    }
    FPgRecords = new TRecordsPage;
    FPgRecords->setObjectName(QStringLiteral("PgRecords"));
    AddPage(U(kPageNames[6]), FPgRecords);

    std::vector<TPagePart> Overview;
    for (int I = 0; I < 5; ++I)
        Overview.push_back({pkCard, {12 + 212 * I, 12, 200, 88}, QString(), Keep(FKpiCard[I], "KpiCard", I), 0,
                            {{pkFigure, {16, 12, 168, 34}, EmDash(), Keep(FKpiVal[I], "KpiVal", I), akStretch},
                             {pkCaption, {16, 50, 168, 18}, U(kKpiCaptions[I]), {}, akStretch}}});
    std::vector<TPagePart> Info;
    for (int I = 0; I < 4; ++I) {
        Info.push_back({pkInfo, {20 + 264 * I, 40, 240, 26}, EmDash(), Keep(FInfoVal[I], "InfoVal", I)});
        Info.push_back({pkCaption, {20 + 264 * I, 68, 240, 18}, U(kInfoCaptions[I])});
    }
    for (int I = 4; I < 6; ++I) {
        const int Top = 100 + 24 * (I - 4);
        Info.push_back({pkCaption, {20, Top, 70, 18}, U(kInfoCaptions[I])});
        Info.push_back({pkValue, {92, Top, 900, 18}, EmDash(), Keep(FInfoVal[I], "InfoVal", I), akStretch});
    }
    Overview.push_back({pkCard, {12, 116, 1096, 156}, QStringLiteral("采集概况"), Keep(FInfoCard, "InfoCard"), 0, Info});
    Overview.push_back({pkNote, {14, 286, 1000, 18}, QStringLiteral("全部统计与明细都在本机生成，报告内容不离开本机。"),
                        {}, akStretch});
    std::vector<TPagePart> Index;
    for (int I = 0; I < 7; ++I) {
        Index.push_back({pkName, {20, 48 + 38 * I, 96, 20}, U(kPageNames[I]), Keep(FIdxName[I], "IdxName", I)});
        Index.push_back({pkCaption, {120, 49 + 38 * I, 440, 20}, U(kPageDescs[I]), Keep(FIdxDesc[I], "IdxDesc", I)});
    }
    Overview.push_back({pkCard, {12, 312, 1096, 210}, QStringLiteral("报告内容"), Keep(FIndexCard, "IndexCard"), 0, Index});

    std::vector<TPagePart> BrsInfo;
    for (int I = 0; I < 5; ++I) {
        BrsInfo.push_back({pkCaption, {18, 46 + 34 * I, 76, 18}, U(kInfoCaptions[I])});
        BrsInfo.push_back({pkValue, {100, 46 + 34 * I, 200, 18}, EmDash(), Keep(FBrsInfoVal[I], "BrsInfoVal", I), akStretch});
    }

    const std::vector<TPagePart> Pages[6] = {
        Overview,
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("时段热力图")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("按星期 × 小时统计访问次数，颜色越深越活跃；鼠标悬停查看具体次数")},
         {pkHeat, {16, 52, 1080, 240}, {}, Keep(FHeatChart, "HeatChart")},
         {pkTitle, {16, 302, 100, 20}, QStringLiteral("按日趋势")},
         {pkNote, {110, 304, 900, 18}, {}, Keep(FLblTrendSpan, "LblTrendSpan")},
         {pkBars, {16, 324, 1080, 200}, {}, Keep(FBarChart, "BarChart")}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("访问最多域名")},
         {pkNote, {16, 30, 620, 18}, QStringLiteral("Top 15 · 双击一行可在“访问明细”中按该域名筛选")},
         {pkRank, {16, 52, 660, 480}, {}, Keep(FDnsChart, "DnsChart")},
         {pkTitle, {700, 10, 300, 20}, QStringLiteral("站点类别"), Keep(FCatTitle, "CatTitle")},
         {pkNote, {700, 30, 380, 18}, QStringLiteral("按域名规则归类，环形图占比与右侧数量一致"), Keep(FCatNote, "CatNote")},
         {pkDonut, {700, 52, 380, 300}, {}, Keep(FDonut, "Donut")}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("访问最多页面")},
         {pkNote, {16, 30, 480, 18}, QStringLiteral("Top 12 · 双击一行可在“访问明细”中按该网址筛选")},
         {pkRank, {16, 52, 520, 480}, {}, Keep(FPgsChart, "PgsChart")},
         {pkTitle, {556, 10, 300, 20}, QStringLiteral("搜索关键词"), Keep(FKwsTitle, "KwsTitle")},
         {pkNote, {556, 30, 500, 18}, QStringLiteral("Top 12 · 来自各搜索引擎 URL 的查询参数"), Keep(FKwsNote, "KwsNote")},
         {pkRank, {556, 52, 520, 480}, {}, Keep(FKwsChart, "KwsChart")}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("浏览器分布")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("按记录来源浏览器统计；同一浏览器的多个用户配置已合并计数")},
         {pkRank, {16, 52, 660, 380}, {}, Keep(FBrsChart, "BrsChart")},
         {pkCard, {690, 52, 380, 244}, QStringLiteral("采集概况"), Keep(FBrsInfoCard, "BrsInfoCard"), 0, BrsInfo},
         {pkNote, {16, 300, 660, 34}, {}, Keep(FLblBrsInfo, "LblBrsInfo")}},
        {{pkTitle, {16, 10, 300, 20}, QStringLiteral("数据源状态")},
         {pkNote, {16, 30, 700, 18}, QStringLiteral("采集范围与异常说明；只读采集，不修改任何浏览器数据")},
         {pkSources, {16, 54, 1080, 460}, {}, Keep(FSrcList, "SrcList"), akFill}},
    };
    for (int I = 0; I < 6; ++I)
        for (const TPagePart& Part : Pages[I])
            MakePart(*Fields[I], Part);

    connect(FDnsChart, &TRankChart::ItemDblClicked, this, &TReportForm::DomainDblClick);
    connect(FPgsChart, &TRankChart::ItemDblClicked, this, &TReportForm::PageDblClick);
    // The rankings of domains and pages keep their double click; their
    // context menu leads to the same records. The other charts lead on with a
    // click, Enter or their context menu, the browsers' with Enter too.
    FDnsChart->SetClickDrills(false);
    FPgsChart->SetClickDrills(false);
    connect(FDnsChart, &TChartBase::Drilled, this, &TReportForm::DomainDblClick);
    connect(FPgsChart, &TChartBase::Drilled, this, &TReportForm::PageDblClick);
    connect(FBarChart, &TChartBase::Drilled, this, [this](int Item) { Drill(ckDay, Item); });
    connect(FHeatChart, &TChartBase::Drilled, this, [this](int Item) { Drill(ckHour, Item); });
    connect(FBrsChart, &TChartBase::Drilled, this, [this](int Item) { Drill(ckBrowser, Item); });
    connect(FBrsChart, &TRankChart::ItemDblClicked, this, [this](int Item) { Drill(ckBrowser, Item); });
    connect(FDonut, &TChartBase::Drilled, this, [this](int Item) { Drill(ckCategory, Item); });
    FLblBrsInfo->setWordWrap(true);
    SetUpSourceList();
    FTabs->setCurrentWidget(FPgOverview);
}

void TReportForm::SetUpSourceList()
{
    SetUpResultList(FSrcList);
    FSrcList->setSelectionMode(QAbstractItemView::SingleSelection);
    FSrcList->setItemDelegate(MakeListDelegate(5, FSrcList));
    FSrcList->setHorizontalHeaderLabels({QStringLiteral("浏览器"), QStringLiteral("配置/用户"), QStringLiteral("状态"),
                                         QStringLiteral("条数"), QStringLiteral("说明"), QStringLiteral("库文件")});
    const int Widths[6] = {150, 190, 110, 70, 240, 300};
    for (int C = 0; C < 6; ++C)
        FSrcList->setColumnWidth(C, Widths[C]);
}

void TReportForm::LayoutAll()
{
    OverviewPageResize();
    TimePageResize();
    DomainPageResize();
    PagesPageResize();
    BrowserPageResize();
    FitLastColumn(FSrcList);
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
    const TBrowserLayout L = BrowserLayout(FPgBrowser->size(), FContent.BrCount);
    FBrsChart->setGeometry(L.Chart);
    FBrsInfoCard->setGeometry(L.Info);
    FLblBrsInfo->setGeometry(L.Note);
}
