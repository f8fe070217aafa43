// A browser that keeps writing its history, for tests that read it meanwhile.
//
//   mk_history_writer KIND PATH JOURNAL LOCKING BUSY_MS PAUSE_MS
//     KIND     chromium | firefox  (tables urls/visits or moz_places/moz_historyvisits)
//     JOURNAL  delete | truncate | persist | wal
//     LOCKING  normal | exclusive (as Chromium holds its databases)
//     BUSY_MS  commits for this long, pairs of them back to back with 3 ms
//              between pairs, then rests PAUSE_MS, and so on
//
// Creates the database at PATH anew: kStable pages https://stable.example/<i>
// with a visit each, titled "gen 00000000" (padded to a fixed length), then
// kArchive pages https://archive.test/<i> with a visit each in 2023, an old
// history that makes a read take a while. A dropped table leaves free pages
// that later rows take, so the file keeps its size as a trimmed history does.
// Prints "ready 0", then commits generation after generation until its
// standard input ends. Generation g rewrites the stable titles to "gen <g>"
// and moves the stable visits to g seconds after 2024-05-01 08:00:00 UTC,
// both in place; an even g also adds kBatch pages
// https://batch.example/<g>/<i> with a visit each at that time. After every
// commit the modification times of the files are set back to one fixed time,
// as a tool hiding its writes would.
//
// So the visits of any one committed state are exactly: every stable page,
// all with the title and time of one generation, and complete batches for
// every even generation up to it.
//
// At the end it checks its own files (integrity and that state), prints
// "done <g>" and exits 0; any failure ends it with a message and exit 1.

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

constexpr int kStable = 300;
constexpr int kArchive = 3000;
constexpr int kBatch = 20;
constexpr int kTitleLength = 120;

struct TKind
{
    const char* Schema;
    const char* AddPage;  // ?1 url, ?2 title
    const char* AddVisit; // ?1 page id, ?2 time in the browser's epoch
    const char* Retitle;  // ?1 title, ?2 kStable
    const char* Retime;   // ?1 the generation's time in the browser's epoch, whole seconds; ?2 kStable
    // ?1 title, ?2 batch visits, ?3 the generation's second in the browser's
    // epoch, ?4 kStable, ?5 the last archive row: the stable pages and visits
    // not of that generation, plus the batch visits missing or too many.
    const char* Check;
    long long EpochShiftUs;
};

const TKind kChromium = {
    "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,"
    " visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,"
    " last_visit_time INTEGER NOT NULL DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, visit_time INTEGER NOT NULL,"
    " from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL);"
    "CREATE INDEX visits_time_index ON visits (visit_time);",
    "INSERT INTO urls(url, title, visit_count) VALUES(?1, ?2, 1)",
    "INSERT INTO visits(url, visit_time, from_visit, transition) VALUES(?1, ?2, 0, 805306368)",
    "UPDATE urls SET title = ?1 WHERE id <= ?2",
    "UPDATE visits SET visit_time = ?1 + visit_time % 1000000 WHERE id <= ?2",
    "SELECT (SELECT count(*) FROM urls WHERE id <= ?4 AND title != ?1)"
    " + (SELECT count(*) FROM visits WHERE id <= ?4 AND visit_time / 1000000 != ?3)"
    " + abs((SELECT count(*) FROM visits WHERE id > ?5) - ?2)",
    11644473600LL * 1000000};

