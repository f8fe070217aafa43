#include "json_parser.h"

#include "simd.h"
#include "text_util.h"
#include "utf8.h"

#include "json_document.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#endif

EJsonError::EJsonError(const QString& Message)
    : FMessage(Message), FUtf8(Message.toUtf8())
{
}

namespace {

// Values waiting for their container to close. Nodes are plain records, so
// the stack grows by copying bytes; a records array parks all its elements
// here until the closing bracket.
class TNodeStack
{
public:
    size_t Size() const { return FSize; }
    TJsonValue* At(size_t Index) { return reinterpret_cast<TJsonValue*>(FData.get()) + Index; }
    void Truncate(size_t Size) { FSize = Size; }
    TJsonValue& Push()
    {
        if (FSize == FCapacity)
            Grow();
        return *At(FSize++);
    }

private:
    void Grow()
    {
        const size_t NewCapacity = FCapacity ? FCapacity * 2 : 1024;
        TBlock NewData = AllocBlock(NewCapacity * sizeof(TJsonValue));
        if (FSize)
            std::memcpy(NewData.get(), FData.get(), FSize * sizeof(TJsonValue));
        FData = std::move(NewData);
        FCapacity = NewCapacity;
    }

    TBlock FData;
    size_t FSize = 0;
    size_t FCapacity = 0;
};

constexpr size_t kMaxKeyLists = 4096;

// First quote or backslash at or after P, or End. Strings are most of a
// report, so this loop is where parsing spends its time.
const char16_t* FindQuoteOrBackslash(const char16_t* P, const char16_t* End)
{
#if MK_HAVE_SSE2
    const __m128i Quote = _mm_set1_epi16(u'"');
    const __m128i Backslash = _mm_set1_epi16(u'\\');
    while (End - P >= 8) {
        const __m128i Chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
        const __m128i Hit = _mm_or_si128(_mm_cmpeq_epi16(Chunk, Quote), _mm_cmpeq_epi16(Chunk, Backslash));
        const int Mask = _mm_movemask_epi8(Hit);
        if (Mask)
            return P + __builtin_ctz(unsigned(Mask)) / 2;
        P += 8;
    }
#endif
    while (P < End && *P != u'"' && *P != u'\\')
        ++P;
    return P;
}

const char* FindQuoteOrBackslash(const char* P, const char* End)
{
#if MK_HAVE_SSE2
    const __m128i Quote = _mm_set1_epi8('"');
    const __m128i Backslash = _mm_set1_epi8('\\');
    while (End - P >= 16) {
        const __m128i Chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
        const __m128i Hit = _mm_or_si128(_mm_cmpeq_epi8(Chunk, Quote), _mm_cmpeq_epi8(Chunk, Backslash));
        const int Mask = _mm_movemask_epi8(Hit);
        if (Mask)
            return P + __builtin_ctz(unsigned(Mask));
        P += 16;
    }
#endif
    while (P < End && *P != '"' && *P != '\\')
        ++P;
    return P;
}

bool IsNumberChar(char16_t C)
{
    return (C >= u'0' && C <= u'9') || C == u'+' || C == u'-' || C == u'.' || C == u'e' || C == u'E';
}

QString TypeName(const std::exception& E)
{
    const char* Name = typeid(E).name();
#if __has_include(<cxxabi.h>)
    int Status = 0;
    char* Demangled = abi::__cxa_demangle(Name, nullptr, nullptr, &Status);
    if (Demangled) {
        QString Result = QString::fromUtf8(Demangled);
        std::free(Demangled);
        return Result;
    }
#endif
    return QString::fromUtf8(Name);
}

} // namespace

