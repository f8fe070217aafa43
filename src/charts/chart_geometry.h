#pragma once

// Geometry, colours and read-out texts of the charts as plain functions of the
// client size and the data, shared by painting and hit testing.

#include "chart_types.h"

#include <QList>
#include <QPolygon>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>

// GDI-style box (left, top, right, bottom) with right and bottom exclusive.
inline QRect BoxRect(int Left, int Top, int Right, int Bottom)
{
    return QRect(Left, Top, Right - Left, Bottom - Top);
}

// Left edge for a right-aligned number that needs TextW pixels: the box's own
// left, or further left when the number is wider, because a number cut at the
// front reads as a different, smaller number.
inline int FitLeft(int Left, int Right, int TextW)
{
    return Right - TextW < Left ? Right - TextW : Left;
}

// ---- heat chart ----

struct THeatGrid {
    int L = 46;  // room for the day labels
    int T = 20;  // top of the grid, centred in the band between labels and summary
    int CW = 0;  // cell width
    int CH = 0;  // cell height
    int Pad = 3; // inset of the coloured square inside its cell slot
};
THeatGrid CalcGrid(int W, int H);
// False when the grid is too small to draw anything but the background.
bool GridDrawable(const THeatGrid& G);
// The coloured square of a cell (its slot minus the inset).
QRect HeatCellRect(const THeatGrid& G, int Day, int Hour);

struct THeatCell {
    int Day = -1;
    int Hour = -1;
    bool Valid() const { return Day >= 0 && Hour >= 0; }
    bool operator==(const THeatCell&) const = default;
};
// The cell whose whole slot (inset included) holds the point, if any.
THeatCell HeatCellAt(const THeatGrid& G, int X, int Y);

struct THeatPeak {
    qint32 Max = 0;
    int Day = -1;
    int Hour = -1;
};
// Largest positive count; ties go to the cell met first (earliest day, then hour).
THeatPeak FindPeak(const THeatMatrix& M);

// 0 for no visits, else 0.14..1 growing with the share of the peak.
double HeatIntensity(qint32 Value, qint32 Max);
TColor HeatCellColor(qint32 Value, qint32 Max);
// Contrast ratio of two colours by relative luminance, 1 (none) to 21.
double ContrastRatio(TColor A, TColor B);
// Colour of a count printed on a cell: the main text colour where it stands
// out at least 4.5:1, else black, which does on every cell of the ramp (white
// fails on most of its darker half); white only for a cell darker still.
TColor HeatTextColor(TColor Cell);
// Narrower cells get no numbers.
inline constexpr int kHeatMinNumberCellW = 30;

QString HeatHoverText(int Day, int Hour, qint32 Count);
QString HeatPeakText(int Day, int Hour, qint32 Max);
QString HeatHintText();

// ---- daily trend bar chart ----

// The plot in logical pixels, the bars on the device's own pixel grid (Dpr
// device pixels to a logical one): day I owns the device columns from
// I * Cols / N up to where day I + 1 begins, so the bars span the whole plot
// at every width and keep even widths at fractional scale factors.
struct TBarLayout {
    int PW = 0;       // plot width
    int PH = 0;       // plot height
    int Base = 0;     // y of the baseline
    int BarLeft = 54; // x of the plot's left edge
    int N = 0;        // number of points; 0 = nothing laid out
    qreal Dpr = 1;
    int Cols = 0;     // device pixel columns across the plot
    int BarW = 0;     // bar width in device pixels while bars stand apart
    // Least device pixels between two bars. 0: too many days for gaps, each
    // bar fills its slot, and a column holding several days shows the busiest.
    int Gap = 0;
};
// The widest a lone bar grows: one day is a bar, not a slab across the plot.
inline constexpr int kBarMaxSingleW = 48;
TBarLayout CalcBarLayout(int W, int H, int N, qreal Dpr = 1);
// False when the plot is too small for scale and bars.
bool BarPlotDrawable(const TBarLayout& L);

// The value axis: Steps equal steps of Step from the baseline up to Top(),
// Step a 1, 2, 2.5 or 5 times a power of ten, so that the largest count
// fills at least 70 % of the plot height on four to six grid lines (fewer
// only for largest counts of 1 and 2, whose steps stay whole numbers).
struct TBarAxis {
    qint64 Step = 1;
    int Steps = 1;
    qint64 Top() const { return Step * Steps; }
};
TBarAxis BarAxis(qint32 M);
// y of grid line I (0 = baseline .. Steps = top).
int BarScaleY(const TBarLayout& L, const TBarAxis& A, int I);
// The grid lines that get a value label LabelH pixels high: from the
// baseline up, each far enough above the last one labelled.
QList<int> BarScaleLabelLines(const TBarLayout& L, const TBarAxis& A, int LabelH);
// Bar height for a count against the scale top; never below a 2 px stub.
int BarHeight(qint32 Count, qint64 Top, int PH);

