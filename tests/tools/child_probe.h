// Asks the test child whether a process still runs, so tests need no system
// call of their own to see a process end.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

inline bool ProcessGone(const QString& Child, qint64 Pid)
{
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("MK_CHILD_PROBE_PID"), QString::number(Pid));
    P.setProcessEnvironment(Env);
    P.start(Child, {});
    return P.waitForFinished(10000) && P.exitStatus() == QProcess::NormalExit && P.exitCode() == 1;
}
