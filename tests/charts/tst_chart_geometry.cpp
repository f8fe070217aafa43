#include "chart_geometry.h"
#include "palette.h"

#include <QDate>
#include <QLocale>
#include <QtTest>

#include <cstdlib>

Q_DECLARE_METATYPE(TColor)

class TChartGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }

    void HeatGrid_data();
    void HeatGrid();
    void HeatHit_data();
    void HeatHit();
    void HeatPeak_data();
    void HeatPeak();
    void HeatColour_data();
    void HeatColour();
    void HeatTexts();

    void BarLayout_data();
    void BarLayout();
    void BarAxis_data();
    void BarAxis();
    void BarHeights_data();
    void BarHeights();
    void BarsSpanThePlot_data();
    void BarsSpanThePlot();
    void DateLabels_data();
    void DateLabels();
    void BarTexts();

    void RankRows_data();
    void RankRows();
    void RankRowHeightRule();
    void RankFill_data();
    void RankFill();
    void RankKeys_data();
    void RankKeys();

    void DonutGeometry_data();
    void DonutGeometry();
    void DonutLegend_data();
    void DonutLegend();
    void DonutPercent_data();
    void DonutPercent();
    void DonutPolygon_data();
    void DonutPolygon();
    void DonutSliceAt_data();
    void DonutSliceAt();
    void NumbersGrowLeft();
};

void TChartGeometryTest::HeatGrid_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("CW");
    QTest::addColumn<int>("CH");
    QTest::addColumn<int>("T");
    QTest::addColumn<bool>("Drawable");
    QTest::newRow("report window") << 1088 << 240 << 43 << 28 << 20 << true;
    QTest::newRow("tall: cells capped at 34, grid centred") << 1088 << 400 << 43 << 34 << 79 << true;
    QTest::newRow("short: cells at least 8") << 1088 << 100 << 43 << 8 << 20 << true;
    QTest::newRow("tiny: top never above 20") << 1088 << 50 << 43 << 8 << 20 << true;
    QTest::newRow("numbers fit from 776") << 776 << 240 << 30 << 28 << 20 << true;
    QTest::newRow("just below") << 775 << 240 << 29 << 28 << 20 << true;
    QTest::newRow("narrowest drawable") << 152 << 240 << 4 << 28 << 20 << true;
    QTest::newRow("too narrow") << 151 << 240 << 3 << 28 << 20 << false;
}

void TChartGeometryTest::HeatGrid()
{
    QFETCH(int, W);
    QFETCH(int, H);
    const THeatGrid G = CalcGrid(W, H);
    QCOMPARE(G.L, 46);
    QCOMPARE(G.Pad, 3);
    QTEST(G.CW, "CW");
    QTEST(G.CH, "CH");
    QTEST(G.T, "T");
    QTEST(GridDrawable(G), "Drawable");
}

void TChartGeometryTest::HeatHit_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("X");
    QTest::addColumn<int>("Y");
    QTest::addColumn<int>("Day");
    QTest::addColumn<int>("Hour");
    // 1088 x 240: L 46, T 20, CW 43, CH 28.
    QTest::newRow("first cell corner") << 1088 << 46 << 20 << 0 << 0;
    QTest::newRow("left of grid") << 1088 << 45 << 20 << -1 << -1;
    QTest::newRow("above grid") << 1088 << 46 << 19 << -1 << -1;
    QTest::newRow("inset gap counts") << 1088 << 47 << 21 << 0 << 0;
    QTest::newRow("last column") << 1088 << 46 + 24 * 43 - 1 << 215 << 6 << 23;
    QTest::newRow("right of grid") << 1088 << 46 + 24 * 43 << 100 << -1 << -1;
    QTest::newRow("below grid") << 1088 << 100 << 216 << -1 << -1;
    QTest::newRow("tuesday 5:00") << 1088 << 46 + 5 * 43 + 20 << 20 + 2 * 28 + 14 << 2 << 5;
    QTest::newRow("hover still works at CW 3") << 130 << 46 + 3 * 3 << 20 << 0 << 3;
    QTest::newRow("not below CW 3") << 125 << 47 << 21 << -1 << -1;
}

