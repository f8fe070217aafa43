#pragma once

#include <QWidget>

class QContextMenuEvent;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPainter;
class QResizeEvent;

// Common frame of the owner-drawn charts: white, opaque (the chart paints every
// pixel itself, so Qt need not erase first), mouse tracking for hover read-outs.
class TChartBase : public QWidget {
    Q_OBJECT
public:
    explicit TChartBase(QWidget* Parent = nullptr);

    // Number of repaints this chart has asked for: lets tests tell a hover
    // that changed nothing from one that did.
    int RepaintRequests() const { return FRepaintRequests; }

    // Charts whose items lead on to their records: the item under a client
    // point (-1 = none) and how many items there are. The others have none.
    virtual int ItemAt(QPoint Pos) const;
    virtual int ItemCount() const { return 0; }
    // The keyboard's item, -1 = none. Tab into the chart picks the first;
    // the arrow keys move it (its hover text shows), Enter drills into it.
    int FocusItem() const { return FFocusItem; }
    // Whether a left click on an item drills into it (on by default; off where
    // a click already means something else). Enter and the item's context
    // menu ("查看这些记录") always do.
    void SetClickDrills(bool On) { FClickDrills = On; }

signals:
    // The user asked for the records of an item.
    void Drilled(int Item);

protected:
    // Asks for a full repaint; every state change goes through here.
    void Invalidate();

    // White over the whole client area; the first step of every paint.
    void PaintBackground(QPainter& Painter);
    // A grey one-line note centred in the client area, cut with "…" if too wide.
    void DrawEmptyText(QPainter& Painter, const QString& Text);

    // The item the keys move to from Current: by default Left/Up and
    // Right/Down step through the items, Home and End go to the ends; -2 for
    // keys that move nothing.
    virtual int KeyItem(int Current, int Key) const;
    void SetFocusItem(int Item);
    // The item whose read-out shows: the hovered one, else the keyboard's.
    int ShownItem(int Hover) const { return Hover >= 0 ? Hover : hasFocus() ? FFocusItem : -1; }

    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;

private:
    int FRepaintRequests = 0;
    int FFocusItem = -1;
    int FPressedItem = -1;
    bool FClickDrills = true;
};

// What every chart shows when it has nothing to draw.
QString ChartEmptyText();
