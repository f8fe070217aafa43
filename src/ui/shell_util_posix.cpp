#include "shell_util.h"
#include "shell_util_platform.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// Asks the desktop's file manager to open the file's folder with the file
// selected. False when no file manager offers that service.
bool ShowItemOverDBus(const QString& Path)
{
    QDBusConnection Bus = QDBusConnection::sessionBus();
    if (!Bus.isConnected() || !Bus.interface())
        return false;
    const QString Service = QStringLiteral("org.freedesktop.FileManager1");
    // The service is usually started on demand, so being activatable is enough.
    if (!Bus.interface()->isServiceRegistered(Service).value()
        && !Bus.interface()->activatableServiceNames().value().contains(Service))
        return false;
    QDBusMessage Msg = QDBusMessage::createMethodCall(Service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                      Service, QStringLiteral("ShowItems"));
    Msg << QStringList{QUrl::fromLocalFile(Path).toString()} << QString();
    const QDBusMessage Reply = Bus.call(Msg, QDBus::Block, 5000);
    return Reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

bool IsElevated()
{
    return geteuid() == 0;
}

QString ShellFolderPath(int Csidl)
{
    if (Csidl != kCsidlPersonal)
        return QString();
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void OpenWithShell(const QString& Target)
{
    // The desktop's opener gets the text as written: going through QUrl would
    // turn an international host into punycode, escape the path and make
    // "notes.txt" a "file:" address. Only without it is QUrl the fallback.
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {Target}))
        QDesktopServices::openUrl(ShellOpenUrl(Target));
}

void RevealWithShell(const QFileInfo& Info)
{
    if (Info.isDir()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Info.absoluteFilePath()));
        return;
    }
    if (!ShowItemOverDBus(Info.absoluteFilePath()))
        QDesktopServices::openUrl(QUrl::fromLocalFile(Info.absolutePath()));
}

bool ElevationToolFound()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty();
}

// pkexec is setuid root, so while it runs kill() answers EPERM; only ESRCH
// means it is gone. Whoever inherited it may not reap it, so a zombie counts
// as gone too.
bool ProcessEnded(qint64 Pid)
{
    if (::kill(pid_t(Pid), 0) != 0 && errno == ESRCH)
        return true;
    QFile Stat(QStringLiteral("/proc/%1/stat").arg(Pid));
    if (!Stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) S …": the name may hold blanks and parentheses.
    const QByteArray Line = Stat.readAll();
    const qsizetype Close = Line.lastIndexOf(')');
    if (Close < 0 || Close + 2 >= Line.size())
        return false;
    const char State = Line.at(Close + 2);
    return State == 'Z' || State == 'X';
}

bool RestartElevatedWithShell(const QString& Exe, const QStringList& Args, const QString& WorkDir)
{
    const QString Pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (Pkexec.isEmpty())
        return false;
    QString EnvTool = QStandardPaths::findExecutable(QStringLiteral("env"));
    if (EnvTool.isEmpty())
        EnvTool = QStringLiteral("/usr/bin/env");
    // pkexec starts the program with a clean environment; without these the
    // elevated copy could not reach the user's display.
    const QProcessEnvironment Sys = QProcessEnvironment::systemEnvironment();
    QStringList Env;
    for (const char* Name : {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) {
        const QString Key = QString::fromLatin1(Name);
        if (Sys.contains(Key))
            Env << Key + QLatin1Char('=') + Sys.value(Key);
    }
    // pkexec returns only when the program it runs ends, so the elevated copy
    // says it is up by creating a file in a folder only this user can reach.
    QTemporaryDir ReadyDir;
    if (!ReadyDir.isValid())
        return false;
    const QString ReadyFile = ReadyDir.filePath(QStringLiteral("ready"));
    Env << QString::fromLatin1(kElevatedReadyVar) + QLatin1Char('=') + ReadyFile;
    qint64 Pid = 0;
    if (!QProcess::startDetached(Pkexec, ElevatedArgs(EnvTool, Env, WorkDir, Exe, Args), WorkDir, &Pid))
        return false;
    // An unanswered prompt is given up on eventually; the window stays then.
    return WaitForElevatedCopy(Pid, ReadyFile, 10 * 60 * 1000);
}
