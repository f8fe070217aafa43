#include "record_sort.h"

#include "json.h"
#include "plain_records.h"
#include "simd.h"
#include "utf8.h"

#include <QChar>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

// The string member of each record, read where the tree holds it.
class TColumn final {
public:
    TColumn(const TJsonValue* Records, QLatin1StringView Key) : FRecords(Records), FReader(Key) {}
    size_t Size() const { return size_t(FRecords->Count()); }
    QAnyStringView At(size_t I) { return FReader.Read(FRecords->Items(int(I))); }

private:
    const TJsonValue* FRecords;
    TMemberReader FReader;
};

// The code points of a text. A lone surrogate stands for itself, so that
// texts from escapes order by their code units where they are not pairs.
std::u32string CodePoints(QAnyStringView Text)
{
    return Text.visit([](auto V) {
        std::u32string Out;
        Out.reserve(size_t(V.size()));
        if constexpr (IsUtf16View<decltype(V)>) {
            for (qsizetype I = 0; I < V.size(); ++I) {
                char32_t C = V[I].unicode();
                if (QChar::isHighSurrogate(C) && I + 1 < V.size() && V[I + 1].isLowSurrogate())
                    C = QChar::surrogateToUcs4(char16_t(C), V[++I].unicode());
                Out.push_back(C);
            }
        } else if constexpr (IsUtf8View<decltype(V)>) {
            const char* P = V.data();
            const char* End = P + V.size();
            while (P < End) {
                char16_t Units[2];
                const int N = DecodeUtf8Char(P, Units);
                Out.push_back(N == 2 ? QChar::surrogateToUcs4(Units[0], Units[1]) : char32_t(Units[0]));
            }
        } else {
            for (qsizetype I = 0; I < V.size(); ++I)
                Out.push_back(char32_t(uchar(V.data()[I])));
        }
        return Out;
    });
}

constexpr size_t kPrefix = 16;
constexpr size_t kAhead = 32; // entries whose texts are asked for ahead

quint64 BigEndian(const unsigned char* P)
{
    quint64 V = 0;
    for (int I = 0; I < 8; ++I)
        V = V << 8 | P[I];
    return V;
}

// A row keyed by 16 bytes of its text's UTF-8, from some offset on, as two
// numbers (zeros after the end) and how many bytes there were (17: more).
// Comparing keys orders most rows; only rows whose keys agree and whose
// texts go on need the next 16 bytes.
struct TSortEntry {
    quint64 Hi = 0;
    quint64 Lo = 0;
    int Row = 0;
    quint8 Len = 0;
};

constexpr quint8 kMore = kPrefix + 1;

bool operator<(const TSortEntry& A, const TSortEntry& B)
{
    return A.Hi != B.Hi ? A.Hi < B.Hi : A.Lo != B.Lo ? A.Lo < B.Lo : A.Len != B.Len ? A.Len < B.Len : A.Row < B.Row;
}

bool SameKey(const TSortEntry& A, const TSortEntry& B)
{
    return A.Hi == B.Hi && A.Lo == B.Lo && A.Len == B.Len;
}

// Keys E by the bytes of Text from Offset on. Down inverts the key, so
// that one ascending sort serves both directions.
void SetKey(TSortEntry& E, std::string_view Text, size_t Offset, bool Down)
{
    unsigned char Bytes[kPrefix] = {};
    const std::string_view Rest = Text.substr(std::min(Offset, Text.size()));
    if (!Rest.empty())
        std::memcpy(Bytes, Rest.data(), std::min(Rest.size(), kPrefix));
    const quint64 Flip = Down ? ~quint64(0) : 0;
    E.Hi = BigEndian(Bytes) ^ Flip;
    E.Lo = BigEndian(Bytes + 8) ^ Flip;
    E.Len = quint8(std::min(Rest.size(), size_t(kMore)));
    if (Down)
        E.Len = quint8(kMore - E.Len);
}

bool HasMore(const TSortEntry& E, bool Down)
{
    return E.Len == (Down ? 0 : kMore);
}