// Recursive descent over UTF-16 code units (TUnit char16_t, over a QString)
// or over bytes of valid UTF-8 (TUnit char, over a QByteArray). Every token
// the grammar knows is ASCII, so both read alike; they differ in where texts
// point and in how a position is counted. FPos is kept 0-based inside and
// reported 1-based, in UTF-16 code units either way. Each Parse step pushes
// exactly one node on FStack.
template <typename TUnit>
class TJsonParser
{
    static constexpr bool kBytes = std::is_same_v<TUnit, char>;
    using TSource = std::conditional_t<kBytes, QByteArray, QString>;

public:
    explicit TJsonParser(const TSource& Text)
        : FSource(OwnedText(Text)), FText(reinterpret_cast<const TUnit*>(FSource.constData())),
          FLen(FSource.size())
    {
    }

    std::unique_ptr<TJsonValue> Run()
    {
        if (FLen > kJsonMaxTextLength)
            throw EJsonError(QStringLiteral("JSON 文本过长，超过 %1 个字符").arg(kJsonMaxTextLength));
        auto* Doc = ::new TJsonDocument();
        std::unique_ptr<TJsonValue> Root(Doc);
        FDoc = Doc;
        ParseValue();
        SkipWhitespace();
        if (FPos < FLen)
            Fail(QStringLiteral("JSON 结束后还有多余内容"));
        Doc->BecomeRoot(*FStack.At(0));
        if constexpr (kBytes)
            Doc->FSourceBytes = FSource;
        else
            Doc->FSource = FSource;
        return Root;
    }

private:
    // The tree points into the text, so it must share a buffer that lives
    // as long as it does. Text over borrowed memory (fromRawData, literals:
    // no allocation of its own, so no capacity) is copied, since its owner
    // may free it while the tree is still in use.
    static TSource OwnedText(const TSource& Text)
    {
        if (Text.capacity() > 0 || Text.isEmpty())
            return Text;
        return TSource(Text.constData(), Text.size());
    }

    [[noreturn]] void Fail(const QString& Msg) const
    {
        // Bytes are counted as the text they decode to only when it matters.
        const qsizetype Pos = kBytes ? Utf16Units(reinterpret_cast<const char*>(FText), FPos) : FPos;
        throw EJsonError(Msg + QStringLiteral("（位置 ") + QString::number(Pos + 1) + u'）');
    }

    void SkipWhitespace()
    {
        while (FPos < FLen) {
            const TUnit C = FText[FPos];
            if (C != u' ' && C != u'\n' && C != u'\r' && C != u'\t')
                break;
            ++FPos;
        }
    }

    char16_t PeekChar()
    {
        SkipWhitespace();
        return FPos < FLen ? char16_t(Unit(FPos)) : u'\0';
    }

    // The unit at I as a number: bytes past ASCII must not turn negative.
    char16_t Unit(qsizetype I) const
    {
        if constexpr (kBytes)
            return uchar(FText[I]);
        else
            return FText[I];
    }

    void Expect(char16_t Ch)
    {
        SkipWhitespace();
        if (FPos >= FLen || Unit(FPos) != Ch)
            Fail(QStringLiteral("期望 \"%1\"").arg(QChar(Ch)));
        ++FPos;
    }

    bool LiteralAt(const char* Word, qsizetype Len) const
    {
        if (FLen - FPos < Len)
            return false;
        for (qsizetype I = 0; I < Len; ++I)
            if (Unit(FPos + I) != char16_t(Word[I]))
                return false;
        return true;
    }

    // A text of the source (strings without escapes, numbers), or nothing.
    void PushSource(TJsonKind Kind, const TUnit* Chars, qsizetype Len)
    {
        TJsonValue& V = FStack.Push();
        if constexpr (kBytes) {
            V.FUtf8 = Chars;
            V.FFlags = Chars ? TJsonValue::kfUtf8 : 0;
        } else {
            V.FChars = reinterpret_cast<const QChar*>(Chars);
            V.FFlags = 0;
        }
        V.FCount = quint32(Len);
        V.FKind = quint8(Kind);
    }

