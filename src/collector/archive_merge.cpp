#include "archive_merge.h"

#include "archive_path.h"
#include "text_out.h"
#include "url_index.h"
#include "url_info.h"
#include "utf8.h"
#include "visit_report.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace {

constexpr qint64 kDayUs = 86400LL * 1000000;

qint64 DayOf(qint64 UnixUs)
{
    return UnixUs / kDayUs;
}

// Visits of one day in (time, URL hash) order, the order both sides are
// compared in.
bool KeyLess(qint64 TimeA, quint64 HashA, qint64 TimeB, quint64 HashB)
{
    return TimeA != TimeB ? TimeA < TimeB : HashA < HashB;
}

TSourceInfo InfoOf(const TArchiveSource& S)
{
    TSourceInfo Info;
    Info.Id = S.Browser;
    Info.Name = S.Name;
    Info.Profile = S.Profile;
    Info.Path = S.Path;
    Info.Kind = S.Kind == skFirefox ? skFirefox : skChromium;
    return Info;
}

} // namespace

QString ArchivePath(const TCollectorOptions& Options)
{
    const QString Path = Options.FArchivePath.isEmpty() ? DefaultArchivePath() : Options.FArchivePath;
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(Path)).absoluteFilePath());
}

bool ClearArchive(const QString& Path, QString& Text)
{
    const QString Shown = QDir::toNativeSeparators(Path);
    TArchiveStore Store;
    QString ErrMsg;
    switch (Store.Open(Path, false, ErrMsg)) {
    case TArchiveStore::aoAbsent:
        Text = QStringLiteral("历史存档不存在，无需清除：%1").arg(Shown);
        return true;
    case TArchiveStore::aoFailed:
        break;
    case TArchiveStore::aoOpened:
        if (Store.Clear(ErrMsg)) {
            Text = QStringLiteral("历史存档已清空：%1").arg(Shown);
            return true;
        }
        break;
    }
    Text = QStringLiteral("清除历史存档失败：%1：%2").arg(Shown, ErrMsg);
    return false;
}

TArchiveMerge::TArchiveMerge(const TCollectorOptions& Options, const TTimeWindow& Window, const QList<THome>& Homes)
    : FOptions(Options)
    , FWindow(Window)
    , FHomes(Homes)
{
}

TArchiveMerge::~TArchiveMerge()
{
    Join();
}

void TArchiveMerge::Join()
{
    if (FStoring.joinable())
        FStoring.join();
}

bool TArchiveMerge::Start(const QString& Path, QString& ErrMsg)
{
    FPath = Path;
    FStarted = FStore.Open(Path, true, ErrMsg) == TArchiveStore::aoOpened && FStore.Begin(ErrMsg)
               && FStore.LoadSources(FSources, ErrMsg) && FStore.LoadDays(FDays, ErrMsg);
    if (!FStarted)
        FError = ErrMsg;
    return FStarted;
}

TReadRule TArchiveMerge::ReadRule(TReadRule Rule) const
{
    if (FStarted) {
        Rule.Window = TTimeWindow();
        Rule.WithShown = true;
    }
    return Rule;
}

bool TArchiveMerge::Counts(qint64 UnixUs, bool Listed) const
{
    return UnixUs >= FWindow.FromUs && UnixUs < FWindow.ToUs && (Listed || FOptions.FAllVisits);
}

qsizetype TArchiveMerge::SourceFor(const TSourceInfo& Info)
{
    const auto It = std::find_if(FSources.begin(), FSources.end(), [&](const TArchiveSource& S) {
        return S.Browser == Info.Id && S.Path == Info.Path;
    });
    const TArchiveSource Now{It == FSources.end() ? 0 : It->Id, Info.Id, Info.Name, Info.Profile, Info.Path, int(Info.Kind)};
    if (It == FSources.end()) {
        FSources.push_back(Now);
        return FStore.AddSource(FSources.back(), FError) ? qsizetype(FSources.size() - 1) : -1;
    }
    // Profiles are renamed and browsers rebranded; the database stays the same.
    if (It->Name != Now.Name || It->Profile != Now.Profile || It->Kind != Now.Kind) {
        *It = Now;
        if (!FStore.UpdateSource(Now, FError))
            return -1;
    }
    return It - FSources.begin();
}

