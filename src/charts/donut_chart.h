#pragma once

#include "chart_base.h"
#include "chart_types.h"

class QPaintEvent;

// A ring of coloured slices with the total in the middle and a legend of counts
// and rounded percentages to its right. No hover or click behaviour.
class TDonutChart final : public TChartBase {
    Q_OBJECT
public:
    explicit TDonutChart(QWidget* Parent = nullptr);

    void SetSlices(const TSlices& Value);
    const TSlices& Slices() const { return FSlices; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TSlices FSlices;
};
