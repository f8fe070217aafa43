#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

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

// One URL of one database, with the title that database stored last.
struct TArchivePage
{
    qint64 Id = 0;
    qint64 Source = 0;
    qint64 Url = 0;
    std::string TitleJson; // as a JSON string literal, as reports carry titles
};

struct TArchiveVisit
{
    qint64 Page = 0;
    qint64 UnixUs = 0;
    bool Listed = true; // the browser's history page listed it
};

// What an archive holds, loaded at the start of a run. Rows that point
// nowhere or carry impossible times are left out and counted in Damaged.
struct TArchiveContent
{
    std::vector<TArchiveSource> Sources;
    QHash<qint64, QString> Urls;
    std::vector<TArchivePage> Pages;
    QHash<qint64, qsizetype> PageIndex; // page id → index into Pages
    std::vector<TArchiveVisit> Visits;  // in (Page, UnixUs) order
    qint64 Damaged = 0;
};

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
    bool Commit(QString& ErrMsg);
    bool Load(TArchiveContent& Out, QString& ErrMsg);

    bool AddSource(TArchiveSource& Source, QString& ErrMsg); // sets Source.Id
    bool UpdateSource(const TArchiveSource& Source, QString& ErrMsg);
    bool AddUrl(const QString& Url, qint64& Id, QString& ErrMsg);
    bool AddPage(qint64 Source, qint64 Url, const QString& Title, qint64& Id, QString& ErrMsg);
    bool SetTitle(qint64 Page, const QString& Title, QString& ErrMsg);
    bool AddVisit(const TArchiveVisit& Visit, QString& ErrMsg);

    // Removes every visit in one transaction, then compacts the file so the
    // history is gone from the disk too.
    bool Clear(QString& ErrMsg);

private:
    struct TDbCloser
    {
        void operator()(sqlite3* Db) const;
    };
    struct TStmtCloser
    {
        void operator()(sqlite3_stmt* S) const;
    };
    using TStmt = std::unique_ptr<sqlite3_stmt, TStmtCloser>;

    bool Exec(const char* Sql, QString& ErrMsg);
    bool Check(QString& ErrMsg);
    bool Create(QString& ErrMsg);
    sqlite3_stmt* Stmt(TStmt& Slot, const char* Sql, QString& ErrMsg);
    bool Step(sqlite3_stmt* S, QString& ErrMsg);
    QString Failure(const QString& What) const;

    std::unique_ptr<sqlite3, TDbCloser> FDb;
    bool FInTransaction = false;
    TStmt FAddSource, FUpdateSource, FAddUrl, FAddPage, FSetTitle, FAddVisit;
};
