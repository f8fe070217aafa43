#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

struct TOptions;

// The one scheduled report the program owns: when it runs, what it starts,
// and what is known of the one registered now. Each scheduler writes it in
// its own form (schedule_task, schedule_systemd, schedule_cron); the system's
// half that talks to the scheduler is schedule_backend.

enum TScheduleFreq { sfDaily, sfWeekly };

// When the scheduled report runs.
struct TRepeat {
    TScheduleFreq FFreq = sfDaily;
    int FWeekday = Qt::Monday; // 1 = Monday … 7 = Sunday; only for weekly
    QTime FTime = QTime(8, 0);

    bool operator==(const TRepeat&) const = default;
};

// What the scheduler starts: the program and its arguments, unquoted.
struct TScheduledRun {
    TRepeat FRepeat;
    QString FProgram;
    QStringList FArgs;
};

enum TSchedulerKind { skNone, skTaskScheduler, skSystemd, skCron };

struct TScheduleState {
    // Where a new schedule would go; skNone when nowhere, FProblem says why.
    TSchedulerKind FUse = skNone;
    QString FProblem;
    // The schedule registered now, if any, and where.
    TSchedulerKind FFound = skNone;
    bool FRepeatKnown = false;
    TRepeat FRepeat;
    QString FCommand; // as the scheduler holds it
};

// "周一" … "周日" for 1 … 7.
QString WeekdayName(int Weekday);
// "每天 08:30", "每周三 21:05".
QString ScheduleText(const TRepeat& Repeat);
// The command of Run as the scheduler Kind will hold it (skNone: program and
// arguments quoted where needed), or why it cannot hold it.
QString ScheduledCommandText(TSchedulerKind Kind, const TScheduledRun& Run);
// What the scheduler is to start for Opts: Program unattended, its report
// going to OutDir.
TScheduledRun MakeScheduledRun(const TRepeat& Repeat, const QString& Program, const TOptions& Opts,
                               const QString& OutDir);

// What the dialog shows for a state.
struct TScheduleView {
    QString Existing;  // the schedule there now, or that there is none
    QString Target;    // where a new one would go
    QString CreateCaption;
    bool CanCreate = false;
    bool CanRemove = false;
};
TScheduleView ScheduleView(const TScheduleState& State);

// The message for a run that a scheduler cannot hold as it is; Why names the
// part at fault.
QString CannotRegisterText(const QString& Why);
// The first control character among the arguments, as "U+000A", or empty.
QString FirstControlChar(const QStringList& Args);
