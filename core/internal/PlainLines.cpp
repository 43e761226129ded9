#include "core/internal/PlainLines.h"

#include "core/FileOperationHooks.h"

#if defined(__x86_64__) && defined(__GNUC__)

#define KELTO_PLAIN_LINES_NAME skipPlainLinesSse2
#include "core/internal/PlainLines.inc"

#ifdef KELTO_HAVE_AVX2_BUILD
const char *skipPlainLinesAvx2(const char *lineStart, const char *end, const PlainLineNames &names);
#endif

PlainLineSkipper plainLineSkipper()
{
#ifdef KELTO_HAVE_AVX2_BUILD
    if (FileOperationHooks::current().widestVectorsAllowed() && __builtin_cpu_supports("avx2"))
        return skipPlainLinesAvx2;
#endif
    return skipPlainLinesSse2;
}

#else

PlainLineSkipper plainLineSkipper()
{
    return nullptr;
}

#endif
