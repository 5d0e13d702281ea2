// A hint to the processor that the thread is spinning on a shared value.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
inline void CpuPause() { _mm_pause(); }
#elif defined(__aarch64__) || (defined(__arm__) && __ARM_ARCH >= 7)
inline void CpuPause() { __asm__ __volatile__("yield"); }
#else
// Elsewhere spinning goes on without a hint; the wait still ends in yields.
inline void CpuPause() {}
#endif
