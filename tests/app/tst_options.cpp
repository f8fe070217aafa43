#include "options.h"
#include "recent_reports.h"

#include "text_util.h"

#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(TOptions)

namespace {

// A folder as the system writes it: folders reach the command lines that way.
QString Native(const QString& Path)
{
    return QDir::toNativeSeparators(Path);
}

const QString kOut = Native(QStringLiteral("/home/u/Documents/Marrowkin"));
const QDate kToday(2024, 3, 31);

TOptions Defaults()
{
    return DefaultOptions(kOut, kToday);
}

TOptions With(const std::function<void(TOptions&)>& Change)
{
    TOptions O = Defaults();
    Change(O);
    return O;
}

int IndexOf(const char* Id)
{
    for (int I = 0; I < kSourceCount; ++I)
        if (SourceDefs()[I].Id == QLatin1String(Id))
            return I;
    return -1;
}

} // namespace

class TOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void SourceTable();
    void DefaultsFollowToday_data();
    void DefaultsFollowToday();
    void AutoSwitch_data();
    void AutoSwitch();
    void SwitchesApplied_data();
    void SwitchesApplied();
    void RestartLineRoundTrip_data();
    void RestartLineRoundTrip();
    void RestartLineText_data();
    void RestartLineText();
    void CollectorArgs_data();
    void CollectorArgs();
    void UnattendedArgsRoundTrip_data();
    void UnattendedArgsRoundTrip();
    void SplitListCases_data();
    void SplitListCases();
    void ResolveOutDirCases_data();
    void ResolveOutDirCases();
    void ReportFileArgsMixed_data();
    void ReportFileArgsMixed();
    void RecentList_data();
    void RecentList();
};

void TOptionsTest::SourceTable()
{
    QStringList Ids, Caps;
    for (const TSourceDef& D : SourceDefs()) {
        Ids << D.Id;
        Caps << D.Cap;
    }
    QCOMPARE(Ids.join(u','), QStringLiteral("chrome,edge,firefox,ie,qq,360se,360chrome,sogou,"
                                             "liebao,2345,theworld,opera,brave,vivaldi,maxthon,115"));
    QCOMPARE(Caps.join(u'|'), QStringLiteral("Chrome|Edge|Firefox|IE/旧版 Edge|QQ 浏览器|360 安全|"
                                              "360 极速|搜狗|猎豹|2345|世界之窗|Opera|Brave|Vivaldi|傲游|115"));
}

void TOptionsTest::DefaultsFollowToday_data()
{
    QTest::addColumn<QDate>("Today");
    QTest::addColumn<QDate>("From");
    QTest::newRow("mid month") << QDate(2024, 6, 15) << QDate(2024, 5, 15);
    QTest::newRow("clamped to february") << QDate(2024, 3, 31) << QDate(2024, 2, 29);
    QTest::newRow("clamped non-leap") << QDate(2023, 3, 30) << QDate(2023, 2, 28);
    QTest::newRow("across the year") << QDate(2024, 1, 10) << QDate(2023, 12, 10);
    QTest::newRow("31 to 30") << QDate(2024, 5, 31) << QDate(2024, 4, 30);
}

void TOptionsTest::DefaultsFollowToday()
{
    QFETCH(QDate, Today);
    QFETCH(QDate, From);
    const TOptions O = DefaultOptions(kOut, Today);
    QCOMPARE(O.FFrom, From);
    QCOMPARE(O.FTo, Today);
    QCOMPARE(O.FTitle, QStringLiteral("浏览器访问记录报告"));
    QCOMPARE(O.FOutDir, kOut);
    QCOMPARE(O.FDays, 30);
    QCOMPARE(O.FLimit, 0);
}

void TOptionsTest::AutoSwitch_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<bool>("Auto");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("lower") << QStringList{"/auto"} << true;
    QTest::newRow("mixed case") << QStringList{"/x", "/AuTo"} << true;
    QTest::newRow("with value") << QStringList{"/auto:1"} << false;
    QTest::newRow("longer") << QStringList{"/automatic"} << false;
    QTest::newRow("inside value") << QStringList{"/title:/auto"} << false;
}

void TOptionsTest::AutoSwitch()
{
    QFETCH(QStringList, Args);
    QFETCH(bool, Auto);
    QCOMPARE(ParseCommandLine(Args).FAutoMode, Auto);
}

