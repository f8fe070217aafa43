#include "archive_merge.h"

#include "archive_path.h"
#include "text_out.h"
#include "url_info.h"
#include "visit_report.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <tuple>

namespace {

bool KeyLess(const TArchiveVisit& A, const TArchiveVisit& B)
{
    return std::tie(A.Page, A.UnixUs) < std::tie(B.Page, B.UnixUs);
}

bool SameKey(const TArchiveVisit& A, const TArchiveVisit& B)
{
    return A.Page == B.Page && A.UnixUs == B.UnixUs;
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

bool TArchiveMerge::Start(const QString& Path, QString& ErrMsg)
{
    FPath = Path;
    if (FStore.Open(Path, true, ErrMsg) != TArchiveStore::aoOpened || !FStore.Begin(ErrMsg)
        || !FStore.Load(FContent, ErrMsg)) {
        FError = ErrMsg;
        return false;
    }
    for (auto It = FContent.Urls.cbegin(); It != FContent.Urls.cend(); ++It) {
        // Only a damaged archive holds a URL twice; the first one stands for it.
        qint64& Id = FUrlIds[It.value()];
        Id = Id == 0 ? It.key() : std::min(Id, It.key());
    }
    for (const TArchivePage& P : FContent.Pages)
        FPagesBySource[P.Source].insert(P.Url, P.Id);
    for (const TArchiveVisit& V : FContent.Visits)
        FStored[FContent.Pages[size_t(FContent.PageIndex.value(V.Page))].Source].push_back(V);
    FContent.Visits = std::vector<TArchiveVisit>();
    FStarted = true;
    return true;
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
    std::vector<TArchiveSource>& Sources = FContent.Sources;
    const auto It = std::find_if(Sources.begin(), Sources.end(), [&](const TArchiveSource& S) {
        return S.Browser == Info.Id && S.Path == Info.Path;
    });
    const TArchiveSource Now{It == Sources.end() ? 0 : It->Id, Info.Id, Info.Name, Info.Profile, Info.Path, int(Info.Kind)};
    if (It == Sources.end()) {
        Sources.push_back(Now);
        return FStore.AddSource(Sources.back(), FError) ? qsizetype(Sources.size() - 1) : -1;
    }
    // Profiles are renamed and browsers rebranded; the database stays the same.
    if (It->Name != Now.Name || It->Profile != Now.Profile || It->Kind != Now.Kind) {
        *It = Now;
        if (!FStore.UpdateSource(Now, FError))
            return -1;
    }
    return It - Sources.begin();
}

void TArchiveMerge::TakeLive(const TSourceInfo& Info, TSourceData& Data)
{
    if (!FStarted)
        return;
    const bool AllShown = Data.VisitShown.size() != Data.Visits.size();
    QSet<qint64> Hidden;
    for (const TRawUrl& U : Data.Urls)
        if (!U.Shown)
            Hidden.insert(U.Id);
    auto Listed = [&](size_t I) {
        return (AllShown || Data.VisitShown[I]) && !Hidden.contains(Data.Visits[I].UrlId);
    };

    // Stops at the first failure: nothing of this run is committed then.
    auto Store = [&]() -> bool {
        const qsizetype Index = SourceFor(Info);
        if (Index < 0)
            return false;
        const qint64 Source = FContent.Sources[size_t(Index)].Id;
        FSeen.insert(Source);
        QHash<qint64, qint64>& Pages = FPagesBySource[Source];
        QHash<qint64, qint64> PageOf; // the database's URL id → page id
        PageOf.reserve(qsizetype(Data.Urls.size()));
        for (const TRawUrl& U : Data.Urls) {
            qint64 Url = FUrlIds.value(U.Url);
            if (Url == 0) {
                if (!FStore.AddUrl(U.Url, Url, FError))
                    return false;
                FUrlIds.insert(U.Url, Url);
            }
            qint64 Page = Pages.value(Url);
            if (Page == 0) {
                if (!FStore.AddPage(Source, Url, JsonStringText(U.TitleJson), Page, FError))
                    return false;
                Pages.insert(Url, Page);
            } else if (const auto Known = FContent.PageIndex.constFind(Page); Known != FContent.PageIndex.constEnd()) {
                // The latest title stands, also for visits the browser no longer has.
                TArchivePage& P = FContent.Pages[size_t(Known.value())];
                if (P.TitleJson != U.TitleJson) {
                    if (!FStore.SetTitle(Page, JsonStringText(U.TitleJson), FError))
                        return false;
                    P.TitleJson = U.TitleJson;
                }
            }
            PageOf.insert(U.Id, Page);
        }

        std::vector<TArchiveVisit> Now;
        Now.reserve(Data.Visits.size());
        for (size_t I = 0; I < Data.Visits.size(); ++I) {
            const auto Page = PageOf.constFind(Data.Visits[I].UrlId);
            if (Page != PageOf.constEnd())
                Now.push_back({Page.value(), Data.Visits[I].UnixUs, Listed(I)});
        }
        std::sort(Now.begin(), Now.end(), KeyLess);
        Now.erase(std::unique(Now.begin(), Now.end(), SameKey), Now.end());

        // Both in key order: one walk finds what is new and what only the archive still has.
        const std::vector<TArchiveVisit> Stored = FStored.take(Source);
        std::vector<TArchiveVisit>& Only = FOnly[Source];
        auto S = Stored.begin();
        for (const TArchiveVisit& V : Now) {
            for (; S != Stored.end() && KeyLess(*S, V); ++S)
                Only.push_back(*S);
            if (S != Stored.end() && SameKey(*S, V)) {
                ++S;
            } else {
                if (!FStore.AddVisit(V, FError))
                    return false;
                ++FAdded;
            }
        }
        Only.insert(Only.end(), S, Stored.end());
        return true;
    };
    if (FWriteOk)
        FWriteOk = Store();

    // What the report counts of the database: the run's own window and rule.
    size_t Kept = 0;
    for (size_t I = 0; I < Data.Visits.size(); ++I)
        if (Counts(Data.Visits[I].UnixUs, Listed(I)))
            Data.Visits[Kept++] = Data.Visits[I];
    Data.Visits.resize(Kept);
    Data.VisitShown = std::vector<bool>();
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

TSourceData TArchiveMerge::ReportData(const std::vector<TArchiveVisit>& Visits) const
{
    TSourceData Data;
    for (const TArchiveVisit& V : Visits) {
        if (!Counts(V.UnixUs, V.Listed))
            continue;
        Data.Visits.push_back({V.Page, V.UnixUs});
        // Visits come in page order, so each page is met in one run.
        if (!Data.Urls.empty() && Data.Urls.back().Id == V.Page)
            continue;
        const TArchivePage& P = FContent.Pages[size_t(FContent.PageIndex.value(V.Page))];
        TRawUrl& U = Data.Urls.emplace_back();
        U.Id = V.Page;
        U.Url = FContent.Urls.value(P.Url);
        U.Host = HostOf(U.Url);
        U.Keyword = SearchKeyword(U.Url, U.Host);
        U.TitleJson = P.TitleJson;
    }
    return Data;
}

bool TArchiveMerge::Finish(TReportBuilder& Builder)
{
    TSourceInfo Row;
    Row.Name = QStringLiteral("历史存档");
    Row.Path = FPath;
    if (!FStarted) {
        Builder.AddFailed(Row, FError);
        return false;
    }
    // Databases not read this time (gone, or failed): what the report shows
    // of them is all the archive's.
    for (const TArchiveSource& S : FContent.Sources)
        if (!FSeen.contains(S.Id) && InScope(S))
            FOnly[S.Id] = FStored.take(S.Id);
    FStored.clear();
    if (!FWriteOk || !FStore.Commit(FError)) {
        Builder.AddFailed(Row, FError + QStringLiteral("（本次未存入，存档保持原样）"));
        return false;
    }
    QString Msg = QStringLiteral("本次新存入 %1 条访问").arg(FAdded);
    if (FContent.Damaged > 0)
        Msg += QStringLiteral("；已跳过 %1 条损坏的存档记录").arg(FContent.Damaged);
    const qsizetype ArchiveRow = Builder.AddArchive(Row, Msg);
    for (const TArchiveSource& S : FContent.Sources) {
        const auto It = FOnly.constFind(S.Id);
        if (It != FOnly.constEnd())
            Builder.AddArchived(ArchiveRow, InfoOf(S), ReportData(It.value()));
    }
    FOnly.clear();
    return true;
}
