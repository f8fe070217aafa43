#include "folded_coding.h"

#include "record_filter.h"
#include "utf8.h"

namespace {

qsizetype CodeSize(QStringView S)
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
qsizetype CodeSize(QUtf8StringView S)
{
    qsizetype N = S.size();
    for (const char C : S)
        if (uchar(C) >= 0xF0)
            N += 2;
    return N;
}

char* WriteUnit(char* Out, char16_t C)
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

char* WriteCode(char* Out, QStringView S)
{
    for (const QChar Ch : S)
        Out = WriteUnit(Out, FoldAsciiChar(Ch.unicode()));
    return Out;
}

char* WriteCode(char* Out, QUtf8StringView S)
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
        Out = WriteUnit(WriteUnit(Out, Pair[0]), Pair[1]);
    }
    return Out;
}

}  // namespace

qsizetype FoldedCodeSize(QAnyStringView S)
{
    return S.visit([](auto V) {
        if constexpr (!IsUtf16View<decltype(V)> && !IsUtf8View<decltype(V)>)
            return CodeSize(QStringView(V.toString()));
        else
            return CodeSize(V);
    });
}

char* WriteFoldedCode(char* Out, QAnyStringView S)
{
    return S.visit([Out](auto V) {
        if constexpr (!IsUtf16View<decltype(V)> && !IsUtf8View<decltype(V)>)
            return WriteCode(Out, QStringView(V.toString()));
        else
            return WriteCode(Out, V);
    });
}

std::string FoldedCode(const QString& Term)
{
    std::string S(size_t(CodeSize(QStringView(Term))), '\0');
    WriteCode(S.data(), QStringView(Term));
    return S;
}
