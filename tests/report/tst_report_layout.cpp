#include "report_layout.h"

#include <QList>
#include <QTest>

namespace {

// The first of Rects that is empty, sticks out of a W x H area or overlaps
// another, described; empty when all are in place.
QString Misplaced(const QList<QRect>& Rects, QSize Area)
{
    const QRect Bounds(QPoint(0, 0), Area);
    for (int I = 0; I < Rects.size(); ++I) {
        const QRect& R = Rects[I];
        if (R.isEmpty() || !Bounds.contains(R))
            return QStringLiteral("part %1 empty or outside").arg(I);
        for (int J = I + 1; J < Rects.size(); ++J)
            if (R.intersects(Rects[J]))
                return QStringLiteral("parts %1 and %2 overlap").arg(I).arg(J);
    }
    return QString();
}

}  // namespace

class TReportLayoutTest : public QObject {
    Q_OBJECT
private slots:
    // Pages of a window at its minimum, initial and a large size.
    void PartsFitTheirPage_data()
    {
        QTest::addColumn<QSize>("Page");
        QTest::newRow("minimum window") << QSize(972, 452);
        QTest::newRow("initial window") << kBuiltPage;
        QTest::newRow("large window") << QSize(1892, 872);
    }
    void PartsFitTheirPage()
    {
        QFETCH(QSize, Page);
        const TOverviewLayout O = OverviewLayout(Page);
        QCOMPARE(Misplaced({O.Kpi[0], O.Kpi[1], O.Kpi[2], O.Kpi[3], O.Kpi[4], O.Info, O.Index}, Page), QString());
        QList<QRect> Index(O.IdxName.begin(), O.IdxName.end());
        Index.append(QList<QRect>(O.IdxDesc.begin(), O.IdxDesc.end()));
        QCOMPARE(Misplaced(Index, O.Index.size()), QString());

        const TTimeLayout T = TimeLayout(Page);
        QCOMPARE(Misplaced({T.Heat, T.Span, T.Bars}, Page), QString());
        for (const TSplitLayout& S : {DomainLayout(Page), PagesLayout(Page)}) {
            QCOMPARE(Misplaced({S.Left, S.RightTitle, S.RightNote, S.Right}, Page), QString());
            // The right-hand title and note stand over their chart.
            QVERIFY(S.RightTitle.x() == S.Right.x() && S.RightNote.x() == S.Right.x());
        }
        for (int Browsers : {0, 12, 40}) {
            const TBrowserLayout B = BrowserLayout(Page, Browsers);
            QCOMPARE(Misplaced({B.Chart, B.Info, B.Note}, Page), QString());
        }
    }

    void BrowserChartHeight_data()
    {
        QTest::addColumn<int>("Browsers");
        QTest::addColumn<int>("PageH");
        QTest::addColumn<int>("ChartH");
        QTest::addColumn<int>("NoteTop");
        QTest::newRow("12 rows") << 12 << 572 << 380 << 442;
        QTest::newRow("2 rows: minimum") << 2 << 572 << 120 << 182;
        QTest::newRow("40 rows: page bottom") << 40 << 572 << 462 << 524;
        QTest::newRow("page under 230 high") << 2 << 200 << 90 << 152;
        QTest::newRow("no room at all") << 2 << 50 << 0 << 62;
    }
    void BrowserChartHeight()
    {
        QFETCH(int, Browsers);
        QFETCH(int, PageH);
        QFETCH(int, ChartH);
        QFETCH(int, NoteTop);
        const TBrowserLayout B = BrowserLayout(QSize(1112, PageH), Browsers);
        QCOMPARE(B.Chart.height(), ChartH);
        QCOMPARE(B.Note.top(), NoteTop);
    }

    void KeyFiguresNeverBelow120()
    {
        const TOverviewLayout O = OverviewLayout(QSize(400, 452));
        for (const QRect& R : O.Kpi)
            QCOMPARE(R.width(), 120);
    }
};

QTEST_GUILESS_MAIN(TReportLayoutTest)
#include "tst_report_layout.moc"
