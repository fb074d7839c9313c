// UTF-16 <-> UTF-8 conversion shared by the code-page functions and the wide
// file-name entry points.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

namespace txplatform::detail {

struct ConversionResult {
    size_t length;   // units the whole result needs, even past `capacity`
    bool hadInvalid; // malformed input was met (and replaced)
};

// Encodes `count` UTF-16 units as UTF-8; surrogate pairs become one 4-byte
// sequence, and each unpaired surrogate becomes `replacement`. Writes at most
// `capacity` bytes to `out` (which may be null when `capacity` is 0).
ConversionResult Utf16ToUtf8(const WCHAR* in, size_t count, char* out, size_t capacity,
                             std::string_view replacement);

// Decodes `count` bytes of UTF-8 into UTF-16. Each maximal ill-formed
// subsequence (a stray byte, a truncated or overlong sequence, an encoded
// surrogate, a value past U+10FFFF) becomes one U+FFFD. Writes at most
// `capacity` units to `out`.
ConversionResult Utf8ToUtf16(const char* in, size_t count, WCHAR* out, size_t capacity);

// Converts a null-terminated UTF-16 string. Returns false (leaving `out`
// unspecified) when the string holds an unpaired surrogate, which has no
// UTF-8 spelling and so cannot name a host file faithfully.
bool Utf16ToUtf8Strict(const WCHAR* in, std::string* out);

} // namespace txplatform::detail
