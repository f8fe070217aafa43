#pragma once

// Whether SSE2 may be used: every x86-64 processor has it (GCC and Clang say
// so with __SSE2__, MSVC with _M_X64), a 32-bit x86 build only when it targets
// it. Code with a fast path writes "#if MK_HAVE_SSE2" and keeps a plain one.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define MK_HAVE_SSE2 1
#include <emmintrin.h>
#else
#define MK_HAVE_SSE2 0
#endif

// Asks for the cache line at P ahead of its use, so that misses on data
// read in no particular order overlap; nothing where the compiler has no hint.
inline void Prefetch(const void* P)
{
#if defined(__GNUC__)
    __builtin_prefetch(P);
#else
    (void)P;
#endif
}
