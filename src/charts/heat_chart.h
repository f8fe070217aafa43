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
    // Items are the cells, weekday * 24 + hour.
    int ItemAt(QPoint Pos) const override;
    int ItemCount() const override { return 7 * 24; }
    // The line under the grid: the read-out of the hovered cell or else the
    // keyboard's, the peak summary or the hint.
    QString SummaryText() const;

protected:
    // Left and Right move along the hours, Up and Down along the weekdays.
    int KeyItem(int Current, int Key) const override;
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
