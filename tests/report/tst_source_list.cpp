#include "test_docs.h"
#include "json.h"
#include "source_list.h"

#include <QTest>

class TSourceListTest : public QObject {
    Q_OBJECT
private slots:
    // The list document of a detection run, as the sources window shows and copies it.
    void SourceList_data()
    {
        const QString Header = QStringLiteral("浏览器\t配置/用户\t状态\t条数\t库文件\r\n");
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QString>("Summary");
        QTest::addColumn<QString>("Copied");
        QTest::newRow("no document") << QString() << QString() << Header;
        QTest::newRow("no sources") << J("{'generated':'2024-06-01 10:00'}")
                                    << "共 0 个数据源，其中 0 个可用（已采集或无记录）　·　生成于 2024-06-01 10:00"
                                    << Header;
        QTest::newRow("sources not an array") << J("{'sources':{'name':'x'}}")
                                              << "共 0 个数据源，其中 0 个可用（已采集或无记录）　·　生成于 "
                                              << Header;
        // Counts are read whole (64-bit), not cut to 32 bits as in the report.
        QTest::newRow("mixed rows")
            << J("{'generated':'g','sources':[{'name':'Chrome','profile':'Default','status':'可读取','count':12345,"
                 "'path':'/h/History','ok':true},{'name':'Edge','ok':'true','count':'9'},{'name':'Firefox',"
                 "'count':3.5,'ok':false},{'name':'Opera','count':1e3},7,{'count':4294967297}]}")
            << "共 6 个数据源，其中 1 个可用（已采集或无记录）　·　生成于 g"
            << Header + QStringLiteral("Chrome\tDefault\t可读取\t12345\t/h/History\r\n"
                                       "Edge\t\t\t0\t\r\nFirefox\t\t\t0\t\r\nOpera\t\t\t0\t\r\n\t\t\t0\t\r\n"
                                       "\t\t\t4294967297\t\r\n");
    }
    void SourceList()
    {
        QFETCH(QString, Text);
        QFETCH(QString, Summary);
        QFETCH(QString, Copied);
        const auto Doc = Text.isEmpty() ? nullptr : Parse(Text);
        const TSourceList L = ReadSourceList(Doc.get());
        QCOMPARE(L.Summary, Summary);
        QCOMPARE(SourceListText(L.Rows), Copied);
    }
};

QTEST_GUILESS_MAIN(TSourceListTest)
#include "tst_source_list.moc"
