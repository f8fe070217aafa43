#include "visit_report.h"

#include "url_index.h"
#include "url_info.h"
#include "weekday_names.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>

namespace {

template <typename T>
void SortAndCut(QList<T>& List, qsizetype Max)
{
    std::stable_sort(List.begin(), List.end(), [](const T& A, const T& B) {
        if (A.Count != B.Count)
            return A.Count > B.Count;
        return false;
    });
    if (List.size() > Max)
        List.resize(Max);
}

// Name order first so equal counts come out the same on every run.
void SortNamesAndCut(QList<TNameCount>& List, qsizetype Max)
{
    std::sort(List.begin(), List.end(), [](const TNameCount& A, const TNameCount& B) {
        return A.Name < B.Name;
    });
    SortAndCut(List, Max);
}

} // namespace

QString TSourceResult::Status() const
{
    if (Absence == abNotFound)
        return QStringLiteral("未找到");
    if (Absence == abUnread)
        return QStringLiteral("不支持");
    if (!Ok)
        return QStringLiteral("读取失败");
    return Count > 0 ? QStringLiteral("正常") : QStringLiteral("无记录");
}

TSourceResult AbsentResult(const TAbsentSource& Absent)
{
    TSourceResult R;
    R.Info = Absent.Info;
    R.Msg = Absent.Msg;
    R.Absence = Absent.Unread ? TSourceResult::abUnread : TSourceResult::abNotFound;
    return R;
}

TReportBuilder::TReportBuilder(const TCollectorOptions& Options, const QDateTime& Now)
    : FOptions(Options)
{
    FReport.Title = Options.FTitle;
    FReport.Range = RangeText(Options);
    FReport.Scope = Options.FAllUsers ? QStringLiteral("全部用户") : QStringLiteral("当前用户");
    FReport.Generated = Now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    FReport.Privacy = Options.FPrivacy;
}

bool TReportBuilder::Passes(const TRawUrl& Raw) const
{
    if (!FOptions.FInclude.isEmpty()) {
        const QString Title = QString::fromUtf8(Raw.Title);
        const bool Hit = std::any_of(FOptions.FInclude.cbegin(), FOptions.FInclude.cend(),
                                     [&](const QString& K) {
                                         return Raw.Url.contains(K, Qt::CaseInsensitive)
                                                || Title.contains(K, Qt::CaseInsensitive);
                                     });
        if (!Hit)
            return false;
    }
    return FOptions.FExclude.isEmpty() || !DomainExcluded(Raw.Host, FOptions.FExclude);
}

int TReportBuilder::DomainIndex(const QString& Domain)
{
    const auto It = FDomainIndex.constFind(Domain);
    if (It != FDomainIndex.constEnd())
        return It.value();
    const int Index = int(FDomains.size());
    FDomainIndex.insert(Domain, Index);
    FDomains << Domain;
    FDomainCategory.push_back(CategoryOf(Domain));
    return Index;
}

int TReportBuilder::UrlIndex(const TRawUrl& Raw)
{
    const QString& Url = Raw.Url;
    // One lookup for both finding and adding: a new key comes in as 0 and grows the table.
    const qsizetype Known = FUrlIndex.size();
    int& Slot = FUrlIndex[Url];
    if (FUrlIndex.size() == Known)
        return Slot;
    const int Index = int(FReport.Urls.size());
    Slot = Index;
    TUrlEntry E;
    E.Url = Url;
    const QString& Host = Raw.Host;
    if (!Host.isEmpty()) {
        E.Domain = DomainIndex(DomainOf(Host));
        E.Category = FDomainCategory[size_t(E.Domain)];
    } else {
        E.Category = int(Categories().size()) - 1;
    }
    const QString& Keyword = Raw.Keyword;
    if (!Keyword.isEmpty()) {
        const QString Key = Keyword.toLower();
        auto K = FKeywordIndex.constFind(Key);
        if (K == FKeywordIndex.constEnd()) {
            K = FKeywordIndex.insert(Key, int(FKeywords.size()));
            FKeywords << Keyword;
        }
        E.Keyword = K.value();
    }
    if (FOptions.FPrivacy) {
        // Stored stripped: records and pages never show the query.
        E.Url = StripQuery(Url);
        auto P = FPageIndex.constFind(E.Url);
        if (P == FPageIndex.constEnd())
            P = FPageIndex.insert(E.Url, int(FPageIndex.size()));
        E.Page = P.value();
    } else {
        E.Page = Index;
    }
    FReport.Urls.push_back(std::move(E));
    return Index;
}

