// Sequential writes to an open file that remember whether any of them failed,
// so that a writer can report a short or failed write once, at its end.
#pragma once

#include <cstddef>

#include "platform/win32_system.h"

class FileWriter {
public:
    explicit FileWriter(HANDLE file) : file_(file) {}

    // Writes `count` bytes unless an earlier write failed.
    void Write(const void* data, size_t count);
    // Writes `count` zero bytes.
    void WriteZeros(size_t count);
    // Little-endian fields.
    void WriteU16(WORD value);
    void WriteU32(DWORD value);

    bool Failed() const { return failed_; }
    // S_OK, or E_FAIL when any write failed or wrote less than asked.
    HRESULT Result() const { return failed_ ? E_FAIL : S_OK; }

private:
    HANDLE file_;
    bool failed_ = false;
};
