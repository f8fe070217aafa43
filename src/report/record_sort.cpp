#include "record_sort.h"

#include "json.h"
#include "plain_records.h"
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

// The string member Key of every record, as views into the tree.
std::vector<QAnyStringView> ColumnViews(const TJsonValue* Records, QLatin1StringView Key)
{
    std::vector<QAnyStringView> Views(static_cast<size_t>(Records->Count()));
    TMemberReader Reader(Key);
    for (size_t I = 0; I < Views.size(); ++I)
        Views[I] = Reader.Read(Records->Items(int(I)));
    return Views;
}

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

// Appends C in UTF-8 (surrogates too: byte order stays code point order).
void AppendUtf8(char32_t C, std::string& Out)
{
    if (C < 0x80) {
        Out += char(C);
    } else if (C < 0x800) {
        Out += char(0xC0 | (C >> 6));
        Out += char(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += char(0xE0 | (C >> 12));
        Out += char(0x80 | ((C >> 6) & 0x3F));
        Out += char(0x80 | (C & 0x3F));
    } else {
        Out += char(0xF0 | (C >> 18));
        Out += char(0x80 | ((C >> 12) & 0x3F));
        Out += char(0x80 | ((C >> 6) & 0x3F));
        Out += char(0x80 | (C & 0x3F));
    }
}

constexpr size_t kPrefix = 16;

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

// The distinct texts among Views as UTF-8 bytes (or, where texts seldom
// repeat, every text), in order of first
// appearance, and for each view the index of its text. Histories repeat
// their pages, browsers and profiles, so sorting the distinct texts is much
// less work. The bytes are views into the document; only texts the document
// escaped are encoded into Encoded (lone surrogates too, as three bytes, so
// that byte order stays code point order).
struct TDistinctTexts {
    std::vector<std::string_view> Bytes;
    std::vector<int> TextOf;
    std::deque<std::string> Encoded; // keeps its strings in place as it grows

    explicit TDistinctTexts(const std::vector<QAnyStringView>& Views);
};

// Whether the texts repeat enough for finding the distinct ones to pay, as
// a sample of them tells: visit times mostly differ, browsers never do.
bool TextsRepeat(const std::vector<QAnyStringView>& Views)
{
    constexpr size_t kSample = 4096;
    const size_t Step = std::max<size_t>(1, Views.size() / kSample);
    std::unordered_set<std::string_view> Seen;
    size_t Taken = 0;
    for (size_t I = 0; I < Views.size(); I += Step, ++Taken)
        if (const std::optional<std::string_view> U = Utf8Field(Views[I]))
            Seen.insert(*U);
    return Seen.size() * 4 < Taken * 3;
}

TDistinctTexts::TDistinctTexts(const std::vector<QAnyStringView>& Views)
{
    size_t Size = 16;
    while (Size < Views.size() * 2)
        Size *= 2;
    const bool Repeat = TextsRepeat(Views);
    std::vector<int> Slots(Repeat ? Size : 0, -1); // open addressing: indexes into Bytes
    TextOf.resize(Views.size());
    for (size_t I = 0; I < Views.size(); ++I) {
        std::optional<std::string_view> U = Utf8Field(Views[I]);
        if (!U) {
            std::string& Text = Encoded.emplace_back();
            for (const char32_t C : CodePoints(Views[I]))
                AppendUtf8(C, Text);
            U = Text;
        }
        if (!Repeat) {
            TextOf[I] = int(Bytes.size());
            Bytes.push_back(*U);
            continue;
        }
        size_t Slot = std::hash<std::string_view>()(*U) & (Size - 1);
        while (Slots[Slot] >= 0 && Bytes[size_t(Slots[Slot])] != *U)
            Slot = (Slot + 1) & (Size - 1);
        if (Slots[Slot] < 0) {
            Slots[Slot] = int(Bytes.size());
            Bytes.push_back(*U);
        }
        TextOf[I] = Slots[Slot];
    }
}

// The indexes of Texts in the order of their bytes.
std::vector<int> SortedTexts(const std::vector<std::string_view>& Texts, bool Down)
{
    std::vector<TSortEntry> Entries(Texts.size());
    for (size_t I = 0; I < Texts.size(); ++I) {
        Entries[I].Row = int(I);
        SetKey(Entries[I], Texts[I], 0, Down);
    }
    std::sort(Entries.begin(), Entries.end());
    // Texts whose keys agree and go on are ordered by their next bytes, and
    // so on (a stack rather than recursion: texts may be long).
    struct TRun {
        size_t Begin, End, Offset;
    };
    std::vector<TRun> Runs;
    const auto PushRuns = [&](size_t Begin, size_t End, size_t Offset) {
        for (size_t B = Begin; B < End;) {
            size_t E = B + 1;
            while (E < End && SameKey(Entries[B], Entries[E]))
                ++E;
            if (E - B > 1 && HasMore(Entries[B], Down))
                Runs.push_back({B, E, Offset});
            B = E;
        }
    };
    PushRuns(0, Entries.size(), kPrefix);
    while (!Runs.empty()) {
        const TRun R = Runs.back();
        Runs.pop_back();
        const auto Begin = Entries.begin() + qsizetype(R.Begin);
        const auto End = Entries.begin() + qsizetype(R.End);
        for (auto E = Begin; E != End; ++E)
            SetKey(*E, Texts[size_t(E->Row)], R.Offset, Down);
        std::sort(Begin, End);
        PushRuns(R.Begin, R.End, R.Offset + kPrefix);
    }
    std::vector<int> Order(Entries.size());
    for (size_t I = 0; I < Entries.size(); ++I)
        Order[I] = Entries[I].Row;
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
    const TDistinctTexts Texts(ColumnViews(Records, kRecordKeys[Sort.Column]));
    // Each distinct text's place in the order; the records of a text then
    // follow in document order, in either direction (a counting sort).
    const std::vector<int> Sorted = SortedTexts(Texts.Bytes, Sort.Direction == sdDescending);
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
