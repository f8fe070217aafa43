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

// A file opened for reading only when the opened handle is a regular file.
// FIFOs, devices, sockets and folders are refused without blocking, whatever
// name or link leads to them, so a hostile home cannot hang or flood a run.
class TRegularFile final
{
public:
    TRegularFile() = default;
    ~TRegularFile();
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    // False with a Chinese reason in ErrMsg when the file cannot be opened or
    // is not a regular file.
    bool Open(const QString& Path, QString& ErrMsg);
    // Bytes read, 0 at the end, -1 on an error (reason in ErrMsg).
    qint64 Read(char* Buf, qint64 Max, QString& ErrMsg);
    TFileId Id() const { return FId; }
    void Close();

private:
    qintptr FHandle = -1;
    TFileId FId;
};

// Reads at most Cap bytes of a regular file; a longer file is refused rather
// than cut, since half a settings file means nothing.
bool ReadCapped(const QString& Path, qint64 Cap, QByteArray& Data, QString& ErrMsg);

// Copies a regular file of at most Cap bytes to To, created readable by this
// user only.
bool CopyCapped(const QString& From, const QString& To, qint64 Cap, QString& ErrMsg);

// The identity of a regular file; false for anything else.
bool RegularFileId(const QString& Path, TFileId& Id);
