#include "test_docs.h"
#include "json.h"
#include "sources_form.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTableWidget>
#include <QScrollBar>
#include <QTest>

namespace {

std::unique_ptr<TJsonValue> Doc(const QString& Text)
{
    QString Err;
    auto V = ParseJson(Text, Err);
    if (!V)
        qFatal("bad test document: %s", qPrintable(Err));
    return V;
}

const QString kHeader = QStringLiteral("浏览器\t配置/用户\t状态\t条数\t库文件\r\n");

}  // namespace

class TSourcesFormTest : public QObject {
    Q_OBJECT
private slots:
    void Fill_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QString>("Meta");
        QTest::addColumn<QString>("Copied");
        QTest::newRow("no sources") << J("{'generated':'2024-06-01 10:00'}")
                                    << "共 0 个数据源，其中 0 个可用（已采集或无记录）　·　生成于 2024-06-01 10:00"
                                    << kHeader;
        QTest::newRow("sources not an array") << J("{'sources':{'name':'x'}}")
                                              << "共 0 个数据源，其中 0 个可用（已采集或无记录）　·　生成于 "
                                              << kHeader;
        QTest::newRow("mixed rows")
            << J("{'generated':'g','sources':[{'name':'Chrome','profile':'Default','status':'可读取','count':12345,"
                 "'path':'/h/History','ok':true},{'name':'Edge','ok':'true','count':'9'},{'name':'Firefox',"
                 "'count':3.5,'ok':false},{'name':'Opera','count':1e3},7]}")
            << "共 5 个数据源，其中 1 个可用（已采集或无记录）　·　生成于 g"
            << kHeader + QStringLiteral("Chrome\tDefault\t可读取\t12345\t/h/History\r\n"
                                        "Edge\t\t\t0\t\r\nFirefox\t\t\t0\t\r\nOpera\t\t\t0\t\r\n\t\t\t0\t\r\n");
    }
    void Fill()
    {
        QFETCH(QString, Text);
        QFETCH(QString, Meta);
        QFETCH(QString, Copied);
        TSourcesForm F(nullptr, Doc(Text));
        QCOMPARE(F.FLblMeta->text(), Meta);
        QCOMPARE(F.ListText(), Copied);
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        F.CopyList();
        QCOMPARE(QGuiApplication::clipboard()->text(), Copied);
    }

    void NoDocumentLeavesSummaryEmpty()
    {
        TSourcesForm F(nullptr, nullptr);
        QCOMPARE(F.FLblMeta->text(), QString());
        QCOMPARE(F.FList->rowCount(), 0);
    }

    void ColumnsFollowTheWidth()
    {
        TSourcesForm F(nullptr, Doc(J("{'sources':[{'name':'a'}]}")));
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        QCOMPARE(F.windowTitle(), QStringLiteral("数据源检测结果"));
        QCOMPARE(F.size(), QSize(820, 540));
        QCOMPARE(F.FList->geometry(), QRect(12, 116, 796, 416));
        const int First = F.FList->columnWidth(4);
        QCOMPARE(First, F.FList->contentsRect().width() - 550 - 4);
        QVERIFY(First > 200 && First < 260);
        F.resize(1020, 600);
        QCoreApplication::processEvents();
        QCOMPARE(F.FList->geometry(), QRect(12, 116, 996, 476));
        QCOMPARE(F.FList->columnWidth(0), 150);
        QCOMPARE(F.FList->columnWidth(3), 70);
        QCOMPARE(F.FList->columnWidth(4), First + 200);
    }

    void MinimumSizeKeepsEverythingReadable()
    {
        QString Rows;
        for (int I = 0; I < 40; ++I)
            Rows += J("{'name':'B%1','count':-2147483648},").arg(I);
        Rows.chop(1);
        TSourcesForm F(nullptr, Doc(J("{'sources':[%1]}").arg(Rows)));
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        F.resize(F.minimumSize());
        QCoreApplication::processEvents();
        QCOMPARE(F.size(), QSize(640, 380));
        // The note stays right of the buttons and inside the window.
        QCOMPARE(F.FNote->x(), 224);
        QVERIFY(F.FNote->geometry().right() < F.width());
        QVERIFY(F.FList->columnWidth(3) > F.FList->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")));
        QVERIFY(!F.FList->horizontalScrollBar()->isVisible());
    }

    void EscapeCloses()
    {
        TSourcesForm F(nullptr, Doc(QStringLiteral("{}")));
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        F.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&F));
        F.FList->setFocus();
        QTest::keyClick(F.FList, Qt::Key_Escape);
        QVERIFY(!F.isVisible());
    }
};

QTEST_MAIN(TSourcesFormTest)
#include "tst_sources_form.moc"
