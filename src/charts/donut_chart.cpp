#include "donut_chart.h"

#include "chart_geometry.h"
#include "chart_paint.h"
#include "palette.h"
#include "ui_font.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

TDonutChart::TDonutChart(QWidget* Parent)
    : TChartBase(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void TDonutChart::SetSlices(const TSlices& Value)
{
    FSlices = Value;
    FHover = -1;
    Invalidate();
}

int TDonutChart::ItemAt(QPoint Pos) const
{
    return DonutSliceAt(CalcDonut(width(), height()), width(), height(), FSlices, Pos.x(), Pos.y());
}

void TDonutChart::mouseMoveEvent(QMouseEvent* Event)
{
    const int Slice = ItemAt(Event->position().toPoint());
    if (Slice != FHover) {
        FHover = Slice;
        Invalidate();
    }
    TChartBase::mouseMoveEvent(Event);
}

void TDonutChart::leaveEvent(QEvent* Event)
{
    if (FHover >= 0) {
        FHover = -1;
        Invalidate();
    }
    TChartBase::leaveEvent(Event);
}

void TDonutChart::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    PaintBackground(P);
    const qint64 Total = DonutTotal(FSlices);
    if (FSlices.isEmpty() || Total <= 0) {
        DrawEmptyText(P, ChartEmptyText());
        return;
    }
    const int W = width();
    const int H = height();
    const TDonutGeom G = CalcDonut(W, H);

    double Start = -90;
    for (const TSlice& S : FSlices) {
        if (S.Value <= 0)
            continue;
        const double End = Start + double(S.Value) / double(Total) * 360;
        const QColor C = ToQColor(S.Color);
        P.setPen(QPen(C, 1));
        P.setBrush(C);
        P.drawPolygon(DonutSlicePolygon(G.CX, G.CY, G.R, Start, End));
        Start = End;
    }

    const QColor White = ToQColor(clWhite);
    P.setPen(QPen(White, 1));
    P.setBrush(White);
    // The pen adds a pixel right and below, so the circle covers exactly the
    // box (CX - r, CY - r) .. (CX + r) exclusive.
    P.drawEllipse(QRect(G.CX - G.Hole, G.CY - G.Hole, 2 * G.Hole - 1, 2 * G.Hole - 1));

    SetTextStyle(P, UiFont(12, fsBold), clText);
    // On a small ring the total may be wider than the hole; it then overlaps the
    // ring instead of being cut to its middle digits.
    DrawBoxText(P, BoxRect(G.CX - G.Hole, G.CY - 16, G.CX + G.Hole, G.CY + 6),
                Qt::AlignHCenter | Qt::AlignBottom | Qt::TextDontClip, FormatCount(Total));
    const TChartFonts Fonts;
    SetTextStyle(P, Fonts.Small, clSecondary);
    DrawBoxText(P, BoxRect(G.CX - G.Hole, G.CY + 6, G.CX + G.Hole, G.CY + 24), Qt::AlignHCenter | Qt::AlignTop,
                DonutCaption());

    if (!DonutHasLegend(G, W))
        return;
    const QFontMetrics SmallMetrics(Fonts.Small);
    const int Rows = DonutLegendRows(H, int(FSlices.size()));
    for (int I = 0; I < Rows; ++I) {
        const TSlice& S = FSlices[I];
        const int LY = kLegendTop + I * kLegendRowH;
        if (I == ShownItem(FHover))
            P.fillRect(BoxRect(G.LX - 4, LY, W - 8, LY + 20), ToQColor(clRowHover));
        FillRound(P, BoxRect(G.LX, LY + 5, G.LX + 10, LY + 15), 2, S.Color);
        // Large counts widen the value column at the expense of the name.
        const QString Value = DonutLegendValue(S.Value, Total);
        const int ValueLeft = FitLeft(W - 74, W - 12, SmallMetrics.horizontalAdvance(Value));
        SetTextStyle(P, Fonts.Normal, clText);
        DrawBoxText(P, BoxRect(G.LX + 18, LY + 2, qMin(W - 76, ValueLeft - 2), LY + 20), Qt::AlignLeft | Qt::AlignTop,
                    S.Name, true);
        SetTextStyle(P, Fonts.Small, clSecondary);
        DrawBoxText(P, BoxRect(ValueLeft, LY + 2, W - 12, LY + 20), Qt::AlignRight | Qt::AlignTop, Value);
    }
}
