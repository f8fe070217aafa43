#include "filter_index.h"

#include "json.h"
#include "record_filter.h"
#include "simd.h"
#include "utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <optional>
#include <string_view>

namespace {

inline char FoldByte(char C)
{
    return C >= 'A' && C <= 'Z' ? char(C + 32) : C;
}

// The coding of the folded texts of records with escaped fields: every
// UTF-16 code unit as 1 to 3 bytes (UTF-8 shapes, surrogates encoded one by
// one). It is prefix-free and self-synchronising, so a term occurs in a text
// exactly when its bytes occur in the text's bytes, lone surrogates included.
inline qsizetype EncodedSize(QStringView S)
{
    qsizetype N = S.size();
    for (const QChar Ch : S) {
        const char16_t C = Ch.unicode();
        if (C >= 0x80)
            N += C >= 0x800 ? 2 : 1;
    }
    return N;
}

// UTF-8 is the coding already, except that a four-byte sequence becomes
// its two surrogates of three bytes each.
inline qsizetype EncodedSize(QUtf8StringView S)
{
    qsizetype N = S.size();
    for (const char C : S)
        if (uchar(C) >= 0xF0)
            N += 2;
    return N;
}

inline qsizetype EncodedSize(QAnyStringView S)
{
    return S.visit([](auto V) {
        if constexpr (!IsUtf16View<decltype(V)> && !IsUtf8View<decltype(V)>)
            return EncodedSize(QStringView(V.toString()));
        else
            return EncodedSize(V);
    });
}

inline char* EncodeUnit(char* Out, char16_t C)
{
    if (C < 0x80) {
        *Out++ = char(C);
    } else if (C < 0x800) {
        *Out++ = char(0xC0 | (C >> 6));
        *Out++ = char(0x80 | (C & 0x3F));
    } else {
        *Out++ = char(0xE0 | (C >> 12));
        *Out++ = char(0x80 | ((C >> 6) & 0x3F));
        *Out++ = char(0x80 | (C & 0x3F));
    }
    return Out;
}

// Writes the folded text code unit by code unit; returns one past the end.
inline char* Encode(char* Out, QStringView S)
{
    for (const QChar Ch : S)
        Out = EncodeUnit(Out, FoldAsciiChar(Ch.unicode()));
    return Out;
}

inline char* Encode(char* Out, QUtf8StringView S)
{
    const char* P = S.data();
    const char* const End = P + S.size();
    while (P < End) {
        const uchar B = uchar(*P);
        if (B < 0xF0) {
            // ASCII folds; other bytes of shorter sequences copy as they are.
            *Out++ = char(B >= 'A' && B <= 'Z' ? B + 32 : B);
            ++P;
            continue;
        }
        char16_t Pair[2];
        DecodeUtf8Char(P, Pair);
        Out = EncodeUnit(EncodeUnit(Out, Pair[0]), Pair[1]);
    }
    return Out;
}

inline char* Encode(char* Out, QAnyStringView S)
{
    return S.visit([Out](auto V) {
        if constexpr (!IsUtf16View<decltype(V)> && !IsUtf8View<decltype(V)>)
            return Encode(Out, QStringView(V.toString()));
        else
            return Encode(Out, V);
    });
}

std::string EncodeTerm(const QString& Term)
{
    std::string S(size_t(EncodedSize(QStringView(Term))), '\0');
    Encode(S.data(), QStringView(Term));
    return S;
}

// The searched fields of records in the order title, url, browser, profile,
// as the plain rule reads them (the first member of each name, if a string).
// Records share their lists of keys, so the places of
// the fields are looked up once per list.
class TFieldReader
{
public:
    using TFields = std::array<QAnyStringView, 4>;

