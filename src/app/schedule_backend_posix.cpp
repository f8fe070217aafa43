#include "schedule_backend.h"

#include "atomic_file.h"
#include "schedule_cron.h"
#include "schedule_systemd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// A systemd user timer where the user's service manager runs, else a line in
// the crontab.

namespace {

const QString kSystemctl = QStringLiteral("systemctl");
const QString kCrontab = QStringLiteral("crontab");

QString UnitDir()
{
    // systemd ignores a relative XDG_CONFIG_HOME, and so do we.
    const QString Config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString Base = QDir::isAbsolutePath(Config) ? Config : QDir::homePath() + QStringLiteral("/.config");
    return Base + QStringLiteral("/systemd/user");
}

QString TimerUnit()
{
    return SystemdUnitName() + QStringLiteral(".timer");
}

QString UnitPath(const QString& Suffix)
{
    return UnitDir() + u'/' + SystemdUnitName() + Suffix;
}

// What "systemctl enable" makes of the timer.
QString WantsLink()
{
    return UnitDir() + QStringLiteral("/timers.target.wants/") + TimerUnit();
}

TToolResult Systemctl(const QStringList& Args)
{
    return RunTool(kSystemctl, QStringList{QStringLiteral("--user")} + Args);
}

bool SystemdRuns()
{
    return ToolFound(kSystemctl) && Systemctl({QStringLiteral("show-environment")}).Ok();
}

bool ReadText(const QString& Path, QString& Text)
{
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        return false;
    Text = QString::fromUtf8(F.readAll());
    return true;
}

bool WriteText(const QString& Path, const QString& Text, QString& Error)
{
    const QByteArray Bytes = Text.toUtf8();
    TAtomicFile F;
    if (F.Open(Path) && F.Write(Bytes.constData(), Bytes.size()) && F.Commit(Path, TAtomicFile::cmReplace))
        return true;
    Error = Path + QStringLiteral("：") + F.ErrorString();
    return false;
}

bool RemoveFile(const QString& Path, QString& Error)
{
    const QFileInfo Info(Path);
    if ((!Info.exists() && !Info.isSymLink()) || QFile::remove(Path))
        return true;
    Error = QStringLiteral("无法删除 ") + Path;
    return false;
}

// Puts the unit files back as they were (Old empty: not there) and tells the
// manager; nothing of this can be helped if it fails.
void RestoreUnits(const QString& OldService, const QString& OldTimer)
{
    QString Ignored;
    if (OldTimer.isEmpty()) {
        Systemctl({QStringLiteral("disable"), TimerUnit()});
        RemoveFile(WantsLink(), Ignored);
        RemoveFile(UnitPath(QStringLiteral(".timer")), Ignored);
    } else {
        WriteText(UnitPath(QStringLiteral(".timer")), OldTimer, Ignored);
    }
    if (OldService.isEmpty())
        RemoveFile(UnitPath(QStringLiteral(".service")), Ignored);
    else
        WriteText(UnitPath(QStringLiteral(".service")), OldService, Ignored);
    Systemctl({QStringLiteral("daemon-reload")});
    if (!OldTimer.isEmpty())
        Systemctl({QStringLiteral("restart"), TimerUnit()});
}

bool RegisterSystemd(const TScheduledRun& Run, QString& Error)
{
    QString Service, Timer;
    if (!SystemdUnits(Run, Service, Timer, Error))
        return false;
    QString OldService, OldTimer;
    ReadText(UnitPath(QStringLiteral(".service")), OldService);
    ReadText(UnitPath(QStringLiteral(".timer")), OldTimer);
    QString Why;
    if (!QDir().mkpath(UnitDir()) || !WriteText(UnitPath(QStringLiteral(".service")), Service, Why) ||
        !WriteText(UnitPath(QStringLiteral(".timer")), Timer, Why)) {
        RestoreUnits(OldService, OldTimer);
        Error = QStringLiteral("无法写入 systemd 单元文件，未做任何改动。\r\n\r\n") +
                (Why.isEmpty() ? QStringLiteral("无法创建 ") + UnitDir() : Why);
        return false;
    }
    // A timer that runs already takes its new time only when started again.
    const QList<QStringList> Steps = {
        {QStringLiteral("daemon-reload")}, {QStringLiteral("enable"), TimerUnit()}, {QStringLiteral("restart"), TimerUnit()}};
    for (const QStringList& Args : Steps) {
        const TToolResult R = Systemctl(Args);
        if (!R.Ok()) {
            RestoreUnits(OldService, OldTimer);
            Error = ToolFailedText(QStringLiteral("systemd 没有接受定时任务，已恢复原状。"), kSystemctl,
                                   QStringList{QStringLiteral("--user")} + Args, R);
            return false;
        }
    }
    return true;
}

bool RemoveSystemd(bool ManagerRuns, QString& Error)
{
    // Stopped first: a timer without its files would stay loaded.
    const QStringList Disable{QStringLiteral("--user"), QStringLiteral("disable"), QStringLiteral("--now"), TimerUnit()};
    if (ManagerRuns) {
        const TToolResult R = RunTool(kSystemctl, Disable);
        if (!R.Ok()) {
            Error = ToolFailedText(QStringLiteral("无法停止 systemd 定时器，定时任务保持不变。"), kSystemctl, Disable, R);
            return false;
        }
    }
    const bool Removed = RemoveFile(WantsLink(), Error) && RemoveFile(UnitPath(QStringLiteral(".timer")), Error) &&
                         RemoveFile(UnitPath(QStringLiteral(".service")), Error);
    if (ManagerRuns)
        Systemctl({QStringLiteral("daemon-reload")});
    return Removed;
}

// The user's crontab; no crontab yet counts as an empty one.
bool ReadCrontab(QByteArray& Tab, TToolResult& R)
{
    R = RunTool(kCrontab, {QStringLiteral("-l")});
    if (R.Ok()) {
        Tab = R.Out;
        return true;
    }
    Tab.clear();
    return R.Finished && R.Err.contains("no crontab");
}

// Puts Line in place of ours, or takes ours out when Line is empty.
bool WriteCron(const QString& Line, QString& Error)
{
    QByteArray Tab;
    TToolResult R;
    // Written over only what was read: a crontab that cannot be read is
    // never replaced.
    if (!ReadCrontab(Tab, R)) {
        Error = ToolFailedText(QStringLiteral("无法读取 crontab，未做任何改动。"), kCrontab, {QStringLiteral("-l")}, R);
        return false;
    }
    const QByteArray New = WithCronLine(Tab, Line);
    if (New == Tab)
        return true;
    R = RunTool(kCrontab, {QStringLiteral("-")}, New);
    if (!R.Ok()) {
        Error = ToolFailedText(QStringLiteral("crontab 没有接受定时任务，未做任何改动。"), kCrontab, {QStringLiteral("-")}, R);
        return false;
    }
    return true;
}

bool UnitsPresent()
{
    return QFileInfo::exists(UnitPath(QStringLiteral(".timer"))) || QFileInfo::exists(UnitPath(QStringLiteral(".service")));
}

} // namespace