void TArchiveMerge::TPageIds::Add(quint64 Hash, qint64 Page)
{
    const qsizetype Before = First.size();
    qint64& Id = First[Hash]; // one look-up: a run may add a page for each of 300,000 URLs
    if (First.size() == Before)
        More.insert(Hash, Page);
    else
        Id = Page;
}

// Page id → URL hash of the source, for comparing stored visits with the
// database's.
bool TArchiveMerge::PageHashes(qint64 Source)
{
    if (FPageHashes.contains(Source))
        return true;
    QHash<qint64, quint64>& Hashes = FPageHashes[Source];
    return FStore.EachPageHash(Source, [&](qint64 Page, quint64 Hash) { Hashes.insert(Page, Hash); }, FError);
}

bool TArchiveMerge::PageFor(qint64 Source, const TRawUrl& Url, quint64 Hash, qint64& Page)
{
    auto Ids = FPageIds.find(Source);
    if (Ids == FPageIds.end()) {
        Ids = FPageIds.insert(Source, TPageIds());
        TPageIds& Load = Ids.value();
        if (!FStore.EachPageHash(Source, [&](qint64 P, quint64 H) { Load.Add(H, P); }, FError))
            return false;
    }
    // A page with the URL's hash is the URL's page only when its text agrees.
    Page = 0;
    auto Try = [&](qint64 Id) {
        QString Stored;
        if (!FStore.PageUrl(Source, Id, Stored, FError))
            return false;
        if (Stored == Url.Url)
            Page = Id;
        return true;
    };
    if (const auto First = Ids->First.constFind(Hash); First != Ids->First.constEnd()) {
        if (!Try(First.value()))
            return false;
        for (auto It = Ids->More.constFind(Hash); Page == 0 && It != Ids->More.constEnd() && It.key() == Hash; ++It)
            if (!Try(It.value()))
                return false;
    }
    if (Page != 0)
        // The title of the latest visit stands, also for visits the browser no longer has.
        return FStore.SetTitle(Source, Page, BytesOf(Url.Title), FError);
    if (!FStore.AddPage(Source, Hash, Url.Url, BytesOf(Url.Title), Page, FError))
        return false;
    Ids->Add(Hash, Page);
    if (const auto Known = FPageHashes.find(Source); Known != FPageHashes.end())
        Known->insert(Page, Hash);
    return true;
}