void TOptionsTest::SwitchesApplied_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<TOptions>("Expected");
    const TOptions D = Defaults();
    QTest::newRow("nothing") << QStringList() << D;
    QTest::newRow("unknown ignored") << QStringList{"/bogus:1", "plain", "/srcmode:maybe", "/range:week"} << D;
    QTest::newRow("out override") << QStringList{"/out:/tmp/a b"} << With([](TOptions& O) { O.FOutDir = "/tmp/a b"; });
    QTest::newRow("prefix case ignored") << QStringList{"/RANGE:Days", "/Days:7"}
                                         << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 7; });
    QTest::newRow("days alone selects days") << QStringList{"/days:7"}
                                             << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 7; });
    QTest::newRow("explicit range wins over days") << QStringList{"/days:7", "/range:all"}
                                                   << With([](TOptions& O) { O.FDays = 7; });
    QTest::newRow("days not a number") << QStringList{"/days:7x"} << D;
    QTest::newRow("days zero") << QStringList{"/days:0"} << D;
    QTest::newRow("days clamped") << QStringList{"/days:99999"}
                                  << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 36500; });
    QTest::newRow("later switch wins") << QStringList{"/days:5", "/days:9"}
                                       << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 9; });
    QTest::newRow("pick with ids") << QStringList{"/srcmode:pick", "/srcids:chrome,firefox"} << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[IndexOf("chrome")] = O.FChecked[IndexOf("firefox")] = true;
    });
    QTest::newRow("upper-case ids") << QStringList{"/SRCIDS:CHROME,FireFox"} << With([](TOptions& O) {
        O.FChecked[IndexOf("chrome")] = O.FChecked[IndexOf("firefox")] = true;
    });
    QTest::newRow("unknown id") << QStringList{"/srcids:netscape"} << D;
    QTest::newRow("ids matched whole") << QStringList{"/srcids:360,chrome2,ch"} << D;
    QTest::newRow("blank around id") << QStringList{"/srcids:edge, opera"}
                                     << With([](TOptions& O) { O.FChecked[IndexOf("edge")] = true; });
    QTest::newRow("custom range with dates") << QStringList{"/range:cust", "/from:2024/01/02", "/to:2024-2-3"}
                                             << With([](TOptions& O) {
                                                    O.FRange = rgCust;
                                                    O.FFrom = QDate(2024, 1, 2);
                                                    O.FTo = QDate(2024, 2, 3);
                                                });
    QTest::newRow("dates refused") << QStringList{"/from:1969-12-31", "/to:2023-02-29"} << D;
    QTest::newRow("scope and form") << QStringList{"/scope:ALL", "/outmode:Html"}
                                    << With([](TOptions& O) { O.FScope = scAll; O.FOutMode = omHtml; });
    QTest::newRow("empty title keeps default") << QStringList{"/title:", "/include:", "/exclude:"} << D;
    QTest::newRow("texts as is") << QStringList{"/title:Mein Bericht", "/include:a;B", "/exclude:*.X.com"}
                                 << With([](TOptions& O) {
                                        O.FTitle = "Mein Bericht";
                                        O.FInclude = "a;B";
                                        O.FExclude = "*.X.com";
                                    });
    QTest::newRow("limit") << QStringList{"/limit:250"} << With([](TOptions& O) { O.FLimit = 250; });
    QTest::newRow("limit negative") << QStringList{"/limit:-5"} << D;
    QTest::newRow("limit not a number") << QStringList{"/limit:many"} << D;
    QTest::newRow("limit clamped") << QStringList{"/limit:5000000"} << With([](TOptions& O) { O.FLimit = 1000000; });
    QTest::newRow("privacy on") << QStringList{"/privacy:1"} << With([](TOptions& O) { O.FPrivacy = true; });
    QTest::newRow("privacy 2 is off") << QStringList{"/privacy:1", "/privacy:2"} << D;
    QTest::newRow("archive on") << QStringList{"/ARCHIVE:On"} << With([](TOptions& O) { O.FArchive = true; });
    QTest::newRow("archive off again") << QStringList{"/archive:on", "/archive:off"} << D;
    QTest::newRow("archive unknown value") << QStringList{"/archive:1", "/archive"} << D;
}

