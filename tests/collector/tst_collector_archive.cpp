#include "archive_store.h"
#include "collector.h"
#include "history_source.h"
#include "history_time.h"
#include "json.h"
#include "sample_profiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sqlite3.h>

#include <memory>

// The archive: history kept beyond the browser's own expiry.
class TCollectorArchiveTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoYears_data();
    void twoYears();
    void archiveFile_data();
    void archiveFile();
    void clear_data();
    void clear();
    void killedRunLeavesArchive();

private:
    QTemporaryDir FTmp;
    QString FHome;    // two years of weekly archive runs have been made here
    QString FArchive;
    QDateTime FEnd;
    qint64 FListed = 0, FAll = 0, FLive = 0, FInRange = 0; // reference counts from the generator
};

namespace {

constexpr qint64 kDayUs = 86400LL * 1000000;
const QDate kRangeFrom(2023, 3, 1), kRangeTo(2023, 8, 31);

struct TRun
{
    int Code = -1;
    QString Err;
    std::unique_ptr<TJsonValue> Doc;
};

TRun Run(const QString& Home, const QStringList& Args, const QDateTime& Now, bool Parse = true)
{
    qputenv(kHomeOverrideVar, Home.toUtf8());
    TRun R;
    QByteArray Out;
    TCollectorEnv Env;
    Env.WriteStdout = [&](const char* Data, size_t Size) {
        if (Parse)
            Out.append(Data, qsizetype(Size));
        return true;
    };
    Env.WriteStderr = [&R](const QString& Text) { R.Err += Text; };
    Env.Now = Now;
    R.Code = RunCollector(Args, Env);
    QString ParseErr;
    if (Parse && !Out.isEmpty())
        R.Doc = ParseJson(QString::fromUtf8(Out), ParseErr);
    return R;
}

const TJsonValue* ArchiveRow(const TJsonValue* Doc)
{
    const TJsonValue* Sources = Doc->Get("sources");
    for (int I = 0; I < Sources->Count(); ++I)
        if (Sources->Items(I)->S("name") == QStringLiteral("历史存档"))
            return Sources->Items(I);
    return nullptr;
}

QByteArray FileHash(const QString& Path)
{
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(F.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

// Everything the archive holds, read as SQLite sees it after a crash: what
// was committed. Ends with the number of visits.
QByteArray ArchiveDigest(const QString& Path)
{
    sqlite3* Db = nullptr;
    sqlite3_open_v2(QFile::encodeName(Path).constData(), &Db, SQLITE_OPEN_READWRITE, nullptr);
    QCryptographicHash Hash(QCryptographicHash::Sha256);
    qint64 Visits = 0;
    for (const char* Sql : {"SELECT source, day, visits, hex(data) FROM days ORDER BY source, day",
                            "SELECT first, source, last, hex(data) FROM pages ORDER BY first"}) {
        sqlite3_stmt* S = nullptr;
        sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr);
        while (sqlite3_step(S) == SQLITE_ROW) {
            for (int C = 0; C < sqlite3_column_count(S); ++C)
                Hash.addData(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(S, C))) + '|');
            Visits += QByteArray(Sql).contains("days") ? sqlite3_column_int64(S, 2) : 0;
        }
        sqlite3_finalize(S);
    }
    sqlite3_close(Db);
    return Hash.result().toHex() + ' ' + QByteArray::number(Visits);
}

