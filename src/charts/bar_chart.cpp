#include "bar_chart.h"

#include "chart_geometry.h"
#include "chart_paint.h"
#include "palette.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

TBarChart::TBarChart(QWidget* Parent)
    : TChartBase(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

int TBarChart::ItemAt(QPoint Pos) const
{
    return BarAt(FLayout, Pos.x(), FPoints);
}

void TBarChart::SetPoints(const TDayPoints& Value)
{
    FPoints = Value;
    FMonths = MonthStarts(FPoints);
    FHover = -1;
    // The old layout belongs to the old points.
    FLayout = TBarLayout();
    Invalidate();
}

QString TBarChart::HeaderText() const
{
    const int Shown = ShownItem(FHover);
    if (Shown >= 0 && Shown < FPoints.size())
        return BarHoverText(FPoints[Shown]);
    return BarTotalText(BarTotal(FPoints));
}

void TBarChart::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    PaintBackground(P);
    const int W = width();
    const int H = height();
    const int N = int(FPoints.size());
    if (N == 0) {
        FLayout = TBarLayout();
        DrawEmptyText(P, ChartEmptyText());
        return;
    }
    const TBarLayout L = CalcBarLayout(W, H, N, devicePixelRatioF());
    if (!BarPlotDrawable(L))
        return;
    FLayout = L;
    const TBarAxis Axis = BarAxis(BarScaleMax(FPoints));

    const TChartFonts Fonts;
    const QFontMetrics SmallMetrics(Fonts.Small);
    P.setPen(QPen(ToQColor(clGridLine), 1));
    for (int I = 0; I <= Axis.Steps; ++I) {
        const int Y = BarScaleY(L, Axis, I);
        // The far end is exclusive, as for every box here.
        P.drawLine(54, Y, W - 13, Y);
    }
    SetTextStyle(P, Fonts.Small, clSecondary);
    for (int I : BarScaleLabelLines(L, Axis, SmallMetrics.height())) {
        const int Y = BarScaleY(L, Axis, I);
        // A value too wide for the margin reaches into the plot rather than
        // losing its leading digits at the window edge.
        const QString Label = FormatCount(I * Axis.Step);
        const int Right = qMax(46, SmallMetrics.horizontalAdvance(Label));
        DrawBoxText(P, BoxRect(0, Y - 8, Right, Y + 8), Qt::AlignRight | Qt::AlignVCenter, Label);
    }

    for (int I = 0; I < N;) {
        const TBarSlot S = BarSlotOf(L, I);
        const int Day = BarSlotDay(FPoints, S);
        const QRectF Bar = BarRect(L, S, BarHeight(FPoints[Day].Count, Axis.Top(), L.PH));
        const QColor Colour = ToQColor(Day == ShownItem(FHover) ? clAccentDark : clAccent);
        // Bars a pixel or two wide have no room for a visible corner.
        if (S.W <= 2) {
            P.fillRect(Bar, Colour);
        } else {
            P.setPen(Qt::NoPen);
            P.setBrush(Colour);
            P.drawRoundedRect(Bar, 3, 3);
        }
        I = S.Last + 1;
    }

    SetTextStyle(P, Fonts.Small, clSecondary);
    const auto TextWidth = [&SmallMetrics](const QString& Text) { return SmallMetrics.horizontalAdvance(Text); };
    for (const TDateLabel& D : BarDateLabels(L, FPoints, FMonths, TextWidth))
        DrawBoxText(P, D.Box, D.Align | Qt::AlignTop, FPoints[D.Index].Text);

    DrawBoxText(P, BoxRect(54, 2, W - 12, 18), Qt::AlignLeft | Qt::AlignVCenter, HeaderText(), true);
}

void TBarChart::mouseMoveEvent(QMouseEvent* Event)
{
    const int Hit = BarAt(FLayout, Event->position().x(), FPoints);
    if (Hit != FHover) {
        FHover = Hit;
        Invalidate();
    }
    TChartBase::mouseMoveEvent(Event);
}

void TBarChart::leaveEvent(QEvent* Event)
{
    if (FHover >= 0) {
        FHover = -1;
        Invalidate();
    }
    TChartBase::leaveEvent(Event);
}
