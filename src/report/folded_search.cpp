#include "folded_search.h"

#include "simd.h"

#include <bit>

namespace {

bool FoldedEqual(const char* Text, std::string_view Folded)
{
    for (size_t I = 0; I < Folded.size(); ++I)
        if (FoldByte(Text[I]) != Folded[I])
            return false;
    return true;
}

}  // namespace

void CountBytes(TByteCounts& Counts, std::string_view Bytes)
{
    for (size_t I = 0; I < Bytes.size(); I += 7)
        ++Counts[uchar(FoldByte(Bytes[I]))];
}

TPiecePlan PlanPiece(std::string_view Piece, const TByteCounts& Counts)
{
    TPiecePlan P;
    P.Piece = Piece;
    if (Piece.size() < 2)
        return P;
    auto Rarer = [&](size_t X, size_t Y) { return Counts[uchar(Piece[X])] < Counts[uchar(Piece[Y])]; };
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
