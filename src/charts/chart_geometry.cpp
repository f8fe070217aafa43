#include "chart_geometry.h"

#include "palette.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QString DayName(int Day)
{
    const QStringList& Names = WeekdayNames();
    return Day >= 0 && Day < Names.size() ? Names[Day] : QString();
}

} // namespace

// ---- heat chart ----

THeatGrid CalcGrid(int W, int H)
{
    THeatGrid G;
    G.CW = (W - G.L - 10) / 24;
    const int A = H - 20 - 24;
    G.CH = std::clamp(A / 7, 8, 34);
    G.T = std::max((A - 7 * G.CH) / 2 + 20, 20);
    return G;
}

bool GridDrawable(const THeatGrid& G)
{
    return G.CW >= 4 && G.CH >= 6;
}

QRect HeatCellRect(const THeatGrid& G, int Day, int Hour)
{
    const int X = G.L + Hour * G.CW;
    const int Y = G.T + Day * G.CH;
    return BoxRect(X + G.Pad, Y + G.Pad, X + G.CW - G.Pad, Y + G.CH - G.Pad);
}

THeatCell HeatCellAt(const THeatGrid& G, int X, int Y)
{
    if (G.CW < 3 || G.CH <= 0)
        return {};
    if (X < G.L || X >= G.L + 24 * G.CW || Y < G.T || Y >= G.T + 7 * G.CH)
        return {};
    return {(Y - G.T) / G.CH, (X - G.L) / G.CW};
}

THeatPeak FindPeak(const THeatMatrix& M)
{
    THeatPeak P;
    for (int D = 0; D < 7; ++D)
        for (int H = 0; H < 24; ++H)
            if (M[D][H] > P.Max) {
                P.Max = M[D][H];
                P.Day = D;
                P.Hour = H;
            }
    return P;
}

double HeatIntensity(qint32 Value, qint32 Max)
{
    if (Value <= 0)
        return 0;
    const double Top = std::max(Max, 1);
    return std::pow(Value / Top, 0.55) * 0.86 + 0.14;
}

TColor HeatCellColor(qint32 Value, qint32 Max)
{
    if (Value <= 0)
        return clHeatEmpty;
    return BlendColor(clWhite, clAccent, HeatIntensity(Value, Max));
}

