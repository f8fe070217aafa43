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

namespace {

// Device column where the plot begins: the first whole one inside it.
int DeviceLeft(const TBarLayout& L)
{
    return int(std::ceil(L.BarLeft * L.Dpr - 1e-9));
}

// Device column (from the plot's left edge) where day I's slot begins.
int SlotColumn(const TBarLayout& L, qint64 I)
{
    return int(I * L.Cols / L.N);
}

// First day whose slot begins at column C or later.
int FirstDayFrom(const TBarLayout& L, qint64 C)
{
    return int((C * L.N + L.Cols - 1) / L.Cols);
}

}  // namespace

TBarLayout CalcBarLayout(int W, int H, int N, qreal Dpr)
{
    TBarLayout L;
    L.PW = W - 54 - 12;
    L.PH = H - 24 - 26;
    L.Base = L.PH + 24;
    L.N = std::max(N, 0);
    L.Dpr = Dpr > 0 ? Dpr : 1;
    L.Cols = std::max(0, int(std::floor((L.BarLeft + L.PW) * L.Dpr + 1e-9)) - DeviceLeft(L));
    // Two logical pixels between bars, as long as bars stay at least as wide.
    const int Gap = std::max(1, int(RoundHalfEven(2 * L.Dpr)));
    if (L.N == 1) {
        L.BarW = std::min(L.Cols, int(RoundHalfEven(kBarMaxSingleW * L.Dpr)));
        L.Gap = Gap;
    } else if (L.N > 1 && L.Cols / L.N >= 2 * Gap) {
        L.BarW = L.Cols / L.N - Gap;
        L.Gap = Gap;
    }
    return L;
}

bool BarPlotDrawable(const TBarLayout& L)
{
    return L.PW >= 40 && L.PH >= 40;
}

TBarAxis BarAxis(qint32 M)
{
    const qint64 Need = std::max<qint64>(M, 1);
    if (Need <= 2)
        return {1, int(Need)};
    // Steps in tenths of a power of ten, from small to large; the first
    // candidate whose three steps pass the best top cannot beat it any more.
    TBarAxis Best{0, 0};
    for (qint64 Power = 1;; Power *= 10)
        for (qint64 Tenths : {10, 20, 25, 50}) {
            if (Tenths == 25 && Power == 1)
                continue;  // 2.5 is no count
            const qint64 Step = Tenths * Power / 10;
            if (Best.Steps > 0 && 3 * Step > Best.Top())
                return Best;
            const qint64 Steps = std::max<qint64>(3, (Need + Step - 1) / Step);
            if (Steps <= 5 && (Best.Steps == 0 || Step * Steps < Best.Top()))
                Best = {Step, int(Steps)};
        }
}

int BarScaleY(const TBarLayout& L, const TBarAxis& A, int I)
{
    return L.Base - int(RoundHalfEven(double(I) * L.PH / std::max(A.Steps, 1)));
}

QList<int> BarScaleLabelLines(const TBarLayout& L, const TBarAxis& A, int LabelH)
{
    QList<int> Lines;
    int LastY = 0;
    for (int I = 0; I <= A.Steps; ++I) {
        const int Y = BarScaleY(L, A, I);
        if (Lines.isEmpty() || LastY - Y >= LabelH) {
            Lines.append(I);
            LastY = Y;
        }
    }
    return Lines;
}

int BarHeight(qint32 Count, qint64 Top, int PH)
{
    const double Scale = double(std::max<qint64>(Top, 1));
    const qint64 H = RoundHalfEven(Count / Scale * PH);
    return int(std::max<qint64>(H, 2));
}

TBarSlot BarSlotOf(const TBarLayout& L, int I)
{
    if (L.N <= 0 || L.Cols <= 0)
        return {};
    if (L.Gap > 0)
        return {I, I, SlotColumn(L, I), L.BarW};
    const int C = SlotColumn(L, I);
    TBarSlot S;
    S.First = FirstDayFrom(L, C);
    S.Last = std::min(FirstDayFrom(L, C + 1), L.N) - 1;
    S.X = C;
    S.W = (S.Last + 1 < L.N ? SlotColumn(L, S.Last + 1) : L.Cols) - C;
    return S;
}

