#include "filter_index.h"

#include "filter_query.h"
#include "folded_coding.h"
#include "json.h"
#include "plain_records.h"
#include "record_filter.h"
#include "simd.h"

#include <algorithm>
#include <numeric>
#include <string_view>

// Offsets from the first field byte on fit in 32 bits: every UTF-8 text of a
// tree lies in the bytes it was parsed from, which the parser takes only up
// to this length.
static_assert(quint64(kJsonMaxTextLength) <= 0xFFFFFFFFu);

namespace {

// The checks read the tree, where every record is a cache miss or two;
// asking for the records a few checks ahead lets those misses overlap.
constexpr size_t kAhead = 16;

template <typename TRecordAt>
void PrefetchAhead(size_t K, size_t N, TRecordAt RecordAt)
{
    if (K + kAhead < N)
        Prefetch(RecordAt(K + kAhead));
    if (K + kAhead / 2 < N)
        if (const TJsonValue* First = RecordAt(K + kAhead / 2)->PairValue(0))
            Prefetch(First - 1);
}

// The first place at or after From in the ascending [From, End) holding a
// value not below V: steps that double from From, then a binary search, so
// a run of nearby lookups stays near where the last one ended.
std::vector<int>::const_iterator Gallop(std::vector<int>::const_iterator From, std::vector<int>::const_iterator End,
                                        int V)
{
    ptrdiff_t Step = 1;
    auto Lo = From;
    while (End - Lo > Step && Lo[Step] < V) {
        Lo += Step;
        Step *= 2;
    }
    return std::lower_bound(Lo, End - Lo > Step ? Lo + Step + 1 : End, V);
}

}  // namespace

void TFilterIndex::Clear()
{
    *this = TFilterIndex();
}

void TFilterIndex::Build(const TJsonValue* Records)
{
    Clear();
    if (!Records || !Records->IsArray())
        return;
    FRecords = Records;
    FCount = Records->Count();
    FBegin.reserve(size_t(FCount));
    FEnd.reserve(size_t(FCount));
    FPlainRow.reserve(size_t(FCount));
    TFieldReader Reader;
    for (int I = 0; I < FCount; ++I) {
        const TJsonValue* R = Records->Items(I);
        // Anything but an object has no text, so no term is ever in it.
        if (!R->IsObject())
            continue;
        const char* Lo = nullptr;
        const char* Hi = nullptr;
        bool Plain = true;
        for (const QAnyStringView V : Reader.Read(R)) {
            const std::optional<std::string_view> F = Utf8Field(V);
            if (!F) {
                Plain = false;
                break;
            }
            if (F->empty())
                continue;
            Lo = Lo ? std::min(Lo, F->data()) : F->data();
            Hi = Hi ? std::max(Hi, F->data() + F->size()) : F->data() + F->size();
        }
        if (!Plain) {
            FOther.push_back(I);
        } else if (Lo) {
            if (!FBase)
                FBase = Lo;
            FPlainRow.push_back(I);
            FBegin.push_back(quint32(Lo - FBase));
            FEnd.push_back(quint32(Hi - FBase));
        }
    }
    if (!FPlainRow.empty())
        CountBytes(FCounts, std::string_view(FBase, FEnd.back()));
    FBegin.shrink_to_fit();
    FEnd.shrink_to_fit();
    FPlainRow.shrink_to_fit();
    FOther.shrink_to_fit();

    qsizetype Bytes = 0;
    for (const int I : FOther)
        for (const QAnyStringView V : Reader.Read(Records->Items(I)))
            Bytes += FoldedCodeSize(V) + 1;
    FOtherTexts.Reserve(qsizetype(FOther.size()), Bytes);
    for (const int I : FOther) {
        const TFieldReader::TFields F = Reader.Read(Records->Items(I));
        FOtherTexts.Add(F[0], F[1], F[2], F[3]);
    }
}

TByteSpan TFilterIndex::Span(size_t Plain) const
{
    return {FBase + FBegin[Plain], FBase + FEnd[Plain]};
}

