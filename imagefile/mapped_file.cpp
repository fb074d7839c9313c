#include "imagefile/mapped_file.h"

#include "imagefile/file_name.h"
#include "texture/texture.h"

namespace {

// The system answers failure with either null or INVALID_HANDLE_VALUE
// depending on the call; the fields only ever hold the latter.
HANDLE ValidOrInvalid(HANDLE handle) {
    return handle ? handle : INVALID_HANDLE_VALUE;
}

} // namespace

HRESULT MappedFile::Open(const void* name, BOOL isWide) {
    Close();
    FileName fileName;
    const HRESULT hr = fileName.Set(name, isWide);
    if (hr == D3DERR_INVALIDCALL) return hr;
    if (FAILED(hr)) return TXERR_INVALIDDATA;

    file = ValidOrInvalid(
        fileName.Create(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS));
    if (file == INVALID_HANDLE_VALUE) return TXERR_INVALIDDATA;

    mapping = ValidOrInvalid(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping == INVALID_HANDLE_VALUE) return TXERR_INVALIDDATA;

    view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view) return TXERR_INVALIDDATA;

    DWORD sizeHigh = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD sizeLow = GetFileSize(file, &sizeHigh);
    // The readers take a 32-bit size: a larger file would be seen truncated.
    if (sizeHigh != 0 || (sizeLow == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS))
        return TXERR_INVALIDDATA;
    size = sizeLow;
    return S_OK;
}

HRESULT MappedFile::Create(const void* name, BOOL isWide) {
    Close();
    FileName fileName;
    const HRESULT hr = fileName.Set(name, isWide);
    if (hr == D3DERR_INVALIDCALL) return hr;
    if (FAILED(hr)) return TXERR_INVALIDDATA;
    return CreateWith(fileName, CREATE_ALWAYS);
}

HRESULT MappedFile::CreateNew(const FileName& name) {
    Close();
    return CreateWith(name, CREATE_NEW);
}

HRESULT MappedFile::CreateWith(const FileName& name, DWORD disposition) {
    file = ValidOrInvalid(name.Create(GENERIC_WRITE, 0, disposition, 0));
    return file == INVALID_HANDLE_VALUE ? TXERR_INVALIDDATA : S_OK;
}

HRESULT MappedFile::Close() {
    if (view) {
        UnmapViewOfFile(view);
        view = nullptr;
        size = 0;
    }
    if (mapping != INVALID_HANDLE_VALUE) {
        CloseHandle(mapping);
        mapping = INVALID_HANDLE_VALUE;
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    return S_OK;
}
