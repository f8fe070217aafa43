#include "child_probe.h"
#include "collector_contract.h"
#include "options.h"
#include "run_controller.h"
#include "text_util.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(TRunKind)

namespace {

const char* const kChildVars[] = {"MK_CHILD_SCRIPT", "MK_CHILD_FLOOD_MIB", "MK_CHILD_SLEEP_MS",  "MK_CHILD_EXIT",
                                  "MK_CHILD_PID_FILE", "MK_CHILD_ARGS_FILE", "MK_CHILD_GRANDCHILD"};

QString FakeCollector()
{
    return QStringLiteral(MK_TEST_CHILD);
}

QString MissingCollector()
{
    return QDir::toNativeSeparators(QDir::temp().filePath(QStringLiteral("no such collector")));
}

qint64 ReadPid(const QString& File)
{
    QFile F(File);
    return F.open(QIODevice::ReadOnly) ? F.readAll().trimmed().toLongLong() : 0;
}

// Everything one controller reported.
struct TReports {
    explicit TReports(TRunController& Run)
    {
        QObject::connect(&Run, &TRunController::Progress, &Context, [this](int) { ++Progress; });
        QObject::connect(&Run, &TRunController::Finished, &Context,
                         [this, &Run](TRunKind K, quint32 C, const TRunOutput& O) {
                             ++Ends;
                             Kind = K;
                             Code = C;
                             Output = O;
                             BusyAtEnd = Run.Busy();
                         });
        QObject::connect(&Run, &TRunController::StartFailed, &Context, [this](int Exit, const QString& Text) {
            Failures << QStringLiteral("%1 %2").arg(Exit).arg(Text);
        });
        QObject::connect(&Run, &TRunController::Aborted, &Context, [this](int Exit, const QString& Text) {
            Failures << QStringLiteral("%1 %2").arg(Exit).arg(Text);
        });
    }

    QObject Context;
    int Progress = 0;
    int Ends = 0;
    TRunKind Kind = rnEmbed;
    quint32 Code = 0;
    TRunOutput Output;
    bool BusyAtEnd = true;
    QStringList Failures; // "exit-code text", start failures and aborts alike
};

} // namespace

class TRunControllerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void RunEnds_data();
    void RunEnds();
    void OutputLimit_data();
    void OutputLimit();
    void StartFailures_data();
    void StartFailures();
    void StopEndsEverything();
    void ExceptionsAbortTheRun_data();
    void ExceptionsAbortTheRun();

private:
    QString Tmp(const QString& Name) const { return JoinPath(FTmp->path(), Name); }
    bool RunOnce(TRunController& Run, TReports& Seen, TRunKind Kind, const QString& OutDir = QString());

    std::unique_ptr<QTemporaryDir> FTmp;
};

void TRunControllerTest::initTestCase()
{
    FTmp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTmp->isValid());
}

void TRunControllerTest::cleanup()
{
    for (const char* V : kChildVars)
        qunsetenv(V);
}

bool TRunControllerTest::RunOnce(TRunController& Run, TReports& Seen, TRunKind Kind, const QString& OutDir)
{
    const int Before = Seen.Ends;
    const TOptions Opts = DefaultOptions(Tmp(QStringLiteral("default out")));
    if (!Run.Start(FakeCollector(), Kind, Opts, OutDir.isEmpty() ? Tmp(QStringLiteral("out")) : OutDir))
        return false;
    return QTest::qWaitFor([&] { return Seen.Ends != Before; }, 30000) && Seen.Ends == Before + 1;
}

void TRunControllerTest::RunEnds_data()
{
    QTest::addColumn<TRunKind>("Kind");
    QTest::addColumn<QByteArray>("Script");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QByteArray>("Output");
    QTest::addColumn<bool>("MakesOutDir");
    // Only the built-in report and the detection read what was printed.
    QTest::newRow("report") << rnEmbed << QByteArray("out:{\"a\":1}") << 0 << QByteArray("{\"a\":1}") << false;
    QTest::newRow("detection, errors merged") << rnList << QByteArray("err:warning\\n;out:{}") << 3
                                              << QByteArray("warning\n{}") << false;
    QTest::newRow("html") << rnHtml << QByteArray("out:<html>") << 0 << QByteArray() << true;
    QTest::newRow("unattended") << rnAuto << QByteArray("out:{}") << 7 << QByteArray() << true;
}