QRectF BarRect(const TBarLayout& L, const TBarSlot& S, int Height)
{
    return QRectF((DeviceLeft(L) + S.X) / L.Dpr, L.Base - Height, S.W / L.Dpr, Height);
}

int BarSlotDay(const TDayPoints& Points, const TBarSlot& S)
{
    int Best = S.First;
    for (int I = S.First + 1; I <= S.Last && I < Points.size(); ++I)
        if (Points[I].Count > Points[Best].Count)
            Best = I;
    return Best;
}

int BarAt(const TBarLayout& L, qreal X, const TDayPoints& Points)
{
    const int N = int(std::min<qsizetype>(L.N, Points.size()));
    if (N <= 0 || L.Cols <= 0 || (L.Gap > 0 && L.BarW <= 0))
        return -1;
    const qint64 C = qint64(std::floor(X * L.Dpr)) - DeviceLeft(L);
    if (C < 0 || C >= L.Cols || (L.N == 1 && C >= L.BarW + L.Gap))
        return -1;
    // The last day whose slot begins at or left of C owns the column.
    const int Day = std::min(FirstDayFrom(L, C + 1), N) - 1;
    return L.Gap > 0 ? Day : BarSlotDay(Points, BarSlotOf(L, Day));
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

QList<TMonthStart> MonthStarts(const TDayPoints& Points)
{
    QList<TMonthStart> Starts;
    for (int I = 0; I < Points.size(); ++I) {
        const QString& T = Points[I].Text;
        const auto Digits = [&T](int From, int Count) {
            int V = 0;
            for (int K = From; K < From + Count; ++K) {
                if (!T[K].isDigit() || T[K].unicode() > 127)
                    return -1;
                V = V * 10 + (T[K].unicode() - '0');
            }
            return V;
        };
        if (T.size() < 10 || T[4] != u'-' || T[7] != u'-' || Digits(8, 2) != 1)
            continue;
        const int Year = Digits(0, 4);
        const int Month = Digits(5, 2);
        if (Year >= 0 && Month >= 1 && Month <= 12)
            Starts.append({I, Year * 12 + Month - 1});
    }
    return Starts;
}

QList<TDateLabel> BarDateLabels(const TBarLayout& L, const TDayPoints& Points, const QList<TMonthStart>& Months,
                                const std::function<int(const QString&)>& TextWidth)
{
    QList<TDateLabel> Labels;
    const int N = int(std::min<qsizetype>(L.N, Points.size()));
    if (N <= 0 || L.Cols <= 0)
        return Labels;
    constexpr int kSpace = 12;  // the least room between two labels
    const int Top = L.Base + 4;
    const int ChartRight = L.BarLeft + L.PW + 12;
    // Two pixels more than the text, so no glyph is clipped at the box edge.
    const auto Width = [&](int I) { return TextWidth(Points[I].Text) + 2; };
    const auto Bar = [&](int I) { return BarRect(L, BarSlotOf(L, I), 0); };
    const auto Centred = [&](int I) {
        const int W = Width(I);
        return QRect(int(RoundHalfEven(Bar(I).center().x() - W / 2.0)), Top, W, 16);
    };
    const auto Touch = [](const QRect& A, const QRect& B) {
        return A.left() < B.right() + 1 + kSpace && B.left() < A.right() + 1 + kSpace;
    };
    const auto Free = [&](const QRect& B) {
        if (B.left() < 0 || B.right() >= ChartRight)
            return false;
        for (const TDateLabel& D : std::as_const(Labels))
            if (Touch(D.Box, B))
                return false;
        return true;
    };

    Labels.append({0, QRect(int(std::floor(Bar(0).left() + 1e-9)), Top, Width(0), 16), Qt::AlignLeft});
    if (N > 1) {
        const int Right = int(std::ceil(Bar(N - 1).right() - 1e-9));
        const QRect Last(Right - Width(N - 1), Top, Width(N - 1), 16);
        if (Free(Last))
            Labels.append({N - 1, Last, Qt::AlignRight});
    }

    QList<TMonthStart> Inside;
    for (const TMonthStart& M : Months)
        if (M.Index > 0 && M.Index < N - 1)
            Inside.append(M);
    QList<int> Between;
    if (Inside.size() >= 2) {
        // The finest spacing in whole months (then years) whose labels keep apart.
        for (int Every : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200}) {
            Between.clear();
            QRect Prev;
            bool Apart = true;
            for (const TMonthStart& M : std::as_const(Inside)) {
                if (M.Month % Every != 0)
                    continue;
                const QRect B = Centred(M.Index);
                if (!Between.isEmpty() && Touch(Prev, B)) {
                    Apart = false;
                    break;
                }
                Between.append(M.Index);
                Prev = B;
            }
            if (Apart)
                break;
            Between.clear();
        }
    } else if (N > 2) {
        Between.append(N / 2);
    }
    for (int I : std::as_const(Between))
        if (const QRect B = Centred(I); Free(B))
            Labels.append({I, B, Qt::AlignHCenter});
    std::sort(Labels.begin(), Labels.end(), [](const TDateLabel& A, const TDateLabel& B) { return A.Index < B.Index; });
    return Labels;
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

int RankKeyRow(int Current, int Key, int N, int PageRows)
{
    if (N <= 0)
        return -1;
    const int From = std::max(Current, 0);
    int Row = Current;
    switch (Key) {
    case Qt::Key_Up: Row = Current < 0 ? 0 : From - 1; break;
    case Qt::Key_Down: Row = Current < 0 ? 0 : From + 1; break;
    case Qt::Key_PageUp: Row = From - std::max(PageRows, 1); break;
    case Qt::Key_PageDown: Row = From + std::max(PageRows, 1); break;
    case Qt::Key_Home: Row = 0; break;
    case Qt::Key_End: Row = N - 1; break;
    default: return Current < N ? Current : -1;
    }
    return std::clamp(Row, 0, N - 1);
}

int RankScrollToShow(int Scroll, int RowH, int I, int H)
{
    // The row's highlight begins 2 px above its top; the first row keeps the
    // band above it in view.
    const int Top = I == 0 ? 0 : RankRowTop(RowH, I) - 2;
    const int Bottom = RankRowTop(RowH, I) + RowH;
    if (Top < Scroll)
        return Top;
    if (Bottom > Scroll + H)
        return std::min(Top, Bottom - H);
    return Scroll;
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

int DonutSliceAt(const TDonutGeom& G, int W, int H, const TSlices& Slices, int X, int Y)
{
    const qint64 Total = DonutTotal(Slices);
    if (Slices.isEmpty() || Total <= 0)
        return -1;
    if (DonutHasLegend(G, W) && X >= G.LX && X < W - 12 && Y >= kLegendTop) {
        const int Row = (Y - kLegendTop) / kLegendRowH;
        return Row < DonutLegendRows(H, int(Slices.size())) ? Row : -1;
    }
    const double DX = X - G.CX;
    const double DY = Y - G.CY;
    const double D2 = DX * DX + DY * DY;
    if (D2 > double(G.R) * G.R || D2 < double(G.Hole) * G.Hole)
        return -1;
    // Degrees clockwise on screen from 3 o'clock, from -90 (12 o'clock) on,
    // where the painted ring starts.
    double A = std::atan2(DY, DX) * 180 / std::numbers::pi;
    if (A < -90)
        A += 360;
    double Start = -90;
    int Last = -1;
    for (int I = 0; I < Slices.size(); ++I) {
        if (Slices[I].Value <= 0)
            continue;
        Start += double(Slices[I].Value) / double(Total) * 360;
        Last = I;
        if (A < Start)
            return I;
    }
    return Last;
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
