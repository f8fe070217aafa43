#include "collector.h"
#include "console_runner.h"
#include "history_source.h"
#include "history_time.h"
#include "json.h"
#include "private_dir.h"
#include "record_keys.h"
#include "report_content.h"
#include "sample_profiles.h"
#include "text_util.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QTimeZone>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cerrno>
#include <limits>
#include <numeric>
#include <utility>

namespace {

// Run() with this home leaves the system's own variables to decide.
const QString kSystemHome = QStringLiteral("<system>");

// A zone with summer time; the collector is told to use it too.
const QTimeZone& Zone()
{
    static const QTimeZone Z("Europe/Berlin");
    return Z;
}

qint64 LocalUs(const char* Text)
{
    QDateTime D = QDateTime::fromString(QString::fromLatin1(Text), "yyyy-MM-dd hh:mm:ss");
    D.setTimeZone(Zone());
    return D.toMSecsSinceEpoch() * 1000;
}

// Every file under Dir with its hash, so a run can be shown to have left the
// browsers' folders exactly as they were (no file changed, added or removed).
QMap<QString, QByteArray> Snapshot(const QString& Dir)
{
    QMap<QString, QByteArray> Map;
    QDirIterator It(Dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        QFile F(Path);
        if (!F.open(QIODevice::ReadOnly))
            continue;
        Map.insert(Path, QCryptographicHash::hash(F.readAll(), QCryptographicHash::Sha256));
    }
    return Map;
}

bool WriteFile(const QString& Path, const QByteArray& Bytes)
{
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile F(Path);
    return F.open(QIODevice::WriteOnly) && F.write(Bytes) == Bytes.size();
}

// Sets environment variables for what runs in its scope, children
// included, and puts the old values back.
class TEnvScope
{
public:
    TEnvScope& Set(const char* Name, const QByteArray& Value)
    {
        FOld.append({Name, qgetenv(Name), qEnvironmentVariableIsSet(Name)});
        qputenv(Name, Value);
        return *this;
    }
    ~TEnvScope()
    {
        for (auto It = FOld.crbegin(); It != FOld.crend(); ++It)
            It->Was ? qputenv(It->Name, It->Value) : qunsetenv(It->Name);
    }

private:
    struct TOld { const char* Name; QByteArray Value; bool Was; };
    QList<TOld> FOld;
};

// The temporary folder: TMPDIR on POSIX systems, TMP on Windows.
const char* TempVar()
{
    return QSysInfo::productType() == QLatin1String("windows") ? "TMP" : "TMPDIR";
}

struct TRun
{
    int Code = -1;
    QByteArray Out;
    QString Err;
    QString File;
    QStringList Opened;
    std::unique_ptr<TJsonValue> Doc;
    QString ParseErr;
};

} // namespace

class TCollectorRunTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullDocument();
    void filters_data();
    void filters();
    void privacy();
    void limit();
    void noRecords();
    void failedSources_data();
    void failedSources();
    void damagedTimestamps_data();
    void damagedTimestamps();
    void longFieldsCut_data();
    void longFieldsCut();
    void specialFiles_data();
    void specialFiles();
    void profileReachedTwice_data();
    void profileReachedTwice();
    void writeFailureReason();
    void copyFailureReason();
    void stopLeavesNothing_data();
    void stopLeavesNothing();
    void staleCopiesRemoved();
    void otherNamespaceCopiesKept();
    void chosenBrowsers_data();
    void chosenBrowsers();
    void visitRules_data();
    void visitRules();
    void ownTitles_data();
    void ownTitles();
    void manyRecords();
    void chipsCountAsTheReport_data();
    void chipsCountAsTheReport();
    void openTransaction();
    void listMode();
    void allUsers();
    void walIsReadAndFilesStayUnchanged();
    void jsonToFolder();
    void writeFailure();
    void htmlReport();
    void process_data();
    void process();

private:
    TRun Run(const QStringList& Args, const QString& Home = QString());
    void BuildHome(const QString& Home);

    QTemporaryDir FTmp;
    QString FHome;
    QDateTime FNow;
};

void TCollectorRunTest::BuildHome(const QString& Home)
{
    QString Err;
    TSampleHistory Chrome;
    Chrome.Add("https://www.baidu.com/s?ie=utf-8&wd=%E5%A4%A9%E6%B0%94", "天气_百度搜索", LocalUs("2024-05-01 10:00:00"));
    Chrome.Add("https://github.com/qt/qtbase?tab=readme#top", "GitHub - qt/qtbase", LocalUs("2024-05-02 21:00:00"));
    Chrome.Add("https://news.example.com/a", "Example News <img src=\"http://evil.example/x.png\">\x01", LocalUs("2024-05-03 08:00:00"));
    Chrome.Add("https://example.com/", "Example", LocalUs("2024-05-05 12:00:00"));
    Chrome.Add("https://www.example.com/x", "WWW Example", LocalUs("2024-05-05 13:00:00"));
    QVERIFY2(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), Chrome, sjDelete, Err), qPrintable(Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".config/google-chrome/Local State"),
                      R"({"profile":{"info_cache":{"Default":{"name":"个人"}}}})"));
    // Unreadable sources: a folder where the database should be, and garbage bytes.
    QVERIFY(QDir().mkpath(BrowserPath(Home, ".config/google-chrome/Profile 2/History")));
    QVERIFY(WriteFile(BrowserPath(Home, ".config/microsoft-edge/Default/History"), QByteArray("this is not a database").repeated(300)));

    TSampleHistory Fox;
    Fox.Add("https://www.google.com/search?q=Qt+QProcess", "Qt QProcess - Google 搜索", LocalUs("2024-05-02 21:30:00"));
    Fox.Add("https://github.com/qt/qtbase?tab=readme#top", "", LocalUs("2024-05-04 09:00:00"));
    Fox.Add("https://www.bilibili.com/video/BV1", "哔哩哔哩", LocalUs("2024-04-20 23:59:59"));
    QVERIFY2(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/abcd.default/places.sqlite"), Fox, sjWalLeft, Err), qPrintable(Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"),
                      "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\nPath=abcd.default\n"));
}

void TCollectorRunTest::initTestCase()
{
    qputenv(kZoneOverrideVar, Zone().id());
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(FTmp.isValid());
    FHome = FTmp.filePath("home");
    BuildHome(FHome);
    FNow = QDateTime(QDate(2024, 5, 5), QTime(15, 0, 0), Zone());
}

TRun TCollectorRunTest::Run(const QStringList& Args, const QString& Home)
{
    if (Home == kSystemHome)
        qunsetenv(kHomeOverrideVar);
    else
        qputenv(kHomeOverrideVar, (Home.isEmpty() ? FHome : Home).toUtf8());
    TRun R;
    TCollectorEnv Env;
    Env.WriteStdout = [&R](const char* Data, size_t Size) {
        R.Out.append(Data, qsizetype(Size));
        return true;
    };
    Env.WriteStderr = [&R](const QString& Text) { R.Err += Text; };
    Env.OpenFile = [&R](const QString& Path) {
        R.Opened << Path;
        return true;
    };
    Env.Now = FNow;
    Env.UsersRoot = FTmp.filePath("users");
    R.Code = RunCollector(Args, Env);
    R.File = Env.LastFile;
    if (!R.Out.isEmpty())
        R.Doc = ParseJson(QString::fromUtf8(R.Out), R.ParseErr);
    return R;
}

static QStringList RecordUrls(const TJsonValue* Doc)
{
    QStringList Urls;
    const TJsonValue* Recs = Doc->Get("records");
    for (int I = 0; Recs && I < Recs->Count(); ++I)
        Urls << Recs->Items(I)->S("url");
    return Urls;
}