const TKind kFirefox = {
    "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,"
    " visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, last_visit_date INTEGER);"
    "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER,"
    " visit_date INTEGER, visit_type INTEGER, session INTEGER);"
    "CREATE INDEX moz_historyvisits_dateindex ON moz_historyvisits (visit_date);",
    "INSERT INTO moz_places(url, title, visit_count, hidden) VALUES(?1, ?2, 1, 0)",
    "INSERT INTO moz_historyvisits(from_visit, place_id, visit_date, visit_type, session) VALUES(0, ?1, ?2, 1, 0)",
    "UPDATE moz_places SET title = ?1 WHERE id <= ?2",
    "UPDATE moz_historyvisits SET visit_date = ?1 + visit_date % 1000000 WHERE id <= ?2",
    "SELECT (SELECT count(*) FROM moz_places WHERE id <= ?4 AND title != ?1)"
    " + (SELECT count(*) FROM moz_historyvisits WHERE id <= ?4 AND visit_date / 1000000 != ?3)"
    " + abs((SELECT count(*) FROM moz_historyvisits WHERE id > ?5) - ?2)",
    0};

// 2024-05-01 08:00:00 UTC: generation g visits at this plus g seconds.
constexpr long long kBaseUnixUs = 1714550400LL * 1000000;

sqlite3* GDb = nullptr;

[[noreturn]] void Fail(const char* What)
{
    std::fprintf(stderr, "mk_history_writer: %s: %s\n", What, GDb ? sqlite3_errmsg(GDb) : "");
    std::exit(1);
}

