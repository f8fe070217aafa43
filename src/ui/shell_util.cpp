#include "shell_util.h"

#include "text_util.h"
#include "ui_hooks.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#include <shlobj.h>
#else
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

bool IsElevated()
{
#ifdef Q_OS_WIN
    HANDLE Token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token))
        return false;
    TOKEN_ELEVATION Elevation{};
    DWORD Len = 0;
    const bool Ok = GetTokenInformation(Token, TokenElevation, &Elevation, sizeof Elevation, &Len);
    CloseHandle(Token);
    return Ok && Elevation.TokenIsElevated != 0;
#else
    return geteuid() == 0;
#endif
}

QString ShellFolderPath(int Csidl)
{
#ifdef Q_OS_WIN
    wchar_t Buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, Csidl, nullptr, 0, Buf)))
        return QString::fromWCharArray(Buf);
    return QString();
#else
    if (Csidl != kCsidlPersonal)
        return QString();
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
#endif
}

QUrl ShellOpenUrl(const QString& Target)
{
    if (Target.isEmpty())
        return QUrl();
    // A scheme is a letter, then letters, digits, "+", "-" or "."; a drive
    // letter ("C:\…") looks like a one-letter one, so only two or more count.
    qsizetype I = 0;
    while (I < Target.size()) {
        const char16_t C = Target.at(I).unicode();
        const bool Letter = (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z');
        if (!(Letter || (I > 0 && ((C >= u'0' && C <= u'9') || C == u'+' || C == u'-' || C == u'.'))))
            break;
        ++I;
    }
    // Addresses from browser histories may hold spaces, "|" or stray "%";
    // read tolerantly they are escaped, where a strict reading would refuse
    // them and leave them to be opened as local files.
    if (I >= 2 && I < Target.size() && Target.at(I) == u':') {
        const QUrl Url(Target, QUrl::TolerantMode);
        if (Url.isValid())
            return Url;
    }
    return QUrl::fromLocalFile(Target);
}

void ShellOpen(const QString& Target)
{
    if (Target.isEmpty())
        return;
    if (UiHooks().ShellOpen) {
        UiHooks().ShellOpen(Target);
        return;
    }
#ifdef Q_OS_WIN
    ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(Target.utf16()), nullptr,
                  nullptr, SW_SHOWNORMAL);
#else
    // The desktop's opener gets the text as written: going through QUrl would
    // turn an international host into punycode, escape the path and make
    // "notes.txt" a "file:" address. Only without it is QUrl the fallback.
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {Target}))
        QDesktopServices::openUrl(ShellOpenUrl(Target));
#endif
}

#ifndef Q_OS_WIN
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
#endif

void RevealInExplorer(const QString& Path)
{
    if (Path.isEmpty())
        return;
    const QFileInfo Info(Path);
    if (!Info.exists())
        return;
    if (UiHooks().Reveal) {
        UiHooks().Reveal(Path);
        return;
    }
#ifdef Q_OS_WIN
    const QString Params = Info.isDir() ? QLatin1Char('"') + Path + QLatin1Char('"')
                                        : QStringLiteral("/select,\"") + Path + QLatin1Char('"');
    ShellExecuteW(nullptr, L"open", L"explorer.exe", reinterpret_cast<const wchar_t*>(Params.utf16()),
                  nullptr, SW_SHOWNORMAL);
#else
    if (Info.isDir()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Info.absoluteFilePath()));
        return;
    }
    if (!ShowItemOverDBus(Info.absoluteFilePath()))
        QDesktopServices::openUrl(QUrl::fromLocalFile(Info.absolutePath()));
#endif
}

bool PickFolder(const QString& Title, const QString& Initial, QString& Folder)
{
    Folder = Initial;
    if (UiHooks().PickFolder)
        return UiHooks().PickFolder(Title, Initial, Folder);
    const QString Start = NearestExistingDir(Initial);
    // Over the active window, so the picker stays on top of the one that asked.
    QFileDialog Dialog(QApplication::activeWindow(), Title, Start);
    Dialog.setFileMode(QFileDialog::Directory);
    Dialog.setOption(QFileDialog::ShowDirsOnly);
    Dialog.setLabelText(QFileDialog::Accept, QStringLiteral("选择此文件夹"));
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return false;
    Folder = QDir::toNativeSeparators(Dialog.selectedFiles().constFirst());
    return true;
}

bool PickOpenFile(const QString& Title, const QString& Start, const QString& Filter, QString& File)
{
    File = Start;
    if (UiHooks().PickOpenFile)
        return UiHooks().PickOpenFile(Title, Start, Filter, File);
    const QString Chosen =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), Title, NearestExistingDir(Start), Filter);
    if (Chosen.isEmpty())
        return false;
    File = QDir::toNativeSeparators(Chosen);
    return true;
}

