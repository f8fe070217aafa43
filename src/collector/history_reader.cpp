#include "history_reader.h"

#include "db_snapshot.h"
#include "text_out.h"
#include "url_info.h"

#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

namespace {

// Stamps outside 1990-01-01 … 2200-01-01 UTC are damaged rows: a zero stamp
// is not a visit in 1601 or 1970, one centuries ahead would only stretch the
// daily series without end.
constexpr qint64 kEarliestUnixUs = 631152000LL * 1000000LL;
constexpr qint64 kLatestUnixUs = 7258118400LL * 1000000LL;

// What one record may carry into a report; longer texts are cut and marked.
constexpr int kMaxTitleBytes = 4 * 1024;
constexpr int kMaxUrlBytes = 64 * 1024;

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

QString SqliteText(sqlite3* Db)
{
    return Db ? QString::fromUtf8(sqlite3_errmsg(Db)) : QStringLiteral("out of memory");
}

// The column's text, cut to at most MaxBytes of UTF-8 (at a character
// boundary) with "…" when longer.
QString ColumnText(sqlite3_stmt* S, int Col, int MaxBytes)
{
    const auto* Text = reinterpret_cast<const char*>(sqlite3_column_text(S, Col));
    if (!Text)
        return {};
    int Size = sqlite3_column_bytes(S, Col);
    if (Size <= MaxBytes)
        return QString::fromUtf8(Text, Size);
    Size = MaxBytes;
    while (Size > 0 && (static_cast<unsigned char>(Text[Size]) & 0xC0) == 0x80)
        --Size;
    return QString::fromUtf8(Text, Size) + QChar(0x2026);
}

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

// Chromium's history page lists a visit that ends a redirect chain (0x20000000)
// and is not an automatic or manual sub-frame (3, 4) or keyword-generated (10).
const TSchema kChromiumSchema = {
    "urls", "visits", "url", "visit_time", nullptr,
    "(v.transition & 536870912) != 0 AND (v.transition & 255) NOT IN (3, 4, 10)",
    "SELECT transition FROM visits LIMIT 0",
    "数据库缺少 transition 列（旧版或精简的数据库），已按全部访问记录计数"};

// Firefox leaves out hidden places and embeds (4), downloads (7) and framed links (8).
const TSchema kFirefoxSchema = {
    "moz_places", "moz_historyvisits", "place_id", "visit_date", "ifnull(u.hidden, 0) = 0",
    "(v.visit_type IS NULL OR v.visit_type NOT IN (4, 7, 8))",
    "SELECT p.hidden, v.visit_type FROM moz_places p, moz_historyvisits v LIMIT 0",
    "数据库缺少 hidden 或 visit_type 列（旧版或精简的数据库），已按全部访问记录计数"};

bool Prepare(sqlite3* Db, const char* Sql, TStmt& Stmt, QString& ErrMsg)
{
    sqlite3_stmt* S = nullptr;
    const int Rc = sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr);
    Stmt.reset(S);
    if (Rc != SQLITE_OK) {
        ErrMsg = QStringLiteral("数据库已损坏或无法读取：%1").arg(SqliteText(Db));
        return false;
    }
    return true;
}

bool StepFailed(sqlite3* Db, int Rc, QString& ErrMsg)
{
    if (Rc == SQLITE_DONE)
        return false;
    ErrMsg = QStringLiteral("读取数据库失败：%1").arg(SqliteText(Db));
    return true;
}

