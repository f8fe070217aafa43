#pragma once

#include "schedule.h"

#include <QByteArray>
#include <QString>

// The schedule as one line of the user's crontab, marked as ours.

// The line for Run; false with a message when cron cannot hold the command.
bool CronLine(const TScheduledRun& Run, QString& Line, QString& Error);

// A crontab is handled as bytes: lines that are not ours go back exactly as
// they were, whatever their encoding.

// Our line in a crontab, or empty.
QByteArray FindCronLine(const QByteArray& Crontab);
// The crontab with our line replaced by Line (UTF-8), or dropped when Line is
// empty.
QByteArray WithCronLine(const QByteArray& Crontab, const QString& Line);
// The schedule of a line that CronLine wrote.
bool ParseCronLine(const QString& Line, TRepeat& Repeat);
