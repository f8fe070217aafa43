#pragma once

#include "text_util.h"
#include "weekday_names.h" // WeekdayNames, indexed like THeatMatrix

#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>

// Visits per weekday and hour: [day 0..6][hour 0..23], day 0 is Sunday.
// Value-initialise it ({}) to start from zeros.
using THeatMatrix = std::array<std::array<qint32, 24>, 7>;

// One bar of the daily trend: the axis label chosen by the caller and its count.
struct TDayPoint {
    QString Text;
    qint32 Count = 0;
};
using TDayPoints = QList<TDayPoint>;

// One ranked row. Sub is the optional second line (empty = none); Color may be
// kDefaultColor, in which case the chart uses its accent.
struct TRankEntry {
    QString Name;
    QString Sub;
    qint32 Value = 0;
    TColor Color = kDefaultColor;
};
using TRankEntries = QList<TRankEntry>;

// One donut slice and legend row; the colour is used as given.
struct TSlice {
    QString Name;
    qint32 Value = 0;
    TColor Color = kDefaultColor;
};
using TSlices = QList<TSlice>;