void TChartGeometryTest::HeatHit()
{
    QFETCH(int, W);
    QFETCH(int, X);
    QFETCH(int, Y);
    const THeatCell C = HeatCellAt(CalcGrid(W, 240), X, Y);
    QTEST(C.Day, "Day");
    QTEST(C.Hour, "Hour");
}

using TCellValues = QList<QList<int>>; // rows of {day, hour, value}

void TChartGeometryTest::HeatPeak_data()
{
    QTest::addColumn<TCellValues>("Cells");
    QTest::addColumn<int>("Max");
    QTest::addColumn<int>("Day");
    QTest::addColumn<int>("Hour");
    QTest::newRow("all zero") << TCellValues{} << 0 << -1 << -1;
    QTest::newRow("negatives never peak") << TCellValues{{3, 4, -5}} << 0 << -1 << -1;
    QTest::newRow("tie goes to earlier day") << TCellValues{{3, 9, 40}, {1, 9, 40}} << 40 << 1 << 9;
    QTest::newRow("tie goes to earlier hour") << TCellValues{{2, 20, 7}, {2, 3, 7}} << 7 << 2 << 3;
    QTest::newRow("strictly larger wins") << TCellValues{{0, 0, 7}, {6, 23, 8}} << 8 << 6 << 23;
}

void TChartGeometryTest::HeatPeak()
{
    QFETCH(TCellValues, Cells);
    THeatMatrix M{};
    for (const QList<int>& C : Cells)
        M[C[0]][C[1]] = C[2];
    const THeatPeak P = FindPeak(M);
    QTEST(int(P.Max), "Max");
    QTEST(P.Day, "Day");
    QTEST(P.Hour, "Hour");
}

void TChartGeometryTest::HeatColour_data()
{
    QTest::addColumn<int>("Value");
    QTest::addColumn<int>("Max");
    QTest::addColumn<TColor>("Colour");
    QTest::addColumn<TColor>("Text");
    const TColor Black = Rgb(0, 0, 0);
    QTest::newRow("empty") << 0 << 100 << clHeatEmpty << clText;
    QTest::newRow("negative") << -3 << 100 << clHeatEmpty << clText;
    QTest::newRow("peak") << 100 << 100 << clAccent << Black;
    QTest::newRow("90 %") << 90 << 100 << BlendColor(clWhite, clAccent, 0.9517) << Black;
    QTest::newRow("70 %") << 70 << 100 << BlendColor(clWhite, clAccent, 0.8469) << Black;
    QTest::newRow("half") << 50 << 100 << Rgb(0x68, 0x93, 0xF8) << clText;
    QTest::newRow("quarter") << 25 << 100 << BlendColor(clWhite, clAccent, 0.5412) << clText;
    // A zero maximum is treated as 1 instead of dividing by zero.
    QTest::newRow("max below one") << 1 << 0 << clAccent << Black;
    // Colours darker than the ramp fall back to white.
    QTest::newRow("navy (not a heat colour)") << 0 << 0 << Rgb(0, 0, 0x80) << clWhite;
}

void TChartGeometryTest::HeatColour()
{
    QFETCH(int, Value);
    QFETCH(int, Max);
    QFETCH(TColor, Colour);
    if (Max > 0 || Value > 0)
        QCOMPARE(HeatCellColor(Value, Max), Colour);
    const TColor Text = HeatTextColor(Colour);
    QTEST(Text, "Text");
    QVERIFY(ContrastRatio(Text, Colour) >= 4.5);
}

