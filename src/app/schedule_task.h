#pragma once

#include "schedule.h"

#include <QString>
#include <QStringList>

// The schedule in the Windows Task Scheduler, written through schtasks.exe.

// "Marrowkin\定时报告": a folder of our own, so no other task is touched.
QString TaskName();

// schtasks takes at most this many characters after /TR.
inline constexpr int kTaskRunMax = 261;

// The /TR text: the program quoted, then each argument quoted where needed,
// with the rules by which Windows splits a command line again.
QString TaskRunText(const TScheduledRun& Run);

// The arguments of schtasks /Create for Run, replacing a task of ours; false
// with a message when the Task Scheduler cannot hold the command as it is.
bool TaskCreateArgs(const TScheduledRun& Run, QStringList& Args, QString& Error);
QStringList TaskQueryArgs();
QStringList TaskDeleteArgs();

// Reads the task definition that /Query /XML prints into State's schedule
// and command; false when Xml is not a task with an action to run.
bool ParseTaskXml(const QString& Xml, TScheduleState& State);