TScheduleState QuerySchedule()
{
    TScheduleState S;
    const bool Systemd = SystemdRuns();
    if (Systemd)
        S.FUse = skSystemd;
    else if (ToolFound(kCrontab))
        S.FUse = skCron;
    else
        S.FProblem = QStringLiteral("本机既没有运行中的 systemd 用户实例，也没有 crontab");

    QString Timer;
    if (ReadText(UnitPath(QStringLiteral(".timer")), Timer)) {
        S.FFound = skSystemd;
        S.FRepeatKnown = ParseTimerUnit(Timer, S.FRepeat);
        QString Service;
        if (ReadText(UnitPath(QStringLiteral(".service")), Service))
            S.FCommand = ExecStartOf(Service);
        return S;
    }
    QByteArray Tab;
    TToolResult R;
    if (ToolFound(kCrontab) && ReadCrontab(Tab, R)) {
        const QByteArray Line = FindCronLine(Tab);
        if (!Line.isEmpty()) {
            S.FFound = skCron;
            S.FCommand = ToolText(Line);
            S.FRepeatKnown = ParseCronLine(S.FCommand, S.FRepeat);
        }
    }
    return S;
}

bool RegisterSchedule(const TScheduledRun& Run, QString& Error)
{
    if (SystemdRuns()) {
        if (!RegisterSystemd(Run, Error))
            return false;
        // One schedule only: a line of ours from before goes.
        if (ToolFound(kCrontab)) {
            QString Ignored;
            WriteCron(QString(), Ignored);
        }
        return true;
    }
    if (!ToolFound(kCrontab)) {
        Error = QStringLiteral("无法创建定时任务：本机既没有运行中的 systemd 用户实例，也没有 crontab。");
        return false;
    }
    QString Line;
    if (!CronLine(Run, Line, Error) || !WriteCron(Line, Error))
        return false;
    // Unit files left from a service manager that no longer runs.
    if (UnitsPresent()) {
        QString Ignored;
        RemoveSystemd(false, Ignored);
    }
    return true;
}

bool RemoveSchedule(QString& Error)
{
    const bool Units = UnitsPresent();
    if (Units && !RemoveSystemd(SystemdRuns(), Error))
        return false;
    if (!ToolFound(kCrontab))
        return true;
    QString CronError;
    if (!WriteCron(QString(), CronError) && !Units) {
        Error = CronError;
        return false;
    }
    return true;
}