void TOptionsTest::SwitchesApplied()
{
    QFETCH(QStringList, Args);
    QFETCH(TOptions, Expected);
    TOptions O = Defaults();
    ApplyInitialOptions(ParseCommandLine(Args), O);
    QCOMPARE(BuildRestartArgs(O, kOut), BuildRestartArgs(Expected, kOut));
    QVERIFY(O == Expected);
}

void TOptionsTest::RestartLineRoundTrip_data()
{
    QTest::addColumn<TOptions>("Opts");
    QTest::newRow("defaults") << Defaults();
    QTest::newRow("everything changed") << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[0] = O.FChecked[5] = O.FChecked[15] = true;
        O.FRange = rgCust;
        O.FDays = 36500;
        O.FFrom = QDate(1999, 12, 31);
        O.FTo = QDate(2030, 1, 1);
        O.FScope = scAll;
        O.FOutMode = omHtml;
        O.FOutDir = Native("/tmp/my reports/2024");
        O.FTitle = "我的 报告 (测试)";
        O.FInclude = "github; 新闻；wiki";
        O.FExclude = "*.example.com;ads.example";
        O.FLimit = 1000000;
        O.FPrivacy = true;
        O.FArchive = true;
    });
    QTest::newRow("pick without boxes") << With([](TOptions& O) { O.FSrcMode = smPick; O.FRange = rgDays; O.FDays = 1; });
}

void TOptionsTest::RestartLineRoundTrip()
{
    QFETCH(TOptions, Opts);
    const QString Line = BuildRestartArgs(Opts, kOut);
    // A fresh start begins from the defaults of another day; the line must
    // carry everything.
    TOptions Back = DefaultOptions(QStringLiteral("/elsewhere"), QDate(2011, 7, 7));
    ApplyInitialOptions(ParseCommandLine(SplitCommandLine(Line)), Back);
    QCOMPARE(BuildRestartArgs(Back, kOut), Line);
    QVERIFY(Back == Opts);
}

void TOptionsTest::RestartLineText_data()
{
    QTest::addColumn<TOptions>("Opts");
    QTest::addColumn<QString>("Line");
    QTest::newRow("defaults") << Defaults()
                              << "/srcmode:auto /range:all /days:30 /from:2024-02-29 /to:2024-03-31 /scope:current "
                                 "/outmode:embed /out:" + kOut + " /title:浏览器访问记录报告 /limit:0 "
                                 "/privacy:0";
    QTest::newRow("pick without boxes") << With([](TOptions& O) { O.FSrcMode = smPick; O.FTitle = "  "; })
                                        << "/srcmode:pick /range:all /days:30 /from:2024-02-29 /to:2024-03-31 "
                                           "/scope:current /outmode:embed /out:" + kOut + " /limit:0 "
                                           "/privacy:0";
    QTest::newRow("quoted texts, trailing slash") << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[2] = O.FChecked[0] = true;
        O.FOutDir = " /tmp/x y/ ";
        O.FTitle = " A B ";
        O.FInclude = " a; b ";
        O.FExclude = "x";
        O.FPrivacy = true;
    }) << "/srcmode:pick /srcids:chrome,firefox /range:all /days:30 /from:2024-02-29 /to:2024-03-31 /scope:current "
          "/outmode:embed /out:\"" + Native("/tmp/x y") + "\" /title:\"A B\" /include:\"a; b\" /exclude:x /limit:0 /privacy:1";
    QTest::newRow("empty folder uses default") << With([](TOptions& O) { O.FOutDir = "  "; })
                                               << "/srcmode:auto /range:all /days:30 /from:2024-02-29 /to:2024-03-31 "
                                                  "/scope:current /outmode:embed /out:" + kOut + " "
                                                  "/title:浏览器访问记录报告 /limit:0 /privacy:0";
}

void TOptionsTest::RestartLineText()
{
    QFETCH(TOptions, Opts);
    QFETCH(QString, Line);
    QCOMPARE(BuildRestartArgs(Opts, kOut), Line);
}