void TCollectorRunTest::fullDocument()
{
    const TRun R = Run({"/title:我的 报告", "/format:json"});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY(R.Err.isEmpty());
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QVERIFY(!R.Out.startsWith("\xEF\xBB\xBF"));
    const TJsonValue& D = *R.Doc;
    QCOMPARE(D.S("title"), QString("我的 报告"));
    QCOMPARE(D.S("range"), QString("全部历史"));
    QCOMPARE(D.S("scope"), QString("当前用户"));
    QCOMPARE(D.S("generated"), QString("2024-05-05 15:00:00"));

    const TJsonValue* S = D.Get("stats");
    QVERIFY(S && S->IsObject());
    QCOMPARE(S->I("total", -1), 8);
    QCOMPARE(S->I("uniqueUrl", -1), 7);
    QCOMPARE(S->I("uniqueDomain", -1), 6); // example.com and www.example.com count once
    QCOMPARE(S->I("activeDays", -1), 6);
    QCOMPARE(S->S("peak"), QString("周四 21:00"));
    QCOMPARE(S->S("first"), QString("2024-04-20 23:59:59"));
    QCOMPARE(S->S("last"), QString("2024-05-05 13:00:00"));

    const TJsonValue* Heat = D.Get("heat");
    QVERIFY(Heat && Heat->Count() == 7);
    for (int Day = 0; Day < 7; ++Day)
        QCOMPARE(Heat->Items(Day)->Count(), 24);
    QCOMPARE(Heat->Items(4)->Items(21)->AsString(), QString("2"));
    QCOMPARE(Heat->Items(6)->Items(23)->AsString(), QString("1")); // Saturday 23:59:59

    const TJsonValue* Days = D.Get("days");
    QCOMPARE(Days->Count(), 16); // 2024-04-20 … 2024-05-05, empty days included
    QCOMPARE(Days->Items(0)->Items(0)->AsString(), QString("2024-04-20"));
    QCOMPARE(Days->Items(1)->Items(1)->AsString(), QString("0"));
    QCOMPARE(Days->Items(15)->Items(0)->AsString(), QString("2024-05-05"));
    QCOMPARE(Days->Items(15)->Items(1)->AsString(), QString("2"));

    const TJsonValue* Doms = D.Get("domains");
    QCOMPARE(Doms->Count(), 6);
    QCOMPARE(Doms->Items(0)->Items(0)->AsString(), QString("example.com"));
    QCOMPARE(Doms->Items(1)->Items(0)->AsString(), QString("github.com"));

    const TJsonValue* Pages = D.Get("pages");
    QCOMPARE(Pages->Items(0)->Items(0)->AsString(), QString("https://github.com/qt/qtbase?tab=readme#top"));
    QCOMPARE(Pages->Items(0)->Items(1)->AsString(), QString("GitHub - qt/qtbase"));
    QCOMPARE(Pages->Items(0)->Items(2)->AsString(), QString("2"));

    QStringList Keywords;
    for (int I = 0; I < D.Get("keywords")->Count(); ++I)
        Keywords << D.Get("keywords")->Items(I)->Items(0)->AsString();
    Keywords.sort();
    QCOMPARE(Keywords, QStringList({"Qt QProcess", "天气"}));

    const TJsonValue* Brs = D.Get("browsers");
    QCOMPARE(Brs->Count(), 2);
    QCOMPARE(Brs->Items(0)->Items(0)->AsString(), QString("Chrome"));
    QCOMPARE(Brs->Items(0)->Items(1)->AsString(), QString("5"));
    QCOMPARE(Brs->Items(1)->Items(0)->AsString(), QString("Firefox"));

    qint64 CatSum = 0;
    for (int I = 0; I < D.Get("cats")->Count(); ++I) {
        const TJsonValue* C = D.Get("cats")->Items(I);
        QCOMPARE(C->Count(), 3);
        QVERIFY(QRegularExpression("^#[0-9a-f]{6}$").match(C->Items(2)->AsString()).hasMatch());
        CatSum += C->Items(1)->AsString().toLongLong();
    }
    QCOMPARE(CatSum, 8);

    const TJsonValue* Src = D.Get("sources");
    QCOMPARE(Src->Count(), 4);
    QCOMPARE(Src->Items(0)->S("name"), QString("Chrome"));
    QCOMPARE(Src->Items(0)->S("profile"), QString("个人"));
    QCOMPARE(Src->Items(0)->S("status"), QString("正常"));
    QCOMPARE(Src->Items(0)->I("count"), 5);
    QCOMPARE(Src->Items(0)->B("ok"), true);
    QCOMPARE(Src->Items(1)->S("profile"), QString("Profile 2"));
    QCOMPARE(Src->Items(1)->B("ok", true), false);
    QCOMPARE(Src->Items(1)->S("status"), QString("读取失败"));
    QVERIFY(!Src->Items(1)->S("msg").isEmpty());
    QCOMPARE(Src->Items(2)->S("name"), QString("Edge"));
    QCOMPARE(Src->Items(2)->B("ok", true), false);
    QCOMPARE(Src->Items(3)->S("name"), QString("Firefox"));
    QCOMPARE(Src->Items(3)->I("count"), 3);
    QVERIFY(Src->Items(3)->S("path").endsWith("abcd.default/places.sqlite"));

    const TJsonValue* Recs = D.Get("records");
    QCOMPARE(Recs->Count(), 8);
    QCOMPARE(Recs->Items(0)->S("time"), QString("2024-05-05 13:00:00"));
    QCOMPARE(Recs->Items(0)->S("browser"), QString("Chrome"));
    QCOMPARE(Recs->Items(0)->S("profile"), QString("个人"));
    QCOMPARE(Recs->Items(0)->S("title"), QString("WWW Example"));
    for (int I = 1; I < Recs->Count(); ++I)
        QVERIFY(Recs->Items(I - 1)->S("time") >= Recs->Items(I)->S("time"));
    QCOMPARE(Recs->Items(3)->S("title"), QString("Example News <img src=\"http://evil.example/x.png\">\x01"));
    QCOMPARE(D.Get("truncated")->Kind(), jkFalse);

    // The report window's own loader reads it the same way.
    const TReportContent M = ReadReportContent(R.Doc.get(), false);
    QCOMPARE(M.Total, 8);
    QCOMPARE(M.Sources.size(), 4);
    QCOMPARE(M.Days.size(), 16);
    QCOMPARE(M.Heat[4][21], 2);
    QCOMPARE(M.Doms.size(), 6);
    QCOMPARE(M.Brs.size(), 2);
    QVERIFY(!M.Cats.isEmpty());
    QCOMPARE(M.First, QString("2024-04-20 23:59:59"));
}

void TCollectorRunTest::filters_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<int>("Total");
    QTest::addColumn<QStringList>("Hosts"); // distinct hosts among the records, sorted

    const QStringList All = {"example.com", "github.com", "news.example.com", "www.baidu.com",
                             "www.bilibili.com", "www.example.com", "www.google.com"};
    QTest::newRow("include url") << QStringList{"/include:qtbase"} << 2 << QStringList{"github.com"};
    QTest::newRow("include ignores case") << QStringList{"/include:GITHUB"} << 2 << QStringList{"github.com"};
    QTest::newRow("include title") << QStringList{"/include:天气"} << 1 << QStringList{"www.baidu.com"};
    QTest::newRow("include any") << QStringList{"/include:github", "/include:哔哩"} << 3
                                 << QStringList{"github.com", "www.bilibili.com"};
    QTest::newRow("exclude domain and www") << QStringList{"/exclude:example.com"} << 6
                                            << QStringList{"github.com", "news.example.com", "www.baidu.com", "www.bilibili.com", "www.google.com"};
    QTest::newRow("exclude wildcard") << QStringList{"/exclude:*.example.com"} << 5
                                      << QStringList{"github.com", "www.baidu.com", "www.bilibili.com", "www.google.com"};
    QTest::newRow("exclude subdomain only") << QStringList{"/exclude:news.example.com"} << 7
                                            << QStringList{"example.com", "github.com", "www.baidu.com", "www.bilibili.com", "www.example.com", "www.google.com"};
    QTest::newRow("from to inclusive") << QStringList{"/from:2024-05-01", "/to:2024-05-02"} << 3
                                       << QStringList{"github.com", "www.baidu.com", "www.google.com"};
    QTest::newRow("from only") << QStringList{"/from:2024-05-05"} << 2 << QStringList{"example.com", "www.example.com"};
    QTest::newRow("to includes the last second") << QStringList{"/to:2024-04-20"} << 1 << QStringList{"www.bilibili.com"};
    QTest::newRow("days counts today") << QStringList{"/days:1"} << 2 << QStringList{"example.com", "www.example.com"};
    QTest::newRow("days two") << QStringList{"/days:2"} << 3 << QStringList{"example.com", "github.com", "www.example.com"};
    QTest::newRow("source firefox") << QStringList{"/src:firefox"} << 3
                                    << QStringList{"github.com", "www.bilibili.com", "www.google.com"};
    QTest::newRow("source ids any case") << QStringList{"/src:CHROME,Firefox"} << 8 << All;
    QTest::newRow("all together") << QStringList{"/src:chrome", "/from:2024-05-01", "/include:example", "/exclude:example.com"} << 1
                                  << QStringList{"news.example.com"};
}

