#pragma once

#include "sqlite_util.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringEncoder>
#include <QtGlobal>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A browser database the archive holds visits of. A database is known by its
// browser and path; name and profile label are the latest seen.
struct TArchiveSource
{
    qint64 Id = 0;
    QString Browser; // source id ("chrome", …)
    QString Name;    // browser name shown in reports
    QString Profile;
    QString Path;
    int Kind = 0;    // TSourceKind
};

// A visit as stored, with the hash of its URL (see UrlHash).
struct TArchiveVisit
{
    qint64 UnixUs = 0;
    qint64 Page = 0;
    quint64 UrlHash = 0;
    bool Listed = true; // the browser's history page listed it
};

// The visits of one source on one UTC day: how many, and the sum of their
// VisitDigest. Equal sums tell a day the archive already holds whole
// without reading its visits, which are stored together, one row a day.
struct TArchiveDay
{
    qint64 Visits = 0;
    quint64 Digest = 0;
};

// A page of one source: its URL and the title stored with its latest visit.
struct TArchivePage
{
    QString Url;
    QByteArray Title; // UTF-8, as the report takes it
};

// Pages of one source with ascending ids, encoded as one row of the
// archive holds them (see archive_store.cpp); a changed title rewrites the
// block.
struct TArchivePageBlock
{
    qint64 First = 0, Last = 0; // its first and last page's ids
    int Count = 0;
    QByteArray Data;
    bool Held = true; // else let go once written, read back when needed
    bool Dirty = false;
};

// Stable across runs, platforms and Qt versions: FNV-1a over the UTF-16 text.
quint64 UrlHash(const QString& Url);
quint64 VisitDigest(quint64 UrlHash, qint64 UnixUs);

// Tests set this to a number of milliseconds: an archive run then says
// kArchiveHoldLine on standard error inside its transaction, just before the
// commit, and waits that long.
inline constexpr char kArchiveHoldVar[] = "MK_COLLECTOR_HOLD_ARCHIVE_MS";
inline constexpr char kArchiveHoldLine[] = "archive transaction held";

// The archive file: an SQLite database in WAL mode, created readable by its
// owner only, marked as ours by its application id and versioned by
// user_version. A file that is not such an archive is never written to.
// Every change happens inside one transaction (Begin … Commit); a run that
// ends in between leaves the archive as it was.
class TArchiveStore final
{
public:
    enum TOpen { aoOpened, aoAbsent, aoFailed };

    TArchiveStore();
    ~TArchiveStore();
    TArchiveStore(const TArchiveStore&) = delete;
    TArchiveStore& operator=(const TArchiveStore&) = delete;

    // aoAbsent only when the file does not exist and Create is not set.
    TOpen Open(const QString& Path, bool Create, QString& ErrMsg);
    // Takes the write lock, waiting a while for another run that holds it.
    bool Begin(QString& ErrMsg);
    bool Commit(QString& ErrMsg); // also writes the pages added or changed

    bool LoadSources(std::vector<TArchiveSource>& Out, QString& ErrMsg);
    bool LoadDays(QHash<qint64, QMap<qint64, TArchiveDay>>& Out, QString& ErrMsg); // source → day → sums
    // The source's visits on the UTC days FromDay <= day < ToDay, in time
    // order, UrlHash not set. A day that cannot be read whole fails the load.
    bool LoadVisits(qint64 Source, qint64 FromDay, qint64 ToDay, std::vector<TArchiveVisit>& Out, QString& ErrMsg);
    // A source's pages are read whole when one of them is first asked for;
    // a block of them that does not read fails that and every later call.
    bool EachPageHash(qint64 Source, const std::function<void(qint64 Page, quint64 UrlHash)>& Take, QString& ErrMsg);
    bool PageUrl(qint64 Source, qint64 Page, QString& Url, QString& ErrMsg); // empty: no such page
    bool LoadPages(qint64 Source, QHash<qint64, TArchivePage>& Out, QString& ErrMsg); // page id → page

    bool AddSource(TArchiveSource& Source, QString& ErrMsg); // sets Source.Id
    bool UpdateSource(const TArchiveSource& Source, QString& ErrMsg);
    // Titles come as the readers keep them, UTF-8, and are stored so.
    bool AddPage(qint64 Source, quint64 Hash, const QString& Url, std::string_view Title, qint64& Id, QString& ErrMsg);
    bool SetTitle(qint64 Source, qint64 Page, std::string_view Title, QString& ErrMsg);
    // Stores the whole day: its sums and Visits (each once), replacing what was there.
    bool SetDay(qint64 Source, qint64 Day, const TArchiveDay& Sums, std::vector<TArchiveVisit>& Visits, QString& ErrMsg);

    // Removes every visit in one transaction, then compacts the file so the
    // history is gone from the disk too.
    bool Clear(QString& ErrMsg);

private:
    // A source's blocks, ascending ids. A row per page cost an insert
    // each, most of a run that adds many pages.
    using TBook = std::vector<TArchivePageBlock>;

    TBook* Book(qint64 Source, QString& ErrMsg);
    TBook* HeldBook(qint64 Source, QString& ErrMsg); // with every block's bytes at hand
    // The block Page would be in, held; null when there is none.
    bool BlockOf(qint64 Source, qint64 Page, TArchivePageBlock*& Block, QString& ErrMsg);
    bool Hold(TArchivePageBlock& Block, QString& ErrMsg);
    bool MigratePages1(QString& ErrMsg);
    bool WriteBlock(qint64 Source, const TArchivePageBlock& Block, QString& ErrMsg);
    bool WritePages(QString& ErrMsg);
    bool Exec(const char* Sql, QString& ErrMsg);
    bool Check(QString& ErrMsg);
    bool Create(QString& ErrMsg);
    bool Migrate(QString& ErrMsg);
    sqlite3_stmt* Stmt(TStmt& Slot, const char* Sql, QString& ErrMsg);
    bool Step(sqlite3_stmt* S, QString& ErrMsg);
    bool Done(int Rc, QString& ErrMsg) const;
    // Runs Sql with Source as ?1 and hands each row to Take.
    bool EachRow(const char* Sql, qint64 Source, const std::function<void(sqlite3_stmt*)>& Take, QString& ErrMsg);
    QString Failure(const QString& What) const;

    TDb FDb;
    bool FInTransaction = false;
    std::map<qint64, TBook> FBooks; // source id → its pages, read when first needed
    QStringEncoder FToUtf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QByteArray FUtf8; // a URL on its way in: one buffer for them all
    qint64 FNextPage = 0;           // the id a new page gets; 0: not read yet
    TStmt FAddSource, FUpdateSource, FWriteBlock, FReadBlock, FSetDay, FLoadVisits;
};
