#pragma once

#include "history_source.h"
#include "history_time.h"

#include <QString>
#include <vector>

struct TRawUrl
{
    qint64 Id = 0;
    QString Url;
    QString Title;
};

struct TRawVisit
{
    qint64 UrlId = 0;
    qint64 UnixUs = 0;
};

// What one database gave: every URL row and the visits inside the window.
struct TSourceData
{
    std::vector<TRawUrl> Urls;
    std::vector<TRawVisit> Visits;
    QString Msg; // a note for the report, such as visits skipped as damaged
};

// Reads a private copy of the source's database (with its -wal and -journal
// files), so the browser's own files are never opened for writing. False with
// a Chinese message when the file is missing, unreadable, corrupt or not a
// history database.
bool ReadHistory(const TSourceInfo& Source, const TTimeWindow& Window, TSourceData& Data,
                 QString& ErrMsg);

// Number of visits in the database, for source detection.
bool CountVisits(const TSourceInfo& Source, qint64& Count, QString& ErrMsg);
