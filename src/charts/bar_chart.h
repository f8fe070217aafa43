#pragma once

#include "chart_base.h"
#include "chart_geometry.h"
#include "chart_types.h"

class QEvent;
class QMouseEvent;
class QPaintEvent;

// Visits per day as vertical bars across the whole plot over a value scale of
// round steps, with date labels under the first and last bars and at month
// starts between them, and a header showing the total or the hovered bar.
class TBarChart final : public TChartBase {
    Q_OBJECT
public:
    explicit TBarChart(QWidget* Parent = nullptr);

    // Copies the points and clears the hover.
    void SetPoints(const TDayPoints& Value);
    const TDayPoints& Points() const { return FPoints; }

    int HoverIndex() const { return FHover; }
    int ItemAt(QPoint Pos) const override;
    int ItemCount() const override { return int(FPoints.size()); }
    // The header line as it reads now (total, or the value of the hovered
    // bar or else of the keyboard's).
    QString HeaderText() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    TDayPoints FPoints;
    QList<TMonthStart> FMonths;  // where the points begin a month
    qint32 FHover = -1;
    // Bar layout of the last paint, so the pointer is matched against the bars
    // exactly as they were drawn (N 0 = nothing laid out).
    TBarLayout FLayout;
};