void Exec(const std::string& Sql)
{
    if (sqlite3_exec(GDb, Sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(Sql.c_str());
}

sqlite3_stmt* Prepare(const char* Sql)
{
    sqlite3_stmt* S = nullptr;
    if (sqlite3_prepare_v2(GDb, Sql, -1, &S, nullptr) != SQLITE_OK)
        Fail(Sql);
    return S;
}

void Step(sqlite3_stmt* S, const char* What)
{
    if (sqlite3_step(S) != SQLITE_DONE)
        Fail(What);
    sqlite3_reset(S);
}

std::string Title(long long Gen)
{
    char Head[32];
    std::snprintf(Head, sizeof Head, "gen %08lld ", Gen);
    std::string T = Head;
    T.resize(kTitleLength, '.');
    return T;
}

// Visits a state must hold beside the stable pages.
long long BatchVisits(long long Gen)
{
    return Gen / 2 * kBatch;
}

class TWriter
{
public:
    TWriter(const TKind& Kind)
        : FKind(Kind), FPage(Prepare(Kind.AddPage)), FVisit(Prepare(Kind.AddVisit)), FRetitle(Prepare(Kind.Retitle)),
          FRetime(Prepare(Kind.Retime))
    {
    }
    ~TWriter()
    {
        for (sqlite3_stmt* S : {FPage, FVisit, FRetitle, FRetime})
            sqlite3_finalize(S);
    }
    void AddPage(const std::string& Url, const std::string& Title, long long UnixUs)
    {
        sqlite3_bind_text(FPage, 1, Url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(FPage, 2, Title.c_str(), -1, SQLITE_TRANSIENT);
        Step(FPage, "add page");
        sqlite3_bind_int64(FVisit, 1, sqlite3_last_insert_rowid(GDb));
        sqlite3_bind_int64(FVisit, 2, UnixUs + FKind.EpochShiftUs);
        Step(FVisit, "add visit");
    }
    void Commit(long long Gen)
    {
        Exec("BEGIN IMMEDIATE");
        const std::string T = Title(Gen);
        sqlite3_bind_text(FRetitle, 1, T.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(FRetitle, 2, kStable);
        Step(FRetitle, "retitle");
        sqlite3_bind_int64(FRetime, 1, kBaseUnixUs + Gen * 1000000 + FKind.EpochShiftUs);
        sqlite3_bind_int(FRetime, 2, kStable);
        Step(FRetime, "retime");
        if (Gen % 2 == 0)
            for (int I = 0; I < kBatch; ++I)
                AddPage("https://batch.example/" + std::to_string(Gen) + "/" + std::to_string(I), T,
                        kBaseUnixUs + Gen * 1000000 + I);
        Exec("COMMIT");
    }

private:
    const TKind& FKind;
    sqlite3_stmt* FPage;
    sqlite3_stmt* FVisit;
    sqlite3_stmt* FRetitle;
    sqlite3_stmt* FRetime;
};

void SetTimesBack(const std::string& Path)
{
    static const auto Back = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 30 * 5);
    for (const char* Suffix : {"", "-wal", "-journal"}) {
        std::error_code Ignored;
        std::filesystem::last_write_time(Path + Suffix, Back, Ignored);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: mk_history_writer chromium|firefox PATH delete|truncate|persist|wal "
                             "normal|exclusive BUSY_MS PAUSE_MS\n");
        return 2;
    }
    const TKind& Kind = std::strcmp(argv[1], "firefox") == 0 ? kFirefox : kChromium;
    const std::string Path = argv[2];
    const std::string Journal = argv[3];
    const std::string Locking = argv[4];
    const auto Busy = std::chrono::milliseconds(std::atoi(argv[5]));
    const auto Pause = std::chrono::milliseconds(std::atoi(argv[6]));
    for (const char* Suffix : {"", "-wal", "-journal", "-shm"})
        std::filesystem::remove(Path + Suffix);
    if (sqlite3_open(Path.c_str(), &GDb) != SQLITE_OK)
        Fail("open");
    sqlite3_busy_timeout(GDb, 5000);
    Exec("PRAGMA locking_mode=" + Locking);
    Exec("PRAGMA journal_mode=" + Journal);
    // Commits at the pace of the page cache, whatever the disk: durability is not what is tested.
    Exec("PRAGMA synchronous=OFF");
    Exec(Kind.Schema);

    long long Gen = 0;
    {
        TWriter W(Kind);
        Exec("BEGIN");
        for (int I = 0; I < kStable; ++I)
            W.AddPage("https://stable.example/" + std::to_string(I), Title(0), kBaseUnixUs + I);
        for (int I = 0; I < kArchive; ++I)
            W.AddPage("https://archive.test/" + std::to_string(I), "archived page " + std::to_string(I),
                      kBaseUnixUs - 365LL * 86400 * 1000000 + I * 1000000LL);
        Exec("CREATE TABLE trimmed(data BLOB);"
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
             " INSERT INTO trimmed SELECT zeroblob(4000) FROM n;"
             "DROP TABLE trimmed; COMMIT");
        SetTimesBack(Path);
        std::printf("ready 0\n");
        std::fflush(stdout);

        std::atomic<bool> Stop{false};
        std::thread Watch([&Stop] {
            while (std::fgetc(stdin) != EOF) {
            }
            Stop = true;
        });
        while (!Stop) {
            const auto End = std::chrono::steady_clock::now() + Busy;
            while (std::chrono::steady_clock::now() < End) {
                // Two within one tick of the file system's clock.
                for (int I = 0; I < 2; ++I) {
                    W.Commit(++Gen);
                    SetTimesBack(Path);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            std::this_thread::sleep_for(Pause);
        }
        Watch.join();
    }

    // The files hold exactly what was written: nobody else changed them.
    sqlite3_stmt* Integrity = Prepare("PRAGMA integrity_check");
    if (sqlite3_step(Integrity) != SQLITE_ROW
        || std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(Integrity, 0)), "ok") != 0)
        Fail("integrity check");
    sqlite3_finalize(Integrity);
    sqlite3_stmt* Check = Prepare(Kind.Check);
    const std::string T = Title(Gen);
    sqlite3_bind_text(Check, 1, T.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(Check, 2, BatchVisits(Gen));
    sqlite3_bind_int64(Check, 3, (kBaseUnixUs + Kind.EpochShiftUs) / 1000000 + Gen);
    sqlite3_bind_int(Check, 4, kStable);
    sqlite3_bind_int(Check, 5, kStable + kArchive);
    if (sqlite3_step(Check) != SQLITE_ROW || sqlite3_column_int64(Check, 0) != 0)
        Fail("state check");
    sqlite3_finalize(Check);
    if (sqlite3_close(GDb) != SQLITE_OK)
        Fail("close");
    std::printf("done %lld\n", Gen);
    return 0;
}
