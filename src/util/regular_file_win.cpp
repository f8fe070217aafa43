#include "regular_file.h"

#include <QDir>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// 100-nanosecond ticks since 1601 to nanoseconds since 1970.
qint64 UnixNs(LARGE_INTEGER Ticks)
{
    return (Ticks.QuadPart - 116444736000000000LL) * 100;
}

} // namespace

TRegularFile::~TRegularFile()
{
    Close();
}

bool TRegularFile::Open(const QString& Path, QString& ErrMsg)
{
    Close();
    FError = oeNone;
    const std::wstring W = QDir::toNativeSeparators(Path).toStdWString();
    // Reading and writing are shared: the browser may hold its database open.
    // Deleting is not: a browser that deletes its journal while it is read
    // here would leave it pending deletion, take it for a journal to roll
    // back on its next transaction and fail with a disk I/O error; denied,
    // SQLite retries the delete until this short-lived handle is gone.
    HANDLE H = ::CreateFileW(W.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        const DWORD Err = ::GetLastError();
        FError = Err == ERROR_FILE_NOT_FOUND || Err == ERROR_PATH_NOT_FOUND ? oeMissing : oeOther;
        ErrMsg = FError == oeMissing ? QStringLiteral("找不到文件")
                                     : QStringLiteral("无法打开文件：%1").arg(qt_error_string(int(Err)));
        return false;
    }
    BY_HANDLE_FILE_INFORMATION Info{};
    FILE_BASIC_INFO Basic{};
    if (::GetFileType(H) != FILE_TYPE_DISK || !::GetFileInformationByHandle(H, &Info)
        || (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || !::GetFileInformationByHandleEx(H, FileBasicInfo, &Basic, sizeof Basic)) {
        ::CloseHandle(H);
        FError = oeNotRegular;
        ErrMsg = QStringLiteral("不是普通文件，已跳过");
        return false;
    }
    FHandle = reinterpret_cast<qintptr>(H);
    FState.Id = {quint64(Info.dwVolumeSerialNumber), (quint64(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow};
    FState.Size = qint64((quint64(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow);
    FState.ChangeNs = UnixNs(Basic.ChangeTime);
    FState.ModifyNs = UnixNs(Basic.LastWriteTime);
    return true;
}

qint64 TRegularFile::Read(char* Buf, qint64 Max, QString& ErrMsg)
{
    DWORD Got = 0;
    const DWORD Want = DWORD(qMin<qint64>(Max, 1 << 30));
    if (!::ReadFile(reinterpret_cast<HANDLE>(FHandle), Buf, Want, &Got, nullptr)) {
        ErrMsg = qt_error_string(int(::GetLastError()));
        return -1;
    }
    return qint64(Got);
}

void TRegularFile::Close()
{
    if (FHandle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(FHandle));
    FHandle = -1;
}
