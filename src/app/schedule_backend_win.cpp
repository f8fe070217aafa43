#include "schedule_backend.h"

#include "schedule_task.h"

// The Task Scheduler, through schtasks.exe.

namespace {

const QString kSchtasks = QStringLiteral("schtasks");

} // namespace

TScheduleState QuerySchedule()
{
    TScheduleState S;
    if (!ToolFound(kSchtasks)) {
        S.FProblem = QStringLiteral("找不到 schtasks.exe（任务计划程序）");
        return S;
    }
    S.FUse = skTaskScheduler;
    // schtasks says the same for "not there" as for any other failure; a
    // task it cannot show counts as none.
    const TToolResult R = RunTool(kSchtasks, TaskQueryArgs());
    if (R.Ok()) {
        S.FFound = skTaskScheduler;
        ParseTaskXml(ToolText(R.Out), S);
    }
    return S;
}

bool RegisterSchedule(const TScheduledRun& Run, QString& Error)
{
    QStringList Args;
    if (!TaskCreateArgs(Run, Args, Error))
        return false;
    // /Create /F replaces ours in one step; when it fails the old task stays.
    const TToolResult R = RunTool(kSchtasks, Args);
    if (R.Ok())
        return true;
    Error = ToolFailedText(QStringLiteral("任务计划程序没有接受定时任务。"), kSchtasks, Args, R);
    return false;
}

bool RemoveSchedule(QString& Error)
{
    const TToolResult R = RunTool(kSchtasks, TaskDeleteArgs());
    if (R.Ok())
        return true;
    Error = ToolFailedText(QStringLiteral("无法删除定时任务。"), kSchtasks, TaskDeleteArgs(), R);
    return false;
}
