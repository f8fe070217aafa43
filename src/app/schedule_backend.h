#pragma once

#include "schedule.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Registers, finds and removes the program's one scheduled report with the
// system's scheduler: the Task Scheduler on Windows (schedule_backend_win),
// a systemd user timer or else the crontab elsewhere (schedule_backend_posix).
// The scheduler's tools are found on PATH and run without a shell, each with
// a time limit. Whatever fails leaves the schedule as it was before.

// Where a new schedule would go and the one there now.
TScheduleState QuerySchedule();
// Creates the schedule or replaces ours; false with a message holding the
// system's answer.
bool RegisterSchedule(const TScheduledRun& Run, QString& Error);
// Removes ours wherever it is; false with a message as above.
bool RemoveSchedule(QString& Error);

// ---- shared by both halves -------------------------------------------------

struct TToolResult {
    bool Found = false;    // the tool is on PATH
    bool Finished = false; // it ran and exited within the time limit
    int Code = -1;
    QByteArray Out;
    QByteArray Err;

    bool Ok() const { return Finished && Code == 0; }
};

// Runs the tool found on PATH with Args, Input on its standard input.
TToolResult RunTool(const QString& Tool, const QStringList& Args, const QByteArray& Input = QByteArray());
// Whether the tool is on PATH.
bool ToolFound(const QString& Tool);
// Text the tool printed: UTF-16 with its byte-order mark, UTF-8, or else the
// system's code page.
QString ToolText(const QByteArray& Bytes);
// The message for a failed call: What, then the tool's own words.
QString ToolFailedText(const QString& What, const QString& Tool, const QStringList& Args, const TToolResult& R);
