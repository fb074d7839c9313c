#include "imagefile/file_name.h"

#include <new>

#include "texture/texture.h"

namespace {

bool IsNtFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // A system that cannot answer is taken as a current one.
    if (!GetVersionExA(&version)) return true;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

HRESULT FileName::Set(const void* name, BOOL isWide) {
    if (!name) return D3DERR_INVALIDCALL;
    try {
        if (!isWide) {
            wide_ = false;
            narrow_ = static_cast<const char*>(name);
            wideName_.clear();
            return S_OK;
        }
        const auto* wideName = static_cast<const WCHAR*>(name);
        if (IsNtFamily()) {
            wide_ = true;
            wideName_ = wideName;
            narrow_.clear();
            return S_OK;
        }
        // Older systems have no wide file calls: ask for the length first,
        // then convert to the ANSI code page.
        const int length =
            WideCharToMultiByte(CP_ACP, 0, wideName, -1, nullptr, 0, nullptr, nullptr);
        if (length <= 0) return TXERR_INVALIDDATA;
        std::string converted(static_cast<size_t>(length), '\0');
        if (WideCharToMultiByte(CP_ACP, 0, wideName, -1, converted.data(), length, nullptr,
                                nullptr) <= 0)
            return TXERR_INVALIDDATA;
        converted.resize(std::char_traits<char>::length(converted.c_str()));
        wide_ = false;
        narrow_ = std::move(converted);
        wideName_.clear();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT FileName::WithSuffix(const char* suffix, FileName* result) const {
    try {
        result->wide_ = wide_;
        result->narrow_ = narrow_;
        result->wideName_ = wideName_;
        if (wide_) {
            for (const char* c = suffix; *c; ++c)
                result->wideName_.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
        } else {
            result->narrow_ += suffix;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HANDLE FileName::Create(DWORD access, DWORD share, DWORD disposition, DWORD flags) const {
    return wide_ ? CreateFileW(Wide(), access, share, nullptr, disposition, flags, nullptr)
                 : CreateFileA(Narrow(), access, share, nullptr, disposition, flags, nullptr);
}

BOOL FileName::Delete() const {
    return wide_ ? DeleteFileW(Wide()) : DeleteFileA(Narrow());
}

BOOL FileName::ReplaceFile(const FileName& target) const {
    if (wide_ != target.wide_) return FALSE;
    return wide_ ? MoveFileExW(Wide(), target.Wide(), MOVEFILE_REPLACE_EXISTING)
                 : MoveFileExA(Narrow(), target.Narrow(), MOVEFILE_REPLACE_EXISTING);
}