void TChartGeometryTest::HeatTexts()
{
    QCOMPARE(HeatHoverText(2, 5, 0), QStringLiteral("周二 5:00 — 0 次访问"));
    QCOMPARE(HeatHoverText(6, 23, 1234567), QStringLiteral("周六 23:00 — 1,234,567 次访问"));
    QCOMPARE(HeatPeakText(1, 9, 4321), QStringLiteral("峰值 周一 9:00（4,321 次）· 颜色越深访问越集中"));
    QCOMPARE(HeatHintText(), QStringLiteral("把鼠标移到格子上可查看具体次数"));
    QCOMPARE(WeekdayNames().size(), 7);
    QCOMPARE(WeekdayNames().first(), QStringLiteral("周日"));
}

void TChartGeometryTest::BarLayout_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("N");
    QTest::addColumn<qreal>("Dpr");
    QTest::addColumn<int>("BarW");
    QTest::addColumn<int>("Gap");
    QTest::addColumn<int>("Base");
    QTest::addColumn<bool>("Drawable");
    QTest::newRow("one point is a bar, not a slab") << 1088 << 200 << 1 << 1.0 << 48 << 2 << 174 << true;
    QTest::newRow("thirty days") << 1088 << 200 << 30 << 1.0 << 32 << 2 << 174 << true;
    QTest::newRow("thirty days at 1.5") << 1088 << 200 << 30 << 1.5 << 48 << 3 << 174 << true;
    QTest::newRow("thirty days at 2") << 1088 << 200 << 30 << 2.0 << 64 << 4 << 174 << true;
    QTest::newRow("2 px bars keep their gaps") << 566 << 200 << 125 << 1.0 << 2 << 2 << 174 << true;
    QTest::newRow("narrower: bars fill their slots") << 566 << 200 << 126 << 1.0 << 0 << 0 << 174 << true;
    QTest::newRow("600 in 500 px") << 566 << 200 << 600 << 1.0 << 0 << 0 << 174 << true;
    QTest::newRow("plot too low") << 1088 << 89 << 5 << 1.0 << 202 << 2 << 63 << false;
    QTest::newRow("plot too narrow") << 105 << 200 << 5 << 1.0 << 5 << 2 << 174 << false;
    QTest::newRow("smallest plot") << 106 << 90 << 1 << 1.0 << 40 << 2 << 64 << true;
}

void TChartGeometryTest::BarLayout()
{
    QFETCH(int, W);
    QFETCH(int, H);
    QFETCH(int, N);
    QFETCH(qreal, Dpr);
    const TBarLayout L = CalcBarLayout(W, H, N, Dpr);
    QCOMPARE(L.BarLeft, 54);
    QTEST(L.BarW, "BarW");
    QTEST(L.Gap, "Gap");
    QTEST(L.Base, "Base");
    QTEST(BarPlotDrawable(L), "Drawable");
}

void TChartGeometryTest::BarAxis_data()
{
    QTest::addColumn<int>("M");
    QTest::addColumn<qint64>("Step");
    QTest::addColumn<int>("Steps");
    QTest::newRow("1: whole steps only") << 1 << qint64(1) << 1;
    QTest::newRow("2") << 2 << qint64(1) << 2;
    QTest::newRow("3") << 3 << qint64(1) << 3;
    QTest::newRow("7") << 7 << qint64(2) << 4;
    QTest::newRow("11: no 2.5 steps") << 11 << qint64(5) << 3;
    QTest::newRow("101") << 101 << qint64(25) << 5;
    QTest::newRow("151") << 151 << qint64(50) << 4;
    QTest::newRow("2,700") << 2700 << qint64(1000) << 3;
    QTest::newRow("4,590") << 4590 << qint64(1000) << 5;
    QTest::newRow("largest count") << 2147483647 << qint64(500000000) << 5;
}

