#include "test_docs.h"
#include "json.h"
#include "report_content.h"
#include "text_util.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTest>

namespace {

TReportContent Load(const QString& Text, bool NoData = false)
{
    const auto Doc = Parse(Text);
    return ReadReportContent(Doc.get(), NoData);
}

const QString kSep = QStringLiteral("\u3000\u00B7\u3000");
const QString kDash = QStringLiteral("\u2014");

}  // namespace

class TReportContentTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }

    void EmptyDocument_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::newRow("empty object") << "{}";
        QTest::newRow("array root") << "[1,2]";
        QTest::newRow("string root") << "\"x\"";
        QTest::newRow("null tree") << QString();
    }
    void EmptyDocument()
    {
        QFETCH(QString, Text);
        const auto Doc = Text.isEmpty() ? nullptr : Parse(Text);
        const TReportContent M = ReadReportContent(Doc.get(), false);
        QCOMPARE(M.Caption, QStringLiteral("采集报告 \u00B7 浏览器访问记录报告"));
        QCOMPARE(M.Title, QStringLiteral("浏览器访问记录报告"));
        QCOMPARE(M.CountText, QStringLiteral("0 次访问"));
        for (const QString& K : M.KpiVal)
            QCOMPARE(K, kDash);
        QCOMPARE(M.InfoVal[0], kDash);
        QCOMPARE(M.InfoVal[1], QStringLiteral("无"));
        QCOMPARE(M.InfoVal[2], kDash + QStringLiteral(" 天"));
        QCOMPARE(M.InfoVal[3], QStringLiteral("0 次"));
        QCOMPARE(M.InfoVal[4], kDash);
        QCOMPARE(M.InfoVal[5], QString());
        QCOMPARE(M.BrsInfoVal[2], M.InfoVal[2]);
        QCOMPARE(M.TrendSpan, QStringLiteral("暂无按日统计数据"));
        QCOMPARE(ReportStatusText(M, 0), QStringLiteral("时间范围内没有可用记录"));
        // Nothing to join: no stray separators.
        QCOMPARE(M.Detail, QString());
        QCOMPARE(M.BrsNote.left(5), QStringLiteral("共 0 种"));
        QVERIFY(M.Days.isEmpty() && M.Doms.isEmpty() && M.Cats.isEmpty() && M.Sources.isEmpty());
        for (const auto& Row : M.Heat)
            for (qint32 C : Row)
                QCOMPARE(C, 0);
    }

    void Figures_data()
    {
        QTest::addColumn<QString>("Stats");
        QTest::addColumn<QString>("Kpi0");
        QTest::addColumn<QString>("Kpi4");
        QTest::addColumn<QString>("Average");
        QTest::addColumn<qint64>("Total");
        QTest::newRow("grouped, average rounded up")
            << J("{'total':1234567,'activeDays':10,'peak':'周一 10 点'}") << "1,234,567" << "周一 10 点" << "123,457 次"
            << qint64(1234567);
        QTest::newRow("half to even down") << J("{'total':5,'activeDays':2}") << "5" << kDash << "2 次" << qint64(5);
        QTest::newRow("half to even up") << J("{'total':7,'activeDays':2}") << "7" << kDash << "4 次" << qint64(7);
        QTest::newRow("no active days") << J("{'total':7,'activeDays':0}") << "7" << kDash << "0 次" << qint64(7);
        QTest::newRow("string number") << J("{'total':'100','activeDays':1}") << "0" << kDash << "0 次" << qint64(0);
        QTest::newRow("fraction") << J("{'total':12.5}") << "0" << kDash << "0 次" << qint64(0);
        QTest::newRow("stats of another kind") << "42" << "0" << kDash << "0 次" << qint64(0);
        QTest::newRow("64-bit total") << J("{'total':9000000000,'activeDays':3}") << "9,000,000,000" << kDash
                                      << "3,000,000,000 次" << qint64(9000000000LL);
        QTest::newRow("beyond 64 bits") << J("{'total':99999999999999999999}") << "0" << kDash << "0 次" << qint64(0);
        // An exact half far beyond double precision still goes to the even side.
        QTest::newRow("exact large half") << J("{'total':9007199254740993,'activeDays':2}")
                                          << "9,007,199,254,740,993" << kDash << "4,503,599,627,370,496 次"
                                          << qint64(9007199254740993LL);
    }
    void Figures()
    {
        QFETCH(QString, Stats);
        QFETCH(QString, Kpi0);
        QFETCH(QString, Kpi4);
        QFETCH(QString, Average);
        QFETCH(qint64, Total);
        const TReportContent M = Load(J("{'stats':%1}").arg(Stats));
        QCOMPARE(M.KpiVal[0], Kpi0);
        QCOMPARE(M.KpiVal[4], Kpi4);
        QCOMPARE(M.InfoVal[3], Average);
        QCOMPARE(M.BrsInfoVal[3], Average);
        QCOMPARE(M.Total, Total);
        QCOMPARE(M.CountText, Kpi0 + QStringLiteral(" 次访问"));
        QCOMPARE(M.InfoVal[2], M.KpiVal[3] + QStringLiteral(" 天"));
    }

    void StatusAndDetail_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<bool>("NoData");
        QTest::addColumn<int>("Shown");
        QTest::addColumn<QString>("Status");
        QTest::addColumn<QString>("Detail");
        const QString Head = J("'range':'近 30 天','scope':'当前用户','generated':'2024-06-01 10:00',");
        const QString Full = QStringLiteral("近 30 天") + kSep + QStringLiteral("当前用户") + kSep
                             + QStringLiteral("生成于 2024-06-01 10:00");
        const QString Short = QStringLiteral("近 30 天") + kSep + QStringLiteral("当前用户");
        QTest::newRow("truncated with span")
            << "{" + Head + J("'truncated':true,'stats':{'total':10,'first':'2024-05-01 08:00:00','last':'2024-05-31 23:59:59'}}")
            << false << 3
            << QStringLiteral("明细按上限抽样：显示 3 条 / 共 10 条") + kSep + QStringLiteral("记录跨度 2024-05-01 ~ 2024-05-31")
            << Full;
        QTest::newRow("plain, grouped") << "{" + Head + J("'stats':{'total':12345}}") << false << 2000
                                        << QStringLiteral("明细 2,000 条") << Full;
        QTest::newRow("truncated only when literally true")
            << "{" + Head + J("'truncated':'true','stats':{'total':5,'last':'2024-05-31 23:59:59'}}") << false << 5
            << QStringLiteral("明细 5 条") + kSep + QStringLiteral("记录跨度  ~ 2024-05-31") << Full;
        QTest::newRow("no data flag") << "{" + Head + J("'stats':{'total':50}}") << true << 50
                                      << QStringLiteral("时间范围内没有可用记录") << Short;
        QTest::newRow("total as string") << "{" + Head + J("'stats':{'total':'100'},'records':[{}]}") << false << 1
                                         << QStringLiteral("时间范围内没有可用记录") << Short;
        QTest::newRow("only the parts present are joined")
            << J("{'range':' ','scope':'','generated':'x','stats':{'total':1}}") << false << 1
            << QStringLiteral("明细 1 条") << QStringLiteral("生成于 x");
        QTest::newRow("no generation time")
            << J("{'range':'近 7 天','scope':'所有用户','generated':'','stats':{'total':1}}") << false << 1
            << QStringLiteral("明细 1 条") << QStringLiteral("近 7 天") + kSep + QStringLiteral("所有用户");
    }
    void StatusAndDetail()
    {
        QFETCH(QString, Text);
        QFETCH(bool, NoData);
        QFETCH(int, Shown);
        QFETCH(QString, Status);
        QFETCH(QString, Detail);
        const TReportContent M = Load(Text, NoData);
        QCOMPARE(ReportStatusText(M, Shown), Status);
        QCOMPARE(M.Detail, Detail);
    }

    void Span_data()
    {
        QTest::addColumn<QString>("Stats");
        QTest::addColumn<QString>("Span");
        QTest::newRow("both") << J("{'first':'2024-05-01 08:00','last':'2024-05-31 23:59'}") << "2024-05-01 ~ 2024-05-31";
        QTest::newRow("only last") << J("{'last':'2024-05-31 23:59'}") << " ~ 2024-05-31";
        QTest::newRow("short texts") << J("{'first':'x','last':'y'}") << "x ~ y";
        QTest::newRow("neither") << J("{'first':''}") << kDash;
    }
    void Span()
    {
        QFETCH(QString, Stats);
        QFETCH(QString, Span);
        const TReportContent M = Load(J("{'stats':%1}").arg(Stats));
        QCOMPARE(M.InfoVal[4], Span);
        QCOMPARE(M.BrsInfoVal[4], Span);
    }

    void JsonIntReading_data()
    {
        QTest::addColumn<QString>("Item");
        QTest::addColumn<int>("Value");
        QTest::newRow("number") << "7" << 7;
        QTest::newRow("negative") << "-3" << -3;
        QTest::newRow("string digits") << "\"12\"" << 12;
        QTest::newRow("fraction") << "12.5" << 0;
        QTest::newRow("exponent") << "1e3" << 0;
        QTest::newRow("int32 max") << "2147483647" << 2147483647;
        QTest::newRow("beyond int32") << "2147483648" << 0;
        QTest::newRow("true") << "true" << 0;
        QTest::newRow("array") << "[5]" << 0;
        QTest::newRow("padded string") << "\" 5\"" << 0;
    }
    void JsonIntReading()
    {
        QFETCH(QString, Item);
        QFETCH(int, Value);
        const auto Doc = Parse("[" + Item + "]");
        QCOMPARE(JsonInt(Doc->Items(0)), Value);
        QCOMPARE(JsonInt(Doc->Items(1)), 0);
        QCOMPARE(JsonInt(nullptr), 0);
    }

    void Host_data()
    {
        QTest::addColumn<QString>("Url");
        QTest::addColumn<QString>("Host");
        QTest::newRow("full") << "https://Mail.Example.com:8080/a/b?q=1" << "Mail.Example.com:8080";
        QTest::newRow("query before path") << "http://a.example?x=/y" << "a.example";
        QTest::newRow("no scheme") << "example.com/path" << "example.com";
        QTest::newRow("user and fragment stay") << "ftp://u@h#f/x" << "u@h#f";
        QTest::newRow("plain") << "localhost" << "localhost";
        QTest::newRow("second scheme") << "a://b://c/d" << "b:";
        QTest::newRow("empty") << "" << "";
    }
    void Host()
    {
        QFETCH(QString, Url);
        QFETCH(QString, Host);
        QCOMPARE(UrlHost(Url), Host);
    }

    void Rankings()
    {
        const TReportContent M = Load(J("{'domains':[['alpha',5],['beta'],['gamma','7'],'odd',['delta',12.5]],")
                                    + J("'keywords':[[1,2]], 'browsers':[['Chrome',3],['Edge',1]],")
                                    + J("'pages':[['https://h.example/p?q=1','',4],['https://x.example/','标题',2],['u',null]]}"));
        QCOMPARE(M.Doms.size(), 3);
        QCOMPARE(M.Doms[0].Name, QStringLiteral("alpha"));
        QCOMPARE(M.Doms[0].Value, 5);
        QCOMPARE(M.Doms[1].Name, QStringLiteral("gamma"));
        QCOMPARE(M.Doms[1].Value, 7);
        QCOMPARE(M.Doms[2].Value, 0);
        QCOMPARE(M.Doms[0].Color, kDefaultColor);
        QVERIFY(M.Doms[0].Sub.isEmpty());
        QCOMPARE(M.Kws.size(), 1);
        QCOMPARE(M.Kws[0].Name, QStringLiteral("1"));
        QCOMPARE(M.BrCount, 2);
        QVERIFY(M.BrsNote.startsWith(QStringLiteral("共 2 种浏览器来源")));
        QCOMPARE(M.Pgs.size(), 2);
        QCOMPARE(M.Pgs[0].Name, QStringLiteral("https://h.example/p?q=1"));
        QCOMPARE(M.Pgs[0].Sub, QStringLiteral("h.example"));
        QCOMPARE(M.Pgs[0].Value, 4);
        QCOMPARE(M.Pgs[1].Name, QStringLiteral("标题"));
        QCOMPARE(M.PageUrls, QStringList({"https://h.example/p?q=1", "https://x.example/"}));
    }

    void HeatDaysCats()
    {
        QString Rows;
        for (int R = 0; R < 8; ++R)
            Rows += QStringLiteral("[%1],").arg(QString("%1,").arg(R + 1).repeated(24).chopped(1));
        Rows.chop(1);
        // Row 2 is short, row 3 is not an array, the eighth row is ignored.
        Rows.replace(QRegularExpression(QStringLiteral("\\[3(,3)*\\]")), QStringLiteral("[3,3,3,3,3,3,3,3,3,3]"));
        Rows.replace(QRegularExpression(QStringLiteral("\\[4(,4)*\\]")), QStringLiteral("\"x\""));
        const TReportContent M = Load(
            J("{'heat':[%1], 'days':[['2024-05-01',1],['2024-05-02'],7,['2024-05-04','3']],").arg(Rows)
            + J("'cats':[['新闻',3,'#ff0000'],['视频',2,'#FF0000'],['a',1,'red'],['b',1,'#12345'],")
            + J("['c',1,'#12345G'],['d',1]]}"));
        QCOMPARE(M.Heat[0][23], 1);
        QCOMPARE(M.Heat[2][9], 3);
        QCOMPARE(M.Heat[2][10], 0);
        QCOMPARE(M.Heat[3][0], 0);
        QCOMPARE(M.Heat[6][5], 7);

        QCOMPARE(M.Days.size(), 4);
        QCOMPARE(M.Days[1].Text, QString());
        QCOMPARE(M.Days[1].Count, 0);
        QCOMPARE(M.Days[2].Count, 0);
        QCOMPARE(M.Days[3].Count, 3);
        QCOMPARE(M.TrendSpan, QStringLiteral("从 2024-05-01 到 2024-05-04，共 4 个时间点"));

        QCOMPARE(M.Cats.size(), 6);
        QCOMPARE(M.Cats[0].Color, Rgb(255, 0, 0));
        QCOMPARE(M.Cats[1].Color, Rgb(255, 0, 0));
        for (int I = 2; I < 5; ++I)
            QCOMPARE(M.Cats[I].Color, Rgb(0x2F, 0x6B, 0xF5));
        QCOMPARE(M.Cats[5].Name, QString());
        QCOMPARE(M.Cats[5].Value, 0);
        QCOMPARE(M.Cats[5].Color, Rgb(0, 0, 0));
    }

    void TrendTextIsNotReexpanded()
    {
        // Day texts are shown as delivered, even when they look like placeholders.
        const TReportContent M = Load(J("{'days':[['%3',1],['%1',2]]}"));
        QCOMPARE(M.TrendSpan, QStringLiteral("从 %3 到 %1，共 2 个时间点"));
    }

    void Sources()
    {
        const TReportContent M = Load(
            J("{'sources':[{'name':'Chrome','profile':'Default','status':'已采集','path':'C:\\\\h',")
            + J("'msg':'','count':12345,'ok':true}, {'name':'Edge','ok':false,'count':4294967297},")
            + J("{'name':'Firefox','ok':'true','count':'9'}, 5]}"));
        QCOMPARE(M.Sources.size(), 4);
        QCOMPARE(M.Sources[0].Count, 12345);
        QCOMPARE(M.Sources[0].Path, QStringLiteral("C:\\h"));
        QCOMPARE(M.Sources[1].Count, 1);  // low 32 bits
        QCOMPARE(M.Sources[2].Count, 0);
        QVERIFY(!M.Sources[2].Ok);
        QCOMPARE(M.Sources[3].Name, QString());
        QCOMPARE(M.InfoVal[0], QStringLiteral("4 个（有效 1）"));
        QCOMPARE(M.InfoVal[1], QStringLiteral("3 个"));
        QCOMPARE(M.BrsInfoVal[0], M.InfoVal[0]);
        QCOMPARE(M.BrsInfoVal[1], M.InfoVal[1]);
        QCOMPARE(ReportSourceCells(M.Sources[0]),
                 QStringList({"Chrome", "Default", "已采集", "12345", "", "C:\\h"}));
    }

    void Trimming()
    {
        QCOMPARE(TrimBlanks(QStringLiteral("\t\n \u0001a b\u3000 \r")), QStringLiteral("a b\u3000"));
        QCOMPARE(TrimBlanks(QStringLiteral("\u3000")), QStringLiteral("\u3000"));
        QCOMPARE(TrimBlanks(QStringLiteral("  ")), QString());
    }
};

QTEST_GUILESS_MAIN(TReportContentTest)
#include "tst_report_content.moc"
