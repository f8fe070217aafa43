#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QWidget;
class TJsonValue;
class TReportForm;

// The collector's output turned into a tree and a report window the way the
// main window does it, in one place, so that the benchmarks follow the
// program when its reading changes.

// Null with Err set when the document does not parse.
std::unique_ptr<TJsonValue> ParseReportBytes(const QByteArray& Bytes, QString& Err);

// The report window on Root, which ParseReportBytes made from Bytes, shown as
// after a run: a modeless window of Owner that deletes itself when
// closed.
TReportForm* ShowReportBytes(QWidget* Owner, std::unique_ptr<TJsonValue> Root, const QByteArray& Bytes);