void TChartGeometryTest::BarAxis()
{
    QFETCH(int, M);
    const TBarAxis A = ::BarAxis(M);
    QTEST(A.Step, "Step");
    QTEST(A.Steps, "Steps");
    // Every largest count up to here meets the rules, not only the rows.
    for (qint64 V = 3; V <= M; V += std::max<qint64>(1, V / 97)) {
        const TBarAxis B = ::BarAxis(qint32(V));
        qint64 Mantissa = B.Step;
        while (Mantissa % 10 == 0)
            Mantissa /= 10;
        QVERIFY2(QList<qint64>({1, 2, 25, 5}).contains(Mantissa), qPrintable(QString::number(V)));
        QVERIFY2(B.Steps >= 3 && B.Steps <= 5 && B.Top() >= V && V * 10 >= B.Top() * 7, qPrintable(QString::number(V)));
    }
    // The grid runs from the baseline to the top of the plot; a low plot
    // labels only lines far enough apart.
    const TBarLayout L = CalcBarLayout(1088, 200, 30);
    QCOMPARE(BarScaleY(L, A, 0), L.Base);
    QCOMPARE(BarScaleY(L, A, A.Steps), L.Base - L.PH);
    QCOMPARE(BarScaleLabelLines(CalcBarLayout(1088, 90, 30), ::BarAxis(4590), 13), QList<int>({0, 2, 4}));
}

void TChartGeometryTest::BarHeights_data()
{
    QTest::addColumn<int>("Count");
    QTest::addColumn<qint64>("Top");
    QTest::addColumn<int>("PH");
    QTest::addColumn<int>("Height");
    QTest::newRow("zero still a stub") << 0 << qint64(4) << 150 << 2;
    QTest::newRow("negative still a stub") << -5 << qint64(20) << 150 << 2;
    QTest::newRow("scale top is full height") << 20 << qint64(20) << 150 << 150;
    QTest::newRow("third") << 1 << qint64(3) << 100 << 33;
    QTest::newRow("half rounds to even") << 1 << qint64(4) << 10 << 2;
    QTest::newRow("tiny share") << 1 << qint64(1000) << 150 << 2;
    QTest::newRow("top past 32 bits") << 2000000000 << qint64(4000000000) << 150 << 75;
}

void TChartGeometryTest::BarHeights()
{
    QFETCH(int, Count);
    QFETCH(qint64, Top);
    QFETCH(int, PH);
    QTEST(BarHeight(Count, Top, PH), "Height");
}

namespace {

TDayPoints Dates(const QDate& First, int N)
{
    TDayPoints Points;
    for (int I = 0; I < N; ++I)
        Points.append({First.addDays(I).toString(Qt::ISODate), 1});
    return Points;
}

int SixPerChar(const QString& Text)
{
    return int(6 * Text.size());
}

}  // namespace

void TChartGeometryTest::BarsSpanThePlot_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<qreal>("Dpr");
    QTest::addColumn<int>("N");
    // The trend chart's width in windows of 980, 1120, 1600 and 1920 px.
    for (int W : {936, 1076, 1556, 1876})
        for (qreal Dpr : {1.0, 1.25, 1.5, 2.0})
            for (int N : {1, 2, 30, 90, 365, 3650})
                QTest::addRow("%d px at %g, %d days", W, Dpr, N) << W << Dpr << N;
}

