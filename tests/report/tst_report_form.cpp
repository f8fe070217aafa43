#include "test_docs.h"
#include "json.h"
#include "msg_box.h"
#include "palette.h"
#include "find_control.h"
#include "records_model.h"
#include "records_page.h"
#include "report_load.h"
#include "text_util.h"
#include "report_file.h"
#include "report_layout.h"
#include "ui_hooks.h"
#include "window_fit.h"
#include "report_window.h"

#include "bar_chart.h"
#include "chart_geometry.h"
#include "card.h"
#include "flat_button.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "rank_chart.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct TMsg {
    QString Text;
    TMsgKind Kind;
};

// A document with N records whose fields are easy to tell apart.
QString RecordsDocument(int N, qint64 Total, const QString& Extra = QString())
{
    QString Records;
    for (int I = 0; I < N; ++I) {
        if (I)
            Records += u',';
        Records += J("{'time':'2024-05-%1 10:00','browser':'Chrome','profile':'P%2','title':'Title %2',"
                     "'url':'https://site%3.example/page/%2'}")
                       .arg(QString::number(I % 28 + 1).rightJustified(2, u'0'), QString::number(I),
                            QString::number(I % 3));
    }
    return J("{'title':'测试报告','stats':{'total':%1,'activeDays':2},%2'records':[%3]}")
        .arg(QString::number(Total), Extra, Records);
}

TRecordsPage* Records(const TReportForm& F)
{
    return Ctl<TRecordsPage>(F, "PgRecords");
}

TRecordsModel* RecModel(const TReportForm& F)
{
    return qobject_cast<TRecordsModel*>(Ctl<QTableView>(F, "RecList")->model());
}

// The records shown, by their index in the document.
QList<int> RowsShown(const TReportForm& F)
{
    const std::vector<int>& Rows = RecModel(F)->Rows();
    return QList<int>(Rows.begin(), Rows.end());
}

}  // namespace

class TReportFormTest : public QObject {
    Q_OBJECT
public:
    std::vector<TMsg> FMsgs;
    QStringList FOpened;
    QStringList FRevealed;

    std::unique_ptr<TReportForm> Open(const QString& Text, const QString& OutDir = QString(), bool NoData = false)
    {
        return Open(Text.toUtf8(), OutDir, NoData);
    }
    std::unique_ptr<TReportForm> Open(const QByteArray& Bytes, const QString& OutDir = QString(), bool NoData = false)
    {
        QString Err;
        auto Doc = ParseJsonBytes(Bytes, Err);
        if (!Doc)
            qFatal("bad test document: %s", qPrintable(Err));
        return std::make_unique<TReportForm>(nullptr, std::move(Doc), Bytes, OutDir, NoData);
    }

    static void ShowPage(TReportForm& F, QWidget* Page)
    {
        Ctl<QTabWidget>(F, "Tabs")->setCurrentWidget(Page);
        QCoreApplication::processEvents();
    }

    // The save dialog picks File; Start gets where it began.
    static void AnswerSaveDialog(const QString& File, QString& Start)
    {
        UiHooks().PickSaveFile = [File, &Start](const QString&, const QString& From, const QString&, QString& Picked) {
            Start = From;
            Picked = File;
            return true;
        };
    }

