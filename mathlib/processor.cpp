// Processor detection: which instruction-set extensions the processor has and
// the operating system preserves across task switches, and the "DisableMMX"
// switch.
#include "mathlib/processor.h"

#include <atomic>
#include <cstring>

#include "mathlib/processor_internal.h"
#include "platform/win32_system.h"

namespace {

constexpr DWORD kFeatureSse = PF_XMMI_INSTRUCTIONS_AVAILABLE;    // 6
constexpr DWORD kFeature3dNow = PF_3DNOW_INSTRUCTIONS_AVAILABLE; // 7
constexpr DWORD kFeatureSse2 = PF_XMMI64_INSTRUCTIONS_AVAILABLE; // 10

constexpr uint32_t kMmxBit = 1u << 23;
constexpr uint32_t kSseBit = 1u << 25;
constexpr uint32_t kSse2Bit = 1u << 26;
constexpr uint32_t k3dNowBit = 1u << 31;

// -1 until the first TxIsMMXProcessor call, then 0 or 1.
std::atomic<int> gMmxFlag{-1};

// EDX of leaf 1, or 0 when the processor has no such leaf or faults on the
// identification instruction.
uint32_t StandardFeatures() {
    txplatform::CpuidRegisters r{};
    if (!txplatform::Cpuid(0, &r) || r.eax == 0) return 0;
    if (!txplatform::Cpuid(1, &r)) return 0;
    return r.edx;
}

bool HasSse() {
    return (StandardFeatures() & kSseBit) != 0;
}
bool HasSse2() {
    return (StandardFeatures() & kSse2Bit) != 0;
}

bool Has3dNow() {
    txplatform::CpuidRegisters r{};
    if (!txplatform::Cpuid(0x80000000u, &r) || r.eax < 0x80000001u) return false;
    if (!txplatform::Cpuid(0x80000001u, &r)) return false;
    return (r.edx & k3dNowBit) != 0;
}

// Windows 95 and the first Windows 98 builds do not save the SSE registers
// on a task switch, so SSE code could see another program's values.
bool Win9xKeepsSseState(const OSVERSIONINFOA& version) {
    if (version.dwMajorVersion > 4) return true;
    return version.dwMajorVersion == 4 && version.dwMinorVersion >= 10 &&
           (version.dwBuildNumber & 0xFFFF) >= 1373;
}

// True when "DisableMMX" is present as a non-zero REG_DWORD.
bool MmxDisabledByAdministrator() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Direct3D", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    BYTE data[sizeof(DWORD)] = {};
    DWORD size = sizeof(data);
    const LONG status = RegQueryValueExA(key, "DisableMMX", nullptr, &type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(DWORD)) return false;
    DWORD value = 0;
    std::memcpy(&value, data, sizeof(value));
    return value != 0;
}

// Runs the MMX state-clearing instruction: if the processor claimed MMX
// falsely this faults here, at detection, rather than inside a filter.
void ClearMmxState() {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ __volatile__("emms");
#endif
}

} // namespace

int TxProcessorFeature(DWORD feature) {
    if (feature != kFeatureSse && feature != kFeature3dNow && feature != kFeatureSse2) return 0;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return 0;

    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        // Early NT releases do not know the SSE2 feature number, so its bit
        // is read from the processor directly.
        if (feature == kFeatureSse2) return HasSse2() ? 1 : 0;
        return IsProcessorFeaturePresent(feature) ? 1 : 0;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (feature == kFeature3dNow) return Has3dNow() ? 1 : 0;
        if (!Win9xKeepsSseState(version)) return 0;
        return (feature == kFeatureSse ? HasSse() : HasSse2()) ? 1 : 0;
    default:
        return 0;
    }
}

int TxIsMMXProcessor() {
    if (MmxDisabledByAdministrator()) {
        gMmxFlag.store(0);
        return 0;
    }
    int flag = gMmxFlag.load();
    if (flag == -1) {
        flag = 0;
        txplatform::CpuidRegisters r{};
        if (txplatform::Cpuid(1, &r) && (r.edx & kMmxBit) != 0) {
            ClearMmxState();
            flag = 1;
        }
        gMmxFlag.store(flag);
    }
    return flag;
}

namespace txmath {

void ResetProcessorDetection() {
    gMmxFlag.store(-1);
}

} // namespace txmath
