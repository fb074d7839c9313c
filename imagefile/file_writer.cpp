#include "imagefile/file_writer.h"

#include <algorithm>

void FileWriter::Write(const void* data, size_t count) {
    const auto* bytes = static_cast<const BYTE*>(data);
    while (count > 0 && !failed_) {
        // WriteFile takes a 32-bit count; larger blocks go in pieces.
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 0x40000000u));
        DWORD written = 0;
        if (!WriteFile(file_, bytes, chunk, &written, nullptr) || written != chunk) {
            failed_ = true;
            return;
        }
        bytes += chunk;
        count -= chunk;
    }
}

void FileWriter::WriteZeros(size_t count) {
    static const BYTE zeros[256] = {};
    while (count > 0 && !failed_) {
        const size_t chunk = std::min(count, sizeof(zeros));
        Write(zeros, chunk);
        count -= chunk;
    }
}

void FileWriter::WriteU16(WORD value) {
    const BYTE bytes[2] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)};
    Write(bytes, sizeof(bytes));
}

void FileWriter::WriteU32(DWORD value) {
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    Write(bytes, sizeof(bytes));
}
