#include "record_filter.h"

#include "json.h"
#include "text_util.h"
#include "utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
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
        if constexpr (std::is_same_v<decltype(V), QLatin1StringView>)
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
        Out = EncodeUnit(Out, Fold(Ch.unicode()));
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
        if constexpr (std::is_same_v<decltype(V), QLatin1StringView>)
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

// How one term is looked for in the buffer: two of its bytes, the rarest in
// the indexed text, are tested sixteen positions at a time, and only where
// both agree is the whole term compared.
struct TTermPlan {
    std::string_view Term;
    size_t A = 0;
    size_t B = 0;
};

TTermPlan PlanTerm(std::string_view Term, const std::array<quint32, 256>& Freq)
{
    TTermPlan P;
    P.Term = Term;
    if (Term.size() < 2)
        return P;
    auto Rarer = [&](size_t X, size_t Y) {
        return Freq[uchar(Term[X])] < Freq[uchar(Term[Y])];
    };
    size_t A = 0;
    for (size_t I = 1; I < Term.size(); ++I)
        if (Rarer(I, A))
            A = I;
    size_t B = A == 0 ? 1 : 0;
    for (size_t I = 0; I < Term.size(); ++I)
        if (I != A && Rarer(I, B))
            B = I;
    P.A = A;
    P.B = B;
    return P;
}

// First occurrence of the term in [From, End), or End.
const char* FindTerm(const char* From, const char* End, const TTermPlan& P)
{
    const size_t N = P.Term.size();
    if (size_t(End - From) < N)
        return End;
    if (N == 1) {
        const void* Hit = std::memchr(From, P.Term[0], size_t(End - From));
        return Hit ? static_cast<const char*>(Hit) : End;
    }
#ifdef MK_FILTER_SSE2
    const __m128i VA = _mm_set1_epi8(P.Term[P.A]);
    const __m128i VB = _mm_set1_epi8(P.Term[P.B]);
    const char* Last = End - N;  // the last possible start
    const char* Pos = From;
    for (; Pos + 15 <= Last; Pos += 16) {
        const __m128i BlockA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos + P.A));
        const __m128i BlockB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos + P.B));
        unsigned Mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(BlockA, VA), _mm_cmpeq_epi8(BlockB, VB))));
        while (Mask) {
            const char* Cand = Pos + std::countr_zero(Mask);
            if (std::memcmp(Cand, P.Term.data(), N) == 0)
                return Cand;
            Mask &= Mask - 1;
        }
    }
    From = Pos;
#endif
    const std::string_view Rest(From, size_t(End - From));
    const size_t Hit = Rest.find(P.Term);
    return Hit == std::string_view::npos ? End : From + Hit;
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
    FText.clear();
    FText.shrink_to_fit();
    FOffsets.assign(1, 0);
    FOffsets.shrink_to_fit();
    FFreq.fill(0);
}

void TFilterIndex::Reserve(qsizetype Records, qsizetype Bytes)
{
    FOffsets.reserve(size_t(Records) + 1);
    FText.reserve(size_t(Bytes));
}

void TFilterIndex::Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile)
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

void TFilterIndex::Build(const TJsonValue* Records)
{
    Clear();
    if (!Records || !Records->IsArray())
        return;
    const int N = Records->Count();
    // Sizing first keeps the buffer at its final size: growing it by doubling
    // would briefly hold two copies of a buffer that can run to hundreds of MB.
    qsizetype Bytes = 0;
    for (int I = 0; I < N; ++I) {
        const TJsonValue* R = Records->Items(I);
        Bytes += EncodedSize(Member(R, kTitle)) + EncodedSize(Member(R, kUrl)) + EncodedSize(Member(R, kBrowser))
                 + EncodedSize(Member(R, kProfile)) + 4;
    }
    Reserve(N, Bytes);
    for (int I = 0; I < N; ++I) {
        const TJsonValue* R = Records->Items(I);
        Add(Member(R, kTitle), Member(R, kUrl), Member(R, kBrowser), Member(R, kProfile));
    }
}

bool TFilterIndex::SliceHasAll(qsizetype Record, const std::vector<std::string>& Terms, qsizetype Skip) const
{
    const qsizetype Begin = FOffsets[size_t(Record)];
    const std::string_view Slice(FText.data() + Begin, size_t(FOffsets[size_t(Record) + 1] - 1 - Begin));
    for (qsizetype K = 0; K < qsizetype(Terms.size()); ++K)
        if (K != Skip && Slice.find(Terms[size_t(K)]) == std::string_view::npos)
            return false;
    return true;
}

std::vector<int> TFilterIndex::Match(const QStringList& Terms) const
{
    std::vector<int> Out;
    const qsizetype N = Count();
    if (Terms.isEmpty()) {
        Out.resize(size_t(N));
        std::iota(Out.begin(), Out.end(), 0);
        return Out;
    }
    std::vector<std::string> Enc;
    Enc.reserve(size_t(Terms.size()));
    for (const QString& T : Terms)
        Enc.push_back(EncodeTerm(FoldAscii(T)));

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

    const TTermPlan Plan = PlanTerm(Enc[size_t(Primary)], FFreq);
    const char* Begin = FText.data();
    const char* End = Begin + FText.size();
    qsizetype R = 0;
    const char* P = Begin;
    while (P < End) {
        const char* Hit = FindTerm(P, End, Plan);
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

qsizetype TFilterIndex::MemoryBytes() const
{
    return qsizetype(FText.capacity() + FOffsets.capacity() * sizeof(qsizetype));
}