// The distinct texts of a column as UTF-8 bytes (or, where texts seldom
// repeat, every text), in order of first appearance, and for each record
// the index of its text. Histories repeat their pages, browsers and
// profiles, so sorting the distinct texts is much less work. The bytes are views into the document; only texts the document
// escaped are encoded into Encoded (lone surrogates too, as three bytes, so
// that byte order stays code point order).
struct TDistinctTexts {
    std::vector<std::string_view> Bytes;
    std::vector<int> TextOf;
    std::deque<std::string> Encoded; // keeps its strings in place as it grows

    explicit TDistinctTexts(TColumn Column);
};

// Whether the texts repeat enough for finding the distinct ones to pay, as
// a sample of them tells: visit times mostly differ, browsers never do.
bool TextsRepeat(TColumn& Column)
{
    constexpr size_t kSample = 4096;
    const size_t Step = std::max<size_t>(1, Column.Size() / kSample);
    std::unordered_set<std::string_view> Seen;
    size_t Taken = 0;
    for (size_t I = 0; I < Column.Size(); I += Step, ++Taken)
        if (const std::optional<std::string_view> U = Utf8Field(Column.At(I)))
            Seen.insert(*U);
    return Seen.size() * 4 < Taken * 3;
}

TDistinctTexts::TDistinctTexts(TColumn Column)
{
    // Open addressing, grown as texts come: a table for a few thousand
    // titles stays in the cache, where one sized for every record would not.
    struct TSlot {
        quint32 Hash = 0;
        int Text = -1; // index into Bytes
    };
    std::vector<TSlot> Slots(TextsRepeat(Column) ? 1024 : 0);
    const auto Add = [this](std::string_view Text) {
        Bytes.push_back(Text);
        return int(Bytes.size() - 1);
    };
    // The slot holding Text, or the free one where it belongs.
    const auto SlotOf = [&](std::string_view Text, quint32 Hash) {
        const size_t Mask = Slots.size() - 1;
        size_t Slot = Hash & Mask;
        while (Slots[Slot].Text >= 0 && (Slots[Slot].Hash != Hash || Bytes[size_t(Slots[Slot].Text)] != Text))
            Slot = (Slot + 1) & Mask;
        return Slot;
    };
    const auto Find = [&](std::string_view Text, quint32 Hash) {
        const size_t Slot = SlotOf(Text, Hash);
        if (Slots[Slot].Text >= 0)
            return Slots[Slot].Text;
        Slots[Slot] = {Hash, Add(Text)};
        if (Bytes.size() * 2 > Slots.size()) {
            std::vector<TSlot> Old(Slots.size() * 2);
            Old.swap(Slots);
            for (const TSlot& S : Old)
                if (S.Text >= 0)
                    Slots[SlotOf(Bytes[size_t(S.Text)], S.Hash)] = S;
        }
        return int(Bytes.size() - 1);
    };
    const size_t Count = Column.Size();
    TextOf.resize(Count);
    if (Slots.empty())
        Bytes.reserve(Count);
    // Texts and hashes a block at a time, their slots asked for ahead: the
    // table is bigger than the cache once texts seldom repeat.
    constexpr size_t kBlock = 16;
    std::string_view Block[kBlock];
    quint32 Hashes[kBlock];
    for (size_t First = 0; First < Count; First += kBlock) {
        const size_t N = std::min(kBlock, Count - First);
        for (size_t K = 0; K < N; ++K) {
            const QAnyStringView View = Column.At(First + K);
            std::optional<std::string_view> U = Utf8Field(View);
            if (!U) {
                std::string& Text = Encoded.emplace_back();
                for (const char32_t C : CodePoints(View))
                    AppendUtf8(Text, C);
                U = Text;
            }
            Block[K] = *U;
            if (!Slots.empty()) {
                Hashes[K] = quint32(std::hash<std::string_view>()(*U));
                Prefetch(&Slots[Hashes[K] & (Slots.size() - 1)]);
            }
        }
        for (size_t K = 0; K < N; ++K)
            TextOf[First + K] = Slots.empty() ? Add(Block[K]) : Find(Block[K], Hashes[K]);
    }
}