void TOptionsTest::CollectorArgs_data()
{
    QTest::addColumn<TOptions>("Opts");
    QTest::addColumn<QString>("Args");
    QTest::newRow("defaults") << Defaults() << "/title:浏览器访问记录报告";
    QTest::newRow("nothing applies") << With([](TOptions& O) { O.FTitle = " \t"; }) << "";
    QTest::newRow("pick without boxes") << With([](TOptions& O) { O.FSrcMode = smPick; })
                                        << "/title:浏览器访问记录报告";
    QTest::newRow("pick chrome firefox") << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[IndexOf("firefox")] = O.FChecked[IndexOf("chrome")] = true;
    }) << "/src:chrome,firefox /title:浏览器访问记录报告";
    QTest::newRow("ticks ignored in auto mode") << With([](TOptions& O) { O.FChecked[0] = true; })
                                                << "/title:浏览器访问记录报告";
    QTest::newRow("days") << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 7; })
                          << "/days:7 /title:浏览器访问记录报告";
    QTest::newRow("custom") << With([](TOptions& O) {
        O.FRange = rgCust;
        O.FFrom = QDate(2024, 1, 5);
        O.FTo = QDate(2024, 2, 6);
    }) << "/from:2024-01-05 /to:2024-02-06 /title:浏览器访问记录报告";
    QTest::newRow("everything") << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[IndexOf("115")] = O.FChecked[IndexOf("edge")] = true;
        O.FRange = rgDays;
        O.FDays = 90;
        O.FScope = scAll;
        O.FTitle = " Q1 报告 ";
        O.FInclude = "github; 新闻 中心";
        O.FExclude = "*.ads.com；tracker.net\r\n";
        O.FLimit = 500;
        O.FPrivacy = true;
        O.FArchive = true;
    }) << "/src:edge,115 /days:90 /user:all /title:\"Q1 报告\" /include:github /include:\"新闻 中心\" "
          "/exclude:*.ads.com /exclude:tracker.net /limit:500 /privacy /archive";
    QTest::newRow("limit zero") << With([](TOptions& O) { O.FLimit = 0; O.FPrivacy = false; })
                                << "/title:浏览器访问记录报告";
    QTest::newRow("special characters quoted") << With([](TOptions& O) { O.FTitle = "a=b"; O.FInclude = "x&y"; })
                                               << "/title:\"a=b\" /include:\"x&y\"";
}

void TOptionsTest::CollectorArgs()
{
    QFETCH(TOptions, Opts);
    QFETCH(QString, Args);
    QCOMPARE(BuildCollectorArgs(Opts), Args);
}

void TOptionsTest::UnattendedArgsRoundTrip_data()
{
    QTest::addColumn<TOptions>("Opts");
    QTest::addColumn<int>("Count"); // arguments, "/auto" and "/out:" included
    QTest::newRow("defaults") << Defaults() << 3;
    QTest::newRow("days, html form") << With([](TOptions& O) { O.FRange = rgDays; O.FDays = 45; O.FOutMode = omHtml; })
                                     << 4;
    QTest::newRow("everything changed") << With([](TOptions& O) {
        O.FSrcMode = smPick;
        O.FChecked[1] = O.FChecked[14] = true;
        O.FRange = rgCust;
        O.FFrom = QDate(2024, 3, 31); // today's default, still to travel
        O.FTo = QDate(2024, 4, 2);
        O.FScope = scAll;
        O.FTitle = " 周报 \"草稿\" ";
        O.FInclude = "github; 新闻";
        O.FExclude = "*.ads.example";
        O.FLimit = 12;
        O.FPrivacy = true;
        O.FArchive = true;
    }) << 14;
}

void TOptionsTest::UnattendedArgsRoundTrip()
{
    QFETCH(TOptions, Opts);
    QFETCH(int, Count);
    const QString Out = Native("/srv/报告 \"周\"");
    const QStringList Args = UnattendedArgs(Opts, Out);
    QCOMPARE(Args.size(), Count);
    // A scheduled start, on another day: the same collector run into Out.
    const TInitOptions Init = ParseCommandLine(Args);
    QVERIFY(Init.FAutoMode);
    TOptions Back = DefaultOptions(kOut, QDate(2031, 1, 15));
    ApplyInitialOptions(Init, Back);
    QCOMPARE(BuildCollectorArgs(Back), BuildCollectorArgs(Opts));
    QCOMPARE(ResolveOutDir(Back, kOut), Out);
}

