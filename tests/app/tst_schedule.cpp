#include "schedule_cron.h"
#include "schedule_systemd.h"
#include "schedule_task.h"

#include "text_util.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(TRepeat)

namespace {

const TRepeat kDaily{sfDaily, Qt::Monday, QTime(8, 30)};
const TRepeat kSunday{sfWeekly, Qt::Sunday, QTime(21, 5)};

// Arguments that need every kind of care somewhere.
const QStringList kTricky{"/auto", "/title:周报 \"草稿\" 100%", "/out:/srv/a'b\\c $HOME;", "/include:%PATH%x\\%", ";"};

#ifndef Q_OS_WIN
// Only the checks that run systemd-analyze and sh use these.
bool WriteFile(const QString& Path, const QString& Text)
{
    QFile F(Path);
    return F.open(QIODevice::WriteOnly) && F.write(Text.toUtf8()) >= 0;
}

// What cron hands to the shell: the command up to the first "%" not escaped
// by a backslash, and "\%" as "%".
QString CronCommand(const QString& Line)
{
    const QString Fields = Line.section(u' ', 0, 4) + u' ';
    QString Cmd;
    bool Escaped = false;
    for (const QChar C : Line.mid(Fields.size())) {
        if (Escaped && C == u'%')
            Cmd.chop(1);
        else if (C == u'%')
            break;
        Escaped = !Escaped && C == u'\\';
        Cmd += C;
    }
    return Cmd;
}
#endif

} // namespace

class TScheduleTest : public QObject {
    Q_OBJECT
private slots:
    void TaskArgs_data();
    void TaskArgs();
    void TaskXml_data();
    void TaskXml();
    void SystemdUnits_data();
    void SystemdUnits();
    void SystemdVerify();
    void CronLines_data();
    void CronLines();
    void CronKeepsOtherLines();
};

void TScheduleTest::TaskArgs_data()
{
    QTest::addColumn<QString>("Program");
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<TRepeat>("Repeat");
    QTest::addColumn<QStringList>("Expected"); // after /TR's value; empty: refused
    QTest::addColumn<QString>("Error");
    const QString Exe = QStringLiteral("C:\\Program Files\\Marrowkin\\MarrowkinWin.exe");
    QTest::newRow("daily, Chinese folder") << Exe << QStringList{"/auto", "/out:C:\\Users\\张三\\报告"} << kDaily
                                           << QStringList{"/SC", "DAILY", "/ST", "08:30"} << "";
    QTest::newRow("weekly, quotes and a trailing backslash")
        << Exe << QStringList{"/auto", "/title:say \"hi\"", "/out:D:\\my reports\\"} << kSunday
        << QStringList{"/SC", "WEEKLY", "/D", "SUN", "/ST", "21:05"} << "";
    QTest::newRow("a variable would be replaced") << Exe << QStringList{"/out:%USERPROFILE%\\r"} << kDaily
                                                  << QStringList() << "%USERPROFILE%";
    QTest::newRow("a lone percent is kept") << Exe << QStringList{"/title:100%"} << kDaily
                                            << QStringList{"/SC", "DAILY", "/ST", "08:30"} << "";
    QTest::newRow("line break") << Exe << QStringList{"/title:a\nb"} << kDaily << QStringList() << "U+000A";
    QTest::newRow("longer than 261") << Exe << QStringList{"/include:" + QString(220, u'x')} << kDaily
                                     << QStringList() << "261";
}

void TScheduleTest::TaskArgs()
{
    QFETCH(QString, Program);
    QFETCH(QStringList, Args);
    QFETCH(TRepeat, Repeat);
    QFETCH(QStringList, Expected);
    QFETCH(QString, Error);
    QStringList Out;
    QString Message;
    const bool Ok = TaskCreateArgs(TScheduledRun{Repeat, Program, Args}, Out, Message);
    QCOMPARE(Ok, !Expected.isEmpty());
    if (!Ok) {
        QVERIFY2(Message.contains(Error), qPrintable(Message));
        return;
    }
    QCOMPARE(Out.mid(0, 5), (QStringList{"/Create", "/F", "/TN", "Marrowkin\\定时报告", "/TR"}));
    QCOMPARE(Out.mid(6), Expected);
    // Windows splits the command line of the task back into these.
    QCOMPARE(SplitCommandLine(Out[5]), QStringList{Program} + Args);
}

