#include "record_keys.h"

#include "civil_date.h"
#include "json.h"
#include "plain_records.h"
#include "record_sort.h"
#include "report_content.h"
#include "site_category.h"
#include "url_host.h"
#include "utf8.h"
#include "weekday_names.h"

#include <QHash>

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace {

constexpr quint8 kNoCategory = 0xFF;

int Digits(const char* P, int N)
{
    int V = 0;
    for (int I = 0; I < N; ++I) {
        if (P[I] < '0' || P[I] > '9')
            return -1;
        V = V * 10 + (P[I] - '0');
    }
    return V;
}

// The category of a URL held as UTF-8 in the document. The category is a
// function of the URL's host part alone, and a history has few hosts, so
// it is worked out once per host part.
class TCategoryCache {
public:
    quint8 Of(std::string_view Url)
    {
        size_t Begin = 0, End = 0;
        if (!HostSpan(Url, Begin, End))
            return Of(QString::fromUtf8(Url.data(), qsizetype(Url.size())));
        const std::string_view Host = Url.substr(Begin, End - Begin);
        const auto It = FByHost.find(Host);
        if (It != FByHost.end())
            return It->second;
        return FByHost[Host] = Of(QString::fromUtf8(Url.data(), qsizetype(Url.size())));
    }
    static quint8 Of(const QString& Url) { return quint8(CategoryOfUrl(Url)); }

private:
    std::unordered_map<std::string_view, quint8> FByHost; // views into the document
};

} // namespace

QString TRecordChip::Text() const
{
    if (Kind != ckHour)
        return Name;
    return QStringLiteral("%1 %2 时").arg(WeekdayNames().value(Cell / 24)).arg(Cell % 24);
}

std::optional<TRecordChip> DrillChip(const TReportContent& Content, TChipKind Kind, int Item)
{
    switch (Kind) {
    case ckDay:
        if (Item >= 0 && Item < Content.Days.size())
            return TRecordChip{ckDay, Content.Days[Item].Text, 0};
        break;
    case ckHour:
        if (Item >= 0 && Item < 7 * 24)
            return TRecordChip{ckHour, QString(), Item};
        break;
    case ckBrowser:
        if (Item >= 0 && Item < Content.Brs.size())
            return TRecordChip{ckBrowser, Content.Brs[Item].Name, 0};
        break;
    case ckCategory:
        if (Item >= 0 && Item < Content.Cats.size())
            return TRecordChip{ckCategory, Content.Cats[Item].Name, 0};
        break;
    }
    return std::nullopt;
}

