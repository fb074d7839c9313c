// Win32-style system services over POSIX: files and mappings, the version
// query, the registry, processor features and module lookup. Each service has
// a small test control in namespace txplatform.
#pragma once

#include "platform/win32_types.h"

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MORE_DATA 234L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_FILE_INVALID 1006L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_USER_MAPPED_FILE 1224L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_MOD_NOT_FOUND 126L

DWORD GetLastError();
void SetLastError(DWORD error);

// ---------------------------------------------------------------------------
// Files and mappings
// ---------------------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define PAGE_READONLY 0x02u
#define FILE_MAP_READ 0x0004u
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define MOVEFILE_REPLACE_EXISTING 0x00000001u

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Wide names are UTF-16 and are converted to UTF-8 for the host.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// A mapping of an empty file fails, as on the original system.
HANDLE CreateFileMappingA(HANDLE file, SECURITY_ATTRIBUTES* attributes, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name);
LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess, DWORD fileOffsetHigh,
                     DWORD fileOffsetLow, size_t numberOfBytesToMap);
BOOL UnmapViewOfFile(LPCVOID baseAddress);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, DWORD* numberOfBytesRead,
              void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite, DWORD* numberOfBytesWritten,
               void* overlapped);
BOOL CloseHandle(HANDLE object);
BOOL DeleteFileA(LPCSTR fileName);
BOOL DeleteFileW(LPCWSTR fileName);
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);

// Code pages: the host's "ANSI" code page is UTF-8.
#define CP_ACP 0u
#define CP_UTF8 65001u
// Fail with ERROR_NO_UNICODE_TRANSLATION on malformed input instead of
// replacing it.
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideString, int wideCount,
                        LPSTR multiByteString, int multiByteCount, LPCSTR defaultChar,
                        BOOL* usedDefaultChar);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteString, int multiByteCount,
                        WCHAR* wideString, int wideCount);

// ---------------------------------------------------------------------------
// Operating-system version
// ---------------------------------------------------------------------------
#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize; // must be sizeof(OSVERSIONINFOA), 148
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

// Reports an NT-family system unless a test has set another version.
BOOL GetVersionExA(OSVERSIONINFOA* versionInformation);

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_READ 0x20019u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD samDesired, HKEY* result);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegCloseKey(HKEY key);

// ---------------------------------------------------------------------------
// Processor features
// ---------------------------------------------------------------------------
#define PF_FLOATING_POINT_PRECISION_ERRATA 0u
#define PF_FLOATING_POINT_EMULATED 1u
#define PF_COMPARE_EXCHANGE_DOUBLE 2u
#define PF_MMX_INSTRUCTIONS_AVAILABLE 3u
#define PF_XMMI_INSTRUCTIONS_AVAILABLE 6u
#define PF_3DNOW_INSTRUCTIONS_AVAILABLE 7u
#define PF_RDTSC_INSTRUCTION_AVAILABLE 8u
#define PF_XMMI64_INSTRUCTIONS_AVAILABLE 10u

BOOL IsProcessorFeaturePresent(DWORD processorFeature);

// ---------------------------------------------------------------------------
// Modules
// ---------------------------------------------------------------------------
// GetModuleHandleA(nullptr) gives the process's own instance handle.
HMODULE GetModuleHandleA(LPCSTR moduleName);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// ---------------------------------------------------------------------------
// Test controls
// ---------------------------------------------------------------------------
namespace txplatform {

// Makes GetVersionExA report the given version (platform, major, minor,
// build) until ClearVersionOverride.
void SetVersionOverride(DWORD platformId, DWORD major, DWORD minor, DWORD build);
void ClearVersionOverride();

// Result of the processor identification instruction.
struct CpuidRegisters {
    uint32_t eax, ebx, ecx, edx;
};

// Runs the processor identification instruction for `leaf` (subleaf 0).
// Returns false when the processor has no such instruction or, under a test
// override, when the override says that it faults.
bool Cpuid(uint32_t leaf, CpuidRegisters* registers);

// A processor presented to the library instead of the real one: the feature
// bits of leaf 1 (MMX, SSE, SSE2) and of extended leaf 0x80000001 (3DNow!) are
// replaced by these flags; the other bits come from the real processor.
struct ProcessorOverride {
    bool mmx;
    bool sse;
    bool sse2;
    bool amd3dNow;
    bool identificationFaults; // Cpuid fails for every leaf
};
void SetProcessorOverride(const ProcessorOverride& processor);
void ClearProcessorOverride();

// Registry store. Values are loaded from the file named by TX_REGISTRY_FILE
// on first use; tests change them in memory.
void RegistrySetDword(HKEY root, const char* subKey, const char* valueName, DWORD value);
void RegistrySetString(HKEY root, const char* subKey, const char* valueName, const char* value);
void RegistryRemoveValue(HKEY root, const char* subKey, const char* valueName);
// Forgets every change and loads TX_REGISTRY_FILE again.
void RegistryReset();

// Makes a module ("d3d8.dll", "d3d8d.dll", compared without case) visible to
// GetModuleHandleA and LoadLibraryA, or hides it.
void SetModulePresent(const char* moduleName, bool present);
// How many times the "DebugSetMute" export of a module was called, and with
// what value the last time (for tests).
unsigned DebugSetMuteCallCount(const char* moduleName);
DWORD DebugSetMuteLastValue(const char* moduleName);

} // namespace txplatform