void TChartGeometryTest::BarsSpanThePlot()
{
    QFETCH(int, W);
    QFETCH(qreal, Dpr);
    QFETCH(int, N);
    const TBarLayout L = CalcBarLayout(W, 200, N, Dpr);
    const TDayPoints Points = Dates(QDate(2023, 11, 20), N);
    const qreal Pixel = 1 / Dpr;
    const qreal Right = 54 + L.PW;

    // Bars from the plot's left edge to its right edge (within a gap), on
    // whole device pixels, apart by at least the gap.
    QVERIFY(qAbs(BarRect(L, BarSlotOf(L, 0), 1).left() - 54) <= Pixel);
    if (N > 1)
        QVERIFY(Right - BarRect(L, BarSlotOf(L, N - 1), 1).right() <= (L.Gap + 1) * Pixel + 1e-9);
    int End = -L.Gap;
    for (int I = 0; I < N;) {
        const TBarSlot S = BarSlotOf(L, I);
        QVERIFY(S.First == I && S.W >= 1 && S.X >= End + L.Gap);
        End = S.X + S.W;
        // The pointer over any pixel of the bar finds the day the bar shows.
        const QRectF Bar = BarRect(L, S, 1);
        for (qreal X : {Bar.left() + Pixel / 2, Bar.right() - Pixel / 2})
            QCOMPARE(BarAt(L, X, Points), BarSlotDay(Points, S));
        I = S.Last + 1;
    }
    // Every column of the plot belongs to a bar, save right of a lone one.
    const qreal Lone = N == 1 ? BarRect(L, BarSlotOf(L, 0), 1).right() + L.Gap * Pixel : Right;
    for (qreal X = 54 + Pixel / 2; X < Right; X += Pixel)
        QVERIFY2((BarAt(L, X, Points) >= 0) == (X < Lone), qPrintable(QString::number(X)));
    QCOMPARE(BarAt(L, Right + Pixel / 2, Points), -1);
    QCOMPARE(BarAt(L, 54 - Pixel / 2, Points), -1);

    // The first label begins under the first bar, the last ends under the last.
    const QList<TDateLabel> Labels = BarDateLabels(L, Points, MonthStarts(Points), SixPerChar);
    QCOMPARE(Labels.first().Index, 0);
    QCOMPARE(Labels.first().Box.left(), 54);
    if (N > 1) {
        QCOMPARE(Labels.last().Index, N - 1);
        QVERIFY(qAbs(Labels.last().Box.right() + 1 - BarRect(L, BarSlotOf(L, N - 1), 1).right()) < 1);
    }
    for (int I = 1; I < Labels.size(); ++I)
        QVERIFY2(Labels[I].Box.left() >= Labels[I - 1].Box.right() + 12, qPrintable(Points[Labels[I].Index].Text));
    QVERIFY(Labels.last().Box.right() < W);
}

void TChartGeometryTest::DateLabels_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<QDate>("First");
    QTest::addColumn<int>("N");
    QTest::addColumn<QStringList>("Texts");
    const QDate Jan1(2024, 1, 1);
    QTest::newRow("a year, wide: every month")
        << 1876 << Jan1 << 366
        << QStringList{"2024-01-01", "2024-02-01", "2024-03-01", "2024-04-01", "2024-05-01", "2024-06-01",
                       "2024-07-01", "2024-08-01", "2024-09-01", "2024-10-01", "2024-11-01", "2024-12-01",
                       "2024-12-31"};
    QTest::newRow("a year, narrow: every quarter")
        << 500 << Jan1 << 366 << QStringList{"2024-01-01", "2024-04-01", "2024-07-01", "2024-10-01", "2024-12-31"};
    QTest::newRow("too near the ends: left out")
        << 1076 << QDate(2024, 3, 30) << 90 << QStringList{"2024-03-30", "2024-05-01", "2024-06-01", "2024-06-27"};
    QTest::newRow("one month start: the middle")
        << 1076 << QDate(2024, 3, 20) << 30 << QStringList{"2024-03-20", "2024-04-04", "2024-04-18"};
    QTest::newRow("ten years: every second year")
        << 700 << Jan1 << 3653
        << QStringList{"2024-01-01", "2026-01-01", "2028-01-01", "2030-01-01", "2032-01-01", "2033-12-31"};
    QTest::newRow("two days") << 1076 << Jan1 << 2 << QStringList{"2024-01-01", "2024-01-02"};
    QTest::newRow("ends too close for both") << 170 << Jan1 << 2 << QStringList{"2024-01-01"};
}

void TChartGeometryTest::DateLabels()
{
    QFETCH(int, W);
    QFETCH(QDate, First);
    QFETCH(int, N);
    const TDayPoints Points = Dates(First, N);
    QStringList Texts;
    for (const TDateLabel& D : BarDateLabels(CalcBarLayout(W, 200, N), Points, MonthStarts(Points), SixPerChar))
        Texts << Points[D.Index].Text;
    QTEST(Texts, "Texts");
}