    static void Select(TReportForm& F, const QList<int>& Rows)
    {
        QTableView* List = Ctl<QTableView>(F, "RecList");
        QItemSelectionModel* Sel = List->selectionModel();
        Sel->clearSelection();
        for (int R : Rows)
            Sel->select(List->model()->index(R, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        UiHooks().ShowMsg = [this](QWidget*, const QString& Text, TMsgKind Kind) {
            FMsgs.push_back({Text, Kind});
            return kIdOk;
        };
        UiHooks().ShellOpen = [this](const QString& T) { FOpened << T; };
        UiHooks().Reveal = [this](const QString& P) { FRevealed << P; };
        // A desktop that holds the windows at their built-for size (the
        // offscreen screen is smaller).
        UiHooks().ScreenArea = [](const QWidget*) { return QRect(0, 0, 1920, 1080); };
    }
    void init()
    {
        FMsgs.clear();
        FOpened.clear();
        FRevealed.clear();
    }
    void cleanupTestCase() { UiHooks() = TUiHooks(); }

    void LoadsIntoControls()
    {
        auto F = Open(RecordsDocument(3, 1234, J("'truncated':true,'browsers':[['Chrome',3],['Edge',1]],")));
        QCOMPARE(F->windowTitle(), QStringLiteral("采集报告 · 测试报告"));
        QCOMPARE(Ctl<QLabel>(*F, "LblTitle")->text(), QStringLiteral("测试报告"));
        QCOMPARE(Ctl<QLabel>(*F, "LblCount")->text(), QStringLiteral("1,234 次访问"));
        QCOMPARE(Ctl<QLabel>(*F, "KpiVal", 0)->text(), QStringLiteral("1,234"));
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 3)->text(), QStringLiteral("617 次"));
        QCOMPARE(Ctl<QLabel>(*F, "BrsInfoVal", 3)->text(), QStringLiteral("617 次"));
        QCOMPARE(Ctl<QLabel>(*F, "LblTrendSpan")->text(), QStringLiteral("暂无按日统计数据"));
        QCOMPARE(F->BrCount(), 2);
        QCOMPARE(Ctl<TRankChart>(*F, "BrsChart")->Entries().size(), 2);
        QCOMPARE(F->Shown(), 3);
        QCOMPARE(F->StatusText(), QStringLiteral("明细按上限抽样：显示 3 条 / 共 1,234 条"));
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->text(), QStringLiteral("共 1,234 条，双击一行用默认浏览器打开；Ctrl+C 复制选中"));
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->count(), 7);
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Ctl<QWidget>(*F, "PgOverview"));
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->tabText(6), QStringLiteral("访问明细"));
    }

    void SourceRows()
    {
        auto F = Open(J("{'sources':[{'name':'Chrome','profile':'Default','status':'已采集','count':12345,"
                        "'msg':'m','path':'/p','ok':true},{'name':'Edge'},7]}"));
        const QTableWidget* Src = Ctl<QTableWidget>(*F, "SrcList");
        QCOMPARE(Src->rowCount(), 3);
        QCOMPARE(Src->item(0, 3)->text(), QStringLiteral("12345"));
        QCOMPARE(Src->item(0, 4)->text(), QStringLiteral("m"));
        QCOMPARE(Src->item(0, 5)->text(), QStringLiteral("/p"));
        QCOMPARE(Src->item(2, 0)->text(), QString());
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 0)->text(), QStringLiteral("3 个（有效 1）"));
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 1)->text(), QStringLiteral("2 个"));
    }

    void PlacesAtInitialSize()
    {
        auto F = Open(RecordsDocument(5, 5));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        QCOMPARE(F->size(), QSize(1120, 760));
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->geometry(), QRect(0, 126, 1120, 604));
        QCOMPARE(Ctl<QStatusBar>(*F, "Status")->geometry(), QRect(0, 736, 1120, 24));
        QCOMPARE(Ctl<QLabel>(*F, "LblTitle")->geometry(), QRect(20, 10, 700, 30));
        QCOMPARE(Ctl<QLabel>(*F, "LblCount")->geometry(), QRect(856, 18, 240, 28));
        QCOMPARE(Ctl<QLabel>(*F, "LblDetail")->geometry(), QRect(22, 46, 800, 18));
        QCOMPARE(Ctl<QLabel>(*F, "LblTitle")->font().pointSize(), 17);
        QVERIFY(Ctl<QLabel>(*F, "LblTitle")->font().bold());

        const TOverviewLayout O = OverviewLayout(Ctl<QWidget>(*F, "PgOverview")->size());
        for (int I = 0; I < 5; ++I)
            QCOMPARE(Ctl<TCard>(*F, "KpiCard", I)->geometry(), O.Kpi[I]);
        QCOMPARE(Ctl<TCard>(*F, "InfoCard")->geometry(), O.Info);
        QCOMPARE(Ctl<TCard>(*F, "IndexCard")->geometry(), O.Index);
        QCOMPARE(Ctl<QLabel>(*F, "IdxName", 5)->geometry(), O.IdxName[5]);
        QCOMPARE(Ctl<QLabel>(*F, "IdxDesc", 5)->geometry(), O.IdxDesc[5]);
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 0)->geometry(), QRect(20, 40, 240, 26));
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 3)->geometry(), QRect(812, 40, 240, 26));

        ShowPage(*F, Records(*F));
        const QSize Page = Records(*F)->size();
        QCOMPARE(Ctl<QLineEdit>(*F, "EdFilter")->geometry(), QRect(16, 12, 340, 24));
        QCOMPARE(Ctl<QLineEdit>(*F, "EdFilter")->placeholderText(), QStringLiteral("搜索标题、网址或域名，空格分词"));
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->geometry().topLeft(), QPoint(368, 15));
        QTableView* RecList = Ctl<QTableView>(*F, "RecList");
        const QRect List = RecList->geometry();
        QCOMPARE(List.topLeft(), QPoint(16, 48));
        // Built for a 1112 x 572 page: 16 px to the right, 54 px to the bottom.
        QCOMPARE(Page.width() - List.right() - 1, 16);
        QCOMPARE(Page.height() - List.bottom() - 1, 54);
        QCOMPARE(RecList->columnWidth(0), 140);
        QCOMPARE(RecList->columnWidth(3), 360);
        QCOMPARE(RecModel(*F)->headerData(4, Qt::Horizontal).toString(), QStringLiteral("网址"));
        const int Sb = RecList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, RecList);
        QCOMPARE(RecList->columnWidth(4), RecList->contentsRect().width() - 750 - Sb - 4);
        QVERIFY(!RecList->horizontalScrollBar()->isVisible());

        ShowPage(*F, Ctl<QWidget>(*F, "PgTime"));
        const TTimeLayout T = TimeLayout(Ctl<QWidget>(*F, "PgTime")->size());
        QCOMPARE(Ctl<THeatChart>(*F, "HeatChart")->geometry(), T.Heat);
        QCOMPARE(Ctl<TBarChart>(*F, "BarChart")->geometry(), T.Bars);
    }

    void ResizeRules_data()
    {
        QTest::addColumn<QSize>("Size");
        QTest::addColumn<int>("Browsers");
        QTest::newRow("minimum, 2 browsers") << QSize(980, 640) << 2;
        QTest::newRow("minimum, 12 browsers") << QSize(980, 640) << 12;
        QTest::newRow("large, 12 browsers") << QSize(1900, 1060) << 12;
        QTest::newRow("large, 40 browsers") << QSize(1900, 1060) << 40;
    }
    void ResizeRules()
    {
        QFETCH(QSize, Size);
        QFETCH(int, Browsers);
        QString Brs;
        for (int I = 0; I < Browsers; ++I)
            Brs += J("['B%1',%2],").arg(I).arg(100 - I);
        Brs.chop(1);
        auto F = Open(J("{'browsers':[%1]}").arg(Brs));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        F->resize(Size);
        QCoreApplication::processEvents();
        QCOMPARE(F->size(), Size);
        // The header count label keeps its distance from the right edge.
        QCOMPARE(Ctl<QLabel>(*F, "LblCount")->geometry().right(), Size.width() - 24 - 1);
        QCOMPARE(Ctl<QLabel>(*F, "LblDetail")->width(), Size.width() - 320);
        QCOMPARE(Ctl<QStatusBar>(*F, "Status")->geometry(), QRect(0, Size.height() - 24, Size.width(), 24));

        // The pages follow their geometry; the labels anchored in the cards follow the cards.
        const TOverviewLayout O = OverviewLayout(Ctl<QWidget>(*F, "PgOverview")->size());
        QCOMPARE(Ctl<TCard>(*F, "KpiCard", 4)->geometry(), O.Kpi[4]);
        QCOMPARE(Ctl<QLabel>(*F, "KpiVal", 4)->width(), O.Kpi[4].width() - 32);
        QCOMPARE(Ctl<TCard>(*F, "InfoCard")->geometry(), O.Info);
        QCOMPARE(Ctl<QLabel>(*F, "InfoVal", 4)->width(), O.Info.width() - 196);

        ShowPage(*F, Ctl<QWidget>(*F, "PgBrowser"));
        const TBrowserLayout B = BrowserLayout(Ctl<QWidget>(*F, "PgBrowser")->size(), Browsers);
        QCOMPARE(Ctl<TRankChart>(*F, "BrsChart")->geometry(), B.Chart);
        QCOMPARE(Ctl<TCard>(*F, "BrsInfoCard")->geometry(), B.Info);
        QCOMPARE(Ctl<QLabel>(*F, "LblBrsInfo")->geometry(), B.Note);
        QVERIFY(Ctl<TRankChart>(*F, "BrsChart")->height() > 0);

        ShowPage(*F, Ctl<QWidget>(*F, "PgDomain"));
        const TSplitLayout D = DomainLayout(Ctl<QWidget>(*F, "PgDomain")->size());
        QCOMPARE(Ctl<TRankChart>(*F, "DnsChart")->geometry(), D.Left);
        QCOMPARE(Ctl<TDonutChart>(*F, "Donut")->geometry(), D.Right);
        QVERIFY(Ctl<TDonutChart>(*F, "Donut")->width() > 0);

        ShowPage(*F, Ctl<QWidget>(*F, "PgPage"));
        QCOMPARE(Ctl<TRankChart>(*F, "KwsChart")->geometry(), PagesLayout(Ctl<QWidget>(*F, "PgPage")->size()).Right);

        ShowPage(*F, Ctl<QWidget>(*F, "PgTime"));
        const TTimeLayout T = TimeLayout(Ctl<QWidget>(*F, "PgTime")->size());
        QCOMPARE(Ctl<TBarChart>(*F, "BarChart")->geometry(), T.Bars);
        QVERIFY(Ctl<TBarChart>(*F, "BarChart")->height() > 0);
        QCOMPARE(Ctl<QLabel>(*F, "LblTrendSpan")->geometry(), T.Span);

        ShowPage(*F, Records(*F));
        QVERIFY(!Ctl<QTableView>(*F, "RecList")->size().isEmpty());
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->geometry().right(), Records(*F)->width() - (1112 - 1068) - 1);
    }

    void EveryPartReachable_data()
    {
        QTest::addColumn<QSize>("Size");
        QTest::newRow("minimum") << QSize(980, 640);
        QTest::newRow("initial") << QSize(1120, 760);
        QTest::newRow("large") << QSize(1600, 900);
    }
    void EveryPartReachable()
    {
        QFETCH(QSize, Size);
        QString Doms;
        for (int I = 0; I < 15; ++I)
            Doms += J("['d%1.example',%2],").arg(I).arg(100 - I);
        Doms.chop(1);
        auto F = Open(J("{'domains':[%1]}").arg(Doms));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        F->resize(Size);
        QCoreApplication::processEvents();

        // Every row of the table of contents lies inside its card, the card inside the page.
        const QRect Card = Ctl<TCard>(*F, "IndexCard")->geometry();
        QVERIFY(Card.bottom() < Ctl<QWidget>(*F, "PgOverview")->height());
        for (int I = 0; I < 7; ++I) {
            const QLabel* Name = Ctl<QLabel>(*F, "IdxName", I);
            QVERIFY2(Name->geometry().bottom() < Card.height(), qPrintable(Name->text()));
        }

        // Titles stand over what they title; the donut keeps room for legend names.
        ShowPage(*F, Ctl<QWidget>(*F, "PgDomain"));
        QCOMPARE(Ctl<QLabel>(*F, "CatTitle")->x(), Ctl<TDonutChart>(*F, "Donut")->x());
        QCOMPARE(Ctl<QLabel>(*F, "CatNote")->x(), Ctl<TDonutChart>(*F, "Donut")->x());
        QVERIFY(Ctl<TDonutChart>(*F, "Donut")->width() >= 420);
        ShowPage(*F, Ctl<QWidget>(*F, "PgPage"));
        QCOMPARE(Ctl<QLabel>(*F, "KwsTitle")->x(), Ctl<TRankChart>(*F, "KwsChart")->x());
        QCOMPARE(Ctl<QLabel>(*F, "KwsNote")->x(), Ctl<TRankChart>(*F, "KwsChart")->x());

        // The rankings scroll where their rows do not fit.
        QCOMPARE(!Ctl<TRankChart>(*F, "DnsChart")->ScrollBar()->isHidden(), Size.height() < 700);
    }

    void TabsHighlightUnderPointer()
    {
        auto F = Open(QStringLiteral("{}"));
        QTabBar* Bar = Ctl<QTabWidget>(*F, "Tabs")->tabBar();
        const auto Move = [Bar](int Tab) {
            const QPointF Pos = Bar->tabRect(Tab).center();
            QMouseEvent E(QEvent::MouseMove, Pos, Bar->mapToGlobal(Pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(Bar, &E);
        };
        Move(2);
        Move(3);
        QCOMPARE(Bar->tabTextColor(2), QColor());
        QCOMPARE(Bar->tabTextColor(3), ToQColor(clAccent));
        QEvent Leave(QEvent::Leave);
        QCoreApplication::sendEvent(Bar, &Leave);
        for (int I = 0; I < Bar->count(); ++I)
            QCOMPARE(Bar->tabTextColor(I), QColor());
    }

    void WideValuesStayWhole()
    {
        auto F = Open(J("{'stats':{'total':9223372036854775807,'peak':'周三 21:00-22:00 以及一段很长很长的说明文字'},"
                        "'sources':[{'name':'Chrome','count':-2147483648}]}"));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        F->resize(980, 640);
        QCoreApplication::processEvents();
        // The header count grows leftwards rather than losing leading digits.
        const QLabel* Count = Ctl<QLabel>(*F, "LblCount");
        QVERIFY(Count->text().startsWith(QStringLiteral("9,223,372")));
        QVERIFY(Count->width() >= Count->fontMetrics().horizontalAdvance(Count->text()));
        QCOMPARE(Count->geometry().right(), 980 - 24 - 1);
        // A key figure too wide even at 11 pt ends in an ellipsis, whole in the tooltip.
        const QString Peak = QStringLiteral("周三 21:00-22:00 以及一段很长很长的说明文字");
        const QLabel* Figure = Ctl<QLabel>(*F, "KpiVal", 4);
        QVERIFY(Figure->text().endsWith(u'…'));
        QVERIFY(Peak.startsWith(Figure->text().chopped(1)));
        QCOMPARE(Figure->toolTip(), Peak);
        QVERIFY(Figure->fontMetrics().horizontalAdvance(Figure->text()) <= Figure->width());
        // Numbers in the source list are never elided.
        const QTableWidget* Src = Ctl<QTableWidget>(*F, "SrcList");
        const QString Number = Src->item(0, 3)->text();
        QCOMPARE(Number, QStringLiteral("-2147483648"));
        QVERIFY(Src->columnWidth(3) > Src->fontMetrics().horizontalAdvance(Number));
    }

    void EscapeKeepsTheWindow_data()
    {
        QTest::addColumn<QString>("Target");
        QTest::addColumn<QString>("Filter");
        QTest::newRow("toolbar") << "toolbar" << "site1";
        QTest::newRow("filter box: clears it") << "filter" << "site1";
        QTest::newRow("empty filter box") << "filter" << "";
        QTest::newRow("records list") << "list" << "site1";
    }
    void EscapeKeepsTheWindow()
    {
        QFETCH(QString, Target);
        QFETCH(QString, Filter);
        QWidget Owner;
        auto* F = ShowReportWindow(&Owner, ParseJsonOrDie(RecordsDocument(3, 3)), QByteArray(), QString(), false);
        QVERIFY(QTest::qWaitForWindowExposed(F));
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(F));
        Ctl<QLineEdit>(*F, "EdFilter")->setText(Filter);
        QWidget* W = F->focusWidget();
        if (Target != u"toolbar") {
            ShowPage(*F, Records(*F));
            W = Target == u"filter" ? static_cast<QWidget*>(Ctl<QLineEdit>(*F, "EdFilter"))
                                    : Ctl<QTableView>(*F, "RecList");
            W->setFocus();
        }
        QVERIFY(W);
        QTest::keyClick(W, Qt::Key_Escape);
        QVERIFY(F->isVisible());
        QCOMPARE(Ctl<QLineEdit>(*F, "EdFilter")->text(), Target == u"filter" ? QString() : Filter);
        QCOMPARE(F->Shown(), Target == u"filter" ? 3 : 1);
        QTest::keyClick(W, Qt::Key_Escape);
        QVERIFY(F->isVisible());
    }

    void WindowsFitTheScreen_data()
    {
        QTest::addColumn<QRect>("Area");
        QTest::newRow("1600 x 1000 at scale 1.5") << QRect(0, 0, 1067, 667);
        QTest::newRow("1600 x 1000 at scale 2") << QRect(0, 0, 800, 500);
    }
    void WindowsFitTheScreen()
    {
        QFETCH(QRect, Area);
        const auto Desktop = UiHooks().ScreenArea;
        UiHooks().ScreenArea = [Area](const QWidget*) { return Area; };
        QWidget Owner;
        Owner.setGeometry(Area.right() - 100, Area.bottom() - 100, 100, 100);
        auto F = std::make_unique<TReportForm>(&Owner, ParseJsonOrDie(RecordsDocument(2, 2)), QByteArray(), QString(),
                                               false);
        TSourcesForm S(&Owner, ParseJsonOrDie("{}"));
        UiHooks().ScreenArea = Desktop;
        for (QWidget* W : {static_cast<QWidget*>(F.get()), static_cast<QWidget*>(&S)}) {
            QVERIFY(Area.contains(W->geometry().marginsAdded(WindowFrame(W))));
            QVERIFY(W->minimumWidth() <= W->width() && W->minimumHeight() <= W->height());
        }
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        // Below the size the pages are laid out for at least, the content scrolls.
        QVERIFY(Ctl<QWidget>(*F, "Client")->width() >= 980 && Ctl<QWidget>(*F, "Client")->height() >= 640);
        QVERIFY(Ctl<QWidget>(*F, "Client")->height() > F->height());
    }

    void PageKeysFromAnyFocus_data()
    {
        QTest::addColumn<QString>("Focus");
        QTest::addColumn<int>("Start");
        QTest::addColumn<int>("Key");
        QTest::addColumn<int>("Modifiers");
        QTest::addColumn<int>("Page");
        const int Ctrl = Qt::ControlModifier;
        QTest::newRow("as opened, Ctrl+Tab") << "opened" << 0 << int(Qt::Key_Tab) << Ctrl << 1;
        QTest::newRow("as opened, Ctrl+PgDn") << "opened" << 0 << int(Qt::Key_PageDown) << Ctrl << 1;
        QTest::newRow("as opened, Ctrl+Shift+Tab wraps")
            << "opened" << 0 << int(Qt::Key_Backtab) << int(Ctrl | Qt::ShiftModifier) << 6;
        QTest::newRow("filter box, Ctrl+Tab wraps") << "filter" << 6 << int(Qt::Key_Tab) << Ctrl << 0;
        QTest::newRow("records list, Ctrl+PgUp") << "list" << 6 << int(Qt::Key_PageUp) << Ctrl << 5;
        QTest::newRow("ranking, Ctrl+PgDn") << "ranking" << 2 << int(Qt::Key_PageDown) << Ctrl << 3;
    }
    void PageKeysFromAnyFocus()
    {
        QFETCH(QString, Focus);
        QFETCH(int, Start);
        QFETCH(int, Key);
        QFETCH(int, Modifiers);
        auto F = Open(RecordsDocument(3, 3, J("'domains':[['site0.example',2]],")));
        F->show();
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(F.get()));
        Ctl<QTabWidget>(*F, "Tabs")->setCurrentIndex(Start);
        QWidget* W = Focus == u"filter" ? Ctl<QLineEdit>(*F, "EdFilter")
                     : Focus == u"list" ? Ctl<QTableView>(*F, "RecList")
                     : Focus == u"ranking" ? static_cast<QWidget*>(Ctl<TRankChart>(*F, "DnsChart"))
                                           : F->focusWidget();
        QVERIFY(W);
        W->setFocus();
        QTRY_VERIFY(W->hasFocus());
        QTest::keyClick(W, Qt::Key(Key), Qt::KeyboardModifiers(Modifiers));
        QTEST(Ctl<QTabWidget>(*F, "Tabs")->currentIndex(), "Page");
    }

    void RankingByKeyboard()
    {
        auto F = Open(RecordsDocument(5, 5, J("'domains':[['site0.example',2],['site1.example',2]],")));
        F->show();
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(F.get()));
        ShowPage(*F, Ctl<QWidget>(*F, "PgDomain"));
        // Tab from the page's tab reaches the ranking; Enter acts as a double click.
        Ctl<QTabWidget>(*F, "Tabs")->tabBar()->setFocus();
        for (int I = 0; I < 10 && !Ctl<TRankChart>(*F, "DnsChart")->hasFocus(); ++I)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(Ctl<TRankChart>(*F, "DnsChart")->hasFocus());
        QCOMPARE(Ctl<TRankChart>(*F, "DnsChart")->CurrentRow(), 0);
        QTest::keyClick(Ctl<TRankChart>(*F, "DnsChart"), Qt::Key_Down);
        QTest::keyClick(Ctl<TRankChart>(*F, "DnsChart"), Qt::Key_Return);
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Records(*F));
        QCOMPARE(Ctl<QLineEdit>(*F, "EdFilter")->text(), QStringLiteral("site1.example"));
    }

    // A click on a chart item opens the records it stands for: the chip's
    // rows are as many as the chart counts for the item.
    void ChartsDrillToRecords_data()
    {
        QTest::addColumn<QString>("Page");
        QTest::addColumn<QString>("Chart");
        QTest::addColumn<int>("Item");
        QTest::addColumn<QString>("Chip");
        QTest::addColumn<QList<int>>("Rows");
        QTest::newRow("trend day") << "PgTime" << "BarChart" << 1 << "2024-05-02 ×" << QList<int>{1};
        QTest::newRow("heat cell") << "PgTime" << "HeatChart" << 4 * 24 + 10 << "周四 10 时 ×" << QList<int>{1};
        QTest::newRow("browser") << "PgBrowser" << "BrsChart" << 1 << "Edge ×" << QList<int>{1, 3, 5};
        QTest::newRow("category") << "PgDomain" << "Donut" << 0 << "其他 ×" << QList<int>{0, 1, 2, 3, 4, 5};
    }
    void ChartsDrillToRecords()
    {
        QFETCH(QString, Page);
        QFETCH(QString, Chart);
        QFETCH(int, Item);
        QFETCH(QString, Chip);
        QFETCH(QList<int>, Rows);
        // Days 2024-05-01 (a Wednesday) to 05-06 at 10:00; odd records in Edge.
        QString Doc = RecordsDocument(6, 6,
                                      J("'days':[['2024-05-01',1],['2024-05-02',1],['2024-05-03',1]],"
                                        "'heat':[[],[],[],[],[0,0,0,0,0,0,0,0,0,0,1]],"
                                        "'browsers':[['Chrome',3],['Edge',3]],'cats':[['其他',6,'#9ca3af']],"));
        for (int I = 1; I < 6; I += 2)
            Doc.replace(J("'Chrome','profile':'P%1'").arg(I), J("'Edge','profile':'P%1'").arg(I));
        auto F = Open(Doc);
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        ShowPage(*F, Ctl<QWidget>(*F, qPrintable(Page)));
        TChartBase* C = Ctl<TChartBase>(*F, qPrintable(Chart));
        C->repaint(); // the bars are hit where they were last painted
        QPoint At(-1, -1);
        for (int Y = 0; Y < C->height() && At.x() < 0; Y += 2)
            for (int X = 0; X < C->width() && At.x() < 0; X += 2)
                if (C->ItemAt(QPoint(X, Y)) == Item)
                    At = QPoint(X, Y);
        QVERIFY(At.x() >= 0);
        QTest::mouseClick(C, Qt::LeftButton, {}, At);
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Records(*F));
        QCOMPARE(Ctl<TFlatButton>(*F, "Chip0")->Caption(), Chip);
        QCOMPARE(RowsShown(*F), Rows);
    }

    // Tab reaches the heat chart; the arrows move its keyboard cell, whose
    // read-out shows; Enter opens its records.
    void HeatByKeyboard()
    {
        auto F = Open(RecordsDocument(6, 6, J("'heat':[[],[],[],[],[0,0,0,0,0,0,0,0,0,0,1]],")));
        F->show();
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(F.get()));
        ShowPage(*F, Ctl<QWidget>(*F, "PgTime"));
        auto* Heat = Ctl<THeatChart>(*F, "HeatChart");
        Ctl<QTabWidget>(*F, "Tabs")->tabBar()->setFocus();
        for (int I = 0; I < 10 && !Heat->hasFocus(); ++I)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(Heat->hasFocus());
        QCOMPARE(Heat->FocusItem(), 0);
        for (int I = 0; I < 10; ++I)
            QTest::keyClick(Heat, Qt::Key_Right);
        for (int I = 0; I < 4; ++I)
            QTest::keyClick(Heat, Qt::Key_Down);
        QTest::keyClick(Heat, Qt::Key_Left);
        QTest::keyClick(Heat, Qt::Key_Right);
        QCOMPARE(Heat->FocusItem(), 4 * 24 + 10);
        QCOMPARE(Heat->SummaryText(), HeatHoverText(4, 10, 1));
        QTest::keyClick(Heat, Qt::Key_Return);
        QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Records(*F));
        QCOMPARE(RowsShown(*F), QList<int>{1});
    }

    void DestroyedWithOwner()
    {
        auto Owner = std::make_unique<QWidget>();
        QPointer<TReportForm> R = ShowReportWindow(Owner.get(), ParseJsonOrDie("{}"), QByteArray(), QString(), true);
        QPointer<TSourcesForm> S = ShowSourcesWindow(Owner.get(), ParseJsonOrDie("{}"));
        QVERIFY(R && S);
        QVERIFY(R->isWindow() && S->isWindow());
        Owner.reset();
        QVERIFY(!R && !S);
    }

    void Filter_data()
    {
        QTest::addColumn<QString>("Filter");
        QTest::addColumn<QList<int>>("Rows");
        QTest::addColumn<QString>("Info");
        QTest::newRow("blank") << "   " << QList<int>{0, 1, 2, 3, 4, 5}
                               << "共 10,000 条，双击一行用默认浏览器打开；Ctrl+C 复制选中";
        QTest::newRow("two terms") << "SITE1 page/4" << QList<int>{4} << "共 10,000 条，当前筛选 1 条";
        QTest::newRow("phrase across fields") << "\"title 2 https\"" << QList<int>{2}
                                              << "共 10,000 条，当前筛选 1 条";
        QTest::newRow("profile") << "p5" << QList<int>{5} << "共 10,000 条，当前筛选 1 条";
        QTest::newRow("time not searched") << "2024-05" << QList<int>{} << "共 10,000 条，当前筛选 0 条";
        QTest::newRow("unterminated phrase") << "\"site0.example/page" << QList<int>{0, 3}
                                             << "共 10,000 条，当前筛选 2 条";
    }
    void Filter()
    {
        QFETCH(QString, Filter);
        QFETCH(QList<int>, Rows);
        QFETCH(QString, Info);
        auto F = Open(RecordsDocument(6, 10000));
        Select(*F, {0});
        Ctl<QLineEdit>(*F, "EdFilter")->setText(Filter);
        QCOMPARE(F->Shown(), Rows.size());
        QCOMPARE(RowsShown(*F), Rows);
        QCOMPARE(RecModel(*F)->rowCount(), Rows.size());
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->text(), Info);
        QVERIFY(!Ctl<QTableView>(*F, "RecList")->selectionModel()->hasSelection());
        QCOMPARE(Ctl<QTableView>(*F, "RecList")->columnWidth(3), 360);  // a new row set keeps the columns
        // The filter never touches the status bar.
        QCOMPARE(F->StatusText(), QStringLiteral("明细 6 条"));
    }

    // Header clicks sort up, down, then back to document order; the sort
    // holds while the filter changes, and the header shows it.
    void HeaderClicksSort()
    {
        auto F = Open(RecordsDocument(6, 6));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        ShowPage(*F, Records(*F));
        QHeaderView* Header = Ctl<QTableView>(*F, "RecList")->horizontalHeader();
        const auto ClickUrl = [Header] {
            const int X = Header->sectionViewportPosition(TRecordsModel::rcUrl) + 8;
            QTest::mouseClick(Header->viewport(), Qt::LeftButton, {}, QPoint(X, Header->height() / 2));
        };
        ClickUrl();
        QCOMPARE(RowsShown(*F), QList<int>({0, 3, 1, 4, 2, 5}));
        QVERIFY(Header->isSortIndicatorShown());
        QCOMPARE(Header->sortIndicatorOrder(), Qt::AscendingOrder);
        ClickUrl();
        Ctl<QLineEdit>(*F, "EdFilter")->setText(QStringLiteral("2"));
        QCOMPARE(RowsShown(*F), QList<int>({5, 2}));
        QCOMPARE(Header->sortIndicatorSection(), int(TRecordsModel::rcUrl));
        QCOMPARE(Header->sortIndicatorOrder(), Qt::DescendingOrder);
        ClickUrl();
        QCOMPARE(RowsShown(*F), QList<int>({2, 5}));
        QVERIFY(!Header->isSortIndicatorShown());
    }

    // Chips narrow the rows together with the typed terms; a chip of a kind
    // already there replaces it; Esc clears the text first, then takes the
    // last chip; a chip's button takes it away.
    void ChipsNarrowTheRecords()
    {
        auto F = Open(RecordsDocument(6, 10000));
        TRecordsPage* Page = Records(*F);
        QLineEdit* Edit = Ctl<QLineEdit>(*F, "EdFilter");
        Page->AddChip({ckDay, QStringLiteral("2024-05-02"), 0});
        QCOMPARE(RowsShown(*F), QList<int>{1});
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->text(), QStringLiteral("共 10,000 条，当前筛选 1 条"));
        QCOMPARE(Ctl<TFlatButton>(*F, "Chip0")->Caption(), QStringLiteral("2024-05-02 ×"));
        Page->AddChip({ckBrowser, QStringLiteral("Chrome"), 0});
        Page->AddChip({ckDay, QStringLiteral("2024-05-03"), 0});
        QCOMPARE(Page->Chips().size(), size_t(2));
        QCOMPARE(RowsShown(*F), QList<int>{2});
        Edit->setText(QStringLiteral("site1"));
        QCOMPARE(RowsShown(*F), QList<int>{});
        QTest::keyClick(Edit, Qt::Key_Escape);
        QCOMPARE(Edit->text(), QString());
        QCOMPARE(Page->Chips().size(), size_t(2));
        QTest::keyClick(Edit, Qt::Key_Escape);
        QCOMPARE(Page->Chips(), std::vector<TRecordChip>({{ckDay, QStringLiteral("2024-05-03"), 0}}));
        Ctl<TFlatButton>(*F, "Chip0")->Click();
        QVERIFY(Page->Chips().empty());
        QCOMPARE(RowsShown(*F), QList<int>({0, 1, 2, 3, 4, 5}));
        QCOMPARE(Ctl<QLabel>(*F, "LblRecInfo")->text(),
                 QStringLiteral("共 10,000 条，双击一行用默认浏览器打开；Ctrl+C 复制选中"));
    }

    void RecordsNotAnArray()
    {
        auto F = Open(J("{'stats':{'total':3},'records':{'a':{'url':'x'}}}"));
        QCOMPARE(F->Shown(), 0);
        Ctl<QLineEdit>(*F, "EdFilter")->setText(QStringLiteral("x"));
        QCOMPARE(F->Shown(), 0);
        QVERIFY(!Records(*F)->RecordAt(0));
    }

    void CopyText()
    {
        auto F = Open(RecordsDocument(300, 300));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        ShowPage(*F, Records(*F));
        Ctl<QLineEdit>(*F, "EdFilter")->setText(QStringLiteral("site2"));  // rows 2, 5, 8, ...
        Select(*F, {3, 0, 99});                          // the last is far out of view
        Records(*F)->CopySelected();
        const QString Expected = QStringLiteral(
            "2024-05-03 10:00\tChrome\tTitle 2\thttps://site2.example/page/2\r\n"
            "2024-05-12 10:00\tChrome\tTitle 11\thttps://site2.example/page/11\r\n"
            "2024-05-20 10:00\tChrome\tTitle 299\thttps://site2.example/page/299\r\n");
        QCOMPARE(QGuiApplication::clipboard()->text(), Expected);
        QCOMPARE(F->StatusText(), QStringLiteral("已复制 3 行到剪贴板"));
        QVERIFY(FMsgs.empty());
    }

    void CopyKeys_data()
    {
        QTest::addColumn<int>("Key");
        QTest::addColumn<int>("Modifiers");
        QTest::addColumn<bool>("Copies");
        QTest::newRow("ctrl") << int(Qt::Key_C) << int(Qt::ControlModifier) << true;
        QTest::newRow("ctrl shift") << int(Qt::Key_C) << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
        QTest::newRow("ctrl alt") << int(Qt::Key_C) << int(Qt::ControlModifier | Qt::AltModifier) << true;
        QTest::newRow("plain") << int(Qt::Key_C) << int(Qt::NoModifier) << false;
        QTest::newRow("shift") << int(Qt::Key_C) << int(Qt::ShiftModifier) << false;
        // Row 0's time starts with 2: a type-ahead search would select it.
        QTest::newRow("digit, no type-ahead") << int(Qt::Key_2) << int(Qt::NoModifier) << false;
    }
    void CopyKeys()
    {
        QFETCH(int, Key);
        QFETCH(int, Modifiers);
        QFETCH(bool, Copies);
        auto F = Open(RecordsDocument(3, 3));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        ShowPage(*F, Records(*F));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        Select(*F, {1});
        Ctl<QTableView>(*F, "RecList")->setFocus();
        QTest::keyClick(Ctl<QTableView>(*F, "RecList"), Qt::Key(Key), Qt::KeyboardModifiers(Modifiers));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 Copies ? QStringLiteral("2024-05-02 10:00\tChrome\tTitle 1\thttps://site1.example/page/1\r\n")
                        : QStringLiteral("before"));
        const QModelIndexList Rows = Ctl<QTableView>(*F, "RecList")->selectionModel()->selectedRows();
        QCOMPARE(Rows.size(), 1);
        QCOMPARE(Rows.first().row(), 1);
    }

    void CopyNothing()
    {
        auto F = Open(RecordsDocument(3, 3));
        Records(*F)->CopySelected();
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(FMsgs[0].Text, QStringLiteral("请先在“访问明细”页选择要复制的行（可按住 Ctrl / Shift 多选）。"));
        QCOMPARE(FMsgs[0].Kind, mkInfo);
        QCOMPARE(F->StatusText(), QStringLiteral("明细 3 条"));
    }

    void DoubleClickOpens()
    {
        auto F = Open(J("{'stats':{'total':3},'records':[{'url':'https://a.example/?q=a b'},{'title':'no url'},"
                        "{'url':'file:///etc/passwd'}]}"));
        Records(*F)->RecListDblClick();  // nothing selected: nothing happens
        QVERIFY(FOpened.isEmpty() && FMsgs.empty());
        Select(*F, {1, 0});
        Records(*F)->RecListDblClick();
        QCOMPARE(FOpened, QStringList{"https://a.example/?q=a%20b"});
        Select(*F, {1});
        Records(*F)->RecListDblClick();
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(FMsgs[0].Text, QStringLiteral("这条记录没有网址。"));
        // An address that is not on the web is not opened; the status says why.
        Select(*F, {2});
        Records(*F)->RecListDblClick();
        QCOMPARE(FOpened.size(), 1);
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(F->StatusText(), QStringLiteral("出于安全考虑，只打开 http/https 网址"));
    }

    void SaveCreatesFolderChain()
    {
        QTemporaryDir Tmp;
        const QString Out = Tmp.path() + QStringLiteral("/a/b/报告");
        // Saved as the collector printed it, byte for byte: a malformed
        // byte in a title stays as it was, not as the U+FFFD shown for it.
        QByteArray Bytes = (RecordsDocument(2, 2) + QStringLiteral(" ")).toUtf8();
        Bytes.insert(Bytes.indexOf("\"title\":\"") + 9, "\xFF");
        auto F = Open(Bytes, Out);
        F->SaveJson();
        QVERIFY2(FMsgs.empty(), FMsgs.empty() ? "" : qPrintable(FMsgs[0].Text));
        const QStringList Files = QDir(Out).entryList(QDir::Files);
        QCOMPARE(Files.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^Marrowkin_Report_\\d{8}_\\d{6}\\.json$")).match(Files[0]).hasMatch());
        const QString Path = QDir::toNativeSeparators(Out + u'/' + Files[0]);
        QFile File(Path);
        QVERIFY(File.open(QIODevice::ReadOnly));
        QCOMPARE(File.readAll(), Bytes);
        QCOMPARE(F->StatusText(), QStringLiteral("已保存：") + Path);
        QCOMPARE(FRevealed, QStringList{Path});
        F->OpenSaveFolder();
        QCOMPARE(FRevealed.last(), Out);
    }

    void SaveFailureChangesNothing()
    {
        QTemporaryDir Tmp;
        // A regular file where a folder should be: not even root can create below it.
        const QString Blocker = Tmp.path() + QStringLiteral("/blocker");
        QFile B(Blocker);
        QVERIFY(B.open(QIODevice::WriteOnly));
        B.close();
        auto F = Open(RecordsDocument(1, 1), Blocker + QStringLiteral("/out"));
        const QString Before = F->StatusText();
        F->SaveJson();
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(FMsgs[0].Kind, mkError);
        QVERIFY(FMsgs[0].Text.startsWith(QStringLiteral("保存失败：")));
        QVERIFY(FMsgs[0].Text.size() > 5);
        QCOMPARE(F->StatusText(), Before);
        QVERIFY(FRevealed.isEmpty());
        QCOMPARE(QDir(Tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"blocker"});
    }

    void SaveReplacesOnlyWhenComplete()
    {
        // The target name is taken by a folder: the write fails and the
        // folder (standing in for an earlier report) is left as it was.
        QTemporaryDir Tmp;
        auto F = Open(RecordsDocument(1, 1), Tmp.path());
        const QString Name = QStringLiteral("Marrowkin_Report_%1.json")
                                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")));
        QVERIFY(QDir(Tmp.path()).mkdir(Name));
        F->SaveJson();
        if (FMsgs.empty()) {
            // The clock moved on to the next second; the save then simply worked.
            QCOMPARE(QDir(Tmp.path()).entryList(QDir::Files).size(), 1);
            return;
        }
        QVERIFY(FMsgs[0].Text.startsWith(QStringLiteral("保存失败：")));
        QCOMPARE(QDir(Tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{Name});
    }

    void SavedReportReopens()
    {
        QTemporaryDir Tmp;
        auto F = Open(RecordsDocument(4, 1234, J("'truncated':true,'days':[['2024-05-01',3]],")), Tmp.path());
        const QString Status = F->StatusText();
        F->SaveJson();
        QCOMPARE(FRevealed.size(), 1);
        TLoadedReport File = LoadReportFromFile(FRevealed[0]);
        QVERIFY2(File.Ok(), qPrintable(File.Error));
        std::unique_ptr<TReportForm> G(ShowReportWindow(nullptr, std::move(File), QString()));
        for (int I = 0; I < 5; ++I)
            QCOMPARE(Ctl<QLabel>(*G, "KpiVal", I)->text(), Ctl<QLabel>(*F, "KpiVal", I)->text());
        for (int I = 0; I < 6; ++I)
            QCOMPARE(Ctl<QLabel>(*G, "InfoVal", I)->text(), Ctl<QLabel>(*F, "InfoVal", I)->text());
        QCOMPARE(G->StatusText(), Status);
        QCOMPARE(Ctl<QLabel>(*G, "LblTrendSpan")->text(), Ctl<QLabel>(*F, "LblTrendSpan")->text());
        QCOMPARE(G->Shown(), 4);
        // It names its file and saves beside it.
        const QString Name = QFileInfo(FRevealed[0]).fileName();
        QCOMPARE(G->windowTitle(), F->windowTitle() + QStringLiteral(" — ") + Name);
        QCOMPARE(Ctl<QLabel>(*G, "LblFile")->toolTip(), FRevealed[0]);
        G->OpenSaveFolder();
        QCOMPARE(FRevealed.last(), QDir::toNativeSeparators(Tmp.path()));

        // Saving it again asks where, starting at the file itself.
        const QString Copy = QDir::toNativeSeparators(Tmp.filePath(QStringLiteral("copies/copy.json")));
        QString Start;
        AnswerSaveDialog(Copy, Start);
        G->SaveJson();
        UiHooks().PickSaveFile = nullptr;
        QCOMPARE(Start, FRevealed[0]);
        QCOMPARE(FRevealed.last(), Copy);
        QCOMPARE(QDir(Tmp.path()).entryList(QDir::Files).size(), 1);
        QFile First(FRevealed[0]);
        QFile Saved(Copy);
        QVERIFY(First.open(QIODevice::ReadOnly) && Saved.open(QIODevice::ReadOnly));
        QCOMPARE(Saved.readAll(), First.readAll());
    }

    void ExportCsv_data()
    {
        QTest::addColumn<bool>("Writable");
        QTest::newRow("written") << true;
        QTest::newRow("folder missing") << false;
    }
    void ExportCsv()
    {
        QFETCH(bool, Writable);
        QTemporaryDir Tmp;
        const QString Doc = J("{'stats':{'total':3},'records':["
                              "{'time':'t1','browser':'B','profile':'P','title':'=cmd|x, \\'a\\'','url':'u1'},"
                              "{'time':'t2','browser':'B','profile':'P','title':'skip','url':'u2'},"
                              "{'time':'t3','browser':'B','profile':'P','title':'line\\nbreak','url':'u3'}]}");
        auto F = Open(Doc, Tmp.path());
        F->FilterBy(QStringLiteral("nothing"));
        Records(*F)->ExportCsv();
        QCOMPARE(FMsgs.size(), size_t(1));
        FMsgs.clear();

        F->FilterBy(QStringLiteral("a"));
        const QString Target =
            QDir::toNativeSeparators(Tmp.filePath(Writable ? QStringLiteral("out.csv") : QStringLiteral("no/out.csv")));
        QString Proposed;
        AnswerSaveDialog(Target, Proposed);
        F->show();
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        Ctl<QLineEdit>(*F, "EdFilter")->setFocus();
        QTest::keyClick(Ctl<QLineEdit>(*F, "EdFilter"), Qt::Key_E, Qt::ControlModifier);
        UiHooks().PickSaveFile = nullptr;
        QVERIFY(QRegularExpression(QStringLiteral("Marrowkin_Records_\\d{8}_\\d{6}\\.csv$")).match(Proposed).hasMatch());
        QVERIFY(Proposed.startsWith(QDir::toNativeSeparators(Tmp.path())));
        if (!Writable) {
            QCOMPARE(FMsgs.size(), size_t(1));
            QVERIFY(FMsgs[0].Text.startsWith(QStringLiteral("导出失败：")));
            QCOMPARE(QDir(Tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
            return;
        }
        QVERIFY(FMsgs.empty());
        QFile File(Target);
        QVERIFY(File.open(QIODevice::ReadOnly));
        // The filtered rows in list order, with the header and guard applied.
        QCOMPARE(File.readAll(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("时间,浏览器,配置,标题,网址\r\n").toUtf8() +
                                     "t1,B,P,\"'=cmd|x, \"\"a\"\"\",u1\r\n"
                                     "t3,B,P,\"line\nbreak\",u3\r\n");
        QCOMPARE(F->StatusText(), QStringLiteral("已导出 2 条记录：") + Target);
    }

    void SaveRefusals_data()
    {
        QTest::addColumn<QString>("Raw");
        QTest::addColumn<QString>("OutDir");
        QTest::addColumn<QString>("Message");
        QTest::newRow("no text") << "" << "/tmp" << "没有可保存的数据。";
        QTest::newRow("no folder") << "{}" << "" << "请先在主界面设置保存位置。";
        QTest::newRow("neither: text first") << "" << "" << "没有可保存的数据。";
    }
    void SaveRefusals()
    {
        QFETCH(QString, Raw);
        QFETCH(QString, OutDir);
        QFETCH(QString, Message);
        TReportForm F(nullptr, ParseJsonOrDie("{}"), Raw.toUtf8(), OutDir, false);
        F.SaveJson();
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(FMsgs[0].Text, Message);
        QCOMPARE(FMsgs[0].Kind, mkWarning);
    }

    void OpenMissingFolder_data()
    {
        QTest::addColumn<QString>("OutDir");
        QTest::newRow("missing") << "/nonexistent/marrowkin/out";
        QTest::newRow("empty") << "";
    }
    void OpenMissingFolder()
    {
        QFETCH(QString, OutDir);
        TReportForm F(nullptr, ParseJsonOrDie("{}"), QByteArray("{}"), OutDir, false);
        F.OpenSaveFolder();
        QCOMPARE(FMsgs.size(), size_t(1));
        QCOMPARE(FMsgs[0].Text, QStringLiteral("保存目录还不存在：") + OutDir
                                    + QStringLiteral("\r\n可以先点“保存 JSON”自动创建。"));
        QVERIFY(FRevealed.isEmpty());
    }

    void RankingHandOff_data()
    {
        QTest::addColumn<bool>("Pages");
        QTest::addColumn<int>("Index");
        QTest::addColumn<QString>("Filter");
        QTest::addColumn<QList<int>>("Rows");
        QTest::newRow("domain") << false << 1 << "site1.example" << QList<int>{1, 4};
        QTest::newRow("page url prefix") << true << 0 << "https://site0.example/page/" << QList<int>{0, 3};
        QTest::newRow("domain out of range") << false << 2 << "" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("page negative") << true << -1 << "" << QList<int>{0, 1, 2, 3, 4};
    }
    void RankingHandOff()
    {
        QFETCH(bool, Pages);
        QFETCH(int, Index);
        QFETCH(QString, Filter);
        QFETCH(QList<int>, Rows);
        auto F = Open(RecordsDocument(5, 5,
                                      J("'domains':[['site0.example',2],['site1.example',2]],"
                                        "'pages':[['https://site0.example/page/','',2]],")));
        F->show();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        F->activateWindow();
        F->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(F.get()));
        TRankChart* Chart = Pages ? Ctl<TRankChart>(*F, "PgsChart") : Ctl<TRankChart>(*F, "DnsChart");
        emit Chart->ItemDblClicked(Index);
        QCOMPARE(Ctl<QLineEdit>(*F, "EdFilter")->text(), Filter);
        QCOMPARE(RowsShown(*F), Rows);
        if (Filter.isEmpty()) {
            QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Ctl<QWidget>(*F, "PgOverview"));
        } else {
            QCOMPARE(Ctl<QTabWidget>(*F, "Tabs")->currentWidget(), Records(*F));
            QTRY_VERIFY(Ctl<QLineEdit>(*F, "EdFilter")->hasFocus());
        }
    }

    // One record with a huge field: cells, tooltips and copies show a bounded prefix.
    void HugeFieldsAreBounded_data()
    {
        QTest::addColumn<QString>("Key");
        QTest::addColumn<int>("Column");
        QTest::newRow("title") << "title" << int(TRecordsModel::rcTitle);
        QTest::newRow("url") << "url" << int(TRecordsModel::rcUrl);
    }
    void HugeFieldsAreBounded()
    {
        QFETCH(QString, Key);
        QFETCH(int, Column);
        const QString Huge = QString(1 << 20, u'长');
        auto F = Open(QStringLiteral("{\"stats\":{\"total\":1},\"records\":[{\"time\":\"2024-05-01 10:00\",\"%1\":\"%2\"}]}")
                          .arg(Key, Huge));
        const QString Bounded = Huge.left(int(kShownTextMax)) + QChar(0x2026);
        for (const int Role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)})
            QCOMPARE(RecModel(*F)->index(0, Column).data(Role).toString(), Bounded);
        Select(*F, {0});
        QVERIFY(Records(*F)->SelectedText().contains(Bounded + (Key == u"title" ? u'\t' : u'\r')));
        QVERIFY(Records(*F)->SelectedText().size() < 3 * int(kShownTextMax));
    }

    void RecordsModelIsConsistent()
    {
        const auto Doc = ParseJsonOrDie(RecordsDocument(50, 50));
        TRecordsModel Model;
        QAbstractItemModelTester Tester(&Model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        Model.SetSource(Doc->Get(QLatin1StringView("records")));
        Model.SetRows({0, 7, 49});
        QCOMPARE(Model.rowCount(), 3);
        QCOMPARE(Model.index(1, TRecordsModel::rcTitle).data().toString(), QStringLiteral("Title 7"));
        QCOMPARE(Model.index(2, TRecordsModel::rcProfile).data().toString(), QStringLiteral("P49"));
        QVERIFY(!Model.index(0, 0).data(Qt::EditRole).isValid());
        Model.SetRows({});
        QCOMPARE(Model.rowCount(), 0);
        Model.SetSource(nullptr);
        Model.SetRows({3});
        QVERIFY(!Model.RecordAt(0));
        QVERIFY(!Model.index(0, 0).data().isValid());
    }

private:
    static std::unique_ptr<TJsonValue> ParseJsonOrDie(const QString& Text)
    {
        QString Err;
        auto V = ParseJson(Text, Err);
        if (!V)
            qFatal("bad test document: %s", qPrintable(Err));
        return V;
    }
};

QTEST_MAIN(TReportFormTest)
#include "tst_report_form.moc"
