#include "collector_contract.h"

#include <QTest>

class TCollectorContractTest : public QObject {
    Q_OBJECT
private slots:
    void exitCodeText_data()
    {
        QTest::addColumn<int>("Code");
        QTest::addColumn<QString>("Text");
        QTest::newRow("0") << 0 << QStringLiteral("成功");
        QTest::newRow("1") << 1 << QStringLiteral("参数错误");
        QTest::newRow("2") << 2 << QStringLiteral("时间范围内没有记录");
        QTest::newRow("3") << 3 << QStringLiteral("数据源全部读取失败");
        QTest::newRow("4") << 4 << QStringLiteral("写报告失败");
        QTest::newRow("5") << 5 << QStringLiteral("内部错误");
        QTest::newRow("6") << 6 << QStringLiteral("退出码 6");
        QTest::newRow("negative") << -1 << QStringLiteral("退出码 -1");
        QTest::newRow("signal") << 137 << QStringLiteral("退出码 137");
    }
    void exitCodeText()
    {
        QFETCH(int, Code);
        QFETCH(QString, Text);
        QCOMPARE(ExitCodeText(Code), Text);
    }
};

QTEST_GUILESS_MAIN(TCollectorContractTest)
#include "tst_collector_contract.moc"
