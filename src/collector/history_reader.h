#pragma once

#include "history_source.h"
#include "history_time.h"
#include "url_reader.h"

#include <QString>

#include <vector>

struct TRawVisit
{
    qint64 UrlId = 0;
    qint64 UnixUs = 0;
};

// What one database gave: its URL rows and the visits inside the window.
struct TSourceData
{
    std::vector<TRawUrl> Urls;
    std::vector<TRawVisit> Visits;
    std::vector<bool> VisitShown; // WithShown reads: one per visit, whether the history page lists it
    QString Msg; // a note for the report: why every row was counted, visits skipped as damaged
};

struct TReadRule
{
    TTimeWindow Window;
    bool AllVisits = false;    // every stored row instead of what the history page lists
    bool HelperThread = false; // a core is free: read the URL rows beside the visits
    bool WithShown = false;    // every stored row, each marked with whether the history page lists it
};

// Reads one committed state of the source's database (with its -wal and
// -journal files; see ReadConsistent), never opening the browser's own files
// for writing. False with a Chinese message when the file is missing,
// unreadable, corrupt, not a history database or kept busy by a writer.
// Unless AllVisits is set, only the visits the browser's own history page
// lists are read: no automatic sub-frames, redirect hops, embeds or downloads.
// A schema too old to tell them apart gives every row, with a note saying so.
bool ReadHistory(const TSourceInfo& Source, const TReadRule& Rule, TSourceData& Data, QString& ErrMsg);

// For source detection: the number of visits a report over the whole history
// would count, by the same rule as ReadHistory (every stored row with a page
// and a sound time when AllVisits is set).
bool CountVisits(const TSourceInfo& Source, bool AllVisits, qint64& Count, QString& ErrMsg);
