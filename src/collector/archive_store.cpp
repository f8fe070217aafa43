#include "archive_store.h"

#include "text_out.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace {

// "MKAR": tells our archives from any other SQLite file.
constexpr int kApplicationId = 0x4D4B4152;
constexpr int kSchemaVersion = 1;
// Another run holding the archive gets this long to finish.
constexpr int kBusyWaitMs = 30000;

// Same bounds as a browser database read: anything else is a damaged row.
constexpr qint64 kEarliestUnixUs = 631152000LL * 1000000LL;
constexpr qint64 kLatestUnixUs = 7258118400LL * 1000000LL;
constexpr int kMaxUrlBytes = 64 * 1024 + 8;
constexpr int kMaxTitleBytes = 4 * 1024 + 8;

const char kSchema[] =
    "CREATE TABLE sources(id INTEGER PRIMARY KEY, browser TEXT NOT NULL, name TEXT NOT NULL,"
    " profile TEXT NOT NULL, path TEXT NOT NULL, kind INTEGER NOT NULL);"
    // Each URL once; pages and visits refer to it by number.
    "CREATE TABLE urls(id INTEGER PRIMARY KEY, url TEXT NOT NULL);"
    "CREATE TABLE pages(id INTEGER PRIMARY KEY, source INTEGER NOT NULL, url INTEGER NOT NULL, title TEXT NOT NULL);"
    "CREATE TABLE visits(page INTEGER NOT NULL, time INTEGER NOT NULL, listed INTEGER NOT NULL,"
    " PRIMARY KEY(page, time)) WITHOUT ROWID;";

// Whether every statement the archive uses finds its tables and columns.
const char kShapeCheck[] =
    "SELECT s.id, s.browser, s.name, s.profile, s.path, s.kind, u.id, u.url, p.id, p.source, p.url, p.title,"
    " v.page, v.time, v.listed FROM sources s, urls u, pages p, visits v LIMIT 0";

QByteArray Utf8(const QString& Text)
{
    return Text.toUtf8();
}

void BindText(sqlite3_stmt* S, int Col, const QString& Text)
{
    const QByteArray U = Utf8(Text);
    sqlite3_bind_text(S, Col, U.constData(), int(U.size()), SQLITE_TRANSIENT);
}

QString ColumnString(sqlite3_stmt* S, int Col)
{
    const auto* Text = reinterpret_cast<const char*>(sqlite3_column_text(S, Col));
    return Text ? QString::fromUtf8(Text, sqlite3_column_bytes(S, Col)) : QString();
}

// Lets the tests end a run inside its transaction, at a moment they are told of.
void HoldForTests()
{
    const int Ms = qEnvironmentVariableIntValue(kArchiveHoldVar);
    if (Ms <= 0)
        return;
    std::fprintf(stderr, "%s\n", kArchiveHoldLine);
    std::fflush(stderr);
    QThread::msleep(ulong(Ms));
}

} // namespace

void TArchiveStore::TDbCloser::operator()(sqlite3* Db) const
{
    sqlite3_close_v2(Db);
}

void TArchiveStore::TStmtCloser::operator()(sqlite3_stmt* S) const
{
    sqlite3_finalize(S);
}

TArchiveStore::TArchiveStore() = default;