void TCollectorRunTest::filters()
{
    QFETCH(QStringList, Args);
    QFETCH(int, Total);
    QFETCH(QStringList, Hosts);
    const TRun R = Run(Args);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->Get("stats")->I("total"), Total);
    QStringList Got;
    for (const QString& U : RecordUrls(R.Doc.get()))
        if (!Got.contains(QUrl(U).host()))
            Got << QUrl(U).host();
    Got.sort();
    QCOMPARE(Got, Hosts);
    qint64 Sum = 0;
    for (int I = 0; I < R.Doc->Get("sources")->Count(); ++I)
        Sum += R.Doc->Get("sources")->Items(I)->I("count");
    QCOMPARE(Sum, Total);
}

void TCollectorRunTest::privacy()
{
    const TRun R = Run({"/privacy"});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    for (const QString& U : RecordUrls(R.Doc.get())) {
        QVERIFY2(!U.contains('?') && !U.contains('#'), qPrintable(U));
    }
    QVERIFY(RecordUrls(R.Doc.get()).contains("https://github.com/qt/qtbase"));
    const TJsonValue* Pages = R.Doc->Get("pages");
    for (int I = 0; I < Pages->Count(); ++I)
        QVERIFY(!Pages->Items(I)->Items(0)->AsString().contains('?'));
    QCOMPARE(Pages->Items(0)->Items(0)->AsString(), QString("https://github.com/qt/qtbase"));
    // Statistics and the domain ranking are the same as without the switch.
    QCOMPARE(R.Doc->Get("stats")->I("uniqueUrl"), 7);
    QCOMPARE(R.Doc->Get("domains")->Count(), 6);
}

void TCollectorRunTest::limit()
{
    const TRun R = Run({"/limit:3"});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->Get("records")->Count(), 3);
    QCOMPARE(R.Doc->Get("truncated")->Kind(), jkTrue);
    QCOMPARE(R.Doc->Get("stats")->I("total"), 8);
    QCOMPARE(R.Doc->Get("records")->Items(0)->S("time"), QString("2024-05-05 13:00:00"));
    QCOMPARE(R.Doc->Get("records")->Items(2)->S("time"), QString("2024-05-04 09:00:00"));

    const TRun Exact = Run({"/limit:8"});
    QCOMPARE(Exact.Doc->Get("records")->Count(), 8);
    QCOMPARE(Exact.Doc->Get("truncated")->Kind(), jkFalse);
}

void TCollectorRunTest::noRecords()
{
    const TRun R = Run({"/from:2030-01-01"});
    QCOMPARE(R.Code, int(ceNoRecords));
    QVERIFY(R.Err.isEmpty());
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->S("range"), QString("2030-01-01 起"));
    QCOMPARE(R.Doc->Get("stats")->I("total", -1), 0);
    QCOMPARE(R.Doc->Get("heat")->Count(), 7);
    QCOMPARE(R.Doc->Get("records")->Count(), 0);
    QCOMPARE(R.Doc->Get("sources")->Count(), 4);
    QCOMPARE(R.Doc->Get("sources")->Items(0)->S("status"), QString("无记录"));
    QCOMPARE(R.Doc->Get("sources")->Items(0)->B("ok"), true);

    // No browser at all is no records, not a failure.
    const TRun Empty = Run({}, FTmp.filePath("nobody"));
    QCOMPARE(Empty.Code, int(ceNoRecords));
    QCOMPARE(Empty.Doc->Get("sources")->Count(), 0);

    // An HTML report with nothing in it is not written.
    const TRun Html = Run({"/from:2030-01-01", "/format:html", "/out:" + FTmp.filePath("html-none"), "/open"});
    QCOMPARE(Html.Code, int(ceNoRecords));
    QVERIFY(Html.File.isEmpty());
    QVERIFY(Html.Opened.isEmpty());
}

void TCollectorRunTest::failedSources_data()
{
    QTest::addColumn<QByteArray>("Content"); // empty: a folder instead of the file
    QTest::newRow("folder in place of the file") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x00\x01garbage", 9).repeated(1000);
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("truncated database") << QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\x10');
    QTest::newRow("other schema") << QByteArray("schema");
}

void TCollectorRunTest::failedSources()
{
    QFETCH(QByteArray, Content);
    const QString Home = FTmp.filePath(QString("bad-%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    const QString Db = BrowserPath(Home, ".config/vivaldi/Default/History");
    if (Content == "schema") {
        TSampleHistory H;
        H.Add("https://a.com/", "A", LocalUs("2024-05-01 10:00:00"));
        QString Err;
        // A Firefox database where Vivaldi expects its own: the tables are not there.
        QVERIFY(WriteFirefoxPlaces(Db, H, sjDelete, Err));
    } else if (QTest::currentDataTag() == QByteArray("folder in place of the file")) {
        QVERIFY(QDir().mkpath(Db));
    } else if (QTest::currentDataTag() == QByteArray("empty file")) {
        QVERIFY(WriteFile(Db, QByteArray()));
    } else {
        QVERIFY(WriteFile(Db, Content));
    }
    const auto Before = Snapshot(Home);
    const TRun R = Run({}, Home);
    QCOMPARE(R.Code, int(ceAllSourcesFailed));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    const TJsonValue* S = R.Doc->Get("sources")->Items(0);
    QCOMPARE(S->S("name"), QString("Vivaldi"));
    QCOMPARE(S->B("ok", true), false);
    QCOMPARE(S->S("status"), QString("读取失败"));
    QVERIFY(!S->S("msg").isEmpty());
    QCOMPARE(Snapshot(Home), Before);

    // Written to a folder, a failed run leaves no file behind.
    const TRun ToDir = Run({"/out:" + FTmp.filePath("failed-out")}, Home);
    QCOMPARE(ToDir.Code, int(ceAllSourcesFailed));
    QVERIFY(ToDir.File.isEmpty());
    QVERIFY(!ToDir.Err.isEmpty());
}

void TCollectorRunTest::damagedTimestamps_data()
{
    QTest::addColumn<bool>("Firefox");
    QTest::addColumn<QList<qint64>>("Stamps"); // Unix µs besides one good visit
    QTest::addColumn<int>("Skipped");          // far-future stamps fall outside the query
    const qint64 ChromeZero = -11644473600LL * 1000000;
    QTest::newRow("chromium zero, 1601, 1989, far future")
        << false << QList<qint64>{ChromeZero, ChromeZero + 1, LocalUs("1989-12-31 23:00:00"),
                                  std::numeric_limits<qint64>::max() - 11644473600LL * 1000000}
        << 3;
    QTest::newRow("firefox 1970, 1989") << true << QList<qint64>{1, LocalUs("1989-12-31 23:00:00")} << 2;
}

void TCollectorRunTest::damagedTimestamps()
{
    QFETCH(bool, Firefox);
    QFETCH(QList<qint64>, Stamps);
    QFETCH(int, Skipped);
    const QString Home = FTmp.filePath(QString("stamps-%1").arg(Firefox));
    TSampleHistory H;
    H.Add("https://a.com/", "A", LocalUs("2024-05-01 10:00:00"));
    for (const qint64 T : Stamps)
        H.Add("https://bad.com/", "bad", T);
    QString Err;
    if (Firefox) {
        QVERIFY(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/p/places.sqlite"), H, sjDelete, Err));
        QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n"));
    } else {
        QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err));
    }
    const TRun R = Run({}, Home);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->Get("stats")->I("total"), 1);
    QCOMPARE(R.Doc->Get("days")->Count(), 1);
    QCOMPARE(R.Doc->Get("stats")->S("first"), QString("2024-05-01 10:00:00"));
    const QString Msg = R.Doc->Get("sources")->Items(0)->S("msg");
    QVERIFY2(Msg.contains(QString("跳过 %1 条").arg(Skipped)), qPrintable(Msg));
}

void TCollectorRunTest::longFieldsCut_data()
{
    QTest::addColumn<bool>("Url");
    QTest::addColumn<int>("Kept"); // bytes of the field before the mark
    QTest::newRow("title") << false << 4096;
    QTest::newRow("url") << true << 65536;
}

void TCollectorRunTest::longFieldsCut()
{
    QFETCH(bool, Url);
    QFETCH(int, Kept);
    const QString Home = FTmp.filePath(QString("long-%1").arg(Url));
    const QString Long = QString(Kept, 'y') + "tail";
    TSampleHistory H;
    H.Add(Url ? "https://a.com/" + Long : "https://a.com/", Url ? "A" : Long, LocalUs("2024-05-01 10:00:00"));
    QString Err;
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err));
    const TRun R = Run({}, Home);
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    const QString Got = R.Doc->Get("records")->Items(0)->S(Url ? "url" : "title");
    QCOMPARE(Got.size(), Kept + 1);
    QVERIFY(Got.endsWith(QChar(0x2026)));
}

