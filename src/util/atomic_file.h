#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

struct TPendingFile;

// A file written whole or not at all. The bytes go to a temporary file beside
// the target, named after it ("<name>.XXXXXX"), which takes a final name only
// once every byte is written and on disk; until then nobody sees a part.
//
// The writer holds its temporary file while it exists (a lock on POSIX, a
// handle without delete sharing on Windows). That is how RemoveAbandoned
// tells a file whose writer was killed from one still being written, even by
// a process it cannot see, and how a stop handler finds what to remove
// (DiscardPending).
class TAtomicFile final
{
public:
    enum TCommitMode { cmReplace, cmKeepExisting };

    TAtomicFile();
    // Discards what was not committed.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Creates the temporary file for Path in Path's folder.
    bool Open(const QString& Path);
    // All of Data, or false.
    bool Write(const char* Data, qint64 Size);
    // Puts what was written on disk and gives it the name Path, which must be
    // in the folder given to Open. With cmKeepExisting a file already called
    // Path stays as it is: false with TargetExists() set, and the caller may
    // commit again under another name.
    bool Commit(const QString& Path, TCommitMode Mode);
    bool TargetExists() const { return FTargetExists; }
    // Removes the temporary file; nothing of it stays.
    void Discard();
    // The system's reason for the last failure, in its own words.
    QString ErrorString() const { return FError; }

    // Removes from Folder the temporary files of targets whose name matches
    // the regular expression TargetName (without anchors) and whose writer is
    // gone, for instance killed before it could clean up.
    static void RemoveAbandoned(const QString& Folder, const QString& TargetName);

    // Removes the temporary file of every TAtomicFile of this process; later
    // ones cannot be opened. For a stop handler, on any thread.
    static void DiscardPending();

private:
    void Fail(int SystemError);

    // The system's half (atomic_file_posix.cpp, atomic_file_win.cpp).
    // Creates and holds TempPath; false with the system's error code when it
    // exists already (Exists) or cannot be made.
    static bool CreateHeld(const QString& TempPath, qintptr& Handle, bool& Exists, int& Error);
    static bool WriteSome(qintptr Handle, const char* Data, qint64 Size, qint64& Done, int& Error);
    static bool Sync(qintptr Handle, int& Error);
    // Gives the held file the name Path; on success the handle is closed.
    static bool Rename(qintptr& Handle, const QString& TempPath, const QString& Path, bool Replace,
                       bool& Exists, int& Error);
    // Removes the file now or, on Windows, when the handle closes.
    static void Drop(qintptr Handle, const QString& TempPath);
    static void Close(qintptr Handle);
    // Removes Path when no writer holds it any more.
    static void RemoveIfAbandoned(const QString& Path);

    std::unique_ptr<TPendingFile> FPending; // registered for DiscardPending while open
    QString FError;
    bool FSynced = false;
    bool FTargetExists = false;
};