// Checks that the open database is the kind of history expected. Returns the
// SQLite result code of the check, with ErrMsg set when it is not SQLITE_OK.
int CheckSchema(sqlite3* Db, const TSchema& Schema, QString& ErrMsg)
{
    TStmt Check;
    if (!Prepare(Db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (?1, ?2)",
                 Check, ErrMsg))
        return sqlite3_errcode(Db);
    sqlite3_bind_text(Check.get(), 1, Schema.UrlTable, -1, SQLITE_STATIC);
    sqlite3_bind_text(Check.get(), 2, Schema.VisitTable, -1, SQLITE_STATIC);
    if (sqlite3_step(Check.get()) != SQLITE_ROW) {
        const int Rc = sqlite3_errcode(Db);
        ErrMsg = QStringLiteral("数据库已损坏或无法读取：%1").arg(SqliteText(Db));
        return Rc == SQLITE_OK ? SQLITE_ERROR : Rc;
    }
    if (sqlite3_column_int(Check.get(), 0) != 2) {
        ErrMsg = QStringLiteral("不是有效的历史数据库（缺少 %1 / %2 表）")
                     .arg(QLatin1String(Schema.UrlTable), QLatin1String(Schema.VisitTable));
        return SQLITE_NOTFOUND;
    }
    return SQLITE_OK;
}

// Opens the database and checks that it is the kind of history database
// expected; Flags tells further connections how it was opened.
bool OpenDb(const TSourceInfo& Source, const TDbSnapshot& Snap, TDb& Db, const TSchema*& Schema, int& Flags,
            QString& ErrMsg)
{
    Schema = Source.Kind == skFirefox ? &kFirefoxSchema : &kChromiumSchema;
    // A copy is opened read-only, but not immutable: a WAL beside it must still
    // be applied. A journal left by a browser in mid-write has to be rolled back
    // first, which needs write access; the copy is ours, so that is harmless.
    static const int CopyModes[] = {SQLITE_OPEN_READONLY, SQLITE_OPEN_READWRITE};
    static const int InPlaceModes[] = {SQLITE_OPEN_READONLY | SQLITE_OPEN_URI};
    for (const int Mode : Snap.InPlace ? std::span<const int>(InPlaceModes) : std::span<const int>(CopyModes)) {
        sqlite3* Raw = nullptr;
        const int Rc = sqlite3_open_v2(Snap.OpenName.constData(), &Raw, Mode | SQLITE_OPEN_NOMUTEX, nullptr);
        Db.reset(Raw);
        if (Rc != SQLITE_OK) {
            ErrMsg = QStringLiteral("无法打开数据库：%1").arg(SqliteText(Raw));
            return false;
        }
        const int Check = CheckSchema(Db.get(), *Schema, ErrMsg);
        if (Check == SQLITE_OK) {
            Flags = Mode;
            return true;
        }
        const int Primary = Check & 0xFF;
        if (Primary != SQLITE_READONLY && Primary != SQLITE_BUSY && Primary != SQLITE_CANTOPEN)
            return false;
    }
    return false;
}

// Whether the time column holds numbers that compare as numbers, as the
// browsers declare it (INTEGER). Under a text declaration (VARCHAR) numbers
// are stored as text, and text never equals or orders with a number. SQLite's
// own rules for a declared type, in their order.
bool NumericColumn(sqlite3* Db, const char* Table, const char* Column)
{
    TStmt Info;
    QString Ignored;
    if (!Prepare(Db, "SELECT upper(type) FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE", Info, Ignored))
        return false;
    sqlite3_bind_text(Info.get(), 1, Table, -1, SQLITE_STATIC);
    sqlite3_bind_text(Info.get(), 2, Column, -1, SQLITE_STATIC);
    if (sqlite3_step(Info.get()) != SQLITE_ROW)
        return false;
    const QByteArray Type(reinterpret_cast<const char*>(sqlite3_column_text(Info.get(), 0)));
    if (Type.contains("INT"))
        return true;
    if (Type.isEmpty() || Type.contains("CHAR") || Type.contains("CLOB") || Type.contains("TEXT") || Type.contains("BLOB"))
        return false;
    return true; // REAL or NUMERIC
}

// The SQL of one read of a database: its URL rows, and its visits with
// ?1 <= time < ?2, in the browser's own epoch.
struct TQueries
{
    QByteArray Urls;   // id, url, title
    QByteArray Visits; // URL id, time
    QByteArray Count;  // the visits a report would count
    bool Shown = false; // only what the history page lists
};