void TRunControllerTest::RunEnds()
{
    QFETCH(TRunKind, Kind);
    QFETCH(QByteArray, Script);
    QFETCH(int, Exit);
    QFETCH(QByteArray, Output);
    QFETCH(bool, MakesOutDir);
    const QString Args = Tmp(QStringLiteral("args.txt"));
    qputenv("MK_CHILD_ARGS_FILE", QFile::encodeName(Args));
    // The collector ends once the run has been polled while it ran.
    const QString Go = Tmp(QStringLiteral("%1.go").arg(QTest::currentDataTag()));
    qputenv("MK_CHILD_SCRIPT", WaitStep(Go) + Script);
    qputenv("MK_CHILD_EXIT", QByteArray::number(Exit));
    const QString Out = Tmp(QStringLiteral("%1/deeper").arg(QTest::currentDataTag()));
    TRunController Run;
    TReports Seen(Run);
    connect(&Run, &TRunController::Progress, this, [&Go] { LetChildGoOn(Go); });
    QVERIFY(RunOnce(Run, Seen, Kind, Out));
    QCOMPARE(Seen.Kind, Kind);
    QCOMPARE(Seen.Code, quint32(Exit));
    QCOMPARE(Seen.Output.Bytes, Output);
    QCOMPARE(Seen.Output.Error, QString());
    QVERIFY(!Seen.BusyAtEnd);
    QVERIFY(Seen.Progress > 0);
    QVERIFY(Seen.Failures.isEmpty());
    QCOMPARE(DirExists(Out), MakesOutDir);
    // The collector runs in its own folder.
    QFile F(Args);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(F.readLine()).trimmed(), QDir::toNativeSeparators(QFileInfo(FakeCollector()).absolutePath()));
}

void TRunControllerTest::OutputLimit_data()
{
    QTest::addColumn<int>("FloodMiB");
    QTest::addColumn<qint64>("Limit");
    QTest::addColumn<qint64>("Kept");  // bytes handed on
    QTest::addColumn<QString>("Error"); // instead of the parser's message
    const qint64 MiB = 1024 * 1024;
    QTest::newRow("exactly the limit") << 1 << MiB << MiB << "";
    QTest::newRow("one byte over") << 1 << MiB - 1 << qint64(0) << "输出超过 1 MB，已停止接收";
    QTest::newRow("far over") << 3 << MiB << qint64(0) << "输出超过 1 MB，已停止接收";
}

void TRunControllerTest::OutputLimit()
{
    QFETCH(int, FloodMiB);
    QFETCH(qint64, Limit);
    QFETCH(qint64, Kept);
    QFETCH(QString, Error);
    TRunController Run;
    Run.SetOutputLimit(Limit);
    TReports Seen(Run);
    qputenv("MK_CHILD_FLOOD_MIB", QByteArray::number(FloodMiB));
    QVERIFY(RunOnce(Run, Seen, rnEmbed));
    QCOMPARE(Seen.Code, 0u);
    QCOMPARE(Seen.Output.Bytes.size(), Kept);
    QCOMPARE(Seen.Output.Error, Error);

    // The limit is per run: the next one is read as usual.
    qunsetenv("MK_CHILD_FLOOD_MIB");
    qputenv("MK_CHILD_SCRIPT", "out:{}");
    QVERIFY(RunOnce(Run, Seen, rnList));
    QCOMPARE(Seen.Output.Bytes, QByteArray("{}"));
    QCOMPARE(Seen.Output.Error, QString());
}

void TRunControllerTest::StartFailures_data()
{
    QTest::addColumn<bool>("FileThere");
    QTest::addColumn<QString>("Failure"); // its start
    QTest::newRow("missing") << false << QStringLiteral("2 ") + CollectorMissingText(MissingCollector());
    QTest::newRow("not a program") << true << QStringLiteral("5 启动 ") + CollectorFileName() + QStringLiteral(" 失败：");
}