qsizetype TReportBuilder::AddRow(const TSourceInfo& Info, bool Ok, const QString& Msg)
{
    TSourceResult R;
    R.Info = Info;
    R.Ok = Ok;
    R.Msg = Msg;
    FReport.Sources << R;
    return FReport.Sources.size() - 1;
}

void TReportBuilder::AddSource(const TSourceInfo& Info, TSourceData&& Data)
{
    const qsizetype Row = AddRow(Info, true, Data.Msg);
    FReport.Sources[Row].Count = AddVisits(Data, &Data, nullptr, qint32(Row));
}

void TReportBuilder::AddWholeRead(const TSourceInfo& Info, const TSourceData& Data, const TTimeWindow& Window)
{
    const qsizetype Row = AddRow(Info, true, Data.Msg);
    FReport.Sources[Row].Count = AddVisits(Data, nullptr, &Window, qint32(Row));
}

qsizetype TReportBuilder::AddArchive(const TSourceInfo& Info, const QString& Msg)
{
    return AddRow(Info, true, Msg);
}

void TReportBuilder::AddArchived(qsizetype ArchiveRow, const TSourceInfo& Info, TSourceData&& Data)
{
    // Under the row of the same database when it was read this time.
    qsizetype Row = 0;
    const QList<TSourceResult>& Sources = FReport.Sources;
    while (Row < Sources.size()
           && (Sources[Row].Absence != TSourceResult::abNone || Sources[Row].Info.Id != Info.Id
               || Sources[Row].Info.Path != Info.Path || Sources[Row].Info.Profile != Info.Profile))
        ++Row;
    if (Row == Sources.size())
        FReport.Sources[AddRow(Info, true, QString())].Hidden = true;
    FReport.Sources[ArchiveRow].Count += AddVisits(Data, &Data, nullptr, qint32(Row));
}

qint64 TReportBuilder::AddVisits(const TSourceData& Data, TSourceData* Owned, const TTimeWindow* Window,
                                 qint32 SourceIndex)
{
    qint64 Count = 0;
    FUrlIndex.reserve(FUrlIndex.size() + qsizetype(Data.Urls.size()));
    FReport.Rows.reserve(FReport.Rows.size() + Data.Urls.size());
    FReport.Urls.reserve(FReport.Urls.size() + Data.Urls.size());
    // A whole read's rows the history page hides count only with /allvisits.
    const bool HiddenOut = Window && !FOptions.FAllVisits;
    // URL id → the report's row of it, -1 for none.
    const TUrlIndex RowOf(Data.Urls, [&](size_t I) {
        const TRawUrl& U = Data.Urls[I];
        qint32 Index = -1;
        if (Passes(U)) {
            Index = qint32(FReport.Rows.size());
            FReport.Rows.push_back({UrlIndex(U), U.Title});
            if (HiddenOut && !U.Shown)
                Index = -1;
        }
        // Given back row by row, so the report's own tables reuse the memory.
        if (Owned)
            Owned->Urls[I] = TRawUrl();
        return Index;
    });
    if (Owned)
        Owned->Urls = std::vector<TRawUrl>();
    const bool AllShown = Data.VisitShown.size() != Data.Visits.size();
    FReport.Visits.reserve(FReport.Visits.size() + Data.Visits.size());
    for (size_t I = 0; I < Data.Visits.size(); ++I) {
        const TRawVisit& V = Data.Visits[I];
        if (Window
            && (V.UnixUs < Window->FromUs || V.UnixUs >= Window->ToUs
                || !(FOptions.FAllVisits || AllShown || Data.VisitShown[I])))
            continue;
        const qint32 Index = RowOf.Find(V.UrlId);
        if (Index < 0)
            continue;
        FReport.Visits.push_back({V.UnixUs, Index, SourceIndex});
        ++Count;
    }
    if (Owned)
        *Owned = TSourceData();
    return Count;
}

