// GetVersionExA and the version a test can present instead.
#include <cstring>
#include <mutex>

#include "platform/win32_system.h"

// Callers pass this size to say which record they hand over.
static_assert(sizeof(OSVERSIONINFOA) == 148, "version record layout");

namespace {

struct Version {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
};

// The host is presented as an NT-family system: its processor-feature query
// and its wide-character file names are what the library should use.
constexpr Version kHostVersion{VER_PLATFORM_WIN32_NT, 5, 1, 2600};

std::mutex& VersionMutex() {
    static std::mutex mutex;
    return mutex;
}

bool gOverridden = false;
Version gOverride{};

} // namespace

BOOL GetVersionExA(OSVERSIONINFOA* versionInformation) {
    if (versionInformation == nullptr ||
        versionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Version version = kHostVersion;
    {
        std::lock_guard<std::mutex> lock(VersionMutex());
        if (gOverridden) version = gOverride;
    }
    versionInformation->dwMajorVersion = version.major;
    versionInformation->dwMinorVersion = version.minor;
    versionInformation->dwBuildNumber = version.build;
    versionInformation->dwPlatformId = version.platformId;
    std::memset(versionInformation->szCSDVersion, 0, sizeof(versionInformation->szCSDVersion));
    return TRUE;
}

namespace txplatform {

void SetVersionOverride(DWORD platformId, DWORD major, DWORD minor, DWORD build) {
    std::lock_guard<std::mutex> lock(VersionMutex());
    gOverride = Version{platformId, major, minor, build};
    gOverridden = true;
}

void ClearVersionOverride() {
    std::lock_guard<std::mutex> lock(VersionMutex());
    gOverridden = false;
}

} // namespace txplatform
