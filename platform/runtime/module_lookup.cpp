// Module lookup: the process's own module and the runtime's two modules,
// "d3d8.dll" (this runtime, present) and "d3d8d.dll" (its debug variant,
// absent unless a test makes it present). Both export "DebugSetMute", which
// mutes the runtime's debug output.
#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/direct3d8.h"
#include "platform/runtime/debug_output.h"
#include "platform/win32_system.h"

namespace {

struct Module {
    const char* name;
    bool present;
    unsigned loads; // LoadLibraryA calls not yet matched by FreeLibrary
    unsigned muteCalls;
    DWORD lastMuteValue;
};

Module modules[] = {
    {"d3d8.dll", true, 0, 0, 0},
    {"d3d8d.dll", false, 0, 0, 0},
};

// The process's instance handle: the address of an object of the program
// image, which no other handle shares.
char processImage;

HMODULE HandleOf(Module& module) {
    return reinterpret_cast<HMODULE>(&module);
}

// A module name compared without case; a name without extension means the
// ".dll" of that name, as the platform's loader reads it.
bool NameMatches(const char* wanted, const char* moduleName) {
    size_t i = 0;
    for (; wanted[i] && moduleName[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(wanted[i])) !=
            std::tolower(static_cast<unsigned char>(moduleName[i])))
            return false;
    if (!wanted[i] && !moduleName[i]) return true;
    return !wanted[i] && std::strcmp(moduleName + i, ".dll") == 0 &&
           std::strchr(wanted, '.') == nullptr;
}

Module* FindModule(const char* name) {
    if (!name) return nullptr;
    for (Module& module : modules)
        if (NameMatches(name, module.name)) return &module;
    return nullptr;
}

Module* ModuleOfHandle(HMODULE handle) {
    for (Module& module : modules)
        if (HandleOf(module) == handle) return &module;
    return nullptr;
}

void Mute(Module& module, DWORD value) {
    ++module.muteCalls;
    module.lastMuteValue = value;
    txruntime::SetDebugMuted(value != 0);
}

void DebugSetMuteRelease(DWORD value) {
    Mute(modules[0], value);
}
void DebugSetMuteDebug(DWORD value) {
    Mute(modules[1], value);
}

// Exports travel as FARPROC and are cast back by their callers; the detour
// through the generic function type says that the change of type is meant.
template <class Function>
FARPROC AsFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

template <class Result>
Result Failed(DWORD error) {
    SetLastError(error);
    return Result{};
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return reinterpret_cast<HMODULE>(&processImage);
    Module* module = FindModule(moduleName);
    if (!module || !module->present) return Failed<HMODULE>(ERROR_MOD_NOT_FOUND);
    return HandleOf(*module);
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    Module* module = FindModule(fileName);
    if (!module || !module->present) return Failed<HMODULE>(ERROR_MOD_NOT_FOUND);
    ++module->loads;
    return HandleOf(*module);
}

FARPROC GetProcAddress(HMODULE handle, LPCSTR procName) {
    Module* module = ModuleOfHandle(handle);
    if (!module && handle != reinterpret_cast<HMODULE>(&processImage))
        return Failed<FARPROC>(ERROR_INVALID_HANDLE);
    if (!module || !module->present || !procName) return Failed<FARPROC>(ERROR_PROC_NOT_FOUND);
    // Values below 64K are export ordinals, not names; neither module
    // exports by ordinal.
    if (reinterpret_cast<uintptr_t>(procName) < 0x10000u)
        return Failed<FARPROC>(ERROR_PROC_NOT_FOUND);
    if (std::strcmp(procName, "DebugSetMute") == 0)
        return module == &modules[0] ? AsFarProc(&DebugSetMuteRelease)
                                     : AsFarProc(&DebugSetMuteDebug);
    if (std::strcmp(procName, "Direct3DCreate8") == 0) return AsFarProc(&Direct3DCreate8);
    return Failed<FARPROC>(ERROR_PROC_NOT_FOUND);
}

BOOL FreeLibrary(HMODULE handle) {
    Module* module = ModuleOfHandle(handle);
    if (!module || module->loads == 0) return Failed<BOOL>(ERROR_INVALID_HANDLE);
    --module->loads;
    return TRUE;
}

namespace txplatform {

void SetModulePresent(const char* moduleName, bool present) {
    if (Module* module = FindModule(moduleName)) module->present = present;
}

unsigned DebugSetMuteCallCount(const char* moduleName) {
    Module* module = FindModule(moduleName);
    return module ? module->muteCalls : 0;
}

DWORD DebugSetMuteLastValue(const char* moduleName) {
    Module* module = FindModule(moduleName);
    return module ? module->lastMuteValue : 0;
}

} // namespace txplatform
