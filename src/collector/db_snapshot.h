#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Where one read finds a database: the browser's own file, named as a URI
// that opens it immutable (no lock, no file created beside it), or a private
// copy that SQLite may open as it likes.
struct TDbSnapshot
{
    QByteArray OpenName; // for sqlite3_open_v2
    bool InPlace = false;
};

using TSnapshotRead = std::function<bool(const TDbSnapshot&, QString&)>;

// Gives Read one committed state of the database at Path and its -wal and
// -journal files, never a mix of two, while a browser may be writing them.
// A quiet database is read where it lies and accepted only when its stamp
// (see TDbStamp) held still around the read; otherwise it is read from a
// private copy whose files were seen unchanged before, during and after the
// copying. A database that keeps changing under every try fails as busy.
// The browser's files are only ever opened for reading. False with a Chinese
// message when no read succeeded; the message of a failed Read is passed on.
bool ReadConsistent(const QString& Path, const TSnapshotRead& Read, QString& ErrMsg);