void TCollectorRunTest::specialFiles_data()
{
    QTest::addColumn<QString>("Target"); // replaced by a FIFO or a link to an endless device
    QTest::addColumn<bool>("Fifo");
    QTest::addColumn<QStringList>("Sources"); // name/profile/ok
    const QString Chrome = ".config/google-chrome/";
    const QString Fox = ".mozilla/firefox/";
    for (const bool Fifo : {true, false}) {
        const char* K = Fifo ? "fifo" : "zero";
        QTest::addRow("Local State %s", K) << Chrome + "Local State" << Fifo << QStringList{"Chrome/Default/1", "Firefox/p/1"};
        QTest::addRow("profiles.ini %s", K) << Fox + "profiles.ini" << Fifo << QStringList{"Chrome/个人/1"};
        QTest::addRow("History %s", K) << Chrome + "Default/History" << Fifo << QStringList{"Chrome/个人/0", "Firefox/p/1"};
        QTest::addRow("places wal %s", K) << Fox + "p/places.sqlite-wal" << Fifo << QStringList{"Chrome/个人/1", "Firefox/p/0"};
    }
}

void TCollectorRunTest::specialFiles()
{
#ifdef Q_OS_WIN
    QSKIP("FIFOs and links to endless devices are Linux facts");
#endif
    QFETCH(QString, Target);
    QFETCH(bool, Fifo);
    QFETCH(QStringList, Sources);
    const QString Home = FTmp.filePath("special-" + QString(QTest::currentDataTag()).replace(' ', '_'));
    TSampleHistory H;
    H.Add("https://a.com/", "A", LocalUs("2024-05-01 10:00:00"));
    QString Err;
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".config/google-chrome/Local State"), R"({"profile":{"info_cache":{"Default":{"name":"个人"}}}})"));
    QVERIFY(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/p/places.sqlite"), H, sjDelete, Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n"));
    const QString Path = Home + "/" + Target;
    QFile::remove(Path);
    if (Fifo)
        QCOMPARE(QProcess::execute("mkfifo", {Path}), 0);
    else
        QVERIFY(QFile::link("/dev/zero", Path));

    for (const QStringList& Args : {QStringList{}, QStringList{"/list"}}) {
        const TRun R = Run(Args, Home);
        QVERIFY2(R.Doc, qPrintable(R.ParseErr));
        QStringList Got;
        const TJsonValue* S = R.Doc->Get("sources");
        for (int I = 0; I < S->Count(); ++I) {
            const TJsonValue* Row = S->Items(I);
            Got << QString("%1/%2/%3").arg(Row->S("name"), Row->S("profile")).arg(Row->B("ok"));
            if (!Row->B("ok"))
                QVERIFY2(Row->S("msg").contains("不是普通文件"), qPrintable(Row->S("msg")));
        }
        QCOMPARE(Got, Sources);
    }
}

void TCollectorRunTest::profileReachedTwice_data()
{
    QTest::addColumn<bool>("Firefox");
    QTest::newRow("chromium profile linked under a second name") << false;
    QTest::newRow("profiles.ini entry pointing at a link") << true;
}

void TCollectorRunTest::profileReachedTwice()
{
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes shortcuts, not links, on Windows");
#endif
    QFETCH(bool, Firefox);
    const QString Home = FTmp.filePath(QString("twice-%1").arg(Firefox));
    const TSampleHistory H = MakeSampleHistory(40, LocalUs("2024-05-05 12:00:00"), 10, 5);
    QString Err;
    if (Firefox) {
        const QString Dir = BrowserPath(Home, ".mozilla/firefox/");
        QVERIFY(WriteFirefoxPlaces(Dir + "p/places.sqlite", H, sjDelete, Err));
        QVERIFY(QFile::link(Dir + "p", Dir + "q"));
        QVERIFY(WriteFile(Dir + "profiles.ini", "[Profile0]\nName=p\nIsRelative=1\nPath=p\n"
                                                "[Profile1]\nName=q\nIsRelative=1\nPath=q\n"));
    } else {
        const QString Dir = BrowserPath(Home, ".config/google-chrome/");
        QVERIFY(WriteChromiumHistory(Dir + "Default/History", H, sjDelete, Err));
        QVERIFY(QFile::link(Dir + "Default", Dir + "Profile 1"));
    }
    const TRun R = Run({}, Home);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->Get("sources")->Count(), 1);
    QCOMPARE(R.Doc->Get("stats")->I("total"), 40);
}

void TCollectorRunTest::writeFailureReason()
{
#ifdef Q_OS_WIN
    QSKIP("the file size limit of a shell is a Linux fact");
#endif
    // A file size limit fails the write midway, like a full disk does.
    const QString Home = FTmp.filePath("big");
    TSampleHistory H;
    for (int I = 0; I < 6000; ++I)
        H.Add("https://a.com/", QString(300, 'x'), LocalUs("2024-05-01 10:00:00") + I * 1000000LL);
    QString Err;
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err));
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(kHomeOverrideVar, Home);
    P.setProcessEnvironment(Env);
    P.start("sh", {"-c", "trap '' XFSZ; ulimit -f 2000; exec \"$0\" \"$@\"", MK_COLLECTOR_EXE,
                   "/out:" + FTmp.filePath("big-out")});
    QVERIFY(P.waitForFinished(60000));
    const QString Text = QString::fromUtf8(P.readAllStandardError());
    QVERIFY2(P.exitCode() == int(ceWriteFailed), qPrintable(Text));
    QVERIFY2(Text.contains(qt_error_string(EFBIG)), qPrintable(Text));
    QCOMPARE(QDir(FTmp.filePath("big-out")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TCollectorRunTest::copyFailureReason()
{
#ifdef Q_OS_WIN
    QSKIP("the file size limit of a shell is a Linux fact");
#endif
    // The private copy of a busy database (its WAL not yet written back) hits
    // a file size limit midway, as on a full disk: the source fails with the
    // system's reason instead of being read from a cut copy.
    const QString Home = FTmp.filePath("copy-big");
    const TSampleHistory H = MakeSampleHistory(30000, LocalUs("2024-05-05 12:00:00"), 60, 9);
    QString Err;
    const QString Db = BrowserPath(Home, ".config/google-chrome/Default/History");
    QVERIFY(WriteChromiumHistory(Db, H, sjWalLeft, Err));
    QVERIFY(QFileInfo(Db).size() > 2048 * 1024);
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(kHomeOverrideVar, Home);
    P.setProcessEnvironment(Env);
    P.start("sh", {"-c", "trap '' XFSZ; ulimit -f 2000; exec \"$0\" \"$@\"", MK_COLLECTOR_EXE});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), int(ceAllSourcesFailed));
    QString ParseErr;
    const auto Doc = ParseJson(QString::fromUtf8(P.readAllStandardOutput()), ParseErr);
    QVERIFY2(Doc, qPrintable(ParseErr));
    const QString Msg = Doc->Get("sources")->Items(0)->S("msg");
    QVERIFY2(Msg.contains(qt_error_string(EFBIG)), qPrintable(Msg));
}

