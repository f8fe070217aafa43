#pragma once

// Geometry, colours and read-out texts of the charts as plain functions of the
// client size and the data, shared by painting and hit testing.

#include "chart_types.h"

#include <QPolygon>
#include <QRect>
#include <QString>

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

struct TBarLayout {
    int PW = 0;       // plot width
    int PH = 0;       // plot height
    int Base = 0;     // y of the baseline
    int BarLeft = 54; // x of the first bar
    int BarW = 0;     // bar width; 0 = nothing laid out
    int Gap = 0;      // gap to the right of each bar
    int N = 0;        // number of points
    // Too many days for bars of 2 px: each day sits at its proportional x over
    // the whole plot instead, and a pixel column holding several days shows
    // the busiest of them.
    bool Spread = false;
};
// The widest a lone bar grows: one day is a bar, not a slab across the plot.
inline constexpr int kBarMaxSingleW = 48;
TBarLayout CalcBarLayout(int W, int H, int N);
// False when the plot is too small for scale and bars.
bool BarPlotDrawable(const TBarLayout& L);
// Smallest "nice" step (1, 2 or 5 times a power of ten) whose four steps reach
// the largest count, so the five scale labels are distinct and rise evenly.
qint64 BarScaleStep(qint32 M);
// The count at the top scale line.
inline qint64 BarScaleTop(qint32 M)
{
    return 4 * BarScaleStep(M);
}
// y of scale line I (0 = baseline .. 4 = top).
int BarScaleY(const TBarLayout& L, int I);
// Value printed at scale line I for the largest count M.
qint64 BarScaleValue(qint32 M, int I);
// Bar height for a count against the scale top; never below a 2 px stub.
int BarHeight(qint32 Count, qint64 Top, int PH);
// x of bar I with bars of their own (not spread).
int BarX(const TBarLayout& L, int I);

// The stretch of plot one drawn bar covers: the days First..Last (one day
// unless spread) and its pixels X..X+W.
struct TBarSlot {
    int First = -1;
    int Last = -1;
    int X = 0;
    int W = 0;
};
TBarSlot BarSlotOf(const TBarLayout& L, int I);
// The day a slot's bar shows: its busiest day, the earliest on ties.
int BarSlotDay(const TDayPoints& Points, const TBarSlot& S);
// Day whose bar is drawn in the column of X (the slot includes the gap to
// its right); -1 if none. Y plays no part: the whole column counts.
int BarAt(const TBarLayout& L, int X, const TDayPoints& Points);
// Largest count, at least 1.
qint32 BarScaleMax(const TDayPoints& Points);
qint64 BarTotal(const TDayPoints& Points);

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
qint64 DonutPercent(qint64 Value, qint64 Total);
QString DonutLegendValue(qint32 Value, qint64 Total);
QString DonutCaption();
