#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What a message box looks like and which buttons it offers: mkQuestion has
// Yes and No, the others a single OK.
enum TMsgKind { mkInfo, mkWarning, mkError, mkQuestion };

// Button results, numbered like the Windows ones so a modal result and a
// message-box answer mean the same thing everywhere (1 is also QDialog::Accepted).
inline constexpr int kIdNone = 0;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Everything that would block on the user or leave the program goes through
// one of these. An empty member means the real behaviour; tests set them to
// record what would happen and to answer without a window.
struct TUiHooks {
    // Owner is the window that would own the box (nullptr when there is none).
    // Returns one of the kId… values.
    std::function<int(QWidget* Owner, const QString& Text, TMsgKind Kind)> ShowMsg;
    // Called only for non-empty targets.
    std::function<void(const QString& Target)> ShellOpen;
    // Called only for paths that exist (a folder or a file).
    std::function<void(const QString& Path)> Reveal;
    // Folder already holds Initial when called; true = a folder was chosen.
    std::function<bool(const QString& Title, const QString& Initial, QString& Folder)> PickFolder;
    // File already holds Start when called; true = a file was chosen.
    std::function<bool(const QString& Title, const QString& Start, const QString& Filter, QString& File)> PickOpenFile;
    std::function<bool(const QString& Title, const QString& Start, const QString& Filter, QString& File)> PickSaveFile;
    // True when the elevated copy was started.
    std::function<bool(const QString& Exe, const QStringList& Args, const QString& WorkDir)> RestartElevated;
    // Whether the tool that restarts with administrator rights is there.
    std::function<bool()> ElevationAvailable;
    // A question box for Owner's window is to close as if answered No.
    std::function<void(QWidget* Owner)> DismissQuestions;
    // The available area of the screen Window opens on, which no window
    // outgrows.
    std::function<QRect(const QWidget* Window)> ScreenArea;
};

TUiHooks& UiHooks();
