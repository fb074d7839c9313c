// The in-memory registry behind RegOpenKeyExA and RegQueryValueExA, filled
// from the file named by TX_REGISTRY_FILE on first use (format in
// docs/platform-services.md).
#pragma once

#include <string>
#include <vector>

#include "platform/win32_system.h"

namespace txplatform::detail {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Key paths are kept in one spelling so that lookups ignore case as the
// registry does: the root's full name, then the subkey names, lower case
// (ASCII letters), joined by backslashes:
//   hkey_local_machine\software\direct3d

// The spelling of a predefined root, or false for any other handle.
bool RootKeyPath(HKEY root, std::string* path);

// Appends a subkey path ("Software\Direct3D", a trailing backslash allowed)
// to a key path. A null or empty subkey leaves the path as it is. Returns
// false for a malformed subkey (an empty name between backslashes).
bool AppendSubKey(const char* subKey, std::string* path);

// Lower-cases ASCII letters.
std::string FoldCase(std::string text);

// The store. Every function loads TX_REGISTRY_FILE first if that has not been
// done yet, and is safe to call from any thread.
bool RegistryKeyExists(const std::string& keyPath);
// ERROR_SUCCESS with the value, or ERROR_FILE_NOT_FOUND.
LONG RegistryGetValue(const std::string& keyPath, const char* valueName, RegistryValue* value);
// Creates the key (and so its parents) when needed. Fails only when memory
// runs out.
bool RegistryPutValue(const std::string& keyPath, const char* valueName, RegistryValue value);
void RegistryDeleteValue(const std::string& keyPath, const char* valueName);
void RegistryReload();

// Parses registry text into (key, value name, value) entries and key
// creations; malformed lines are skipped. Used by the loader, and by tests
// through the store.
class RegistrySink {
public:
    virtual void Key(const std::string& keyPath) = 0;
    virtual void Value(const std::string& keyPath, const std::string& valueName,
                       RegistryValue value) = 0;

protected:
    ~RegistrySink() = default;
};
void ParseRegistryText(const std::string& text, RegistrySink& sink);

} // namespace txplatform::detail