    TFields Read(const TJsonValue* Record)
    {
        const void* Id = Record->KeyListId();
        if (Id != FId) {
            FId = Id;
            for (int K = 0; K < 4; ++K) {
                FSlot[K] = -1;
                for (int I = 0; I < Record->PairCount() && FSlot[K] < 0; ++I)
                    if (Record->PairKeyView(I) == kSearchedKeys[K])
                        FSlot[K] = I;
            }
        }
        TFields Out;
        for (int K = 0; K < 4; ++K) {
            const TJsonValue* V = FSlot[K] < 0 ? nullptr : Record->PairValue(FSlot[K]);
            if (V && V->IsString())
                Out[K] = V->StrView();
        }
        return Out;
    }

private:
    const void* FId = nullptr;
    std::array<int, 4> FSlot{-1, -1, -1, -1};
};

// The UTF-8 bytes of a field the tree holds as a view into the document,
// or nullopt for a field it holds as UTF-16 (one that had escapes).
std::optional<std::string_view> Utf8Field(QAnyStringView Field)
{
    return Field.visit([](auto V) -> std::optional<std::string_view> {
        if constexpr (IsUtf8View<decltype(V)>)
            return std::string_view(V.data(), size_t(V.size()));
        else if (V.isEmpty())
            return std::string_view();
        else
            return std::nullopt;
    });
}

inline void Prefetch(const void* P)
{
#if defined(__GNUC__)
    __builtin_prefetch(P);
#else
    Q_UNUSED(P);
#endif
}

// Whether every surrogate in Text is half of a pair: only such text has a
// UTF-8 form in which substrings are the same as in UTF-16.
bool PairedSurrogates(QStringView Text)
{
    for (qsizetype I = 0; I < Text.size(); ++I) {
        if (Text[I].isHighSurrogate() && I + 1 < Text.size() && Text[I + 1].isLowSurrogate())
            ++I;
        else if (Text[I].isSurrogate())
            return false;
    }
    return true;
}

// Filter terms as the searches use them: folded, and in UTF-8 when that
// coding keeps their substrings (Paired).
struct TPreparedTerms {
    QStringList Folded;
    std::vector<std::string> Utf8;
    bool Paired = true;

    explicit TPreparedTerms(const QStringList& Terms)
    {
        for (const QString& T : Terms) {
            Folded.append(FoldAscii(T));
            Paired = Paired && PairedSurrogates(Folded.back());
            Utf8.push_back(Folded.back().toStdString());
        }
    }
};

// How a blank-free piece of the terms is looked for in the document: two of
// its bytes, the rarest there, are tested sixteen positions at a time,
// letters in either case, and only where both agree is the whole piece
// compared.
struct TPiecePlan {
    std::string_view Piece;  // folded
    size_t A = 0;
    size_t B = 0;
};

TPiecePlan PlanPiece(std::string_view Piece, const std::array<quint32, 256>& Freq)
{
    TPiecePlan P;
    P.Piece = Piece;
    if (Piece.size() < 2)
        return P;
    auto Rarer = [&](size_t X, size_t Y) { return Freq[uchar(Piece[X])] < Freq[uchar(Piece[Y])]; };
    size_t A = 0;
    for (size_t I = 1; I < Piece.size(); ++I)
        if (Rarer(I, A))
            A = I;
    size_t B = A == 0 ? 1 : 0;
    for (size_t I = 0; I < Piece.size(); ++I)
        if (I != A && Rarer(I, B))
            B = I;
    P.A = A;
    P.B = B;
    return P;
}

bool FoldedEqual(const char* Text, std::string_view Folded)
{
    for (size_t I = 0; I < Folded.size(); ++I)
        if (FoldByte(Text[I]) != Folded[I])
            return false;
    return true;
}

// First place in [From, End) where the piece occurs, ASCII letters in either
// case; End when there is none.
const char* FindFolded(const char* From, const char* End, const TPiecePlan& P)
{
    const size_t N = P.Piece.size();
    if (size_t(End - From) < N)
        return End;
#if MK_HAVE_SSE2
    // A lower-case letter matches either case once bit 0x20 is set; any
    // other byte is compared as it is (the full compare sorts out the rest).
    auto Mask = [](char C) { return _mm_set1_epi8(C >= 'a' && C <= 'z' ? 0x20 : 0); };
    const char CA = P.Piece[P.A];
    const char CB = P.Piece[N > 1 ? P.B : P.A];
    const size_t OffB = N > 1 ? P.B : P.A;
    const __m128i VA = _mm_set1_epi8(CA);
    const __m128i VB = _mm_set1_epi8(CB);
    const __m128i MA = Mask(CA);
    const __m128i MB = Mask(CB);
    const char* Last = End - N;  // the last possible start
    const char* Pos = From;
    for (; Pos + 15 <= Last; Pos += 16) {
        const __m128i BlockA = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos + P.A)), MA);
        const __m128i BlockB = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos + OffB)), MB);
        unsigned Hits = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(BlockA, VA), _mm_cmpeq_epi8(BlockB, VB))));
        while (Hits) {
            const char* Cand = Pos + std::countr_zero(Hits);
            if (FoldedEqual(Cand, P.Piece))
                return Cand;
            Hits &= Hits - 1;
        }
    }
    From = Pos;