// The texts lie anywhere in the document: at entry I, the views of the
// entries further ahead and the bytes of those nearer are asked for.
void PrefetchText(const std::vector<std::string_view>& Texts, const TSortEntry* Entries, size_t Count, size_t I,
                  size_t Offset)
{
    if (I + 2 * kAhead < Count)
        Prefetch(&Texts[size_t(Entries[I + 2 * kAhead].Row)]);
    if (I + kAhead < Count) {
        const std::string_view Next = Texts[size_t(Entries[I + kAhead].Row)];
        Prefetch(Next.data() + std::min(Offset, Next.size()));
    }
}

// How many bytes from Offset on the texts of Entries all share.
size_t SharedBytes(const std::vector<std::string_view>& Texts, const TSortEntry* Entries, size_t Count,
                   size_t Offset)
{
    const auto Tail = [&](size_t I) {
        const std::string_view Text = Texts[size_t(Entries[I].Row)];
        return Text.substr(std::min(Offset, Text.size()));
    };
    const std::string_view First = Tail(0);
    size_t Shared = First.size();
    for (size_t I = 1; I < Count && Shared > 0; ++I) {
        PrefetchText(Texts, Entries, Count, I, Offset);
        const std::string_view Text = Tail(I);
        Shared = size_t(std::mismatch(First.begin(), First.begin() + qsizetype(std::min(Shared, Text.size())),
                                      Text.begin())
                            .first -
                        First.begin());
    }
    return Shared;
}

void Keyed(const std::vector<std::string_view>& Texts, TSortEntry* Entries, size_t Count, size_t Offset, bool Down)
{
    for (size_t I = 0; I < Count; ++I) {
        PrefetchText(Texts, Entries, Count, I, Offset);
        SetKey(Entries[I], Texts[size_t(Entries[I].Row)], Offset, Down);
    }
}

// The indexes of Texts in the order of their bytes: sorted by 16 bytes,
// then the texts whose keys agree and go on by their next bytes, and so on
// (a stack rather than recursion: texts may be long). Bytes that all texts
// of such a run share are skipped: URLs share long beginnings.
std::vector<int> SortedTexts(const std::vector<std::string_view>& Texts, bool Down)
{
    std::vector<TSortEntry> Entries(Texts.size());
    for (size_t I = 0; I < Texts.size(); ++I)
        Entries[I].Row = int(I);
    struct TRun {
        size_t Begin, End, Offset;
    };
    std::vector<TRun> Runs;
    if (!Entries.empty())
        Runs.push_back({0, Entries.size(), 0});
    while (!Runs.empty()) {
        const TRun R = Runs.back();
        Runs.pop_back();
        TSortEntry* const Begin = Entries.data() + R.Begin;
        const size_t Count = R.End - R.Begin;
        const size_t Offset = R.Offset + SharedBytes(Texts, Begin, Count, R.Offset);
        Keyed(Texts, Begin, Count, Offset, Down);
        std::sort(Begin, Begin + Count);
        for (size_t B = R.Begin; B < R.End;) {
            size_t E = B + 1;
            while (E < R.End && SameKey(Entries[B], Entries[E]))
                ++E;
            if (E - B > 1 && HasMore(Entries[B], Down))
                Runs.push_back({B, E, Offset + kPrefix});
            B = E;
        }
    }
    std::vector<int> Order(Entries.size());
    for (size_t I = 0; I < Entries.size(); ++I)
        Order[I] = Entries[I].Row;
    return Order;
}

// The key of a date-time as the collector writes it ("2026-10-01 21:05:33"):
// its digits as one number, which orders as the text does; one more, so
// that an empty text (0) comes first. False for any other text.
bool DateTimeKey(std::string_view Text, quint64& Key)
{
    static constexpr std::string_view kShape = "0000-00-00 00:00:00";
    if (Text.empty()) {
        Key = 0;
        return true;
    }
    if (Text.size() != kShape.size())
        return false;
    quint64 V = 0;
    for (size_t I = 0; I < kShape.size(); ++I) {
        const char C = Text[I];
        if (kShape[I] != '0') {
            if (C != kShape[I])
                return false;
        } else if (C >= '0' && C <= '9') {
            V = V * 10 + quint64(C - '0');
        } else {
            return false;
        }
    }
    Key = V + 1;
    return true;
}

