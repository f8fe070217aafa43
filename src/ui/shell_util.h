#pragma once

#include <QString>
#include <QStringList>

class QUrl;

// Whether the process already runs with administrator rights (root here).
bool IsElevated();

// CSIDL_PERSONAL: the user's Documents folder, the only special folder the
// program asks for.
inline constexpr int kCsidlPersonal = 5;

// The special folder's path, or empty text when it is unknown.
QString ShellFolderPath(int Csidl = kCsidlPersonal);

// Opens a web address or a file with its associated program. Empty text does
// nothing; the outcome is not reported.
void ShellOpen(const QString& Target);
// What ShellOpen hands to the desktop: a URL with a scheme as it is, anything
// else as a local file. Empty URL for empty text.
QUrl ShellOpenUrl(const QString& Target);

// Text from a report (a record's address) as the system opener may get it:
// only an http or https address with a host qualifies. The blanks around it
// go, its scheme is written in lower case, and every character an address
// may not hold as it is (controls, blanks, quotes, < > ^ ` { | }) is
// percent-encoded, so no opener can split it or read a piece of it as an
// option or a path; the rest stays as written. Empty when it does not qualify.
QString WebAddressToOpen(const QString& Text);
// Opens such an address with the default browser. False, with nothing opened
// and the reason in ErrMsg, for any other text: report files come from
// anywhere, and a file path, a "javascript:" address or an option must not
// reach the opener.
bool OpenWebAddress(const QString& Text, QString& ErrMsg);

// Shows a folder, or a file selected in its folder, in the file manager.
// A path that does not exist does nothing.
void RevealInExplorer(const QString& Path);

// Lets the user choose a folder, starting at Initial or, while that does not
// exist yet, at its nearest existing parent. Folder is set to Initial first,
// so a cancelled dialog leaves it at that; true only when one was chosen.
bool PickFolder(const QString& Title, const QString& Initial, QString& Folder);
// File dialogs for one file. Start is a folder (open) or a proposed file path
// (save); a folder that does not exist yet is replaced by its nearest existing
// parent. Filter is in Qt's form, e.g. "采集报告 (*.json)". File gets the chosen
// path with the system's separators; true only when one was chosen.
bool PickOpenFile(const QString& Title, const QString& Start, const QString& Filter, QString& File);
bool PickSaveFile(const QString& Title, const QString& Start, const QString& Filter, QString& File);
// Path itself when it is a folder, else its nearest existing parent folder;
// empty when there is none (empty or relative text without one).
QString NearestExistingDir(const QString& Path);

// Starts Exe with Args and administrator rights, detached (pkexec here, the
// "runas" verb on Windows). False when that cannot be started or the user
// refuses or dismisses the authorisation. Here pkexec asks in a window of its
// own, so this waits, with events running, until the elevated copy reports
// that it is up (true) or pkexec is gone without that (false).
bool RestartElevated(const QString& Exe, const QStringList& Args, const QString& WorkDir);

// Whether RestartElevated has its tool: always on Windows, pkexec here.
bool ElevationAvailable();

// Handed to the elevated copy: the file it creates once its window exists.
inline constexpr char kElevatedReadyVar[] = "MARROWKIN_ELEVATED_READY";

// In the elevated copy: creates the file named by kElevatedReadyVar, if any,
// and drops the variable so programs started from here do not inherit it.
// Failures are ignored: the waiting side then gives up once this copy ends.
void SignalElevatedReady();

// The wait of RestartElevated where the tool that asks for the rights stays
// until the elevated copy ends (pkexec): true once ReadyFile exists, false
// when process Pid has ended without creating it or after LimitMs.
bool WaitForElevatedCopy(qint64 Pid, const QString& ReadyFile, int LimitMs);

// pkexec's arguments for RestartElevated: env (EnvTool) passes on the display
// variables of Env ("NAME=value" entries) and the working folder, both of which
// pkexec would drop.
QStringList ElevatedArgs(const QString& EnvTool, const QStringList& Env, const QString& WorkDir,
                         const QString& Exe, const QStringList& Args);
