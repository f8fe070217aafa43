#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Identity of a file on its volume: device and inode (Windows: volume serial
// and file index). Two paths with the same identity are the same file.
struct TFileId
{
    quint64 Device = 0;
    quint64 Node = 0;
    bool operator==(const TFileId&) const = default;
};

// What the system says about an open file. Times are nanoseconds since
// 1970-01-01 UTC; the change time (ctime) moves with every write and cannot
// be set back, unlike the modification time.
struct TFileState
{
    TFileId Id;
    qint64 Size = 0;
    qint64 ChangeNs = 0;
    qint64 ModifyNs = 0;
    bool operator==(const TFileState&) const = default;
};

// Why TRegularFile::Open failed.
enum TOpenError { oeNone, oeMissing, oeNotRegular, oeOther };

// A file opened for reading only when the opened handle is a regular file.
// FIFOs, devices, sockets and folders are refused without blocking, whatever
// name or link leads to them, so a hostile home or a shared report cannot
// hang or flood the program.
class TRegularFile final
{
public:
    TRegularFile() = default;
    ~TRegularFile();
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    // False with a Chinese reason in ErrMsg when the file cannot be opened or
    // is not a regular file; Error() then tells which.
    bool Open(const QString& Path, QString& ErrMsg);
    TOpenError Error() const { return FError; }
    // Bytes read, 0 at the end, -1 on an error (reason in ErrMsg).
    qint64 Read(char* Buf, qint64 Max, QString& ErrMsg);
    // Fills Buf unless the file ends first: bytes read, -1 on an error.
    qint64 ReadFull(char* Buf, qint64 Max, QString& ErrMsg);
    // As the system saw the file when it was opened.
    const TFileState& State() const { return FState; }
    TFileId Id() const { return FState.Id; }
    void Close();

private:
    qintptr FHandle = -1;
    TFileState FState;
    TOpenError FError = oeNone;
};

// Reads at most Cap bytes of a regular file; a longer file is refused rather
// than cut, since half a settings file means nothing.
bool ReadCapped(const QString& Path, qint64 Cap, QByteArray& Data, QString& ErrMsg);

// Reads the rest of an open file into Data. False when it holds more than
// Cap bytes (TooLarge set, ErrMsg empty) or reading fails (reason in ErrMsg).
bool ReadRest(TRegularFile& File, qint64 Cap, QByteArray& Data, bool& TooLarge, QString& ErrMsg);

// Copies a regular file of at most Cap bytes to To, created readable by this
// user only. Every write and the close are checked, so a full disk fails the
// copy with the system's reason instead of leaving it cut short; a failed
// copy leaves no file behind.
bool CopyCapped(const QString& From, const QString& To, qint64 Cap, QString& ErrMsg);

// Whether two regular files hold the same bytes; false when either cannot be read.
bool SameContent(const QString& A, const QString& B);

// The identity of a regular file; false for anything else.
bool RegularFileId(const QString& Path, TFileId& Id);
