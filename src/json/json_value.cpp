#include "json_value.h"

#include "text_util.h"
#include "utf8.h"

#include "json_document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

// Node chunks start small, so a short document stays small, and double up
// to a size that huge pages serve well. Blocks from half a chunk up get
// their own allocation.
constexpr size_t kFirstNodeChunk = 4096;
constexpr size_t kMaxNodeChunk = (size_t(4) << 20) / sizeof(TJsonValue);
constexpr size_t kTextChunk = 65536;

bool IsAscii(QLatin1StringView S)
{
    for (const char C : S)
        if (uchar(C) >= 0x80)
            return false;
    return true;
}

bool SameBytes(const void* A, const void* B, size_t Bytes)
{
    return Bytes == 0 || std::memcmp(A, B, Bytes) == 0;
}

// Key is the key node of a pair, in either coding.
bool SameKey(const TJsonValue& Key, QStringView B)
{
    return Key.StrView().visit([&](auto A) {
        if constexpr (IsUtf16View<decltype(A)>)
            return A.size() == B.size() && SameBytes(A.data(), B.data(), size_t(B.size()) * sizeof(QChar));
        else
            return QAnyStringView::equal(A, B);
    });
}

// KeyAscii: B holds only ASCII, so its bytes are its UTF-8 too.
bool SameKey(const TJsonValue& Key, QLatin1StringView B, bool KeyAscii)
{
    return Key.StrView().visit([&](auto A) {
        if constexpr (IsUtf16View<decltype(A)>) {
            if (A.size() != B.size())
                return false;
            const char* Q = B.data();
            for (qsizetype I = 0; I < B.size(); ++I)
                if (A[I].unicode() != uchar(Q[I]))
                    return false;
            return true;
        } else if (KeyAscii) {
            return A.size() == B.size() && SameBytes(A.data(), B.data(), size_t(B.size()));
        } else {
            return QAnyStringView::equal(A, B);
        }
    });
}

} // namespace

void TBlockFree::operator()(std::byte* P) const
{
    std::free(P);
}

TBlock AllocBlock(size_t Bytes)
{
    void* P = AllocHugePages(Bytes);
    if (!P)
        P = std::malloc(Bytes ? Bytes : 1);
    if (!P)
        throw std::bad_alloc();
    return TBlock(static_cast<std::byte*>(P));
}

TJsonDocument::TJsonDocument()
    : FNodes(kFirstNodeChunk, kMaxNodeChunk, 2), FTexts(kTextChunk, kTextChunk, 8)
{
    FChars = nullptr;
    FCount = 0;
    FKind = jkNull;
    FFlags = kfRoot;
}

void TJsonValue::operator delete(TJsonValue* Value, std::destroying_delete_t)
{
    if (!Value)
        return;
    // Inner nodes belong to their tree and are released with its root.
    Q_ASSERT(Value->FFlags & kfRoot);
    if (!(Value->FFlags & kfRoot))
        return;
    auto* Doc = static_cast<TJsonDocument*>(Value);
    Doc->~TJsonDocument();
    ::operator delete(Doc);
}

QString TJsonValue::AsString() const
{
    return StrView().toString();
}

const TJsonValue* TJsonValue::Get(QStringView Key) const
{
    if (FKind != jkObject || !FCount)
        return nullptr;
    const TJsonValue* Keys = FFirst->FFirst;
    for (quint32 I = 0; I < FCount; ++I)
        if (SameKey(Keys[I], Key))
            return FFirst + 1 + I;
    return nullptr;
}

const TJsonValue* TJsonValue::Get(QLatin1StringView Key) const
{
    if (FKind != jkObject || !FCount)
        return nullptr;
    const bool KeyAscii = IsAscii(Key);
    const TJsonValue* Keys = FFirst->FFirst;
    for (quint32 I = 0; I < FCount; ++I)
        if (SameKey(Keys[I], Key, KeyAscii))
            return FFirst + 1 + I;
    return nullptr;
}

const TJsonValue* TJsonValue::Get(const char* Key) const
{
    if (!Key)
        return nullptr;
    const size_t Len = std::strlen(Key);
    for (size_t I = 0; I < Len; ++I)
        if (uchar(Key[I]) >= 0x80)
            return Get(QString::fromUtf8(Key, qsizetype(Len)));
    return Get(QLatin1StringView(Key, qsizetype(Len)));
}

QAnyStringView TJsonValue::PairKeyView(int Index) const
{
    if (FKind != jkObject || Index < 0 || quint32(Index) >= FCount)
        return QAnyStringView();
    return FFirst->FFirst[Index].StrView();
}

const TJsonValue* TJsonValue::PairValue(int Index) const
{
    if (FKind != jkObject || Index < 0 || quint32(Index) >= FCount)
        return nullptr;
    return FFirst + 1 + Index;
}

bool TJsonValue::ParseInt64(QAnyStringView Text, qint64& Value)
{
    return ParseDecimal(Text, Value);
}

std::unique_ptr<TJsonValue> NewJsonValue(TJsonKind Kind)
{
    auto* Doc = ::new TJsonDocument();
    Doc->SetKind(Kind);
    return std::unique_ptr<TJsonValue>(Doc);
}
