#pragma once

#include "history_schema.h"
#include "sqlite_util.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <thread>
#include <vector>

struct TRawUrl
{
    qint64 Id = 0;
    QString Url;
    // Worked out beside the reading, on its thread: HostOf and SearchKeyword.
    QString Host;
    QString Keyword;
    // Well-formed UTF-8, escaped only where it is written out; shared, not
    // copied, by the report and the archive.
    QByteArray Title;
    bool Shown = true; // the browser's history page may list its visits (WithShown reads)
};

// Reads the URL rows that Sql (id, url, title) selects; rows without a URL
// are left out, long texts cut. False with a Chinese message on a failed step.
bool ReadUrls(sqlite3* Db, const TSchema& Schema, const char* Sql, std::vector<TRawUrl>& Out, QString& ErrMsg);

// Reads the URL rows on a second connection and thread, beside the visits.
class TUrlReader final
{
public:
    // Opens OpenName with Flags as the first connection was; Started() tells
    // whether the thread runs.
    TUrlReader(const QByteArray& OpenName, int Flags, const TSchema& Schema, const char* Sql, std::vector<TRawUrl>& Out);
    bool Started() const { return FThread.joinable(); }
    // Waits for the rows; false with the reason when they could not be read.
    bool Finish(QString& ErrMsg);

private:
    TDb FDb;
    bool FOk = false;
    QString FErrMsg;
    std::jthread FThread; // last: joined before the connection closes
};
