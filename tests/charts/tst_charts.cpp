#include "bar_chart.h"
#include "chart_geometry.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "palette.h"
#include "rank_chart.h"

#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(TColor)

namespace {

QImage Render(QWidget& W, int Width, int Height)
{
    W.resize(Width, Height);
    return W.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Left edge of bar I, at a scale factor of 1.
int BarX(const TBarLayout& L, int I)
{
    return int(BarRect(L, BarSlotOf(L, I), 0).left());
}

TColor PixelAt(const QImage& Img, int X, int Y)
{
    return FromQColor(Img.pixelColor(X, Y));
}

void MoveTo(QWidget& W, int X, int Y)
{
    QMouseEvent E(QEvent::MouseMove, QPointF(X, Y), W.mapToGlobal(QPointF(X, Y)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(&W, &E);
}

void Leave(QWidget& W)
{
    QEvent E(QEvent::Leave);
    QCoreApplication::sendEvent(&W, &E);
}

void Press(QWidget& W, int Y, Qt::MouseButton Button = Qt::LeftButton, QEvent::Type Type = QEvent::MouseButtonPress)
{
    const QPointF Pos(100, Y);
    QMouseEvent E(Type, Pos, W.mapToGlobal(Pos), Button, Button, Qt::NoModifier);
    QCoreApplication::sendEvent(&W, &E);
}

void Release(QWidget& W, int Y)
{
    const QPointF Pos(100, Y);
    QMouseEvent E(QEvent::MouseButtonRelease, Pos, W.mapToGlobal(Pos), Qt::LeftButton, Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(&W, &E);
}

// Counts the paints a shown widget really receives and the area of the last one.
class TPaintSpy : public QObject {
public:
    explicit TPaintSpy(QWidget* W) { W->installEventFilter(this); }
    int Paints = 0;
    QRect LastRect;

protected:
    bool eventFilter(QObject*, QEvent* E) override
    {
        if (E->type() == QEvent::Paint) {
            ++Paints;
            LastRect = static_cast<QPaintEvent*>(E)->rect();
        }
        return false;
    }
};

THeatMatrix SampleMatrix()
{
    THeatMatrix M{};
    M[1][9] = 100; // Monday 9:00, the peak
    M[3][9] = 100; // tie, later
    M[2][14] = 50; // half the peak
    M[4][20] = 3;
    return M;
}

TRankEntries SampleEntries(int N, bool WithSub = false)
{
    TRankEntries E;
    for (int I = 0; I < N; ++I)
        E.append({QStringLiteral("site%1.example").arg(I), WithSub ? QStringLiteral("Sub %1").arg(I) : QString(),
                  (N - I) * 10, kDefaultColor});
    return E;
}

} // namespace

class TChartsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }

    void EmptyChartsShowCentredGreyNote_data();
    void EmptyChartsShowCentredGreyNote();
    void ResizeRepaintsEverything();

    void HeatCellColours_data();
    void HeatCellColours();
    void HeatNumbersOnlyFromCellWidth30();
    void HeatWideCountsLeftToTheReadOut();
    void HeatHoverOutlineAndSummary();
    void HeatHoverRepaintsOnlyOnChange();
    void HeatTooSmallStaysWhite();

    void BarColoursAndStubs();
    void BarHoverMapsPixelsToPoints();
    void BarHoverRepaintsOnlyOnChange();
    void BarThinBarsLookLikeRoundedOnes();

    void RankRowsPaint();
    void RankHoverRepaintsOnlyOnChange();
    void RankPressDetector_data();
    void RankPressDetector();
    void RankSystemDoubleClickRaisesTwice();
    void RankEmptyRaisesNothing();
    void RankScrollsToEveryRow_data();
    void RankScrollsToEveryRow();

    void DonutRingHoleAndLegend();
    void DonutNoLegendWhenNarrow();
    void WideNumbersKeepTheirLeadingDigits();
};

void TChartsTest::EmptyChartsShowCentredGreyNote_data()
{
    QTest::addColumn<int>("Kind");
    QTest::newRow("heat-less bar") << 0;
    QTest::newRow("rank") << 1;
    QTest::newRow("donut") << 2;
    QTest::newRow("donut with a zero total") << 3;
}

void TChartsTest::EmptyChartsShowCentredGreyNote()
{
    QFETCH(int, Kind);
    std::unique_ptr<TChartBase> Chart;
    switch (Kind) {
    case 0: Chart = std::make_unique<TBarChart>(nullptr); break;
    case 1: Chart = std::make_unique<TRankChart>(nullptr); break;
    case 2: Chart = std::make_unique<TDonutChart>(nullptr); break;
    default: {
        auto D = std::make_unique<TDonutChart>(nullptr);
        D->SetSlices({{QStringLiteral("a"), 0, Rgb(255, 0, 0)}, {QStringLiteral("b"), -2, Rgb(0, 255, 0)}});
        Chart = std::move(D);
    }
    }
    const QImage Img = Render(*Chart, 400, 200);
    // Everything but the note stays white; the note is grey and centred.
    QRect Ink;
    int Darkest = 255 * 3;
    TColor DarkestColour = clWhite;
    for (int Y = 0; Y < Img.height(); ++Y)
        for (int X = 0; X < Img.width(); ++X) {
            const QColor C = Img.pixelColor(X, Y);
            if (C == Qt::white)
                continue;
            Ink |= QRect(X, Y, 1, 1);
            const int Sum = C.red() + C.green() + C.blue();
            if (Sum < Darkest) {
                Darkest = Sum;
                DarkestColour = FromQColor(C);
            }
        }
    QVERIFY(!Ink.isEmpty());
    QVERIFY2(qAbs(Ink.center().x() - 200) <= 2 && qAbs(Ink.center().y() - 100) <= 3, "note not centred");
    // Glyph edges blend with white; the fullest stroke pixels carry the text colour.
    QVERIFY2(qAbs(RedOf(DarkestColour) - RedOf(clSecondary)) <= 2 && qAbs(GreenOf(DarkestColour) - GreenOf(clSecondary)) <= 2
                 && qAbs(BlueOf(DarkestColour) - BlueOf(clSecondary)) <= 2,
             qPrintable(QString::number(DarkestColour, 16)));
}

void TChartsTest::ResizeRepaintsEverything()
{
    TDonutChart Chart(nullptr);
    Chart.SetSlices({{QStringLiteral("a"), 3, clAccent}});
    Chart.resize(300, 200);
    Chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Chart));
    TPaintSpy Spy(&Chart);
    const int Before = Chart.RepaintRequests();
    Chart.resize(420, 300);
    QTRY_VERIFY(Spy.Paints > 0);
    QCOMPARE(Spy.LastRect, QRect(0, 0, 420, 300));
    QVERIFY(Chart.RepaintRequests() > Before);
}