bool PickSaveFile(const QString& Title, const QString& Start, const QString& Filter, QString& File)
{
    File = Start;
    if (UiHooks().PickSaveFile)
        return UiHooks().PickSaveFile(Title, Start, Filter, File);
    const QFileInfo Info(Start);
    const QString Dir = NearestExistingDir(Info.path());
    const QString Proposed = Dir.isEmpty() ? Info.fileName() : JoinPath(Dir, Info.fileName());
    const QString Chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), Title, Proposed, Filter);
    if (Chosen.isEmpty())
        return false;
    File = QDir::toNativeSeparators(Chosen);
    return true;
}

QString NearestExistingDir(const QString& Path)
{
    if (Path.isEmpty())
        return QString();
    QString Dir = QDir::cleanPath(QDir::fromNativeSeparators(Path));
    while (!DirExists(Dir)) {
        const QString Parent = QFileInfo(Dir).path();
        // "." is where a relative path runs out; a root is its own parent.
        if (Parent == Dir || Parent == QLatin1String("."))
            return QString();
        Dir = Parent;
    }
    return QDir::toNativeSeparators(Dir);
}

bool ElevationAvailable()
{
    if (UiHooks().ElevationAvailable)
        return UiHooks().ElevationAvailable();
#ifdef Q_OS_WIN
    return true;
#else
    return !QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty();
#endif
}

QStringList ElevatedArgs(const QString& EnvTool, const QStringList& Env, const QString& WorkDir,
                         const QString& Exe, const QStringList& Args)
{
    QStringList Result{EnvTool};
    if (!WorkDir.isEmpty())
        Result << QStringLiteral("--chdir=") + WorkDir;
    // Options end before the assignments; the executable is an absolute path,
    // so it cannot be mistaken for an assignment or an option.
    Result << QStringLiteral("--") << Env << Exe << Args;
    return Result;
}

void SignalElevatedReady()
{
    if (!qEnvironmentVariableIsSet(kElevatedReadyVar))
        return;
    const QString Ready = qEnvironmentVariable(kElevatedReadyVar);
    qunsetenv(kElevatedReadyVar);
    // This copy runs as root with a path chosen by an ordinary user: only a new
    // file is made, never an existing one or a link's target truncated.
    QFile F(Ready);
    if (F.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        F.close();
}

#ifndef Q_OS_WIN
namespace {

// pkexec is setuid root, so while it runs kill() answers EPERM; only ESRCH
// means it is gone. Whoever inherited it may not reap it, so a zombie counts
// as gone too.
bool ProcessGone(pid_t Pid)
{
    if (::kill(Pid, 0) != 0 && errno == ESRCH)
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

} // namespace

bool WaitForElevatedCopy(qint64 Pid, const QString& ReadyFile, int LimitMs)
{
    const QDeadlineTimer Deadline(LimitMs);
    bool Ready = false;
    QEventLoop Loop;
    const auto Check = [&] {
        if (QFileInfo::exists(ReadyFile)) {
            Ready = true;
            Loop.quit();
        } else if (ProcessGone(pid_t(Pid))) {
            // The copy may have made the file just before it ended.
            Ready = QFileInfo::exists(ReadyFile);
            Loop.quit();
        } else if (Deadline.hasExpired()) {
            Loop.quit();
        }
    };
    // Polled from an event loop, so the window keeps painting while the
    // password prompt is up.
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, Check);
    Poll.start(100);
    QTimer::singleShot(0, &Loop, Check);
    Loop.exec();
    return Ready;
}
#endif

bool RestartElevated(const QString& Exe, const QStringList& Args, const QString& WorkDir)
{
    if (UiHooks().RestartElevated)
        return UiHooks().RestartElevated(Exe, Args, WorkDir);
#ifdef Q_OS_WIN
    QStringList Quoted;
    for (const QString& A : Args)
        Quoted << QuoteArg(A);
    const QString Params = Quoted.join(QLatin1Char(' '));
    const auto Result = reinterpret_cast<quintptr>(ShellExecuteW(
        nullptr, L"runas", reinterpret_cast<const wchar_t*>(Exe.utf16()),
        reinterpret_cast<const wchar_t*>(Params.utf16()),
        WorkDir.isEmpty() ? nullptr : reinterpret_cast<const wchar_t*>(WorkDir.utf16()), SW_SHOWNORMAL));
    return Result > 32;
#else
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
#endif
}
