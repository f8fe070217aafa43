#include "collector_options.h"
#include "history_time.h"
#include "sqlite_util.h"
#include "json.h"
#include "text_out.h"
#include "url_info.h"
#include "utf8.h"

#include <QDateTime>
#include <QTimeZone>
#include <QStringDecoder>
#include <QTest>

#include <ctime>

class TCollectorUnitsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void switches_data();
    void switches();
    void badSwitches_data();
    void badSwitches();
    void timeConversion_data();
    void timeConversion();
    void timeWindow_data();
    void timeWindow();
    void hosts_data();
    void hosts();
    void exclusion_data();
    void exclusion();
    void searchKeywords_data();
    void searchKeywords();
    void categories_data();
    void categories();
    void jsonStrings_data();
    void jsonStrings();
    void columnTexts_data();
    void columnTexts();
    void htmlText();
};

void TCollectorUnitsTest::initTestCase()
{
    // A zone with summer time, so offsets that change in the year get exercised.
    qputenv(kZoneOverrideVar, "Europe/Berlin");
}

void TCollectorUnitsTest::switches_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QString>("Check");
    QTest::addColumn<QString>("Expected");

    QTest::newRow("defaults") << QStringList{} << "title" << QString::fromUtf8(kDefaultTitle);
    QTest::newRow("empty title keeps default") << QStringList{"/title:"} << "title" << QString::fromUtf8(kDefaultTitle);
    QTest::newRow("title with blanks") << QStringList{"/TITLE:我的 报告"} << "title" << "我的 报告";
    QTest::newRow("sources lower-cased") << QStringList{"/Src:Chrome,FIREFOX"} << "src" << "chrome,firefox";
    QTest::newRow("src auto means all") << QStringList{"/src:auto"} << "src" << "";
    QTest::newRow("later src replaces") << QStringList{"/src:edge", "/src:brave"} << "src" << "brave";
    QTest::newRow("includes accumulate") << QStringList{"/include:a b", "/INCLUDE:c"} << "include" << "a b|c";
    QTest::newRow("exclude url form") << QStringList{"/exclude:https://WWW.Example.com:8080/x?y"} << "exclude" << "www.example.com";
    QTest::newRow("exclude wildcard") << QStringList{"/exclude:*.Example.COM."} << "exclude" << "*.example.com";
    QTest::newRow("days") << QStringList{"/days:30"} << "range" << "最近 30 天";
    QTest::newRow("from to") << QStringList{"/from:2024/5/1", "/to:2024-05-31"} << "range" << "2024-05-01 至 2024-05-31";
    QTest::newRow("same day") << QStringList{"/from:2024-05-01", "/to:2024-05-01"} << "range" << "2024-05-01 至 2024-05-01";
    QTest::newRow("all history") << QStringList{} << "range" << "全部历史";
    QTest::newRow("limit") << QStringList{"/limit:100"} << "limit" << "100";
    QTest::newRow("flags") << QStringList{"/privacy", "/user:ALL", "/format:HTML", "/out:/tmp/x y", "/open", "/LIST", "/AllVisits"}
                           << "flags" << "privacy all html /tmp/x y open list allvisits";
}

void TCollectorUnitsTest::switches()
{
    QFETCH(QStringList, Args);
    QFETCH(QString, Check);
    QFETCH(QString, Expected);
    TCollectorOptions O;
    QString Err;
    QVERIFY2(ParseCollectorArgs(Args, O, Err), qPrintable(Err));
    QString Got;
    if (Check == "title")
        Got = O.FTitle;
    else if (Check == "src")
        Got = O.FSources.join(',');
    else if (Check == "include")
        Got = O.FInclude.join('|');
    else if (Check == "exclude")
        Got = O.FExclude.join('|');
    else if (Check == "range")
        Got = RangeText(O);
    else if (Check == "limit")
        Got = QString::number(O.FLimit);
    else
        Got = QStringList{O.FPrivacy ? "privacy" : "", O.FAllUsers ? "all" : "",
                          O.FFormat == ofHtml ? "html" : "json", O.FOutDir, O.FOpen ? "open" : "",
                          O.FList ? "list" : "", O.FAllVisits ? "allvisits" : ""}.join(' ');
    QCOMPARE(Got, Expected);
}