#endif
    for (const char* Pos = From; Pos + N <= End; ++Pos)
        if (FoldedEqual(Pos, P.Piece))
            return Pos;
    return End;
}

// Copies S with A..Z folded to a..z; returns one past the end of the copy.
char* FoldCopy(char* Out, std::string_view S)
{
    const char* P = S.data();
    const char* const End = P + S.size();
#if MK_HAVE_SSE2
    const __m128i A = _mm_set1_epi8('A');
    const __m128i Span = _mm_set1_epi8(25);
    const __m128i Bit = _mm_set1_epi8(0x20);
    for (; End - P >= 16; P += 16, Out += 16) {
        const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
        const __m128i Off = _mm_sub_epi8(B, A);
        const __m128i Upper = _mm_cmpeq_epi8(_mm_min_epu8(Off, Span), Off);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm_or_si128(B, _mm_and_si128(Upper, Bit)));
    }
#endif
    while (P < End)
        *Out++ = FoldByte(*P++);
    return Out;
}

// Whether a record whose fields are all UTF-8 holds every term (folded,
// UTF-8; for text without lone surrogates, substrings there are the UTF-16
// ones). A term without blanks cannot reach across the blanks that join the
// fields: it holds when it occurs inside a field, which is looked for in
// the record's bytes [Begin, End) (from the hit, for the term the hit was
// for). A term with blanks is looked for in the folded "title url browser
// profile", built in Text.
bool PlainMatches(const std::array<QAnyStringView, 4>& Views, const std::vector<TPiecePlan>& Terms, size_t HitTerm,
                  const char* Hit, const char* Begin, const char* End, std::string& Text)
{
    std::array<std::string_view, 4> Fields;
    for (size_t K = 0; K < 4; ++K)
        Fields[K] = Utf8Field(Views[K]).value_or(std::string_view());
    Text.clear();
    for (size_t I = 0; I < Terms.size(); ++I) {
        const TPiecePlan& T = Terms[I];
        const size_t N = T.Piece.size();
        if (T.Piece.find(' ') == std::string_view::npos) {
            const auto Inside = [&](const char* At) {
                return std::any_of(Fields.begin(), Fields.end(), [&](std::string_view F) {
                    return At >= F.data() && At + N <= F.data() + F.size();
                });
            };
            const char* At = I == HitTerm ? Hit : FindFolded(Begin, End, T);
            while (At != End && !Inside(At))
                At = FindFolded(At + 1, End, T);
            if (At == End)
                return false;
            continue;
        }
        if (Text.empty()) {
            Text.resize(Fields[0].size() + Fields[1].size() + Fields[2].size() + Fields[3].size() + 3, ' ');
            char* Out = Text.data();
            for (const std::string_view F : Fields)
                Out = FoldCopy(Out, F) + 1;
        }
        if (Text.find(T.Piece) == std::string::npos)
            return false;
    }
    return true;
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

// How often the piece occurs in eight stretches of 64 KiB spread over the
// Size bytes at Base: enough to tell a rare piece from a common one.
qsizetype SampleHits(const char* Base, qsizetype Size, const TPiecePlan& Plan)
{
    constexpr qsizetype kStretch = 65536;
    qsizetype Hits = 0;
    for (int S = 0; S < 8; ++S) {
        const char* P = Base + Size * S / 8;
        const char* End = std::min(P + kStretch, Base + Size);
        while ((P = FindFolded(P, End, Plan)) != End) {
            ++Hits;
            ++P;
        }
    }
    return Hits;
}

}  // namespace