void TChartGeometryTest::BarTexts()
{
    QCOMPARE(BarTotalText(0), QStringLiteral("合计 0 次 · 悬停可看单点数值"));
    QCOMPARE(BarHoverText({QStringLiteral("2024-03-05"), 1234}), QStringLiteral("2024-03-05 — 1,234 次访问"));
    // Two busy days must not wrap the 32-bit range.
    const TDayPoints Busy{{QStringLiteral("a"), 2000000000}, {QStringLiteral("b"), 2000000000}};
    QCOMPARE(BarTotal(Busy), Q_INT64_C(4000000000));
    QCOMPARE(BarTotalText(BarTotal(Busy)), QStringLiteral("合计 4,000,000,000 次 · 悬停可看单点数值"));
    QCOMPARE(BarScaleMax({}), 1);
    QCOMPARE(BarScaleMax({{QString(), -4}}), 1);
}

void TChartGeometryTest::RankRows_data()
{
    QTest::addColumn<int>("Y");
    QTest::addColumn<int>("RowH");
    QTest::addColumn<int>("N");
    QTest::addColumn<int>("Row");
    QTest::newRow("band above the first row") << 3 << 30 << 4 << -1;
    QTest::newRow("negative y") << -10 << 30 << 4 << -1;
    QTest::newRow("first row top") << 4 << 30 << 4 << 0;
    QTest::newRow("first row bottom") << 33 << 30 << 4 << 0;
    QTest::newRow("second row") << 34 << 30 << 4 << 1;
    QTest::newRow("row cut by a 100 px edge") << 94 << 30 << 4 << 3;
    QTest::newRow("still row 3 at y 99") << 99 << 30 << 4 << 3;
    QTest::newRow("below the last row") << 124 << 30 << 4 << -1;
    QTest::newRow("two-line rows") << 46 << 42 << 4 << 1;
    QTest::newRow("no rows") << 10 << 30 << 0 << -1;
    QTest::newRow("no row height") << 10 << 0 << 4 << -1;
}

void TChartGeometryTest::RankRows()
{
    QFETCH(int, Y);
    QFETCH(int, RowH);
    QFETCH(int, N);
    QTEST(RankRowAt(Y, RowH, N), "Row");
}

void TChartGeometryTest::RankRowHeightRule()
{
    const TRankEntry Plain{QStringLiteral("a"), QString(), 1, kDefaultColor};
    const TRankEntry Two{QStringLiteral("b"), QStringLiteral("b.example"), 1, kDefaultColor};
    QCOMPARE(RankRowHeight({}), 30);
    QCOMPARE(RankRowHeight({Plain}), 30);
    QCOMPARE(RankRowHeight({Two, Plain}), 42);
    // Only the first row decides.
    QCOMPARE(RankRowHeight({Plain, Two}), 30);
    QCOMPARE(RankTrackWidth(660), 612);
    QCOMPARE(RankTrackWidth(50), 20);
}

void TChartGeometryTest::RankFill_data()
{
    QTest::addColumn<int>("Value");
    QTest::addColumn<int>("M");
    QTest::addColumn<int>("TW");
    QTest::addColumn<int>("FW");
    QTest::newRow("zero keeps a 4 px stub") << 0 << 100 << 612 << 4;
    QTest::newRow("negative keeps a 4 px stub") << -9 << 100 << 612 << 4;
    QTest::newRow("largest fills the track") << 100 << 100 << 612 << 612;
    QTest::newRow("half") << 50 << 100 << 612 << 306;
    QTest::newRow("12.5 rounds down to even") << 1 << 8 << 100 << 12;
    QTest::newRow("37.5 rounds up to even") << 3 << 8 << 100 << 38;
    QTest::newRow("never past a tiny track") << 5 << 5 << 3 << 3;
}

void TChartGeometryTest::RankFill()
{
    QFETCH(int, Value);
    QFETCH(int, M);
    QFETCH(int, TW);
    QTEST(RankFillWidth(Value, M, TW), "FW");
}