void TCollectorUnitsTest::badSwitches_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::newRow("unknown switch") << QStringList{"/bogus"};
    QTest::newRow("bare word") << QStringList{"chrome"};
    QTest::newRow("privacy with value") << QStringList{"/privacy:1"};
    QTest::newRow("days text") << QStringList{"/days:abc"};
    QTest::newRow("days zero") << QStringList{"/days:0"};
    QTest::newRow("days negative") << QStringList{"/days:-3"};
    QTest::newRow("bad month") << QStringList{"/from:2024-13-01"};
    QTest::newRow("no such day") << QStringList{"/to:2023-02-30"};
    QTest::newRow("date with time") << QStringList{"/from:2024-05-01 10:00"};
    QTest::newRow("from after to") << QStringList{"/from:2024-05-02", "/to:2024-05-01"};
    QTest::newRow("days with dates") << QStringList{"/days:3", "/from:2024-05-01"};
    QTest::newRow("limit text") << QStringList{"/limit:lots"};
    QTest::newRow("limit negative") << QStringList{"/limit:-1"};
    QTest::newRow("format") << QStringList{"/format:xml"};
    QTest::newRow("unknown source") << QStringList{"/src:chrome,netscape"};
    QTest::newRow("user") << QStringList{"/user:bob"};
    QTest::newRow("empty out") << QStringList{"/out:"};
}

void TCollectorUnitsTest::badSwitches()
{
    QFETCH(QStringList, Args);
    TCollectorOptions O;
    QString Err;
    QVERIFY(!ParseCollectorArgs(Args, O, Err));
    QVERIFY(!Err.isEmpty());
    // The message is meant for Chinese readers.
    QVERIFY(std::any_of(Err.cbegin(), Err.cend(), [](QChar C) { return C.unicode() >= 0x4E00 && C.unicode() <= 0x9FFF; }));
}

void TCollectorUnitsTest::timeConversion_data()
{
    QTest::addColumn<qint64>("UnixSecs");
    QTest::addColumn<QString>("Local");
    QTest::addColumn<int>("Weekday");

    QTest::newRow("summer") << qint64(1714521600) << "2024-05-01 02:00:00" << 3;
    QTest::newRow("winter") << qint64(1705320000) << "2024-01-15 13:00:00" << 1;
    QTest::newRow("before the spring jump") << qint64(1711846799) << "2024-03-31 01:59:59" << 0;
    QTest::newRow("after the spring jump") << qint64(1711848600) << "2024-03-31 03:30:00" << 0;
    QTest::newRow("autumn, second 02:30") << qint64(1729992600) << "2024-10-27 02:30:00" << 0;
    QTest::newRow("leap day to March") << qint64(1709249400) << "2024-03-01 00:30:00" << 5;
    QTest::newRow("epoch in Berlin") << qint64(-3600) << "1970-01-01 00:00:00" << 4;
    QTest::newRow("end of year") << qint64(1735685999) << "2024-12-31 23:59:59" << 2;
}

void TCollectorUnitsTest::timeConversion()
{
    QFETCH(qint64, UnixSecs);
    QFETCH(QString, Local);
    QFETCH(int, Weekday);
    const qint64 UnixUs = UnixSecs * 1000000 + 999999;

    TLocalClock Clock;
    // The same instant as stored by Chromium (since 1601) and Firefox (since 1970).
    QCOMPARE(Clock.FormatText(ChromeToUnixUs(UnixToChromeUs(UnixUs))), Local);
    QCOMPARE(Clock.FormatText(FirefoxToUnixUs(UnixUs)), Local);
    QCOMPARE(Clock.Convert(UnixUs).Weekday, Weekday);
    QCOMPARE(ChromeToUnixUs(13359009600000000), qint64(1714536000) * 1000000);
    // Agrees with Qt's own conversion.
    QCOMPARE(Clock.FormatText(UnixUs),
             QDateTime::fromSecsSinceEpoch(UnixSecs, QTimeZone("Europe/Berlin")).toString("yyyy-MM-dd hh:mm:ss"));
    QCOMPARE(DayText(Clock.Convert(UnixUs).DayNumber), Local.left(10));
}

