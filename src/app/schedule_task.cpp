#include "schedule_task.h"

#include "text_util.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

// schtasks' own names for the weekdays, Monday first.
const char* const kDayCodes[] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
// The element names of the weekdays in a task definition.
const char* const kDayElements[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

} // namespace

QString TaskName()
{
    return QStringLiteral("Marrowkin\\定时报告");
}

QString TaskRunText(const TScheduledRun& Run)
{
    // The program is always quoted: the scheduler takes the first quoted
    // part as the program and hands the rest on as its arguments.
    QString Text = u'"' + Run.FProgram + u'"';
    for (const QString& A : Run.FArgs)
        Text += u' ' + QuoteArg(A);
    return Text;
}

bool TaskCreateArgs(const TScheduledRun& Run, QStringList& Args, QString& Error)
{
    const QString Text = TaskRunText(Run);
    if (Run.FProgram.contains(u'"')) {
        Error = CannotRegisterText(QStringLiteral("程序路径含有双引号"));
        return false;
    }
    const QString Control = FirstControlChar(Run.FArgs + QStringList{Run.FProgram});
    if (!Control.isEmpty()) {
        Error = CannotRegisterText(QStringLiteral("命令含有控制字符 ") + Control);
        return false;
    }
    // The scheduler replaces %NAME% by the variable's value when it starts
    // the task, and there is no way to keep it from doing so.
    static const QRegularExpression Variable(QStringLiteral("%[^%]+%"));
    const QRegularExpressionMatch M = Variable.match(Text);
    if (M.hasMatch()) {
        Error = CannotRegisterText(QStringLiteral("命令中的“") + M.captured() +
                                   QStringLiteral("”会被任务计划程序当作环境变量替换"));
        return false;
    }
    if (Text.size() > kTaskRunMax) {
        Error = CannotRegisterText(QStringLiteral("命令长 %1 个字符，任务计划程序最多接受 %2 个")
                                       .arg(Text.size())
                                       .arg(kTaskRunMax));
        return false;
    }
    Args = QStringList{QStringLiteral("/Create"), QStringLiteral("/F"), QStringLiteral("/TN"), TaskName(),
                       QStringLiteral("/TR"), Text, QStringLiteral("/SC")};
    if (Run.FRepeat.FFreq == sfWeekly)
        Args << QStringLiteral("WEEKLY") << QStringLiteral("/D")
             << QLatin1String(kDayCodes[qBound(1, Run.FRepeat.FWeekday, 7) - 1]);
    else
        Args << QStringLiteral("DAILY");
    Args << QStringLiteral("/ST") << Run.FRepeat.FTime.toString(QStringLiteral("HH:mm"));
    return true;
}

QStringList TaskQueryArgs()
{
    return {QStringLiteral("/Query"), QStringLiteral("/TN"), TaskName(), QStringLiteral("/XML")};
}

QStringList TaskDeleteArgs()
{
    return {QStringLiteral("/Delete"), QStringLiteral("/TN"), TaskName(), QStringLiteral("/F")};
}

bool ParseTaskXml(const QString& Xml, TScheduleState& State)
{
    QXmlStreamReader R(Xml);
    QString Command, Arguments, Start;
    bool Daily = false;
    int Weekday = 0;
    int Triggers = 0;
    while (!R.atEnd()) {
        if (R.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView Name = R.name();
        if (Name == u"CalendarTrigger")
            ++Triggers;
        else if (Name == u"StartBoundary")
            Start = R.readElementText();
        else if (Name == u"ScheduleByDay")
            Daily = true;
        else if (Name == u"Command")
            Command = R.readElementText().trimmed();
        else if (Name == u"Arguments")
            Arguments = R.readElementText().trimmed();
        else
            for (int D = 0; D < 7; ++D)
                if (Name == QLatin1String(kDayElements[D]))
                    Weekday = Weekday ? -1 : D + 1; // more than one day is not ours
    }
    if (R.hasError() || Command.isEmpty())
        return false;
    State.FCommand = Arguments.isEmpty() ? Command : Command + u' ' + Arguments;
    // "2026-11-19T08:30:00", perhaps with a zone after the seconds.
    const QTime Time = QTime::fromString(Start.mid(11, 5), QStringLiteral("HH:mm"));
    State.FRepeatKnown = Triggers == 1 && Time.isValid() && (Daily != (Weekday != 0)) && Weekday >= 0;
    if (State.FRepeatKnown)
        State.FRepeat = TRepeat{Daily ? sfDaily : sfWeekly, Daily ? int(Qt::Monday) : Weekday, Time};
    return true;
}
