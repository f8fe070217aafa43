// Asks the test child whether a process still runs, so tests need no system
// call of their own to see a process end.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
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

// A script step of the test child that waits until the file Go exists
// ("wait:PATH;"), so that a test, not a guessed sleep, says when it goes on.
inline QByteArray WaitStep(const QString& Go)
{
    // Forward slashes: a backslash is the script's escape character.
    return "wait:" + QDir::fromNativeSeparators(Go).toUtf8() + ";";
}

// Lets a child waiting in WaitStep(Go) go on.
inline bool LetChildGoOn(const QString& Go)
{
    QFile F(Go);
    return F.open(QIODevice::WriteOnly);
}
