#include "text_out.h"

#include "simd.h"
#include "utf8.h"

#include <bit>

namespace {

// The code point at P, advancing past it; unpaired surrogates become U+FFFD.
char32_t NextCodePoint(const char16_t*& P, const char16_t* End)
{
    char32_t C = *P++;
    if (C >= 0xD800 && C <= 0xDBFF) {
        if (P < End && *P >= 0xDC00 && *P <= 0xDFFF)
            C = 0x10000 + ((C - 0xD800) << 10) + (char32_t(*P++) - 0xDC00);
        else
            C = 0xFFFD;
    } else if (C >= 0xDC00 && C <= 0xDFFF) {
        C = 0xFFFD;
    }
    return C;
}

// Walks the UTF-16 text as code points.
template <typename TFn>
void ForEachCodePoint(const QString& Text, TFn&& Fn)
{
    const char16_t* P = reinterpret_cast<const char16_t*>(Text.constData());
    const char16_t* End = P + Text.size();
    while (P < End)
        Fn(NextCodePoint(P, End));
}

const char kHex[] = "0123456789abcdef";

// The first byte from P on that a JSON string cannot hold as it is: '"',
// '\\', a control character or DEL; or 0xE2, which begins U+2028 and U+2029.
const char* SkipPlainUtf8(const char* P, const char* End)
{
#if MK_HAVE_SSE2
    const __m128i Below = _mm_set1_epi8(0x1F);
    while (End - P >= 16) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
        const __m128i Control = _mm_cmpeq_epi8(_mm_max_epu8(V, Below), Below);
        const __m128i Marks = _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('"')), _mm_cmpeq_epi8(V, _mm_set1_epi8('\\')));
        const __m128i Other = _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8(0x7F)), _mm_cmpeq_epi8(V, _mm_set1_epi8(char(0xE2))));
        const int Mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(Control, Marks), Other));
        if (Mask != 0)
            return P + std::countr_zero(unsigned(Mask));
        P += 16;
    }
#endif
    for (; P < End; ++P) {
        const auto B = static_cast<unsigned char>(*P);
        if (B < 0x20 || B == '"' || B == '\\' || B == 0x7F || B == 0xE2)
            return P;
    }
    return End;
}

void AppendUnicodeEscape(std::string& Out, char32_t C)
{
    const char Escape[] = {'\\', 'u', kHex[(C >> 12) & 0xF], kHex[(C >> 8) & 0xF], kHex[(C >> 4) & 0xF], kHex[C & 0xF]};
    Out.append(Escape, sizeof Escape);
}

} // namespace

void AppendJsonString(std::string& Out, const QString& Text)
{
    // Written through a pointer into room for the worst case (six bytes per
    // UTF-16 unit, "\u001f"), then cut to what was used: millions of records
    // go through here.
    const size_t Start = Out.size();
    Out.resize(Start + size_t(Text.size()) * 6 + 2);
    char* D = Out.data() + Start;
    *D++ = '"';
    const char16_t* P = reinterpret_cast<const char16_t*>(Text.constData());
    const char16_t* End = P + Text.size();
    while (P < End) {
#if MK_HAVE_SSE2
        // Eight plain ASCII characters at a time, the common case for URLs.
        if (End - P >= 8) {
            const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
            // Signed compares: units from 0x8000 count as below 0x20.
            const __m128i Bad = _mm_or_si128(
                _mm_or_si128(_mm_cmplt_epi16(V, _mm_set1_epi16(0x20)), _mm_cmpgt_epi16(V, _mm_set1_epi16(0x7E))),
                _mm_or_si128(_mm_cmpeq_epi16(V, _mm_set1_epi16('"')), _mm_cmpeq_epi16(V, _mm_set1_epi16('\\'))));
            if (_mm_movemask_epi8(Bad) == 0) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(D), _mm_packus_epi16(V, V));
                D += 8;
                P += 8;
                continue;
            }
        }
