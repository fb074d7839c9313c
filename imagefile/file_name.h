// A file name as the file calls will take it: narrow (ANSI) or UTF-16, after
// the rule that wide names reach the wide calls only on NT-family systems.
#pragma once

#include <string>

#include "platform/win32_system.h"

class FileName {
public:
    // Takes `name` as a narrow string, or as a UTF-16 string when `isWide` is
    // set. On a system outside the NT family a wide name is converted to the
    // ANSI code page, so that the narrow calls receive it. D3DERR_INVALIDCALL
    // for a null name, TXERR_INVALIDDATA when the conversion fails,
    // E_OUTOFMEMORY when the copy cannot be made.
    HRESULT Set(const void* name, BOOL isWide);

    // The same name with `suffix` (ASCII) appended; used for the temporary
    // file that a save writes beside its target.
    HRESULT WithSuffix(const char* suffix, FileName* result) const;

    bool IsWide() const { return wide_; }
    LPCSTR Narrow() const { return narrow_.c_str(); }
    LPCWSTR Wide() const { return wideName_.c_str(); }

    // The file calls, on whichever form the name has.
    HANDLE Create(DWORD access, DWORD share, DWORD disposition, DWORD flags) const;
    BOOL Delete() const;
    // Renames this file to `target`, replacing an existing file.
    BOOL ReplaceFile(const FileName& target) const;

private:
    bool wide_ = false;
    std::string narrow_;
    std::u16string wideName_;
};
