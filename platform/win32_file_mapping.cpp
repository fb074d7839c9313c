// Read-only file mappings and their views over mmap.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <new>

#include "platform/file_objects.h"
#include "platform/posix_errors.h"

namespace {

using namespace txplatform::detail;

// Views start on multiples of this, as on the system the callers were
// written for, so that code which respects it here respects it there too.
constexpr uint64_t kAllocationGranularity = 65536;

struct View {
    size_t length;
    std::shared_ptr<MappingObject> mapping;
};

std::mutex& ViewMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<uintptr_t, View>& Views() {
    static auto* views = new std::map<uintptr_t, View>();
    return *views;
}

uint64_t Granularity() {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 && static_cast<uint64_t>(page) > kAllocationGranularity
               ? static_cast<uint64_t>(page)
               : kAllocationGranularity;
}

uint64_t Combine(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

} // namespace

HANDLE CreateFileMappingA(HANDLE file, SECURITY_ATTRIBUTES* /*attributes*/, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
    // Only anonymous read-only mappings of files are offered: a name would
    // promise sharing between processes that this layer cannot give.
    if (protect != PAGE_READONLY || name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = FindKernelObjectAs<FileObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!object->canRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct stat st;
    if (fstat(object->fd(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    const uint64_t requested = Combine(maximumSizeHigh, maximumSizeLow);
    // There is nothing to map in an empty file (nor in a device or pipe,
    // whose size reads as 0).
    if (!S_ISREG(st.st_mode) || (requested == 0 && fileSize == 0)) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    // A read-only mapping cannot grow the file, and bytes past its end
    // would fault when touched.
    if (requested > fileSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const uint64_t size = requested != 0 ? requested : fileSize;
    if (size > static_cast<uint64_t>(SIZE_MAX)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::shared_ptr<MappingObject> mapping;
    try {
        mapping = std::make_shared<MappingObject>(std::move(object), size);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const HANDLE handle = InsertKernelObject(std::move(mapping));
    // CreateFileMappingA reports failure with null, not INVALID_HANDLE_VALUE.
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess, DWORD fileOffsetHigh,
                     DWORD fileOffsetLow, size_t numberOfBytesToMap) {
    auto mapping = FindKernelObjectAs<MappingObject>(fileMappingObject);
    if (!mapping) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (desiredAccess != FILE_MAP_READ) {
        // Mappings are read-only; asking for more is refused like a write.
        SetLastError(desiredAccess & ~FILE_MAP_READ ? ERROR_ACCESS_DENIED
                                                    : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const uint64_t offset = Combine(fileOffsetHigh, fileOffsetLow);
    if (offset % Granularity() != 0 || offset >= mapping->size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const uint64_t available = mapping->size() - offset;
    if (numberOfBytesToMap > available) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const size_t length =
        numberOfBytesToMap != 0 ? numberOfBytesToMap : static_cast<size_t>(available);
    const int fd = mapping->file().fd();
    // Another process may have shortened the file since the mapping was
    // made; pages past its end would fault when read.
    struct stat st;
    if (fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < offset + length) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    void* base = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (base == MAP_FAILED) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    const FileIdentity id = mapping->file().identity();
    bool recorded = false;
    if (AddMappedView(id)) {
        try {
            std::lock_guard<std::mutex> lock(ViewMutex());
            Views().emplace(reinterpret_cast<uintptr_t>(base), View{length, std::move(mapping)});
            recorded = true;
        } catch (const std::bad_alloc&) {
            RemoveMappedView(id);
        }
    }
    if (!recorded) {
        munmap(base, length);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return base;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    View view{};
    {
        std::lock_guard<std::mutex> lock(ViewMutex());
        const auto found = Views().find(reinterpret_cast<uintptr_t>(baseAddress));
        // Only the exact address that MapViewOfFile returned names a view;
        // anything else would unmap memory this layer does not own.
        if (found == Views().end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        view = std::move(found->second);
        Views().erase(found);
    }
    munmap(const_cast<void*>(baseAddress), view.length);
    RemoveMappedView(view.mapping->file().identity());
    return TRUE;
}
