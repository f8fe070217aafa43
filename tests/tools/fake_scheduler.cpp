// Stands in for a scheduler's tool: copied under the name schtasks(.exe),
// systemctl or crontab into a folder put first on PATH, it does what the
// tests need of that tool, driven by environment variables:
//
//   MK_FAKE_LOG=path    append each call as one line: the tool's name and its
//                       arguments, separated by tabs (UTF-8)
//   MK_FAKE_FAIL=a|b    refuse a call whose name and arguments, joined by
//                       blanks, equal one of a, b … or start with it and a
//                       blank: print "refused by stand-in" to standard
//                       error, exit 1
//   MK_FAKE_STATE=dir   where crontab keeps the user's crontab ("crontab")
//                       and schtasks the one task ("task": /TR, /SC, /D, /ST)
//
// crontab -l prints the crontab or says "no crontab for tester"; crontab -
// stores standard input. schtasks /Create stores the task, /Query /XML prints
// it as the Task Scheduler would, /Delete removes it; both fail for a task
// that is not there. systemctl only succeeds.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

QString StatePath(const char* Name)
{
    return QDir(qEnvironmentVariable("MK_FAKE_STATE")).filePath(QLatin1String(Name));
}

int Fail(const char* Text)
{
    std::fputs(Text, stderr);
    return 1;
}

QString Escaped(QString Text)
{
    return Text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
}

QString ValueAfter(const QStringList& Args, const char* Switch)
{
    const qsizetype I = Args.indexOf(QLatin1String(Switch), 0);
    return I >= 0 && I + 1 < Args.size() ? Args[I + 1] : QString();
}

int Crontab(const QStringList& Args)
{
    QFile F(StatePath("crontab"));
    if (Args.value(0) == QLatin1String("-l")) {
        if (!F.open(QIODevice::ReadOnly))
            return Fail("no crontab for tester\n");
        std::fwrite(F.readAll().constData(), 1, size_t(F.size()), stdout);
        return 0;
    }
    QFile In;
    if (Args.value(0) != QLatin1String("-") || !In.open(stdin, QIODevice::ReadOnly) || !F.open(QIODevice::WriteOnly))
        return Fail("crontab: usage error\n");
    F.write(In.readAll());
    return 0;
}

int Schtasks(const QStringList& Args)
{
    QFile F(StatePath("task"));
    const QString Verb = Args.value(0);
    if (Verb == QLatin1String("/Create")) {
        if (!F.open(QIODevice::WriteOnly))
            return Fail("ERROR: cannot store the task\n");
        for (const char* Sw : {"/TR", "/SC", "/D", "/ST"})
            F.write(ValueAfter(Args, Sw).toUtf8() + '\n');
        return 0;
    }
    if (!F.exists())
        return Fail("ERROR: The system cannot find the file specified.\n");
    if (Verb == QLatin1String("/Delete"))
        return F.remove() ? 0 : Fail("ERROR: Access is denied.\n");
    if (!F.open(QIODevice::ReadOnly))
        return Fail("ERROR: Access is denied.\n");
    const QStringList V = QString::fromUtf8(F.readAll()).split(u'\n');
    // The program is the quoted part at the front, as the scheduler splits it.
    const QString Run = V.value(0);
    const qsizetype End = Run.indexOf(u'"', 1) + 1;
    static const QStringList Codes{"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
    static const QStringList Names{"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    const QString Days =
        V.value(1) == QLatin1String("WEEKLY")
            ? QStringLiteral("<ScheduleByWeek><DaysOfWeek><%1 /></DaysOfWeek></ScheduleByWeek>")
                  .arg(Names.value(Codes.indexOf(V.value(2)), QStringLiteral("Monday")))
            : QStringLiteral("<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay>");
    QTextStream(stdout) << "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                           "<Triggers><CalendarTrigger><StartBoundary>2026-11-19T"
                        << V.value(3) << ":00</StartBoundary>" << Days
                        << "</CalendarTrigger></Triggers><Actions Context=\"Author\"><Exec><Command>"
                        << Escaped(Run.left(End)) << "</Command><Arguments>" << Escaped(Run.mid(End).trimmed())
                        << "</Arguments></Exec></Actions></Task>\n";
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    QCoreApplication App(Argc, Argv);
    const QString Tool = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toLower();
    const QStringList Args = QCoreApplication::arguments().mid(1);
    if (QFile Log(qEnvironmentVariable("MK_FAKE_LOG")); Log.open(QIODevice::Append))
        Log.write((QStringList{Tool} + Args).join(u'\t').toUtf8() + '\n');
    const QString Call = (QStringList{Tool} + Args).join(u' ');
    for (const QString& Refused : qEnvironmentVariable("MK_FAKE_FAIL").split(u'|', Qt::SkipEmptyParts))
        if (Call == Refused || Call.startsWith(Refused + u' '))
            return Fail("refused by stand-in\n");
    if (Tool == QLatin1String("crontab"))
        return Crontab(Args);
    if (Tool == QLatin1String("schtasks"))
        return Schtasks(Args);
    return 0;
}