void TChartsTest::HeatCellColours_data()
{
    QTest::addColumn<int>("Day");
    QTest::addColumn<int>("Hour");
    QTest::addColumn<TColor>("Colour");
    QTest::newRow("peak") << 1 << 9 << clAccent;
    QTest::newRow("tied peak") << 3 << 9 << clAccent;
    QTest::newRow("half the peak") << 2 << 14 << Rgb(0x68, 0x93, 0xF8);
    QTest::newRow("empty") << 0 << 0 << clHeatEmpty;
    QTest::newRow("faint") << 4 << 20 << HeatCellColor(3, 100);
}

void TChartsTest::HeatCellColours()
{
    QFETCH(int, Day);
    QFETCH(int, Hour);
    QFETCH(TColor, Colour);
    THeatChart Chart(nullptr);
    Chart.SetMatrix(SampleMatrix());
    const QImage Img = Render(Chart, 1088, 240);
    const QRect R = HeatCellRect(CalcGrid(1088, 240), Day, Hour);
    // Left edge at mid height: inside the square, clear of corners and numbers.
    QCOMPARE(PixelAt(Img, R.left(), R.center().y()), Colour);
    QCOMPARE(PixelAt(Img, R.right(), R.center().y()), Colour);
    QCOMPARE(PixelAt(Img, R.center().x(), R.top()), Colour);
    // The inset around the square stays white.
    QCOMPARE(PixelAt(Img, R.left() - 1, R.center().y()), clWhite);
    QCOMPARE(PixelAt(Img, R.center().x(), R.bottom() + 1), clWhite);
    // Corners are rounded off.
    QCOMPARE(PixelAt(Img, R.left(), R.top()), clWhite);
}

