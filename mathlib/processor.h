// Processor detection: instruction-set extensions that the processor and the
// operating system support, and the "DisableMMX" registry switch.
#pragma once

#include "platform/win32_types.h"

// Non-zero when the processor and the operating system support the feature:
// 6 (SSE), 7 (3DNow!), 10 (SSE2); any other number gives 0.
int TxProcessorFeature(DWORD feature);

// 1 when MMX may be used, else 0. Reads "DisableMMX" on every call.
int TxIsMMXProcessor();
