#pragma once

#include "archive_store.h"
#include "collector_options.h"
#include "history_reader.h"
#include "history_source.h"
#include "history_time.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMultiHash>
#include <QSet>
#include <QString>

#include <memory>
#include <thread>
#include <vector>

class TReportBuilder;

// The archive a run names with "/archive:<file>", else the default place.
QString ArchivePath(const TCollectorOptions& Options);
// Empties the archive at Path in one transaction; a missing one counts as
// empty. Text tells the outcome.
bool ClearArchive(const QString& Path, QString& Text);

// One archive run: every visit the browsers' databases give is added to the
// archive once, and the report gets beside them the visits only the archive
// still holds. The filters of the run (time, keywords, domains, sources,
// scope) are applied to both alike when the report is made; the archive
// itself keeps everything.
class TArchiveMerge final
{
public:
    TArchiveMerge(const TCollectorOptions& Options, const TTimeWindow& Window, const QList<THome>& Homes);
    ~TArchiveMerge();
    TArchiveMerge(const TArchiveMerge&) = delete;
    TArchiveMerge& operator=(const TArchiveMerge&) = delete;

    // Opens (or creates) the archive, takes its write lock and loads it.
    // False with a message: the archive is a failed source of this run, and
    // it is left as it was.
    bool Start(const QString& Path, QString& ErrMsg);
    // How the databases must be read for an archive run: everything, each
    // row marked with whether the browser's history page lists it.
    TReadRule ReadRule(TReadRule Rule) const;
    // A database read with ReadRule: stores what the archive lacks and keeps
    // aside what only the archive holds, on a second thread while the caller
    // reports the same Data (see TReportBuilder::AddWholeRead).
    void TakeLive(const TSourceInfo& Info, std::shared_ptr<const TSourceData> Data);
    // Commits the run's additions, then gives the report the archive's row
    // and its visits; true when the archive was read and written.
    bool Finish(TReportBuilder& Builder);

private:
    // A source's pages by URL hash. Different URLs rarely share a hash; the
    // second and later of those wait in More.
    struct TPageIds
    {
        QHash<quint64, qint64> First;
        QMultiHash<quint64, qint64> More;
        void Add(quint64 Hash, qint64 Page);
    };

    bool Store(const TSourceInfo& Info, const TSourceData& Data);
    void Join(); // waits for the storing under way
    qsizetype SourceFor(const TSourceInfo& Info);
    bool PageHashes(qint64 Source);
    bool PageFor(qint64 Source, const TRawUrl& Url, quint64 Hash, qint64& Page);
    bool LoadUnread(const TArchiveSource& Source);
    bool InScope(const TArchiveSource& Source) const;
    bool Counts(qint64 UnixUs, bool Listed) const;
    bool ReportData(qint64 Source, const std::vector<TArchiveVisit>& Visits, TSourceData& Data);

    const TCollectorOptions& FOptions;
    const TTimeWindow FWindow;
    const QList<THome> FHomes;
    QString FPath;
    TArchiveStore FStore;
    bool FStarted = false;
    bool FWriteOk = true;
    QString FError;
    qint64 FAdded = 0;   // visits new to the archive
    qint64 FDamaged = 0; // stored rows left out

    std::vector<TArchiveSource> FSources;
    QHash<qint64, QMap<qint64, TArchiveDay>> FDays;    // source id → UTC day → sums
    QHash<qint64, QSet<qint64>> FLiveDays;             // sources read this run → the days they have visits on
    QHash<qint64, TPageIds> FPageIds;                  // source id → its pages by URL hash, loaded when first needed
    QHash<qint64, QHash<qint64, quint64>> FPageHashes; // source id → page id → URL hash, loaded when first needed
    QHash<qint64, std::vector<TArchiveVisit>> FOnly;   // source id → visits found only in the archive
    // Stores one database's read at a time; what it writes above is read
    // on this thread only once it is joined.
    std::thread FStoring;
};
