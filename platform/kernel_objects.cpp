// The handle table and CloseHandle.
#include "platform/kernel_objects.h"

#include <atomic>
#include <mutex>
#include <new>
#include <unordered_map>

namespace txplatform::detail {
namespace {

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>& Table() {
    static auto* table = new std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>();
    return *table;
}

} // namespace

uintptr_t NewHandleValue() {
    // Multiples of 4 from 0x10000 up: far from null and from -1, and (with a
    // 64-bit counter) never wrapping into the registry roots 0x8000000x.
    static std::atomic<uint64_t> next{0x10000};
    return static_cast<uintptr_t>(next.fetch_add(4, std::memory_order_relaxed));
}

HANDLE InsertKernelObject(std::shared_ptr<KernelObject> object) {
    const uintptr_t value = NewHandleValue();
    try {
        std::lock_guard<std::mutex> lock(TableMutex());
        Table().emplace(value, std::move(object));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Table().find(reinterpret_cast<uintptr_t>(handle));
    return found == Table().end() ? nullptr : found->second;
}

} // namespace txplatform::detail

BOOL CloseHandle(HANDLE object) {
    using namespace txplatform::detail;
    std::shared_ptr<KernelObject> closing;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        const auto found = Table().find(reinterpret_cast<uintptr_t>(object));
        if (found == Table().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        closing = std::move(found->second);
        Table().erase(found);
    }
    // The object (which may close a descriptor and take other locks) dies
    // here, outside the table lock; a mapping or a view may still hold it.
    closing.reset();
    return TRUE;
}
