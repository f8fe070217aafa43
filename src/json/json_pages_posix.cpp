#include "json_document.h"

#include <cstdlib>
#include <sys/mman.h>

void* AllocHugePages(size_t Bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr size_t kHugePage = size_t(2) << 20;
    if (Bytes < kHugePage)
        return nullptr;
    const size_t Rounded = (Bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* P = nullptr;
    if (posix_memalign(&P, kHugePage, Rounded) != 0)
        return nullptr;
    ::madvise(P, Rounded, MADV_HUGEPAGE);
    return P;
#else
    Q_UNUSED(Bytes);
    return nullptr;
#endif
}