void TReportBuilder::AddFailed(const TSourceInfo& Info, const QString& Msg)
{
    AddRow(Info, false, Msg);
}

void TReportBuilder::AddAbsent(const TAbsentSource& Absent)
{
    FReport.Sources << AbsentResult(Absent);
}

TReport TReportBuilder::Finish()
{
    TReport& Rep = FReport;
    std::vector<TVisit>& Visits = Rep.Visits;
    Rep.Total = qint64(Visits.size());
    if (Visits.empty())
        return std::move(Rep);

    qint64 MinUs = Visits.front().UnixUs, MaxUs = MinUs;
    for (const TVisit& V : Visits) {
        MinUs = std::min(MinUs, V.UnixUs);
        MaxUs = std::max(MaxUs, V.UnixUs);
    }
    TLocalClock Clock;
    const TLocalTime FirstT = Clock.Convert(MinUs);
    const TLocalTime LastT = Clock.Convert(MaxUs);
    const qint64 FirstDay = FirstT.DayNumber;
    const qint64 LastDay = std::max(LastT.DayNumber, FirstDay);
    std::vector<qint64> DayCounts(size_t(LastDay - FirstDay + 1), 0);

    std::vector<qint64> DomainCounts(size_t(FDomains.size()), 0);
    std::vector<qint64> KeywordCounts(size_t(FKeywords.size()), 0);
    std::vector<qint64> CatCounts(size_t(Categories().size()), 0);
    std::vector<qint64> SourceCounts(size_t(Rep.Sources.size()), 0);
    std::vector<qint64> RowLast(Rep.Rows.size(), std::numeric_limits<qint64>::min());
    for (const TVisit& V : Visits) {
        const TLocalTime T = Clock.Convert(V.UnixUs);
        ++Rep.Heat[size_t(T.Weekday)][size_t(T.Hour)];
        const qint64 D = std::clamp(T.DayNumber, FirstDay, LastDay) - FirstDay;
        ++DayCounts[size_t(D)];
        qint64& Last = RowLast[size_t(V.Row)];
        Last = std::max(Last, V.UnixUs);
        TUrlEntry& E = Rep.Urls[size_t(Rep.Rows[size_t(V.Row)].Entry)];
        ++E.Count;
        if (E.Domain >= 0)
            ++DomainCounts[size_t(E.Domain)];
        if (E.Keyword >= 0)
            ++KeywordCounts[size_t(E.Keyword)];
        ++CatCounts[size_t(E.Category)];
        ++SourceCounts[size_t(V.Source)];
    }

    Rep.First = Clock.FormatText(MinUs);
    Rep.Last = Clock.FormatText(MaxUs);
    for (size_t I = 0; I < DayCounts.size(); ++I) {
        Rep.Days << TNameCount{DayText(FirstDay + qint64(I)), DayCounts[I]};
        if (DayCounts[I] > 0)
            ++Rep.ActiveDays;
    }
    int PeakDay = 0, PeakHour = 0;
    for (int D = 0; D < 7; ++D)
        for (int H = 0; H < 24; ++H)
            if (Rep.Heat[size_t(D)][size_t(H)] > Rep.Heat[size_t(PeakDay)][size_t(PeakHour)])
                PeakDay = D, PeakHour = H;
    Rep.Peak = QStringLiteral("%1 %2:00").arg(WeekdayNames()[PeakDay]).arg(PeakHour, 2, 10, QChar('0'));

    for (qsizetype I = 0; I < FDomains.size(); ++I) {
        if (DomainCounts[size_t(I)] > 0) {
            ++Rep.UniqueDomain;
            Rep.Domains << TNameCount{FDomains[I], DomainCounts[size_t(I)]};
        }
    }
    SortNamesAndCut(Rep.Domains, 15);

    for (qsizetype I = 0; I < FKeywords.size(); ++I)
        if (KeywordCounts[size_t(I)] > 0)
            Rep.Keywords << TNameCount{FKeywords[I], KeywordCounts[size_t(I)]};
    SortNamesAndCut(Rep.Keywords, 12);

    // Pages: one per URL, or per URL without its query under the privacy switch.
    std::vector<TPageRank> Pages(FOptions.FPrivacy ? size_t(FPageIndex.size()) : Rep.Urls.size());
    for (const TUrlEntry& E : Rep.Urls) {
        if (E.Count == 0)
            continue;
        ++Rep.UniqueUrl;
        TPageRank& P = Pages[size_t(E.Page)];
        if (P.Url.isEmpty())
            P.Url = E.Url;
        P.Count += E.Count;
    }
    // A page seen in several browsers shows the most recent title one of them stored.
    std::vector<qint64> TitleAt(Pages.size(), std::numeric_limits<qint64>::min());
    std::vector<size_t> TitleRow(Pages.size(), SIZE_MAX);
    for (size_t I = 0; I < Rep.Rows.size(); ++I) {
        const TUrlRow& Row = Rep.Rows[I];
        if (Row.Title.isEmpty() || RowLast[I] == std::numeric_limits<qint64>::min())
            continue;
        const size_t Page = size_t(Rep.Urls[size_t(Row.Entry)].Page);
        if (RowLast[I] > TitleAt[Page]) {
            TitleAt[Page] = RowLast[I];
            TitleRow[Page] = I;
        }
    }
    std::vector<size_t> Order(Pages.size());
    std::iota(Order.begin(), Order.end(), size_t(0));
    const size_t PageTop = std::min<size_t>(12, Order.size());
    std::partial_sort(Order.begin(), Order.begin() + qsizetype(PageTop), Order.end(),
                      [&](size_t A, size_t B) {
                          if (Pages[A].Count != Pages[B].Count)
                              return Pages[A].Count > Pages[B].Count;
                          return Pages[A].Url < Pages[B].Url;
                      });
    for (size_t I = 0; I < PageTop; ++I) {
        TPageRank& P = Pages[Order[I]];
        if (P.Count == 0)
            continue;
        if (TitleRow[Order[I]] != SIZE_MAX)
            P.Title = QString::fromUtf8(Rep.Rows[TitleRow[Order[I]]].Title);
        Rep.Pages << P;
    }

    // Browsers with their profiles merged, in order of first appearance.
    for (qsizetype S = 0; S < Rep.Sources.size(); ++S) {
        const qint64 N = SourceCounts[size_t(S)];
        if (N == 0)
            continue;
        const QString& Name = Rep.Sources[S].Info.Name;
        auto It = std::find_if(Rep.Browsers.begin(), Rep.Browsers.end(),
                               [&](const TNameCount& B) { return B.Name == Name; });
        if (It == Rep.Browsers.end())
            Rep.Browsers << TNameCount{Name, N};
        else
            It->Count += N;
    }
    SortAndCut(Rep.Browsers, Rep.Browsers.size());

    const QList<TCategory>& Cats = Categories();
    for (qsizetype C = 0; C + 1 < Cats.size(); ++C)
        if (CatCounts[size_t(C)] > 0)
            Rep.Cats << TCatCount{Cats[C].Name, CatCounts[size_t(C)], Cats[C].Color};
    SortAndCut(Rep.Cats, Rep.Cats.size());
    // "Other" closes the ring whatever its size.
    if (CatCounts.back() > 0)
        Rep.Cats << TCatCount{Cats.back().Name, CatCounts.back(), Cats.back().Color};

    // Records newest first; equal times keep a fixed order by source and URL.
    auto Newer = [](const TVisit& A, const TVisit& B) {
        if (A.UnixUs != B.UnixUs)
            return A.UnixUs > B.UnixUs;
        if (A.Source != B.Source)
            return A.Source < B.Source;
        return A.Row < B.Row;
    };
    const size_t N = Visits.size();
    if (FOptions.FLimit > 0 && size_t(FOptions.FLimit) < N) {
        Rep.RecordCount = size_t(FOptions.FLimit);
        Rep.Truncated = true;
        std::partial_sort(Visits.begin(), Visits.begin() + qsizetype(Rep.RecordCount), Visits.end(), Newer);
        Visits.resize(Rep.RecordCount);
        Visits.shrink_to_fit();
    } else {
        Rep.RecordCount = N;
        std::sort(Visits.begin(), Visits.end(), Newer);
    }
    return std::move(Rep);
}
