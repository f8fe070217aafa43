#include "record_filter.h"

#include "json.h"
#include "text_util.h"
#include "utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <optional>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MK_FILTER_SSE2 1
#endif

namespace {

inline char16_t Fold(char16_t C)
{
    return C >= u'A' && C <= u'Z' ? char16_t(C + 32) : C;
}

inline char FoldByte(char C)
{
    return C >= 'A' && C <= 'Z' ? char(C + 32) : C;
}

constexpr QLatin1StringView kTitle("title");
constexpr QLatin1StringView kUrl("url");
constexpr QLatin1StringView kBrowser("browser");
constexpr QLatin1StringView kProfile("profile");
constexpr QLatin1StringView kTime("time");

// A view into the tree: no copy per record and field.
QAnyStringView Member(const TJsonValue* Record, QLatin1StringView Key)
{
    return Record ? Record->SView(Key) : QAnyStringView();
}

// The UTF-8 bytes of a field the tree holds as a view into the document,
// or nullopt for a field it holds as UTF-16 (one that had escapes).
std::optional<std::string_view> Utf8Field(const TJsonValue* Record, QLatin1StringView Key)
{
    return Member(Record, Key).visit([](auto V) -> std::optional<std::string_view> {
        if constexpr (std::is_same_v<decltype(V), QUtf8StringView>)
            return std::string_view(V.data(), size_t(V.size()));
        else if (V.isEmpty())
            return std::string_view();
        else
            return std::nullopt;
    });
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

// How the longest blank-free piece of the terms is looked for in the
// document: two of its bytes, the rarest there, are tested sixteen positions
// at a time, letters in either case, and only where both agree is the whole
// piece compared.
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
#ifdef MK_FILTER_SSE2
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

}  // namespace

QString FoldAscii(QStringView Text)
{
    QString Out = Text.toString();
    for (QChar& Ch : Out)
        Ch = QChar(Fold(Ch.unicode()));
    return Out;
}

QStringList ParseFilterTerms(const QString& Text)
{
    QStringList Terms;
    // Blanks at both ends go first, so an unclosed phrase being typed does not
    // end in the space just typed after it.
    const QString S = FoldAscii(TrimBlanks(Text));
    const qsizetype N = S.size();
    auto IsBlank = [&](qsizetype I) { return S.at(I).unicode() <= 0x20; };
    auto Keep = [&](const QString& Term) {
        for (const QChar Ch : Term)
            if (Ch.unicode() > 0x20) {
                Terms.append(Term);
                return;
            }
    };
    qsizetype I = 0;
    while (I < N) {
        while (I < N && IsBlank(I))
            ++I;
        if (I >= N)
            break;
        QString Term;
        if (S.at(I) == u'"') {
            ++I;
            while (I < N) {
                if (S.at(I) == u'"') {
                    if (I + 1 < N && S.at(I + 1) == u'"') {
                        Term += u'"';
                        I += 2;
                        continue;
                    }
                    ++I;  // closing quote; what follows starts the next term
                    break;
                }
                Term += S.at(I++);
            }
        } else {
            const qsizetype Start = I;
            while (I < N && !IsBlank(I))
                ++I;
            Term = S.mid(Start, I - Start);
        }
        Keep(Term);
    }
    return Terms;
}

TRecordText ReadRecordText(const TJsonValue* Record)
{
    TRecordText T;
    T.Time = Member(Record, kTime).toString();
    T.Browser = Member(Record, kBrowser).toString();
    T.Profile = Member(Record, kProfile).toString();
    T.Title = Member(Record, kTitle).toString();
    T.Url = Member(Record, kUrl).toString();
    return T;
}

bool RecordMatches(const TJsonValue* Record, const QStringList& Terms)
{
    if (Terms.isEmpty())
        return true;
    QString Search = Member(Record, kTitle).toString();
    Search.append(u' ').append(Member(Record, kUrl).toString()).append(u' ');
    Search.append(Member(Record, kBrowser).toString()).append(u' ').append(Member(Record, kProfile).toString());
    for (QChar& Ch : Search)
        Ch = QChar(Fold(Ch.unicode()));
    for (const QString& Term : Terms)
        if (!Search.contains(Term, Qt::CaseSensitive))
            return false;
    return true;
}

std::vector<int> ScanRecords(const TJsonValue* Records, const QStringList& Terms)
{
    std::vector<int> Out;
    if (!Records || !Records->IsArray())
        return Out;
    for (int I = 0, N = Records->Count(); I < N; ++I)
        if (RecordMatches(Records->Items(I), Terms))
            Out.push_back(I);
    return Out;
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
    std::vector<const char*> Begins;
    std::vector<const char*> Ends;
    Begins.reserve(size_t(FCount));
    Ends.reserve(size_t(FCount));
    for (int I = 0; I < FCount; ++I) {
        const TJsonValue* R = Records->Items(I);
        // Anything but an object has no text, so no term is ever in it.
        if (!R->IsObject())
            continue;
        const std::optional<std::string_view> Fields[4] = {Utf8Field(R, kTitle), Utf8Field(R, kUrl),
                                                           Utf8Field(R, kBrowser), Utf8Field(R, kProfile)};
        const char* Lo = nullptr;
        const char* Hi = nullptr;
        bool Plain = true;
        for (const auto& F : Fields) {
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
            FPlainRow.push_back(I);
            Begins.push_back(Lo);
            Ends.push_back(Hi);
        }
    }
    // Offsets of 32 bits from the first field on; a document whose records
    // span more (far past what a run or a report file may hold) is matched
    // record by record instead.
    if (!Begins.empty() && quint64(Ends.back() - Begins.front()) > 0xFFFFFFFFu) {
        FOther.insert(FOther.end(), FPlainRow.begin(), FPlainRow.end());
        std::sort(FOther.begin(), FOther.end());
        FPlainRow.clear();
        Begins.clear();
    }
    if (!Begins.empty()) {
        FBase = Begins.front();
        for (size_t I = 0; I < Begins.size(); ++I) {
            FBegin.push_back(quint32(Begins[I] - FBase));
            FEnd.push_back(quint32(Ends[I] - FBase));
        }
        // Every seventh byte is enough to tell rare bytes from common ones.
        for (const char* P = FBase; P < Ends.back(); P += 7)
            ++FFreq[uchar(FoldByte(*P))];
    }
    FBegin.shrink_to_fit();
    FEnd.shrink_to_fit();
    FPlainRow.shrink_to_fit();
    FOther.shrink_to_fit();
}

std::vector<int> TFilterIndex::Match(const QStringList& Terms) const
{
    std::vector<int> Out;
    if (Terms.isEmpty()) {
        Out.resize(size_t(FCount));
        std::iota(Out.begin(), Out.end(), 0);
        return Out;
    }
    QStringList Folded;
    for (const QString& T : Terms)
        Folded.append(FoldAscii(T));
    std::vector<std::string> Utf8Terms;
    std::string_view Piece;
    for (const QString& T : Folded) {
        // A lone surrogate can only be matched in UTF-16.
        if (!PairedSurrogates(T))
            return ScanRecords(FRecords, Folded);
        Utf8Terms.push_back(T.toStdString());
    }
    // A blank-free piece of a term lies inside one field wherever the term
    // occurs, so the document's bytes are searched for the longest one.
    for (const std::string& T : Utf8Terms) {
        const std::string_view V(T);
        for (size_t From = 0; From < V.size();) {
            const size_t To = std::min(V.find(' ', From), V.size());
            if (To - From > Piece.size())
                Piece = V.substr(From, To - From);
            From = To + 1;
        }
    }

    // Records with an escaped field are held as UTF-16; they take the plain
    // rule. The rest are found in the bytes, then checked one by one.
    std::vector<int> Found;
    if (!Piece.empty() && !FPlainRow.empty()) {
        const TPiecePlan Plan = PlanPiece(Piece, FFreq);
        const char* const End = FBase + FEnd.back();
        std::string Text;
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
            if (Off >= FBegin[I]) {
                // In a record's fields, perhaps: the whole rule decides.
                if (PlainMatches(FRecords->Items(FPlainRow[I]), Utf8Terms, Text))
                    Found.push_back(FPlainRow[I]);
                ++I;
            }
            // Between records (keys, times) nothing counts: on to the next fields.
            if (I < FPlainRow.size())
                P = FBase + FBegin[I];
        }
    }
    std::vector<int> Others;
    for (const int R : FOther)
        if (RecordMatches(FRecords->Items(R), Folded))
            Others.push_back(R);
    Out.resize(Found.size() + Others.size());
    std::merge(Found.begin(), Found.end(), Others.begin(), Others.end(), Out.begin());
    return Out;
}

bool TFilterIndex::PlainMatches(const TJsonValue* Record, const std::vector<std::string>& Terms, std::string& Text)
{
    // The folded "title url browser profile" of one record, in UTF-8: for
    // text without lone surrogates, substrings there are the UTF-16 ones.
    Text.clear();
    const QLatin1StringView Keys[4] = {kTitle, kUrl, kBrowser, kProfile};
    for (int K = 0; K < 4; ++K) {
        if (K)
            Text += ' ';
        const std::string_view F = Utf8Field(Record, Keys[K]).value_or(std::string_view());
        const size_t At = Text.size();
        Text += F;
        std::transform(Text.begin() + qsizetype(At), Text.end(), Text.begin() + qsizetype(At), FoldByte);
    }
    for (const std::string& T : Terms)
        if (Text.find(T) == std::string::npos)
            return false;
    return true;
}

qsizetype TFilterIndex::MemoryBytes() const
{
    return qsizetype((FBegin.capacity() + FEnd.capacity()) * sizeof(quint32)
                     + (FPlainRow.capacity() + FOther.capacity()) * sizeof(int));
}
