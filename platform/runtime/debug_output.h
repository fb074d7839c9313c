// The runtime's debug output: with it on, every failing call writes one line
// "d3d8: <call>: <reason>" on standard error. It starts on when TX_D3D_DEBUG
// is 1 and is switched by txplatform::SetDebugOutput; the "DebugSetMute"
// exports silence it without changing that switch.
#pragma once

#include "platform/d3d8_types.h"

namespace txruntime {

// Writes the line for a failing call when output is on and not muted, and
// returns `result` so that callers can `return Fail(...)`.
HRESULT Fail(HRESULT result, const char* call, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Writes a line that is not tied to a failing call, under the same switches.
void DebugLine(const char* call, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes a warning whatever the switches say: for set-up mistakes that would
// otherwise go unnoticed, such as an unknown profile name in the environment.
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

void SetDebugMuted(bool muted);
// Forgets what txplatform::SetDebugOutput chose, so that TX_D3D_DEBUG decides
// again at the next line (for tests).
void ResetDebugOutput();
bool DebugMuted();
bool DebugOutputEnabled();

} // namespace txruntime
