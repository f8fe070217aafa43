#include "json_document.h"

// Large pages on Windows need a privilege that ordinary accounts lack, so
// blocks come from the heap.
void* AllocHugePages(size_t)
{
    return nullptr;
}
