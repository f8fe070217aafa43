#include "chart_base.h"

#include "chart_paint.h"
#include "palette.h"
#include "ui_font.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>

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

int TChartBase::ItemAt(QPoint) const
{
    return -1;
}

int TChartBase::KeyItem(int Current, int Key) const
{
    const int N = ItemCount();
    switch (Key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        return std::max(Current - 1, 0);
    case Qt::Key_Right:
    case Qt::Key_Down:
        return std::min(Current + 1, N - 1);
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return N - 1;
    default:
        return -2;
    }
}

void TChartBase::SetFocusItem(int Item)
{
    if (Item == FFocusItem)
        return;
    FFocusItem = Item;
    Invalidate();
}

void TChartBase::mousePressEvent(QMouseEvent* Event)
{
    QWidget::mousePressEvent(Event);
    FPressedItem = Event->button() == Qt::LeftButton ? ItemAt(Event->position().toPoint()) : -1;
}

// A click is a press and a release on the same item.
void TChartBase::mouseReleaseEvent(QMouseEvent* Event)
{
    QWidget::mouseReleaseEvent(Event);
    const int Item = Event->button() == Qt::LeftButton ? ItemAt(Event->position().toPoint()) : -1;
    const bool Click = Item >= 0 && Item == FPressedItem;
    FPressedItem = -1;
    if (Click && FClickDrills) {
        SetFocusItem(Item);
        emit Drilled(Item);
    }
}

void TChartBase::keyPressEvent(QKeyEvent* Event)
{
    const int N = ItemCount();
    if (N <= 0 || (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QWidget::keyPressEvent(Event);
        return;
    }
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        if (FFocusItem >= 0 && FFocusItem < N)
            emit Drilled(FFocusItem);
        Event->accept();
        return;
    }
    const int Next = KeyItem(std::clamp(FFocusItem, 0, N - 1), Event->key());
    if (Next < -1) {
        QWidget::keyPressEvent(Event);
        return;
    }
    SetFocusItem(std::clamp(Next, 0, N - 1));
    Event->accept();
}

void TChartBase::focusInEvent(QFocusEvent* Event)
{
    QWidget::focusInEvent(Event);
    if (FFocusItem < 0 && ItemCount() > 0)
        FFocusItem = 0;
    Invalidate();
}

void TChartBase::focusOutEvent(QFocusEvent* Event)
{
    QWidget::focusOutEvent(Event);
    Invalidate();
}

// The item under the pointer, or from the keyboard's menu key the keyboard's.
void TChartBase::contextMenuEvent(QContextMenuEvent* Event)
{
    const int Item = Event->reason() == QContextMenuEvent::Keyboard ? FFocusItem : ItemAt(Event->pos());
    if (Item < 0 || Item >= ItemCount() || !isSignalConnected(QMetaMethod::fromSignal(&TChartBase::Drilled))) {
        QWidget::contextMenuEvent(Event);
        return;
    }
    QMenu Menu(this);
    connect(Menu.addAction(QStringLiteral("查看这些记录")), &QAction::triggered, this, [this, Item] { emit Drilled(Item); });
    Menu.exec(Event->globalPos());
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
