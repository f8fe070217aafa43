#include "archive_store.h"


#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    "CREATE TABLE urls(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, url TEXT NOT NULL);"
    "CREATE TABLE pages(id INTEGER PRIMARY KEY, source INTEGER NOT NULL, url INTEGER NOT NULL, title TEXT NOT NULL);"
    "CREATE INDEX pages_source ON pages(source);"
    "CREATE TABLE visits(source INTEGER NOT NULL, time INTEGER NOT NULL, page INTEGER NOT NULL,"
    " listed INTEGER NOT NULL, PRIMARY KEY(source, time, page)) WITHOUT ROWID;"
    "CREATE TABLE days(source INTEGER NOT NULL, day INTEGER NOT NULL, visits INTEGER NOT NULL,"
    " digest INTEGER NOT NULL, PRIMARY KEY(source, day)) WITHOUT ROWID;";

// Whether every statement the archive uses finds its tables and columns.
const char kShapeCheck[] =
    "SELECT s.id, s.browser, s.name, s.profile, s.path, s.kind, u.id, u.hash, u.url, p.id, p.source, p.url, p.title,"
    " v.source, v.page, v.time, v.listed, d.source, d.day, d.visits, d.digest"
    " FROM sources s, urls u, pages p, visits v, days d LIMIT 0";

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

quint64 UrlHash(const QString& Url)
{
    quint64 H = 14695981039346656037ULL;
    for (const QChar C : Url) {
        H ^= C.unicode();
        H *= 1099511628211ULL;
    }
    return H;
}

quint64 VisitDigest(quint64 UrlHash, qint64 UnixUs)
{
    // splitmix64's finaliser: close keys give unrelated digests, so a sum
    // of them does not cancel by accident.
    quint64 X = UrlHash ^ (quint64(UnixUs) * 0x9E3779B97F4A7C15ULL);
    X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ULL;
    X = (X ^ (X >> 27)) * 0x94D049BB133111EBULL;
    return X ^ (X >> 31);
}

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

