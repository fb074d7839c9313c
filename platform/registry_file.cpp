// Parser of the registry file. One entry per line:
//
//   ; comment            (also # comment; blank lines are skipped)
//   [HKEY_LOCAL_MACHINE\Software\Direct3D]
//   "DisableMMX"=dword:00000001
//   "Name"="text with \" and \\ escaped"
//   "Bytes"=hex:01,02,ff
//   @="the key's default value"
//
// A line that does not parse is skipped on its own; values after a header
// that does not parse are skipped up to the next good header.
#include <cctype>
#include <cstring>

#include "platform/registry_store.h"

namespace txplatform::detail {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (IsBlank(text[begin]) || text[begin] == '\r'))
        ++begin;
    while (end > begin && (IsBlank(text[end - 1]) || text[end - 1] == '\r'))
        --end;
    return text.substr(begin, end - begin);
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (at + i >= text.size()) return false;
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at text[*at] == '"'; leaves *at after the
// closing quote. Only \\ and \" are escapes.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    if (*at >= text.size() || text[*at] != '"') return false;
    out->clear();
    for (size_t i = *at + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *at = i + 1;
            return true;
        }
        if (c == '\\') {
            if (++i >= text.size() || (text[i] != '\\' && text[i] != '"')) return false;
            c = text[i];
        }
        out->push_back(c);
    }
    return false; // no closing quote
}

void SkipBlanks(const std::string& text, size_t* at) {
    while (*at < text.size() && IsBlank(text[*at]))
        ++*at;
}

bool ReadDword(const std::string& text, size_t at, RegistryValue* value) {
    const size_t digits = text.size() - at;
    if (digits == 0 || digits > 8) return false;
    DWORD number = 0;
    for (size_t i = at; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        number = (number << 4) | static_cast<DWORD>(digit);
    }
    // Kept in host order, so that a caller reading into a DWORD gets the
    // number back.
    value->type = REG_DWORD;
    value->data.resize(sizeof(DWORD));
    std::memcpy(value->data.data(), &number, sizeof(DWORD));
    return true;
}

bool ReadHexBytes(const std::string& text, size_t at, RegistryValue* value) {
    value->type = REG_BINARY;
    value->data.clear();
    SkipBlanks(text, &at);
    if (at == text.size()) return true; // no bytes
    for (;;) {
        SkipBlanks(text, &at);
        const int high = at < text.size() ? HexDigit(text[at]) : -1;
        if (high < 0) return false;
        ++at;
        int byte = high;
        if (at < text.size() && HexDigit(text[at]) >= 0) byte = (high << 4) | HexDigit(text[at++]);
        value->data.push_back(static_cast<BYTE>(byte));
        SkipBlanks(text, &at);
        if (at == text.size()) return true;
        if (text[at++] != ',') return false;
    }
}

bool ReadRootName(const std::string& name, HKEY* root) {
    static const struct {
        const char* name;
        HKEY root;
    } kRoots[] = {
        {"hkey_local_machine", HKEY_LOCAL_MACHINE}, {"hklm", HKEY_LOCAL_MACHINE},
        {"hkey_current_user", HKEY_CURRENT_USER},   {"hkcu", HKEY_CURRENT_USER},
        {"hkey_classes_root", HKEY_CLASSES_ROOT},   {"hkcr", HKEY_CLASSES_ROOT},
    };
    const std::string folded = FoldCase(name);
    for (const auto& known : kRoots) {
        if (folded == known.name) {
            *root = known.root;
            return true;
        }
    }
    return false;
}

bool ReadHeader(const std::string& line, std::string* keyPath) {
    if (line.size() < 2 || line.back() != ']') return false;
    const std::string inner = Trim(line.substr(1, line.size() - 2));
    const size_t slash = inner.find('\\');
    HKEY root = nullptr;
    if (!ReadRootName(inner.substr(0, slash), &root) || !RootKeyPath(root, keyPath)) return false;
    return slash == std::string::npos || AppendSubKey(inner.c_str() + slash + 1, keyPath);
}

bool ReadValueLine(const std::string& line, std::string* name, RegistryValue* value) {
    size_t at = 0;
    if (line[0] == '@') {
        name->clear();
        at = 1;
    } else if (!ReadQuoted(line, &at, name)) {
        return false;
    }
    SkipBlanks(line, &at);
    if (at >= line.size() || line[at] != '=') return false;
    ++at;
    SkipBlanks(line, &at);
    if (at < line.size() && line[at] == '"') {
        std::string text;
        if (!ReadQuoted(line, &at, &text)) return false;
        SkipBlanks(line, &at);
        if (at != line.size()) return false;
        value->type = REG_SZ;
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0); // stored with its terminator, as the registry does
        return true;
    }
    if (StartsWithNoCase(line, at, "dword:")) return ReadDword(line, at + 6, value);
    if (StartsWithNoCase(line, at, "hex:")) return ReadHexBytes(line, at + 4, value);
    return false;
}

} // namespace

void ParseRegistryText(const std::string& text, RegistrySink& sink) {
    std::string keyPath; // empty: no usable header yet
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (ReadHeader(line, &keyPath)) {
                sink.Key(keyPath);
            } else {
                keyPath.clear();
            }
            continue;
        }
        std::string name;
        RegistryValue value;
        if (!keyPath.empty() && ReadValueLine(line, &name, &value))
            sink.Value(keyPath, name, std::move(value));
    }
}

} // namespace txplatform::detail