// Stops at the first failure: nothing of this run is committed then.
bool TArchiveMerge::Store(const TSourceInfo& Info, const TSourceData& Data)
{
    const qsizetype Index = SourceFor(Info);
    if (Index < 0)
        return false;
    const qint64 Source = FSources[size_t(Index)].Id;
    std::vector<quint64> Hashes(Data.Urls.size());
    for (size_t I = 0; I < Data.Urls.size(); ++I)
        Hashes[I] = UrlHash(Data.Urls[I].Url);
    const TUrlIndex UrlIndex(Data.Urls, [](size_t I) { return qint32(I); }); // row positions
    const std::vector<TRawVisit>& Visits = Data.Visits;

    QMap<qint64, TArchiveDay>& Days = FDays[Source];
    QSet<qint64>& LiveDays = FLiveDays[Source];
    std::vector<qint64> PageOf(Data.Urls.size(), 0);
    // Days the archive does not have are new whole: their URLs' pages are
    // found or made first, in the database's order. In the order of the
    // visits they would be picked from all over memory, and much slower.
    std::vector<bool> Wanted(Data.Urls.size());
    qint64 LastDay = -1;
    bool NewDay = false;
    for (const TRawVisit& V : Visits) {
        if (DayOf(V.UnixUs) != LastDay) {
            LastDay = DayOf(V.UnixUs);
            NewDay = !Days.contains(LastDay);
        }
        if (!NewDay)
            continue;
        if (const qint32 Url = UrlIndex.Find(V.UrlId); Url >= 0)
            Wanted[size_t(Url)] = true;
    }
    for (size_t Url = 0; Url < Data.Urls.size(); ++Url)
        if (Wanted[Url] && !PageFor(Source, Data.Urls[Url], Hashes[Url], PageOf[Url]))
            return false;

    // Browsers add their visits in time order, so a day's visits are
    // together and only they need putting in key order; visits in any other
    // order are put in time order first.
    std::vector<size_t> Order;
    if (!std::is_sorted(Visits.begin(), Visits.end(),
                        [](const TRawVisit& A, const TRawVisit& B) { return A.UnixUs < B.UnixUs; })) {
        Order.resize(Visits.size());
        std::iota(Order.begin(), Order.end(), size_t(0));
        std::stable_sort(Order.begin(), Order.end(),
                         [&](size_t A, size_t B) { return Visits[A].UnixUs < Visits[B].UnixUs; });
    }
    const auto At = [&](size_t K) { return Order.empty() ? K : Order[K]; };
    const bool AllShown = Data.VisitShown.size() != Visits.size();
    struct TLive
    {
        qint64 UnixUs;
        quint64 Hash;
        qint32 Url;
        bool Listed;
    };
    std::vector<TLive> Live; // one day's
    std::vector<TArchiveVisit>& Only = FOnly[Source];
    std::vector<TArchiveVisit> Stored;
    for (size_t K = 0; K < Visits.size();) {
        const qint64 Day = DayOf(Visits[At(K)].UnixUs);
        Live.clear();
        for (; K < Visits.size() && DayOf(Visits[At(K)].UnixUs) == Day; ++K) {
            const size_t I = At(K);
            if (const qint32 Url = UrlIndex.Find(Visits[I].UrlId); Url >= 0)
                Live.push_back({Visits[I].UnixUs, Hashes[size_t(Url)], Url,
                                (AllShown || Data.VisitShown[I]) && Data.Urls[size_t(Url)].Shown});
        }
        if (Live.empty())
            continue;
        std::sort(Live.begin(), Live.end(),
                  [](const TLive& A, const TLive& B) { return KeyLess(A.UnixUs, A.Hash, B.UnixUs, B.Hash); });
        Live.erase(std::unique(Live.begin(), Live.end(),
                               [](const TLive& A, const TLive& B) { return A.UnixUs == B.UnixUs && A.Hash == B.Hash; }),
                   Live.end());
        LiveDays.insert(Day);
        TArchiveDay Sums;
        for (const TLive& L : Live) {
            ++Sums.Visits;
            Sums.Digest += VisitDigest(L.Hash, L.UnixUs);
        }
        const TArchiveDay Known = Days.value(Day);
        if (Known.Visits == Sums.Visits && Known.Digest == Sums.Digest)
            continue; // the archive holds this day as the browser has it
        // Both in key order: one walk finds what is new and what only the archive still has.
        Stored.clear();
        if (Days.contains(Day)) {
            if (!FStore.LoadVisits(Source, Day, Day + 1, Stored, FError) || !PageHashes(Source))
                return false;
            const QHash<qint64, quint64>& HashOf = FPageHashes[Source];
            for (TArchiveVisit& V : Stored)
                V.UrlHash = HashOf.value(V.Page);
            std::sort(Stored.begin(), Stored.end(), [](const TArchiveVisit& A, const TArchiveVisit& B) {
                return KeyLess(A.UnixUs, A.UrlHash, B.UnixUs, B.UrlHash);
            });
        }
        TArchiveDay Now = Known;
        const size_t Before = Stored.size();
        size_t S = 0;
        for (const TLive& L : Live) {
            for (; S < Before && KeyLess(Stored[S].UnixUs, Stored[S].UrlHash, L.UnixUs, L.Hash); ++S)
                Only.push_back(Stored[S]);
            if (S < Before && Stored[S].UnixUs == L.UnixUs && Stored[S].UrlHash == L.Hash) {
                ++S;
                continue;
            }
            qint64& Page = PageOf[size_t(L.Url)];
            if (Page == 0 && !PageFor(Source, Data.Urls[size_t(L.Url)], L.Hash, Page))
                return false;
            Stored.push_back({L.UnixUs, Page, L.Hash, L.Listed});
            ++Now.Visits;
            Now.Digest += VisitDigest(L.Hash, L.UnixUs);
            ++FAdded;
        }
        Only.insert(Only.end(), Stored.begin() + qsizetype(S), Stored.begin() + qsizetype(Before));
        if (Stored.size() > Before && !FStore.SetDay(Source, Day, Now, Stored, FError))
            return false;
        Days.insert(Day, Now);
    }
    return true;
}

void TArchiveMerge::TakeLive(const TSourceInfo& Info, std::shared_ptr<const TSourceData> Data)
{
    if (!FStarted)
        return;
    Join(); // the one before, on the same archive state
    if (FWriteOk)
        FStoring = std::thread([this, Info, Data = std::move(Data)] { FWriteOk = Store(Info, *Data); });
}