bool TArchiveStore::LoadSources(std::vector<TArchiveSource>& Out, QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, "SELECT id, browser, name, profile, path, kind FROM sources", ErrMsg))
        return false;
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Out.push_back({sqlite3_column_int64(S.get(), 0), ColumnString(S.get(), 1), ColumnString(S.get(), 2),
                       ColumnString(S.get(), 3), ColumnString(S.get(), 4), sqlite3_column_int(S.get(), 5)});
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadDays(QHash<qint64, QMap<qint64, TArchiveDay>>& Out, QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, "SELECT source, day, visits, digest FROM days", ErrMsg))
        return false;
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Out[sqlite3_column_int64(S.get(), 0)].insert(
            sqlite3_column_int64(S.get(), 1),
            {sqlite3_column_int64(S.get(), 2), quint64(sqlite3_column_int64(S.get(), 3))});
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadVisits(qint64 Source, qint64 FromUs, qint64 ToUs, std::vector<TArchiveVisit>& Out,
                               qint64& Damaged, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FLoadVisits,
                           "SELECT v.time, v.page, u.hash, v.listed FROM visits v JOIN pages p ON p.id = v.page"
                           " JOIN urls u ON u.id = p.url WHERE v.source = ?1 AND v.time >= ?2 AND v.time < ?3"
                           " ORDER BY v.time",
                           ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, FromUs);
    sqlite3_bind_int64(S, 3, ToUs);
    int Rc;
    while ((Rc = sqlite3_step(S)) == SQLITE_ROW) {
        const TArchiveVisit V{sqlite3_column_int64(S, 0), sqlite3_column_int64(S, 1), quint64(sqlite3_column_int64(S, 2)),
                              sqlite3_column_int(S, 3) != 0};
        if (V.UnixUs < kEarliestUnixUs || V.UnixUs >= kLatestUnixUs)
            ++Damaged;
        else
            Out.push_back(V);
    }
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadUrlHashes(QMultiHash<quint64, qint64>& Out, QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, "SELECT hash, id FROM urls", ErrMsg))
        return false;
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Out.insert(quint64(sqlite3_column_int64(S.get(), 0)), sqlite3_column_int64(S.get(), 1));
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::UrlText(qint64 Url, QString& Text, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FUrlText, "SELECT url FROM urls WHERE id = ?1", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Url);
    const int Rc = sqlite3_step(S);
    Text = Rc == SQLITE_ROW ? ColumnString(S, 0) : QString();
    return Rc == SQLITE_ROW || Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadPageIds(qint64 Source, QHash<qint64, qint64>& Out, QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, "SELECT url, id FROM pages WHERE source = ?1", ErrMsg))
        return false;
    sqlite3_bind_int64(S.get(), 1, Source);
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Out.insert(sqlite3_column_int64(S.get(), 0), sqlite3_column_int64(S.get(), 1));
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadPages(qint64 Source, QHash<qint64, TArchivePage>& Out, QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, "SELECT p.id, u.url, p.title FROM pages p JOIN urls u ON u.id = p.url WHERE p.source = ?1", ErrMsg))
        return false;
    sqlite3_bind_int64(S.get(), 1, Source);
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW) {
        // Texts as long as a browser's own are cut there; longer ones are damage.
        if (sqlite3_column_bytes(S.get(), 1) <= kMaxUrlBytes && sqlite3_column_bytes(S.get(), 2) <= kMaxTitleBytes)
            Out.insert(sqlite3_column_int64(S.get(), 0), {ColumnString(S.get(), 1), ColumnString(S.get(), 2)});
    }
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::Done(int Rc, QString& ErrMsg) const
{
    if (Rc == SQLITE_DONE)
        return true;
    ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读取"));
    return false;
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

bool TArchiveStore::AddUrl(const QString& Url, quint64 Hash, qint64& Id, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddUrl, "INSERT INTO urls(url, hash) VALUES(?1, ?2)", ErrMsg);
    if (!S)
        return false;
    BindText(S, 1, Url);
    sqlite3_bind_int64(S, 2, qint64(Hash));
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
    sqlite3_stmt* S = Stmt(FSetTitle, "UPDATE pages SET title = ?2 WHERE id = ?1 AND title IS NOT ?2", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Page);
    BindText(S, 2, Title);
    return Step(S, ErrMsg);
}

bool TArchiveStore::AddVisit(qint64 Source, const TArchiveVisit& Visit, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FAddVisit, "INSERT OR IGNORE INTO visits(source, time, page, listed) VALUES(?1, ?2, ?3, ?4)", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, Visit.UnixUs);
    sqlite3_bind_int64(S, 3, Visit.Page);
    sqlite3_bind_int(S, 4, Visit.Listed ? 1 : 0);
    return Step(S, ErrMsg);
}

bool TArchiveStore::SetDay(qint64 Source, qint64 Day, const TArchiveDay& Sums, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FSetDay, "INSERT OR REPLACE INTO days(source, day, visits, digest) VALUES(?1, ?2, ?3, ?4)", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, Day);
    sqlite3_bind_int64(S, 3, Sums.Visits);
    sqlite3_bind_int64(S, 4, qint64(Sums.Digest));
    return Step(S, ErrMsg);
}

bool TArchiveStore::Clear(QString& ErrMsg)
{
    if (!Begin(ErrMsg))
        return false;
    if (!Exec("DELETE FROM days; DELETE FROM visits; DELETE FROM pages; DELETE FROM urls; DELETE FROM sources", ErrMsg)
        || !Commit(ErrMsg))
        return false;
    // Deleted rows linger in free pages and the WAL until rewritten; the
    // emptying is done either way, so a failure here is not one of the clear.
    sqlite3_exec(FDb.get(), "VACUUM; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return true;
}
