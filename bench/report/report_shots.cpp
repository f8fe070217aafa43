// Renders each page of a report window and the sources window into PNG files,
// to look at them as a user would. Run under a real X server (xvfb-run) with
// the CJK font installed.
//
// Usage: report_shots <out folder> [document.json | days] [width height]
// A number instead of a document generates one over that many days.

#include "json.h"
#include "report_form.h"
#include "report_generator.h"
#include "sources_form.h"
#include "text_util.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <cstdio>

int main(int Argc, char** Argv)
{
    QApplication App(Argc, Argv);
    const QString Out = Argc > 1 ? QString::fromLocal8Bit(Argv[1]) : QStringLiteral("/tmp/report_shots");
    QDir().mkpath(Out);
    QByteArray Bytes;
    bool Days = false;
    const int DayCount = Argc > 2 ? QString::fromLocal8Bit(Argv[2]).toInt(&Days) : 0;
    if (Days) {
        Bytes = GenerateReportDocument(2000, 7, DayCount);
    } else if (Argc > 2 && *Argv[2]) {
        QFile F(QString::fromLocal8Bit(Argv[2]));
        if (!F.open(QIODevice::ReadOnly))
            return 1;
        Bytes = F.readAll();
    } else {
        Bytes = GenerateReportDocument(2000, 7);
    }
    const QByteArray& Raw = Bytes;
    QString Err;
    auto Tree = ParseJsonBytes(Raw, Err);
    if (!Tree) {
        std::fprintf(stderr, "%s\n", qPrintable(Err));
        return 1;
    }
    QWidget Owner;
    Owner.resize(1200, 800);
    auto* Form = ShowReportWindow(&Owner, std::move(Tree), Raw, QStringLiteral("/tmp"), false);
    if (Argc > 4)
        Form->resize(QString::fromLocal8Bit(Argv[3]).toInt(), QString::fromLocal8Bit(Argv[4]).toInt());
    QTest::qWait(300);
    auto* Tabs = Form->findChild<QTabWidget*>();
    for (int I = 0; I < Tabs->count(); ++I) {
        Tabs->setCurrentIndex(I);
        QTest::qWait(150);
        Form->grab().save(QStringLiteral("%1/page%2.png").arg(Out).arg(I));
    }
    Form->findChild<QLineEdit*>()->setText(QStringLiteral("github \"qt/\""));
    QTest::qWait(150);
    Form->grab().save(QStringLiteral("%1/page6_filtered.png").arg(Out));
    // Chips from the charts (the busiest browser, Tuesday 21:00), the list
    // sorted by title.
    Form->findChild<QLineEdit*>()->clear();
    Form->Drill(ckBrowser, 0);
    Form->Drill(ckHour, 2 * 24 + 21);
    emit Form->findChild<QTableView*>(QStringLiteral("RecList"))->horizontalHeader()->sectionClicked(3);
    QTest::qWait(150);
    Form->grab().save(QStringLiteral("%1/page6_chips.png").arg(Out));

    auto List = ParseJson(QString::fromUtf8(GenerateListDocument(9)), Err);
    auto* Sources = ShowSourcesWindow(&Owner, std::move(List));
    QTest::qWait(300);
    Sources->grab().save(QStringLiteral("%1/sources.png").arg(Out));
    Sources->resize(Sources->minimumSize());
    QTest::qWait(150);
    Sources->grab().save(QStringLiteral("%1/sources_min.png").arg(Out));
    return 0;
}