static QStringList PrivateCopies(const QString& Temp)
{
    return QDir(Temp).entryList({"Marrowkin-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
}

// The first private folder in Temp, named with Prefix, that holds a copy.
static QString CopyIn(const QString& Temp, const QString& Prefix = "Marrowkin-")
{
    for (const QString& D : PrivateCopies(Temp))
        if (D.startsWith(Prefix) && QFile::exists(Temp + "/" + D + "/history.db"))
            return Temp + "/" + D;
    return {};
}

void TCollectorRunTest::stopLeavesNothing_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QByteArray>("Hold"); // where the run waits to be stopped
    QTest::addColumn<bool>("Runner");     // stopped by the front end's runner, else by SIGTERM
    for (const bool Runner : {false, true}) {
        const char* By = Runner ? "runner" : "SIGTERM";
        QTest::addRow("copies of a report, %s", By) << QStringList{} << QByteArray("MK_COLLECTOR_HOLD_MS") << Runner;
        QTest::addRow("copies of a detection, %s", By) << QStringList{"/list"} << QByteArray("MK_COLLECTOR_HOLD_MS") << Runner;
        QTest::addRow("report file half written, %s", By) << QStringList{"/out:"} << QByteArray("MK_COLLECTOR_HOLD_REPORT_MS") << Runner;
    }
}

void TCollectorRunTest::stopLeavesNothing()
{
    QFETCH(QStringList, Args);
    QFETCH(QByteArray, Hold);
    QFETCH(bool, Runner);
#ifdef Q_OS_WIN
    if (!Runner)
        QSKIP("SIGTERM is a POSIX fact; on Windows the runner's stop event asks instead");
#endif
    QTemporaryDir Dir(FTmp.filePath("stop-XXXXXX"));
    const QString Temp = Dir.filePath("tmp"), Out = Dir.filePath("out");
    QVERIFY(QDir().mkpath(Temp) && QDir().mkpath(Out));
    if (Args == QStringList{"/out:"})
        Args = {"/out:" + Out};
    TEnvScope Env;
    Env.Set(kHomeOverrideVar, FHome.toUtf8()).Set(TempVar(), QDir::toNativeSeparators(Temp).toUtf8()).Set(Hold, "30000");
    // Sources are read side by side, so several copies may exist at once.
    auto Held = [&]() -> QString {
        if (!CopyIn(Temp).isEmpty())
            return CopyIn(Temp);
        const QStringList Part = QDir(Out).entryList({"Marrowkin_Report_*.json.*"}, QDir::Files);
        return Part.isEmpty() ? QString() : Out + "/" + Part[0];
    };
    QProcess P;
    TConsoleRunner Run;
    QString Err;
    if (Runner)
        QVERIFY2(Run.Start(MK_COLLECTOR_EXE, QuoteArg(Args.value(0)), {}, Err), qPrintable(Err));
    else
        P.start(MK_COLLECTOR_EXE, Args);
    // Generous: a loaded machine may take long to reach the hold, which ends the wait at once.
    QTRY_VERIFY_WITH_TIMEOUT(!Held().isEmpty(), 90000);
    if (!Runner && Hold == "MK_COLLECTOR_HOLD_MS") {
        const QString Copy = Held();
        QCOMPARE(QFile::permissions(Copy) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(QFile::permissions(Copy + "/history.db") & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    }
    if (Runner) {
        Run.Stop();
        QByteArray Raw;
        bool Exited = false;
        quint32 Code = 0;
        QTRY_VERIFY_WITH_TIMEOUT(Exited || (Run.DrainBytes(Raw, Exited, Code), Exited), 15000);
    } else {
        P.terminate();
        QVERIFY(P.waitForFinished(10000));
        QCOMPARE(P.exitStatus(), QProcess::NormalExit);
        QCOMPARE(P.exitCode(), kStopExitCode);
    }
    QCOMPARE(PrivateCopies(Temp), QStringList());
    QCOMPARE(QDir(Out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TCollectorRunTest::staleCopiesRemoved()
{
    const QString Temp = FTmp.filePath("stale-tmp");
    // Its owner was killed: the lock file is there and nobody holds it.
    const QString Dead = Temp + "/Marrowkin-99999-abcDEF";
    QVERIFY(WriteFile(Dead + "/.lock", ""));
    QVERIFY(WriteFile(Dead + "/history.db", "copy"));
    // Just made, its owner about to lock it; and not one of ours.
    const QString Young = Temp + "/Marrowkin-1-abcDEF";
    const QString Other = Temp + "/Marrowkin-notes";
    for (const QString& D : {Young, Other})
        QVERIFY(WriteFile(D + "/history.db", "copy"));
    TEnvScope Env;
    Env.Set(TempVar(), QDir::toNativeSeparators(Temp).toUtf8());
    const TPrivateDir Live;
    QVERIFY(Live.IsValid());
    QVERIFY(WriteFile(Live.FilePath("history.db"), "copy"));
    const TRun R = Run({"/list"});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY(!QFileInfo::exists(Dead));
    for (const QString& Kept : {Young, Other, Live.FilePath("history.db")})
        QVERIFY2(QFileInfo::exists(Kept), qPrintable(Kept));
}

void TCollectorRunTest::otherNamespaceCopiesKept()
{
#ifdef Q_OS_WIN
    QSKIP("PID namespaces are a Linux fact");
#endif
    // The id of a process that has just ended: no process out here has it.
    QProcess Gone;
    Gone.start(MK_COLLECTOR_EXE, {"/days:x"});
    QVERIFY(Gone.waitForStarted());
    const qint64 Pid = Gone.processId();
    QVERIFY(Gone.waitForFinished());
    QTemporaryDir Dir(FTmp.filePath("ns-XXXXXX"));
    const QString Temp = Dir.path();
    TEnvScope Env;
    Env.Set(kHomeOverrideVar, FHome.toUtf8()).Set("TMPDIR", Temp.toUtf8()).Set("MK_COLLECTOR_HOLD_MS", "4000");
    // A collector in a PID namespace of its own, where it gets that id too.
    QProcess Inner;
    Inner.start("unshare", {"--user", "--map-root-user", "--pid", "--fork", "--mount-proc", "--kill-child", "sh", "-c",
                            "echo $0 > /proc/sys/kernel/ns_last_pid && \"$1\" /src:firefox; exit $?",
                            QString::number(Pid - 1), MK_COLLECTOR_EXE});
    const QString Prefix = QString("Marrowkin-%1-").arg(Pid);
    QTRY_VERIFY_WITH_TIMEOUT(!CopyIn(Temp, Prefix).isEmpty() || Inner.state() == QProcess::NotRunning, 20000);
    const QString Db = CopyIn(Temp, Prefix) + "/history.db";
    if (CopyIn(Temp, Prefix).isEmpty())
        QSKIP(qPrintable("no PID namespace to be had: " + Inner.errorString() + " " + Inner.readAllStandardError()));

    // Another run, out here, cleans up the shared temporary folder meanwhile.
    QCOMPARE(Run({"/list"}, FTmp.filePath("nobody")).Code, int(ceOk));
    QVERIFY(QFile::exists(Db));
    QVERIFY(Inner.waitForFinished(30000));
    QCOMPARE(Inner.exitCode(), int(ceOk));
    QString Err;
    const auto Doc = ParseJson(QString::fromUtf8(Inner.readAllStandardOutput()), Err);
    QVERIFY2(Doc, qPrintable(Err));
    QCOMPARE(Doc->Get("sources")->Items(0)->B("ok"), true);
    QCOMPARE(Doc->Get("stats")->I("total"), 3);
}

void TCollectorRunTest::chosenBrowsers_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QString>("Unread"); // created in a fresh home when set
    QTest::addColumn<int>("Code");
    QTest::addColumn<QStringList>("Rows"); // name|status|ok|a part of msg ("<home>": the home folder)
#ifdef Q_OS_WIN
    const QString NotLooked = "<home>";
#else
    const QString NotLooked = "本程序在此系统上不查找这个浏览器";
#endif
    QTest::newRow("only browsers that are not read") << QStringList{"/src:ie,sogou"} << QString() << 3
        << QStringList{"IE/旧版 Edge|未找到|0|" + NotLooked, "搜狗|未找到|0|" + NotLooked};
    QTest::newRow("only a browser not installed") << QStringList{"/src:vivaldi"} << QString() << 3
        << QStringList{"Vivaldi|未找到|0|<home>"};
    QTest::newRow("one there, one not") << QStringList{"/src:vivaldi,firefox"} << QString() << 0
        << QStringList{"Firefox|正常|1|", "Vivaldi|未找到|0|<home>"};
    QTest::newRow("detection") << QStringList{"/list", "/src:firefox,ie"} << QString() << 0
        << QStringList{"Firefox|正常|1|", "IE/旧版 Edge|未找到|0|" + NotLooked};
#ifdef Q_OS_WIN
    QTest::newRow("installed, not read") << QStringList{"/src:ie"} << "AppData/Local/Microsoft/Windows/WebCache/WebCacheV01.dat" << 3
        << QStringList{"IE/旧版 Edge|不支持|0|不读取"};
#endif
}

void TCollectorRunTest::chosenBrowsers()
{
    QFETCH(QStringList, Args);
    QFETCH(QString, Unread);
    QFETCH(int, Code);
    QFETCH(QStringList, Rows);
    QString Home = FHome;
    if (!Unread.isEmpty()) {
        Home = FTmp.filePath("unread");
        QVERIFY(WriteFile(Home + "/" + Unread, "not read here"));
    }
    const TRun R = Run(Args, Home);
    QCOMPARE(R.Code, Code);
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QStringList Got;
    const TJsonValue* S = R.Doc->Get("sources");
    for (int I = 0; I < S->Count(); ++I) {
        const TJsonValue* Row = S->Items(I);
        const QString Part = Rows.value(I).section('|', 3).replace("<home>", QDir::toNativeSeparators(Home));
        QVERIFY2(Row->S("msg").contains(Part), qPrintable(Row->S("msg")));
        Got << QString("%1|%2|%3|").arg(Row->S("name"), Row->S("status")).arg(Row->B("ok")) + Rows.value(I).section('|', 3);
    }
    QCOMPARE(Got, Rows);
    // The report window shows them as any other row.
    if (!Args.contains("/list"))
        QCOMPARE(ReadReportContent(R.Doc.get(), Code == ceNoRecords).Sources.size(), Rows.size());
}

void TCollectorRunTest::visitRules_data()
{
    QTest::addColumn<QStringList>("Args");
    // Chrome full, Chrome without transition, Chrome with times stored as text,
    // Firefox full, Firefox without visit_type.
    QTest::addColumn<QList<int>>("Counts");
    QTest::addColumn<QList<bool>>("Notes");
    const QList<int> Listed = {5, 3, 2, 4, 2}, Stored = {10, 3, 3, 8, 2};
    const QList<bool> Notes = {false, true, false, false, true}, None = {false, false, false, false, false};
    QTest::newRow("what the history page lists") << QStringList{} << Listed << Notes;
    QTest::newRow("every stored row") << QStringList{"/allvisits"} << Stored << None;
    QTest::newRow("a window, through the time index") << QStringList{"/from:2024-05-01", "/to:2024-05-01"} << Listed << Notes;
    // Detection counts what a report over the whole history would.
    QTest::newRow("detection") << QStringList{"/list"} << Listed << None;
    QTest::newRow("detection of every stored row") << QStringList{"/list", "/allvisits"} << Stored << None;
}

void TCollectorRunTest::visitRules()
{
    QFETCH(QStringList, Args);
    QFETCH(QList<int>, Counts);
    QFETCH(QList<bool>, Notes);
    const QString Home = FTmp.filePath("rules");
    if (!QFileInfo::exists(Home)) {
        QString Err;
        TSampleHistory C;
        qint64 T = LocalUs("2024-05-01 10:00:00");
        // Listed: typed, link, reload, a redirect's chain end (stored unsigned and,
        // as older versions did, as a negative 32-bit value).
        for (const qint64 Tr : {0x30000001LL, 0x30000000LL, 0x30000008LL, 0xA0000000LL, -1610612736LL,
                                // Not listed: sub-frames, keyword-generated, chain start and middle hops.
                                0x30000003LL, 0x30000004LL, 0x3000000ALL, 0x10000000LL, 0x80000000LL})
            C.Add(QString("https://c.com/%1").arg(Tr), "C", T += 60000000).Transition = Tr;
        QVERIFY2(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), C, sjDelete, Err), qPrintable(Err));

        TSampleHistory F;
        // Listed: link, typed, unknown type, redirect target. Not listed: embed,
        // download, framed link, and a link to a hidden place.
        for (const int Type : {1, 2, TSampleHistory::kNullType, 6, 4, 7, 8, 1})
            F.Add(QString("https://f.com/%1").arg(F.Visits.size()), "F", T += 60000000).VisitType = Type;
        F.Urls.back().Hidden = true;
        QVERIFY2(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/a/places.sqlite"), F, sjDelete, Err), qPrintable(Err));
        QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"),
                          "[Profile0]\nName=a\nIsRelative=1\nPath=a\n\n[Profile1]\nName=b\nIsRelative=1\nPath=b\n"));

        // Stripped schemas from very old or trimmed databases.
        for (const auto& [Path, Sql] : {std::pair{BrowserPath(Home, ".config/google-chrome/Profile 1/History"),
                                                  "CREATE TABLE urls(id INTEGER PRIMARY KEY, url, title);"
                                                  "CREATE TABLE visits(id INTEGER PRIMARY KEY, url, visit_time);"
                                                  "INSERT INTO urls VALUES(1, 'https://old.com/', 'Old');"
                                                  "INSERT INTO visits(url, visit_time) VALUES(1, 13359000000000000),"
                                                  "(1, 13359000001000000), (1, 13359000002000000);"},
                                        // Numbers kept as text, as some tools write them: one sub-frame.
                                        std::pair{BrowserPath(Home, ".config/google-chrome/Profile 2/History"),
                                                  "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);"
                                                  "CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER, visit_time VARCHAR,"
                                                  " transition INTEGER);"
                                                  "CREATE INDEX visits_time_index ON visits(visit_time);"
                                                  "INSERT INTO urls VALUES(1, 'https://text.com/', 'Text');"
                                                  "INSERT INTO visits(url, visit_time, transition) VALUES"
                                                  "(1, '13359000000000000', 805306368), (1, '13359000001000000', 805306368),"
                                                  "(1, '13359000002000000', 805306371);"},
                                        std::pair{BrowserPath(Home, ".mozilla/firefox/b/places.sqlite"),
                                                  "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url, title, hidden);"
                                                  "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id, visit_date);"
                                                  "INSERT INTO moz_places VALUES(1, 'https://old.org/', 'Old', 0);"
                                                  "INSERT INTO moz_historyvisits(place_id, visit_date) VALUES"
                                                  "(1, 1714550400000000), (1, 1714550401000000);"}}) {
            QVERIFY(QDir().mkpath(QFileInfo(Path).path()));
            sqlite3* Raw = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(Path).constData(), &Raw), SQLITE_OK);
            const int Rc = sqlite3_exec(Raw, Sql, nullptr, nullptr, nullptr);
            sqlite3_close(Raw);
            QCOMPARE(Rc, SQLITE_OK);
        }
    }

    const TRun R = Run(Args, Home);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    const TJsonValue* Src = R.Doc->Get("sources");
    QCOMPARE(Src->Count(), Counts.size());
    int Total = 0;
    for (int I = 0; I < Counts.size(); ++I) {
        QCOMPARE(Src->Items(I)->B("ok"), true);
        QCOMPARE(Src->Items(I)->I("count"), Counts[I]);
        QCOMPARE(!Src->Items(I)->S("msg").isEmpty(), Notes[I]);
        Total += Counts[I];
    }
    if (!Args.contains("/list")) {
        QCOMPARE(R.Doc->Get("stats")->I("total"), Total);
        QCOMPARE(R.Doc->Get("records")->Count(), Total);
    }
}

