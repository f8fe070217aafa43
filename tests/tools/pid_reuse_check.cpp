// Checks that ending a run never reaches a process that took over the run's
// old process id. Meant to run as the first process of a fresh PID namespace
// (unshare --user --map-root-user --pid --fork --mount-proc), where writing
// /proc/sys/kernel/ns_last_pid decides which id the next process gets.
//
//   mk_pid_reuse_check CHILD HOW BYSTANDER
//     CHILD      the test child program
//     HOW        exit: the run ends on its own; stop: it is stopped after its
//                child has ended, before the exit is drained
//     BYSTANDER  plain: an ordinary process; leader: one that leads a process
//                group of its own
//
// Prints "ready" first, then what happened. Exit 0: the bystander survived;
// 1: it did not, or the run went wrong; 77: the system cannot force a process
// id here (the reason follows "skip:").

#include "console_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

int Say(int Code, const QString& Text)
{
    std::printf("%s\n", qPrintable(Text));
    std::fflush(stdout);
    return Code;
}

// The next process started gets Pid, if that id is free.
bool NextPidIs(qint64 Pid)
{
    QFile F(QStringLiteral("/proc/sys/kernel/ns_last_pid"));
    return F.open(QIODevice::WriteOnly) && F.write(QByteArray::number(Pid - 1)) > 0 && F.flush();
}

qint64 ReadPid(const QString& Path)
{
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll().trimmed().toLongLong() : 0;
}

// Starts the test child with one extra variable and returns its pid.
qint64 StartChild(QProcess& P, const QString& Child, const char* Name, const QString& Value)
{
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QLatin1String(Name), Value);
    P.setProcessEnvironment(Env);
    P.start(Child, {});
    return P.waitForStarted(20000) ? P.processId() : 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    QCoreApplication App(Argc, Argv);
    Say(0, QStringLiteral("ready"));
    const QStringList Args = App.arguments();
    if (Args.size() != 4)
        return Say(1, QStringLiteral("usage: mk_pid_reuse_check CHILD exit|stop plain|leader"));
    const QString Child = Args[1];
    const bool Stop = Args[2] == u"stop";
    const bool Leader = Args[3] == u"leader";
    if (App.applicationPid() != 1)
        return Say(77, QStringLiteral("skip: not the first process of a new PID namespace"));
    QTemporaryDir Tmp;
    if (!Tmp.isValid())
        return Say(1, QStringLiteral("no temporary folder"));

    // A run whose child ends at once; QProcess reaps it before the exit is
    // drained, which is when the run's processes are ended.
    const QString LeaderFile = Tmp.filePath(QStringLiteral("leader.pid"));
    qputenv("MK_CHILD_PID_FILE", QFile::encodeName(LeaderFile));
    qputenv("MK_CHILD_EXIT", "3");
    TConsoleRunner Runner;
    QEventLoop Loop;
    Runner.SetExitHandler([&Loop] { Loop.quit(); });
    QString Err;
    if (!Runner.Start(Child, QString(), QString(), Err))
        return Say(1, QStringLiteral("start failed: ") + Err);
    qunsetenv("MK_CHILD_PID_FILE");
    qunsetenv("MK_CHILD_EXIT");
    QTimer::singleShot(20000, &Loop, [&Loop] { Loop.exit(1); });
    if (Loop.exec() != 0)
        return Say(1, QStringLiteral("the child did not end"));
    const qint64 Old = ReadPid(LeaderFile);
    if (Old <= 1)
        return Say(1, QStringLiteral("no pid from the child"));

    // The bystander asks for the old id; it answers on standard input only
    // while it runs.
    if (!NextPidIs(Old))
        return Say(77, QStringLiteral("skip: ns_last_pid is not writable"));
    QProcess Bystander;
    if (Leader)
        Bystander.setChildProcessModifier([] { ::setpgid(0, 0); });
    const qint64 BystanderPid = StartChild(Bystander, Child, "MK_CHILD_STDIN", QStringLiteral("1"));
    if (BystanderPid <= 0)
        return Say(1, QStringLiteral("bystander not started"));

    if (Stop)
        Runner.Stop();
    QByteArray Raw;
    bool Exited = false;
    quint32 Code = 0;
    Runner.DrainBytes(Raw, Exited, Code);
    if (!Exited || Code != (Stop ? 1u : 3u))
        return Say(1, QStringLiteral("run not reported as ended (code %1)").arg(Code));

    Bystander.write("ping");
    Bystander.closeWriteChannel();
    const bool Alive = Bystander.waitForFinished(20000) && Bystander.exitStatus() == QProcess::NormalExit
                       && Bystander.exitCode() == 0 && Bystander.readAllStandardOutput() == "stdin:4\n";

    // Proof that the id was there to take: with the run closed it is free,
    // and the next process gets it.
    NextPidIs(Old);
    QProcess Control;
    const qint64 ControlPid =
        StartChild(Control, Child, "MK_CHILD_EXIT", QStringLiteral("0"));
    Control.waitForFinished(20000);
    if (ControlPid != Old)
        return Say(77, QStringLiteral("skip: ns_last_pid had no effect (%1 instead of %2)").arg(ControlPid).arg(Old));

    Say(0, QStringLiteral("old pid %1, bystander %2: %3")
               .arg(Old)
               .arg(BystanderPid)
               .arg(Alive ? QStringLiteral("alive") : QStringLiteral("killed")));
    return Alive ? 0 : 1;
}