void TRunControllerTest::StartFailures()
{
    QFETCH(bool, FileThere);
    QFETCH(QString, Failure);
    QString Exe = MissingCollector();
    if (FileThere) {
        // Not a program on any system, and not executable where that exists.
        Exe = Tmp(QStringLiteral("plain-file"));
        QFile File(Exe);
        QVERIFY(File.open(QIODevice::WriteOnly));
        File.write("not a program");
        File.close();
        QVERIFY(File.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    }
    TRunController Run;
    TReports Seen(Run);
    QVERIFY(!Run.Start(Exe, rnEmbed, DefaultOptions(FTmp->path()), FTmp->path()));
    QVERIFY(!Run.Busy());
    QCOMPARE(Seen.Failures.size(), 1);
    QVERIFY2(Seen.Failures[0].startsWith(Failure), qPrintable(Seen.Failures[0]));
}

void TRunControllerTest::StopEndsEverything()
{
    const QString PidFile = Tmp(QStringLiteral("stop-grandchild.pid"));
    const QString ChildPidFile = Tmp(QStringLiteral("stop-child.pid"));
    qputenv("MK_CHILD_GRANDCHILD", QFile::encodeName(PidFile));
    qputenv("MK_CHILD_PID_FILE", QFile::encodeName(ChildPidFile));
    qputenv("MK_CHILD_SLEEP_MS", "30000");
    TRunController Run;
    TReports Seen(Run);
    const TOptions Opts = DefaultOptions(FTmp->path());
    QVERIFY(Run.Start(FakeCollector(), rnEmbed, Opts, FTmp->path()));
    QVERIFY(Run.Busy());
    QTRY_VERIFY(ReadPid(PidFile) > 0);
    // While it runs, a second start is ignored.
    QVERIFY(!Run.Start(FakeCollector(), rnList, Opts, FTmp->path()));
    QCOMPARE(Run.Kind(), rnEmbed);

    Run.Stop();
    QVERIFY(!Run.Busy());
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(FakeCollector(), ReadPid(PidFile)), 5000);
    // The child's end is in the event queue once it is gone; a report of it would follow.
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(FakeCollector(), ReadPid(ChildPidFile)), 5000);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(Seen.Ends, 0);
    QVERIFY(Seen.Failures.isEmpty());

    // And the next run starts afresh.
    qunsetenv("MK_CHILD_GRANDCHILD");
    qunsetenv("MK_CHILD_PID_FILE");
    qunsetenv("MK_CHILD_SLEEP_MS");
    qputenv("MK_CHILD_SCRIPT", "out:{}");
    QVERIFY(RunOnce(Run, Seen, rnEmbed));
    QCOMPARE(Seen.Output.Bytes, QByteArray("{}"));
}

void TRunControllerTest::ExceptionsAbortTheRun_data()
{
    QTest::addColumn<bool>("OnResult"); // thrown where the result is acted on, else on progress
    QTest::addColumn<bool>("Standard"); // a std::exception, else anything else
    QTest::addColumn<QString>("Failure");
    QTest::newRow("progress, standard") << false << true << "9 boom";
    QTest::newRow("progress, other") << false << false << "9 未知错误";
    QTest::newRow("result, standard") << true << true << "9 boom";
}

void TRunControllerTest::ExceptionsAbortTheRun()
{
    QFETCH(bool, OnResult);
    QFETCH(bool, Standard);
    QFETCH(QString, Failure);
    const QString PidFile = Tmp(QStringLiteral("abort-%1.pid").arg(QTest::currentDataTag()));
    qputenv("MK_CHILD_PID_FILE", QFile::encodeName(PidFile));
    qputenv("MK_CHILD_SLEEP_MS", OnResult ? "0" : "30000");
    TRunController Run;
    TReports Seen(Run);
    // Thrown once the collector has said who it is, so its end can be seen.
    const auto Throw = [Standard, PidFile] {
        if (!QFileInfo::exists(PidFile))
            return;
        if (Standard)
            throw std::runtime_error("boom");
        throw 42;
    };
    if (OnResult)
        connect(&Run, &TRunController::Finished, this, Throw);
    else
        connect(&Run, &TRunController::Progress, this, Throw);
    QVERIFY(Run.Start(FakeCollector(), rnEmbed, DefaultOptions(FTmp->path()), FTmp->path()));
    QTRY_COMPARE(Seen.Failures.size(), 1);
    QCOMPARE(Seen.Failures[0], Failure);
    QVERIFY(!Run.Busy());
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(FakeCollector(), ReadPid(PidFile)), 5000);
}

QTEST_GUILESS_MAIN(TRunControllerTest)
#include "tst_run_controller.moc"
