#include "text_out.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

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
#ifdef __SSE2__
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

QString JsonStringText(const std::string& Json)
{
    std::string Bytes;
    Bytes.reserve(Json.size());
    const size_t End = Json.size() >= 2 ? Json.size() - 1 : 0;
    for (size_t I = 1; I < End; ++I) {
        if (Json[I] != '\\' || I + 1 >= End) {
            Bytes.push_back(Json[I]);
        } else if (Json[++I] == 'u' && I + 4 < End) {
            const char32_t C = char32_t(std::stoul(Json.substr(I + 1, 4), nullptr, 16));
            AppendUtf8(Bytes, C);
            I += 4;
        } else {
            Bytes.push_back(Json[I]);
        }
    }
    return QString::fromUtf8(Bytes.data(), qsizetype(Bytes.size()));
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
