#include "chart_base.h"

#include "chart_paint.h"
#include "palette.h"
#include "ui_font.h"

#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

TChartBase::TChartBase(QWidget* Parent)
    : QWidget(Parent)
{
    // The chart paints every pixel itself; skipping Qt's erase avoids flicker
    // on the frequent hover repaints.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    QPalette Pal = palette();
    Pal.setColor(QPalette::Window, ToQColor(clWhite));
    setPalette(Pal);
    ApplyUiFont(this, 9, fsRegular, clText);
}

void TChartBase::Invalidate()
{
    ++FRepaintRequests;
    update();
}

void TChartBase::PaintBackground(QPainter& Painter)
{
    Painter.fillRect(rect(), ToQColor(clWhite));
    Painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    Painter.setPen(QPen(ToQColor(clText), 1));
}

void TChartBase::DrawEmptyText(QPainter& Painter, const QString& Text)
{
    SetTextStyle(Painter, UiFont(9), clSecondary);
    DrawBoxText(Painter, rect(), Qt::AlignCenter, Text, true);
}

void TChartBase::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    // Every layout depends on the size, so nothing of the old picture survives.
    Invalidate();
}

QString ChartEmptyText()
{
    return QStringLiteral("暂无数据");
}
