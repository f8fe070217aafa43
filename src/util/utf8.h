#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <QLatin1StringView>
#include <QStringView>

#include <string>
#include <string_view>
#include <type_traits>

// Whether a visited QAnyStringView holds UTF-16 (rather than UTF-8 or
// Latin-1 bytes).
template <typename TView>
inline constexpr bool IsUtf16View = std::is_same_v<std::decay_t<TView>, QStringView>;
// Whether it holds UTF-8 bytes. (The visitor gets Qt's char-based UTF-8
// view, which under C++20 is not the char8_t-based QUtf8StringView.)
template <typename TView>
inline constexpr bool IsUtf8View =
    !IsUtf16View<TView> && !std::is_same_v<std::decay_t<TView>, QLatin1StringView>;

// The bytes of B, for functions that take any run of bytes.
inline std::string_view BytesOf(const QByteArray& B)
{
    return std::string_view(B.constData(), size_t(B.size()));
}

// Well-formed UTF-8 as the standard defines it: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut off at the end.
// Such bytes decode without a single replacement character.
bool IsValidUtf8(const char* Data, qsizetype Size);

// How many UTF-16 code units the first Size bytes of valid UTF-8 decode to.
// A four-byte sequence cut by Size counts one unit once its lead byte is in:
// where decoding stops after the first half of a surrogate pair.
qsizetype Utf16Units(const char* Data, qsizetype Size);

// Decodes the sequence at P (valid UTF-8, P before End) into one or two
// UTF-16 units at Out; returns the units written and moves P past it.
int DecodeUtf8Char(const char*& P, char16_t* Out);

// Appends the code point C (below 0x110000) to Out in UTF-8. A surrogate
// takes three bytes like any other unit of its range, so that the byte order
// of such encodings stays the code point order.
void AppendUtf8(std::string& Out, char32_t C);