void TChartsTest::HeatNumbersOnlyFromCellWidth30()
{
    auto CountOthers = [](int W) {
        THeatChart Chart(nullptr);
        Chart.SetMatrix(SampleMatrix());
        const QImage Img = Render(Chart, W, 240);
        const QRect R = HeatCellRect(CalcGrid(W, 240), 1, 9).adjusted(3, 3, -3, -3);
        int Others = 0;
        for (int Y = R.top(); Y <= R.bottom(); ++Y)
            for (int X = R.left(); X <= R.right(); ++X)
                Others += PixelAt(Img, X, Y) != clAccent;
        return Others;
    };
    QVERIFY(CountOthers(776) > 0);
    QCOMPARE(CountOthers(775), 0);
}

void TChartsTest::HeatWideCountsLeftToTheReadOut()
{
    // In 30 px cells a five-digit count does not fit its 24 px square; cut at
    // both ends it would show other digits, so the square stays plain.
    THeatChart Chart(nullptr);
    THeatMatrix M{};
    M[1][9] = 12345;
    Chart.SetMatrix(M);
    const QImage Img = Render(Chart, 776, 240);
    const QRect R = HeatCellRect(CalcGrid(776, 240), 1, 9).adjusted(3, 3, -3, -3);
    for (int Y = R.top(); Y <= R.bottom(); ++Y)
        for (int X = R.left(); X <= R.right(); ++X)
            QCOMPARE(PixelAt(Img, X, Y), clAccent);
}

void TChartsTest::HeatHoverOutlineAndSummary()
{
    THeatChart Chart(nullptr);
    QCOMPARE(Chart.SummaryText(), QStringLiteral("把鼠标移到格子上可查看具体次数"));
    Chart.SetMatrix(SampleMatrix());
    QCOMPARE(Chart.SummaryText(), QStringLiteral("峰值 周一 9:00（100 次）· 颜色越深访问越集中"));
    Chart.resize(1088, 240);
    const THeatGrid G = CalcGrid(1088, 240);
    const QRect R = HeatCellRect(G, 2, 5);
    MoveTo(Chart, R.center().x(), R.center().y());
    QCOMPARE(Chart.SummaryText(), QStringLiteral("周二 5:00 — 0 次访问"));
    const QImage Img = Render(Chart, 1088, 240);
    QCOMPARE(PixelAt(Img, R.left(), R.center().y()), clAccent);
    QCOMPARE(PixelAt(Img, R.left() + 1, R.center().y()), clHeatEmpty);
    QCOMPARE(PixelAt(Img, R.right(), R.center().y()), clAccent);
    QCOMPARE(PixelAt(Img, R.center().x(), R.bottom()), clAccent);
    // A new matrix keeps the hovered cell.
    THeatMatrix M = SampleMatrix();
    M[2][5] = 7;
    Chart.SetMatrix(M);
    QCOMPARE(Chart.SummaryText(), QStringLiteral("周二 5:00 — 7 次访问"));
    Leave(Chart);
    QCOMPARE(Chart.HoverDay(), -1);
    Chart.SetMatrix(THeatMatrix{});
    QCOMPARE(Chart.SummaryText(), QStringLiteral("把鼠标移到格子上可查看具体次数"));
}

