#include "process_env.h"

#include <QDir>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

void PrepareProcess()
{
    // Text mode would write every "\n" of a report as "\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
}

bool OpenWithDesktop(const QString& Path)
{
    const std::wstring W = QDir::toNativeSeparators(Path).toStdWString();
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", W.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}
