#include "history_reader.h"

#include "private_dir.h"
#include "regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <memory>

namespace {

// Stamps outside 1990-01-01 … 2200-01-01 UTC are damaged rows: a zero stamp
// is not a visit in 1601 or 1970, one centuries ahead would only stretch the
// daily series without end.
constexpr qint64 kEarliestUnixUs = 631152000LL * 1000000LL;
constexpr qint64 kLatestUnixUs = 7258118400LL * 1000000LL;

// Databases and side files larger than this are not copied.
constexpr qint64 kMaxDatabaseBytes = qint64(16) << 30;

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

// A private copy of a database and its side files; removed with the object,
// and on a stop signal too.
class TDbCopy final
{
public:
    bool Make(const QString& Source, QString& ErrMsg)
    {
        if (!QFileInfo::exists(Source)) {
            ErrMsg = QStringLiteral("找不到历史数据库文件");
            return false;
        }
        if (!FDir.IsValid()) {
            ErrMsg = QStringLiteral("无法创建临时目录：%1").arg(FDir.ErrorString());
            return false;
        }
        FPath = FDir.FilePath(QStringLiteral("history.db"));
        if (!CopyOne(Source, FPath, ErrMsg))
            return false;
        // The WAL holds the newest visits of a running browser; the shared-memory
        // index is left behind on purpose, SQLite rebuilds it from the WAL.
        for (const char* Suffix : {"-wal", "-journal"}) {
            const QString Side = Source + QLatin1String(Suffix);
            if (QFileInfo::exists(Side) && !CopyOne(Side, FPath + QLatin1String(Suffix), ErrMsg))
                return false;
        }
        HoldForTests();
        return true;
    }
    const QString& Path() const { return FPath; }

private:
    static bool CopyOne(const QString& From, const QString& To, QString& ErrMsg)
    {
        QString Why;
        if (CopyCapped(From, To, kMaxDatabaseBytes, Why))
            return true;
        ErrMsg = QStringLiteral("无法读取数据库文件 %1：%2").arg(QFileInfo(From).fileName(), Why);
        return false;
    }

    // Lets the tests stop a run while its copies exist.
    static void HoldForTests()
    {
        const int Ms = qEnvironmentVariableIntValue("MK_COLLECTOR_HOLD_MS");
        if (Ms > 0)
            QThread::msleep(ulong(Ms));
    }

    TPrivateDir FDir;
    QString FPath;
};

struct TSchema
{
    const char* UrlSql;
    const char* VisitSql;
    const char* CountSql;
    const char* Tables[2];
};

const TSchema kChromiumSchema = {
    "SELECT id, url, title FROM urls",
    "SELECT url, visit_time FROM visits WHERE visit_time >= ?1 AND visit_time < ?2",
    "SELECT count(*) FROM visits",
    {"urls", "visits"}};

const TSchema kFirefoxSchema = {
    "SELECT id, url, title FROM moz_places",
    "SELECT place_id, visit_date FROM moz_historyvisits WHERE visit_date >= ?1 AND visit_date < ?2",
    "SELECT count(*) FROM moz_historyvisits",
    {"moz_places", "moz_historyvisits"}};

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
    sqlite3_bind_text(Check.get(), 1, Schema.Tables[0], -1, SQLITE_STATIC);
    sqlite3_bind_text(Check.get(), 2, Schema.Tables[1], -1, SQLITE_STATIC);
    if (sqlite3_step(Check.get()) != SQLITE_ROW) {
        const int Rc = sqlite3_errcode(Db);
        ErrMsg = QStringLiteral("数据库已损坏或无法读取：%1").arg(SqliteText(Db));
        return Rc == SQLITE_OK ? SQLITE_ERROR : Rc;
    }
    if (sqlite3_column_int(Check.get(), 0) != 2) {
        ErrMsg = QStringLiteral("不是有效的历史数据库（缺少 %1 / %2 表）")
                     .arg(QLatin1String(Schema.Tables[0]), QLatin1String(Schema.Tables[1]));
        return SQLITE_NOTFOUND;
    }
    return SQLITE_OK;
}