void TChartsTest::HeatHoverRepaintsOnlyOnChange()
{
    THeatChart Chart(nullptr);
    Chart.SetMatrix(SampleMatrix());
    Chart.resize(1088, 240);
    Chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Chart));
    TPaintSpy Spy(&Chart);
    const QRect R = HeatCellRect(CalcGrid(1088, 240), 1, 9);
    struct TStep {
        QPoint Pos;
        bool Changes;
    };
    const TStep Steps[] = {
        {R.center(), true},
        {R.center() + QPoint(3, 2), false},
        {R.topLeft() - QPoint(2, 2), false}, // the inset still belongs to the cell
        {R.center() + QPoint(43, 0), true},
        {QPoint(10, 10), true}, // off the grid
        {QPoint(12, 12), false},
    };
    for (const TStep& S : Steps) {
        const int Requests = Chart.RepaintRequests();
        QCoreApplication::processEvents();
        const int Paints = Spy.Paints;
        MoveTo(Chart, S.Pos.x(), S.Pos.y());
        QCoreApplication::processEvents();
        QCOMPARE(Chart.RepaintRequests() - Requests, S.Changes ? 1 : 0);
        QCOMPARE(Spy.Paints > Paints, S.Changes);
    }
    MoveTo(Chart, R.center().x(), R.center().y());
    int Requests = Chart.RepaintRequests();
    Leave(Chart);
    QCOMPARE(Chart.RepaintRequests() - Requests, 1);
    Requests = Chart.RepaintRequests();
    Leave(Chart);
    QCOMPARE(Chart.RepaintRequests() - Requests, 0);
}

void TChartsTest::HeatTooSmallStaysWhite()
{
    THeatChart Chart(nullptr);
    Chart.SetMatrix(SampleMatrix());
    const QImage Img = Render(Chart, 151, 240);
    for (int Y = 0; Y < Img.height(); ++Y)
        for (int X = 0; X < Img.width(); ++X)
            if (PixelAt(Img, X, Y) != clWhite)
                QFAIL("something drawn on a chart too narrow for its grid");
}

void TChartsTest::BarColoursAndStubs()
{
    TBarChart Chart(nullptr);
    TDayPoints Points;
    for (int I = 0; I < 30; ++I)
        Points.append({QStringLiteral("2024-03-%1").arg(I + 1, 2, 10, QLatin1Char('0')), I == 4 ? 0 : 11 + I});
    Chart.SetPoints(Points);
    Render(Chart, 1088, 200); // lays the bars out
    const TBarLayout L = CalcBarLayout(1088, 200, 30);
    MoveTo(Chart, BarX(L, 7) + 5, 0);
    QCOMPARE(Chart.HoverIndex(), 7);
    QCOMPARE(Chart.HeaderText(), QStringLiteral("2024-03-08 — 18 次访问"));
    const QImage Img = Render(Chart, 1088, 200);
    const int MidX = L.BarW / 2;
    QCOMPARE(PixelAt(Img, BarX(L, 7) + MidX, L.Base - 5), clAccentDark);
    QCOMPARE(PixelAt(Img, BarX(L, 6) + MidX, L.Base - 5), clAccent);
    // The tallest bar, at a nice count (40), reaches the top scale line.
    QCOMPARE(PixelAt(Img, BarX(L, 29) + MidX, L.Base - L.PH + 1), clAccent);
    // A zero count is a 2 px stub.
    QCOMPARE(PixelAt(Img, BarX(L, 4) + MidX, L.Base - 1), clAccent);
    QCOMPARE(PixelAt(Img, BarX(L, 4) + MidX, L.Base - 2), clAccent);
    QCOMPARE(PixelAt(Img, BarX(L, 4) + MidX, L.Base - 3), clWhite);
    // The gap between bars is white, the baseline is a scale line.
    QCOMPARE(PixelAt(Img, BarX(L, 4) + L.BarW, L.Base - 1), clWhite);
    QCOMPARE(PixelAt(Img, BarX(L, 4) + L.BarW, L.Base), clGridLine);
    QCOMPARE(PixelAt(Img, 1088 - 13, L.Base), clGridLine);
    QCOMPARE(PixelAt(Img, 1088 - 12, L.Base), clWhite);
    Leave(Chart);
    QCOMPARE(Chart.HoverIndex(), -1);
    QCOMPARE(Chart.HeaderText(), QStringLiteral("合计 %1 次 · 悬停可看单点数值").arg(FormatCount(BarTotal(Points))));
}

