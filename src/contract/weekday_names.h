#pragma once

#include <QStringList>

// "周日" … "周六", indexed by day (0 = Sunday): the rows of the heat chart in
// the window and in an HTML report, and the day of a report's peak hour.
const QStringList& WeekdayNames();
