// What the runtime's resources (textures, cube textures, volume textures,
// vertex buffers) have in common.
#pragma once

#include "platform/direct3d8.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

// The facts every resource carries, reachable from any of its interfaces
// through RuntimeCast<ResourceInfo>.
class ResourceInfo {
public:
    virtual ~ResourceInfo() = default;
    Device& OwningDevice() const { return device_; }
    D3DRESOURCETYPE ResourceType() const { return type_; }
    D3DPOOL Pool() const { return pool_; }
    DWORD Usage() const { return usage_; }

protected:
    ResourceInfo(Device& device, D3DRESOURCETYPE type, D3DPOOL pool, DWORD usage)
        : device_(device), type_(type), pool_(pool), usage_(usage) {}

    // Only managed resources have a priority; others answer 0.
    DWORD ChangePriority(DWORD priority) {
        if (pool_ != D3DPOOL_MANAGED) return 0;
        const DWORD previous = priority_;
        priority_ = priority;
        return previous;
    }
    DWORD Priority() const { return priority_; }

private:
    Device& device_;
    D3DRESOURCETYPE type_;
    D3DPOOL pool_;
    DWORD usage_;
    DWORD priority_ = 0;
};

// The IDirect3DResource8 part of a resource interface. While the resource
// has public references it holds one on its device.
template <class Interface>
class Resource : public Implements<Interface>, public ResourceInfo {
public:
    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return Fail(D3DERR_INVALIDCALL, "GetDevice", "null result pointer");
        HandOut(&OwningDevice(), device);
        return D3D_OK;
    }
    DWORD SetPriority(DWORD priority) override { return ChangePriority(priority); }
    DWORD GetPriority() override { return Priority(); }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return ResourceType(); }

protected:
    Resource(Device& device, D3DRESOURCETYPE type, D3DPOOL pool, DWORD usage)
        : Implements<Interface>(static_cast<IDirect3DDevice8*>(&device)),
          ResourceInfo(device, type, pool, usage) {}
};

} // namespace txruntime