void TChartsTest::BarHoverMapsPixelsToPoints()
{
    TBarChart Chart(nullptr);
    TDayPoints Points(600, TDayPoint{QStringLiteral("d"), 1});
    Chart.SetPoints(Points);
    Chart.resize(566, 200);
    // Nothing is selectable before the bars have been laid out by a paint.
    MoveTo(Chart, 100, 50);
    QCOMPARE(Chart.HoverIndex(), -1);
    Render(Chart, 566, 200);
    // Several days to a pixel: pixel C holds the days from C * 600 / 500 on.
    const int Cases[][2] = {{53, -1}, {54, 0}, {55, 2}, {353, 359}, {553, 599}, {554, -1}};
    for (const auto& C : Cases) {
        MoveTo(Chart, C[0], 190); // below the bars: the column still counts
        QCOMPARE(Chart.HoverIndex(), C[1]);
    }
    // New points drop the hover.
    Chart.SetPoints(Points);
    QCOMPARE(Chart.HoverIndex(), -1);
    // An empty chart never selects anything.
    Chart.SetPoints({});
    Render(Chart, 566, 200);
    MoveTo(Chart, 60, 50);
    QCOMPARE(Chart.HoverIndex(), -1);
}

void TChartsTest::BarHoverRepaintsOnlyOnChange()
{
    TBarChart Chart(nullptr);
    Chart.SetPoints(TDayPoints(30, TDayPoint{QStringLiteral("d"), 5}));
    Render(Chart, 1088, 200);
    const TBarLayout L = CalcBarLayout(1088, 200, 30);
    const int Xs[][2] = {{BarX(L, 3), 1}, {BarX(L, 3) + L.BarW, 0}, {BarX(L, 4), 1}, {20, 1}, {30, 0}};
    for (const auto& X : Xs) {
        const int Before = Chart.RepaintRequests();
        MoveTo(Chart, X[0], 40);
        QCOMPARE(Chart.RepaintRequests() - Before, X[1]);
    }
    const int Before = Chart.RepaintRequests();
    Leave(Chart);
    QCOMPARE(Chart.RepaintRequests(), Before);
}

void TChartsTest::BarThinBarsLookLikeRoundedOnes()
{
    // Thin bars take a plain fill for speed; it must give the rounded shape's pixels.
    for (int W : {1, 2})
        for (int H : {2, 3, 7, 40}) {
            QImage A(16, 60, QImage::Format_RGB32), B(16, 60, QImage::Format_RGB32);
            A.fill(Qt::white);
            B.fill(Qt::white);
            {
                QPainter P(&A);
                P.setPen(Qt::NoPen);
                P.setBrush(ToQColor(clAccent));
                P.drawRoundedRect(QRectF(5, 50 - H, W, H), 3, 3);
            }
            {
                QPainter P(&B);
                P.fillRect(QRect(5, 50 - H, W, H), ToQColor(clAccent));
            }
            QVERIFY2(A == B, qPrintable(QStringLiteral("%1 x %2").arg(W).arg(H)));
        }
}

void TChartsTest::RankRowsPaint()
{
    TRankChart Chart(nullptr);
    TRankEntries E = SampleEntries(4);
    E[2].Value = 0;
    E[1].Color = Rgb(0xFF, 0x80, 0x00);
    Chart.SetEntries(E);
    QCOMPARE(Chart.RowHeight(), 30);
    Chart.resize(400, 100);
    MoveTo(Chart, 200, 40);
    QCOMPARE(Chart.HoverIndex(), 1);
    const QImage Img = Render(Chart, 400, 100);
    // Row 3 does not fit: the scroll bar that appears takes its strip.
    QVERIFY(!Chart.ScrollBar()->isHidden());
    const int TW = RankTrackWidth(400 - Chart.ScrollBar()->width());
    auto BarY = [](int Row) { return RankRowTop(30, Row) + 30 - 9 + 2; };
    // Hovered row background, between rank number and label.
    QCOMPARE(PixelAt(Img, 28, RankRowTop(30, 1) + 20), clRowHover);
    QCOMPARE(PixelAt(Img, 28, RankRowTop(30, 0) + 20), clWhite);
    // Bars: largest fills the track, own colour used, default colour is the accent.
    QCOMPARE(PixelAt(Img, 34 + TW - 3, BarY(0)), clAccent);
    QCOMPARE(PixelAt(Img, 34 + TW / 2, BarY(1)), Rgb(0xFF, 0x80, 0x00));
    QCOMPARE(PixelAt(Img, 34 + TW - 3, BarY(1)), clHeatEmpty);
    // A zero value keeps a 4 px stub, then the track.
    QCOMPARE(PixelAt(Img, 36, BarY(2)), clAccent);
    QCOMPARE(PixelAt(Img, 37, BarY(2)), clAccent);
    QCOMPARE(PixelAt(Img, 39, BarY(2)), clHeatEmpty);
    // Row 3 starts at 94 and is cut by the edge; y 94..99 still map to it.
    QCOMPARE(Chart.RowAt(99), 3);
    QCOMPARE(Chart.RowAt(3), -1);

    E[0].Sub = QStringLiteral("two lines");
    Chart.SetEntries(E);
    QCOMPARE(Chart.RowHeight(), 42);
    QCOMPARE(Chart.HoverIndex(), -1);
    QCOMPARE(Chart.RowAt(46), 1);
}

