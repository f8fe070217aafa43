#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

// "Marrowkin_Report_yyyyMMdd_hhmmss.<Ext>" after When's own time; from the
// second Copy made in one second on "Marrowkin_Report_yyyyMMdd_hhmmss_<Copy>.<Ext>".
// The collector names the reports it writes so, and the window its saved copies.
QString ReportFileName(const QDateTime& When, QStringView Ext, int Copy = 1);

// A regular expression (without anchors) for every name ReportFileName gives a
// JSON or HTML report.
QString ReportFileNamePattern();