std::optional<qint32> DayOfText(QAnyStringView Text, int* Hour)
{
    char C[13] = {};
    const qsizetype N = std::min<qsizetype>(Text.size(), 13);
    Text.visit([&](auto V) {
        for (qsizetype I = 0; I < N; ++I) {
            char32_t U = 0;
            if constexpr (IsUtf8View<decltype(V)>)
                U = uchar(V[I]);
            else
                U = V[I].unicode();
            C[I] = U < 0x80 ? char(U) : '\0';
        }
    });
    if (Hour)
        *Hour = -1;
    const int Y = Digits(C, 4), M = Digits(C + 5, 2), D = Digits(C + 8, 2);
    if (N < 10 || C[4] != '-' || C[7] != '-' || Y < 0 || M < 1 || M > 12 || D < 1 || D > 31)
        return std::nullopt;
    static constexpr int kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool Leap = (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0;
    if (D > kMonthDays[M - 1] || (M == 2 && D == 29 && !Leap))
        return std::nullopt;
    const qint64 Days = DaysFromCivil(Y, M, D);
    const int H = Digits(C + 11, 2);
    if (Hour && N == 13 && C[10] == ' ' && H >= 0 && H < 24)
        *Hour = H;
    return qint32(Days);
}

void TRecordKeys::Build(const TJsonValue* Records)
{
    *this = TRecordKeys();
    if (!Records || !Records->IsArray())
        return;
    const size_t N = size_t(Records->Count());
    FDay.assign(N, kNoDay);
    FCell.assign(N, kNoCell);
    FBrowser.assign(N, kNoBrowser);
    FCategory.assign(N, kNoCategory);
    TMemberReader Time(kRecordKeys[rcTime]);
    TMemberReader Browser(kRecordKeys[rcBrowser]);
    TMemberReader Url(kRecordKeys[rcUrl]);
    // Browser names by their bytes in the document, and by their text for
    // the few written with escapes, which may name the same browser.
    std::unordered_map<std::string_view, quint16> BrowserByBytes;
    QHash<QString, quint16> BrowserByName;
    const auto BrowserOf = [&](const QString& Name) -> quint16 {
        const auto It = BrowserByName.constFind(Name);
        if (It != BrowserByName.constEnd())
            return It.value();
        if (FBrowsers.size() >= kNoBrowser)
            return kNoBrowser;
        FBrowsers << Name;
        return BrowserByName[Name] = quint16(FBrowsers.size() - 1);
    };
    TCategoryCache CategoryCache;
    for (size_t I = 0; I < N; ++I) {
        const TJsonValue* R = Records->Items(int(I));
        if (!R->IsObject())
            continue;
        int Hour = -1;
        if (const std::optional<qint32> Day = DayOfText(Time.Read(R), &Hour)) {
            FDay[I] = *Day;
            // 1970-01-01 was a Thursday; weekday 0 is Sunday.
            const int Weekday = int(((qint64(*Day) + 4) % 7 + 7) % 7);
            if (Hour >= 0)
                FCell[I] = quint8(Weekday * 24 + Hour);
        }
        const QAnyStringView B = Browser.Read(R);
        const std::optional<std::string_view> B8 = Utf8Field(B);
        if (!B8) {
            FBrowser[I] = BrowserOf(B.toString());
        } else {
            const auto It = BrowserByBytes.find(*B8);
            FBrowser[I] = It != BrowserByBytes.end()
                              ? It->second
                              : BrowserByBytes[*B8] = BrowserOf(QString::fromUtf8(B8->data(), qsizetype(B8->size())));
        }
        const QAnyStringView U = Url.Read(R);
        const std::optional<std::string_view> U8 = Utf8Field(U);
        FCategory[I] = U8 ? CategoryCache.Of(*U8) : TCategoryCache::Of(U.toString());
    }
}

std::vector<int> TRecordKeys::Select(const std::vector<TRecordChip>& Chips, std::vector<int> Rows) const
{
    const auto Keep = [&Rows](auto Holds) { Rows.erase(std::remove_if(Rows.begin(), Rows.end(), std::not_fn(Holds)), Rows.end()); };
    Keep([this](int R) { return R >= 0 && R < Count(); });
    for (const TRecordChip& Chip : Chips) {
        switch (Chip.Kind) {
        case ckDay: {
            const std::optional<qint32> Day = DayOfText(Chip.Name);
            const qint32 D = Day ? *Day : kNoDay;
            Keep([&](int R) { return Day && FDay[size_t(R)] == D; });
            break;
        }
        case ckHour:
            Keep([&](int R) { return FCell[size_t(R)] == Chip.Cell; });
            break;
        case ckBrowser: {
            const qsizetype B = FBrowsers.indexOf(Chip.Name);
            Keep([&](int R) { return B >= 0 && FBrowser[size_t(R)] == B; });
            break;
        }
        case ckCategory: {
            const QList<TCategory>& Cats = Categories();
            const auto C = std::find_if(Cats.begin(), Cats.end(), [&](const TCategory& T) { return T.Name == Chip.Name; });
            const qsizetype Index = C == Cats.end() ? -1 : C - Cats.begin();
            Keep([&](int R) { return Index >= 0 && FCategory[size_t(R)] == Index; });
            break;
        }
        }
    }
    return Rows;
}

qsizetype TRecordKeys::MemoryBytes() const
{
    return qsizetype(FDay.capacity() * sizeof(qint32) + FCell.capacity() + FBrowser.capacity() * sizeof(quint16)
                     + FCategory.capacity());
}
