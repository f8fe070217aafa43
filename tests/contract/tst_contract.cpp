#include "collector_contract.h"
#include "collector_options.h"
#include "options.h"
#include "report_file_name.h"
#include "run_texts.h"
#include "text_util.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

// Both programs hold to one contract: what the window sends, the collector
// reads as meant; what either names, the other finds.
class TContractTest : public QObject {
    Q_OBJECT
private slots:
    void exitCodeText_data();
    void exitCodeText();
    void windowArgsReadByCollector_data();
    void windowArgsReadByCollector();
    void reportFileNames_data();
    void reportFileNames();
};

void TContractTest::exitCodeText_data()
{
    QTest::addColumn<int>("Code");
    QTest::addColumn<QString>("Text");
    QTest::newRow("6") << 6 << QStringLiteral("退出码 6");
    QTest::newRow("negative") << -1 << QStringLiteral("退出码 -1");
    QTest::newRow("signal") << 137 << QStringLiteral("退出码 137");
    QTest::newRow("stopped") << kStopExitCode << QStringLiteral("退出码 143");
}

void TContractTest::exitCodeText()
{
    QFETCH(int, Code);
    QFETCH(QString, Text);
    QCOMPARE(ExitCodeText(Code), Text);
    // Every code with a meaning of its own has words of its own.
    for (int C = ceOk; C <= ceInternal; ++C)
        QVERIFY2(!ExitCodeText(C).startsWith(QStringLiteral("退出码")), qPrintable(ExitCodeText(C)));
}

void TContractTest::windowArgsReadByCollector_data()
{
    QTest::addColumn<int>("Kind");
    QTest::addColumn<QString>("OptionLine"); // the window's own switches
    QTest::addColumn<QString>("Read");       // what the collector understood

    QStringList AllIds;
    for (const TSourceDef& D : SourceDefs())
        AllIds << D.Id;
    const QString Out = QDir::toNativeSeparators(QStringLiteral("/tmp/报告 & (x);y=1"));

    QTest::newRow("defaults") << int(rnEmbed) << QString()
                              << "src= range=全部历史 all=0 title=浏览器访问记录报告 include= exclude= limit=0 "
                                 "privacy=0 format=json out= open=0 list=0";
    QTest::newRow("every option") << int(rnEmbed)
                                  << "/srcmode:pick /srcids:sogou,chrome /range:cust /from:2024-05-01 /to:2024/5/31 "
                                     "/scope:all \"/title:我的 报告\" \"/include:a b;c；\\\"q\\\"\" "
                                     "\"/exclude:https://WWW.Example.com/x;*.b.org\" /limit:50 /privacy:1"
                                  << "src=chrome,sogou range=2024-05-01 至 2024-05-31 all=1 title=我的 报告 "
                                     "include=a b|c|\"q\" exclude=www.example.com|*.b.org limit=50 privacy=1 "
                                     "format=json out= open=0 list=0";
    QTest::newRow("every source") << int(rnEmbed) << "/srcmode:pick /srcids:" + AllIds.join(u',')
                                  << "src=" + AllIds.join(u',') + " range=全部历史 all=0 title=浏览器访问记录报告 "
                                     "include= exclude= limit=0 privacy=0 format=json out= open=0 list=0";
    QTest::newRow("html into a folder") << int(rnHtml) << "/range:days /days:7"
                                        << "src= range=最近 7 天 all=0 title=浏览器访问记录报告 include= exclude= "
                                           "limit=0 privacy=0 format=html out=" + Out + " open=1 list=0";
    QTest::newRow("unattended") << int(rnAuto) << "/days:3"
                                << "src= range=最近 3 天 all=0 title=浏览器访问记录报告 include= exclude= limit=0 "
                                   "privacy=0 format=json out=" + Out + " open=0 list=0";
    QTest::newRow("detection") << int(rnList) << "/scope:all /limit:9"
                               << "src= range=全部历史 all=0 title=浏览器访问记录报告 include= exclude= limit=0 "
                                  "privacy=0 format=json out= open=0 list=1";
}

void TContractTest::windowArgsReadByCollector()
{
    QFETCH(int, Kind);
    QFETCH(QString, OptionLine);
    QFETCH(QString, Read);
    const QString Out = QDir::toNativeSeparators(QStringLiteral("/tmp/报告 & (x);y=1"));
    TOptions Opts = DefaultOptions(Out, QDate(2024, 6, 1));
    ApplyInitialOptions(ParseCommandLine(SplitCommandLine(OptionLine)), Opts);
    const QString Line = RunArgs(TRunKind(Kind), Opts, Out);

    TCollectorOptions O;
    QString Err;
    QVERIFY2(ParseCollectorArgs(SplitCommandLine(Line), O, Err), qPrintable(Line + u'\n' + Err));
    const QString Got = QStringLiteral("src=%1 range=%2 all=%3 title=%4 include=%5 exclude=%6 limit=%7 privacy=%8 "
                                       "format=%9 out=%10 open=%11 list=%12")
                            .arg(O.FSources.join(u','), RangeText(O), QString::number(O.FAllUsers), O.FTitle,
                                 O.FInclude.join(u'|'), O.FExclude.join(u'|'), QString::number(O.FLimit),
                                 QString::number(O.FPrivacy), O.FFormat == ofHtml ? QStringLiteral("html") : QStringLiteral("json"))
                            .arg(O.FOutDir, QString::number(O.FOpen), QString::number(O.FList));
    QCOMPARE(Got, Read);
}

void TContractTest::reportFileNames_data()
{
    QTest::addColumn<QString>("Name");
    QTest::addColumn<bool>("Matches");
    const QDateTime When(QDate(2024, 5, 5), QTime(15, 0, 9));
    QTest::newRow("json") << ReportFileName(When, u"json") << true;
    QTest::newRow("html, second copy") << ReportFileName(When, u"html", 2) << true;
    QTest::newRow("many copies") << ReportFileName(When, u"json", 999) << true;
    QTest::newRow("another kind") << ReportFileName(When, u"csv") << false;
    QTest::newRow("no time") << QStringLiteral("Marrowkin_Report_20240505.json") << false;
    QTest::newRow("someone else's") << QStringLiteral("notes.json") << false;
}

// The collector clears temporary files of interrupted reports by this
// pattern: it must take in every name a report gets, and nothing else.
void TContractTest::reportFileNames()
{
    QFETCH(QString, Name);
    QFETCH(bool, Matches);
    const QRegularExpression Pattern(QRegularExpression::anchoredPattern(ReportFileNamePattern()));
    QCOMPARE(Pattern.match(Name).hasMatch(), Matches);
}

QTEST_GUILESS_MAIN(TContractTest)
#include "tst_contract.moc"
