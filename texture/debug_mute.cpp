// TxDebugMute: silences the Direct3D runtime's debug output around calls that
// are expected to fail, through the optional "DebugSetMute" export of the
// runtime ("d3d8.dll") and of its debug variant ("d3d8d.dll").
#include "texture/debug_mute.h"

#include "platform/win32_system.h"

namespace {

using DebugSetMuteFunction = void (*)(DWORD);

DebugSetMuteFunction releaseRuntimeMute = nullptr;
DebugSetMuteFunction debugRuntimeMute = nullptr;

// The export of a module that the process has already loaded; a module that
// is not loaded is not loaded for this. The reference that LoadLibraryA adds
// is kept for the life of the process, so that the cached entry point stays
// valid.
DebugSetMuteFunction ResolveMute(const char* moduleName) {
    if (!GetModuleHandleA(moduleName)) return nullptr;
    const HMODULE module = LoadLibraryA(moduleName);
    if (!module) return nullptr;
    // Exports travel as FARPROC; the detour through the generic function
    // type says that the change back to the export's own type is meant.
    const FARPROC entry = GetProcAddress(module, "DebugSetMute");
    return reinterpret_cast<DebugSetMuteFunction>(reinterpret_cast<void (*)()>(entry));
}

} // namespace

void TxDebugMute(BOOL mute) {
    // Resolved once one of them is found; until then every call looks again.
    if (!releaseRuntimeMute && !debugRuntimeMute) {
        releaseRuntimeMute = ResolveMute("d3d8.dll");
        debugRuntimeMute = ResolveMute("d3d8d.dll");
    }
    if (releaseRuntimeMute) releaseRuntimeMute(static_cast<DWORD>(mute));
    if (debugRuntimeMute) debugRuntimeMute(static_cast<DWORD>(mute));
}

void ResetDebugMuteEntryPoints() {
    releaseRuntimeMute = nullptr;
    debugRuntimeMute = nullptr;
}
