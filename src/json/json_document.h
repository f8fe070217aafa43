#pragma once

// Storage behind a parsed tree; private to the JSON library.

#include "json_value.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

// Raw memory for nodes and texts. Large blocks ask the system for huge pages
// where it offers them: filling hundreds of megabytes of fresh memory costs
// mostly page faults otherwise.
struct TBlockFree
{
    void operator()(std::byte* P) const;
};
using TBlock = std::unique_ptr<std::byte[], TBlockFree>;
TBlock AllocBlock(size_t Bytes);
// The system's half (json_pages_posix.cpp, json_pages_win.cpp): a block of
// at least Bytes in huge pages, released with std::free; nullptr when the
// block is too small for them or the system does not offer them.
void* AllocHugePages(size_t Bytes);

// A bump allocator of T in chunks that are freed together. A request of at
// least 1/OwnDivisor of a chunk gets a block of its own, so a long records
// array neither wastes the rest of a chunk nor forces a huge chunk size.
template <typename T>
class TArena
{
public:
    TArena(size_t FirstChunk, size_t MaxChunk, size_t OwnDivisor)
        : FChunk(FirstChunk), FMaxChunk(MaxChunk), FOwnDivisor(OwnDivisor)
    {
    }

    // Room for up to N items; Commit says how many of them were used.
    T* Reserve(size_t N)
    {
        if (N <= FLeft)
            return FNext;
        if (N >= FChunk / FOwnDivisor) {
            // Own block; the current chunk keeps serving small requests.
            FChunks.push_back(AllocBlock(N * sizeof(T)));
            return reinterpret_cast<T*>(FChunks.back().get());
        }
        FChunks.push_back(AllocBlock(FChunk * sizeof(T)));
        FNext = reinterpret_cast<T*>(FChunks.back().get());
        FLeft = FChunk;
        FChunk = std::min(FChunk * 2, FMaxChunk);
        return FNext;
    }
    void Commit(T* Start, size_t Used)
    {
        // Only room carved from the current chunk moves the cursor; an own
        // block is already accounted for.
        if (Start == FNext && Used <= FLeft) {
            FNext += Used;
            FLeft -= Used;
        }
    }
    T* Alloc(size_t N)
    {
        T* P = Reserve(N);
        Commit(P, N);
        return P;
    }

private:
    std::vector<TBlock> FChunks;
    T* FNext = nullptr;
    size_t FLeft = 0;
    size_t FChunk;
    size_t FMaxChunk;
    size_t FOwnDivisor;
};

// The root node of a tree is the base part of its document, so deleting the
// root (see TJsonValue::operator delete) releases the nodes and texts below.
class TJsonDocument final : public TJsonValue
{
public:
    TJsonDocument();

    // Room for N nodes side by side (N > 0).
    TJsonValue* AllocNodes(size_t N) { return FNodes.Alloc(N); }
    // Room for up to N code units of decoded text; Used of them are kept.
    char16_t* AllocText(size_t N) { return FTexts.Reserve(N); }
    void KeepText(char16_t* Start, size_t Used) { FTexts.Commit(Start, Used); }

    void BecomeRoot(const TJsonValue& Value)
    {
        static_cast<TJsonValue&>(*this) = Value;
        FFlags = quint8(Value.FFlags | kfRoot);
    }
    void SetKind(TJsonKind Kind) { FKind = quint8(Kind); }

    // Shared with the caller's text or bytes; plain strings point into it.
    QString FSource;
    QByteArray FSourceBytes;

private:
    TArena<TJsonValue> FNodes;
    TArena<char16_t> FTexts;
};
