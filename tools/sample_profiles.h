#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// A browsing history to be written into a browser's own database format.
struct TSampleHistory
{
    struct TUrl
    {
        QString Url;
        QString Title;
        bool Hidden = false; // Firefox moz_places.hidden
    };
    struct TVisit
    {
        int Url;       // index into Urls
        qint64 UnixUs; // UTC microseconds since 1970
        // Chromium visits.transition: a link that starts and ends its chain.
        qint64 Transition = kChromiumLink;
        // Firefox moz_historyvisits.visit_type: a link; kNullType stores NULL.
        int VisitType = 1;
    };
    static constexpr qint64 kChromiumLink = 0x30000000;
    static constexpr qint64 kChromiumSubframe = 0x30000003; // automatic sub-frame (an ad)
    static constexpr qint64 kChromiumRedirectHop = 0x10000000; // link that redirects on: no chain end
    static constexpr int kNullType = -1;
    std::vector<TUrl> Urls;
    std::vector<TVisit> Visits;

    // Adds the URL once and a visit to it; the visit can then be adjusted.
    TVisit& Add(const QString& Url, const QString& Title, qint64 UnixUs);
};

// Realistic mixed Chinese/English browsing: news, video, shopping, developer
// sites and searches on the usual engines, busier in the evenings, spread over
// the Days days before EndUnixUs. The same seed gives the same history.
// Visits rows are what the user visited; beside them, as in a real browser,
// come about one row in six the history page does not list: automatic ad
// sub-frames and redirect hops through short links, on hidden places.
TSampleHistory MakeSampleHistory(int Visits, qint64 EndUnixUs, int Days, quint32 Seed);

enum TSampleJournal {
    sjDelete, // plain rollback journal, nothing left beside the file
    sjWal,    // WAL mode, everything checkpointed into the file
    sjWalLeft // WAL mode with the last visits still only in the -wal file
};

// Chromium "History" with the browser's tables (meta, urls, visits,
// keyword_search_terms, …) and indexes.
bool WriteChromiumHistory(const QString& Path, const TSampleHistory& History, TSampleJournal Journal,
                          QString& ErrMsg);

// Firefox "places.sqlite" with moz_origins, moz_places and moz_historyvisits.
bool WriteFirefoxPlaces(const QString& Path, const TSampleHistory& History, TSampleJournal Journal,
                        QString& ErrMsg);

// Where a browser keeps its data below a home on this system, given the Linux
// place relative to the home (".config/google-chrome/Default/History"): the
// same text on Linux, the AppData place on Windows
// ("AppData/Local/Google/Chrome/User Data/Default/History"). Places of
// browsers without a Windows counterpart stay as they are.
QString BrowserPath(const QString& Home, const QString& LinuxRelative);

// Chrome (two profiles with names in "Local State"), Edge and Firefox
// (profiles.ini, WAL left like a running browser) under Home, about Visits
// visits in all over the last 90 days, laid out as on this system.
bool MakeSampleHome(const QString& Home, int Visits, QString& ErrMsg);
