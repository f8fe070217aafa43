#include "schedule.h"

#include "options.h"
#include "schedule_cron.h"
#include "schedule_systemd.h"
#include "schedule_task.h"
#include "text_util.h"
#include "weekday_names.h"

QString WeekdayName(int Weekday)
{
    // Qt counts from Monday (1) to Sunday (7), the shared names from Sunday (0).
    return Weekday >= 1 && Weekday <= 7 ? WeekdayNames()[Weekday % 7] : QString();
}

QString ScheduleText(const TRepeat& Repeat)
{
    const QString Time = Repeat.FTime.toString(QStringLiteral("HH:mm"));
    if (Repeat.FFreq == sfWeekly)
        return QStringLiteral("每") + WeekdayName(Repeat.FWeekday) + u' ' + Time;
    return QStringLiteral("每天 ") + Time;
}

QString ScheduledCommandText(TSchedulerKind Kind, const TScheduledRun& Run)
{
    QString Text, Timer, Error;
    QStringList Ignored;
    switch (Kind) {
    case skTaskScheduler:
        return TaskCreateArgs(Run, Ignored, Error) ? TaskRunText(Run) : Error;
    case skSystemd:
        return SystemdUnits(Run, Text, Timer, Error) ? ExecStartOf(Text) : Error;
    case skCron:
        return CronLine(Run, Text, Error) ? Text : Error;
    case skNone:
        break;
    }
    QStringList Parts{QuoteArg(Run.FProgram)};
    for (const QString& A : Run.FArgs)
        Parts << QuoteArg(A);
    return Parts.join(u' ');
}

TScheduledRun MakeScheduledRun(const TRepeat& Repeat, const QString& Program, const TOptions& Opts,
                               const QString& OutDir)
{
    return TScheduledRun{Repeat, Program, UnattendedArgs(Opts, OutDir)};
}

namespace {

QString SchedulerName(TSchedulerKind Kind)
{
    switch (Kind) {
    case skTaskScheduler: return QStringLiteral("Windows 任务计划程序");
    case skSystemd: return QStringLiteral("systemd 用户定时器");
    case skCron: return QStringLiteral("crontab");
    case skNone: break;
    }
    return QString();
}

} // namespace

TScheduleView ScheduleView(const TScheduleState& State)
{
    TScheduleView V;
    if (State.FFound == skNone) {
        V.Existing = QStringLiteral("当前没有定时任务");
    } else {
        V.Existing = QStringLiteral("当前计划：") +
                     (State.FRepeatKnown ? ScheduleText(State.FRepeat) : QStringLiteral("时间无法识别")) +
                     QStringLiteral("（") + SchedulerName(State.FFound) + QStringLiteral("）");
    }
    V.CanCreate = State.FUse != skNone;
    V.Target = V.CanCreate ? QStringLiteral("将注册到：") + SchedulerName(State.FUse)
                           : QStringLiteral("无法注册：") + State.FProblem;
    V.CreateCaption = State.FFound == skNone ? QStringLiteral("创建计划") : QStringLiteral("替换计划");
    V.CanRemove = State.FFound != skNone;
    return V;
}

QString CannotRegisterText(const QString& Why)
{
    return QStringLiteral("无法注册定时任务：") + Why +
           QStringLiteral("\r\n\r\n请修改保存位置、报告标题或关键词后重试。");
}

QString FirstControlChar(const QStringList& Args)
{
    for (const QString& A : Args)
        for (const QChar C : A)
            if (C.unicode() < 0x20 || C.unicode() == 0x7F)
                return QStringLiteral("U+%1").arg(C.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return QString();
}
