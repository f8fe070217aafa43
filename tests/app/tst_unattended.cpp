#include "app_info.h"
#include "child_probe.h"
#include "text_util.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Runs the built program the way a scheduled task would: a copy of it with the
// fake collector next to it under the collector's name.
class TUnattendedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ExitCodes_data();
    void ExitCodes();
    void CollectorEndsWithProgram_data();
    void CollectorEndsWithProgram();

private:
    std::unique_ptr<QTemporaryDir> FTmp;
};

void TUnattendedTest::initTestCase()
{
    FTmp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTmp->isValid());
}

void TUnattendedTest::ExitCodes_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QString>("Collector"); // "copy", "missing" or "not executable"
    QTest::addColumn<int>("ChildExit");
    QTest::addColumn<int>("Expected");
    QTest::addColumn<QStringList>("CollectorArgs");
    QTest::addColumn<bool>("NoDisplay"); // started by a scheduler without a desktop session
    const QString T = QStringLiteral("/title:浏览器访问记录报告");
    const QString J = QStringLiteral("/format:json");
    QTest::newRow("success") << QStringList{"/auto"} << "copy" << 0 << 0 << QStringList{T, J, "/out:%OUT%"} << false;
    QTest::newRow("no display") << QStringList{"/auto"} << "copy" << 0 << 0 << QStringList{T, J, "/out:%OUT%"}
                                << true;
    QTest::newRow("no display, collector missing") << QStringList{"/auto"} << "missing" << 0 << 2 << QStringList()
                                                   << true;
    QTest::newRow("code 7 passed through") << QStringList{"/AUTO"} << "copy" << 7 << 7
                                           << QStringList{T, J, "/out:%OUT%"} << false;
    QTest::newRow("days alone") << QStringList{"/days:7", "/auto"} << "copy" << 0 << 0
                                << QStringList{"/days:7", T, J, "/out:%OUT%"} << false;
    // The report form is the window's; an unattended run always writes JSON.
    QTest::newRow("days with range, html form")
        << QStringList{"/auto", "/days:7", "/range:days", "/title:Nightly run", "/outmode:html"} << "copy" << 2 << 2
        << QStringList{"/days:7", "/title:Nightly run", J, "/out:%OUT%"} << false;
    QTest::newRow("collector missing") << QStringList{"/auto"} << "missing" << 0 << 2 << QStringList() << false;
    QTest::newRow("collector not executable") << QStringList{"/auto"} << "not executable" << 0 << 5 << QStringList()
                                              << false;
}