// Scan is set when the range covers the whole history: a plain scan of the
// table then beats looking up every row through the time index.
TQueries MakeQueries(sqlite3* Db, const TSchema& Schema, bool AllVisits, bool WithShown, bool Scan)
{
    TQueries Q;
    if (!AllVisits || WithShown) {
        sqlite3_stmt* Probe = nullptr;
        Q.Shown = sqlite3_prepare_v2(Db, Schema.RuleColumnsSql, -1, &Probe, nullptr) == SQLITE_OK;
        sqlite3_finalize(Probe);
    }
    const QByteArray Time = QByteArray("v.") + Schema.VisitTime;
    // Numbers are compared as numbers in any storage class; the unary "+"
    // keeps SQLite off the index, CAST on a text column has none to use.
    const QByteArray T = !NumericColumn(Db, Schema.VisitTable, Schema.VisitTime) ? "CAST(" + Time + " AS NUMERIC)"
                         : Scan                                                  ? "+" + Time
                                                                                 : Time;
    const QByteArray InRange = T + " >= ?1 AND " + T + " < ?2";
    const QByteArray VisitRule = Q.Shown ? QByteArray(" AND ") + Schema.ShownVisit : QByteArray();
    const QByteArray UrlRule = Q.Shown && Schema.ShownUrl ? QByteArray(Schema.ShownUrl) : QByteArray();
    if (WithShown) {
        // The rules become columns instead of conditions: every row is read.
        Q.Urls = QByteArray("SELECT u.id, u.url, u.title, ") + (UrlRule.isEmpty() ? QByteArray("1") : "(" + UrlRule + ")")
                 + " FROM " + Schema.UrlTable + " u";
        Q.Visits = QByteArray("SELECT v.") + Schema.VisitUrl + ", " + T + ", "
                   + (Q.Shown ? "(" + QByteArray(Schema.ShownVisit) + ")" : QByteArray("1")) + " FROM "
                   + Schema.VisitTable + " v WHERE " + InRange;
    } else {
        Q.Urls = QByteArray("SELECT u.id, u.url, u.title FROM ") + Schema.UrlTable + " u"
                 + (UrlRule.isEmpty() ? QByteArray() : " WHERE " + UrlRule);
        Q.Visits = QByteArray("SELECT v.") + Schema.VisitUrl + ", " + T + " FROM " + Schema.VisitTable + " v WHERE "
                   + InRange + VisitRule;
    }
    // A visit counts when its URL row is read too, as a report joins them.
    // The ids of those rows are gathered once; the unary "+" keeps SQLite
    // from looking up each visit's row instead, which costs twice the time.
    Q.Count = QByteArray("SELECT count(*) FROM ") + Schema.VisitTable + " v WHERE " + InRange + VisitRule + " AND +v."
              + Schema.VisitUrl + " IN (SELECT u.id FROM " + Schema.UrlTable + " u WHERE u.url IS NOT NULL"
              + (UrlRule.isEmpty() ? QByteArray() : " AND " + UrlRule) + ")";
    return Q;
}

// The rows stored in a table, for sizing what is read from it once: no
// regrowth, no doubled peak while a vector of large rows is copied.
size_t RowsToReserve(sqlite3* Db, const char* Table)
{
    TStmt Count;
    QString Ignored;
    const QByteArray Sql = QByteArray("SELECT count(*) FROM ") + Table;
    if (!Prepare(Db, Sql.constData(), Count, Ignored) || sqlite3_step(Count.get()) != SQLITE_ROW)
        return 0;
    return size_t(std::clamp<qint64>(sqlite3_column_int64(Count.get(), 0), 0, 1 << 26));
}