    // A string decoded into the side buffer.
    void PushDecoded(const char16_t* Chars, qsizetype Len)
    {
        TJsonValue& V = FStack.Push();
        V.FChars = reinterpret_cast<const QChar*>(Chars);
        V.FCount = quint32(Len);
        V.FKind = quint8(jkString);
        V.FFlags = 0;
    }

    void ParseValue()
    {
        SkipWhitespace();
        if (FPos >= FLen)
            Fail(QStringLiteral("意外的文本结尾"));
        switch (Unit(FPos)) {
        case u'"':
            ParseString();
            break;
        case u'[':
            ParseContainer(jkArray);
            break;
        case u'{':
            ParseContainer(jkObject);
            break;
        case u't':
            ParseLiteral("true", 4, jkTrue);
            break;
        case u'f':
            ParseLiteral("false", 5, jkFalse);
            break;
        case u'n':
            ParseLiteral("null", 4, jkNull);
            break;
        default:
            ParseNumber();
            break;
        }
    }

    void ParseLiteral(const char* Word, qsizetype Len, TJsonKind Kind)
    {
        if (!LiteralAt(Word, Len))
            Fail(QStringLiteral("非法字面量"));
        FPos += Len;
        PushSource(Kind, nullptr, 0);
    }

    // The run of number characters as written; it may be empty, and whether
    // it is a valid number is left to whoever reads it.
    void ParseNumber()
    {
        const qsizetype Start = FPos;
        while (FPos < FLen && IsNumberChar(Unit(FPos)))
            ++FPos;
        PushSource(jkNumber, FPos > Start ? FText + Start : nullptr, FPos - Start);
    }

    void ParseString()
    {
        Expect(u'"');
        const qsizetype Start = FPos;
        const TUnit* End = FText + FLen;
        const TUnit* P = FindQuoteOrBackslash(FText + FPos, End);
        if (P == End) {
            FPos = FLen;
            Fail(QStringLiteral("字符串没有结束引号"));
        }
        FPos = P - FText;
        if (*P == u'"') {
            // No escapes: the node points into the source text.
            ++FPos;
            PushSource(jkString, FText + Start, FPos - 1 - Start);
            return;
        }
        ParseEscapedString(Start);
    }

    // Slow path from the first backslash on: decode into the side buffer.
    void ParseEscapedString(qsizetype Start)
    {
        // Decoding never produces more code units than it reads (UTF-16
        // units or UTF-8 bytes), and a successful decode ends at the first
        // quote not taken by an escape, so that quote bounds the room needed.
        qsizetype Stop = FPos;
        while (Stop < FLen && FText[Stop] != u'"')
            Stop += FText[Stop] == u'\\' ? 2 : 1;
        const size_t Room = size_t(std::min(Stop, FLen) - Start);
        char16_t* const Out = FDoc->AllocText(Room);
        char16_t* W = Out;
        if constexpr (kBytes) {
            for (const char* P = FText + Start; P < FText + FPos;)
                W += DecodeUtf8Char(P, W);
        } else {
            std::memcpy(Out, FText + Start, size_t(FPos - Start) * sizeof(char16_t));
            W += FPos - Start;
        }

        for (;;) {
            if (FPos >= FLen)
                Fail(QStringLiteral("字符串没有结束引号"));
            const char16_t C = Unit(FPos);
            if (C == u'"') {
                ++FPos;
                break;
            }
            if (C != u'\\') {
                if constexpr (kBytes) {
                    const char* P = FText + FPos;
                    W += DecodeUtf8Char(P, W);
                    FPos = P - FText;
                } else {
                    *W++ = C;
                    ++FPos;
                }
                continue;
            }
            ++FPos;
            if (FPos >= FLen)
                Fail(QStringLiteral("转义序列不完整"));
            switch (Unit(FPos)) {
            case u'"': *W++ = u'"'; break;
            case u'\\': *W++ = u'\\'; break;
            case u'/': *W++ = u'/'; break;
            case u'b': *W++ = u'\b'; break;
            case u'f': *W++ = u'\f'; break;
            case u'n': *W++ = u'\n'; break;
            case u'r': *W++ = u'\r'; break;
            case u't': *W++ = u'\t'; break;
            case u'u': {
                ++FPos;
                const char16_t Code = ReadHex4();
                *W++ = Code;
                // A high surrogate takes the next \u escape as its partner,
                // whatever that holds; alone it is kept as it is.
                if (Code >= 0xD800 && Code <= 0xDBFF && FLen - FPos >= 2 && FText[FPos] == u'\\'
                    && FText[FPos + 1] == u'u') {
                    FPos += 2;
                    *W++ = ReadHex4();
                }
                continue;
            }
            default:
                Fail(QStringLiteral("未知的转义字符"));
            }
            ++FPos;
        }
        const size_t Used = size_t(W - Out);
        Q_ASSERT(Used <= Room);
        FDoc->KeepText(Out, Used);
        PushDecoded(Out, qsizetype(Used));
    }

