#pragma once

#include <QWidget>

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

protected:
    // Asks for a full repaint; every state change goes through here.
    void Invalidate();

    // White over the whole client area; the first step of every paint.
    void PaintBackground(QPainter& Painter);
    // A grey one-line note centred in the client area, cut with "…" if too wide.
    void DrawEmptyText(QPainter& Painter, const QString& Text);

    void resizeEvent(QResizeEvent* Event) override;

private:
    int FRepaintRequests = 0;
};

// What every chart shows when it has nothing to draw.
QString ChartEmptyText();