bool ReadUrls(sqlite3* Db, const TSchema& Schema, const char* Sql, std::vector<TRawUrl>& Out, QString& ErrMsg)
{
    Out.reserve(RowsToReserve(Db, Schema.UrlTable));
    TStmt Urls;
    if (!Prepare(Db, Sql, Urls, ErrMsg))
        return false;
    QSet<QString> Hosts;
    int Rc;
    while ((Rc = sqlite3_step(Urls.get())) == SQLITE_ROW) {
        if (sqlite3_column_type(Urls.get(), 1) == SQLITE_NULL)
            continue;
        TRawUrl& U = Out.emplace_back();
        U.Id = sqlite3_column_int64(Urls.get(), 0);
        U.Url = ColumnText(Urls.get(), 1, kMaxUrlBytes);
        // Few hosts recur in many rows: each is kept once and shared.
        const QString Host = HostOf(U.Url);
        auto Known = Hosts.constFind(Host);
        if (Known == Hosts.constEnd())
            Known = Hosts.insert(Host);
        U.Host = *Known;
        U.Keyword = SearchKeyword(U.Url, U.Host);
        AppendJsonString(U.TitleJson, ColumnText(Urls.get(), 2, kMaxTitleBytes));
        if (sqlite3_column_count(Urls.get()) > 3)
            U.Shown = sqlite3_column_int(Urls.get(), 3) != 0;
    }
    return !StepFailed(Db, Rc, ErrMsg);
}

// Reads the URL rows on a second connection and thread, beside the visits.
class TUrlReader final
{
public:
    TUrlReader(const QByteArray& OpenName, int Flags, const TSchema& Schema, const char* Sql, std::vector<TRawUrl>& Out)
    {
        sqlite3* Raw = nullptr;
        const int Rc = sqlite3_open_v2(OpenName.constData(), &Raw, Flags | SQLITE_OPEN_NOMUTEX, nullptr);
        FDb.reset(Raw);
        if (Rc != SQLITE_OK)
            return;
        try {
            FThread = std::jthread([this, &Schema, Sql, &Out] {
                try {
                    FOk = ReadUrls(FDb.get(), Schema, Sql, Out, FErrMsg);
                } catch (...) {
                    FErrMsg = QStringLiteral("读取时内存不足");
                }
            });
        } catch (const std::system_error&) {
        }
    }
    bool Started() const { return FThread.joinable(); }
    bool Finish(QString& ErrMsg)
    {
        FThread.join();
        if (!FOk)
            ErrMsg = FErrMsg;
        return FOk;
    }

private:
    TDb FDb;
    bool FOk = false;
    QString FErrMsg;
    std::jthread FThread; // last: joined before the connection closes
};

// The range of stamps a read keeps, in the database's own epoch.
std::pair<qint64, qint64> DbRange(const TSourceInfo& Source, qint64 FromUs, qint64 ToUs)
{
    if (Source.Kind == skChromium)
        return {UnixToChromeUs(FromUs), UnixToChromeUs(ToUs)};
    return {FromUs, ToUs};
}

