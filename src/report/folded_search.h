#pragma once

// Searching bytes for a piece of folded text, ASCII letters in either case.

#include <QtGlobal>

#include <array>
#include <string_view>

inline char FoldByte(char C)
{
    return C >= 'A' && C <= 'Z' ? char(C + 32) : C;
}

// How often each byte (folded) was seen in a sample of the searched bytes:
// which bytes of a piece are rare there.
using TByteCounts = std::array<quint32, 256>;

// Counts every seventh byte of Bytes from its first on, which is enough to
// tell rare bytes from common ones.
void CountBytes(TByteCounts& Counts, std::string_view Bytes);

// How a piece is looked for: two of its bytes, the rarest in the sample,
// are tested sixteen positions at a time, and only where both agree is the
// whole piece compared.
struct TPiecePlan {
    std::string_view Piece;  // folded
    size_t A = 0;
    size_t B = 0;
};
TPiecePlan PlanPiece(std::string_view Piece, const TByteCounts& Counts);

// The first place in [From, End) where the piece occurs, ASCII letters in
// either case; End when there is none.
const char* FindFolded(const char* From, const char* End, const TPiecePlan& Plan);

// Copies S with A..Z folded to a..z; returns one past the end of the copy.
char* FoldCopy(char* Out, std::string_view S);