void TCollectorUnitsTest::timeWindow_data()
{
    QTest::addColumn<int>("Days");
    QTest::addColumn<QString>("From");
    QTest::addColumn<QString>("To");
    QTest::addColumn<QString>("First");   // first local second inside
    QTest::addColumn<QString>("After");   // first local second after the window

    QTest::newRow("today only") << 1 << "" << "" << "2024-03-31 00:00:00" << "2024-04-01 00:00:00";
    QTest::newRow("seven days") << 7 << "" << "" << "2024-03-25 00:00:00" << "2024-04-01 00:00:00";
    QTest::newRow("dates both included") << 0 << "2024-05-01" << "2024-05-31" << "2024-05-01 00:00:00" << "2024-06-01 00:00:00";
    QTest::newRow("one day over the jump") << 0 << "2024-03-31" << "2024-03-31" << "2024-03-31 00:00:00" << "2024-04-01 00:00:00";
}

void TCollectorUnitsTest::timeWindow()
{
    QFETCH(int, Days);
    QFETCH(QString, From);
    QFETCH(QString, To);
    QFETCH(QString, First);
    QFETCH(QString, After);
    const QDate Today(2024, 3, 31);
    const TTimeWindow W = MakeTimeWindow(Days, QDate::fromString(From, Qt::ISODate),
                                         QDate::fromString(To, Qt::ISODate), Today);
    auto Us = [](const QString& T) {
        QDateTime D = QDateTime::fromString(T, "yyyy-MM-dd hh:mm:ss");
        D.setTimeZone(QTimeZone("Europe/Berlin"));
        return D.toMSecsSinceEpoch() * 1000;
    };
    QCOMPARE(W.FromUs, Us(First));
    QCOMPARE(W.ToUs, Us(After));
}

void TCollectorUnitsTest::hosts_data()
{
    QTest::addColumn<QString>("Url");
    QTest::addColumn<QString>("Host");
    QTest::addColumn<QString>("Stripped");
    QTest::newRow("plain") << "https://WWW.Example.COM/a/b" << "www.example.com" << "https://WWW.Example.COM/a/b";
    QTest::newRow("port user query") << "http://u:p@host.cn:8080?x=1#f" << "host.cn" << "http://u:p@host.cn:8080";
    QTest::newRow("fragment before query") << "https://a.com/p#x?y" << "a.com" << "https://a.com/p";
    QTest::newRow("ipv6") << "http://[::1]:8080/x" << "[::1]" << "http://[::1]:8080/x";
    QTest::newRow("file") << "file:///home/a.html?q" << "" << "file:///home/a.html";
    QTest::newRow("about") << "about:blank" << "" << "about:blank";
    QTest::newRow("trailing dot") << "https://example.com./" << "example.com" << "https://example.com./";
}

void TCollectorUnitsTest::hosts()
{
    QFETCH(QString, Url);
    QFETCH(QString, Host);
    QFETCH(QString, Stripped);
    QCOMPARE(HostOf(Url), Host);
    QCOMPARE(StripQuery(Url), Stripped);
}

void TCollectorUnitsTest::exclusion_data()
{
    QTest::addColumn<QString>("Pattern");
    QTest::addColumn<QString>("Host");
    QTest::addColumn<bool>("Excluded");
    QTest::newRow("exact") << "example.com" << "example.com" << true;
    QTest::newRow("www of exact") << "example.com" << "www.example.com" << true;
    QTest::newRow("sub not by exact") << "example.com" << "news.example.com" << false;
    QTest::newRow("wildcard sub") << "*.example.com" << "a.b.example.com" << true;
    QTest::newRow("wildcard itself") << "*.example.com" << "example.com" << true;
    QTest::newRow("wildcard lookalike") << "*.example.com" << "badexample.com" << false;
    QTest::newRow("suffix lookalike") << "example.com" << "notexample.com" << false;
    QTest::newRow("typed as url") << "https://Example.com/path" << "example.com" << true;
}

void TCollectorUnitsTest::exclusion()
{
    QFETCH(QString, Pattern);
    QFETCH(QString, Host);
    QFETCH(bool, Excluded);
    QCOMPARE(DomainExcluded(Host, {NormaliseDomainPattern(Pattern)}), Excluded);
}

