#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

class QDateTime;
class TJsonValue;

// CSV as spreadsheet programs on Chinese Windows read it: UTF-8 with a
// byte-order mark, CRLF after every row, fields quoted as RFC 4180 says.

// Appends one field (without the separator before it). A text that a
// spreadsheet would take for a formula (starting with = + - @, tab or CR) gets
// a leading apostrophe; a field holding a comma, quote or line break is quoted,
// its quotes doubled. Characters go out as UTF-8, a lone surrogate as U+FFFD.
void AppendCsvField(QByteArray& Out, QAnyStringView Field);

// The visible records: a header with the list's columns (time, browser,
// profile, title, URL), then the records at Rows of the Records array in that
// order. An index outside the array is skipped.
QByteArray RecordsCsv(const TJsonValue* Records, const std::vector<int>& Rows);

// "Marrowkin_Records_yyyymmdd_hhnnss.csv" for the local time Now.
QString RecordsCsvName(const QDateTime& Now);

// Writes Bytes as the whole file Path or leaves what was there: the data goes
// to a temporary file beside it that replaces Path only once complete and on
// disk. False with the system's reason in Error.
bool WriteWholeFile(const QString& Path, const QByteArray& Bytes, QString& Error);
