#pragma once

#include "chart_base.h"
#include "chart_types.h"

class QEvent;
class QMouseEvent;
class QPaintEvent;

// Weekday × hour grid coloured by visit count relative to the busiest cell,
// with a hover read-out and a peak summary underneath.
class THeatChart final : public TChartBase {
    Q_OBJECT
public:
    explicit THeatChart(QWidget* Parent = nullptr);

    // Copies the counts and finds the peak; the hovered cell stays as it is.
    void SetMatrix(const THeatMatrix& Value);
    const THeatMatrix& Matrix() const { return FMatrix; }

    int Max() const { return FMax; }
    int PeakDay() const { return FPeakD; }
    int PeakHour() const { return FPeakH; }
    int HoverDay() const { return FHoverD; }
    int HoverHour() const { return FHoverH; }
    // The line under the grid: hover read-out, peak summary or the hint.
    QString SummaryText() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    THeatMatrix FMatrix{};
    qint32 FMax = 0;
    // No peak until counts arrive, so a chart painted before SetMatrix shows
    // the hint rather than a made-up "Sunday 0:00" peak.
    qint32 FPeakD = -1;
    qint32 FPeakH = -1;
    qint32 FHoverD = -1;
    qint32 FHoverH = -1;
};