void TCollectorUnitsTest::searchKeywords_data()
{
    QTest::addColumn<QString>("Url");
    QTest::addColumn<QString>("Keyword");
    QTest::newRow("baidu") << "https://www.baidu.com/s?ie=utf-8&wd=%E5%A4%A9%E6%B0%94+%E9%A2%84%E6%8A%A5" << "天气 预报";
    QTest::newRow("baidu mobile word") << "https://m.baidu.com/s?word=%E9%AB%98%E9%93%81" << "高铁";
    QTest::newRow("baidu tieba is no search") << "https://tieba.baidu.com/f?kw=abc&wd=x" << "";
    QTest::newRow("google plus and trim") << "https://www.google.com.hk/search?q=++Qt+QProcess++&hl=zh" << "Qt QProcess";
    QTest::newRow("google maps") << "https://www.google.com/maps?q=Berlin" << "";
    QTest::newRow("google lookalike") << "https://google.evil.example/search?q=x" << "";
    QTest::newRow("bing") << "https://cn.bing.com/search?form=QBLH&q=cmake%20find_package" << "cmake find_package";
    QTest::newRow("sogou") << "https://www.sogou.com/web?query=%E7%BF%BB%E8%AF%91" << "翻译";
    QTest::newRow("360") << "https://www.so.com/s?q=%E6%B2%B9%E4%BB%B7&src=srp" << "油价";
    QTest::newRow("yandex") << "https://yandex.ru/search/?text=sqlite&lr=213" << "sqlite";
    QTest::newRow("duckduckgo") << "https://duckduckgo.com/?q=rust+book&ia=web" << "rust book";
    QTest::newRow("empty terms") << "https://www.baidu.com/s?wd=&rsv=1" << "";
    QTest::newRow("bad escape kept") << "https://www.bing.com/search?q=100%zz" << "100%zz";
    QTest::newRow("fragment ignored") << "https://duckduckgo.com/?q=a#q=b" << "a";
}

void TCollectorUnitsTest::searchKeywords()
{
    QFETCH(QString, Url);
    QFETCH(QString, Keyword);
    QCOMPARE(SearchKeyword(Url, HostOf(Url)), Keyword);
}

void TCollectorUnitsTest::categories_data()
{
    QTest::addColumn<QString>("Host");
    QTest::addColumn<QString>("Category");
    QTest::newRow("search") << "www.baidu.com" << "搜索";
    QTest::newRow("longest suffix wins") << "tieba.baidu.com" << "社交";
    QTest::newRow("google country") << "www.google.co.jp" << "搜索";
    QTest::newRow("google mail") << "mail.google.com" << "办公学习";
    QTest::newRow("dev") << "gist.github.com" << "开发技术";
    QTest::newRow("video") << "www.bilibili.com" << "视频";
    QTest::newRow("shop") << "item.jd.com" << "购物";
    QTest::newRow("news") << "news.sina.com.cn" << "新闻资讯";
    QTest::newRow("unknown") << "intranet.local" << "其他";
    QTest::newRow("no host") << "" << "其他";
    QTest::newRow("suffix lookalike") << "notgithub.com" << "其他";
}

void TCollectorUnitsTest::categories()
{
    QFETCH(QString, Host);
    QFETCH(QString, Category);
    const int C = CategoryOf(Host);
    QVERIFY(C >= 0 && C < Categories().size());
    QCOMPARE(Categories()[C].Name, Category);
    QVERIFY(QRegularExpression("^#[0-9a-f]{6}$").match(Categories()[C].Color).hasMatch());
}

void TCollectorUnitsTest::jsonStrings_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("quotes and backslashes") << QString("a\"b\\c/") << QString("a\"b\\c/");
    QTest::newRow("controls") << QString::fromUtf16(u"\u0001x\u001f\n\t\r\u007f") << QString::fromUtf16(u"\u0001x\u001f\n\t\r\u007f");
    QTest::newRow("nul") << QString(QChar(0)) + "z" << QString(QChar(0)) + "z";
    QTest::newRow("chinese and emoji") << QString::fromUtf16(u"中文😀") << QString::fromUtf16(u"中文😀");
    QTest::newRow("separators") << QString::fromUtf16(u"a\u2028b\u2029") << QString::fromUtf16(u"a\u2028b\u2029");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + "x" << QString(QChar(0xFFFD)) + "x";
    QTest::newRow("lone low surrogate") << "x" + QString(QChar(0xDE00)) << "x" + QString(QChar(0xFFFD));
    QTest::newRow("swapped pair") << QString(QChar(0xDE00)) + QChar(0xD83D) << QString(QChar(0xFFFD)) + QChar(0xFFFD);
    // Long enough for the eight-at-a-time path, with specials inside and after a block.
    QTest::newRow("long ascii") << QString("https://a.example/path?q=1\"&r=\\2\x01tail")
                                << QString("https://a.example/path?q=1\"&r=\\2\x01tail");
    QTest::newRow("high units in a block") << QString::fromUtf16(u"abcdefg！hijklmn耀opqrstuvwxyz")
                                           << QString::fromUtf16(u"abcdefg！hijklmn耀opqrstuvwxyz");
    // 0xE2 begins the separators and also common punctuation, which stays as it is.
    QTest::newRow("punctuation beside separators") << QString::fromUtf16(u"前言——见“附录”…\u2028第二行\u2029")
                                                   << QString::fromUtf16(u"前言——见“附录”…\u2028第二行\u2029");
}