void TChartsTest::RankScrollsToEveryRow_data()
{
    QTest::addColumn<int>("N");
    QTest::addColumn<bool>("WithSub");
    QTest::addColumn<int>("H");
    QTest::addColumn<bool>("Scrolls");
    // 15 domains and 12 pages in the report window at its smallest.
    QTest::newRow("15 rows of 30 px in 392") << 15 << false << 392 << true;
    QTest::newRow("12 rows of 42 px in 392") << 12 << true << 392 << true;
    QTest::newRow("15 rows of 30 px in 460: fit") << 15 << false << 460 << false;
}

void TChartsTest::RankScrollsToEveryRow()
{
    QFETCH(int, N);
    QFETCH(bool, WithSub);
    QFETCH(int, H);
    QFETCH(bool, Scrolls);
    TRankChart Chart(nullptr);
    Chart.resize(400, H);
    Chart.SetEntries(SampleEntries(N, WithSub));
    QCOMPARE(!Chart.ScrollBar()->isHidden(), Scrolls);
    for (int I = 0; I < 20; ++I) {
        QWheelEvent E(QPointF(50, 50), Chart.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Chart, &E);
    }
    QCOMPARE(Chart.ScrollOffset(), Chart.ScrollBar()->maximum());
    QCOMPARE(Chart.ScrollOffset() > 0, Scrolls);
    // Scrolled to the end, the last row sits at the bottom and answers there.
    QCOMPARE(Chart.RowAt(H - 8), N - 1);
    // New entries start at the top again.
    Chart.SetEntries(SampleEntries(N, WithSub));
    QCOMPARE(Chart.ScrollOffset(), 0);
}

void TChartsTest::RankHoverRepaintsOnlyOnChange()
{
    TRankChart Chart(nullptr);
    Chart.SetEntries(SampleEntries(5));
    Chart.resize(400, 200);
    const int Ys[][2] = {{10, 1}, {30, 0}, {34, 1}, {2, 1}, {0, 0}, {190, 0}, {60, 1}};
    for (const auto& Y : Ys) {
        const int Before = Chart.RepaintRequests();
        MoveTo(Chart, 50, Y[0]);
        QCOMPARE(Chart.RepaintRequests() - Before, Y[1]);
    }
    int Before = Chart.RepaintRequests();
    Leave(Chart);
    QCOMPARE(Chart.RepaintRequests() - Before, 1);
    Before = Chart.RepaintRequests();
    Leave(Chart);
    QCOMPARE(Chart.RepaintRequests() - Before, 0);
}

using TPresses = QList<QList<qint64>>; // {y, tick, button (1 left, 2 right)}

