#pragma once

#include "json.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// The most a saved report may hold: the same bound a run's output has. Anything
// larger is refused by its size before a byte is read.
inline constexpr qint64 kMaxReportFileBytes = qint64(1) << 30;

// A report file read from disk. Either Data is set (with the document's bytes
// in Bytes, which the tree points into) or Error says, in one line, why the
// file cannot be shown.
struct TReportFile {
    QString Path;  // with the system's separators
    std::unique_ptr<TJsonValue> Data;
    QByteArray Bytes;
    QString Error;

    bool Ok() const { return Data != nullptr; }
    // The folder the file lies in; its report window saves there.
    QString Folder() const;
    // The whole message for the user: which file, then why.
    QString ErrorText() const;
};

// Reads, parses and checks one report file. Touches no widget and no global
// state, so it may run on any thread. A leading UTF-8 byte-order mark (as some
// editors write) is skipped; malformed UTF-8 becomes U+FFFD as with a run.
TReportFile LoadReportFile(const QString& Path, qint64 MaxBytes = kMaxReportFileBytes);

// Whether a parsed document is a report rather than some other JSON: an
// object with the key figures or the records of a report run.
bool IsReportDocument(const TJsonValue* Root);