// The records in the order of their date-time keys, or nothing when some
// record's text is no date-time. Times mostly differ, so comparing texts
// would sort a million of them; numbers sort by radix, 16 bits a pass,
// stable as document order requires.
std::vector<int> DateTimeOrder(const TJsonValue* Records, QLatin1StringView Member, bool Down)
{
    TColumn Column(Records, Member);
    const size_t Count = Column.Size();
    std::vector<quint64> Keys(Count);
    quint64 Max = 0;
    for (size_t I = 0; I < Count; ++I) {
        const std::optional<std::string_view> U = Utf8Field(Column.At(I));
        if (!U || !DateTimeKey(*U, Keys[I]))
            return {};
        Max = std::max(Max, Keys[I]);
    }
    if (Down)
        for (quint64& K : Keys)
            K = Max - K;
    std::vector<int> Order(Count), Next(Count);
    std::iota(Order.begin(), Order.end(), 0);
    std::vector<quint64> NextKeys(Count);
    for (int Shift = 0; Shift < 64 && (Max >> Shift) != 0; Shift += 16) {
        std::vector<size_t> Start((1 << 16) + 1, 0);
        for (const quint64 K : Keys)
            ++Start[((K >> Shift) & 0xFFFF) + 1];
        std::partial_sum(Start.begin(), Start.end(), Start.begin());
        for (size_t I = 0; I < Count; ++I) {
            const size_t To = Start[(Keys[I] >> Shift) & 0xFFFF]++;
            Next[To] = Order[I];
            NextKeys[To] = Keys[I];
        }
        Order.swap(Next);
        Keys.swap(NextKeys);
    }
    return Order;
}

} // namespace

TRecordSort TRecordSort::Clicked(int Header) const
{
    if (Header != Column || Direction == sdNone)
        return {Header, sdAscending};
    if (Direction == sdAscending)
        return {Header, sdDescending};
    return {};
}

int CompareCodePoints(QAnyStringView A, QAnyStringView B)
{
    const std::optional<std::string_view> UA = Utf8Field(A);
    const std::optional<std::string_view> UB = Utf8Field(B);
    // UTF-8 bytes in byte order are code points in code point order.
    const int C = UA && UB ? UA->compare(*UB) : CodePoints(A).compare(CodePoints(B));
    return (C > 0) - (C < 0);
}

std::vector<int> SortedRecords(const TJsonValue* Records, TRecordSort Sort)
{
    if (!Records || !Records->IsArray())
        return {};
    std::vector<int> Order(size_t(Records->Count()));
    if (Sort.Direction == sdNone || Sort.Column < 0 || Sort.Column >= rcColumnCount) {
        std::iota(Order.begin(), Order.end(), 0);
        return Order;
    }
    const bool Down = Sort.Direction == sdDescending;
    if (std::vector<int> ByTime = DateTimeOrder(Records, kRecordKeys[Sort.Column], Down); !ByTime.empty())
        return ByTime;
    const TDistinctTexts Texts(TColumn(Records, kRecordKeys[Sort.Column]));
    // Each distinct text's place in the order; the records of a text then
    // follow in document order, in either direction (a counting sort).
    const std::vector<int> Sorted = SortedTexts(Texts.Bytes, Down);
    std::vector<int> Start(Sorted.size() + 1, 0);
    std::vector<int> Rank(Sorted.size());
    for (size_t I = 0; I < Sorted.size(); ++I)
        Rank[size_t(Sorted[I])] = int(I);
    for (const int T : Texts.TextOf)
        ++Start[size_t(Rank[size_t(T)]) + 1];
    std::partial_sum(Start.begin(), Start.end(), Start.begin());
    for (size_t I = 0; I < Texts.TextOf.size(); ++I)
        Order[size_t(Start[size_t(Rank[size_t(Texts.TextOf[I])])]++)] = int(I);
    return Order;
}

std::vector<int> InOrder(const std::vector<int>& Order, const std::vector<int>& Rows, qsizetype Count)
{
    if (Order.empty())
        return Rows;
    if (qsizetype(Rows.size()) == Count)
        return Order;
    std::vector<bool> Shown(static_cast<size_t>(Count));
    for (const int R : Rows)
        Shown[size_t(R)] = true;
    std::vector<int> Out;
    Out.reserve(Rows.size());
    for (const int R : Order)
        if (Shown[size_t(R)])
            Out.push_back(R);
    return Out;
}
