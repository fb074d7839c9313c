// A whole file mapped read-only into memory for the readers, or a file
// created for the writers.
#pragma once

#include "platform/win32_system.h"

class FileName;

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens an existing file and maps all of it read-only. `name` is narrow,
    // or UTF-16 when `isWide` is set. D3DERR_INVALIDCALL for a null name;
    // TXERR_INVALIDDATA for every failure of the system (missing file, empty
    // file, a file of 4 GiB or more). What was obtained before a failure stays
    // open until Close.
    HRESULT Open(const void* name, BOOL isWide);

    // Creates the file for writing, replacing an existing one. Same naming
    // and failure rules as Open; no mapping is made.
    HRESULT Create(const void* name, BOOL isWide);

    // Creates a file that must not exist yet. Used for the temporary file that
    // a save writes before it replaces its target.
    HRESULT CreateNew(const FileName& name);

    // Unmaps and closes whatever is open. Always S_OK.
    HRESULT Close();

    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = INVALID_HANDLE_VALUE;
    const void* view = nullptr;
    DWORD size = 0;

private:
    HRESULT CreateWith(const FileName& name, DWORD disposition);
};
