// What surfaces and volumes share: their device, their container, their
// pixels and lock state.
#pragma once

#include "platform/direct3d8.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/pixel_storage.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

template <class Interface>
class ContainedObject : public Implements<Interface> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == OwnIid())
            return AnswerInterface<Interface>(this, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return Fail(D3DERR_INVALIDCALL, "GetDevice", "null result pointer");
        HandOut(&device_, device);
        return D3D_OK;
    }

    // The container answers for itself: a texture level gives its texture
    // for the texture interfaces and nothing for the device's.
    HRESULT GetContainer(REFIID riid, void** container) override {
        if (!container) return Fail(D3DERR_INVALIDCALL, "GetContainer", "null result pointer");
        *container = nullptr;
        if (FAILED(containerInterface_.QueryInterface(riid, container))) {
            *container = nullptr;
            return E_NOINTERFACE;
        }
        return D3D_OK;
    }

    Device& OwningDevice() const { return device_; }
    const PixelStorage& Pixels() const { return pixels_; }
    bool IsLocked() const { return pixels_.Locked(); }

protected:
    // Part of `container` when one is given, else an object of its own that
    // holds the device while referenced.
    ContainedObject(RuntimeObject* container, IUnknown& containerInterface, Device& device)
        : Implements<Interface>(static_cast<IDirect3DDevice8*>(&device), container),
          device_(device), containerInterface_(containerInterface) {}

    static const IID& OwnIid();

    PixelStorage pixels_;

private:
    Device& device_;
    IUnknown& containerInterface_;
};

template <>
inline const IID& ContainedObject<IDirect3DSurface8>::OwnIid() {
    return IID_IDirect3DSurface8;
}
template <>
inline const IID& ContainedObject<IDirect3DVolume8>::OwnIid() {
    return IID_IDirect3DVolume8;
}

} // namespace txruntime