bool Exec(sqlite3* Db, const char* Sql)
{
    return sqlite3_exec(Db, Sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Turns an archive into one of the first format, whose pages referred to
// URLs in a table of their own, shared by the sources.
bool MakeFirstFormat(const QString& Path)
{
    struct TRow
    {
        qint64 Id, Source;
        quint64 Hash;
        TArchivePage Page;
    };
    std::vector<TRow> Rows;
    {
        TArchiveStore Store;
        QString Err;
        std::vector<TArchiveSource> Sources;
        if (Store.Open(Path, false, Err) != TArchiveStore::aoOpened || !Store.LoadSources(Sources, Err))
            return false;
        for (const TArchiveSource& S : Sources) {
            QHash<qint64, TArchivePage> Pages;
            if (!Store.LoadPages(S.Id, Pages, Err)
                || !Store.EachPageHash(S.Id, [&](qint64 Id, quint64 Hash) { Rows.push_back({Id, S.Id, Hash, Pages.value(Id)}); }, Err))
                return false;
        }
    }
    sqlite3* Db = nullptr;
    sqlite3_stmt* Add = nullptr;
    bool Ok = sqlite3_open(QFile::encodeName(Path).constData(), &Db) == SQLITE_OK
              && Exec(Db, "BEGIN; CREATE TABLE pages2(id INTEGER PRIMARY KEY, source, hash, url, title)")
              && sqlite3_prepare_v2(Db, "INSERT INTO pages2 VALUES(?1, ?2, ?3, ?4, ?5)", -1, &Add, nullptr) == SQLITE_OK;
    for (const TRow& R : Rows) {
        const QByteArray Url = R.Page.Url.toUtf8();
        sqlite3_bind_int64(Add, 1, R.Id);
        sqlite3_bind_int64(Add, 2, R.Source);
        sqlite3_bind_int64(Add, 3, qint64(R.Hash));
        sqlite3_bind_text(Add, 4, Url.constData(), int(Url.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(Add, 5, R.Page.Title.data(), int(R.Page.Title.size()), SQLITE_TRANSIENT);
        Ok = Ok && sqlite3_step(Add) == SQLITE_DONE && sqlite3_reset(Add) == SQLITE_OK;
    }
    sqlite3_finalize(Add);
    Ok = Ok && Exec(Db, "CREATE TABLE urls(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, url TEXT NOT NULL);"
                        "INSERT INTO urls(hash, url) SELECT DISTINCT hash, url FROM pages2 ORDER BY url;"
                        "DROP TABLE pages;"
                        "CREATE TABLE pages(id INTEGER PRIMARY KEY, source INTEGER NOT NULL, url INTEGER NOT NULL,"
                        " title TEXT NOT NULL);"
                        "INSERT INTO pages SELECT p.id, p.source, u.id, p.title FROM pages2 p JOIN urls u ON u.url = p.url;"
                        "DROP TABLE pages2; PRAGMA user_version = 1; COMMIT");
    sqlite3_close(Db);
    return Ok;
}

// A browser at work on its own database: new visits come in, those older
// than 90 days are expired with the URLs nobody visits any more.
class TBrowser
{
public:
    TBrowser(const QString& Path, bool Firefox, TSampleHistory History)
        : FFirefox(Firefox)
        , FHistory(std::move(History))
    {
        QString Err;
        const bool Made = Firefox ? WriteFirefoxPlaces(Path, {}, sjWal, Err) : WriteChromiumHistory(Path, {}, sjDelete, Err);
        if (Made)
            sqlite3_open(QFile::encodeName(Path).constData(), &FDb);
    }
    ~TBrowser() { sqlite3_close(FDb); }

    bool AdvanceTo(qint64 NowUs)
    {
        const qint64 Shift = FFirefox ? 0 : 11644473600LL * 1000000;
        const char* AddUrl = FFirefox ? "INSERT INTO moz_places(url, title, hidden) SELECT ?1, ?2, ?3"
                                        " WHERE NOT EXISTS (SELECT 1 FROM moz_places WHERE url = ?1)"
                                      : "INSERT INTO urls(url, title, last_visit_time, hidden) SELECT ?1, ?2, 0, 0"
                                        " WHERE NOT EXISTS (SELECT 1 FROM urls WHERE url = ?1)";
        const char* AddVisit = FFirefox ? "INSERT INTO moz_historyvisits(place_id, visit_date, visit_type)"
                                          " VALUES((SELECT id FROM moz_places WHERE url = ?1), ?2, ?3)"
                                        : "INSERT INTO visits(url, visit_time, transition)"
                                          " VALUES((SELECT id FROM urls WHERE url = ?1), ?2, ?3)";
        // Pages change their titles now and then: the archive keeps the latest.
        const char* Retitle = FFirefox ? "UPDATE moz_places SET title = ?2 WHERE url = ?1"
                                       : "UPDATE urls SET title = ?2 WHERE url = ?1";
        const char* Expire = FFirefox ? "DELETE FROM moz_historyvisits WHERE visit_date < ?1;"
                                      : "DELETE FROM visits WHERE visit_time < ?1;";
        const char* Orphans = FFirefox ? "DELETE FROM moz_places WHERE id NOT IN (SELECT place_id FROM moz_historyvisits)"
                                       : "DELETE FROM urls WHERE id NOT IN (SELECT url FROM visits)";
        sqlite3_stmt *Url = nullptr, *Visit = nullptr, *Old = nullptr, *Title = nullptr;
        bool Ok = Exec(FDb, "BEGIN") && sqlite3_prepare_v2(FDb, AddUrl, -1, &Url, nullptr) == SQLITE_OK
                  && sqlite3_prepare_v2(FDb, Retitle, -1, &Title, nullptr) == SQLITE_OK
                  && sqlite3_prepare_v2(FDb, AddVisit, -1, &Visit, nullptr) == SQLITE_OK
                  && sqlite3_prepare_v2(FDb, Expire, -1, &Old, nullptr) == SQLITE_OK;
        // Chromium gets each week's visits newest first, as a sync from
        // another device can bring them: row order is not time order.
        size_t End = FNext;
        while (End < FHistory.Visits.size() && FHistory.Visits[End].UnixUs <= NowUs)
            ++End;
        for (size_t N = FNext; Ok && N < End; ++N) {
            const size_t Next = FFirefox ? N : End - 1 - (N - FNext);
            const TSampleHistory::TVisit& V = FHistory.Visits[Next];
            const TSampleHistory::TUrl& U = FHistory.Urls[size_t(V.Url)];
            const QByteArray Text = U.Url.toUtf8(), Named = (U.Title + QString(Next % 3, u'新')).toUtf8();
            sqlite3_bind_text(Title, 1, Text.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(Title, 2, Named.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(Url, 1, Text.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(Url, 2, Named.constData(), -1, SQLITE_TRANSIENT);
            if (FFirefox)
                sqlite3_bind_int(Url, 3, U.Hidden ? 1 : 0);
            sqlite3_bind_text(Visit, 1, Text.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(Visit, 2, V.UnixUs + Shift);
            sqlite3_bind_int64(Visit, 3, FFirefox ? V.VisitType : V.Transition);
            Ok = sqlite3_step(Title) == SQLITE_DONE && sqlite3_step(Url) == SQLITE_DONE && sqlite3_step(Visit) == SQLITE_DONE;
            sqlite3_reset(Title);
            sqlite3_reset(Url);
            sqlite3_reset(Visit);
        }
        FNext = End;
        sqlite3_bind_int64(Old, 1, NowUs - 90 * kDayUs + Shift);
        Ok = Ok && sqlite3_step(Old) == SQLITE_DONE && Exec(FDb, Orphans) && Exec(FDb, "COMMIT");
        sqlite3_finalize(Title);
        sqlite3_finalize(Url);
        sqlite3_finalize(Visit);
        sqlite3_finalize(Old);
        return Ok;
    }

private:
    bool FFirefox;
    TSampleHistory FHistory;
    size_t FNext = 0;
    sqlite3* FDb = nullptr;
};

} // namespace

// Two years of a user's browsing, with an archive run every week while the
// browsers expire what is older than 90 days.
void TCollectorArchiveTest::initTestCase()
{
    qputenv(kZoneOverrideVar, "UTC");
    QVERIFY(FTmp.isValid());
    FHome = FTmp.filePath("home");
    FArchive = FTmp.filePath("years/archive.sqlite");
    FEnd = QDateTime(QDate(2024, 6, 30), QTime(12, 0), QTimeZone::utc());
    const qint64 EndUs = FEnd.toMSecsSinceEpoch() * 1000;
    const qint64 StartUs = EndUs - 104 * 7 * kDayUs;
    const qint64 FromUs = QDateTime(kRangeFrom, QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch() * 1000;
    const qint64 ToUs = QDateTime(kRangeTo.addDays(1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch() * 1000;

    std::vector<std::unique_ptr<TBrowser>> Browsers;
    for (const bool Firefox : {false, true}) {
        const TSampleHistory H = MakeSampleHistory(Firefox ? 2000 : 3000, EndUs, 728, Firefox ? 7 : 3);
        // Each visit once; the unlisted ones are the generator's hidden pages.
        QSet<QPair<int, qint64>> Seen;
        for (const TSampleHistory::TVisit& V : H.Visits) {
            if (Seen.contains({V.Url, V.UnixUs}))
                continue;
            Seen.insert({V.Url, V.UnixUs});
            const bool Listed = !H.Urls[size_t(V.Url)].Hidden;
            ++FAll;
            FListed += Listed;
            FLive += Listed && V.UnixUs >= EndUs - 90 * kDayUs;
            FInRange += Listed && V.UnixUs >= FromUs && V.UnixUs < ToUs;
        }
        const QString Db = BrowserPath(FHome, Firefox ? ".mozilla/firefox/p/places.sqlite" : ".config/google-chrome/Default/History");
        QVERIFY(QDir().mkpath(QFileInfo(Db).path()));
        Browsers.push_back(std::make_unique<TBrowser>(Db, Firefox, H));
    }
    QFile Ini(BrowserPath(FHome, ".mozilla/firefox/profiles.ini"));
    QVERIFY(Ini.open(QIODevice::WriteOnly));
    Ini.write("[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    Ini.close();

    for (int Week = 1; Week <= 104; ++Week) {
        const qint64 NowUs = StartUs + Week * 7 * kDayUs;
        for (const auto& B : Browsers)
            QVERIFY(B->AdvanceTo(NowUs));
        const TRun R = Run(FHome, {"/archive:" + FArchive}, QDateTime::fromMSecsSinceEpoch(NowUs / 1000, QTimeZone::utc()), false);
        // The first weeks of the generated history are quiet.
        QVERIFY2(R.Code == ceOk || (R.Code == ceNoRecords && Week < 10), qPrintable(QString("week %1: %2 %3").arg(Week).arg(R.Code).arg(R.Err)));
    }
}

void TCollectorArchiveTest::twoYears_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<qint64>("Total");
    QTest::addColumn<qint64>("OnlyArchived"); // -1: no archive row
    QTest::addColumn<bool>("FirstFormat");    // the archive is first turned into one of the first format
    const QString A = "/archive:" + FArchive;
    const QString From = "/from:" + kRangeFrom.toString(Qt::ISODate), To = "/to:" + kRangeTo.toString(Qt::ISODate);
    QTest::newRow("every visit ever seen, once") << QStringList{A} << FListed << FListed - FLive << false;
    QTest::newRow("without the archive: the last 90 days") << QStringList{} << FLive << qint64(-1) << false;
    QTest::newRow("every stored row") << QStringList{A, "/allvisits"} << FAll << qint64(-1) << false;
    QTest::newRow("dates long expired") << QStringList{A, From, To} << FInRange << FInRange << false;
    QTest::newRow("an archive of the first format") << QStringList{A} << FListed << FListed - FLive << true;
}

void TCollectorArchiveTest::twoYears()
{
    QFETCH(QStringList, Args);
    QFETCH(qint64, Total);
    QFETCH(qint64, OnlyArchived);
    QFETCH(bool, FirstFormat);
    QVERIFY(FListed > 3 * FLive); // most of the history has long left the browsers
    QTemporaryDir Dir(FTmp.filePath("old-XXXXXX"));
    const QString Old = Dir.filePath("a.sqlite");
    if (FirstFormat) {
        QVERIFY(QFile::copy(FArchive, Old) && MakeFirstFormat(Old));
        Args = QStringList{"/archive:" + Old};
    }
    const TRun R = Run(FHome, Args, FEnd);
    QCOMPARE(R.Code, ceOk);
    QVERIFY(R.Doc);
    QCOMPARE(R.Doc->Get("stats")->I("total"), Total);
    QCOMPARE(R.Doc->Get("records")->Count(), int(Total));
    const TJsonValue* Row = ArchiveRow(R.Doc.get());
    QCOMPARE(Row != nullptr, Args.size() > 0);
    if (OnlyArchived >= 0) {
        QCOMPARE(Row->I("count"), OnlyArchived);
        QCOMPARE(Row->S("msg"), QStringLiteral("本次新存入 0 条访问"));
    }
    // Brought over whole: as the current format holds the same history.
    if (FirstFormat)
        QCOMPARE(ArchiveDigest(Old), ArchiveDigest(FArchive));
    // Browsers keep their own names on archived visits; the archive is not one.
    qint64 Browsers = 0;
    const TJsonValue* List = R.Doc->Get("browsers");
    for (int I = 0; I < List->Count(); ++I)
        Browsers += List->Items(I)->Items(1)->AsString().toLongLong();
    QCOMPARE(Browsers, Total);
}

void TCollectorArchiveTest::archiveFile_data()
{
    QTest::addColumn<QString>("Arg");
    QTest::addColumn<QString>("Path"); // relative to the test's folder; empty: the default place
    QTest::addColumn<QByteArray>("Make"); // what stands there before the run
    QTest::addColumn<QString>("Msg");     // of a failed archive; empty: it works
    const QString Default = QSysInfo::productType() == "windows" ? "home/AppData/Local/Marrowkin/archive.sqlite"
                                                                 : "home/.local/share/Marrowkin/archive.sqlite";
    QTest::newRow("default place") << "/archive" << Default << QByteArray() << QString();
    QTest::newRow("a file named clear") << "/archive:./clear" << "clear" << QByteArray() << QString();
    QTest::newRow("garbage") << "/archive:g.sqlite" << "g.sqlite" << QByteArray("not a database").repeated(400) << "历史存档已损坏或不是数据库";
    QTest::newRow("another program's database") << "/archive:o.sqlite" << "o.sqlite" << QByteArray("table") << "不是 Marrowkin 的历史存档";
    QTest::newRow("a newer archive") << "/archive:n.sqlite" << "n.sqlite" << QByteArray("newer") << "较新版本";
    // A truncated block of pages, read as the day it holds a visit of looks changed.
    QTest::newRow("a damaged page block") << "/archive:b.sqlite" << "b.sqlite" << QByteArray("block") << "页面记录无法读取";
    QTest::newRow("a folder") << "/archive:d.sqlite" << "d.sqlite" << QByteArray("folder") << "不是普通文件";
}

void TCollectorArchiveTest::archiveFile()
{
    QFETCH(QString, Arg);
    QFETCH(QString, Path);
    QFETCH(QByteArray, Make);
    QFETCH(QString, Msg);
    QTemporaryDir Dir(FTmp.filePath("file-XXXXXX"));
    const QString Home = Dir.filePath("home"), File = Dir.filePath(Path);
    QString Err;
    TSampleHistory H;
    H.Add("https://example.com/", "Example", FEnd.toMSecsSinceEpoch() * 1000 - kDayUs);
    QVERIFY2(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err), qPrintable(Err));
    if (Make == "folder") {
        QVERIFY(QDir().mkpath(File));
    } else if (Make == "table" || Make == "newer" || Make == "block") {
        if (Make != "table")
            QCOMPARE(Run(Home, {"/archive:" + File}, FEnd).Code, ceOk);
        sqlite3* Db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(File).constData(), &Db), SQLITE_OK);
        QVERIFY(Exec(Db, Make == "newer"   ? "PRAGMA user_version = 99"
                         : Make == "block" ? "UPDATE pages SET data = substr(data, 1, length(data) - 1);"
                                             " UPDATE days SET digest = digest + 1"
                                           : "CREATE TABLE t(x); INSERT INTO t VALUES(1)"));
        sqlite3_close(Db);
    } else if (!Make.isEmpty()) {
        QFile F(File);
        QVERIFY(F.open(QIODevice::WriteOnly) && F.write(Make) == Make.size());
    }
    const QByteArray Before = FileHash(File);
    const QString Cwd = QDir::currentPath();
    QDir::setCurrent(Dir.path());
    const TRun R = Run(Home, {Arg}, FEnd);
    QDir::setCurrent(Cwd);

    // The live report comes out either way; a failed archive fails alone.
    QString Why = R.Err; // what each source said, should the run fail
    for (int I = 0; R.Doc && I < R.Doc->Get("sources")->Count(); ++I)
        Why += u'\n' + R.Doc->Get("sources")->Items(I)->S("name") + u' ' + R.Doc->Get("sources")->Items(I)->S("msg");
    QVERIFY2(R.Code == ceOk, qPrintable(QStringLiteral("exit code %1: %2").arg(R.Code).arg(Why)));
    QCOMPARE(R.Doc->Get("stats")->I("total"), 1);
    const TJsonValue* Row = ArchiveRow(R.Doc.get());
    QVERIFY(Row);
    QCOMPARE(QDir::cleanPath(QDir::fromNativeSeparators(Row->S("path"))), QDir::cleanPath(File));
    QCOMPARE(Row->B("ok"), Msg.isEmpty());
    QVERIFY2(Row->S("msg").contains(Msg), qPrintable(Row->S("msg")));
    if (!Msg.isEmpty()) {
        QCOMPARE(FileHash(File), Before);
        return;
    }
    QCOMPARE(Row->S("msg"), QStringLiteral("本次新存入 1 条访问"));
#ifndef Q_OS_WIN
    QCOMPARE(QFile::permissions(File) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());
#endif
}

void TCollectorArchiveTest::clear_data()
{
    QTest::addColumn<QByteArray>("Make");
    QTest::addColumn<int>("Code");
    QTest::addColumn<QString>("Told");
    QTest::newRow("an archive of two years") << QByteArray("archive") << int(ceOk) << "历史存档已清空";
    QTest::newRow("none yet") << QByteArray() << int(ceOk) << "历史存档不存在，无需清除";
    QTest::newRow("not an archive") << QByteArray("SQLite format 3?") << int(ceWriteFailed) << "清除历史存档失败";
}

void TCollectorArchiveTest::clear()
{
    QFETCH(QByteArray, Make);
    QFETCH(int, Code);
    QFETCH(QString, Told);
    QTemporaryDir Dir(FTmp.filePath("clear-XXXXXX"));
    const QString File = Dir.filePath("a.sqlite");
    if (Make == "archive") {
        QVERIFY(QFile::copy(FArchive, File));
    } else if (!Make.isEmpty()) {
        QFile F(File);
        QVERIFY(F.open(QIODevice::WriteOnly) && F.write(Make.repeated(300)) > 0);
    }
    const QByteArray Before = FileHash(File);
    const TRun R = Run(FHome, {"/archive:" + File, "/archive:clear", "/format:json"}, FEnd);
    QCOMPARE(R.Code, Code);
    QVERIFY2(R.Err.contains(Told), qPrintable(R.Err));
    QVERIFY(!R.Doc); // only cleared, no report
    if (Code != ceOk)
        QCOMPARE(FileHash(File), Before);
    else if (!Make.isEmpty())
        QVERIFY(ArchiveDigest(File).endsWith(" 0"));
}

// A run killed inside its archive transaction leaves the archive as the run
// before left it, and the next one goes on from there.
void TCollectorArchiveTest::killedRunLeavesArchive()
{
    QTemporaryDir Dir(FTmp.filePath("kill-XXXXXX"));
    const QString Home = Dir.filePath("home"), File = Dir.filePath("a.sqlite");
    const QString Db = BrowserPath(Home, ".config/google-chrome/Default/History");
    const qint64 EndUs = FEnd.toMSecsSinceEpoch() * 1000;
    QString Err;
    TSampleHistory H = MakeSampleHistory(2000, EndUs - 30 * kDayUs, 60, 5);
    QVERIFY2(WriteChromiumHistory(Db, H, sjDelete, Err), qPrintable(Err));
    QCOMPARE(Run(Home, {"/archive:" + File}, FEnd, false).Code, ceOk);
    const QByteArray Before = ArchiveDigest(File);

    const size_t Old = H.Visits.size();
    for (int I = 0; I < 500; ++I)
        H.Add(QString("https://new.example/%1").arg(I % 50), "New", EndUs - 20 * kDayUs + I * 1000000LL);
    QVERIFY2(WriteChromiumHistory(Db, H, sjDelete, Err), qPrintable(Err));

    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(kHomeOverrideVar, Home);
    Env.insert(kArchiveHoldVar, "60000");
    P.setProcessEnvironment(Env);
    P.setStandardOutputFile(QProcess::nullDevice());
    P.start(MK_COLLECTOR_EXE, {"/archive:" + File});
    QByteArray Said;
    QTRY_VERIFY_WITH_TIMEOUT((Said += P.readAllStandardError()).contains(kArchiveHoldLine), 60000);
    P.kill();
    QVERIFY(P.waitForFinished(10000));
    QCOMPARE(ArchiveDigest(File), Before);

    const TRun R = Run(Home, {"/archive:" + File}, FEnd);
    QCOMPARE(R.Code, ceOk);
    QCOMPARE(ArchiveRow(R.Doc.get())->S("msg"), QString("本次新存入 %1 条访问").arg(H.Visits.size() - Old));
    QVERIFY(ArchiveDigest(File) != Before);
}

QTEST_GUILESS_MAIN(TCollectorArchiveTest)
#include "tst_collector_archive.moc"
