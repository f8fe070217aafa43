#pragma once

#include "chart_base.h"
#include "chart_types.h"

class QEvent;
class QMouseEvent;
class QPaintEvent;

// A ring of coloured slices with the total in the middle and a legend of counts
// and rounded percentages to its right. The legend row of the slice under the
// pointer (or else the keyboard's) is highlighted.
class TDonutChart final : public TChartBase {
    Q_OBJECT
public:
    explicit TDonutChart(QWidget* Parent = nullptr);

    void SetSlices(const TSlices& Value);
    const TSlices& Slices() const { return FSlices; }
    int HoverIndex() const { return FHover; }
    int ItemAt(QPoint Pos) const override;
    int ItemCount() const override { return int(FSlices.size()); }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    TSlices FSlices;
    int FHover = -1;
};
