#include "chart_paint.h"

#include "palette.h"
#include "ui_font.h"

#include <QFontMetrics>
#include <QPainter>

TChartFonts::TChartFonts()
    : Small(UiFont(8)), Normal(UiFont(9))
{
}

void FillRound(QPainter& Painter, const QRect& Box, int Radius, TColor Color)
{
    if (Box.width() <= 0 || Box.height() <= 0)
        return;
    // Bars one or two pixels wide have no room for a visible corner; a plain
    // fill gives the same pixels far faster on long trends.
    if (Box.width() <= 2 || Radius <= 0) {
        Painter.fillRect(Box, ToQColor(Color));
        return;
    }
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(ToQColor(Color));
    Painter.drawRoundedRect(QRectF(Box), Radius, Radius);
}

void OutlineRound(QPainter& Painter, const QRect& Box, int Radius, TColor Color)
{
    if (Box.width() <= 0 || Box.height() <= 0)
        return;
    Painter.setPen(QPen(ToQColor(Color), 1));
    Painter.setBrush(Qt::NoBrush);
    // A 1 px pen covers one pixel more than the rectangle to the right and below.
    Painter.drawRoundedRect(QRectF(Box.left(), Box.top(), Box.width() - 1, Box.height() - 1), Radius, Radius);
}

void DrawBoxText(QPainter& Painter, const QRect& Box, int Align, const QString& Text, bool Elide)
{
    if (Box.width() <= 0 || Box.height() <= 0 || Text.isEmpty())
        return;
    const QString Shown = Elide ? Painter.fontMetrics().elidedText(Text, Qt::ElideRight, Box.width()) : Text;
    Painter.drawText(Box, Align | Qt::TextSingleLine, Shown);
}

void SetTextStyle(QPainter& Painter, const QFont& Font, TColor Color)
{
    Painter.setFont(Font);
    Painter.setPen(ToQColor(Color));
}
