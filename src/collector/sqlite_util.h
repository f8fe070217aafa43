#pragma once

#include <QString>

#include <sqlite3.h>

#include <memory>
#include <string>

// Small helpers around SQLite's C interface, shared by every read of a
// history database.

struct TDbCloser
{
    void operator()(sqlite3* Db) const { sqlite3_close_v2(Db); }
};
struct TStmtCloser
{
    void operator()(sqlite3_stmt* S) const { sqlite3_finalize(S); }
};
using TDb = std::unique_ptr<sqlite3, TDbCloser>;
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtCloser>;

// Opens a database for reading (Flags: SQLITE_OPEN_READONLY or _READWRITE,
// with _URI where Name is one) into Db; SQLite's result code. Two
// connections of ours may read one copy at once, and on Windows taking
// their shared locks at the same moment can fail outright: a lock found
// taken is waited for, briefly, rather than failing the read.
int OpenForReading(const char* Name, int Flags, TDb& Db);

// The connection's last error in SQLite's words ("out of memory" without one).
QString SqliteText(sqlite3* Db);

// Prepares Sql on Db; false with a Chinese message when it cannot.
bool Prepare(sqlite3* Db, const char* Sql, TStmt& Stmt, QString& ErrMsg);

// True, with a Chinese message, when a step that ended with Rc failed
// rather than reaching the last row.
bool StepFailed(sqlite3* Db, int Rc, QString& ErrMsg);

// The rows stored in a table, for sizing what is read from it once: no
// regrowth, no doubled peak while a vector of large rows is copied.
size_t RowsToReserve(sqlite3* Db, const char* Table);

// The column's text, cut to at most MaxBytes of UTF-8 at a character boundary
// with "…" when longer; malformed bytes become U+FFFD.
QString ColumnText(sqlite3_stmt* S, int Col, int MaxBytes);
// The same as well-formed UTF-8.
QByteArray ColumnUtf8(sqlite3_stmt* S, int Col, int MaxBytes);
