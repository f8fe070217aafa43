#include "history_reader.h"

#include "db_snapshot.h"
#include "history_schema.h"
#include "sqlite_util.h"
#include "url_reader.h"

#include <optional>
#include <span>

namespace {

// Stamps outside 1990-01-01 … 2200-01-01 UTC are damaged rows: a zero stamp
// is not a visit in 1601 or 1970, one centuries ahead would only stretch the
// daily series without end.
constexpr qint64 kEarliestUnixUs = 631152000LL * 1000000LL;
constexpr qint64 kLatestUnixUs = 7258118400LL * 1000000LL;

// Opens the database and checks that it is the kind of history database
// expected; Flags tells further connections how it was opened.
bool OpenDb(const TDbSnapshot& Snap, const TSchema& Schema, TDb& Db, int& Flags, QString& ErrMsg)
{
    // A copy is opened read-only, but not immutable: a WAL beside it must still
    // be applied. A journal left by a browser in mid-write has to be rolled back
    // first, which needs write access; the copy is ours, so that is harmless.
    static const int CopyModes[] = {SQLITE_OPEN_READONLY, SQLITE_OPEN_READWRITE};
    static const int InPlaceModes[] = {SQLITE_OPEN_READONLY | SQLITE_OPEN_URI};
    for (const int Mode : Snap.InPlace ? std::span<const int>(InPlaceModes) : std::span<const int>(CopyModes)) {
        if (OpenForReading(Snap.OpenName.constData(), Mode, Db) != SQLITE_OK) {
            ErrMsg = QStringLiteral("无法打开数据库：%1").arg(SqliteText(Db.get()));
            return false;
        }
        const int Check = CheckSchema(Db.get(), Schema, ErrMsg);
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
    const TSchema& Schema = SchemaOf(Source.Kind);
    TDb Db;
    int Flags = 0;
    if (!OpenDb(Snap, Schema, Db, Flags, ErrMsg))
        return false;

    const TTimeWindow Open;
    const bool WholeHistory = Window.FromUs <= Open.FromUs && Window.ToUs >= Open.ToUs;
    const TQueries Q = MakeQueries(Db.get(), Schema, Rule.AllVisits, Rule.WithShown, WholeHistory);
    if (!Rule.AllVisits && !Q.Shown)
        Data.Msg = QString::fromUtf8(Schema.RuleNote);

    std::optional<TUrlReader> Helper;
    if (Rule.HelperThread)
        Helper.emplace(Snap.OpenName, Flags, Schema, Q.Urls.constData(), Data.Urls);
    if ((!Helper || !Helper->Started()) && !ReadUrls(Db.get(), Schema, Q.Urls.constData(), Data.Urls, ErrMsg))
        return false;

    Data.Visits.reserve(RowsToReserve(Db.get(), Schema.VisitTable));

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
    const TSchema& Schema = SchemaOf(Source.Kind);
    TDb Db;
    int Flags = 0;
    if (!OpenDb(Snap, Schema, Db, Flags, ErrMsg))
        return false;
    const TQueries Q = MakeQueries(Db.get(), Schema, AllVisits, false, true);
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