void TFoldedTexts::Reserve(qsizetype Records, qsizetype Bytes)
{
    FOffsets.reserve(size_t(Records) + 1);
    FText.reserve(size_t(Bytes));
}

void TFoldedTexts::Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile)
{
    const qsizetype Size = EncodedSize(Title) + EncodedSize(Url) + EncodedSize(Browser) + EncodedSize(Profile) + 4;
    const size_t Start = FText.size();
    FText.resize(Start + size_t(Size));
    char* P = FText.data() + Start;
    P = Encode(P, Title);
    *P++ = ' ';
    P = Encode(P, Url);
    *P++ = ' ';
    P = Encode(P, Browser);
    *P++ = ' ';
    P = Encode(P, Profile);
    *P++ = '\0';
    FOffsets.push_back(qsizetype(FText.size()));
    // Every seventh byte is enough to tell rare bytes from common ones.
    for (size_t I = (Start + 6) / 7 * 7; I < FText.size(); I += 7)
        ++FFreq[uchar(FText[I])];
}

bool TFoldedTexts::SliceHasAll(qsizetype Record, const std::vector<std::string>& Terms, qsizetype Skip) const
{
    const qsizetype Begin = FOffsets[size_t(Record)];
    const std::string_view Slice(FText.data() + Begin, size_t(FOffsets[size_t(Record) + 1] - 1 - Begin));
    for (qsizetype K = 0; K < qsizetype(Terms.size()); ++K)
        if (K != Skip && Slice.find(Terms[size_t(K)]) == std::string_view::npos)
            return false;
    return true;
}

std::vector<int> TFoldedTexts::Match(const std::vector<std::string>& Enc) const
{
    std::vector<int> Out;
    const qsizetype N = Count();

    // The longest term is usually the rarest and lets the search skip furthest.
    // A term holding a zero byte could match across the record ends, so it
    // is only ever checked inside one record.
    qsizetype Primary = -1;
    for (qsizetype K = 0; K < qsizetype(Enc.size()); ++K) {
        const std::string& T = Enc[size_t(K)];
        if (T.find('\0') == std::string::npos && (Primary < 0 || T.size() > Enc[size_t(Primary)].size()))
            Primary = K;
    }
    if (Primary < 0) {
        for (qsizetype R = 0; R < N; ++R)
            if (SliceHasAll(R, Enc, -1))
                Out.push_back(int(R));
        return Out;
    }

    const TPiecePlan Plan = PlanPiece(Enc[size_t(Primary)], FFreq);
    const char* Begin = FText.data();
    const char* End = Begin + FText.size();
    qsizetype R = 0;
    const char* P = Begin;
    while (P < End) {
        const char* Hit = FindFolded(P, End, Plan);
        if (Hit == End)
            break;
        const qsizetype Pos = Hit - Begin;
        const auto It = std::upper_bound(FOffsets.begin() + R + 1, FOffsets.end(), Pos);
        R = qsizetype(It - FOffsets.begin()) - 1;
        if (SliceHasAll(R, Enc, Primary))
            Out.push_back(int(R));
        P = Begin + FOffsets[size_t(R) + 1];
    }
    return Out;
}