bool ReadOnce(const TSourceInfo& Source, const TReadRule& Rule, const TDbSnapshot& Snap, TSourceData& Data,
              QString& ErrMsg)
{
    const TTimeWindow& Window = Rule.Window;
    Data = TSourceData();
    TDb Db;
    const TSchema* Schema = nullptr;
    int Flags = 0;
    if (!OpenDb(Source, Snap, Db, Schema, Flags, ErrMsg))
        return false;

    const TTimeWindow Open;
    const bool WholeHistory = Window.FromUs <= Open.FromUs && Window.ToUs >= Open.ToUs;
    const TQueries Q = MakeQueries(Db.get(), *Schema, Rule.AllVisits, Rule.WithShown, WholeHistory);
    if (!Rule.AllVisits && !Q.Shown)
        Data.Msg = QString::fromUtf8(Schema->RuleNote);

    std::optional<TUrlReader> Helper;
    if (Rule.HelperThread)
        Helper.emplace(Snap.OpenName, Flags, *Schema, Q.Urls.constData(), Data.Urls);
    if ((!Helper || !Helper->Started()) && !ReadUrls(Db.get(), *Schema, Q.Urls.constData(), Data.Urls, ErrMsg))
        return false;

    Data.Visits.reserve(RowsToReserve(Db.get(), Schema->VisitTable));

    int Rc;
    TStmt Visits;
    if (!Prepare(Db.get(), Q.Visits.constData(), Visits, ErrMsg))
        return false;
    // Stored times are compared in the database's own epoch so its index can be used.
    const auto [From, To] = DbRange(Source, Window.FromUs, Window.ToUs);
    sqlite3_bind_int64(Visits.get(), 1, From);
    sqlite3_bind_int64(Visits.get(), 2, To);
    const bool Chromium = Source.Kind == skChromium;
    qint64 Damaged = 0;
    while ((Rc = sqlite3_step(Visits.get())) == SQLITE_ROW) {
        const qint64 T = sqlite3_column_int64(Visits.get(), 1);
        const qint64 Unix = T <= 0 ? 0 : Chromium ? ChromeToUnixUs(T) : FirefoxToUnixUs(T);
        if (Unix < kEarliestUnixUs || Unix >= kLatestUnixUs) {
            ++Damaged;
            continue;
        }
        Data.Visits.push_back({sqlite3_column_int64(Visits.get(), 0), Unix});
        if (Rule.WithShown)
            Data.VisitShown.push_back(sqlite3_column_int(Visits.get(), 2) != 0);
    }
    if (StepFailed(Db.get(), Rc, ErrMsg))
        return false;
    if (Damaged > 0) {
        const QString Skipped = QStringLiteral("已跳过 %1 条时间损坏的访问（早于 1990 年或晚于 2200 年）").arg(Damaged);
        Data.Msg = Data.Msg.isEmpty() ? Skipped : Data.Msg + QStringLiteral("；") + Skipped;
    }
    return !Helper || !Helper->Started() || Helper->Finish(ErrMsg);
}

bool CountOnce(const TSourceInfo& Source, bool AllVisits, const TDbSnapshot& Snap, qint64& Count, QString& ErrMsg)
{
    Count = 0;
    TDb Db;
    const TSchema* Schema = nullptr;
    int Flags = 0;
    if (!OpenDb(Source, Snap, Db, Schema, Flags, ErrMsg))
        return false;
    const TQueries Q = MakeQueries(Db.get(), *Schema, AllVisits, false, true);
    TStmt Stmt;
    if (!Prepare(Db.get(), Q.Count.constData(), Stmt, ErrMsg))
        return false;
    // What a report over the whole history keeps: no damaged stamps.
    const auto [From, To] = DbRange(Source, kEarliestUnixUs, kLatestUnixUs);
    sqlite3_bind_int64(Stmt.get(), 1, From);
    sqlite3_bind_int64(Stmt.get(), 2, To);
    const int Rc = sqlite3_step(Stmt.get());
    if (Rc != SQLITE_ROW) {
        StepFailed(Db.get(), Rc, ErrMsg);
        return false;
    }
    Count = sqlite3_column_int64(Stmt.get(), 0);
    return true;
}

} // namespace

bool ReadHistory(const TSourceInfo& Source, const TReadRule& Rule, TSourceData& Data, QString& ErrMsg)
{
    return ReadConsistent(
        Source.Path, [&](const TDbSnapshot& Snap, QString& Msg) { return ReadOnce(Source, Rule, Snap, Data, Msg); },
        ErrMsg);
}

bool CountVisits(const TSourceInfo& Source, bool AllVisits, qint64& Count, QString& ErrMsg)
{
    return ReadConsistent(
        Source.Path,
        [&](const TDbSnapshot& Snap, QString& Msg) { return CountOnce(Source, AllVisits, Snap, Count, Msg); }, ErrMsg);
}
