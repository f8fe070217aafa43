#include "app_icon.h"

#include "palette.h"

#include <QPainter>
#include <QRectF>

void PaintAppIcon(QPainter& Painter, const QRectF& Rect)
{
    // Drawn in a unit square, so every size comes from the same shapes.
    Painter.save();
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.translate(Rect.topLeft());
    Painter.scale(Rect.width(), Rect.height());

    const QColor Accent = ToQColor(clAccent);
    const QColor White(Qt::white);

    Painter.setPen(Qt::NoPen);
    Painter.setBrush(Accent);
    Painter.drawRoundedRect(QRectF(0.0, 0.0, 1.0, 1.0), 0.22, 0.22);

    // The history: a clock face with its two hands.
    const QPointF Centre(0.41, 0.42);
    QPen Ring(White, 0.075);
    Ring.setCapStyle(Qt::RoundCap);
    Painter.setPen(Ring);
    Painter.setBrush(Qt::NoBrush);
    Painter.drawEllipse(Centre, 0.235, 0.235);
    QPen Hand(White, 0.065);
    Hand.setCapStyle(Qt::RoundCap);
    Painter.setPen(Hand);
    Painter.drawLine(Centre, QPointF(0.41, 0.28));
    Painter.drawLine(Centre, QPointF(0.50, 0.48));

    // The report: three rising bars in front of the clock, cut out of it by an
    // outline in the background colour so both stay readable when small.
    const QRectF Bars[] = {
        QRectF(0.545, 0.60, 0.085, 0.20),
        QRectF(0.655, 0.49, 0.085, 0.31),
        QRectF(0.765, 0.37, 0.085, 0.43),
    };
    Painter.setPen(QPen(Accent, 0.06, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    Painter.setBrush(White);
    for (const QRectF& Bar : Bars)
        Painter.drawRect(Bar);
    Painter.setPen(Qt::NoPen);
    for (const QRectF& Bar : Bars)
        Painter.drawRect(Bar);

    Painter.restore();
}