qsizetype TFoldedTexts::MemoryBytes() const
{
    return qsizetype(FText.capacity() + FOffsets.capacity() * sizeof(qsizetype));
}

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
    // Offsets of 32 bits from the first field on; a document whose records
    // span more (far past what a run or a report file may hold) is matched
    // record by record instead.
    bool Overflow = false;
    for (int I = 0; I < FCount; ++I) {
        const TJsonValue* R = Records->Items(I);
        // Anything but an object has no text, so no term is ever in it.
        if (!R->IsObject())
            continue;
        const TFieldReader::TFields Views = Reader.Read(R);
        const char* Lo = nullptr;
        const char* Hi = nullptr;
        bool Plain = true;
        for (const QAnyStringView V : Views) {
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
            Overflow = Overflow || quint64(Hi - FBase) > 0xFFFFFFFFu;
            FPlainRow.push_back(I);
            FBegin.push_back(quint32(Lo - FBase));
            FEnd.push_back(quint32(Hi - FBase));
        }
    }
    if (Overflow) {
        FOther.insert(FOther.end(), FPlainRow.begin(), FPlainRow.end());
        std::sort(FOther.begin(), FOther.end());
        FPlainRow.clear();
        FBegin.clear();
        FEnd.clear();
        FBase = nullptr;
    }
    // Every seventh byte is enough to tell rare bytes from common ones.
    if (!FPlainRow.empty())
        for (const char* P = FBase; P < FBase + FEnd.back(); P += 7)
            ++FFreq[uchar(FoldByte(*P))];
    FBegin.shrink_to_fit();
    FEnd.shrink_to_fit();
    FPlainRow.shrink_to_fit();
    FOther.shrink_to_fit();

    qsizetype Bytes = 0;
    for (const int I : FOther)
        for (const QAnyStringView V : Reader.Read(Records->Items(I)))
            Bytes += EncodedSize(V) + 1;
    FOtherTexts.Reserve(qsizetype(FOther.size()), Bytes);
    for (const int I : FOther) {
        const TFieldReader::TFields F = Reader.Read(Records->Items(I));
        FOtherTexts.Add(F[0], F[1], F[2], F[3]);
    }
}