    char16_t ReadHex4()
    {
        char16_t Value = 0;
        for (int I = 0; I < 4; ++I) {
            if (FPos >= FLen)
                Fail(QStringLiteral("转义序列不完整"));
            const char16_t C = Unit(FPos++);
            const int Digit = HexDigitValue(C);
            if (Digit < 0)
                Fail(QStringLiteral("非法的 \\\\u 转义"));
            Value = char16_t(Value * 16 + Digit);
        }
        return Value;
    }

    // Children are parsed onto the stack (an object's as key, value, key,
    // value), then moved as one block into the tree.
    void ParseContainer(TJsonKind Kind)
    {
        if (FDepth >= kJsonMaxDepth)
            Fail(QStringLiteral("嵌套层数超过 %1 层").arg(kJsonMaxDepth));
        ++FDepth;
        const size_t Base = FStack.Size();
        if (Kind == jkArray)
            ParseArrayBody();
        else
            ParseObjectBody();
        --FDepth;

        const size_t N = Kind == jkArray ? FStack.Size() - Base : (FStack.Size() - Base) / 2;
        TJsonValue* Block = nullptr;
        if (N && Kind == jkArray) {
            Block = FDoc->AllocNodes(N);
            std::memcpy(static_cast<void*>(Block), FStack.At(Base), N * sizeof(TJsonValue));
        } else if (N) {
            const TJsonValue* Pairs = FStack.At(Base);
            Block = FDoc->AllocNodes(N + 1);
            Block[0].FFirst = KeyList(Pairs, N);
            Block[0].FCount = quint32(N);
            Block[0].FKind = TJsonValue::kKeyList;
            Block[0].FFlags = 0;
            for (size_t I = 0; I < N; ++I)
                Block[1 + I] = Pairs[2 * I + 1];
        }
        FStack.Truncate(Base);
        TJsonValue& V = FStack.Push();
        V.FFirst = Block;
        V.FCount = quint32(N);
        V.FKind = quint8(Kind);
        V.FFlags = 0;
    }

    // Bytes of a key's text as held; keys held in different codings count
    // as different here, which only costs a list that is not shared.
    static size_t TextBytes(const TJsonValue& V)
    {
        return V.FFlags & TJsonValue::kfUtf8 ? V.FCount : V.FCount * sizeof(QChar);
    }

    static bool SameKeys(const TJsonValue* Keys, const TJsonValue* Pairs, size_t N)
    {
        for (size_t I = 0; I < N; ++I) {
            const TJsonValue& A = Keys[I];
            const TJsonValue& B = Pairs[2 * I];
            if (A.FCount != B.FCount || A.FFlags != B.FFlags
                || (A.FCount && std::memcmp(A.FChars, B.FChars, TextBytes(A)) != 0))
                return false;
        }
        return true;
    }