void TChartsTest::RankPressDetector_data()
{
    const qint64 Slow = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QTest::addColumn<TPresses>("Presses");
    QTest::addColumn<QList<int>>("Raised");
    QTest::newRow("two presses on one row") << TPresses{{10, 1000, 1}, {25, 1100, 1}} << QList<int>{0};
    QTest::newRow("anywhere within the row") << TPresses{{40, 1000, 1}, {60, 1100, 1}} << QList<int>{1};
    QTest::newRow("two rows") << TPresses{{10, 1000, 1}, {40, 1100, 1}} << QList<int>{};
    QTest::newRow("second press becomes the new first")
        << TPresses{{10, 1000, 1}, {40, 1100, 1}, {45, 1200, 1}} << QList<int>{1};
    QTest::newRow("too slow") << TPresses{{10, 1000, 1}, {10, 1000 + Slow, 1}} << QList<int>{};
    QTest::newRow("just in time") << TPresses{{10, 1000, 1}, {10, 1000 + Slow - 1, 1}} << QList<int>{0};
    QTest::newRow("tick wraps around") << TPresses{{10, 0xFFFFFFF0, 1}, {10, 0x20, 1}} << QList<int>{0};
    QTest::newRow("third press starts a new pair")
        << TPresses{{10, 1000, 1}, {10, 1050, 1}, {10, 1100, 1}} << QList<int>{0};
    QTest::newRow("four presses, two pairs")
        << TPresses{{10, 1000, 1}, {10, 1050, 1}, {10, 1100, 1}, {10, 1150, 1}} << QList<int>{0, 0};
    QTest::newRow("right button ignored") << TPresses{{10, 1000, 2}, {10, 1050, 2}} << QList<int>{};
    QTest::newRow("right press between lefts") << TPresses{{10, 1000, 1}, {10, 1030, 2}, {10, 1050, 1}}
                                               << QList<int>{0};
    QTest::newRow("band above the rows") << TPresses{{2, 1000, 1}, {2, 1050, 1}} << QList<int>{};
    QTest::newRow("below the rows") << TPresses{{190, 1000, 1}, {190, 1050, 1}} << QList<int>{};
    // The first press right after creation must not pair with the initial state.
    QTest::newRow("tick zero") << TPresses{{10, 0, 1}} << QList<int>{};
}

void TChartsTest::RankPressDetector()
{
    QFETCH(TPresses, Presses);
    TRankChart Chart(nullptr);
    Chart.SetEntries(SampleEntries(5));
    Chart.resize(400, 200);
    quint32 Tick = 0;
    Chart.SetTickSource([&Tick] { return Tick; });
    QList<int> Raised;
    connect(&Chart, &TRankChart::ItemDblClicked, this, [&](int Index) {
        QCOMPARE(sender(), &Chart);
        Raised.append(Index);
    });
    for (const QList<qint64>& P : Presses) {
        Tick = quint32(P[1]);
        Press(Chart, int(P[0]), P[2] == 1 ? Qt::LeftButton : Qt::RightButton);
        Release(Chart, int(P[0]));
    }
    QTEST(Raised, "Raised");
}

void TChartsTest::RankSystemDoubleClickRaisesTwice()
{
    TRankChart Chart(nullptr);
    Chart.SetEntries(SampleEntries(5));
    Chart.resize(400, 200);
    QList<int> Raised;
    const QMetaObject::Connection Handler =
        connect(&Chart, &TRankChart::ItemDblClicked, this, [&](int Index) { Raised.append(Index); });

    // What the window system delivers: press, release, double click, release.
    Press(Chart, 70);
    Release(Chart, 70);
    Press(Chart, 70, Qt::LeftButton, QEvent::MouseButtonDblClick);
    Release(Chart, 70);
    QCOMPARE(Raised, (QList<int>{2, 2}));

    // Through the window system layer, which turns a quick second press into
    // press plus double click the way a real desktop does.
    Raised.clear();
    Chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Chart));
    QTest::mouseDClick(Chart.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    QCOMPARE(Raised, (QList<int>{0, 0}));

    // Without a handler a double click is simply ignored.
    disconnect(Handler);
    QTest::mouseDClick(Chart.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 40));
}