std::vector<int> TFilterIndex::Match(const QStringList& Terms) const
{
    std::vector<int> Out;
    if (Terms.isEmpty()) {
        Out.resize(size_t(FCount));
        std::iota(Out.begin(), Out.end(), 0);
        return Out;
    }
    const TPreparedTerms Prepared(Terms);
    const QStringList& Folded = Prepared.Folded;
    const std::vector<std::string>& Utf8Terms = Prepared.Utf8;
    // A lone surrogate can only be matched in UTF-16.
    if (!Prepared.Paired)
        return ScanRecords(FRecords, Folded);
    std::string_view Piece;
    size_t PieceTerm = 0;
    // A blank-free piece of a term lies inside one field wherever the term
    // occurs, so the document's bytes are searched for one: the one found
    // least often in a sample of them (every record hit costs a check), the
    // longer of two alike.
    qsizetype Fewest = -1;
    for (const std::string& T : Utf8Terms) {
        const std::string_view V(T);
        for (size_t From = 0; From < V.size();) {
            const size_t To = std::min(V.find(' ', From), V.size());
            const std::string_view Cand = V.substr(From, To - From);
            From = To + 1;
            if (Cand.empty())
                continue;
            const qsizetype Seen =
                FPlainRow.empty() ? 0 : SampleHits(FBase, qsizetype(FEnd.back()), PlanPiece(Cand, FFreq));
            if (Fewest < 0 || Seen < Fewest || (Seen == Fewest && Cand.size() > Piece.size())) {
                Fewest = Seen;
                Piece = Cand;
                PieceTerm = size_t(&T - Utf8Terms.data());
            }
        }
    }

    // Records with an escaped field are held as UTF-16; they take the plain
    // rule. The rest are found in the bytes, then checked one by one.
    std::vector<int> Found;
    if (!Piece.empty() && !FPlainRow.empty()) {
        // First the records hit in the bytes, then the check of each: the
        // check reads the tree, where every record is a cache miss or two,
        // and knowing the records ahead lets those misses overlap.
        struct THit {
            size_t Plain;
            const char* At;
        };
        std::vector<THit> Hits;
        const TPiecePlan Plan = PlanPiece(Piece, FFreq);
        const char* const End = FBase + FEnd.back();
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
        constexpr size_t kAhead = 16;
        std::string Text;
        TFieldReader Reader;
        std::vector<TPiecePlan> Plans;
        for (const std::string& T : Utf8Terms)
            Plans.push_back(PlanPiece(T, FFreq));
        const auto Record = [&](size_t K) { return FRecords->Items(FPlainRow[Hits[K].Plain]); };
        for (size_t K = 0; K < Hits.size(); ++K) {
            if (K + kAhead < Hits.size())
                Prefetch(Record(K + kAhead));
            if (K + kAhead / 2 < Hits.size())
                Prefetch(Record(K + kAhead / 2)->PairValue(0) - 1);
            const size_t P = Hits[K].Plain;
            if (PlainMatches(Reader.Read(Record(K)), Plans, PieceTerm, Hits[K].At, FBase + FBegin[P], FBase + FEnd[P], Text))
                Found.push_back(FPlainRow[P]);
        }
    }
    std::vector<std::string> Coded;
    for (const QString& T : Folded)
        Coded.push_back(EncodeTerm(T));
    std::vector<int> Others = FOtherTexts.Match(Coded);
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
    const TPreparedTerms Prepared(Terms);
    const QStringList& Folded = Prepared.Folded;
    const bool Paired = Prepared.Paired;
    std::vector<std::string> Coded;
    for (const QString& T : Folded)
        Coded.push_back(EncodeTerm(T));
    std::vector<TPiecePlan> Plans;
    for (const std::string& T : Prepared.Utf8)
        Plans.push_back(PlanPiece(T, FFreq));

    std::vector<int> Out;
    std::string Text;
    TFieldReader Reader;
    auto PlainAt = FPlainRow.cbegin();
    auto OtherAt = FOther.cbegin();
    constexpr size_t kAhead = 16;
    for (size_t K = 0; K < Rows.size(); ++K) {
        if (K + kAhead < Rows.size())
            Prefetch(FRecords->Items(Rows[K + kAhead]));
        if (K + kAhead / 2 < Rows.size())
            if (const TJsonValue* First = FRecords->Items(Rows[K + kAhead / 2])->PairValue(0))
                Prefetch(First - 1);
        // And the record's own bytes, from its first member's text on.
        if (K + kAhead / 4 < Rows.size())
            if (const TJsonValue* First = FRecords->Items(Rows[K + kAhead / 4])->PairValue(0))
                if (const char* Text = static_cast<const char*>(First->StrView().data()))
                    for (int Line = 0; Line < 4; ++Line)
                        Prefetch(Text + 64 * Line);
        const int R = Rows[K];
        const TJsonValue* Record = FRecords->Items(R);
        if (!Paired) {
            if (RecordMatches(Record, Folded))
                Out.push_back(R);
            continue;
        }
        // A row is a plain record, one with escaped fields, or one with no
        // text at all, which no term is ever in.
        // Rows ascend, so each lookup starts where the last one ended.
        PlainAt = Gallop(PlainAt, FPlainRow.cend(), R);
        if (PlainAt != FPlainRow.cend() && *PlainAt == R) {
            const size_t P = size_t(PlainAt - FPlainRow.cbegin());
            if (PlainMatches(Reader.Read(Record), Plans, size_t(-1), nullptr, FBase + FBegin[P], FBase + FEnd[P], Text))
                Out.push_back(R);
            continue;
        }
        OtherAt = Gallop(OtherAt, FOther.cend(), R);
        if (OtherAt != FOther.cend() && *OtherAt == R && FOtherTexts.Holds(OtherAt - FOther.cbegin(), Coded))
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
