#include "text_util.h"

#include <QtTest>

class TTextUtilTest : public QObject {
    Q_OBJECT
private slots:
    void Placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(TTextUtilTest)
#include "tst_text_util.moc"
