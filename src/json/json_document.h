#pragma once

// Storage behind a parsed tree; private to the JSON library.

#include "json_value.h"

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

// The root node of a tree is the base part of its document, so deleting the
// root (see TJsonValue::operator delete) releases the nodes and texts below.
class TJsonDocument final : public TJsonValue
{
public:
    TJsonDocument();

    // Room for N nodes side by side (N > 0). Small blocks share chunks;
    // a large one, such as a long records array, gets its own allocation.
    TJsonValue* AllocNodes(size_t N);
    // Room for up to N code units of decoded text; Used of them are kept and
    // the rest goes back to the chunk.
    char16_t* AllocText(size_t N);
    void KeepText(char16_t* Start, size_t Used);

    void BecomeRoot(const TJsonValue& Value)
    {
        static_cast<TJsonValue&>(*this) = Value;
        FFlags = kfRoot;
    }
    void SetKind(TJsonKind Kind) { FKind = quint8(Kind); }

    // Shared with the caller's text; strings without escapes point into it.
    QString FSource;

private:
    std::vector<TBlock> FNodeChunks;
    TJsonValue* FNodeNext = nullptr;
    size_t FNodeLeft = 0;
    size_t FNodeChunk;  // grows with the document
    std::vector<TBlock> FTextChunks;
    char16_t* FTextNext = nullptr;
    size_t FTextLeft = 0;
};