void TChartGeometryTest::RankKeys_data()
{
    QTest::addColumn<int>("Current");
    QTest::addColumn<int>("Key");
    QTest::addColumn<int>("Row");
    QTest::newRow("down starts at the first") << -1 << int(Qt::Key_Down) << 0;
    QTest::newRow("up starts at the first") << -1 << int(Qt::Key_Up) << 0;
    QTest::newRow("down") << 3 << int(Qt::Key_Down) << 4;
    QTest::newRow("down stops at the last") << 14 << int(Qt::Key_Down) << 14;
    QTest::newRow("up stops at the first") << 0 << int(Qt::Key_Up) << 0;
    QTest::newRow("page down") << 3 << int(Qt::Key_PageDown) << 8;
    QTest::newRow("page down stops at the last") << 12 << int(Qt::Key_PageDown) << 14;
    QTest::newRow("page up stops at the first") << 3 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("home") << 9 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << -1 << int(Qt::Key_End) << 14;
    QTest::newRow("other keys leave it") << 5 << int(Qt::Key_A) << 5;
}

void TChartGeometryTest::RankKeys()
{
    QFETCH(int, Current);
    QFETCH(int, Key);
    QTEST(RankKeyRow(Current, Key, 15, 5), "Row");
    QCOMPARE(RankKeyRow(Current, Key, 0, 5), -1);
    // The row comes into view whole from above and from below.
    const int Row = RankKeyRow(Current, Key, 15, 5);
    for (int Scroll : {0, 300}) {
        const int S = RankScrollToShow(Scroll, 30, Row, 100);
        QVERIFY(S <= RankRowTop(30, Row) - 2 && RankRowTop(30, Row) + 30 <= S + 100);
    }
}

void TChartGeometryTest::DonutGeometry_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<QList<int>>("Expected"); // D, R, CX, CY, hole, LX
    QTest::newRow("report window") << 400 << 300 << QList<int>{200, 100, 112, 120, 62, 238};
    QTest::newRow("capped at 200") << 1000 << 600 << QList<int>{200, 100, 112, 120, 62, 238};
    QTest::newRow("at least 90") << 400 << 80 << QList<int>{90, 45, 57, 65, 28, 128};
    QTest::newRow("narrow wins over the minimum") << 100 << 300 << QList<int>{60, 30, 42, 50, 19, 98};
    QTest::newRow("odd height") << 400 << 175 << QList<int>{151, 75, 87, 95, 46, 189};
}

void TChartGeometryTest::DonutGeometry()
{
    QFETCH(int, W);
    QFETCH(int, H);
    QFETCH(QList<int>, Expected);
    const TDonutGeom G = CalcDonut(W, H);
    QCOMPARE((QList<int>{G.D, G.R, G.CX, G.CY, G.Hole, G.LX}), Expected);
}

void TChartGeometryTest::DonutLegend_data()
{
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("N");
    QTest::addColumn<bool>("Legend");
    QTest::addColumn<int>("Rows");
    QTest::newRow("report window, many slices") << 400 << 300 << 20 << true << 11;
    QTest::newRow("few slices") << 400 << 300 << 3 << true << 3;
    QTest::newRow("legend needs LX + 72") << 310 << 300 << 3 << true << 3;
    QTest::newRow("one pixel short") << 309 << 300 << 3 << false << 3;
    QTest::newRow("too low for a row") << 400 << 45 << 3 << true << 0;
}

void TChartGeometryTest::DonutLegend()
{
    QFETCH(int, W);
    QFETCH(int, H);
    QFETCH(int, N);
    QTEST(DonutHasLegend(CalcDonut(W, H), W), "Legend");
    QTEST(DonutLegendRows(H, N), "Rows");
}

