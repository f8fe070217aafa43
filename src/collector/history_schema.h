#pragma once

#include "history_source.h"

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

// Where a browser keeps its history, and which rows its own history page
// lists. Queries name the URL table "u" and the visit table "v".
struct TSchema
{
    const char* UrlTable;
    const char* VisitTable;
    const char* VisitUrl;  // the visit's column naming its URL row
    const char* VisitTime; // in the browser's own epoch
    const char* ShownUrl;  // condition on u for a listed page, or nullptr
    const char* ShownVisit;
    const char* RuleColumnsSql; // prepares only when the columns the shown-visit rule needs exist
    const char* RuleNote;
};

const TSchema& SchemaOf(TSourceKind Kind);

// Checks that the open database is the kind of history expected. Returns the
// SQLite result code of the check, with ErrMsg set when it is not SQLITE_OK.
int CheckSchema(sqlite3* Db, const TSchema& Schema, QString& ErrMsg);

// The SQL of one read of a database: its URL rows, and its visits with
// ?1 <= time < ?2, in the browser's own epoch.
struct TQueries
{
    QByteArray Urls;   // id, url, title[, listed]
    QByteArray Visits; // URL id, time[, listed]
    QByteArray Count;  // the visits a report would count
    bool Shown = false; // only what the history page lists
};

// Scan is set when the range covers the whole history: a plain scan of the
// table then beats looking up every row through the time index. WithShown
// reads every row, with whether the history page lists it as one more column.
TQueries MakeQueries(sqlite3* Db, const TSchema& Schema, bool AllVisits, bool WithShown, bool Scan);