void TCollectorRunTest::ownTitles_data()
{
    QTest::addColumn<QString>("EdgeTime");
    QTest::addColumn<QString>("PageTitle");
    // Chrome stored "YouTube" at 10:00, Firefox nothing at 11:00.
    QTest::newRow("newest stored title wins") << "2024-05-01 12:00:00" << "Edge 标题";
    QTest::newRow("an empty newer title is passed over") << "2024-05-01 09:00:00" << "YouTube";
}

void TCollectorRunTest::ownTitles()
{
    QFETCH(QString, EdgeTime);
    QFETCH(QString, PageTitle);
    const QString Home = FTmp.filePath(QString("titles-%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    const QString Url = "https://www.youtube.com/watch?v=1";
    QString Err;
    TSampleHistory Chrome, Edge, Fox;
    Chrome.Add(Url, "YouTube", LocalUs("2024-05-01 10:00:00"));
    Edge.Add(Url, "Edge 标题", LocalUs(EdgeTime.toLatin1().constData()));
    Fox.Add(Url, "", LocalUs("2024-05-01 11:00:00"));
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), Chrome, sjDelete, Err));
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/microsoft-edge/Default/History"), Edge, sjDelete, Err));
    QVERIFY(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/w/places.sqlite"), Fox, sjDelete, Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"), "[Profile0]\nName=w\nIsRelative=1\nPath=w\n"));

    const TRun R = Run({}, Home);
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    const TJsonValue* Recs = R.Doc->Get("records");
    QCOMPARE(Recs->Count(), 3);
    for (int I = 0; I < 3; ++I) {
        const QString Browser = Recs->Items(I)->S("browser");
        const QString Expected = Browser == "Chrome" ? "YouTube" : Browser == "Edge" ? "Edge 标题" : "";
        QCOMPARE(Recs->Items(I)->S("title", "?"), Expected);
    }
    const TJsonValue* Pages = R.Doc->Get("pages");
    QCOMPARE(Pages->Count(), 1);
    QCOMPARE(Pages->Items(0)->Items(1)->AsString(), PageTitle);
    QCOMPARE(Pages->Items(0)->Items(2)->AsString(), QString("3"));
}

