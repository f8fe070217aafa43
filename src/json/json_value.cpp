#include "json_value.h"

#include "text_util.h"

#include "json_document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace {

// Node chunks start small, so a short document stays small, and double up
// to a size that huge pages serve well. Blocks from half a chunk up get
// their own allocation.
constexpr size_t kFirstNodeChunk = 4096;
constexpr size_t kMaxNodeChunk = (size_t(4) << 20) / sizeof(TJsonValue);
constexpr size_t kTextChunk = 65536;
constexpr size_t kHugePage = size_t(2) << 20;

bool SameKey(QStringView A, QStringView B)
{
    return A.size() == B.size()
           && std::memcmp(A.data(), B.data(), size_t(A.size()) * sizeof(QChar)) == 0;
}

bool SameKey(QStringView A, QLatin1StringView B)
{
    if (A.size() != B.size())
        return false;
    const QChar* P = A.data();
    const char* Q = B.data();
    for (qsizetype I = 0; I < A.size(); ++I)
        if (P[I].unicode() != uchar(Q[I]))
            return false;
    return true;
}

} // namespace

void TBlockFree::operator()(std::byte* P) const
{
    std::free(P);
}

TBlock AllocBlock(size_t Bytes)
{
    void* P = nullptr;
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (Bytes >= kHugePage) {
        const size_t Rounded = (Bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (posix_memalign(&P, kHugePage, Rounded) == 0) {
            ::madvise(P, Rounded, MADV_HUGEPAGE);
            return TBlock(static_cast<std::byte*>(P));
        }
        P = nullptr;
    }
#endif
    P = std::malloc(Bytes ? Bytes : 1);
    if (!P)
        throw std::bad_alloc();
    return TBlock(static_cast<std::byte*>(P));
}

TJsonDocument::TJsonDocument()
    : FNodeChunk(kFirstNodeChunk)
{
    FChars = nullptr;
    FCount = 0;
    FKind = jkNull;
    FFlags = kfRoot;
}

TJsonValue* TJsonDocument::AllocNodes(size_t N)
{
    if (N > FNodeLeft) {
        if (N >= FNodeChunk / 2) {
            // Own block; the current chunk keeps serving small containers.
            FNodeChunks.push_back(AllocBlock(N * sizeof(TJsonValue)));
            return reinterpret_cast<TJsonValue*>(FNodeChunks.back().get());
        }
        FNodeChunks.push_back(AllocBlock(FNodeChunk * sizeof(TJsonValue)));
        FNodeNext = reinterpret_cast<TJsonValue*>(FNodeChunks.back().get());
        FNodeLeft = FNodeChunk;
        FNodeChunk = std::min(FNodeChunk * 2, kMaxNodeChunk);
    }
    TJsonValue* Block = FNodeNext;
    FNodeNext += N;
    FNodeLeft -= N;
    return Block;
}

char16_t* TJsonDocument::AllocText(size_t N)
{
    if (N > FTextLeft) {
        if (N >= kTextChunk / 8) {
            FTextChunks.push_back(AllocBlock(N * sizeof(char16_t)));
            return reinterpret_cast<char16_t*>(FTextChunks.back().get());
        }
        FTextChunks.push_back(AllocBlock(kTextChunk * sizeof(char16_t)));
        FTextNext = reinterpret_cast<char16_t*>(FTextChunks.back().get());
        FTextLeft = kTextChunk;
    }
    return FTextNext;
}

void TJsonDocument::KeepText(char16_t* Start, size_t Used)
{
    // Only a block carved from the current chunk advances the cursor; an own
    // block is already accounted for.
    if (Start == FTextNext && Used <= FTextLeft) {
        FTextNext += Used;
        FTextLeft -= Used;
    }
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
        if (SameKey(Keys[I].StrView(), Key))
            return FFirst + 1 + I;
    return nullptr;
}

const TJsonValue* TJsonValue::Get(QLatin1StringView Key) const
{
    if (FKind != jkObject || !FCount)
        return nullptr;
    const TJsonValue* Keys = FFirst->FFirst;
    for (quint32 I = 0; I < FCount; ++I)
        if (SameKey(Keys[I].StrView(), Key))
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

QStringView TJsonValue::PairKeyView(int Index) const
{
    if (FKind != jkObject || Index < 0 || quint32(Index) >= FCount)
        return QStringView();
    return FFirst->FFirst[Index].StrView();
}

const TJsonValue* TJsonValue::PairValue(int Index) const
{
    if (FKind != jkObject || Index < 0 || quint32(Index) >= FCount)
        return nullptr;
    return FFirst + 1 + Index;
}

bool TJsonValue::ParseInt64(QStringView Text, qint64& Value)
{
    return ParseDecimal(Text, Value);
}

std::unique_ptr<TJsonValue> NewJsonValue(TJsonKind Kind)
{
    auto* Doc = ::new TJsonDocument();
    Doc->SetKind(Kind);
    return std::unique_ptr<TJsonValue>(Doc);
}