void TChartsTest::RankEmptyRaisesNothing()
{
    TRankChart Chart(nullptr);
    Chart.resize(400, 200);
    int Raised = 0;
    connect(&Chart, &TRankChart::ItemDblClicked, this, [&] { ++Raised; });
    QTest::mouseDClick(&Chart, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    Press(Chart, 10);
    Press(Chart, 10);
    QCOMPARE(Raised, 0);
}

void TChartsTest::DonutRingHoleAndLegend()
{
    const TColor Red = Rgb(0xE0, 0x40, 0x40), Green = Rgb(0x30, 0xA0, 0x50), Blue = Rgb(0x20, 0x60, 0xD0);
    TDonutChart Chart(nullptr);
    // Sweeps: 180° on the right, 0 (no segment), 90° lower left, 90° upper left.
    Chart.SetSlices({{QStringLiteral("甲"), 2, Red},
                     {QStringLiteral("乙"), 0, Rgb(0, 0, 0)},
                     {QStringLiteral("丙"), 1, Green},
                     {QStringLiteral("丁"), 1, Blue}});
    const QImage Img = Render(Chart, 400, 300);
    const int CX = 112, CY = 120;
    QCOMPARE(PixelAt(Img, CX + 80, CY), Red);
    QCOMPARE(PixelAt(Img, CX - 60, CY + 60), Green);
    QCOMPARE(PixelAt(Img, CX - 60, CY - 60), Blue);
    // The hole is white, the ring ends at the outer radius.
    QCOMPARE(PixelAt(Img, CX, CY - 40), clWhite);
    QCOMPARE(PixelAt(Img, CX + 50, CY + 20), clWhite);
    QCOMPARE(PixelAt(Img, CX + 80, CY - 20), Red);
    QCOMPARE(PixelAt(Img, CX + 103, CY), clWhite);
    // Legend swatches, one row per slice including the zero one.
    QCOMPARE(PixelAt(Img, 238 + 5, 24 + 10), Red);
    QCOMPARE(PixelAt(Img, 238 + 5, 48 + 10), Rgb(0, 0, 0));
    QCOMPARE(PixelAt(Img, 238 + 5, 72 + 10), Green);
    QCOMPARE(PixelAt(Img, 238 + 5, 96 + 10), Blue);
    QCOMPARE(PixelAt(Img, 238 + 5, 120 + 10), clWhite);
}

void TChartsTest::DonutNoLegendWhenNarrow()
{
    TDonutChart Chart(nullptr);
    Chart.SetSlices({{QStringLiteral("甲"), 2, clAccent}});
    const QImage Img = Render(Chart, 309, 300);
    for (int Y = 0; Y < 300; ++Y)
        for (int X = 236; X < 309; ++X)
            if (PixelAt(Img, X, Y) != clWhite)
                QFAIL("legend drawn without room for it");
    QCOMPARE(PixelAt(Img, 112, 40), clAccent);
}

void TChartsTest::WideNumbersKeepTheirLeadingDigits()
{
    // Right-aligned numbers wider than their column grow to the left instead
    // of losing their leading digits; there must be ink left of the column.
    auto InkLeftOf = [](const QImage& Img, int X0, int X1, int Y0, int Y1) {
        int Ink = 0;
        for (int Y = Y0; Y < Y1; ++Y)
            for (int X = X0; X < X1; ++X)
                Ink += PixelAt(Img, X, Y) != clWhite;
        return Ink;
    };
    TDonutChart Donut(nullptr);
    Donut.SetSlices({{QStringLiteral("甲"), 456789, clAccent}, {QStringLiteral("乙"), 1, clAccentDark}});
    QImage Img = Render(Donut, 400, 300);
    QVERIFY(InkLeftOf(Img, 400 - 74 - 12, 400 - 74, 26, 44) > 0);
    // A short value stays within its column.
    QCOMPARE(InkLeftOf(Img, 400 - 74 - 12, 400 - 74, 50, 68), 0);

    TRankChart Rank(nullptr);
    Rank.SetEntries({{QStringLiteral("a"), QString(), 2147483647, kDefaultColor}});
    Img = Render(Rank, 400, 60);
    QVERIFY(InkLeftOf(Img, 400 - 66 - 14, 400 - 66, 6, 22) > 0);
}

QTEST_MAIN(TChartsTest)
#include "tst_charts.moc"
