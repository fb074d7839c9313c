#include "platform/runtime/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/runtime_control.h"

namespace txruntime {

namespace {

// -1 until first asked: the environment decides unless a program has chosen.
int outputSwitch = -1;
bool muted = false;

bool OutputOn() {
    if (outputSwitch < 0) {
        const char* value = std::getenv("TX_D3D_DEBUG");
        outputSwitch = (value && std::strcmp(value, "1") == 0) ? 1 : 0;
    }
    return outputSwitch == 1 && !muted;
}

void WriteLine(const char* call, const char* format, va_list args) {
    char reason[512];
    std::vsnprintf(reason, sizeof reason, format, args);
    std::fprintf(stderr, "d3d8: %s: %s\n", call, reason);
    std::fflush(stderr);
}

} // namespace

HRESULT Fail(HRESULT result, const char* call, const char* format, ...) {
    if (OutputOn()) {
        va_list args;
        va_start(args, format);
        WriteLine(call, format, args);
        va_end(args);
    }
    return result;
}

void DebugLine(const char* call, const char* format, ...) {
    if (!OutputOn()) return;
    va_list args;
    va_start(args, format);
    WriteLine(call, format, args);
    va_end(args);
}

void Warn(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "d3d8: warning: %s\n", text);
    std::fflush(stderr);
}

void SetDebugMuted(bool mute) {
    muted = mute;
}
void ResetDebugOutput() {
    outputSwitch = -1;
}

bool DebugMuted() {
    return muted;
}
bool DebugOutputEnabled() {
    return OutputOn();
}

} // namespace txruntime

namespace txplatform {

void SetDebugOutput(bool enabled) {
    txruntime::outputSwitch = enabled ? 1 : 0;
}

} // namespace txplatform
