#include "shell_util.h"
#include "shell_util_platform.h"

#include "text_util.h"

#include <QDir>
#include <QFileInfo>

#include <qt_windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

const wchar_t* Wide(const QString& Text)
{
    return reinterpret_cast<const wchar_t*>(Text.utf16());
}

} // namespace

bool IsElevated()
{
    HANDLE Token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token))
        return false;
    TOKEN_ELEVATION Elevation{};
    DWORD Len = 0;
    const bool Ok = GetTokenInformation(Token, TokenElevation, &Elevation, sizeof Elevation, &Len);
    CloseHandle(Token);
    return Ok && Elevation.TokenIsElevated != 0;
}

QString ShellFolderPath(int Csidl)
{
    wchar_t Buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, Csidl, nullptr, 0, Buf)))
        return QString::fromWCharArray(Buf);
    return QString();
}

void OpenWithShell(const QString& Target)
{
    ShellExecuteW(nullptr, L"open", Wide(Target), nullptr, nullptr, SW_SHOWNORMAL);
}

void RevealWithShell(const QFileInfo& Info)
{
    const QString Path = QDir::toNativeSeparators(Info.filePath());
    const QString Params = Info.isDir() ? QLatin1Char('"') + Path + QLatin1Char('"')
                                        : QStringLiteral("/select,\"") + Path + QLatin1Char('"');
    ShellExecuteW(nullptr, L"open", L"explorer.exe", Wide(Params), nullptr, SW_SHOWNORMAL);
}

bool ElevationToolFound()
{
    return true;
}

bool ProcessEnded(qint64 Pid)
{
    HANDLE Process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(Pid));
    // Refused access means it is there; an unknown id means it is gone.
    if (!Process)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool Ended = WaitForSingleObject(Process, 0) == WAIT_OBJECT_0;
    CloseHandle(Process);
    return Ended;
}

bool RestartElevatedWithShell(const QString& Exe, const QStringList& Args, const QString& WorkDir)
{
    QStringList Quoted;
    for (const QString& A : Args)
        Quoted << QuoteArg(A);
    const QString Params = Quoted.join(QLatin1Char(' '));
    const auto Result = reinterpret_cast<quintptr>(ShellExecuteW(
        nullptr, L"runas", Wide(Exe), Wide(Params), WorkDir.isEmpty() ? nullptr : Wide(WorkDir), SW_SHOWNORMAL));
    return Result > 32;
}
