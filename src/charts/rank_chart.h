#pragma once

#include "chart_base.h"
#include "chart_types.h"

#include <functional>

class QEvent;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QScrollBar;
class QWheelEvent;

// Ranked rows: position, label with optional second line, count and a thin bar
// relative to the largest count. Double-clicking a row emits ItemDblClicked;
// so does Enter on the keyboard's row, which the arrow keys move once the
// chart has the focus (Tab reaches it).
// Rows that do not fit the height are reached with the wheel or the scroll
// bar that then appears at the right edge.
class TRankChart final : public TChartBase {
    Q_OBJECT
public:
    // Milliseconds on a 32-bit counter that wraps; replaceable for tests.
    using TTickSource = std::function<quint32()>;

    explicit TRankChart(QWidget* Parent = nullptr);

    // Copies the rows and clears the hover; the row height follows the first
    // row (42 px when it has a second line, else 30 px).
    void SetEntries(const TRankEntries& Value);
    const TRankEntries& Entries() const { return FEntries; }

    // Row under client y, or -1; the whole width of a row belongs to it.
    int RowAt(int Y) const;
    int RowHeight() const { return FRowH; }
    int HoverIndex() const { return FHover; }
    int ItemAt(QPoint Pos) const override { return RowAt(Pos.y()); }
    int ItemCount() const override { return int(FEntries.size()); }
    // The keyboard's row, -1 = none.
    int CurrentRow() const { return FCurrent; }
    // Pixels the rows are scrolled up by; 0 when they all fit.
    int ScrollOffset() const { return FScroll; }
    // Shown only while the rows need more height than the chart has.
    QScrollBar* ScrollBar() const { return FScrollBar; }

    void SetTickSource(TTickSource Source);

signals:
    // A row was double-clicked (two quick left presses on the same row).
    void ItemDblClicked(int Index);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    void UpdateScrollBar();
    void ScrollTo(int Offset);
    void SetCurrent(int Row);

    TRankEntries FEntries;
    qint32 FHover = -1;
    qint32 FCurrent = -1;
    qint32 FRowH = 30;
    // The last unpaired left press, for recognising two quick presses on a row.
    qint32 FLastRow = -1;
    quint32 FLastTick = 0;
    TTickSource FTickSource;
    qint32 FScroll = 0;
    QScrollBar* FScrollBar = nullptr;
};
