#pragma once

// The data sources of a document, as the report window and the sources
// window read them, and what the sources window shows of a detection run.

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class TJsonValue;

// Between the parts of a summary line: ideographic space, middle dot,
// ideographic space.
QString PartSeparator();

// One data source of a report document or of a detection run's list document.
struct TSourceRow {
    QString Name;
    QString Profile;
    QString Status;
    QString Path;
    QString Msg;
    qint64 Count = 0;  // the report keeps only the low 32 bits, signed
    bool Ok = false;
};
using TSourceRows = QList<TSourceRow>;

// Reads one element of a sources array: string members, the integer count,
// the literal true of ok; anything but an object gives an empty, failed row.
TSourceRow ReadSourceRow(const TJsonValue* Element);
// One row per element of the document's sources array; none without one.
TSourceRows ReadSourceRows(const TJsonValue* Data);

// What the sources window shows of a detection run's list document.
struct TSourceList {
    TSourceRows Rows;
    QString Summary;  // empty without a document
};
TSourceList ReadSourceList(const TJsonValue* Data);
// Column titles and cells of the sources window (the report's without the message).
QStringList SourceListTitles();
QStringList SourceListCells(const TSourceRow& Row);
// The sources window's clipboard text: the titles, then one line per row,
// tab-separated, each line ending in CR LF.
QString SourceListText(const TSourceRows& Rows);
