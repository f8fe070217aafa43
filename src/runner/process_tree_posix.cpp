#include "process_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <csignal>

namespace {

constexpr char kTagName[] = "MK_RUN_TAG";

struct TProcInfo
{
    qint64 Parent = 0;
    qint64 Group = 0;
};

QByteArray ReadProcFile(qint64 Pid, const char* Name, qint64 Cap)
{
    QFile F(QStringLiteral("/proc/%1/%2").arg(Pid).arg(QLatin1String(Name)));
    return F.open(QIODevice::ReadOnly) ? F.read(Cap) : QByteArray();
}

// The run's processes: tagged, in its group, or descended from either.
QSet<qint64> RunProcesses(qint64 Group, const QByteArray& Tag)
{
    QHash<qint64, TProcInfo> All;
    QSet<qint64> Run;
    const qint64 Self = QCoreApplication::applicationPid();
    for (const QString& Name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool Ok = false;
        const qint64 Pid = Name.toLongLong(&Ok);
        if (!Ok || Pid == Self)
            continue;
        const QByteArray Stat = ReadProcFile(Pid, "stat", 4096);
        const qsizetype Paren = Stat.lastIndexOf(')');
        if (Paren < 0)
            continue;
        // After the name: state, parent, group.
        const QList<QByteArray> F = Stat.mid(Paren + 2).split(' ');
        if (F.size() < 3 || F[0] == "Z")
            continue;
        const TProcInfo Info{F[1].toLongLong(), F[2].toLongLong()};
        All.insert(Pid, Info);
        if ((Group > 0 && Info.Group == Group) || Pid == Group) {
            Run.insert(Pid);
            continue;
        }
        // Other users' environments are not readable; their processes are not ours to end.
        const QByteArray Env = '\0' + ReadProcFile(Pid, "environ", 1 << 20);
        if (Env.contains('\0' + Tag + '\0'))
            Run.insert(Pid);
    }
    // Descendants of the run's processes, whatever their group or environment.
    for (bool Grew = true; Grew;) {
        Grew = false;
        for (auto It = All.cbegin(); It != All.cend(); ++It)
            if (!Run.contains(It.key()) && Run.contains(It.value().Parent)) {
                Run.insert(It.key());
                Grew = true;
            }
    }
    return Run;
}

} // namespace

void TRunTree::Tag(QProcessEnvironment& Env)
{
    const QByteArray Value = QByteArray::number(QCoreApplication::applicationPid()) + '-'
                             + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    Env.insert(QLatin1String(kTagName), QString::fromLatin1(Value));
    FTag = QByteArray(kTagName) + '=' + Value;
}

void TRunTree::Signal(qint64 Group, int Sig) const
{
    if (Group > 0)
        ::kill(pid_t(-Group), Sig);
    if (FTag.isEmpty())
        return;
    for (const qint64 Pid : RunProcesses(Group, FTag))
        ::kill(pid_t(Pid), Sig);
}

void TRunTree::AskToEnd(qint64 Group) const
{
    Signal(Group, SIGTERM);
}

void TRunTree::Kill(qint64 Group) const
{
    // A process may start another between the scan and the kill.
    for (int Round = 0; Round < 3; ++Round)
        Signal(Group, SIGKILL);
}