    // The shared list of the keys in Pairs (key, value, ...). Consecutive
    // objects mostly have the same keys, so the last list is tried first.
    const TJsonValue* KeyList(const TJsonValue* Pairs, size_t N)
    {
        if (FLastKeys.Count == N && SameKeys(FLastKeys.Keys, Pairs, N))
            return FLastKeys.Keys;
        size_t Hash = N;
        for (size_t I = 0; I < N; ++I)
            Hash = qHash(QByteArrayView(reinterpret_cast<const char*>(Pairs[2 * I].FChars),
                                        qsizetype(TextBytes(Pairs[2 * I]))),
                         Hash);
        const auto Range = FKeyLists.equal_range(Hash);
        for (auto It = Range.first; It != Range.second; ++It)
            if (It->second.Count == N && SameKeys(It->second.Keys, Pairs, N)) {
                FLastKeys = It->second;
                return FLastKeys.Keys;
            }
        TJsonValue* Keys = FDoc->AllocNodes(N);
        for (size_t I = 0; I < N; ++I)
            Keys[I] = Pairs[2 * I];
        FLastKeys = {Keys, N};
        // Documents with ever new keys get unshared lists past this point
        // rather than an ever growing table.
        if (FKeyLists.size() < kMaxKeyLists)
            FKeyLists.emplace(Hash, FLastKeys);
        return Keys;
    }

    void ParseArrayBody()
    {
        Expect(u'[');
        if (PeekChar() == u']') {
            Expect(u']');
            return;
        }
        for (;;) {
            ParseValue();
            const char16_t C = PeekChar();
            if (C == u',') {
                Expect(u',');
            } else if (C == u']') {
                Expect(u']');
                return;
            } else {
                Fail(QStringLiteral("数组元素之间缺少逗号"));
            }
        }
    }

    void ParseObjectBody()
    {
        Expect(u'{');
        if (PeekChar() == u'}') {
            Expect(u'}');
            return;
        }
        for (;;) {
            ParseString();
            Expect(u':');
            ParseValue();
            if (PeekChar() == u',')
                Expect(u',');
            else
                break;
        }
        if (PeekChar() != u'}')
            Fail(QStringLiteral("对象成员之间缺少逗号"));
        Expect(u'}');
    }

    TSource FSource;
    const TUnit* FText;
    qsizetype FLen;
    qsizetype FPos = 0;
    int FDepth = 0;
    TJsonDocument* FDoc = nullptr;
    TNodeStack FStack;
    struct TKeyList
    {
        const TJsonValue* Keys = nullptr;
        size_t Count = 0;
    };
    TKeyList FLastKeys;
    std::unordered_multimap<size_t, TKeyList> FKeyLists;
};

namespace {

template <typename TUnit, typename TSource>
std::unique_ptr<TJsonValue> RunParser(const TSource& Source, QString& ErrMsg)
{
    ErrMsg.clear();
    try {
        TJsonParser<TUnit> Parser(Source);
        return Parser.Run();
    } catch (const EJsonError& E) {
        ErrMsg = E.Message();
    } catch (const std::exception& E) {
        // Running out of memory on a huge document is a failed parse too.
        ErrMsg = TypeName(E) + QStringLiteral(": ") + QString::fromLocal8Bit(E.what());
    }
    return nullptr;
}

} // namespace

std::unique_ptr<TJsonValue> ParseJson(const QString& Text, QString& ErrMsg)
{
    return RunParser<char16_t>(Text, ErrMsg);
}

std::unique_ptr<TJsonValue> ParseJsonBytes(const QByteArray& Bytes, QString& ErrMsg)
{
    // Anything the byte parser could not count the way the text parser
    // does (malformed UTF-8, lengths past the text limit) takes the text
    // path, which decodes exactly as before.
    if (Bytes.size() > kJsonMaxTextLength || !IsValidUtf8(Bytes.constData(), Bytes.size()))
        return ParseJson(DecodeOutput(Bytes), ErrMsg);
    return RunParser<char>(Bytes, ErrMsg);
}
