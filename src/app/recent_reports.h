#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

// The "最近打开" list: report files last opened, newest first.
inline constexpr int kMaxRecentReports = 8;

// Whether two paths name the same file: separators and "." or ".." steps
// do not matter, letter case only where file names heed it (not on Windows).
bool SameReportFile(const QString& A, const QString& B);

// Path moved (or added) to the front; the same file named twice counts once
// (letter case ignored on Windows, where file names ignore it too); at most
// Max entries stay.
QStringList AddRecentReport(QStringList List, const QString& Path, int Max = kMaxRecentReports);

// The entries for which Exists holds, in order.
QStringList PruneRecentReports(const QStringList& List, const std::function<bool(const QString&)>& Exists);

// The local .json files among dropped URLs, with the system's separators.
QStringList DroppedReportFiles(const QList<QUrl>& Urls);

// Where the list is kept: the user's program settings, or the INI file Store
// when one is given (tests use one of their own).
QStringList LoadRecentReports(const QString& Store = QString());
void SaveRecentReports(const QStringList& List, const QString& Store = QString());
