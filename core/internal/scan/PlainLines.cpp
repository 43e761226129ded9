#include "core/internal/scan/PlainLines.h"

#if defined(__x86_64__) && defined(__GNUC__)

#define KELTO_PLAIN_LINES_NAME skipPlainLinesSse2
#include "core/internal/scan/PlainLines.inc"

#ifdef KELTO_HAVE_AVX2_BUILD
const char *skipPlainLinesAvx2(const char *lineStart, const char *end, const PlainLineNames &names);

// glibc answers from what its loader already learnt. __builtin_cpu_supports would link in
// libgcc's own probe, a constructor of a dozen CPUID instructions in every run, and in a virtual
// machine each one traps to the hypervisor: 0.05 ms, a twentieth of a small add.
#if __has_include(<sys/platform/x86.h>)
// The header is written for C, whose _Bool C++ spells bool; Clang takes no other spelling.
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
static bool processorHasAvx2()
{
    return CPU_FEATURE_ACTIVE(AVX2);
}
#else
static bool processorHasAvx2()
{
    return __builtin_cpu_supports("avx2");
}
#endif
#endif

PlainLineSkipper plainLineSkipper(VectorWidth width)
{
#ifdef KELTO_HAVE_AVX2_BUILD
    if (width == VectorWidth::Widest && processorHasAvx2())
        return skipPlainLinesAvx2;
#else
    static_cast<void>(width);
#endif
    return skipPlainLinesSse2;
}

#else

PlainLineSkipper plainLineSkipper(VectorWidth)
{
    return nullptr;
}

#endif
