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
}

void TBarChart::SetPoints(const TDayPoints& Value)
{
    FPoints = Value;
    FHover = -1;
    // The old layout belongs to the old points.
    FLayout = TBarLayout();
    Invalidate();
}

QString TBarChart::HeaderText() const
{
    if (FHover >= 0 && FHover < FPoints.size())
        return BarHoverText(FPoints[FHover]);
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
        FLayout.BarW = 0;
        DrawEmptyText(P, ChartEmptyText());
        return;
    }
    const qint32 M = BarScaleMax(FPoints);
    const TBarLayout L = CalcBarLayout(W, H, N);
    if (!BarPlotDrawable(L))
        return;
    FLayout = L;
    const qint64 Top = BarScaleTop(M);

    const TChartFonts Fonts;
    const QFontMetrics SmallMetrics(Fonts.Small);
    SetTextStyle(P, Fonts.Small, clSecondary);
    for (int I = 0; I <= 4; ++I) {
        const int Y = BarScaleY(L, I);
        P.setPen(QPen(ToQColor(clGridLine), 1));
        // The far end is exclusive, as for every box here.
        P.drawLine(54, Y, W - 13, Y);
        P.setPen(ToQColor(clSecondary));
        // A value too wide for the margin reaches into the plot rather than
        // losing its leading digits at the window edge.
        const QString Label = FormatCount(BarScaleValue(M, I));
        const int Right = qMax(46, SmallMetrics.horizontalAdvance(Label));
        DrawBoxText(P, BoxRect(0, Y - 8, Right, Y + 8), Qt::AlignRight | Qt::AlignVCenter, Label);
    }

    for (int I = 0; I < N;) {
        const TBarSlot S = BarSlotOf(L, I);
        // Bars past the right edge would be clipped away entirely.
        if (S.X >= W)
            break;
        const int Day = BarSlotDay(FPoints, S);
        const int BarH = BarHeight(FPoints[Day].Count, Top, L.PH);
        FillRound(P, BoxRect(S.X, L.Base - BarH, S.X + S.W, L.Base), 3, Day == FHover ? clAccentDark : clAccent);
        I = S.Last + 1;
    }

    SetTextStyle(P, Fonts.Small, clSecondary);
    const int LabelTop = L.Base + 4;
    DrawBoxText(P, BoxRect(54, LabelTop, 214, LabelTop + 16), Qt::AlignLeft | Qt::AlignTop, FPoints.first().Text);
    if (N > 2) {
        const int Mid = 54 + L.PW / 2;
        DrawBoxText(P, BoxRect(Mid - 80, LabelTop, Mid + 80, LabelTop + 16), Qt::AlignHCenter | Qt::AlignTop,
                    FPoints[N / 2].Text);
    }
    if (N > 1)
        DrawBoxText(P, BoxRect(W - 12 - 160, LabelTop, W - 12, LabelTop + 16), Qt::AlignRight | Qt::AlignTop,
                    FPoints.last().Text);

    DrawBoxText(P, BoxRect(54, 2, W - 12, 18), Qt::AlignLeft | Qt::AlignVCenter, HeaderText(), true);
}

void TBarChart::mouseMoveEvent(QMouseEvent* Event)
{
    const int Hit = BarAt(FLayout, Event->position().toPoint().x(), FPoints);
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