void TOptionsTest::SplitListCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QStringList>("Values");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("separators only") << " ;；\r\n; " << QStringList();
    QTest::newRow("mixed separators") << "a；b;;c" << QStringList{"a", "b", "c"};
    QTest::newRow("trimmed") << " a ;\tb\t" << QStringList{"a", "b"};
    QTest::newRow("lines") << "x\r\ny\nz" << QStringList{"x", "y", "z"};
    QTest::newRow("duplicates kept") << "a;a" << QStringList{"a", "a"};
    QTest::newRow("inner blank kept") << "new york; la" << QStringList{"new york", "la"};
    QTest::newRow("comma is no separator") << "a,b" << QStringList{"a,b"};
}

void TOptionsTest::SplitListCases()
{
    QFETCH(QString, Text);
    QFETCH(QStringList, Values);
    QCOMPARE(SplitList(Text), Values);
}

void TOptionsTest::ResolveOutDirCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Default");
    QTest::addColumn<QString>("Dir");
    QTest::newRow("as is") << "/data/r" << kOut << "/data/r";
    QTest::newRow("trimmed") << "  /data/r \t" << kOut << "/data/r";
    QTest::newRow("trailing slash") << "/data/r/" << kOut << "/data/r";
    QTest::newRow("empty uses default") << "" << kOut << kOut;
    QTest::newRow("blank uses default") << "   " << kOut << kOut;
    QTest::newRow("root kept") << "/" << kOut << "/";
    // The collector and an elevated copy start in other folders than ours.
    const QDir Cur = QDir::current();
    QTest::newRow("relative pinned to the current folder") << "reports/" << kOut << Cur.absoluteFilePath("reports");
    QTest::newRow("relative with dots") << " ./a/../reports " << kOut << Cur.absoluteFilePath("reports");
    QTest::newRow("relative default") << "" << "Marrowkin" << Cur.absoluteFilePath("Marrowkin");
}

void TOptionsTest::ResolveOutDirCases()
{
    QFETCH(QString, Text);
    QFETCH(QString, Default);
    QFETCH(QString, Dir);
    TOptions O = Defaults();
    O.FOutDir = Text;
    QCOMPARE(ResolveOutDir(O, Default), Native(Dir));
}

void TOptionsTest::ReportFileArgsMixed_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QStringList>("Files");
    QTest::newRow("none") << QStringList{"/days:7", "/auto"} << QStringList();
    QTest::newRow("between switches")
        << QStringList{"/title:周报", "a.json", "/limit:5", "D:\\r\\B.JSON", "/home/u/c.json"}
        << QStringList{"a.json", "D:\\r\\B.JSON", "/home/u/c.json"};
    // Switch values that happen to end in .json stay switch values.
    QTest::newRow("switch values") << QStringList{"/out:x.json", "/TITLE:y.json", "z.json"} << QStringList{"z.json"};
    QTest::newRow("other files") << QStringList{"notes.txt", "/unknown:q", "json"} << QStringList();
}

void TOptionsTest::ReportFileArgsMixed()
{
    QFETCH(QStringList, Args);
    QFETCH(QStringList, Files);
    QCOMPARE(ReportFileArgs(Args), Files);
    // The switches around the files still count.
    if (Args.contains(QStringLiteral("/limit:5")))
        QCOMPARE(ParseCommandLine(Args).FInitLimit, QStringLiteral("5"));
}

void TOptionsTest::RecentList_data()
{
    QTest::addColumn<QStringList>("Before");
    QTest::addColumn<QString>("Added");
    QTest::addColumn<QStringList>("After");
    const QString A = Native("/r/a.json"), B = Native("/r/b.json");
    QTest::newRow("first") << QStringList() << A << QStringList{A};
    QTest::newRow("again moves to front") << QStringList{B, A} << A << QStringList{A, B};
    QTest::newRow("other separators") << QStringList{A} << QStringLiteral("/r/./b.json") << QStringList{B, A};
    QStringList Eight;
    for (int I = 0; I < 8; ++I)
        Eight << Native(QStringLiteral("/r/%1.json").arg(I));
    QTest::newRow("ninth drops the oldest") << Eight << A << (QStringList{A} + Eight.mid(0, 7));
}

void TOptionsTest::RecentList()
{
    QFETCH(QStringList, Before);
    QFETCH(QString, Added);
    QFETCH(QStringList, After);
    QCOMPARE(AddRecentReport(Before, Added), After);
}

QTEST_GUILESS_MAIN(TOptionsTest)
#include "tst_options.moc"