namespace {

double Luminance(TColor C)
{
    const auto Linear = [](int V) {
        const double S = V / 255.0;
        return S <= 0.04045 ? S / 12.92 : std::pow((S + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * Linear(RedOf(C)) + 0.7152 * Linear(GreenOf(C)) + 0.0722 * Linear(BlueOf(C));
}

}  // namespace

double ContrastRatio(TColor A, TColor B)
{
    const double La = Luminance(A);
    const double Lb = Luminance(B);
    return (std::max(La, Lb) + 0.05) / (std::min(La, Lb) + 0.05);
}

TColor HeatTextColor(TColor Cell)
{
    // Readable as accessibility guidance asks for small text.
    constexpr double kMinContrast = 4.5;
    constexpr TColor clBlack = Rgb(0, 0, 0);
    for (TColor C : {clText, clBlack})
        if (ContrastRatio(C, Cell) >= kMinContrast)
            return C;
    return ContrastRatio(clWhite, Cell) > ContrastRatio(clBlack, Cell) ? clWhite : clBlack;
}

QString HeatHoverText(int Day, int Hour, qint32 Count)
{
    return QStringLiteral("%1 %2:00 — %3 次访问").arg(DayName(Day)).arg(Hour).arg(FormatCount(Count));
}

QString HeatPeakText(int Day, int Hour, qint32 Max)
{
    return QStringLiteral("峰值 %1 %2:00（%3 次）· 颜色越深访问越集中")
        .arg(DayName(Day))
        .arg(Hour)
        .arg(FormatCount(Max));
}

QString HeatHintText()
{
    return QStringLiteral("把鼠标移到格子上可查看具体次数");
}

// ---- daily trend bar chart ----

TBarLayout CalcBarLayout(int W, int H, int N)
{
    TBarLayout L;
    L.PW = W - 54 - 12;
    L.PH = H - 24 - 26;
    L.Base = L.PH + 24;
    L.N = N;
    L.Gap = 2;
    if (N <= 1) {
        L.BarW = std::clamp(L.PW, 1, kBarMaxSingleW);
        return L;
    }
    L.BarW = (L.PW - (N - 1) * 2) / N;
    if (L.BarW < 2) {
        // Packed 1 px bars would fill only part of the plot while the date
        // labels span all of it.
        L.Spread = L.PW > 0;
        L.BarW = 1;
        L.Gap = 0;
    }
    return L;
}

bool BarPlotDrawable(const TBarLayout& L)
{
    return L.PW >= 40 && L.PH >= 40;
}

qint64 BarScaleStep(qint32 M)
{
    const qint64 Need = std::max<qint64>(M, 1);
    for (qint64 Power = 1;; Power *= 10)
        for (qint64 Factor : {1, 2, 5})
            if (4 * Factor * Power >= Need)
                return Factor * Power;
}

int BarScaleY(const TBarLayout& L, int I)
{
    return L.Base - int(RoundHalfEven(I * L.PH / 4.0));
}

qint64 BarScaleValue(qint32 M, int I)
{
    return I * BarScaleStep(M);
}

int BarHeight(qint32 Count, qint64 Top, int PH)
{
    const double Scale = double(std::max<qint64>(Top, 1));
    const qint64 H = RoundHalfEven(Count / Scale * PH);
    return int(std::max<qint64>(H, 2));
}

int BarX(const TBarLayout& L, int I)
{
    return L.BarLeft + I * (L.BarW + L.Gap);
}

namespace {

// Pixel column of day I when spread (0 .. PW - 1).
int SpreadColumn(const TBarLayout& L, qint64 I)
{
    return int(I * L.PW / L.N);
}

// First day whose column is at least C.
int SpreadFirstDay(const TBarLayout& L, qint64 C)
{
    return int((C * L.N + L.PW - 1) / L.PW);
}

}  // namespace

TBarSlot BarSlotOf(const TBarLayout& L, int I)
{
    if (!L.Spread)
        return {I, I, BarX(L, I), L.BarW};
    const int C = SpreadColumn(L, I);
    TBarSlot S;
    S.First = SpreadFirstDay(L, C);
    S.Last = std::min(SpreadFirstDay(L, C + 1), L.N) - 1;
    const int Next = S.Last + 1 < L.N ? SpreadColumn(L, S.Last + 1) : L.PW;
    S.X = L.BarLeft + C;
    S.W = Next - C;
    return S;
}

int BarSlotDay(const TDayPoints& Points, const TBarSlot& S)
{
    int Best = S.First;
    for (int I = S.First + 1; I <= S.Last && I < Points.size(); ++I)
        if (Points[I].Count > Points[Best].Count)
            Best = I;
    return Best;
}

int BarAt(const TBarLayout& L, int X, const TDayPoints& Points)
{
    const int N = int(std::min<qsizetype>(L.N, Points.size()));
    if (L.BarW <= 0 || N <= 0 || X < L.BarLeft)
        return -1;
    if (!L.Spread) {
        const int I = (X - L.BarLeft) / (L.BarW + L.Gap);
        return I < N ? I : -1;
    }
    const int C = X - L.BarLeft;
    if (C >= L.PW)
        return -1;
    // The last day whose column is not right of C owns the pixel.
    const int Day = std::min(SpreadFirstDay(L, C + 1), N) - 1;
    return BarSlotDay(Points, BarSlotOf(L, Day));
}

qint32 BarScaleMax(const TDayPoints& Points)
{
    qint32 M = 1;
    for (const TDayPoint& P : Points)
        M = std::max(M, P.Count);
    return M;
}

qint64 BarTotal(const TDayPoints& Points)
{
    // Summed in 64 bits: a long range of busy days can pass the 32-bit limit.
    qint64 Total = 0;
    for (const TDayPoint& P : Points)
        Total += P.Count;
    return Total;
}

QString BarHoverText(const TDayPoint& Point)
{
    return QStringLiteral("%1 — %2 次访问").arg(Point.Text, FormatCount(Point.Count));
}

QString BarTotalText(qint64 Total)
{
    return QStringLiteral("合计 %1 次 · 悬停可看单点数值").arg(FormatCount(Total));
}

// ---- rank chart ----

int RankRowHeight(const TRankEntries& Entries)
{
    return !Entries.isEmpty() && !Entries.first().Sub.isEmpty() ? 42 : 30;
}

int RankRowTop(int RowH, int I)
{
    return I * RowH + kRankTop;
}

int RankRowAt(int Y, int RowH, int N)
{
    if (RowH <= 0 || Y < kRankTop)
        return -1;
    const int I = (Y - kRankTop) / RowH;
    return I < N ? I : -1;
}

int RankTrackWidth(int W)
{
    return std::max(W - 48, 20);
}

int RankFillWidth(qint32 Value, qint32 M, int TW)
{
    const double Top = std::max(M, 1);
    const qint64 FW = RoundHalfEven(Value / Top * TW);
    return int(std::min<qint64>(std::max<qint64>(FW, 4), TW));
}

qint32 RankScaleMax(const TRankEntries& Entries)
{
    qint32 M = 1;
    for (const TRankEntry& E : Entries)
        M = std::max(M, E.Value);
    return M;
}

// ---- donut chart ----

TDonutGeom CalcDonut(int W, int H)
{
    TDonutGeom G;
    G.D = std::clamp(H - 24, 90, 200);
    if (W - 40 < G.D)
        G.D = W - 40;
    G.R = G.D / 2;
    G.CX = G.R + 12;
    G.CY = G.R + 20;
    G.Hole = int(RoundHalfEven(G.R * 0.62));
    G.LX = G.D + 38;
    return G;
}

bool DonutHasLegend(const TDonutGeom& G, int W)
{
    return W - G.LX - 12 >= 60;
}

int DonutLegendRows(int H, int N)
{
    int Rows = 0;
    for (int LY = kLegendTop; Rows < N && H >= LY + 22; LY += kLegendRowH)
        ++Rows;
    return Rows;
}

int DonutSteps(double Start, double End)
{
    return int(std::max<qint64>(RoundHalfEven((End - Start) / 2), 2));
}

QPolygon DonutSlicePolygon(int CX, int CY, int R, double Start, double End)
{
    const int S = DonutSteps(Start, End);
    QPolygon Poly;
    Poly.reserve(S + 2);
    Poly << QPoint(CX, CY);
    for (int J = 0; J <= S; ++J) {
        const double A = (Start + (End - Start) * J / S) * std::numbers::pi / 180;
        Poly << QPoint(CX + int(RoundHalfEven(std::cos(A) * R)), CY + int(RoundHalfEven(std::sin(A) * R)));
    }
    return Poly;
}

qint64 DonutTotal(const TSlices& Slices)
{
    qint64 Total = 0;
    for (const TSlice& S : Slices)
        Total += S.Value;
    return Total;
}

qint64 DonutPercent(qint64 Value, qint64 Total)
{
    if (Total <= 0)
        return 0;
    return RoundHalfEven(double(Value) / double(Total) * 100);
}

QString DonutLegendValue(qint32 Value, qint64 Total)
{
    return QStringLiteral("%1 · %2%").arg(FormatCount(Value)).arg(DonutPercent(Value, Total));
}

QString DonutCaption()
{
    return QStringLiteral("次访问");
}