bool TArchiveMerge::InScope(const TArchiveSource& Source) const
{
    if (!FOptions.FSources.isEmpty() && !FOptions.FSources.contains(Source.Browser))
        return false;
    if (FOptions.FAllUsers)
        return true;
    for (const THome& H : FHomes)
        for (const QString& Dir : {H.Path, H.ConfigDir, H.LocalDir})
            if (!Dir.isEmpty() && Source.Path.startsWith(Dir + QChar('/')))
                return true;
    return false;
}

// The days the browser no longer has (or was not read for) are the
// archive's alone; only those the report's window touches are read.
bool TArchiveMerge::LoadUnread(const TArchiveSource& Source)
{
    const QSet<qint64> LiveDays = FLiveDays.value(Source.Id);
    const QMap<qint64, TArchiveDay> Days = FDays.value(Source.Id);
    std::vector<TArchiveVisit>& Only = FOnly[Source.Id];
    qint64 From = 0, To = 0; // a run of such days
    auto Flush = [&] { return From == To || FStore.LoadVisits(Source.Id, From, To, Only, FError); };
    for (auto It = Days.cbegin(); It != Days.cend(); ++It) {
        const qint64 Day = It.key();
        if (LiveDays.contains(Day) || (Day + 1) * kDayUs <= FWindow.FromUs || Day * kDayUs >= FWindow.ToUs)
            continue;
        if (Day != To) {
            if (!Flush())
                return false;
            From = Day;
        }
        To = Day + 1;
    }
    return Flush();
}

bool TArchiveMerge::ReportData(qint64 Source, const std::vector<TArchiveVisit>& Visits, TSourceData& Data)
{
    QHash<qint64, TArchivePage> Pages;
    QSet<qint64> Added;
    for (const TArchiveVisit& V : Visits) {
        if (!Counts(V.UnixUs, V.Listed))
            continue;
        if (Pages.isEmpty() && !FStore.LoadPages(Source, Pages, FError))
            return false;
        const auto P = Pages.constFind(V.Page);
        if (P == Pages.constEnd()) {
            ++FDamaged;
            continue;
        }
        Data.Visits.push_back({V.Page, V.UnixUs});
        if (Added.contains(V.Page))
            continue;
        Added.insert(V.Page);
        TRawUrl& U = Data.Urls.emplace_back();
        U.Id = V.Page;
        U.Url = P->Url;
        U.Host = HostOf(U.Url);
        U.Keyword = SearchKeyword(U.Url, U.Host);
        U.Title = P->Title;
    }
    return true;
}

bool TArchiveMerge::Finish(TReportBuilder& Builder)
{
    Join();
    TSourceInfo Row;
    Row.Name = QStringLiteral("历史存档");
    Row.Path = FPath;
    if (!FStarted) {
        Builder.AddFailed(Row, FError);
        return false;
    }
    for (const TArchiveSource& S : FSources)
        if (FWriteOk && (FLiveDays.contains(S.Id) || InScope(S)))
            FWriteOk = LoadUnread(S);
    if (!FWriteOk || !FStore.Commit(FError)) {
        Builder.AddFailed(Row, FError + QStringLiteral("（本次未存入，存档保持原样）"));
        return false;
    }
    std::vector<std::pair<TSourceInfo, TSourceData>> Report;
    for (const TArchiveSource& S : FSources) {
        const auto Only = FOnly.constFind(S.Id);
        TSourceData Data;
        if (Only == FOnly.constEnd())
            continue;
        if (!ReportData(S.Id, Only.value(), Data)) {
            Builder.AddFailed(Row, FError);
            return false;
        }
        if (!Data.Visits.empty())
            Report.emplace_back(InfoOf(S), std::move(Data));
    }
    FOnly.clear();
    QString Msg = QStringLiteral("本次新存入 %1 条访问").arg(FAdded);
    if (FDamaged > 0)
        Msg += QStringLiteral("；已跳过 %1 条损坏的存档记录").arg(FDamaged);
    const qsizetype ArchiveRow = Builder.AddArchive(Row, Msg);
    for (auto& [Info, Data] : Report)
        Builder.AddArchived(ArchiveRow, Info, std::move(Data));
    return true;
}
