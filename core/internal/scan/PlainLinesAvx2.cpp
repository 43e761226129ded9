// Built with AVX2 enabled; called only where the processor has it.
#include "core/internal/scan/PlainLines.h"

#define KELTO_PLAIN_LINES_AVX2
#define KELTO_PLAIN_LINES_NAME skipPlainLinesAvx2
#include "core/internal/scan/PlainLines.inc"
