#include "process_env.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>

void PrepareProcess()
{
    std::signal(SIGPIPE, SIG_IGN);
    // Without TZ the C library looks at /etc/localtime again on every
    // local-time conversion (a third of a million-visit run); naming the
    // file says the same zone once. The zone is taken as fixed for a run.
    if (!qEnvironmentVariableIsSet("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
}

bool OpenWithDesktop(const QString& Path)
{
    // The browser is the user's, not part of this run: without the run's
    // tag the front end does not end it with the run.
    QProcess Open;
    Open.setProgram(QStringLiteral("xdg-open"));
    Open.setArguments({Path});
    QProcessEnvironment Vars = QProcessEnvironment::systemEnvironment();
    Vars.remove(QStringLiteral("MK_RUN_TAG"));
    Open.setProcessEnvironment(Vars);
    return Open.startDetached();
}
