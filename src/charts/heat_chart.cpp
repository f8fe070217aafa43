#include "heat_chart.h"

#include "chart_geometry.h"
#include "chart_paint.h"
#include "palette.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

THeatChart::THeatChart(QWidget* Parent)
    : TChartBase(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

int THeatChart::ItemAt(QPoint Pos) const
{
    const THeatCell Cell = HeatCellAt(CalcGrid(width(), height()), Pos.x(), Pos.y());
    return Cell.Day >= 0 && Cell.Hour >= 0 ? Cell.Day * 24 + Cell.Hour : -1;
}

int THeatChart::KeyItem(int Current, int Key) const
{
    const int Day = Current / 24;
    const int Hour = Current % 24;
    switch (Key) {
    case Qt::Key_Left:
        return Day * 24 + std::max(Hour - 1, 0);
    case Qt::Key_Right:
        return Day * 24 + std::min(Hour + 1, 23);
    case Qt::Key_Up:
        return std::max(Day - 1, 0) * 24 + Hour;
    case Qt::Key_Down:
        return std::min(Day + 1, 6) * 24 + Hour;
    default:
        return TChartBase::KeyItem(Current, Key);
    }
}

void THeatChart::SetMatrix(const THeatMatrix& Value)
{
    FMatrix = Value;
    const THeatPeak Peak = FindPeak(FMatrix);
    FMax = Peak.Max;
    FPeakD = Peak.Day;
    FPeakH = Peak.Hour;
    Invalidate();
}

QString THeatChart::SummaryText() const
{
    const int Shown = ShownItem(FHoverD >= 0 && FHoverH >= 0 ? FHoverD * 24 + FHoverH : -1);
    if (Shown >= 0 && Shown < 7 * 24)
        return HeatHoverText(Shown / 24, Shown % 24, FMatrix[size_t(Shown / 24)][size_t(Shown % 24)]);
    if (FPeakD < 0)
        return HeatHintText();
    return HeatPeakText(FPeakD, FPeakH, FMax);
}

void THeatChart::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    PaintBackground(P);
    const int W = width();
    const int H = height();
    const THeatGrid G = CalcGrid(W, H);
    if (!GridDrawable(G))
        return;

    const TChartFonts Fonts;
    SetTextStyle(P, Fonts.Small, clSecondary);
    for (int Hour = 0; Hour < 24; Hour += 2) {
        const int X = G.L + Hour * G.CW;
        DrawBoxText(P, BoxRect(X, 2, X + G.CW, 18), Qt::AlignHCenter | Qt::AlignTop, QString::number(Hour));
    }
    const QStringList& Days = WeekdayNames();
    for (int Day = 0; Day < 7; ++Day) {
        const int Y = G.T + Day * G.CH;
        DrawBoxText(P, BoxRect(0, Y, G.L - 8, Y + G.CH), Qt::AlignRight | Qt::AlignVCenter, Days[Day]);
    }

    const bool Numbers = G.CW >= kHeatMinNumberCellW;
    const int Shown = ShownItem(FHoverD >= 0 && FHoverH >= 0 ? FHoverD * 24 + FHoverH : -1);
    const QFontMetrics SmallMetrics(Fonts.Small);
    for (int Day = 0; Day < 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour) {
            const qint32 V = FMatrix[Day][Hour];
            const QRect R = HeatCellRect(G, Day, Hour);
            FillRound(P, R, 3, HeatCellColor(V, FMax));
            // A count wider than its square is left to the hover read-out:
            // cut at both ends it would show other digits.
            const QString Count = V > 0 && Numbers ? QString::number(V) : QString();
            if (!Count.isEmpty() && SmallMetrics.horizontalAdvance(Count) <= R.width()) {
                SetTextStyle(P, Fonts.Small, HeatTextColor(HeatCellColor(V, FMax)));
                DrawBoxText(P, R, Qt::AlignCenter, Count);
            }
            if (Day * 24 + Hour == Shown)
                OutlineRound(P, R, 3, clAccent);
        }

    SetTextStyle(P, Fonts.Small, clSecondary);
    DrawBoxText(P, BoxRect(G.L, H - 21, W - 10, H - 3), Qt::AlignLeft | Qt::AlignVCenter, SummaryText(), true);
}

void THeatChart::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint Pos = Event->position().toPoint();
    const THeatCell Cell = HeatCellAt(CalcGrid(width(), height()), Pos.x(), Pos.y());
    if (Cell.Day != FHoverD || Cell.Hour != FHoverH) {
        FHoverD = Cell.Day;
        FHoverH = Cell.Hour;
        Invalidate();
    }
    TChartBase::mouseMoveEvent(Event);
}

void THeatChart::leaveEvent(QEvent* Event)
{
    if (FHoverD != -1 || FHoverH != -1) {
        FHoverD = -1;
        FHoverH = -1;
        Invalidate();
    }
    TChartBase::leaveEvent(Event);
}