// Opens the copy and checks that it is the kind of history database expected.
bool OpenCopy(const TSourceInfo& Source, TDbCopy& Copy, TDb& Db, const TSchema*& Schema,
              QString& ErrMsg)
{
    if (!Copy.Make(Source.Path, ErrMsg))
        return false;
    Schema = Source.Kind == skFirefox ? &kFirefoxSchema : &kChromiumSchema;
    // Read-only, but not immutable: a WAL beside the copy must still be applied.
    // A journal left by a browser in mid-write has to be rolled back first,
    // which needs write access; the copy is ours, so that is harmless.
    for (const int Flags : {SQLITE_OPEN_READONLY, SQLITE_OPEN_READWRITE}) {
        sqlite3* Raw = nullptr;
        const int Rc = sqlite3_open_v2(QFile::encodeName(Copy.Path()).constData(), &Raw,
                                       Flags | SQLITE_OPEN_NOMUTEX, nullptr);
        Db.reset(Raw);
        if (Rc != SQLITE_OK) {
            ErrMsg = QStringLiteral("无法打开数据库：%1").arg(SqliteText(Raw));
            return false;
        }
        const int Check = CheckSchema(Db.get(), *Schema, ErrMsg);
        if (Check == SQLITE_OK)
            return true;
        const int Primary = Check & 0xFF;
        if (Primary != SQLITE_READONLY && Primary != SQLITE_BUSY && Primary != SQLITE_CANTOPEN)
            return false;
    }
    return false;
}

} // namespace

bool ReadHistory(const TSourceInfo& Source, const TTimeWindow& Window, TSourceData& Data,
                 QString& ErrMsg)
{
    Data = TSourceData();
    TDbCopy Copy;
    TDb Db;
    const TSchema* Schema = nullptr;
    if (!OpenCopy(Source, Copy, Db, Schema, ErrMsg))
        return false;

    TStmt Urls;
    if (!Prepare(Db.get(), Schema->UrlSql, Urls, ErrMsg))
        return false;
    int Rc;
    while ((Rc = sqlite3_step(Urls.get())) == SQLITE_ROW) {
        if (sqlite3_column_type(Urls.get(), 1) == SQLITE_NULL)
            continue;
        Data.Urls.push_back({sqlite3_column_int64(Urls.get(), 0), ColumnText(Urls.get(), 1, kMaxUrlBytes),
                             ColumnText(Urls.get(), 2, kMaxTitleBytes)});
    }
    if (StepFailed(Db.get(), Rc, ErrMsg))
        return false;

    TStmt Visits;
    if (!Prepare(Db.get(), Schema->VisitSql, Visits, ErrMsg))
        return false;
    const bool Chromium = Source.Kind == skChromium;
    // Stored times are compared in the database's own epoch so its index can be used.
    const qint64 From = Chromium ? UnixToChromeUs(Window.FromUs) : Window.FromUs;
    const qint64 To = Chromium ? UnixToChromeUs(Window.ToUs) : Window.ToUs;
    sqlite3_bind_int64(Visits.get(), 1, From);
    sqlite3_bind_int64(Visits.get(), 2, To);
    qint64 Damaged = 0;
    while ((Rc = sqlite3_step(Visits.get())) == SQLITE_ROW) {
        const qint64 T = sqlite3_column_int64(Visits.get(), 1);
        const qint64 Unix = T <= 0 ? 0 : Chromium ? ChromeToUnixUs(T) : FirefoxToUnixUs(T);
        if (Unix < kEarliestUnixUs || Unix >= kLatestUnixUs) {
            ++Damaged;
            continue;
        }
        Data.Visits.push_back({sqlite3_column_int64(Visits.get(), 0), Unix});
    }
    if (StepFailed(Db.get(), Rc, ErrMsg))
        return false;
    if (Damaged > 0)
        Data.Msg = QStringLiteral("已跳过 %1 条时间损坏的访问（早于 1990 年或晚于 2200 年）").arg(Damaged);
    return true;
}

bool CountVisits(const TSourceInfo& Source, qint64& Count, QString& ErrMsg)
{
    Count = 0;
    TDbCopy Copy;
    TDb Db;
    const TSchema* Schema = nullptr;
    if (!OpenCopy(Source, Copy, Db, Schema, ErrMsg))
        return false;
    TStmt Stmt;
    if (!Prepare(Db.get(), Schema->CountSql, Stmt, ErrMsg))
        return false;
    const int Rc = sqlite3_step(Stmt.get());
    if (Rc != SQLITE_ROW) {
        StepFailed(Db.get(), Rc, ErrMsg);
        return false;
    }
    Count = sqlite3_column_int64(Stmt.get(), 0);
    return true;
}
