#include "platform/runtime/runtime_object.h"

#include <atomic>

#include "platform/runtime/debug_output.h"
#include "platform/runtime_control.h"

namespace txruntime {

namespace {
std::atomic<long> liveObjects{0};
}

RuntimeObject::RuntimeObject(IUnknown* owner, RuntimeObject* container)
    : container_(container), owner_(container ? nullptr : owner) {
    ++liveObjects;
}

RuntimeObject::~RuntimeObject() {
    --liveObjects;
}

ULONG RuntimeObject::AddReference() {
    if (container_) {
        ++references_;
        return container_->AddReference();
    }
    if (references_ == 0 && owner_) owner_->AddRef();
    return ++references_;
}

ULONG RuntimeObject::ReleaseReference() {
    if (references_ == 0) {
        Fail(D3DERR_INVALIDCALL, "Release", "the object holds no reference to give back");
        return container_ ? container_->references_ : 0;
    }
    if (container_) {
        --references_;
        // The container may destroy itself and this part with it.
        return container_->ReleaseReference();
    }
    const ULONG left = --references_;
    if (left > 0) return left;
    IUnknown* owner = owner_;
    if (bindings_ == 0) delete this;
    // Giving back the owner's reference may destroy the device, which drops
    // its bindings and so may destroy this object: nothing of `this` is used
    // from here on.
    if (owner) owner->Release();
    return 0;
}

void RuntimeObject::AddBinding() {
    // A part is bound through its container's life.
    if (container_) {
        container_->AddBinding();
        return;
    }
    ++bindings_;
}

void RuntimeObject::ReleaseBinding() {
    if (container_) {
        container_->ReleaseBinding();
        return;
    }
    if (bindings_ == 0) return;
    if (--bindings_ == 0 && references_ == 0) delete this;
}

} // namespace txruntime

namespace txplatform {

long LiveObjectCount() {
    return txruntime::liveObjects.load();
}

} // namespace txplatform