// The stretch of plot one drawn bar covers: the days First..Last (one day
// unless several share a column) and its device pixels X..X+W from the
// plot's left edge.
struct TBarSlot {
    int First = -1;
    int Last = -1;
    int X = 0;
    int W = 0;
};
TBarSlot BarSlotOf(const TBarLayout& L, int I);
// The bar of a slot Height logical pixels high, in logical coordinates.
QRectF BarRect(const TBarLayout& L, const TBarSlot& S, int Height);
// The day a slot's bar shows: its busiest day, the earliest on ties.
int BarSlotDay(const TDayPoints& Points, const TBarSlot& S);
// Day whose bar is drawn in the column of logical X (a slot includes the gap
// to its right); -1 if none. Y plays no part: the whole column counts.
int BarAt(const TBarLayout& L, qreal X, const TDayPoints& Points);
// Largest count, at least 1.
qint32 BarScaleMax(const TDayPoints& Points);
qint64 BarTotal(const TDayPoints& Points);

// A point whose text is a date on the first of a month ("2024-03-01"), with
// its month counted from year 0 (year * 12 + month - 1).
struct TMonthStart {
    int Index = 0;
    int Month = 0;
};
QList<TMonthStart> MonthStarts(const TDayPoints& Points);

// A date label under the bars: the text of point Index in Box.
struct TDateLabel {
    int Index = 0;
    QRect Box;
    Qt::Alignment Align;
};
// The first label starts under the first bar and the last ends under the
// last one. Between them: with two or more month starts inside the range,
// labels at every month start, or every 2, 3, 6, 12 ... months when monthly
// ones would touch; otherwise the middle point's. A label that would touch
// another is left out. TextWidth measures a label's text.
QList<TDateLabel> BarDateLabels(const TBarLayout& L, const TDayPoints& Points, const QList<TMonthStart>& Months,
                                const std::function<int(const QString&)>& TextWidth);

QString BarHoverText(const TDayPoint& Point);
QString BarTotalText(qint64 Total);

// ---- rank chart ----

inline constexpr int kRankTop = 4;
// 42 px when the first row has a second line, else 30 px.
int RankRowHeight(const TRankEntries& Entries);
int RankRowTop(int RowH, int I);
int RankRowAt(int Y, int RowH, int N);
int RankTrackWidth(int W);
// Filled part of a track: proportional, at least a 4 px stub, at most the track.
int RankFillWidth(qint32 Value, qint32 M, int TW);
qint32 RankScaleMax(const TRankEntries& Entries);
// Where a key moves the keyboard's row among N rows: Up, Down, Home, End,
// Page Up and Page Down (PageRows rows a page). Current -1 = none yet, and any
// of them then starts at the first row; other keys leave it.
int RankKeyRow(int Current, int Key, int N, int PageRows);
// The scroll offset nearest Scroll that shows all of row I in a chart H high.
int RankScrollToShow(int Scroll, int RowH, int I, int H);

// ---- donut chart ----

struct TDonutGeom {
    int D = 0;    // ring diameter
    int R = 0;    // outer radius
    int CX = 0;
    int CY = 0;
    int Hole = 0; // radius of the white centre
    int LX = 0;   // legend left
};
TDonutGeom CalcDonut(int W, int H);
inline constexpr int kLegendTop = 24;
inline constexpr int kLegendRowH = 24;
bool DonutHasLegend(const TDonutGeom& G, int W);
// How many legend rows fit in the height (rows stop once the next would not).
int DonutLegendRows(int H, int N);
int DonutSteps(double Start, double End);
// The centre followed by the arc points of a slice from Start to End degrees
// (0 = 3 o'clock, growing clockwise on screen).
QPolygon DonutSlicePolygon(int CX, int CY, int R, double Start, double End);
qint64 DonutTotal(const TSlices& Slices);
// The slice at client (X, Y) of a W x H chart: on the ring by its angle, or
// on its legend row; -1 elsewhere.
int DonutSliceAt(const TDonutGeom& G, int W, int H, const TSlices& Slices, int X, int Y);
qint64 DonutPercent(qint64 Value, qint64 Total);
QString DonutLegendValue(qint32 Value, qint64 Total);
QString DonutCaption();
