// The handle table behind HANDLE values: open files and file mappings live
// here as reference-counted objects. A handle value is never reused, so a
// closed or made-up handle is refused with ERROR_INVALID_HANDLE instead of
// reaching an unrelated object.
#pragma once

#include <memory>

#include "platform/win32_system.h"

namespace txplatform::detail {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;
};

// A fresh value for any kind of handle (kernel objects and registry keys
// share the sequence, so no value ever names two things). Never null, never
// INVALID_HANDLE_VALUE, never one of the predefined registry roots.
uintptr_t NewHandleValue();

// Enters the object into the table. Returns INVALID_HANDLE_VALUE with
// ERROR_NOT_ENOUGH_MEMORY when the table cannot grow.
HANDLE InsertKernelObject(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null for an unknown handle.
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);

template <class T>
std::shared_ptr<T> FindKernelObjectAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(FindKernelObject(handle));
}

} // namespace txplatform::detail
