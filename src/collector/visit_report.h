#pragma once

#include "collector_options.h"
#include "history_reader.h"
#include "history_source.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <string>
#include <vector>

// One source as reported: found, read (or not), how many visits it gave.
struct TSourceResult
{
    enum TAbsence { abNone, abNotFound, abUnread };

    TSourceInfo Info;
    bool Ok = false;
    QString Msg;
    qint64 Count = 0;
    TAbsence Absence = abNone; // a chosen browser that gave no database
    bool Hidden = false;       // not a row of its own: names the browser and profile of archived visits
    QString Status() const;
};

// The row of a chosen browser that gave nothing to read.
TSourceResult AbsentResult(const TAbsentSource& Absent);

// One URL, merged across sources: what the statistics count by.
struct TUrlEntry
{
    QString Url;       // already stripped of its query under the privacy switch
    int Domain = -1;   // -1: no host (file:, about:, …)
    int Category = 0;
    int Keyword = -1;
    int Page = 0;      // pages merge when the privacy switch strips their queries
    qint64 Count = 0;
};

// One URL row of one database. Records show the title their own browser
// stored, not one borrowed from another browser.
struct TUrlRow
{
    qint32 Entry = 0;      // index into TReport::Urls
    QByteArray Title;      // well-formed UTF-8, escaped where it is written out
};

struct TVisit
{
    qint64 UnixUs;
    qint32 Row;       // index into TReport::Rows
    qint32 Source;
};

struct TNameCount
{
    QString Name;
    qint64 Count = 0;
};

struct TPageRank
{
    QString Url;
    QString Title;
    qint64 Count = 0;
};

struct TCatCount
{
    QString Name;
    qint64 Count = 0;
    QString Color;
};

using THeat = std::array<std::array<qint64, 24>, 7>;

// Everything a report shows, computed once and written as JSON or HTML.
struct TReport
{
    QString Title, Range, Scope, Generated;
    qint64 Total = 0, UniqueUrl = 0, UniqueDomain = 0, ActiveDays = 0;
    QString Peak, First, Last;
    THeat Heat{};
    QList<TNameCount> Days;
    QList<TNameCount> Domains;
    QList<TPageRank> Pages;
    QList<TNameCount> Keywords;
    QList<TNameCount> Browsers;
    QList<TCatCount> Cats;
    QList<TSourceResult> Sources;
    bool Privacy = false;

    // Records: the first RecordCount entries of Visits, newest first.
    std::vector<TUrlEntry> Urls;
    std::vector<TUrlRow> Rows;
    std::vector<TVisit> Visits;
    size_t RecordCount = 0;
    bool Truncated = false;

    const TUrlEntry& EntryOf(const TVisit& V) const { return Urls[size_t(Rows[size_t(V.Row)].Entry)]; }
    const QByteArray& TitleOf(const TVisit& V) const { return Rows[size_t(V.Row)].Title; }
};

// Collects the sources one by one, applying the filters as visits come in, and
// then computes the statistics.
class TReportBuilder final
{
public:
    TReportBuilder(const TCollectorOptions& Options, const QDateTime& Now);

    void AddSource(const TSourceInfo& Info, TSourceData&& Data);
    // A read of every row, each marked with whether the history page lists
    // it (an archive run's): counts those in Window that it lists, or all of
    // them with /allvisits. Data is left as it is, for another reads it too.
    void AddWholeRead(const TSourceInfo& Info, const TSourceData& Data, const TTimeWindow& Window);
    void AddFailed(const TSourceInfo& Info, const QString& Msg);
    void AddAbsent(const TAbsentSource& Absent);
    // The archive's own row; visits given to AddArchived count in it.
    qsizetype AddArchive(const TSourceInfo& Info, const QString& Msg);
    // Visits of Info's database that only the archive still holds: they show
    // under its browser and profile, and count in the archive's row.
    void AddArchived(qsizetype ArchiveRow, const TSourceInfo& Info, TSourceData&& Data);
    // Statistics and ranked lists; the builder is spent afterwards.
    TReport Finish();

private:
    qsizetype AddRow(const TSourceInfo& Info, bool Ok, const QString& Msg);
    // Owned: Data's rows may be taken, and are freed as they are. Window:
    // Data is a whole read, counted as AddWholeRead does.
    qint64 AddVisits(const TSourceData& Data, TSourceData* Owned, const TTimeWindow* Window, qint32 SourceIndex);
    bool Passes(const TRawUrl& Raw) const;
    int UrlIndex(const TRawUrl& Raw);
    int DomainIndex(const QString& Domain);

    const TCollectorOptions& FOptions;
    TReport FReport;
    QHash<QString, int> FUrlIndex;
    QHash<QString, int> FDomainIndex;
    QStringList FDomains;
    std::vector<int> FDomainCategory;
    QHash<QString, int> FKeywordIndex; // lower-cased keyword → index
    QStringList FKeywords;             // first spelling seen
    QHash<QString, int> FPageIndex;
};
