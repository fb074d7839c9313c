// RegOpenKeyExA, RegQueryValueExA, RegCloseKey and the registry test
// controls.
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/kernel_objects.h"
#include "platform/registry_store.h"

namespace {

using namespace txplatform::detail;

std::mutex& KeyMutex() {
    static std::mutex mutex;
    return mutex;
}

// Open keys by handle value; each remembers the path it names.
std::unordered_map<uintptr_t, std::string>& OpenKeys() {
    static auto* keys = new std::unordered_map<uintptr_t, std::string>();
    return *keys;
}

// The path named by a predefined root or an open key.
bool KeyPath(HKEY key, std::string* path) {
    if (RootKeyPath(key, path)) return true;
    std::lock_guard<std::mutex> lock(KeyMutex());
    const auto found = OpenKeys().find(reinterpret_cast<uintptr_t>(key));
    if (found == OpenKeys().end()) return false;
    *path = found->second;
    return true;
}

LONG OpenKey(HKEY key, LPCSTR subKey, HKEY* result) {
    std::string path;
    if (!KeyPath(key, &path)) return ERROR_INVALID_HANDLE;
    if (!AppendSubKey(subKey, &path) || !RegistryKeyExists(path)) return ERROR_FILE_NOT_FOUND;
    const uintptr_t value = NewHandleValue();
    {
        std::lock_guard<std::mutex> lock(KeyMutex());
        OpenKeys().emplace(value, std::move(path));
    }
    *result = reinterpret_cast<HKEY>(value);
    return ERROR_SUCCESS;
}

LONG QueryValue(HKEY key, LPCSTR valueName, DWORD* type, BYTE* data, DWORD* dataSize) {
    std::string path;
    if (!KeyPath(key, &path)) return ERROR_INVALID_HANDLE;
    RegistryValue value;
    const LONG status = RegistryGetValue(path, valueName, &value);
    if (status != ERROR_SUCCESS) return status;
    if (type) *type = value.type;
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (dataSize == nullptr) return ERROR_SUCCESS; // asked only whether it exists
    if (data == nullptr) {
        *dataSize = size;
        return ERROR_SUCCESS;
    }
    const DWORD room = *dataSize;
    *dataSize = size;
    if (room < size) return ERROR_MORE_DATA; // the buffer is left untouched
    if (size != 0) std::memcpy(data, value.data.data(), size);
    return ERROR_SUCCESS;
}

// The path of a test control's key; false for an unknown root or a malformed
// subkey, which the controls then ignore.
bool ControlPath(HKEY root, const char* subKey, std::string* path) {
    return KeyPath(root, path) && AppendSubKey(subKey, path);
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, DWORD /*samDesired*/, HKEY* result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    try {
        return OpenKey(key, subKey, result);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    try {
        return QueryValue(key, valueName, type, data, dataSize);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegCloseKey(HKEY key) {
    std::string root;
    if (RootKeyPath(key, &root)) return ERROR_SUCCESS; // predefined keys stay open
    std::lock_guard<std::mutex> lock(KeyMutex());
    return OpenKeys().erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                              : ERROR_INVALID_HANDLE;
}

namespace txplatform {

void RegistrySetDword(HKEY root, const char* subKey, const char* valueName, DWORD value) {
    try {
        std::string path;
        if (!ControlPath(root, subKey, &path)) return;
        RegistryValue stored;
        stored.type = REG_DWORD;
        stored.data.resize(sizeof(DWORD));
        std::memcpy(stored.data.data(), &value, sizeof(DWORD));
        RegistryPutValue(path, valueName, std::move(stored));
    } catch (const std::bad_alloc&) {
    }
}

void RegistrySetString(HKEY root, const char* subKey, const char* valueName, const char* value) {
    try {
        std::string path;
        if (!ControlPath(root, subKey, &path)) return;
        RegistryValue stored;
        stored.type = REG_SZ;
        const char* text = value ? value : "";
        stored.data.assign(text, text + std::strlen(text) + 1);
        RegistryPutValue(path, valueName, std::move(stored));
    } catch (const std::bad_alloc&) {
    }
}

void RegistryRemoveValue(HKEY root, const char* subKey, const char* valueName) {
    try {
        std::string path;
        if (ControlPath(root, subKey, &path)) RegistryDeleteValue(path, valueName);
    } catch (const std::bad_alloc&) {
    }
}

void RegistryReset() {
    RegistryReload();
}

} // namespace txplatform
