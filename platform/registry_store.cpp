// The in-memory registry store and its loading from TX_REGISTRY_FILE.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <sstream>

#include "platform/registry_store.h"

namespace txplatform::detail {
namespace {

// The registry keeps at most a few small values; a file larger than this is
// not a registry file and is ignored rather than read into memory.
constexpr std::streamoff kMaxFileSize = 4 << 20;

struct KeyValues {
    std::map<std::string, RegistryValue> values; // by folded name
};

struct Store : RegistrySink {
    std::map<std::string, KeyValues> keys; // by folded path
    bool loaded = false;

    void Key(const std::string& keyPath) override { keys[keyPath]; }
    void Value(const std::string& keyPath, const std::string& valueName,
               RegistryValue value) override {
        keys[keyPath].values[FoldCase(valueName)] = std::move(value);
    }
};

std::mutex& StoreMutex() {
    static std::mutex mutex;
    return mutex;
}

Store& TheStore() {
    static auto* store = new Store();
    return *store;
}

std::string ReadRegistryFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileSize) return {};
    in.seekg(0, std::ios::beg);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Call with the store locked.
void Load(Store& store) {
    store.keys.clear();
    store.loaded = true;
    try {
        // The key that the library reads always exists, as on any system
        // with the graphics runtime installed.
        std::string path;
        RootKeyPath(HKEY_LOCAL_MACHINE, &path);
        AppendSubKey("Software\\Direct3D", &path);
        store.Key(path);
        const char* file = std::getenv("TX_REGISTRY_FILE");
        if (file != nullptr && *file != '\0') ParseRegistryText(ReadRegistryFile(file), store);
    } catch (const std::bad_alloc&) {
        // Whatever was read before memory ran out stays.
    }
}

Store& LoadedStore() {
    Store& store = TheStore();
    if (!store.loaded) Load(store);
    return store;
}

} // namespace

std::string FoldCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool RootKeyPath(HKEY root, std::string* path) {
    if (root == HKEY_LOCAL_MACHINE) {
        *path = "hkey_local_machine";
    } else if (root == HKEY_CURRENT_USER) {
        *path = "hkey_current_user";
    } else if (root == HKEY_CLASSES_ROOT) {
        *path = "hkey_classes_root";
    } else {
        return false;
    }
    return true;
}

bool AppendSubKey(const char* subKey, std::string* path) {
    if (subKey == nullptr) return true;
    std::string rest(subKey);
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    if (rest.empty()) return *subKey == '\0'; // "\" alone names nothing
    size_t start = 0;
    for (;;) {
        const size_t end = rest.find('\\', start);
        const std::string name =
            rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty()) return false;
        *path += '\\';
        *path += FoldCase(name);
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

bool RegistryKeyExists(const std::string& keyPath) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    const auto& keys = LoadedStore().keys;
    if (keys.count(keyPath)) return true;
    // A key also exists as the parent of one that holds values or was named.
    const std::string prefix = keyPath + '\\';
    const auto next = keys.lower_bound(prefix);
    if (next != keys.end() && next->first.compare(0, prefix.size(), prefix) == 0) return true;
    std::string root;
    for (HKEY predefined : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        if (RootKeyPath(predefined, &root) && root == keyPath) return true;
    }
    return false;
}

LONG RegistryGetValue(const std::string& keyPath, const char* valueName, RegistryValue* value) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    const auto& keys = LoadedStore().keys;
    const auto key = keys.find(keyPath);
    if (key == keys.end()) return ERROR_FILE_NOT_FOUND;
    const auto found = key->second.values.find(FoldCase(valueName ? valueName : ""));
    if (found == key->second.values.end()) return ERROR_FILE_NOT_FOUND;
    *value = found->second;
    return ERROR_SUCCESS;
}

bool RegistryPutValue(const std::string& keyPath, const char* valueName, RegistryValue value) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    try {
        LoadedStore().Value(keyPath, valueName ? valueName : "", std::move(value));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RegistryDeleteValue(const std::string& keyPath, const char* valueName) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    auto& keys = LoadedStore().keys;
    const auto key = keys.find(keyPath);
    if (key != keys.end()) key->second.values.erase(FoldCase(valueName ? valueName : ""));
}

void RegistryReload() {
    std::lock_guard<std::mutex> lock(StoreMutex());
    Load(TheStore());
}

} // namespace txplatform::detail
