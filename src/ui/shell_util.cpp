#include "shell_util.h"

#include "shell_util_platform.h"
#include "text_util.h"
#include "ui_hooks.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

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

QString WebAddressToOpen(const QString& Text)
{
    const QString T = Text.trimmed();
    const qsizetype Colon = T.indexOf(u':');
    if (Colon < 0 || !QStringView(T).mid(Colon + 1).startsWith(u"//"))
        return QString();
    // Compared as ASCII: case folding would let "ſ" pass for "s".
    QString Out = T.left(Colon);
    for (QChar& C : Out)
        if (C >= u'A' && C <= u'Z')
            C = QChar(C.unicode() + (u'a' - u'A'));
    if (Out != QLatin1String("http") && Out != QLatin1String("https"))
        return QString();
    const QStringView Unsafe = u"\"<>^`{|}";
    for (qsizetype I = Colon; I < T.size(); ++I) {
        const char16_t C = T.at(I).unicode();
        if (C <= 0x20 || C == 0x7F || Unsafe.contains(QChar(C)))
            Out += QStringLiteral("%%1").arg(uint(C), 2, 16, QLatin1Char('0')).toUpper();
        else
            Out += QChar(C);
    }
    const QUrl Url(Out, QUrl::TolerantMode);
    return Url.isValid() && !Url.host().isEmpty() ? Out : QString();
}

bool OpenWebAddress(const QString& Text, QString& ErrMsg)
{
    ErrMsg.clear();
    const QString Address = WebAddressToOpen(Text);
    if (Address.isEmpty()) {
        ErrMsg = QStringLiteral("出于安全考虑，只打开 http/https 网址");
        return false;
    }
    ShellOpen(Address);
    return true;
}

void ShellOpen(const QString& Target)
{
    if (Target.isEmpty())
        return;
    if (UiHooks().ShellOpen) {
        UiHooks().ShellOpen(Target);
        return;
    }
    OpenWithShell(Target);
}

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
    RevealWithShell(Info);
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
    return ElevationToolFound();
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

bool WaitForElevatedCopy(qint64 Pid, const QString& ReadyFile, int LimitMs)
{
    const QDeadlineTimer Deadline(LimitMs);
    bool Ready = false;
    QEventLoop Loop;
    const auto Check = [&] {
        if (QFileInfo::exists(ReadyFile)) {
            Ready = true;
            Loop.quit();
        } else if (ProcessEnded(Pid)) {
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

bool RestartElevated(const QString& Exe, const QStringList& Args, const QString& WorkDir)
{
    if (UiHooks().RestartElevated)
        return UiHooks().RestartElevated(Exe, Args, WorkDir);
    return RestartElevatedWithShell(Exe, Args, WorkDir);
}
