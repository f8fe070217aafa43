#include "process_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

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
    if (!F.open(QIODevice::ReadOnly))
        return QByteArray();
    // In small pieces: read(Cap) would set aside all of Cap for every file,
    // and a scan reads one of these per process on the system.
    QByteArray Data;
    while (Data.size() < Cap) {
        const QByteArray Piece = F.read(qMin<qint64>(Cap - Data.size(), 16 << 10));
        if (Piece.isEmpty())
            break;
        Data += Piece;
    }
    return Data;
}

// Parent and group of a process that runs; false for one that is gone or a
// zombie.
bool ReadInfo(qint64 Pid, TProcInfo& Info)
{
    const QByteArray Stat = ReadProcFile(Pid, "stat", 4096);
    const qsizetype Paren = Stat.lastIndexOf(')');
    if (Paren < 0)
        return false;
    // After the name: state, parent, group.
    const QList<QByteArray> F = Stat.mid(Paren + 2).split(' ');
    if (F.size() < 3 || F[0] == "Z")
        return false;
    Info = {F[1].toLongLong(), F[2].toLongLong()};
    return true;
}

// Other users' environments are not readable; their processes are not ours to end.
bool Tagged(qint64 Pid, const QByteArray& Tag)
{
    const QByteArray Env = '\0' + ReadProcFile(Pid, "environ", 1 << 20);
    return Env.contains('\0' + Tag + '\0');
}

// Group is 0 when the run's group id may belong to someone else by now.
bool InGroup(qint64 Pid, const TProcInfo& Info, qint64 Group)
{
    return Group > 0 && (Info.Group == Group || Pid == Group);
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
        TProcInfo Info;
        if (!Ok || Pid == Self || !ReadInfo(Pid, Info))
            continue;
        All.insert(Pid, Info);
        if (InGroup(Pid, Info, Group) || Tagged(Pid, Tag))
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

// Signals a process found by a scan only if, with a handle on it held, it is
// still one of the run's: its id may have passed to a stranger since. A
// pidfd keeps naming the process it was opened for, so what is checked after
// opening it is what gets the signal. Kernels without pidfds (before 5.3)
// get the check and a plain kill.
void SignalIfOurs(qint64 Pid, int Sig, qint64 Group, const QByteArray& Tag, const QSet<qint64>& Run)
{
#ifdef SYS_pidfd_open
    const int Fd = int(::syscall(SYS_pidfd_open, pid_t(Pid), 0u));
    if (Fd < 0 && errno != ENOSYS)
        return; // gone
#else
    const int Fd = -1;
#endif
    TProcInfo Info;
    if (ReadInfo(Pid, Info) && (InGroup(Pid, Info, Group) || Run.contains(Info.Parent) || Tagged(Pid, Tag))) {
#ifdef SYS_pidfd_send_signal
        if (Fd >= 0)
            ::syscall(SYS_pidfd_send_signal, Fd, Sig, nullptr, 0u);
        else
#endif
            ::kill(pid_t(Pid), Sig);
    }
    if (Fd >= 0)
        ::close(Fd);
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
    // The caller passes the group only while its id is known to be the run's.
    if (Group > 0)
        ::kill(pid_t(-Group), Sig);
    if (FTag.isEmpty())
        return;
    const QSet<qint64> Run = RunProcesses(Group, FTag);
    for (const qint64 Pid : Run)
        SignalIfOurs(Pid, Sig, Group, FTag, Run);
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