void TCollectorRunTest::manyRecords()
{
    // Enough records to be formatted in several blocks, on two threads where there are cores.
    const QString Home = FTmp.filePath("many");
    const TSampleHistory H = MakeSampleHistory(30000, LocalUs("2024-05-05 12:00:00"), 60, 5);
    QString Err;
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Default/History"), H, sjDelete, Err));
    const TRun R = Run({}, Home);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    const TJsonValue* Recs = R.Doc->Get("records");
    QCOMPARE(Recs->Count(), 30000);
    for (int I = 1; I < Recs->Count(); ++I)
        QVERIFY(Recs->Items(I - 1)->S("time") >= Recs->Items(I)->S("time"));
}

void TCollectorRunTest::chipsCountAsTheReport_data()
{
    QTest::addColumn<int>("Kind");
    QTest::newRow("trend day") << int(ckDay);
    QTest::newRow("heat cell") << int(ckHour);
    QTest::newRow("browser") << int(ckBrowser);
    QTest::newRow("category") << int(ckCategory);
}

// A chart item's chip selects exactly the records the report counted for
// that item: the window's record keys (category rule included) agree with
// the collector's statistics on realistic histories.
void TCollectorRunTest::chipsCountAsTheReport()
{
    QFETCH(int, Kind);
    static const TRun R = [this] {
        const QString Home = FTmp.filePath("chips");
        QString Err;
        if (!MakeSampleHome(Home, 4000, Err))
            qFatal("sample home: %s", qPrintable(Err));
        return Run({}, Home);
    }();
    QCOMPARE(R.Code, int(ceOk));
    // Read from the bytes, as the window reads them: fields are views into them.
    QString Err;
    const std::unique_ptr<TJsonValue> Doc = ParseJsonBytes(R.Out, Err);
    QVERIFY2(Doc, qPrintable(Err));
    QCOMPARE(Doc->Get("truncated")->Kind(), jkFalse);
    const TJsonValue* Recs = Doc->Get("records");
    const TReportContent C = ReadReportContent(Doc.get(), false);
    TRecordKeys Keys;
    Keys.Build(Recs);
    std::vector<int> All(size_t(Recs->Count()));
    std::iota(All.begin(), All.end(), 0);
    const QList<int> Sizes = {int(C.Days.size()), 7 * 24, int(C.Brs.size()), int(C.Cats.size())};
    QVERIFY(Sizes[Kind] > 2);
    qint64 Sum = 0;
    for (int I = 0; I < Sizes[Kind]; ++I) {
        const std::optional<TRecordChip> Chip = DrillChip(C, TChipKind(Kind), I);
        QVERIFY(Chip);
        const qint64 Counted = Kind == ckDay       ? C.Days[I].Count
                               : Kind == ckHour    ? C.Heat[size_t(I / 24)][size_t(I % 24)]
                               : Kind == ckBrowser ? C.Brs[I].Value
                                                   : C.Cats[I].Value;
        QCOMPARE(qint64(Keys.Select({*Chip}, All).size()), Counted);
        Sum += Counted;
    }
    QCOMPARE(Sum, qint64(Recs->Count()));
}

void TCollectorRunTest::openTransaction()
{
    // A browser in the middle of writing: its changes already spilled into the
    // file, the old pages in the rollback journal. The report shows the last
    // committed state and the browser's files stay untouched.
    const QString Home = FTmp.filePath("busy");
    const QString Db = BrowserPath(Home, ".config/google-chrome/Default/History");
    const TSampleHistory H = MakeSampleHistory(300, LocalUs("2024-05-05 12:00:00"), 30, 3);
    QString Err;
    QVERIFY(WriteChromiumHistory(Db, H, sjDelete, Err));
    sqlite3* Raw = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(Db).constData(), &Raw), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> Conn(Raw, sqlite3_close);
    QCOMPARE(sqlite3_exec(Raw, "PRAGMA cache_size=2; BEGIN IMMEDIATE; "
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<20000) "
                               "INSERT INTO visits(url, visit_time) SELECT 1, 13359000000000000 + i FROM n;",
                          nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(QFileInfo(Db + "-journal").size() > 0);
    const auto Before = Snapshot(Home);

    const TRun R = Run({}, Home);
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->Get("sources")->Items(0)->S("msg"), QString());
    QCOMPARE(R.Doc->Get("sources")->Items(0)->I("count"), 300);
    QCOMPARE(Snapshot(Home), Before);
    sqlite3_exec(Raw, "ROLLBACK", nullptr, nullptr, nullptr);
}

void TCollectorRunTest::listMode()
{
    const TRun R = Run({"/list", "/format:json", "/from:2030-01-01"});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY2(R.Doc, qPrintable(R.ParseErr));
    QCOMPARE(R.Doc->S("generated"), QString("2024-05-05 15:00:00"));
    const TJsonValue* S = R.Doc->Get("sources");
    QCOMPARE(S->Count(), 4);
    // Counts are what a report over the whole history counts, whatever the range.
    QCOMPARE(S->Items(0)->I("count"), 5);
    QCOMPARE(S->Items(0)->B("ok"), true);
    QCOMPARE(S->Items(0)->S("status"), QString("正常"));
    QCOMPARE(S->Items(2)->B("ok", true), false);
    QCOMPARE(S->Items(3)->I("count"), 3);
    QVERIFY(!R.Doc->Get("records"));
}

void TCollectorRunTest::allUsers()
{
    const QString Users = FTmp.filePath("users");
    TSampleHistory H;
    H.Add("https://a.com/", "A", LocalUs("2024-05-01 10:00:00"));
    QString Err;
    QVERIFY(WriteChromiumHistory(BrowserPath(Users + "/alice", ".config/BraveSoftware/Brave-Browser/Default/History"), H, sjDelete, Err));
    QVERIFY(WriteChromiumHistory(BrowserPath(Users + "/bob", ".config/opera/History"), H, sjDelete, Err));
    QVERIFY(QDir().mkpath(Users + "/carol"));

    const TRun R = Run({"/user:all"});
    QCOMPARE(R.Code, int(ceOk));
    QCOMPARE(R.Doc->S("scope"), QString("全部用户"));
    const TJsonValue* S = R.Doc->Get("sources");
    QCOMPARE(S->Count(), 2);
    QCOMPARE(S->Items(0)->S("name"), QString("Brave"));
    QCOMPARE(S->Items(0)->S("profile"), QString("alice/Default"));
    QCOMPARE(S->Items(1)->S("name"), QString("Opera"));
    QCOMPARE(S->Items(1)->S("profile"), QString("bob/Default"));

#ifndef Q_OS_WIN
    // XDG_CONFIG_HOME moves the current user's browser folders.
    const QString Xdg = FTmp.filePath("xdg");
    QVERIFY(WriteChromiumHistory(Xdg + "/chromium/Default/History", H, sjDelete, Err));
    qputenv("XDG_CONFIG_HOME", Xdg.toUtf8());
    qputenv("HOME", FTmp.filePath("nobody").toUtf8());
    const TRun X = Run({}, kSystemHome);
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(X.Code, int(ceOk));
    QCOMPARE(X.Doc->Get("sources")->Items(0)->S("name"), QString("Chromium"));
#else
    // LOCALAPPDATA and APPDATA move the current user's browser folders.
    const QString Local = FTmp.filePath("local"), Roaming = FTmp.filePath("roaming");
    QVERIFY(WriteChromiumHistory(Local + "/Google/Chrome/User Data/Default/History", H, sjDelete, Err));
    QVERIFY(WriteChromiumHistory(Roaming + "/Opera Software/Opera Stable/History", H, sjDelete, Err));
    qputenv("USERPROFILE", FTmp.filePath("nobody").toUtf8());
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(Local).toUtf8());
    qputenv("APPDATA", QDir::toNativeSeparators(Roaming).toUtf8());
    const TRun X = Run({}, kSystemHome);
    QCOMPARE(X.Code, int(ceOk));
    const TJsonValue* XS = X.Doc->Get("sources");
    QCOMPARE(XS->Count(), 2);
    QCOMPARE(XS->Items(0)->S("name"), QString("Chrome"));
    QCOMPARE(XS->Items(1)->S("name"), QString("Opera"));
#endif
    const TRun Only = Run({"/src:edge"}, FTmp.filePath("nobody"));
    QCOMPARE(Only.Code, int(ceAllSourcesFailed));
    QCOMPARE(Only.Doc->Get("sources")->Count(), 1);
    QCOMPARE(Only.Doc->Get("sources")->Items(0)->S("status"), QString("未找到"));
}

