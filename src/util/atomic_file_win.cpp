#include "atomic_file.h"

#include <QDir>

#include <qt_windows.h>

#include <cstddef>
#include <string>
#include <vector>

// The temporary file is held open without delete sharing: nobody can remove
// or rename it while its writer lives, and the handle closes with the
// process however it ends.

namespace {

std::wstring Native(const QString& Path)
{
    return QDir::toNativeSeparators(Path).toStdWString();
}

HANDLE H(qintptr Handle)
{
    return reinterpret_cast<HANDLE>(Handle);
}

// The rename by handle: the file stays held until it has its new name.
bool RenameHeld(HANDLE File, const std::wstring& To, bool Replace)
{
    const size_t Bytes = offsetof(FILE_RENAME_INFO, FileName) + (To.size() + 1) * sizeof(wchar_t);
    std::vector<char> Buf(Bytes, 0);
    auto* Info = reinterpret_cast<FILE_RENAME_INFO*>(Buf.data());
    Info->ReplaceIfExists = Replace ? TRUE : FALSE;
    Info->RootDirectory = nullptr;
    Info->FileNameLength = DWORD(To.size() * sizeof(wchar_t));
    To.copy(Info->FileName, To.size());
    return ::SetFileInformationByHandle(File, FileRenameInfo, Info, DWORD(Bytes)) != 0;
}

bool TakenError(DWORD Error)
{
    return Error == ERROR_ALREADY_EXISTS || Error == ERROR_FILE_EXISTS;
}

} // namespace

bool TAtomicFile::CreateHeld(const QString& TempPath, qintptr& Handle, bool& Exists, int& Error)
{
    const HANDLE File = ::CreateFileW(Native(TempPath).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        const DWORD Err = ::GetLastError();
        Exists = TakenError(Err);
        Error = int(Err);
        return false;
    }
    Handle = reinterpret_cast<qintptr>(File);
    return true;
}

bool TAtomicFile::WriteSome(qintptr Handle, const char* Data, qint64 Size, qint64& Done, int& Error)
{
    DWORD N = 0;
    if (::WriteFile(H(Handle), Data, DWORD(qMin<qint64>(Size, qint64(1) << 30)), &N, nullptr) && N > 0) {
        Done = N;
        return true;
    }
    Error = int(::GetLastError());
    return false;
}

bool TAtomicFile::Sync(qintptr Handle, int& Error)
{
    if (::FlushFileBuffers(H(Handle)))
        return true;
    const DWORD Err = ::GetLastError();
    // Some volumes have nothing to flush.
    if (Err == ERROR_INVALID_FUNCTION || Err == ERROR_NOT_SUPPORTED)
        return true;
    Error = int(Err);
    return false;
}

bool TAtomicFile::Rename(qintptr& Handle, const QString& TempPath, const QString& Path, bool Replace,
                         bool& Exists, int& Error)
{
    const std::wstring To = Native(Path);
    if (Handle != -1) {
        if (RenameHeld(H(Handle), To, Replace)) {
            Close(Handle);
            Handle = -1;
            return true;
        }
        const DWORD Err = ::GetLastError();
        if (Err != ERROR_INVALID_PARAMETER && Err != ERROR_NOT_SUPPORTED && Err != ERROR_INVALID_FUNCTION) {
            Exists = TakenError(Err);
            Error = int(Err);
            return false;
        }
        // A volume that cannot rename by handle: by name, once closed.
        Close(Handle);
        Handle = -1;
    }
    if (::MoveFileExW(Native(TempPath).c_str(), To.c_str(), (Replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD Err = ::GetLastError();
    Exists = TakenError(Err);
    Error = int(Err);
    return false;
}

void TAtomicFile::Drop(qintptr Handle, const QString& TempPath)
{
    // Marked for deletion, so it goes when the handle closes, also when that
    // is the process ending; the writer may still be using the handle.
    FILE_DISPOSITION_INFO Info{};
    Info.DeleteFile = TRUE;
    if (Handle == -1 || !::SetFileInformationByHandle(H(Handle), FileDispositionInfo, &Info, sizeof(Info)))
        ::DeleteFileW(Native(TempPath).c_str());
}

void TAtomicFile::Close(qintptr Handle)
{
    if (Handle != -1)
        ::CloseHandle(H(Handle));
}

void TAtomicFile::RemoveIfAbandoned(const QString& Path)
{
    // Fails with a sharing violation while a writer holds the file.
    ::DeleteFileW(Native(Path).c_str());
}
