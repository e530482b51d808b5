#pragma once

// What the engine's SIMD paths need to know about the machine: whether this is x86 (the AVX2 and
// SSE2 paths exist only there) and whether the CPU running it has AVX2 (asked once).
#if defined(__x86_64__) || defined(__i386__)
 #include <immintrin.h>
 #define OSTREL_X86 1
#else
 #define OSTREL_X86 0
#endif

namespace SimdSupport
{
inline bool cpuHasAvx2() noexcept
{
#if OSTREL_X86
    static const bool hasAvx2 = __builtin_cpu_supports ("avx2");
    return hasAvx2;
#else
    return false;
#endif
}
} // namespace SimdSupport