#endif
        // Most of what browsers store is plain ASCII: copy it without further checks.
        const char16_t U = *P;
        if (U >= 0x20 && U < 0x7F && U != '"' && U != '\\') {
            *D++ = char(U);
            ++P;
            continue;
        }
        const char32_t C = NextCodePoint(P, End);
        if (C == '"' || C == '\\') {
            *D++ = '\\';
            *D++ = char(C);
        } else if (C < 0x20 || C == 0x7F || C == 0x2028 || C == 0x2029) {
            // Line and paragraph separators too, so the text stays safe if embedded in a script.
            *D++ = '\\';
            *D++ = 'u';
            *D++ = kHex[(C >> 12) & 0xF];
            *D++ = kHex[(C >> 8) & 0xF];
            *D++ = kHex[(C >> 4) & 0xF];
            *D++ = kHex[C & 0xF];
        } else if (C < 0x800) {
            *D++ = char(0xC0 | (C >> 6));
            *D++ = char(0x80 | (C & 0x3F));
        } else if (C < 0x10000) {
            *D++ = char(0xE0 | (C >> 12));
            *D++ = char(0x80 | ((C >> 6) & 0x3F));
            *D++ = char(0x80 | (C & 0x3F));
        } else {
            *D++ = char(0xF0 | (C >> 18));
            *D++ = char(0x80 | ((C >> 12) & 0x3F));
            *D++ = char(0x80 | ((C >> 6) & 0x3F));
            *D++ = char(0x80 | (C & 0x3F));
        }
    }
    *D++ = '"';
    Out.resize(size_t(D - Out.data()));
}

void AppendJsonUtf8(std::string& Out, std::string_view Text)
{
    // Titles are mostly runs that need no escape, CJK text included: each run
    // is copied whole.
    Out.push_back('"');
    const char* P = Text.data();
    const char* const End = P + Text.size();
    while (P < End) {
        const char* Run = P;
        P = SkipPlainUtf8(P, End);
        Out.append(Run, size_t(P - Run));
        if (P == End)
            break;
        const auto B = static_cast<unsigned char>(*P);
        if (B == '"' || B == '\\') {
            Out.push_back('\\');
            Out.push_back(char(B));
            ++P;
        } else if (B == 0xE2 && End - P >= 3 && static_cast<unsigned char>(P[1]) == 0x80
                   && (static_cast<unsigned char>(P[2]) & 0xFE) == 0xA8) {
            AppendUnicodeEscape(Out, static_cast<unsigned char>(P[2]) == 0xA8 ? 0x2028 : 0x2029);
            P += 3;
        } else if (B == 0xE2) {
            Out.push_back(char(B));
            ++P;
        } else {
            AppendUnicodeEscape(Out, B);
            ++P;
        }
    }
    Out.push_back('"');
}

void AppendHtmlText(std::string& Out, const QString& Text)
{
    ForEachCodePoint(Text, [&Out](char32_t C) {
        switch (C) {
        case '&': Out.append("&amp;"); break;
        case '<': Out.append("&lt;"); break;
        case '>': Out.append("&gt;"); break;
        case '"': Out.append("&quot;"); break;
        case '\'': Out.append("&#39;"); break;
        default:
            if ((C < 0x20 && C != '\t' && C != '\n') || C == 0x7F)
                Out.push_back(' ');
            else
                AppendUtf8(Out, C);
        }
    });
}

TTextOut& TTextOut::Raw(const char* Text)
{
    FBuf.append(Text);
    return Flushed();
}

TTextOut& TTextOut::Int(qint64 Value)
{
    FBuf.append(std::to_string(Value));
    return Flushed();
}

TTextOut& TTextOut::Json(const QString& Text)
{
    AppendJsonString(FBuf, Text);
    return Flushed();
}

TTextOut& TTextOut::Html(const QString& Text)
{
    AppendHtmlText(FBuf, Text);
    return Flushed();
}

TTextOut& TTextOut::Block(const std::string& Piece)
{
    if (Piece.size() < (1u << 16))
        return Raw(Piece);
    if (!FBuf.empty() && !FFailed && !FSink(FBuf.data(), FBuf.size()))
        FFailed = true;
    FBuf.clear();
    if (!FFailed && !FSink(Piece.data(), Piece.size()))
        FFailed = true;
    return *this;
}

TTextOut& TTextOut::Flushed()
{
    if (FBuf.size() >= (1u << 20)) {
        if (!FFailed && !FSink(FBuf.data(), FBuf.size()))
            FFailed = true;
        FBuf.clear();
    }
    return *this;
}

bool TTextOut::Finish()
{
    if (!FBuf.empty() && !FFailed && !FSink(FBuf.data(), FBuf.size()))
        FFailed = true;
    FBuf.clear();
    return !FFailed;
}
