#pragma once

#include "regular_file.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One state of a SQLite database and its -wal and -journal files, as far as
// it can be told without reading them whole. Every commit of a writer changes
// some part of it: the file change counter in the database header (not in
// exclusive locking mode, which counts only the first commit), the WAL's
// salts and size, the journal's header and first record, a size, or at least
// the change time, which moves with every write and cannot be set back (the
// modification time can). Two equal stamps taken around a read therefore
// show that no writer came in between, given that the files' change times
// were older than the clock's step when the first was taken (see Quiet).
class TDbStamp final
{
public:
    // False with a Chinese message when the database file itself is missing
    // or not a regular file.
    bool Take(const QString& Path, QString& ErrMsg);
    // Nobody is in the middle of a write: no WAL content, no journal that
    // would have to be rolled back; and no file changed within MinAgeNs
    // before NowNs, so a write during a read cannot leave the change time
    // as it was.
    bool Quiet(qint64 NowNs, qint64 MinAgeNs) const;
    bool operator==(const TDbStamp&) const = default;

private:
    struct TPart
    {
        bool Exists = false;
        bool Regular = false;
        TFileState State;
        QByteArray Head; // the first bytes, where each kind of file keeps what a commit changes
        bool operator==(const TPart&) const = default;
    };
    static TPart TakePart(const QString& Path, qint64 HeadBytes, QString& ErrMsg);

    TPart FMain, FWal, FJournal;
};