TArchiveStore::~TArchiveStore()
{
    if (FInTransaction)
        sqlite3_exec(FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

QString TArchiveStore::Failure(const QString& What) const
{
    return QStringLiteral("%1：%2").arg(What, FDb ? QString::fromUtf8(sqlite3_errmsg(FDb.get())) : QStringLiteral("out of memory"));
}

bool TArchiveStore::Exec(const char* Sql, QString& ErrMsg)
{
    if (sqlite3_exec(FDb.get(), Sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读写"));
    return false;
}

TArchiveStore::TOpen TArchiveStore::Open(const QString& Path, bool CreateMissing, QString& ErrMsg)
{
    const QFileInfo Info(Path);
    const QString Shown = QDir::toNativeSeparators(Path);
    if (!Info.exists()) {
        if (!CreateMissing)
            return aoAbsent;
        // The history of years is for its owner only: the folder and the
        // file are made that way, and SQLite's -wal and -shm follow the file.
        const QString Dir = Info.absolutePath();
        const QFile::Permissions Own = QFile::ReadOwner | QFile::WriteOwner;
        if (!QFileInfo(Dir).isDir()) {
            QDir().mkpath(QFileInfo(Dir).absolutePath());
            QDir().mkdir(Dir, Own | QFile::ExeOwner);
            if (!QFileInfo(Dir).isDir()) {
                ErrMsg = QStringLiteral("无法创建历史存档目录 %1").arg(QDir::toNativeSeparators(Dir));
                return aoFailed;
            }
        }
        QFile New(Path);
        if (!New.open(QIODevice::WriteOnly | QIODevice::NewOnly, Own)) {
            ErrMsg = QStringLiteral("无法创建历史存档 %1：%2").arg(Shown, New.errorString());
            return aoFailed;
        }
        New.close();
    } else if (!Info.isFile()) {
        ErrMsg = QStringLiteral("历史存档 %1 不是普通文件").arg(Shown);
        return aoFailed;
    }
    sqlite3* Raw = nullptr;
    const int Rc = sqlite3_open_v2(QFile::encodeName(Path).constData(), &Raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    FDb.reset(Raw);
    if (Rc != SQLITE_OK) {
        ErrMsg = Failure(QStringLiteral("无法打开历史存档"));
        return aoFailed;
    }
    sqlite3_busy_timeout(FDb.get(), kBusyWaitMs);
    return Check(ErrMsg) ? aoOpened : aoFailed;
}

// Reads before it writes: a file that is not an archive of ours, or of a
// newer kind, is left exactly as it is.
bool TArchiveStore::Check(QString& ErrMsg)
{
    TStmt Probe;
    QString Ignored;
    sqlite3_stmt* S = Stmt(Probe,
                           "SELECT (SELECT application_id FROM pragma_application_id),"
                           " (SELECT user_version FROM pragma_user_version),"
                           " (SELECT count(*) FROM sqlite_master)",
                           ErrMsg);
    if (!S || sqlite3_step(S) != SQLITE_ROW) {
        ErrMsg = Failure(QStringLiteral("历史存档已损坏或不是数据库"));
        return false;
    }
    const int AppId = sqlite3_column_int(S, 0);
    const int Version = sqlite3_column_int(S, 1);
    const qint64 Objects = sqlite3_column_int64(S, 2);
    Probe.reset();
    if (AppId == 0 && Version == 0 && Objects == 0)
        return Create(ErrMsg);
    if (AppId != kApplicationId) {
        ErrMsg = QStringLiteral("该文件不是 Marrowkin 的历史存档，未作改动");
        return false;
    }
    if (Version > kSchemaVersion) {
        ErrMsg = QStringLiteral("历史存档由较新版本的 Marrowkin 创建（格式 %1），本版本无法使用").arg(Version);
        return false;
    }
    TStmt Shape;
    if (Version < 1 || !Stmt(Shape, kShapeCheck, Ignored)) {
        ErrMsg = QStringLiteral("历史存档的结构已损坏");
        return false;
    }
    return Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", ErrMsg);
}

bool TArchiveStore::Create(QString& ErrMsg)
{
    // WAL first: it cannot be switched on inside a transaction.
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE", ErrMsg))
        return false;
    FInTransaction = true;
    const QByteArray Mark = QByteArray("PRAGMA application_id=") + QByteArray::number(kApplicationId)
                            + "; PRAGMA user_version=" + QByteArray::number(kSchemaVersion);
    if (!Exec(kSchema, ErrMsg) || !Exec(Mark.constData(), ErrMsg) || !Exec("COMMIT", ErrMsg))
        return false;
    FInTransaction = false;
    return true;
}

sqlite3_stmt* TArchiveStore::Stmt(TStmt& Slot, const char* Sql, QString& ErrMsg)
{
    if (Slot) {
        sqlite3_reset(Slot.get());
        return Slot.get();
    }
    sqlite3_stmt* S = nullptr;
    if (sqlite3_prepare_v2(FDb.get(), Sql, -1, &S, nullptr) != SQLITE_OK) {
        ErrMsg = Failure(QStringLiteral("历史存档的结构已损坏"));
        sqlite3_finalize(S);
        return nullptr;
    }
    Slot.reset(S);
    return S;
}

bool TArchiveStore::Step(sqlite3_stmt* S, QString& ErrMsg)
{
    if (!S)
        return false;
    if (sqlite3_step(S) == SQLITE_DONE)
        return true;
    ErrMsg = Failure(QStringLiteral("写入历史存档失败"));
    return false;
}

bool TArchiveStore::Begin(QString& ErrMsg)
{
    if (sqlite3_exec(FDb.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const bool Busy = (sqlite3_errcode(FDb.get()) & 0xFF) == SQLITE_BUSY;
        ErrMsg = Busy ? QStringLiteral("历史存档正被另一次采集使用，本次未能存入")
                      : Failure(QStringLiteral("无法写入历史存档"));
        return false;
    }
    FInTransaction = true;
    return true;
}

bool TArchiveStore::Commit(QString& ErrMsg)
{
    HoldForTests();
    if (sqlite3_exec(FDb.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        ErrMsg = Failure(QStringLiteral("写入历史存档失败"));
        return false; // still in the transaction: rolled back on the way out
    }
    FInTransaction = false;
    return true;
}

bool TArchiveStore::Load(TArchiveContent& Out, QString& ErrMsg)
{
    Out = TArchiveContent();
    auto Fail = [&] {
        ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读取"));
        return false;
    };
    TStmt S;
    if (!Stmt(S, "SELECT id, browser, name, profile, path, kind FROM sources", ErrMsg))
        return false;
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Out.Sources.push_back({sqlite3_column_int64(S.get(), 0), ColumnString(S.get(), 1), ColumnString(S.get(), 2),
                               ColumnString(S.get(), 3), ColumnString(S.get(), 4), sqlite3_column_int(S.get(), 5)});
    if (Rc != SQLITE_DONE)
        return Fail();
    QSet<qint64> SourceIds;
    for (const TArchiveSource& Src : Out.Sources)
        SourceIds.insert(Src.Id);

    S.reset();
    if (!Stmt(S, "SELECT id, url FROM urls", ErrMsg))
        return false;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW) {
        if (sqlite3_column_bytes(S.get(), 1) > kMaxUrlBytes || sqlite3_column_type(S.get(), 1) != SQLITE_TEXT) {
            ++Out.Damaged;
            continue;
        }
        Out.Urls.insert(sqlite3_column_int64(S.get(), 0), ColumnString(S.get(), 1));
    }
    if (Rc != SQLITE_DONE)
        return Fail();

    S.reset();
    if (!Stmt(S, "SELECT id, source, url, title FROM pages", ErrMsg))
        return false;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW) {
        TArchivePage P{sqlite3_column_int64(S.get(), 0), sqlite3_column_int64(S.get(), 1),
                       sqlite3_column_int64(S.get(), 2), {}};
        if (!SourceIds.contains(P.Source) || !Out.Urls.contains(P.Url) || Out.PageIndex.contains(P.Id)
            || sqlite3_column_bytes(S.get(), 3) > kMaxTitleBytes) {
            ++Out.Damaged;
            continue;
        }
        AppendJsonString(P.TitleJson, ColumnString(S.get(), 3));
        Out.PageIndex.insert(P.Id, qsizetype(Out.Pages.size()));
        Out.Pages.push_back(std::move(P));
    }
    if (Rc != SQLITE_DONE)
        return Fail();

    S.reset();
    if (!Stmt(S, "SELECT page, time, listed FROM visits ORDER BY page, time", ErrMsg))
        return false;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW) {
        const TArchiveVisit V{sqlite3_column_int64(S.get(), 0), sqlite3_column_int64(S.get(), 1),
                              sqlite3_column_int(S.get(), 2) != 0};
        if (V.UnixUs < kEarliestUnixUs || V.UnixUs >= kLatestUnixUs || !Out.PageIndex.contains(V.Page)) {
            ++Out.Damaged;
            continue;
        }
        Out.Visits.push_back(V);
    }
    return Rc == SQLITE_DONE || Fail();
}

bool TArchiveStore::AddSource(TArchiveSource& Source, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddSource, "INSERT INTO sources(browser, name, profile, path, kind) VALUES(?1, ?2, ?3, ?4, ?5)", ErrMsg);
    if (!S)
        return false;
    BindText(S, 1, Source.Browser);
    BindText(S, 2, Source.Name);
    BindText(S, 3, Source.Profile);
    BindText(S, 4, Source.Path);
    sqlite3_bind_int(S, 5, Source.Kind);
    if (!Step(S, ErrMsg))
        return false;
    Source.Id = sqlite3_last_insert_rowid(FDb.get());
    return true;
}

bool TArchiveStore::UpdateSource(const TArchiveSource& Source, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FUpdateSource, "UPDATE sources SET name = ?2, profile = ?3, kind = ?4 WHERE id = ?1", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source.Id);
    BindText(S, 2, Source.Name);
    BindText(S, 3, Source.Profile);
    sqlite3_bind_int(S, 4, Source.Kind);
    return Step(S, ErrMsg);
}

bool TArchiveStore::AddUrl(const QString& Url, qint64& Id, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddUrl, "INSERT INTO urls(url) VALUES(?1)", ErrMsg);
    if (!S)
        return false;
    BindText(S, 1, Url);
    if (!Step(S, ErrMsg))
        return false;
    Id = sqlite3_last_insert_rowid(FDb.get());
    return true;
}

bool TArchiveStore::AddPage(qint64 Source, qint64 Url, const QString& Title, qint64& Id, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddPage, "INSERT INTO pages(source, url, title) VALUES(?1, ?2, ?3)", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, Url);
    BindText(S, 3, Title);
    if (!Step(S, ErrMsg))
        return false;
    Id = sqlite3_last_insert_rowid(FDb.get());
    return true;
}

bool TArchiveStore::SetTitle(qint64 Page, const QString& Title, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FSetTitle, "UPDATE pages SET title = ?2 WHERE id = ?1", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Page);
    BindText(S, 2, Title);
    return Step(S, ErrMsg);
}

bool TArchiveStore::AddVisit(const TArchiveVisit& Visit, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddVisit, "INSERT OR IGNORE INTO visits(page, time, listed) VALUES(?1, ?2, ?3)", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Visit.Page);
    sqlite3_bind_int64(S, 2, Visit.UnixUs);
    sqlite3_bind_int(S, 3, Visit.Listed ? 1 : 0);
    return Step(S, ErrMsg);
}

bool TArchiveStore::Clear(QString& ErrMsg)
{
    if (!Begin(ErrMsg))
        return false;
    if (!Exec("DELETE FROM visits; DELETE FROM pages; DELETE FROM urls; DELETE FROM sources", ErrMsg)
        || !Commit(ErrMsg))
        return false;
    // Deleted rows linger in free pages and the WAL until rewritten; the
    // emptying is done either way, so a failure here is not one of the clear.
    sqlite3_exec(FDb.get(), "VACUUM; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return true;
}
