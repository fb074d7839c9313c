// WideCharToMultiByte and MultiByteToWideChar. The host's "ANSI" code page is
// UTF-8, so CP_ACP and CP_UTF8 convert alike; they differ only in what stands
// for an unpaired surrogate (the default character, "?", for CP_ACP; U+FFFD
// for CP_UTF8) and in whether the default-character arguments are allowed.
#include <climits>
#include <cstring>
#include <string_view>

#include "platform/utf_convert.h"
#include "platform/win32_system.h"

namespace {

using txplatform::detail::ConversionResult;

// Flags that change nothing here but that callers routinely pass for the ANSI
// code page: the output is never decomposed and no best-fit mapping is made.
constexpr DWORD kMbPrecomposed = 0x00000001u;
constexpr DWORD kWcNoBestFitChars = 0x00000400u;

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

bool KnownCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

// Checks the arguments shared by both directions and works out the input
// length; returns false (with the last error set) for a bad call.
bool CheckCounts(const void* input, int inputCount, size_t inputLength, const void* output,
                 int outputCount, size_t* count) {
    if (input == nullptr || inputCount == 0 || inputCount < -1 || outputCount < 0 ||
        (outputCount > 0 && output == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // -1 means null-terminated, and the terminator is converted too.
    *count = inputCount == -1 ? inputLength + 1 : static_cast<size_t>(inputCount);
    return true;
}

// Turns a conversion result into the Win32 answer: the size for a size query,
// the length written, or 0 with the reason.
int Finish(const ConversionResult& result, bool strict, int outputCount) {
    if (strict && result.hadInvalid) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (result.length > static_cast<size_t>(INT_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (outputCount != 0 && result.length > static_cast<size_t>(outputCount)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(result.length);
}

} // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideString, int wideCount,
                        LPSTR multiByteString, int multiByteCount, LPCSTR defaultChar,
                        BOOL* usedDefaultChar) {
    if (!KnownCodePage(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD allowedFlags = WC_ERR_INVALID_CHARS | (codePage == CP_ACP ? kWcNoBestFitChars : 0u);
    if (flags & ~allowedFlags) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    // Every character has a UTF-8 spelling, so a default character is
    // meaningless for CP_UTF8 and asking for one is a caller error.
    if (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = 0;
    const size_t length =
        (wideString && wideCount == -1) ? std::char_traits<WCHAR>::length(wideString) : 0;
    if (!CheckCounts(wideString, wideCount, length, multiByteString, multiByteCount, &count))
        return 0;

    std::string_view replacement = kUtf8Replacement;
    if (codePage == CP_ACP) replacement = defaultChar ? std::string_view(defaultChar) : "?";
    const ConversionResult result = txplatform::detail::Utf16ToUtf8(
        wideString, count, multiByteString, static_cast<size_t>(multiByteCount), replacement);
    if (usedDefaultChar) *usedDefaultChar = result.hadInvalid ? TRUE : FALSE;
    return Finish(result, (flags & WC_ERR_INVALID_CHARS) != 0, multiByteCount);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteString, int multiByteCount,
                        WCHAR* wideString, int wideCount) {
    if (!KnownCodePage(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD allowedFlags = MB_ERR_INVALID_CHARS | (codePage == CP_ACP ? kMbPrecomposed : 0u);
    if (flags & ~allowedFlags) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t count = 0;
    const size_t length =
        (multiByteString && multiByteCount == -1) ? std::strlen(multiByteString) : 0;
    if (!CheckCounts(multiByteString, multiByteCount, length, wideString, wideCount, &count))
        return 0;

    const ConversionResult result = txplatform::detail::Utf8ToUtf16(
        multiByteString, count, wideString, static_cast<size_t>(wideCount));
    return Finish(result, (flags & MB_ERR_INVALID_CHARS) != 0, wideCount);
}