std::vector<int> TFilterIndex::Match(const QStringList& Terms) const
{
    std::vector<int> Out;
    if (Terms.isEmpty()) {
        Out.resize(size_t(FCount));
        std::iota(Out.begin(), Out.end(), 0);
        return Out;
    }
    const TFilterQuery Query(Terms);
    if (!Query.Paired)
        return ScanRecords(FRecords, Query.Folded);

    // Records with UTF-8 fields are found in the document's bytes, then
    // checked one by one; the others are searched in their folded texts.
    std::vector<int> Found;
    const std::string_view Bytes = FPlainRow.empty() ? std::string_view() : std::string_view(FBase, FEnd.back());
    const TSearchPiece Piece = ChooseSearchPiece(Query.Utf8, Bytes, FCounts);
    if (!Piece.Piece.empty() && !Bytes.empty()) {
        // First the records hit in the bytes, then the check of each, so
        // that the records to check are known ahead.
        struct THit {
            size_t Plain;
            const char* At;
        };
        std::vector<THit> Hits;
        const TPiecePlan Plan = PlanPiece(Piece.Piece, FCounts);
        const char* const End = Bytes.data() + Bytes.size();
        size_t I = 0;
        const char* P = FBase;
        while (I < FPlainRow.size()) {
            const char* Hit = FindFolded(P, End, Plan);
            if (Hit == End)
                break;
            const quint32 Off = quint32(Hit - FBase);
            while (I < FPlainRow.size() && FEnd[I] <= Off)
                ++I;
            if (I == FPlainRow.size())
                break;
            // In a record's fields, perhaps: the whole rule decides below.
            // Between records (keys, times) nothing counts.
            if (Off >= FBegin[I])
                Hits.push_back({I++, Hit});
            if (I < FPlainRow.size())
                P = FBase + FBegin[I];
        }
        TPlainCheck Check(Query.Utf8, FCounts);
        const auto Record = [&](size_t K) { return FRecords->Items(FPlainRow[Hits[K].Plain]); };
        for (size_t K = 0; K < Hits.size(); ++K) {
            PrefetchAhead(K, Hits.size(), Record);
            const size_t Plain = Hits[K].Plain;
            if (Check.Holds(Record(K), Span(Plain), TFoundTerm{Piece.Term, Hits[K].At}))
                Found.push_back(FPlainRow[Plain]);
        }
    }
    std::vector<int> Others = FOtherTexts.Match(Query.Coded);
    for (int& R : Others)
        R = FOther[size_t(R)];
    Out.resize(Found.size() + Others.size());
    std::merge(Found.begin(), Found.end(), Others.begin(), Others.end(), Out.begin());
    return Out;
}

std::vector<int> TFilterIndex::MatchWithin(const QStringList& Terms, const std::vector<int>& Rows) const
{
    if (Terms.isEmpty())
        return Match(Terms);
    const TFilterQuery Query(Terms);
    TPlainCheck Check(Query.Utf8, FCounts);

    std::vector<int> Out;
    auto PlainAt = FPlainRow.cbegin();
    auto OtherAt = FOther.cbegin();
    const auto Record = [&](size_t K) { return FRecords->Items(Rows[K]); };
    for (size_t K = 0; K < Rows.size(); ++K) {
        PrefetchAhead(K, Rows.size(), Record);
        // And the record's own bytes, from its first member's text on.
        if (K + kAhead / 4 < Rows.size())
            if (const TJsonValue* First = Record(K + kAhead / 4)->PairValue(0))
                if (const char* Text = static_cast<const char*>(First->StrView().data()))
                    for (int Line = 0; Line < 4; ++Line)
                        Prefetch(Text + 64 * Line);
        const int R = Rows[K];
        if (!Query.Paired) {
            if (RecordMatches(Record(K), Query.Folded))
                Out.push_back(R);
            continue;
        }
        // A row is a plain record, one with escaped fields, or one with no
        // text at all, which no term is ever in.
        // Rows ascend, so each lookup starts where the last one ended.
        PlainAt = Gallop(PlainAt, FPlainRow.cend(), R);
        if (PlainAt != FPlainRow.cend() && *PlainAt == R) {
            if (Check.Holds(Record(K), Span(size_t(PlainAt - FPlainRow.cbegin()))))
                Out.push_back(R);
            continue;
        }
        OtherAt = Gallop(OtherAt, FOther.cend(), R);
        if (OtherAt != FOther.cend() && *OtherAt == R && FOtherTexts.Holds(OtherAt - FOther.cbegin(), Query.Coded))
            Out.push_back(R);
    }
    return Out;
}

qsizetype TFilterIndex::MemoryBytes() const
{
    return qsizetype((FBegin.capacity() + FEnd.capacity()) * sizeof(quint32)
                     + (FPlainRow.capacity() + FOther.capacity()) * sizeof(int))
           + FOtherTexts.MemoryBytes();
}
