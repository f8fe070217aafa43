#include "archive_store.h"

#include "utf8.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <cstdio>

namespace {

// "MKAR": tells our archives from any other SQLite file.
constexpr int kApplicationId = 0x4D4B4152;
// 2: pages stored in blocks, each with its URL; 1 kept a row per page and
// the URLs in a table of their own.
constexpr int kSchemaVersion = 2;
// Another run holding the archive gets this long to finish.
constexpr int kBusyWaitMs = 30000;

// As long as a browser database read lets them be: anything longer is damage.
constexpr qint64 kDayUs = 86400LL * 1000000;
constexpr int kMaxUrlBytes = 64 * 1024 + 8;
constexpr int kMaxTitleBytes = 4 * 1024 + 8;
// Page ids stay well inside what a day record's varint of id << 1 can hold.
constexpr qint64 kMaxPageId = qint64(1) << 53;
// Some KiB a block: rows of that size fill the file's pages closely, and a
// changed title rewrites no more than that.
constexpr int kBlockPages = 64;

// A page is a URL of one source, its text stored once there as in the
// browser's own database. A row holds a block of a source's pages (see
// Append), keyed by its first page's id; last is its last page's.
const char kPagesTable[] =
    "CREATE TABLE pages(first INTEGER PRIMARY KEY, source INTEGER NOT NULL, last INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE INDEX pages_source ON pages(source, first);";

const char kSchema[] =
    "CREATE TABLE sources(id INTEGER PRIMARY KEY, browser TEXT NOT NULL, name TEXT NOT NULL,"
    " profile TEXT NOT NULL, path TEXT NOT NULL, kind INTEGER NOT NULL);"
    // A day's visits in one row (see EncodeDay): a row per visit would cost
    // an insert each, and take three times the room.
    "CREATE TABLE days(source INTEGER NOT NULL, day INTEGER NOT NULL, visits INTEGER NOT NULL,"
    " digest INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(source, day));";

// Whether every statement the archive uses finds its tables and columns.
const char kShapeCheck[] =
    "SELECT s.id, s.browser, s.name, s.profile, s.path, s.kind, p.first, p.source, p.last, p.data,"
    " d.source, d.day, d.visits, d.digest, d.data FROM sources s, pages p, days d LIMIT 0";

// The first format: a row per page, referring to URLs kept in a table of
// their own. Page ids stay as they are, for the days' visits refer to them.
const char kShapeCheck1[] =
    "SELECT u.id, u.hash, u.url, p.id, p.source, p.url, p.title FROM urls u, pages p LIMIT 0";
const char kPages1[] = "SELECT p.source, p.id, u.hash, u.url, p.title FROM pages1 p JOIN urls u ON u.id = p.url"
                       " ORDER BY p.source, p.id";

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

void PutVarint(QByteArray& Out, quint64 V)
{
    char Bytes[10]; // one append a number: a million visits make two million of them
    qsizetype N = 0;
    while (V >= 0x80) {
        Bytes[N++] = char(V | 0x80);
        V >>= 7;
    }
    Bytes[N++] = char(V);
    Out.append(Bytes, N);
}

bool GetVarint(const unsigned char*& P, const unsigned char* End, quint64& V)
{
    V = 0;
    for (int Shift = 0; P < End && Shift < 64; Shift += 7) {
        const unsigned char B = *P++;
        V |= quint64(B & 0x7F) << Shift;
        if (!(B & 0x80))
            return true;
    }
    return false;
}

// A day's visits in (time, page) order: for each the microseconds since the
// one before (the first: since the day began), then page << 1 | listed.
QByteArray EncodeDay(qint64 Day, std::vector<TArchiveVisit>& Visits)
{
    std::sort(Visits.begin(), Visits.end(), [](const TArchiveVisit& A, const TArchiveVisit& B) {
        return A.UnixUs != B.UnixUs ? A.UnixUs < B.UnixUs : A.Page < B.Page;
    });
    QByteArray Out;
    Out.reserve(qsizetype(Visits.size()) * 6);
    qint64 Last = Day * kDayUs;
    for (const TArchiveVisit& V : Visits) {
        PutVarint(Out, quint64(V.UnixUs - Last));
        PutVarint(Out, quint64(V.Page) << 1 | (V.Listed ? 1 : 0));
        Last = V.UnixUs;
    }
    return Out;
}

bool DecodeDay(qint64 Day, const void* Data, int Size, qint64 Count, std::vector<TArchiveVisit>& Out)
{
    const auto* P = static_cast<const unsigned char*>(Data);
    const unsigned char* End = P + Size;
    qint64 Time = Day * kDayUs;
    for (qint64 N = 0; N < Count; ++N) {
        quint64 Delta, Page;
        if (!GetVarint(P, End, Delta) || !GetVarint(P, End, Page) || Delta >= quint64(kDayUs) || Page < 2)
            return false;
        Time += qint64(Delta);
        if (Time >= (Day + 1) * kDayUs)
            return false;
        Out.push_back({Time, qint64(Page >> 1), 0, (Page & 1) != 0});
    }
    return P == End;
}

void PutText(QByteArray& Out, std::string_view Text)
{
    PutVarint(Out, Text.size());
    Out.append(Text.data(), qsizetype(Text.size()));
}

bool GetText(const unsigned char*& P, const unsigned char* End, quint64 Max, std::string_view& Text)
{
    quint64 Size;
    if (!GetVarint(P, End, Size) || Size > Max || Size > quint64(End - P)
        || !IsValidUtf8(reinterpret_cast<const char*>(P), qsizetype(Size)))
        return false;
    Text = std::string_view(reinterpret_cast<const char*>(P), size_t(Size));
    P += Size;
    return true;
}

// A block's pages in id order: for each the id less the one before (the
// first: less the block's first id, plus one), its URL hash in 8 bytes,
// least significant first, then URL and title, each as its length and its
// UTF-8 bytes.
void Append(TArchivePageBlock& Block, qint64 Id, quint64 Hash, std::string_view Url, std::string_view Title)
{
    if (Block.Count == 0)
        Block.First = Id;
    PutVarint(Block.Data, quint64(Id - (Block.Count == 0 ? Id - 1 : Block.Last)));
    char Bytes[8];
    for (int Byte = 0; Byte < 8; ++Byte)
        Bytes[Byte] = char(Hash >> (8 * Byte));
    Block.Data.append(Bytes, 8);
    PutText(Block.Data, Url);
    PutText(Block.Data, Title);
    Block.Last = Id;
    ++Block.Count;
    Block.Dirty = true;
}

// A page as its block holds it; the texts point into the block.
struct TPageAt
{
    qint64 Id = 0;
    quint64 Hash = 0;
    std::string_view Url, Title;
    qsizetype TitleAt = 0, End = 0; // where in the block its title and the page end
};

// Reads a block page by page; a block from the file is untrusted, so every
// page is checked: ascending ids no higher than the block's last, texts
// whole, of a browser's length at most, and UTF-8.
class TBlockReader
{
public:
    explicit TBlockReader(const TArchivePageBlock& Block)
        : FBegin(reinterpret_cast<const unsigned char*>(Block.Data.constData()))
        , FP(FBegin)
        , FEnd(FBegin + Block.Data.size())
        , FId(Block.First - 1)
        , FLast(Block.Last)
    {
    }
    bool AtEnd() const { return FP == FEnd; }
    bool Next(TPageAt& Page)
    {
        quint64 Delta;
        if (!GetVarint(FP, FEnd, Delta) || Delta == 0 || Delta > quint64(FLast - FId) || FEnd - FP < 8)
            return false;
        Page.Id = FId += qint64(Delta);
        Page.Hash = 0;
        for (int Byte = 0; Byte < 8; ++Byte)
            Page.Hash |= quint64(*FP++) << (8 * Byte);
        if (!GetText(FP, FEnd, kMaxUrlBytes, Page.Url))
            return false;
        Page.TitleAt = FP - FBegin;
        if (!GetText(FP, FEnd, kMaxTitleBytes, Page.Title))
            return false;
        Page.End = FP - FBegin;
        return true;
    }

private:
    const unsigned char *FBegin, *FP, *FEnd;
    qint64 FId, FLast;
};

// Hands each page of the book to Take; false when a block does not read.
template <typename TTake>
bool EachPage(const std::vector<TArchivePageBlock>& Book, TTake&& Take)
{
    for (const TArchivePageBlock& Block : Book) {
        TBlockReader Reader(Block);
        TPageAt Page;
        while (!Reader.AtEnd())
            if (!Reader.Next(Page))
                return false;
            else
                Take(Page);
    }
    return true;
}

// The page with this id in a held block.
bool PageIn(const TArchivePageBlock& Block, qint64 Id, TPageAt& Page)
{
    TBlockReader Reader(Block);
    while (!Reader.AtEnd() && Reader.Next(Page) && Page.Id <= Id)
        if (Page.Id == Id)
            return true;
    return false;
}

const QString kBadPages = QStringLiteral("历史存档已损坏：页面记录无法读取");

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

TArchiveStore::TArchiveStore() = default;

TArchiveStore::~TArchiveStore()
{
    if (FInTransaction)
        sqlite3_exec(FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

QString TArchiveStore::Failure(const QString& What) const
{
    return QStringLiteral("%1：%2").arg(What, SqliteText(FDb.get()));
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
    // SQLite takes UTF-8 names on every system; the ANSI code page of
    // Windows could not spell a user folder in Chinese.
    const QByteArray Name = QDir::toNativeSeparators(Path).toUtf8();
    sqlite3* Raw = nullptr;
    const int Rc = sqlite3_open_v2(Name.constData(), &Raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
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
    if (Version < 1 || !Stmt(Shape, Version == 1 ? kShapeCheck1 : kShapeCheck, Ignored)) {
        ErrMsg = QStringLiteral("历史存档的结构已损坏");
        return false;
    }
    Shape.reset();
    return Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", ErrMsg)
           && (Version == kSchemaVersion || Migrate(ErrMsg));
}

bool TArchiveStore::Create(QString& ErrMsg)
{
    // Large pages: a run that adds a million visits writes some tens of
    // megabytes, twice (the log, then the file), a page per write; 4 KiB
    // pages made that most of the commit. Fixed once the first table exists.
    // WAL next: it cannot be switched on inside a transaction.
    if (!Exec("PRAGMA page_size=65536; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE", ErrMsg))
        return false;
    FInTransaction = true;
    const QByteArray Mark = QByteArray("PRAGMA application_id=") + QByteArray::number(kApplicationId)
                            + "; PRAGMA user_version=" + QByteArray::number(kSchemaVersion);
    if (!Exec(kSchema, ErrMsg) || !Exec(kPagesTable, ErrMsg) || !Exec(Mark.constData(), ErrMsg)
        || !Exec("COMMIT", ErrMsg))
        return false;
    FInTransaction = false;
    return true;
}

// An archive of an older format is brought to this one in one transaction:
// a run that ends halfway leaves it as it was, in the old format.
bool TArchiveStore::Migrate(QString& ErrMsg)
{
    if (!Begin(ErrMsg))
        return false;
    // Another run may have migrated it while this one waited for the lock.
    TStmt Probe;
    sqlite3_stmt* S = Stmt(Probe, "SELECT user_version FROM pragma_user_version", ErrMsg);
    if (!S || sqlite3_step(S) != SQLITE_ROW) {
        ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读取"));
        return false;
    }
    const int Version = sqlite3_column_int(S, 0);
    Probe.reset();
    const QByteArray Mark = "PRAGMA user_version=" + QByteArray::number(kSchemaVersion);
    if (Version == 1
        && (!Exec("ALTER TABLE pages RENAME TO pages1", ErrMsg) || !Exec(kPagesTable, ErrMsg) || !MigratePages1(ErrMsg)
            || !Exec("DROP TABLE pages1; DROP TABLE urls", ErrMsg) || !Exec(Mark.constData(), ErrMsg)))
        return false;
    if (!Exec("COMMIT", ErrMsg))
        return false;
    FInTransaction = false;
    return true;
}

// The first format's pages, into blocks as runs of this one fill them.
bool TArchiveStore::MigratePages1(QString& ErrMsg)
{
    TStmt Rows;
    sqlite3_stmt* S = Stmt(Rows, kPages1, ErrMsg);
    if (!S)
        return false;
    int Rc;
    while ((Rc = sqlite3_step(S)) == SQLITE_ROW) {
        const qint64 Id = sqlite3_column_int64(S, 1);
        // Texts longer than a browser keeps are damage: such a page's visits
        // were left out of reports before and still are.
        if (Id < 1 || Id >= kMaxPageId || sqlite3_column_bytes(S, 3) > kMaxUrlBytes
            || sqlite3_column_bytes(S, 4) > kMaxTitleBytes)
            continue;
        TBook& Book = FBooks[sqlite3_column_int64(S, 0)];
        if (Book.empty() || Book.back().Count == kBlockPages)
            Book.emplace_back();
        Append(Book.back(), Id, quint64(sqlite3_column_int64(S, 2)), BytesOf(ColumnUtf8(S, 3, kMaxUrlBytes)),
               BytesOf(ColumnUtf8(S, 4, kMaxTitleBytes)));
    }
    if (!Done(Rc, ErrMsg) || !WritePages(ErrMsg))
        return false;
    FBooks.clear(); // read back, and checked, when needed
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
    if (!WritePages(ErrMsg))
        return false;
    HoldForTests();
    if (sqlite3_exec(FDb.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        ErrMsg = Failure(QStringLiteral("写入历史存档失败"));
        return false; // still in the transaction: rolled back on the way out
    }
    FInTransaction = false;
    return true;
}

bool TArchiveStore::EachRow(const char* Sql, qint64 Source, const std::function<void(sqlite3_stmt*)>& Take,
                            QString& ErrMsg)
{
    TStmt S;
    if (!Stmt(S, Sql, ErrMsg))
        return false;
    sqlite3_bind_int64(S.get(), 1, Source); // where the query has ?1
    int Rc;
    while ((Rc = sqlite3_step(S.get())) == SQLITE_ROW)
        Take(S.get());
    return Done(Rc, ErrMsg);
}

bool TArchiveStore::LoadSources(std::vector<TArchiveSource>& Out, QString& ErrMsg)
{
    return EachRow("SELECT id, browser, name, profile, path, kind FROM sources", 0, [&](sqlite3_stmt* S) {
        Out.push_back({sqlite3_column_int64(S, 0), ColumnString(S, 1), ColumnString(S, 2), ColumnString(S, 3),
                       ColumnString(S, 4), sqlite3_column_int(S, 5)});
    }, ErrMsg);
}

bool TArchiveStore::LoadDays(QHash<qint64, QMap<qint64, TArchiveDay>>& Out, QString& ErrMsg)
{
    return EachRow("SELECT source, day, visits, digest FROM days", 0, [&](sqlite3_stmt* S) {
        Out[sqlite3_column_int64(S, 0)].insert(sqlite3_column_int64(S, 1),
                                               {sqlite3_column_int64(S, 2), quint64(sqlite3_column_int64(S, 3))});
    }, ErrMsg);
}

bool TArchiveStore::LoadVisits(qint64 Source, qint64 FromDay, qint64 ToDay, std::vector<TArchiveVisit>& Out,
                               QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FLoadVisits,
                           "SELECT day, visits, data FROM days WHERE source = ?1 AND day >= ?2 AND day < ?3 ORDER BY day",
                           ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, FromDay);
    sqlite3_bind_int64(S, 3, ToDay);
    int Rc;
    while ((Rc = sqlite3_step(S)) == SQLITE_ROW) {
        const qint64 Day = sqlite3_column_int64(S, 0);
        const qint64 Count = sqlite3_column_int64(S, 1);
        const void* Data = sqlite3_column_blob(S, 2);
        const int Size = sqlite3_column_bytes(S, 2);
        // Each visit takes two bytes at least: a count beyond that is damage, not a size to reserve.
        if (Count < 0 || Count > Size / 2 || !DecodeDay(Day, Data, Size, Count, Out)) {
            ErrMsg = QStringLiteral("历史存档已损坏：%1 的访问记录无法读取").arg(QDate(1970, 1, 1).addDays(Day).toString(Qt::ISODate));
            return false;
        }
    }
    return Done(Rc, ErrMsg);
}

TArchiveStore::TBook* TArchiveStore::Book(qint64 Source, QString& ErrMsg)
{
    if (const auto It = FBooks.find(Source); It != FBooks.end())
        return &It->second;
    TBook Book;
    bool Whole = true;
    if (!EachRow("SELECT first, last, data FROM pages WHERE source = ?1 ORDER BY first", Source,
                 [&](sqlite3_stmt* S) {
                     TArchivePageBlock& B = Book.emplace_back();
                     B.First = sqlite3_column_int64(S, 0);
                     B.Last = sqlite3_column_int64(S, 1);
                     B.Data = QByteArray(static_cast<const char*>(sqlite3_column_blob(S, 2)), sqlite3_column_bytes(S, 2));
                     // Ids ascend from block to block, within the range the day records can hold.
                     Whole = Whole && B.First >= 1 && B.First <= B.Last && B.Last < kMaxPageId
                             && (Book.size() == 1 || Book[Book.size() - 2].Last < B.First);
                     TBlockReader Reader(B);
                     TPageAt Page;
                     for (; Whole && !Reader.AtEnd(); ++B.Count)
                         Whole = Reader.Next(Page) && (B.Count > 0 || Page.Id == B.First);
                     Whole = Whole && B.Count > 0 && Page.Id == B.Last;
                 },
                 ErrMsg))
        return nullptr;
    if (!Whole) {
        ErrMsg = kBadPages;
        return nullptr;
    }
    return &FBooks.emplace(Source, std::move(Book)).first->second;
}

TArchiveStore::TBook* TArchiveStore::HeldBook(qint64 Source, QString& ErrMsg)
{
    TBook* Pages = Book(Source, ErrMsg);
    if (!Pages)
        return nullptr;
    for (TArchivePageBlock& B : *Pages)
        if (!Hold(B, ErrMsg))
            return nullptr;
    return Pages;
}

bool TArchiveStore::BlockOf(qint64 Source, qint64 Page, TArchivePageBlock*& Block, QString& ErrMsg)
{
    TBook* Pages = Book(Source, ErrMsg);
    if (!Pages)
        return false;
    auto It = std::upper_bound(Pages->begin(), Pages->end(), Page,
                               [](qint64 Id, const TArchivePageBlock& B) { return Id < B.First; });
    Block = It == Pages->begin() ? nullptr : &*--It;
    return !Block || Hold(*Block, ErrMsg);
}

// A block this run wrote and let go is read back as it was written.
bool TArchiveStore::Hold(TArchivePageBlock& Block, QString& ErrMsg)
{
    if (Block.Held)
        return true;
    sqlite3_stmt* S = Stmt(FReadBlock, "SELECT data FROM pages WHERE first = ?1", ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Block.First);
    if (sqlite3_step(S) != SQLITE_ROW) {
        ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读取"));
        return false;
    }
    Block.Data = QByteArray(static_cast<const char*>(sqlite3_column_blob(S, 0)), sqlite3_column_bytes(S, 0));
    Block.Held = true;
    sqlite3_reset(S);
    return true;
}

bool TArchiveStore::EachPageHash(qint64 Source, const std::function<void(qint64, quint64)>& Take, QString& ErrMsg)
{
    const TBook* Pages = HeldBook(Source, ErrMsg);
    if (Pages && EachPage(*Pages, [&](const TPageAt& P) { Take(P.Id, P.Hash); }))
        return true;
    ErrMsg = Pages ? kBadPages : ErrMsg;
    return false;
}

bool TArchiveStore::PageUrl(qint64 Source, qint64 Page, QString& Url, QString& ErrMsg)
{
    TArchivePageBlock* Block;
    if (!BlockOf(Source, Page, Block, ErrMsg))
        return false;
    TPageAt P;
    Url = Block && PageIn(*Block, Page, P) ? QString::fromUtf8(P.Url.data(), qsizetype(P.Url.size())) : QString();
    return true;
}

bool TArchiveStore::LoadPages(qint64 Source, QHash<qint64, TArchivePage>& Out, QString& ErrMsg)
{
    const TBook* Pages = HeldBook(Source, ErrMsg);
    if (Pages && EachPage(*Pages, [&](const TPageAt& P) {
            Out.insert(P.Id, {QString::fromUtf8(P.Url.data(), qsizetype(P.Url.size())), QByteArray(P.Title.data(), qsizetype(P.Title.size()))});
        }))
        return true;
    ErrMsg = Pages ? kBadPages : ErrMsg;
    return false;
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

bool TArchiveStore::AddPage(qint64 Source, quint64 Hash, const QString& Url, std::string_view Title, qint64& Id,
                            QString& ErrMsg)
{
    TBook* Pages = Book(Source, ErrMsg);
    if (!Pages)
        return false;
    if (FNextPage == 0) {
        TStmt Max;
        sqlite3_stmt* S = Stmt(Max, "SELECT coalesce(max(last), 0) FROM pages", ErrMsg);
        if (!S || sqlite3_step(S) != SQLITE_ROW) {
            ErrMsg = Failure(QStringLiteral("历史存档已损坏或无法读取"));
            return false;
        }
        FNextPage = std::max<qint64>(sqlite3_column_int64(S, 0), 0) + 1;
    }
    if (FNextPage >= kMaxPageId) {
        ErrMsg = QStringLiteral("历史存档已损坏：页面编号超出范围");
        return false;
    }
    // A text the reader would not take back is refused here, not written
    // into a block that could never be read again.
    // Qt's encoder takes ASCII, as URLs mostly are, many characters a step.
    FUtf8.resize(FToUtf8.requiredSpace(Url.size()));
    FUtf8.truncate(FToUtf8.appendToBuffer(FUtf8.data(), Url) - FUtf8.constData());
    if (FUtf8.size() > kMaxUrlBytes || Title.size() > size_t(kMaxTitleBytes)) {
        ErrMsg = QStringLiteral("写入历史存档失败：网址或标题过长");
        return false;
    }
    if (Pages->empty() || Pages->back().Count >= kBlockPages)
        Pages->emplace_back().Data.reserve(kBlockPages * 160); // pages of a common length fit
    Id = FNextPage++;
    TArchivePageBlock& Block = Pages->back();
    Append(Block, Id, Hash, std::string_view(FUtf8.constData(), size_t(FUtf8.size())), Title);
    if (Block.Count < kBlockPages)
        return true;
    // A full block goes to the file now and its memory to the next: a run
    // adding a million visits need not hold all its new pages at once.
    if (!WriteBlock(Source, Block, ErrMsg))
        return false;
    Block.Data = QByteArray();
    Block.Held = Block.Dirty = false;
    return true;
}

bool TArchiveStore::SetTitle(qint64 Source, qint64 Page, std::string_view Title, QString& ErrMsg)
{
    TArchivePageBlock* Block;
    if (!BlockOf(Source, Page, Block, ErrMsg))
        return false;
    TPageAt P;
    if (!Block || !PageIn(*Block, Page, P) || P.Title == Title)
        return true;
    if (Title.size() > size_t(kMaxTitleBytes)) {
        ErrMsg = QStringLiteral("写入历史存档失败：网址或标题过长");
        return false;
    }
    QByteArray Data = Block->Data.left(P.TitleAt);
    PutText(Data, Title);
    Data.append(Block->Data.constData() + P.End, Block->Data.size() - P.End);
    Block->Data = std::move(Data);
    Block->Dirty = true;
    return true;
}

bool TArchiveStore::WriteBlock(qint64 Source, const TArchivePageBlock& Block, QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FWriteBlock, "INSERT OR REPLACE INTO pages(first, source, last, data) VALUES(?1, ?2, ?3, ?4)",
                           ErrMsg);
    if (!S)
        return false;
    sqlite3_bind_int64(S, 1, Block.First);
    sqlite3_bind_int64(S, 2, Source);
    sqlite3_bind_int64(S, 3, Block.Last);
    sqlite3_bind_blob(S, 4, Block.Data.constData(), int(Block.Data.size()), SQLITE_STATIC);
    return Step(S, ErrMsg);
}

bool TArchiveStore::WritePages(QString& ErrMsg)
{
    for (auto& [Source, Pages] : FBooks)
        for (TArchivePageBlock& B : Pages) {
            if (B.Dirty && !WriteBlock(Source, B, ErrMsg))
                return false;
            B.Dirty = false;
        }
    return true;
}

bool TArchiveStore::SetDay(qint64 Source, qint64 Day, const TArchiveDay& Sums, std::vector<TArchiveVisit>& Visits,
                           QString& ErrMsg)
{
    sqlite3_stmt* S = Stmt(FSetDay, "INSERT OR REPLACE INTO days(source, day, visits, digest, data) VALUES(?1, ?2, ?3, ?4, ?5)",
                           ErrMsg);
    if (!S)
        return false;
    const QByteArray Data = EncodeDay(Day, Visits);
    sqlite3_bind_int64(S, 1, Source);
    sqlite3_bind_int64(S, 2, Day);
    sqlite3_bind_int64(S, 3, qint64(Visits.size()));
    sqlite3_bind_int64(S, 4, qint64(Sums.Digest));
    sqlite3_bind_blob(S, 5, Data.constData(), int(Data.size()), SQLITE_TRANSIENT);
    return Step(S, ErrMsg);
}

bool TArchiveStore::Clear(QString& ErrMsg)
{
    if (!Begin(ErrMsg))
        return false;
    FBooks.clear();
    FNextPage = 0;
    if (!Exec("DELETE FROM days; DELETE FROM pages; DELETE FROM sources", ErrMsg)
        || !Commit(ErrMsg))
        return false;
    // Deleted rows linger in free pages and the WAL until rewritten; the
    // emptying is done either way, so a failure here is not one of the clear.
    sqlite3_exec(FDb.get(), "VACUUM; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return true;
}