void TCollectorUnitsTest::jsonStrings()
{
    QFETCH(QString, Text);
    QFETCH(QString, Expected);
    // Titles come as UTF-8, URLs as UTF-16: both writers give the same string;
    // the UTF-8 one only ever sees well-formed text.
    std::vector<std::string> Literals(1);
    AppendJsonString(Literals[0], Text);
    if (Text == Expected) {
        AppendJsonUtf8(Literals.emplace_back(), Text.toStdString());
        QCOMPARE(Literals[1], Literals[0]);
    }
    for (const std::string& Literal : Literals) {
        const std::string Doc = "{\"k\":" + Literal + "}";
        QStringDecoder Dec(QStringDecoder::Utf8);
        const QString Decoded = Dec(QByteArray(Doc.data(), qsizetype(Doc.size())));
        QVERIFY2(!Dec.hasError(), "not valid UTF-8");
        for (char C : Doc)
            QVERIFY2(static_cast<unsigned char>(C) >= 0x20, "raw control byte in JSON");
        QString Err;
        const auto Root = ParseJson(Decoded, Err);
        QVERIFY2(Root, qPrintable(Err));
        QCOMPARE(Root->S("k"), Expected);
    }
}

void TCollectorUnitsTest::columnTexts_data()
{
    QTest::addColumn<QByteArray>("Hex"); // the bytes a browser stored
    QTest::addColumn<int>("MaxBytes");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("as stored") << QByteArray("61e4b8ad62") << 8 << QString::fromUtf16(u"a中b");
    QTest::newRow("malformed bytes") << QByteArray("61ff62c3") << 8 << QString::fromUtf16(u"a\uFFFDb\uFFFD");
    QTest::newRow("cut inside a character") << QByteArray("61e4b8ad62") << 3 << QString::fromUtf16(u"a…");
    QTest::newRow("cut after a character") << QByteArray("61e4b8ad62") << 4 << QString::fromUtf16(u"a中…");
}

// Titles are kept as UTF-8 and written out without another check: what a
// column gives must be well-formed, and the same text as read for URLs.
void TCollectorUnitsTest::columnTexts()
{
    QFETCH(QByteArray, Hex);
    QFETCH(int, MaxBytes);
    QFETCH(QString, Expected);
    sqlite3* Raw = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &Raw), SQLITE_OK);
    const TDb Db(Raw);
    TStmt S;
    QString Err;
    const QByteArray Sql = "SELECT CAST(X'" + Hex + "' AS TEXT)";
    QVERIFY2(Prepare(Db.get(), Sql.constData(), S, Err), qPrintable(Err));
    QCOMPARE(sqlite3_step(S.get()), SQLITE_ROW);
    const QByteArray Utf8 = ColumnUtf8(S.get(), 0, MaxBytes);
    QVERIFY(IsValidUtf8(Utf8.constData(), Utf8.size()));
    QCOMPARE(QString::fromUtf8(Utf8), Expected);
    QCOMPARE(ColumnText(S.get(), 0, MaxBytes), Expected);
}

void TCollectorUnitsTest::htmlText()
{
    std::string Out;
    AppendHtmlText(Out, QString::fromUtf16(u"<img src=\"x\" onerror='a'>&amp;\u0001") + QChar(0xD800));
    QCOMPARE(QString::fromStdString(Out),
             QString::fromUtf16(u"&lt;img src=&quot;x&quot; onerror=&#39;a&#39;&gt;&amp;amp; \uFFFD"));
}

QTEST_GUILESS_MAIN(TCollectorUnitsTest)
#include "tst_collector_units.moc"