void TScheduleTest::TaskXml_data()
{
    QTest::addColumn<QString>("Trigger");
    QTest::addColumn<QString>("Action");
    QTest::addColumn<bool>("Known");
    QTest::addColumn<TRepeat>("Repeat");
    QTest::addColumn<QString>("Command"); // empty: not read as a task
    const QString Exec = "<Exec><Command>\"C:\\a b\\MarrowkinWin.exe\"</Command><Arguments>/auto \"/title:x &amp; y\""
                         "</Arguments></Exec>";
    const QString Command = "\"C:\\a b\\MarrowkinWin.exe\" /auto \"/title:x & y\"";
    QTest::newRow("daily") << "<StartBoundary>2026-11-19T08:30:00</StartBoundary><ScheduleByDay><DaysInterval>1"
                              "</DaysInterval></ScheduleByDay>"
                           << Exec << true << kDaily << Command;
    QTest::newRow("weekly with a zone") << "<StartBoundary>2026-11-22T21:05:00+08:00</StartBoundary><ScheduleByWeek>"
                                           "<DaysOfWeek><Sunday /></DaysOfWeek></ScheduleByWeek>"
                                        << Exec << true << kSunday << Command;
    QTest::newRow("two days is not ours") << "<StartBoundary>2026-11-22T21:05:00</StartBoundary><ScheduleByWeek>"
                                             "<DaysOfWeek><Sunday /><Monday /></DaysOfWeek></ScheduleByWeek>"
                                          << Exec << false << TRepeat() << Command;
    QTest::newRow("no action") << "<StartBoundary>2026-11-22T21:05:00</StartBoundary>" << "" << false
                               << TRepeat() << "";
}

void TScheduleTest::TaskXml()
{
    QFETCH(QString, Trigger);
    QFETCH(QString, Action);
    QFETCH(bool, Known);
    QFETCH(TRepeat, Repeat);
    QFETCH(QString, Command);
    const QString Xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task xmlns=\"http://schemas.microsoft.com/"
                        "windows/2004/02/mit/task\"><Triggers><CalendarTrigger>" + Trigger +
                        "</CalendarTrigger></Triggers><Actions>" + Action + "</Actions></Task>";
    TScheduleState S;
    QCOMPARE(ParseTaskXml(Xml, S), !Command.isEmpty());
    QCOMPARE(S.FRepeatKnown, Known);
    if (Known)
        QCOMPARE(S.FRepeat, Repeat);
    QCOMPARE(S.FCommand, Command);
}

void TScheduleTest::SystemdUnits_data()
{
    QTest::addColumn<QString>("Program");
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<TRepeat>("Repeat");
    QTest::addColumn<QString>("Exec"); // empty: refused
    QTest::addColumn<QString>("Calendar");
    QTest::newRow("Chinese, blanks, percent and dollar in the path")
        << "/opt/我的 程序 100%/$x;/MarrowkinWin" << QStringList{"/auto", "/out:/home/u/报告 2024"} << kDaily
        << "\"/opt/我的 程序 100%%/$x;/MarrowkinWin\" \"/auto\" \"/out:/home/u/报告 2024\"" << "*-*-* 08:30:00";
    QTest::newRow("every escape in the arguments")
        << "/usr/bin/MarrowkinWin" << kTricky << kSunday
        << "\"/usr/bin/MarrowkinWin\" \"/auto\" \"/title:周报 \\\"草稿\\\" 100%%\" \"/out:/srv/a'b\\\\c $$HOME;\" "
           "\"/include:%%PATH%%x\\\\%%\" \";\""
        << "Sun *-*-* 21:05:00";
    QTest::newRow("quote in the path") << "/opt/a\"b/MarrowkinWin" << QStringList{"/auto"} << kDaily << "" << "";
    QTest::newRow("backslash in the path") << "/opt/a\\b/MarrowkinWin" << QStringList{"/auto"} << kDaily << "" << "";
    QTest::newRow("line break") << "/usr/bin/MarrowkinWin" << QStringList{"/title:a\nb"} << kDaily << "" << "";
}

void TScheduleTest::SystemdUnits()
{
    QFETCH(QString, Program);
    QFETCH(QStringList, Args);
    QFETCH(TRepeat, Repeat);
    QFETCH(QString, Exec);
    QFETCH(QString, Calendar);
    QString Service, Timer, Error;
    QCOMPARE(::SystemdUnits(TScheduledRun{Repeat, Program, Args}, Service, Timer, Error), !Exec.isEmpty());
    if (Exec.isEmpty()) {
        QVERIFY(Error.startsWith(QStringLiteral("无法注册定时任务：")));
        return;
    }
    QCOMPARE(ExecStartOf(Service), Exec);
    QVERIFY(Timer.contains("\nOnCalendar=" + Calendar + "\n"));
    TRepeat Back;
    QVERIFY(ParseTimerUnit(Timer, Back));
    QCOMPARE(Back, Repeat);
}