void TUnattendedTest::ExitCodes()
{
    QFETCH(QStringList, Args);
    QFETCH(QString, Collector);
    QFETCH(int, ChildExit);
    QFETCH(int, Expected);
    QFETCH(QStringList, CollectorArgs);
    QFETCH(bool, NoDisplay);

    const QString Dir = JoinPath(FTmp->path(), QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'));
    QVERIFY(QDir().mkpath(Dir));
    const QString Gui = JoinPath(Dir, QString::fromLatin1(kGuiFile));
    QVERIFY(QFile::copy(QStringLiteral(MK_GUI_EXE), Gui));
    const QString Fake = JoinPath(Dir, QString::fromLatin1(kCollectorFile));
    if (Collector == QLatin1String("copy")) {
        QVERIFY(QFile::copy(QStringLiteral(MK_TEST_CHILD), Fake));
    } else if (Collector == QLatin1String("not executable")) {
        // Not a program on any system, and not executable where that exists.
        QFile F(Fake);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("not a program\n");
        F.close();
        QVERIFY(QFile::setPermissions(Fake, QFile::ReadOwner | QFile::WriteOwner));
    }

    // A folder with a blank that does not exist yet, two levels deep.
    const QString Out = JoinPath(Dir, QStringLiteral("reports of mine/nightly"));
    const QString ArgsFile = JoinPath(Dir, QStringLiteral("args.txt"));
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    if (NoDisplay) {
        for (const char* Name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            Env.remove(QString::fromLatin1(Name));
    } else {
        Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    Env.insert(QStringLiteral("MK_CHILD_ARGS_FILE"), ArgsFile);
    Env.insert(QStringLiteral("MK_CHILD_EXIT"), QString::number(ChildExit));
    Env.insert(QStringLiteral("MK_CHILD_SCRIPT"), QStringLiteral("out:ignored output"));

    QProcess P;
    P.setProcessEnvironment(Env);
    P.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    P.start(Gui, Args << QStringLiteral("/out:") + Out);
    QVERIFY(P.waitForStarted());
    QVERIFY2(P.waitForFinished(60000), "the unattended run did not end");
    QCOMPARE(P.exitStatus(), QProcess::NormalExit);
    QCOMPARE(P.exitCode(), Expected);

    if (CollectorArgs.isEmpty()) {
        QVERIFY(!QFileInfo::exists(ArgsFile));
        return;
    }
    QVERIFY(DirExists(Out));
    QFile F(ArgsFile);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QStringList Lines = QString::fromUtf8(F.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.value(0), Dir);
    QCOMPARE(Lines.mid(1), CollectorArgs.replaceInStrings(QStringLiteral("%OUT%"), Out));
}

void TUnattendedTest::CollectorEndsWithProgram_data()
{
    QTest::addColumn<bool>("Terminate"); // SIGTERM instead of SIGKILL
    QTest::newRow("killed") << false;
    // Told to end, it ends the whole run, also what left the collector's group.
    QTest::newRow("terminated") << true;
}

void TUnattendedTest::CollectorEndsWithProgram()
{
    // A scheduled run that is killed, or stopped with Ctrl+C, takes its
    // collector with it instead of leaving it to run on unowned.
    QFETCH(bool, Terminate);
#ifdef Q_OS_WIN
    if (Terminate)
        QSKIP("Windows has no SIGTERM for a program without windows; its job ends the run instead");
#endif
    const QString Dir = JoinPath(FTmp->path(), QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(Dir));
    const QString Gui = JoinPath(Dir, QString::fromLatin1(kGuiFile));
    QVERIFY(QFile::copy(QStringLiteral(MK_GUI_EXE), Gui));
    QVERIFY(QFile::copy(QStringLiteral(MK_TEST_CHILD), JoinPath(Dir, QString::fromLatin1(kCollectorFile))));
    const QString PidFile = JoinPath(Dir, QStringLiteral("collector.pid"));
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Env.insert(QStringLiteral("MK_CHILD_PID_FILE"), PidFile);
    Env.insert(QStringLiteral("MK_CHILD_SLEEP_MS"), QStringLiteral("60000"));
    const QString GrandFile = JoinPath(Dir, QStringLiteral("grand.pid"));
    if (Terminate) {
        Env.insert(QStringLiteral("MK_CHILD_GRANDCHILD"), GrandFile);
        Env.insert(QStringLiteral("MK_CHILD_SETSID"), QStringLiteral("1"));
    }

    QProcess P;
    P.setProcessEnvironment(Env);
    P.start(Gui, {QStringLiteral("/auto"), QStringLiteral("/out:") + JoinPath(Dir, QStringLiteral("out"))});
    QVERIFY(P.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(PidFile), 10000);
    QFile Pf(PidFile);
    QVERIFY(Pf.open(QIODevice::ReadOnly));
    const qint64 Collector = Pf.readAll().trimmed().toLongLong();
    QVERIFY(Collector > 0);
    const QString Child = QStringLiteral(MK_TEST_CHILD);
    QVERIFY(!ProcessGone(Child, Collector));

    if (Terminate) {
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(GrandFile), 10000);
        P.terminate();
    } else {
        P.kill();
    }
    QVERIFY(P.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(Child, Collector), 5000);
    if (Terminate) {
        QFile Gf(GrandFile);
        QVERIFY(Gf.open(QIODevice::ReadOnly));
        const qint64 Grand = Gf.readAll().trimmed().toLongLong();
        QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(Child, Grand), 5000);
    }
}

QTEST_GUILESS_MAIN(TUnattendedTest)
#include "tst_unattended.moc"