void TCollectorRunTest::walIsReadAndFilesStayUnchanged()
{
    const QString Home = FTmp.filePath("wal");
    const TSampleHistory H = MakeSampleHistory(500, LocalUs("2024-05-05 12:00:00"), 30, 7);
    QString Err;
    const QString Chrome = BrowserPath(Home, ".config/google-chrome/Default/History");
    QVERIFY(WriteChromiumHistory(Chrome, H, sjWalLeft, Err));
    // In WAL mode with nothing left in a WAL: read where it lies, without a trace.
    QVERIFY(WriteChromiumHistory(BrowserPath(Home, ".config/google-chrome/Profile 1/History"), H, sjWal, Err));
    QVERIFY(WriteFirefoxPlaces(BrowserPath(Home, ".mozilla/firefox/p/places.sqlite"), H, sjWalLeft, Err));
    QVERIFY(WriteFile(BrowserPath(Home, ".mozilla/firefox/profiles.ini"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n"));
    QVERIFY(QFileInfo(Chrome + "-wal").size() > 0);
    const auto Before = Snapshot(Home);

    // The report and detection count the 500 visits made, not the rows the
    // history page leaves out; the last tenth lives only in the -wal files.
    QVERIFY(H.Visits.size() > 500);
    for (const QStringList& Args : {QStringList{}, QStringList{"/list"}}) {
        const TRun R = Run(Args, Home);
        QCOMPARE(R.Code, int(ceOk));
        QVERIFY2(R.Doc, qPrintable(R.ParseErr));
        for (int I = 0; I < 3; ++I)
            QCOMPARE(R.Doc->Get("sources")->Items(I)->I("count"), 500);
        QCOMPARE(Snapshot(Home), Before);
    }
}

void TCollectorRunTest::jsonToFolder()
{
    const QString Out = FTmp.filePath("out/a b/c");
    // Left by a run killed while writing, and a file that is not ours.
    QVERIFY(WriteFile(Out + "/Marrowkin_Report_20240101_000000.json.Ab12Cd", "{\"title\""));
    QVERIFY(WriteFile(Out + "/notes.txt.Ab12Cd", "mine"));
    const TRun R = Run({"/format:json", "/out:" + Out});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY(R.Out.isEmpty());
    QVERIFY(R.Err.isEmpty());
    QCOMPARE(R.File, QDir(Out).filePath("Marrowkin_Report_20240505_150000.json"));
    QCOMPARE(QDir(Out).entryList(QDir::Files), QStringList({"Marrowkin_Report_20240505_150000.json", "notes.txt.Ab12Cd"}));
    // A second report of the same second stands beside the first.
    const TRun Again = Run({"/format:json", "/out:" + Out});
    QCOMPARE(Again.File, QDir(Out).filePath("Marrowkin_Report_20240505_150000_2.json"));
    QFile F(R.File);
    QVERIFY(F.open(QIODevice::ReadOnly));
    const QByteArray Bytes = F.readAll();
    QVERIFY(!Bytes.startsWith("\xEF\xBB\xBF"));
    QString Err;
    const auto Doc = ParseJson(QString::fromUtf8(Bytes), Err);
    QVERIFY2(Doc, qPrintable(Err));
    QCOMPARE(Doc->Get("stats")->I("total"), 8);
}

void TCollectorRunTest::writeFailure()
{
    const QString Blocker = FTmp.filePath("blocker");
    QVERIFY(WriteFile(Blocker, "x"));
    const TRun R = Run({"/format:json", "/out:" + Blocker + "/sub"});
    QCOMPARE(R.Code, int(ceWriteFailed));
    QVERIFY(!R.Err.isEmpty());
    QVERIFY(R.Out.isEmpty());

    // A folder under the report's name is a name taken like any other.
    const QString Taken = FTmp.filePath("taken");
    QVERIFY(QDir().mkpath(Taken + "/Marrowkin_Report_20240505_150000.json"));
    const TRun Beside = Run({"/format:json", "/out:" + Taken});
    QCOMPARE(Beside.Code, int(ceOk));
    QCOMPARE(QDir(Taken).entryList(QDir::Files | QDir::Hidden), QStringList{"Marrowkin_Report_20240505_150000_2.json"});
}

void TCollectorRunTest::htmlReport()
{
    const QString Out = FTmp.filePath("html");
    const TRun R = Run({"/format:html", "/out:" + Out, "/open", "/title:<b>标题</b> & \"引号\""});
    QCOMPARE(R.Code, int(ceOk));
    QVERIFY(R.Out.isEmpty());
    QCOMPARE(R.File, QDir(Out).filePath("Marrowkin_Report_20240505_150000.html"));
    QCOMPARE(R.Opened, QStringList{R.File});
    QFile F(R.File);
    QVERIFY(F.open(QIODevice::ReadOnly));
    const QString Html = QString::fromUtf8(F.readAll());
    QVERIFY(Html.startsWith("<!DOCTYPE html>"));
    QVERIFY(Html.contains("&lt;b&gt;标题&lt;/b&gt; &amp; &quot;引号&quot;"));
    QVERIFY(!Html.contains("<b>标题"));
    // The hostile page title shows as text only.
    QVERIFY(Html.contains("Example News &lt;img src=&quot;http://evil.example/x.png&quot;&gt;"));
    QVERIFY(!Html.contains(QRegularExpression("<(script|link|img|iframe|object|embed)\\b", QRegularExpression::CaseInsensitiveOption)));
    QVERIFY(!Html.contains(QRegularExpression("<[^>]*\\s(src|srcset|background|poster|data)\\s*=", QRegularExpression::CaseInsensitiveOption)));
    QVERIFY(!Html.contains("@import"));
    QVERIFY(!Html.contains(QRegularExpression("url\\s*\\(", QRegularExpression::CaseInsensitiveOption)));
    // Only anchors may point outside, and only to visited pages.
    const QRegularExpression Href("href=\"([^\"]*)\"");
    auto It = Href.globalMatch(Html);
    int Links = 0;
    while (It.hasNext()) {
        const QString Target = It.next().captured(1);
        QVERIFY2(Target.startsWith("https://") || Target.startsWith("http://"), qPrintable(Target));
        ++Links;
    }
    QVERIFY(Links > 0);
    for (const char* Part : {"<svg", "周四", "github.com", "读取失败", "访问明细"})
        QVERIFY2(Html.contains(QString::fromUtf8(Part)), Part);
}

void TCollectorRunTest::process_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QString>("Home");
    QTest::addColumn<int>("Code");
    QTest::addColumn<bool>("Document");

    QTest::newRow("success") << QStringList{"/title:浏览器访问记录报告", "/format:json"} << "home" << 0 << true;
    QTest::newRow("list") << QStringList{"/list", "/format:json"} << "home" << 0 << true;
    QTest::newRow("bad days") << QStringList{"/days:abc"} << "home" << 1 << false;
    QTest::newRow("from after to") << QStringList{"/from:2024-05-02", "/to:2024-05-01"} << "home" << 1 << false;
    QTest::newRow("no records") << QStringList{"/from:2030-01-01"} << "home" << 2 << true;
    QTest::newRow("all failed") << QStringList{"/src:edge"} << "home" << 3 << true;
}

void TCollectorRunTest::process()
{
    QFETCH(QStringList, Args);
    QFETCH(QString, Home);
    QFETCH(int, Code);
    QFETCH(bool, Document);
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(kHomeOverrideVar, FTmp.filePath(Home));
    Env.insert(kZoneOverrideVar, Zone().id());
    Env.remove("XDG_CONFIG_HOME");
    P.setProcessEnvironment(Env);
    P.start(MK_COLLECTOR_EXE, Args);
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitStatus(), QProcess::NormalExit);
    QCOMPARE(P.exitCode(), Code);
    const QByteArray Out = P.readAllStandardOutput();
    const QByteArray Err = P.readAllStandardError();
    if (Document) {
        // Standard output holds the document and nothing else; standard error stays silent.
        QVERIFY2(Err.isEmpty(), Err.constData());
        QString ParseErr;
        QVERIFY2(ParseJson(QString::fromUtf8(Out), ParseErr), qPrintable(ParseErr));
        QVERIFY(Out.startsWith('{'));
    } else {
        QVERIFY(Out.isEmpty());
        QVERIFY(!Err.isEmpty());
        QVERIFY(QString::fromUtf8(Err).contains(QString::fromUtf8("参数错误")));
    }
}

QTEST_GUILESS_MAIN(TCollectorRunTest)
#include "tst_collector_run.moc"
