// Reference counting shared by every object of the software runtime.
//
// Two kinds of references keep an object alive:
//  - public references, taken by AddRef and the creating call and given back
//    by Release. While an object has public references it holds one public
//    reference on its owner (a resource on its device, a device on its
//    Direct3D object), so that nothing it points at can go away under it.
//  - bindings, taken by the device for what is set on it (the texture of a
//    stage, the vertex buffer of a stream). A binding keeps the object alive
//    but not its owner: a program that releases its textures and its device
//    while a texture is still set frees everything, because the device drops
//    its bindings when it dies.
// Objects that are part of another (texture levels, cube faces, the volumes
// of a volume texture, the device's back buffers and depth surface) have no
// count of their own that decides their life: AddRef and Release go to the
// container, which destroys its parts with itself. They still count their own
// references, so that an unbalanced Release is refused instead of taking a
// reference away from the container that the caller never had.
#pragma once

#include <utility>

#include "platform/win32_types.h"

namespace txruntime {

class RuntimeObject {
public:
    RuntimeObject(const RuntimeObject&) = delete;
    RuntimeObject& operator=(const RuntimeObject&) = delete;

    ULONG AddReference();
    ULONG ReleaseReference();

    void AddBinding();
    void ReleaseBinding();

    // Public references held on this object (for a part, those taken through
    // it, not the container's).
    ULONG ReferenceCount() const { return references_; }

    virtual ~RuntimeObject();

protected:
    // Without `container`, a top-level object that, while it has public
    // references, holds one on `owner` (null for the Direct3D object). With
    // `container`, a part of it, which the container destroys; `owner` is
    // then not used.
    explicit RuntimeObject(IUnknown* owner, RuntimeObject* container = nullptr);

private:
    RuntimeObject* container_ = nullptr;
    IUnknown* owner_ = nullptr;
    ULONG references_ = 0;
    ULONG bindings_ = 0;
};

// Implements AddRef and Release of `Interface` on the runtime's counting.
template <class Interface>
class Implements : public Interface, public RuntimeObject {
public:
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override { return ReleaseReference(); }

protected:
    using RuntimeObject::RuntimeObject;
};

// Hands out one more public reference to `object` through `out`.
template <class Interface, class Object>
void HandOut(Object* object, Interface** out) {
    Interface* handed = object;
    handed->AddRef();
    *out = handed;
}

// Answers QueryInterface with `object` seen as `Interface`.
template <class Interface, class Object>
HRESULT AnswerInterface(Object* object, void** out) {
    Interface* answered = object;
    answered->AddRef();
    *out = answered;
    return S_OK;
}

// A binding held by the device on an object set on it. Empty or holding one
// binding; move-only.
template <class Interface>
class Binding {
public:
    Binding() = default;
    ~Binding() { Reset(); }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    Binding(Binding&& other) noexcept
        : object_(std::exchange(other.object_, nullptr)),
          core_(std::exchange(other.core_, nullptr)) {}
    Binding& operator=(Binding&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
            core_ = std::exchange(other.core_, nullptr);
        }
        return *this;
    }

    // Binds `object` (a runtime object, or null) and drops the previous one.
    // The new binding is taken first, so rebinding the same object is safe.
    void Reset(Interface* object = nullptr) {
        RuntimeObject* core = object ? dynamic_cast<RuntimeObject*>(object) : nullptr;
        if (core) core->AddBinding();
        RuntimeObject* previous = core_;
        object_ = core ? object : nullptr;
        core_ = core;
        if (previous) previous->ReleaseBinding();
    }

    Interface* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    Interface* object_ = nullptr;
    RuntimeObject* core_ = nullptr;
};

// The runtime object behind an interface pointer, or null when the pointer is
// null or not one of this runtime's objects.
template <class Object, class Interface>
Object* RuntimeCast(Interface* object) {
    return object ? dynamic_cast<Object*>(object) : nullptr;
}

} // namespace txruntime
