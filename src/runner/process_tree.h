#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QtGlobal>

// Finds everything a run started, also processes that left its process group
// or session (setsid) and were handed to another parent. Each run carries a
// tag in its environment, which descendants inherit; processes are found by
// that tag, by the run's process group and by parentage.
//
// On Windows the run's job object does all of this, so these do nothing.
class TRunTree final
{
public:
    // A fresh tag for the next run, added to Env.
    void Tag(QProcessEnvironment& Env);
    // Group is the run's process group, or 0 when its id may have passed to
    // another process: then only the tag and parentage find the run.
    // Asks every process of the run to end (SIGTERM).
    void AskToEnd(qint64 Group) const;
    // Ends every process of the run at once (SIGKILL).
    void Kill(qint64 Group) const;

private:
    void Signal(qint64 Group, int Sig) const;
    QByteArray FTag; // "MK_RUN_TAG=…"
};
