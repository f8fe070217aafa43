#include "child_probe.h"
#include "collector_contract.h"
#include "console_runner.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString kChild = QStringLiteral(MK_TEST_CHILD);

const char* const kChildVars[] = {
    "MK_CHILD_PID_FILE", "MK_CHILD_ARGS_FILE", "MK_CHILD_STDIN", "MK_CHILD_GRANDCHILD", "MK_CHILD_FILE",
    "MK_CHILD_SCRIPT", "MK_CHILD_FLOOD_MIB", "MK_CHILD_SLEEP_MS", "MK_CHILD_EXIT",
    "MK_CHILD_SETSID", "MK_CHILD_TERM_FILE", "MK_CHILD_IGNORE_TERM",
};

// Sets the child's behaviour for the next start; the child inherits our
// environment. Everything is cleared again when the scope ends.
class TChildEnv {
public:
    TChildEnv() { Clear(); }
    ~TChildEnv() { Clear(); }
    TChildEnv& Set(const char* Name, const QByteArray& Value)
    {
        qputenv(Name, Value);
        return *this;
    }

private:
    static void Clear()
    {
        for (const char* Name : kChildVars)
            qunsetenv(Name);
    }
};

struct TRun {
    QByteArray Bytes;
    QString Text;
    bool Exited = false;
    quint32 Code = 0;
};

// Polls like the main window does. With EventLoop false nothing but the drain
// calls themselves move data, which is how a caller without an event loop
// sees the runner.
TRun DrainToExit(TConsoleRunner& Runner, bool EventLoop, bool AsText = false, int TimeoutMs = 30000)
{
    TRun R;
    const QDeadlineTimer Deadline(TimeoutMs);
    while (!Deadline.hasExpired()) {
        QByteArray Raw;
        QString Text;
        bool Exited = false;
        quint32 Code = 0;
        const bool Result = AsText ? Runner.Drain(Text, Exited, Code) : Runner.DrainBytes(Raw, Exited, Code);
        R.Bytes += Raw;
        R.Text += Text;
        if (Exited) {
            if (!Result)
                qWarning("drain reported the exit with result false");
            R.Exited = true;
            R.Code = Code;
            break;
        }
        if (EventLoop)
            QTest::qWait(5);
        else
            QThread::msleep(5);
    }
    return R;
}

bool StartChild(TConsoleRunner& Runner, const QString& Params = {}, const QString& WorkDir = {})
{
    QString Err;
    const bool Ok = Runner.Start(kChild, Params, WorkDir, Err);
    if (!Ok)
        qWarning("start failed: %s", qPrintable(Err));
    return Ok && Err.isEmpty();
}

qint64 ReadPid(const QString& Path)
{
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        return 0;
    return F.readAll().trimmed().toLongLong();
}

bool ProcessGone(qint64 Pid)
{
    return ProcessGone(kChild, Pid);
}

// The system's text for an error, as the runner words it: no trailing blanks
// or full stop.
QString SysText(int Err)
{
    QString T = qt_error_string(Err).trimmed();
    while (T.endsWith(u'.'))
        T.chop(1);
    return T;
}

} // namespace

class TConsoleRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFileInfo(kChild).isExecutable(), qPrintable(kChild)); }

    void idleRunner()
    {
        TConsoleRunner Runner;
        QCOMPARE(Runner.ElapsedSec(), 0);
        QVERIFY(!Runner.Running());
        QCOMPARE(Runner.ExitCode(), 0u);
        QByteArray Raw("stale");
        bool Exited = true;
        quint32 Code = 7;
        QVERIFY(!Runner.DrainBytes(Raw, Exited, Code));
        QVERIFY(Raw.isEmpty());
        QVERIFY(!Exited);
        QCOMPARE(Code, 0u);
        Runner.Stop(); // harmless when idle
    }

    void output_data()
    {
        QTest::addColumn<QByteArray>("Script");
        QTest::addColumn<bool>("EventLoop");
        QTest::addColumn<QByteArray>("Expected");
        QTest::addColumn<quint32>("Code");
        struct TRow {
            const char* Name;
            QByteArray Script;
            QByteArray Expected;
            quint32 Code;
        };
        const TRow Rows[] = {
            {"silent exit 3", "exit:3", "", 3},
            {"exit 255", "out:x;exit:255", "x", 255},
            {"stderr only", "err:oops\\n;exit:1", "oops\n", 1},
            {"merged in order", "out:a;err:b;out:c;err:d;sleep:50;out:e\\n;err:f", "abcde\nf", 0},
            {"last moment", "sleep:300;out:tail\\n;err:end;exit:4", "tail\nend", 4},
            {"raw bytes", "out:\\x00\\xff\\r\\n;err:\\;\\\\", QByteArray("\x00\xff\r\n;\\", 6), 0},
#ifndef Q_OS_WIN
            // 128 + the signal number, as a shell reports it
            {"killed by signal", "out:before;signal:15", "before", 128 + SIGTERM},
#endif
        };
        for (const bool EventLoop : {true, false})
            for (const TRow& Row : Rows)
                QTest::addRow("%s%s", Row.Name, EventLoop ? "" : " (no event loop)")
                    << Row.Script << EventLoop << Row.Expected << Row.Code;
    }
    void output()
    {
        QFETCH(QByteArray, Script);
        QFETCH(bool, EventLoop);
        QFETCH(QByteArray, Expected);
        QFETCH(quint32, Code);
        TChildEnv Env;
        Env.Set("MK_CHILD_SCRIPT", Script);
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        QVERIFY(Runner.Running());
        const TRun R = DrainToExit(Runner, EventLoop);
        QVERIFY(R.Exited);
        QCOMPARE(R.Bytes, Expected);
        QCOMPARE(R.Code, Code);
        QVERIFY(!Runner.Running());
        QCOMPARE(Runner.ExitCode(), Code);
        // Idle again: nothing more to hand out.
        QByteArray Raw;
        bool Exited = true;
        quint32 After = 9;
        QVERIFY(!Runner.DrainBytes(Raw, Exited, After));
        QVERIFY(!Exited && Raw.isEmpty());
    }

    void floodArrivesWhole_data()
    {
        QTest::addColumn<bool>("EventLoop");
        QTest::addColumn<bool>("Hold"); // all of it handed out with the exit
        QTest::newRow("timer polling") << true << false;
        QTest::newRow("no event loop") << false << false;
        QTest::newRow("held until the exit") << true << true;
    }
    void floodArrivesWhole()
    {
        QFETCH(bool, EventLoop);
        QFETCH(bool, Hold);
        constexpr int kMiB = 48;
        TChildEnv Env;
        Env.Set("MK_CHILD_FLOOD_MIB", QByteArray::number(kMiB)).Set("MK_CHILD_EXIT", "2");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        TRun R;
        if (EventLoop) {
            // The owner's timer: every byte must arrive, in order, exactly once.
            QTimer Poll;
            Poll.setInterval(120);
            QObject::connect(&Poll, &QTimer::timeout, &Poll, [&] {
                QByteArray Raw;
                if (Runner.DrainBytes(Raw, R.Exited, R.Code, Hold) || !Raw.isEmpty())
                    R.Bytes += Raw;
                if (Hold && !R.Exited && !Raw.isEmpty())
                    QFAIL("held output handed out before the exit");
            });
            Poll.start();
            QTRY_VERIFY_WITH_TIMEOUT(R.Exited, 60000);
        } else {
            R = DrainToExit(Runner, false, false, 60000);
        }
        QVERIFY(R.Exited);
        QCOMPARE(R.Code, 2u);
        QCOMPARE(R.Bytes.size(), qsizetype(kMiB) << 20);
        const uchar* P = reinterpret_cast<const uchar*>(R.Bytes.constData());
        for (qsizetype I = 0; I < R.Bytes.size(); ++I)
            if (P[I] != uchar(I % 251))
                QFAIL(qPrintable(QStringLiteral("byte %1 out of sequence").arg(I)));
    }

    void widePipeEmptiedAtExit()
    {
        // The child widens its pipe, fills it and is gone before anyone reads:
        // the drain that reports the exit must still hand out every byte.
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        const QString PidFile = Tmp.filePath(QStringLiteral("child.pid"));
        TChildEnv Env;
        Env.Set("MK_CHILD_PID_FILE", QFile::encodeName(PidFile))
            .Set("MK_CHILD_SCRIPT", "pipe:1048576")
            .Set("MK_CHILD_FLOOD_MIB", "1");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        // No event loop here, so nothing reads before the drain below.
        QDeadlineTimer Deadline(30000);
        qint64 Pid = 0;
        while (!Deadline.hasExpired() && !((Pid = ReadPid(PidFile)) > 0 && ProcessGone(Pid)))
            QThread::msleep(20);
        QVERIFY(Pid > 0 && ProcessGone(Pid));
        QByteArray Raw;
        bool Exited = false;
        quint32 Code = 0;
        QVERIFY(Runner.DrainBytes(Raw, Exited, Code));
        QVERIFY(Exited);
        if (Code == 94)
            QSKIP("the system refused to widen the pipe");
        QCOMPARE(Code, 0u);
        QCOMPARE(Raw.size(), qsizetype(1) << 20);
        QCOMPARE(uchar(Raw.back()), uchar(((qsizetype(1) << 20) - 1) % 251));
    }

    void linesWhileRunning()
    {
        // Lines are handed out whole while the child runs; the rest, without
        // a line break, comes with the exit.
        TChildEnv Env;
        Env.Set("MK_CHILD_SCRIPT", "out:a\\r\\nb\\r\\nc;sleep:1500;out:d\\n\xe4\xb8\xad\xe6\x96\x87\\r\\ne;sleep:400;exit:5");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        QStringList Pieces;
        bool Exited = false;
        quint32 Code = 0;
        QDeadlineTimer Deadline(30000);
        while (!Exited && !Deadline.hasExpired()) {
            QString Text;
            Runner.Drain(Text, Exited, Code);
            if (!Text.isEmpty())
                Pieces << Text;
            QTest::qWait(10);
        }
        QVERIFY(Exited);
        QCOMPARE(Code, 5u);
        // Text comes out in the system's 8-bit encoding (UTF-8 here, the ANSI
        // code page on Windows).
        QCOMPARE(Pieces.join(QString()), QStringLiteral("a\nb\ncd\n") + QString::fromLocal8Bit("\xe4\xb8\xad\xe6\x96\x87") + QStringLiteral("\ne"));
        QVERIFY2(Pieces.size() >= 2, qPrintable(Pieces.join(u'|')));
        QCOMPARE(Pieces.first(), QStringLiteral("a\nb\n"));
        for (qsizetype I = 0; I + 1 < Pieces.size(); ++I)
            QVERIFY2(Pieces[I].endsWith(u'\n'), qPrintable(Pieces[I]));
    }

    void manyLines_data()
    {
        QTest::addColumn<bool>("EventLoop");
        QTest::newRow("timer polling") << true;
        QTest::newRow("no event loop") << false;
    }
    void manyLines()
    {
        // Lines taken off the front while more output arrives behind them.
        QFETCH(bool, EventLoop);
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        QByteArray Data;
        QString Expected;
        for (int I = 0; I < 60000; ++I) {
            const QByteArray Line = "第" + QByteArray::number(I) + "行 " + QByteArray(I % 97, 'x');
            Data += Line + (I % 3 ? "\n" : "\r\n");
            Expected += QString::fromLocal8Bit(Line) + u'\n';
        }
        Data += "no line break";
        Expected += QStringLiteral("no line break");
        const QString File = Tmp.filePath(QStringLiteral("lines.txt"));
        QFile F(File);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write(Data);
        F.close();
        TChildEnv Env;
        Env.Set("MK_CHILD_FILE", QFile::encodeName(File));
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        const TRun R = DrainToExit(Runner, EventLoop, true);
        QVERIFY(R.Exited);
        QCOMPARE(R.Text.size(), Expected.size());
        QVERIFY(R.Text == Expected);
    }

    void textAtExit_data()
    {
        QTest::addColumn<QByteArray>("Script");
        QTest::addColumn<QString>("Text");
        QTest::newRow("unterminated") << QByteArray("out:x\\r\\ny") << QStringLiteral("x\ny");
        QTest::newRow("lone CR dropped") << QByteArray("out:p\\rq") << QStringLiteral("pq");
        QTest::newRow("empty") << QByteArray("exit:0") << QString();
        QTest::newRow("stderr line") << QByteArray("err:e\\r\\n") << QStringLiteral("e\n");
    }
    void textAtExit()
    {
        QFETCH(QByteArray, Script);
        QFETCH(QString, Text);
        TChildEnv Env;
        Env.Set("MK_CHILD_SCRIPT", Script);
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        const TRun R = DrainToExit(Runner, true, true);
        QVERIFY(R.Exited);
        QCOMPARE(R.Text, Text);
    }

    void arguments_data()
    {
        QTest::addColumn<QString>("Params");
        QTest::addColumn<QStringList>("Args");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("blanks only") << QStringLiteral("   \t ") << QStringList();
        QTest::newRow("plain") << QStringLiteral(" /list  /format:json ") << QStringList{"/list", "/format:json"};
        QTest::newRow("quoted blanks")
            << QStringLiteral("/title:\"My report\" /out:\"/tmp/a b\"") << QStringList{"/title:My report", "/out:/tmp/a b"};
        QTest::newRow("shell characters")
            << QStringLiteral("/include:\"a&b;c=d (e)\" /exclude:*.x;rm $(id) `id` | > <")
            << QStringList{"/include:a&b;c=d (e)", "/exclude:*.x;rm", "$(id)", "`id`", "|", ">", "<"};
        QTest::newRow("chinese") << QStringLiteral("/title:\"浏览 记录\" /include:中文")
                                 << QStringList{"/title:浏览 记录", "/include:中文"};
        QTest::newRow("empty quoted") << QStringLiteral("\"\" x") << QStringList{"", "x"};
    }
    void arguments()
    {
        QFETCH(QString, Params);
        QFETCH(QStringList, Args);
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        const QString File = Tmp.filePath(QStringLiteral("args.txt"));
        TChildEnv Env;
        Env.Set("MK_CHILD_ARGS_FILE", QFile::encodeName(File));
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner, Params, Tmp.path()));
        QVERIFY(DrainToExit(Runner, true).Exited);
        QFile F(File);
        QVERIFY(F.open(QIODevice::ReadOnly));
        QStringList Lines = QString::fromUtf8(F.readAll()).split(u'\n');
        QCOMPARE(Lines.takeLast(), QString()); // every line ends in LF
        QCOMPARE(QFileInfo(Lines.takeFirst()).canonicalFilePath(), QFileInfo(Tmp.path()).canonicalFilePath());
        QCOMPARE(Lines, Args);
    }

    void workingFolder_data()
    {
        QTest::addColumn<bool>("GiveDir");
        QTest::newRow("empty: program folder") << false;
        QTest::newRow("given") << true;
    }
    void workingFolder()
    {
        QFETCH(bool, GiveDir);
        QTemporaryDir ExeDir, Other;
        QVERIFY(ExeDir.isValid() && Other.isValid());
        const QString Exe = ExeDir.filePath(QStringLiteral("Marrowkin"));
        QVERIFY(QFile::copy(kChild, Exe));
        const QString File = Other.filePath(QStringLiteral("args.txt"));
        TChildEnv Env;
        Env.Set("MK_CHILD_ARGS_FILE", QFile::encodeName(File));
        TConsoleRunner Runner;
        QString Err;
        QVERIFY(Runner.Start(Exe, QString(), GiveDir ? Other.path() : QString(), Err));
        QVERIFY(DrainToExit(Runner, true).Exited);
        QFile F(File);
        QVERIFY(F.open(QIODevice::ReadOnly));
        const QString Cwd = QString::fromUtf8(F.readLine()).trimmed();
        QCOMPARE(QFileInfo(Cwd).canonicalFilePath(), QFileInfo(GiveDir ? Other.path() : ExeDir.path()).canonicalFilePath());
    }

    void stdinAtEnd()
    {
        TChildEnv Env;
        Env.Set("MK_CHILD_STDIN", "1");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        const TRun R = DrainToExit(Runner, true);
        QVERIFY(R.Exited);
        QCOMPARE(R.Bytes, QByteArray("stdin:0\n"));
    }

    void startFailures_data()
    {
        QTest::addColumn<QString>("Kind");
        QTest::addColumn<QString>("Message");
        const QString NotFound = QStringLiteral("找不到 ") + CollectorFileName() + QStringLiteral("：");
        const QString Failed = QStringLiteral("启动 ") + CollectorFileName() + QStringLiteral(" 失败：");
        QTest::newRow("missing") << "missing" << NotFound;
        QTest::newRow("empty path") << "empty" << NotFound;
        QTest::newRow("folder") << "folder" << NotFound;
#ifdef Q_OS_WIN
        QTest::newRow("not a program") << "garbage" << Failed + SysText(ERROR_BAD_EXE_FORMAT);
        QTest::newRow("working folder missing") << "nowork" << Failed + SysText(ERROR_DIRECTORY);
#else
        QTest::newRow("not executable") << "noexec" << Failed + SysText(EACCES);
        QTest::newRow("not a program") << "garbage" << Failed + SysText(ENOEXEC);
        QTest::newRow("working folder missing") << "nowork" << Failed + SysText(ENOENT);
#endif
    }
    void startFailures()
    {
        QFETCH(QString, Kind);
        QFETCH(QString, Message);
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        QString Exe = Tmp.filePath(QStringLiteral("Marrowkin"));
        QString WorkDir;
        if (Kind == u"empty") {
            Exe.clear();
        } else if (Kind == u"folder") {
            Exe = Tmp.path();
        } else if (Kind == u"noexec" || Kind == u"garbage") {
            QFile F(Exe);
            QVERIFY(F.open(QIODevice::WriteOnly));
            F.write("\x01\x02 not a program\n");
            F.close();
            if (Kind == u"garbage")
                F.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else if (Kind == u"nowork") {
            Exe = kChild;
            WorkDir = Tmp.filePath(QStringLiteral("gone"));
        }
        const QString Expected = Message.endsWith(u'：') ? Message + Exe : Message;
        TConsoleRunner Runner;
        QString Err = QStringLiteral("old");
        QVERIFY(!Runner.Start(Exe, QStringLiteral("/list"), WorkDir, Err));
        QCOMPARE(Err, Expected);
        QVERIFY(!Runner.Running());
        QByteArray Raw;
        bool Exited = true;
        quint32 Code = 1;
        QVERIFY(!Runner.DrainBytes(Raw, Exited, Code));
        QVERIFY(!Exited);
        // A failed start leaves the runner ready for the next one.
        TChildEnv Env;
        Env.Set("MK_CHILD_EXIT", "0");
        QVERIFY(StartChild(Runner));
        QVERIFY(DrainToExit(Runner, true).Exited);
    }

    void secondStartRefused()
    {
        TChildEnv Env;
        Env.Set("MK_CHILD_SCRIPT", "out:first;sleep:30000");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        QString Err;
        QVERIFY(!Runner.Start(kChild, QString(), QString(), Err));
        QCOMPARE(Err, QStringLiteral("已有任务正在运行。"));
        QVERIFY(Runner.Running());

        // A silent, sleeping child: the drain returns at once.
        QByteArray Raw, All;
        bool Exited = false;
        quint32 Code = 0;
        QTRY_VERIFY_WITH_TIMEOUT((Runner.DrainBytes(Raw, Exited, Code), All += Raw, All == "first"), 10000);
        QVERIFY(!Exited);

        Runner.Stop();
        QVERIFY(!Runner.Running());
        const TRun R = DrainToExit(Runner, true);
        QVERIFY(R.Exited);
        QCOMPARE(R.Code, 1u);
        QCOMPARE(Runner.ExitCode(), 1u);

        // Start again after the exit, with a fresh exit code.
        Env.Set("MK_CHILD_SCRIPT", "out:second;exit:0");
        QVERIFY(StartChild(Runner));
        QCOMPARE(Runner.ExitCode(), 0u);
        const TRun Again = DrainToExit(Runner, true);
        QVERIFY(Again.Exited);
        QCOMPARE(Again.Bytes, QByteArray("second"));
        QCOMPARE(Again.Code, 0u);
    }

    void restartAfterStopWithoutDrain()
    {
        TChildEnv Env;
        Env.Set("MK_CHILD_SCRIPT", "out:old;sleep:30000");
        TConsoleRunner Runner;
        QVERIFY(StartChild(Runner));
        Runner.Stop();
        // The abandoned run's output must not leak into the next one.
        Env.Set("MK_CHILD_SCRIPT", "out:new;exit:6");
        QVERIFY(StartChild(Runner));
        const TRun R = DrainToExit(Runner, true);
        QVERIFY(R.Exited);
        QCOMPARE(R.Bytes, QByteArray("new"));
        QCOMPARE(R.Code, 6u);
    }

    void groupEnds_data()
    {
        QTest::addColumn<QString>("How");
        QTest::addColumn<bool>("Setsid"); // the grandchild left the group and session
        for (const bool Setsid : {false, true}) {
            const char* Suffix = Setsid ? ", grandchild in its own session" : "";
            QTest::addRow("stop%s", Suffix) << "stop" << Setsid;
            QTest::addRow("destructor%s", Suffix) << "destroy" << Setsid;
            QTest::addRow("child exits first%s", Suffix) << "exit" << Setsid;
        }
    }
    void groupEnds()
    {
        QFETCH(QString, How);
        QFETCH(bool, Setsid);
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        const QString ChildPidFile = Tmp.filePath(QStringLiteral("child.pid"));
        const QString GrandPidFile = Tmp.filePath(QStringLiteral("grand.pid"));
        TChildEnv Env;
        Env.Set("MK_CHILD_PID_FILE", QFile::encodeName(ChildPidFile))
            .Set("MK_CHILD_GRANDCHILD", QFile::encodeName(GrandPidFile))
            .Set("MK_CHILD_SCRIPT", "out:started\\n")
            .Set("MK_CHILD_SLEEP_MS", How == u"exit" ? "0" : "30000")
            .Set("MK_CHILD_EXIT", "7");
        if (Setsid)
            Env.Set("MK_CHILD_SETSID", "1");
        auto Runner = std::make_unique<TConsoleRunner>();
        QVERIFY(StartChild(*Runner));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(GrandPidFile), 10000);
        const qint64 ChildPid = ReadPid(ChildPidFile);
        const qint64 GrandPid = ReadPid(GrandPidFile);
        QVERIFY(ChildPid > 0 && GrandPid > 0);
        QVERIFY(!ProcessGone(GrandPid));

        if (How == u"destroy") {
            Runner.reset();
        } else {
            if (How == u"stop")
                Runner->Stop();
            // The grandchild still holds the output pipe; that must not hold
            // back the exit report.
            QElapsedTimer Clock;
            Clock.start();
            const TRun R = DrainToExit(*Runner, true);
            QVERIFY(R.Exited);
            QVERIFY2(Clock.elapsed() < 20000, "exit report waited for the grandchild");
            QCOMPARE(R.Code, How == u"stop" ? 1u : 7u);
            QCOMPARE(R.Bytes, How == u"stop" ? R.Bytes : QByteArray("started\n"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(ChildPid), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(GrandPid), 10000);
    }

    // A stop gives the child a chance to clean up, but does not wait on it for ever.
    void stopAsksFirst_data()
    {
        QTest::addColumn<bool>("Destroy");
        QTest::addColumn<bool>("Ignores");
        QTest::newRow("stop, child leaves") << false << false;
        QTest::newRow("stop, child ignores the request") << false << true;
        QTest::newRow("destructor, child leaves") << true << false;
        QTest::newRow("destructor, child ignores the request") << true << true;
    }
    void stopAsksFirst()
    {
        QFETCH(bool, Destroy);
        QFETCH(bool, Ignores);
        QTemporaryDir Tmp;
        QVERIFY(Tmp.isValid());
        const QString PidFile = Tmp.filePath(QStringLiteral("child.pid"));
        const QString TermFile = Tmp.filePath(QStringLiteral("term"));
        TChildEnv Env;
        Env.Set("MK_CHILD_PID_FILE", QFile::encodeName(PidFile)).Set("MK_CHILD_SLEEP_MS", "30000");
        Env.Set(Ignores ? "MK_CHILD_IGNORE_TERM" : "MK_CHILD_TERM_FILE", Ignores ? "1" : QFile::encodeName(TermFile));
        auto Runner = std::make_unique<TConsoleRunner>();
        QVERIFY(StartChild(*Runner));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(PidFile), 10000);
        const qint64 Pid = ReadPid(PidFile);
        if (Destroy) {
            Runner.reset();
        } else {
            Runner->Stop();
            const TRun R = DrainToExit(*Runner, true, false, 15000);
            QVERIFY(R.Exited);
            QCOMPARE(R.Code, 1u);
        }
        QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(Pid), 10000);
        QCOMPARE(QFile::exists(TermFile), !Ignores);
    }

    // Once a run's child has been reaped its process id is free; ending the
    // run must not reach a stranger that took it over, as a plain process or
    // as the leader of a process group.
    void strangerWithOldPidSurvives_data()
    {
        QTest::addColumn<QString>("How");
        QTest::addColumn<QString>("Bystander");
        for (const char* How : {"exit", "stop"})
            for (const char* Bystander : {"plain", "leader"})
                QTest::addRow("%s, %s", How, Bystander) << How << Bystander;
    }
    void strangerWithOldPidSurvives()
    {
#ifdef Q_OS_WIN
        QSKIP("process groups and PID namespaces are Linux facts; on Windows the job holds the run");
#else
        QFETCH(QString, How);
        QFETCH(QString, Bystander);
        const QString Unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (Unshare.isEmpty())
            QSKIP("unshare is not installed");
        // A PID namespace of our own lets the check hand the old id to the bystander.
        QProcess P;
        P.setProcessChannelMode(QProcess::MergedChannels);
        P.start(Unshare, {"--user", "--map-root-user", "--pid", "--fork", "--mount-proc",
                          QStringLiteral(MK_PID_REUSE_CHECK), kChild, How, Bystander});
        QVERIFY(P.waitForFinished(60000));
        const QString Out = QString::fromLocal8Bit(P.readAll()).trimmed();
        if (!Out.startsWith(u"ready"))
            QSKIP(qPrintable(QStringLiteral("no PID namespace here: ") + Out));
        if (P.exitCode() == 77)
            QSKIP(qPrintable(Out.section(u'\n', -1)));
        QVERIFY2(P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0, qPrintable(Out));
#endif
    }

    void elapsedSeconds()
    {
        TChildEnv Env;
        Env.Set("MK_CHILD_SLEEP_MS", "1100");
        TConsoleRunner Runner;
        QCOMPARE(Runner.ElapsedSec(), 0);
        QVERIFY(StartChild(Runner));
        QVERIFY(DrainToExit(Runner, true).Exited);
        QVERIFY(Runner.ElapsedSec() >= 1);
        QVERIFY(Runner.ElapsedSec() < 60);
    }
};

QTEST_GUILESS_MAIN(TConsoleRunnerTest)
#include "tst_console_runner.moc"
