#include "history_schema.h"

#include "sqlite_util.h"

namespace {

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

} // namespace

const TSchema& SchemaOf(TSourceKind Kind)
{
    return Kind == skFirefox ? kFirefoxSchema : kChromiumSchema;
}

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
