#pragma once

#include "schedule.h"

#include <QString>

// The schedule as a systemd user timer and the service it starts.

// "marrowkin-report": the files are this with ".service" and ".timer".
QString SystemdUnitName();

// The two unit files for Run; false with a message when systemd cannot start
// the program as it is named.
bool SystemdUnits(const TScheduledRun& Run, QString& Service, QString& Timer, QString& Error);

// The schedule of a timer file that SystemdUnits wrote.
bool ParseTimerUnit(const QString& Timer, TRepeat& Repeat);
// The command of a service file, as written there.
QString ExecStartOf(const QString& Service);
