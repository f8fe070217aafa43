#include "utf8.h"

#include "simd.h"

#include <cstring>

namespace {

inline bool IsCont(uchar B)
{
    return (B & 0xC0) == 0x80;
}

// Length of the well-formed sequence at P, or 0. Bounds of the second byte
// rule out overlong forms, surrogates and code points past U+10FFFF.
inline int SequenceLength(const uchar* P, const uchar* End)
{
    const uchar B0 = P[0];
    const qsizetype Left = End - P;
    if (B0 >= 0xC2 && B0 <= 0xDF)
        return Left >= 2 && IsCont(P[1]) ? 2 : 0;
    if (B0 >= 0xE0 && B0 <= 0xEF) {
        if (Left < 3 || !IsCont(P[2]))
            return 0;
        const uchar Lo = B0 == 0xE0 ? 0xA0 : 0x80;
        const uchar Hi = B0 == 0xED ? 0x9F : 0xBF;
        return P[1] >= Lo && P[1] <= Hi ? 3 : 0;
    }
    if (B0 >= 0xF0 && B0 <= 0xF4) {
        if (Left < 4 || !IsCont(P[2]) || !IsCont(P[3]))
            return 0;
        const uchar Lo = B0 == 0xF0 ? 0x90 : 0x80;
        const uchar Hi = B0 == 0xF4 ? 0x8F : 0xBF;
        return P[1] >= Lo && P[1] <= Hi ? 4 : 0;
    }
    return 0;
}

} // namespace

bool IsValidUtf8(const char* Data, qsizetype Size)
{
    const uchar* P = reinterpret_cast<const uchar*>(Data);
    const uchar* const End = P + Size;
    while (P < End) {
#if MK_HAVE_SSE2
        // Reports are mostly ASCII: skip it sixteen bytes at a time.
        while (End - P >= 16
               && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P))) == 0)
            P += 16;
        if (P == End)
            break;
#endif
        if (*P < 0x80) {
            ++P;
            continue;
        }
        const int N = SequenceLength(P, End);
        if (!N)
            return false;
        P += N;
    }
    return true;
}

qsizetype Utf16Units(const char* Data, qsizetype Size)
{
    qsizetype Units = 0;
    const uchar* P = reinterpret_cast<const uchar*>(Data);
    for (qsizetype I = 0; I < Size; ++I) {
        const uchar B = P[I];
        if (!IsCont(B))
            ++Units;
        // The last byte of a four-byte sequence brings its second unit.
        if (B >= 0xF0 && I + 3 < Size)
            ++Units;
    }
    return Units;
}

int DecodeUtf8Char(const char*& P, char16_t* Out)
{
    const uchar* U = reinterpret_cast<const uchar*>(P);
    const uchar B0 = U[0];
    if (B0 < 0x80) {
        Out[0] = B0;
        P += 1;
        return 1;
    }
    if (B0 < 0xE0) {
        Out[0] = char16_t(((B0 & 0x1F) << 6) | (U[1] & 0x3F));
        P += 2;
        return 1;
    }
    if (B0 < 0xF0) {
        Out[0] = char16_t(((B0 & 0x0F) << 12) | ((U[1] & 0x3F) << 6) | (U[2] & 0x3F));
        P += 3;
        return 1;
    }
    const char32_t C = (char32_t(B0 & 0x07) << 18) | (char32_t(U[1] & 0x3F) << 12) | (char32_t(U[2] & 0x3F) << 6)
                       | char32_t(U[3] & 0x3F);
    Out[0] = char16_t(0xD7C0 + (C >> 10));
    Out[1] = char16_t(0xDC00 | (C & 0x3FF));
    P += 4;
    return 2;
}

void AppendUtf8(std::string& Out, char32_t C)
{
    if (C < 0x80) {
        Out.push_back(char(C));
    } else if (C < 0x800) {
        Out.push_back(char(0xC0 | (C >> 6)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    } else if (C < 0x10000) {
        Out.push_back(char(0xE0 | (C >> 12)));
        Out.push_back(char(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    } else {
        Out.push_back(char(0xF0 | (C >> 18)));
        Out.push_back(char(0x80 | ((C >> 12) & 0x3F)));
        Out.push_back(char(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    }
}
