#include "find_control.h"
#include "test_docs.h"
#include "json.h"
#include "sources_form.h"
#include "ui_hooks.h"

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
    // A desktop that holds the window at its built-for size (the offscreen
    // screen is smaller).
    void initTestCase() { UiHooks().ScreenArea = [](const QWidget*) { return QRect(0, 0, 1920, 1080); }; }
    // The reading rules are the model's; here the window shows and copies its rows.
    void Fill()
    {
        TSourcesForm F(nullptr, Doc(J("{'generated':'g','sources':[{'name':'Chrome','profile':'Default',"
                                      "'status':'可读取','count':12345,'path':'/h/History','ok':true},7]}")));
        QCOMPARE(Ctl<QLabel>(F, "LblMeta")->text(), QStringLiteral("共 2 个数据源，其中 1 个可用（已采集或无记录）　·　生成于 g"));
        const QTableWidget* List = Ctl<QTableWidget>(F, "List");
        QCOMPARE(List->rowCount(), 2);
        QCOMPARE(List->item(0, 3)->text(), QStringLiteral("12345"));
        QCOMPARE(List->item(0, 4)->toolTip(), QStringLiteral("/h/History"));
        const QString Copied = kHeader + QStringLiteral("Chrome\tDefault\t可读取\t12345\t/h/History\r\n\t\t\t0\t\r\n");
        QCOMPARE(F.ListText(), Copied);
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        F.CopyList();
        QCOMPARE(QGuiApplication::clipboard()->text(), Copied);
    }

    void NoDocumentLeavesSummaryEmpty()
    {
        TSourcesForm F(nullptr, nullptr);
        QCOMPARE(Ctl<QLabel>(F, "LblMeta")->text(), QString());
        QCOMPARE(Ctl<QTableWidget>(F, "List")->rowCount(), 0);
    }

    void ColumnsFollowTheWidth()
    {
        TSourcesForm F(nullptr, Doc(J("{'sources':[{'name':'a'}]}")));
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        QCOMPARE(F.windowTitle(), QStringLiteral("数据源检测结果"));
        QCOMPARE(F.size(), QSize(820, 540));
        const QTableWidget* List = Ctl<QTableWidget>(F, "List");
        QCOMPARE(List->geometry(), QRect(12, 116, 796, 416));
        const int First = List->columnWidth(4);
        QCOMPARE(First, List->contentsRect().width() - 550 - 4);
        QVERIFY(First > 200 && First < 260);
        F.resize(1020, 600);
        QCoreApplication::processEvents();
        QCOMPARE(List->geometry(), QRect(12, 116, 996, 476));
        QCOMPARE(List->columnWidth(0), 150);
        QCOMPARE(List->columnWidth(3), 70);
        QCOMPARE(List->columnWidth(4), First + 200);
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
        const QLabel* Note = Ctl<QLabel>(F, "Note");
        QCOMPARE(Note->x(), 224);
        QVERIFY(Note->geometry().right() < F.width());
        const QTableWidget* List = Ctl<QTableWidget>(F, "List");
        QVERIFY(List->columnWidth(3) > List->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")));
        QVERIFY(!List->horizontalScrollBar()->isVisible());
    }

    void EscapeKeepsTheWindow()
    {
        TSourcesForm F(nullptr, Doc(QStringLiteral("{}")));
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        F.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&F));
        QTableWidget* List = Ctl<QTableWidget>(F, "List");
        List->setFocus();
        QTest::keyClick(List, Qt::Key_Escape);
        QVERIFY(F.isVisible());
    }
};

QTEST_MAIN(TSourcesFormTest)
#include "tst_sources_form.moc"