void TChartGeometryTest::DonutPercent_data()
{
    QTest::addColumn<int>("Value");
    QTest::addColumn<int>("Total");
    QTest::addColumn<QString>("Text");
    QTest::newRow("12.5 -> 12") << 1 << 8 << QStringLiteral("1 · 12%");
    QTest::newRow("87.5 -> 88") << 7 << 8 << QStringLiteral("7 · 88%");
    QTest::newRow("quarter") << 1 << 4 << QStringLiteral("1 · 25%");
    QTest::newRow("zero slice") << 0 << 4 << QStringLiteral("0 · 0%");
    QTest::newRow("whole") << 12345 << 12345 << QStringLiteral("12,345 · 100%");
}

void TChartGeometryTest::DonutPercent()
{
    QFETCH(int, Value);
    QFETCH(int, Total);
    QTEST(DonutLegendValue(Value, Total), "Text");
}

void TChartGeometryTest::DonutPolygon_data()
{
    QTest::addColumn<double>("Start");
    QTest::addColumn<double>("End");
    QTest::addColumn<int>("Vertices");
    QTest::newRow("0.5 degrees still two steps") << -90.0 << -89.5 << 4;
    QTest::newRow("5 degrees: 2.5 -> 2") << -90.0 << -85.0 << 4;
    QTest::newRow("7 degrees: 3.5 -> 4") << -90.0 << -83.0 << 6;
    QTest::newRow("quarter") << -90.0 << 0.0 << 47;
    QTest::newRow("full ring: 180 steps") << -90.0 << 270.0 << 182;
}

void TChartGeometryTest::DonutPolygon()
{
    QFETCH(double, Start);
    QFETCH(double, End);
    const QPolygon P = DonutSlicePolygon(112, 120, 100, Start, End);
    QTEST(int(P.size()), "Vertices");
    QCOMPARE(P.first(), QPoint(112, 120));
    // The arc starts at 12 o'clock and runs clockwise on screen.
    QCOMPARE(P[1], QPoint(112, 20));
    if (End == 0.0)
        QCOMPARE(P.last(), QPoint(212, 120));
    for (int I = 1; I < P.size(); ++I) {
        const QPoint D = P[I] - QPoint(112, 120);
        QVERIFY(qAbs(std::hypot(D.x(), D.y()) - 100) <= 0.75);
    }
}

void TChartGeometryTest::NumbersGrowLeft()
{
    QCOMPARE(FitLeft(326, 388, 40), 326);
    QCOMPARE(FitLeft(326, 388, 62), 326);
    QCOMPARE(FitLeft(326, 388, 80), 308);
}

QTEST_GUILESS_MAIN(TChartGeometryTest)
void TChartGeometryTest::DonutSliceAt_data()
{
    // 380 x 300: ring of radius 100 about (112, 120), hole 62, legend from x 238.
    QTest::addColumn<QPoint>("At");
    QTest::addColumn<int>("Slice");
    QTest::newRow("first quarter, 1 o'clock") << QPoint(150, 40) << 0;
    QTest::newRow("past it, 4 o'clock (the empty slice has no arc)") << QPoint(190, 150) << 2;
    QTest::newRow("11 o'clock, the end of the last") << QPoint(80, 40) << 2;
    QTest::newRow("hole") << QPoint(112, 120) << -1;
    QTest::newRow("outside the ring") << QPoint(20, 30) << -1;
    QTest::newRow("legend row 2, the empty slice's") << QPoint(300, 24 + 24 + 5) << 1;
    QTest::newRow("below the legend") << QPoint(300, 24 + 3 * 24) << -1;
}

void TChartGeometryTest::DonutSliceAt()
{
    QFETCH(QPoint, At);
    QFETCH(int, Slice);
    const TSlices Slices = {{QStringLiteral("a"), 1, 0}, {QStringLiteral("zero"), 0, 0}, {QStringLiteral("b"), 3, 0}};
    const TDonutGeom G = CalcDonut(380, 300);
    QCOMPARE(G.CX, 112);
    QCOMPARE(::DonutSliceAt(G, 380, 300, Slices, At.x(), At.y()), Slice);
}

#include "tst_chart_geometry.moc"