void TScheduleTest::SystemdVerify()
{
#ifdef Q_OS_WIN
    QSKIP("systemd units are for Linux");
#else
    const QString Analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (Analyze.isEmpty())
        QSKIP("systemd-analyze is not installed (package systemd)");
    // systemd checks that the program is there and may be run, so the path
    // is found exactly as written; a real one with everything that needs care.
    QTemporaryDir Tmp;
    const QString Dir = Tmp.filePath(QStringLiteral("我的 程序 100%;$x"));
    QVERIFY(QDir().mkpath(Dir));
    const QString Program = Dir + QStringLiteral("/MarrowkinWin");
    QVERIFY(QFile::copy(QStringLiteral(MK_TEST_CHILD), Program));
    QString Service, Timer, Error;
    QVERIFY(::SystemdUnits(TScheduledRun{kSunday, Program, kTricky}, Service, Timer, Error));
    const QString Unit = Tmp.filePath(SystemdUnitName());
    QVERIFY(WriteFile(Unit + ".service", Service) && WriteFile(Unit + ".timer", Timer));
    QProcess P;
    P.setProcessChannelMode(QProcess::MergedChannels);
    P.start(Analyze, {QStringLiteral("verify"), Unit + ".timer", Unit + ".service"});
    QVERIFY(P.waitForFinished(60000));
    const QString Said = QString::fromUtf8(P.readAll());
    QCOMPARE(P.exitCode(), 0);
    // Warnings do not change the exit code; none may name our files.
    QVERIFY2(!Said.contains(SystemdUnitName()), qPrintable(Said));
#endif
}

void TScheduleTest::CronLines_data()
{
    QTest::addColumn<QString>("Program");
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<TRepeat>("Repeat");
    QTest::addColumn<QString>("Line");
    const QString Tail = QStringLiteral(" >/dev/null 2>&1 # marrowkin-scheduled-report");
    QTest::newRow("daily, Chinese and blanks") << "/opt/我的 程序/MarrowkinWin" << QStringList{"/auto", "/out:/r 1"}
                                              << kDaily << "30 8 * * * '/opt/我的 程序/MarrowkinWin' '/auto' '/out:/r 1'" + Tail;
    QTest::newRow("weekly, quotes, percent after a backslash")
        << "/usr/bin/MarrowkinWin" << kTricky << kSunday
        << "5 21 * * 0 '/usr/bin/MarrowkinWin' '/auto' '/title:周报 \"草稿\" 100'\\%'' "
           "'/out:/srv/a'\\''b\\c $HOME;' '/include:'\\%'PATH'\\%'x\\'\\%'' ';'" + Tail;
}

void TScheduleTest::CronLines()
{
    QFETCH(QString, Program);
    QFETCH(QStringList, Args);
    QFETCH(TRepeat, Repeat);
    QFETCH(QString, Line);
    QString Out, Error;
    QVERIFY(CronLine(TScheduledRun{Repeat, Program, Args}, Out, Error));
    QCOMPARE(Out, Line);
    TRepeat Back;
    QVERIFY(ParseCronLine(Out, Back));
    QCOMPARE(Back, Repeat);
    QVERIFY(!CronLine(TScheduledRun{Repeat, Program, {"/title:a\nb"}}, Out, Error));

#ifndef Q_OS_WIN
    // What cron hands to the shell starts the program with these arguments.
    QTemporaryDir Tmp;
    const QString Recorded = Tmp.filePath(QStringLiteral("args.txt"));
    QVERIFY(CronLine(TScheduledRun{Repeat, QStringLiteral(MK_TEST_CHILD), Args}, Out, Error));
    QProcess Sh;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("MK_CHILD_ARGS_FILE"), Recorded);
    Sh.setProcessEnvironment(Env);
    Sh.start(QStringLiteral("sh"), {QStringLiteral("-c"), CronCommand(Out)});
    QVERIFY(Sh.waitForFinished(10000));
    QCOMPARE(Sh.exitCode(), 0);
    QFile F(Recorded);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(F.readAll()).split(u'\n').mid(1, Args.size()), Args);
#endif
}

void TScheduleTest::CronKeepsOtherLines()
{
    const QByteArray Other = "# mine\nMAILTO=\"\"\n0 * * * * backup \xE9\xFF\n"; // not even UTF-8
    const QString Ours = QStringLiteral("0 9 * * * '/x' >/dev/null 2>&1 # marrowkin-scheduled-report");
    const QByteArray With = WithCronLine(Other, Ours);
    QCOMPARE(With, Other + Ours.toUtf8() + '\n');
    QCOMPARE(FindCronLine(With), Ours.toUtf8());
    QCOMPARE(WithCronLine(With, QString()), Other);
    QCOMPARE(WithCronLine(WithCronLine(With, "1 2 * * * '/y' # marrowkin-scheduled-report"), QString()), Other);
    QCOMPARE(WithCronLine(QByteArray("a"), QString()), QByteArray("a\n"));
}

QTEST_GUILESS_MAIN(TScheduleTest)
#include "tst_schedule.moc"
