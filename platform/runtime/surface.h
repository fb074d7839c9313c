// Surfaces: image surfaces, render targets and depth-stencil surfaces of
// their own, the levels of textures and the faces of cube textures, and the
// device's back buffers and depth surface.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/pixel_storage.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Device;

struct SurfaceInfo {
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
    D3DMULTISAMPLE_TYPE multiSample;
    UINT width;
    UINT height;
    // Why LockRect is refused, or null when the surface can be locked.
    const char* notLockable;
};

// Why a depth-stencil surface of `format` cannot be locked, or null: only
// D16_LOCKABLE surfaces without multisampling can.
const char* DepthSurfaceNotLockable(D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample);

class Surface final : public Implements<IDirect3DSurface8> {
public:
    // A surface of its own (image surface, render target, depth-stencil
    // surface): its references are its own and hold the device, which is
    // also what GetContainer answers with.
    static HRESULT CreateStandalone(Device& device, const SurfaceInfo& info, const char* call,
                                    IDirect3DSurface8** surface);
    // A surface that is part of `container` (a texture, cube texture or the
    // device); `containerInterface` is what GetContainer asks.
    static HRESULT CreatePart(RuntimeObject& container, IUnknown& containerInterface,
                              Device& device, const SurfaceInfo& info, const char* call,
                              std::unique_ptr<Surface>* surface);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // For the device, the copy operations and the renderer.
    Device& OwningDevice() const { return device_; }
    const SurfaceInfo& Info() const { return info_; }
    StorageView Storage() const;
    const PixelStorage& Pixels() const { return pixels_; }
    bool IsLocked() const { return pixels_.Locked(); }

private:
    Surface(RuntimeObject* container, IUnknown& containerInterface, Device& device,
            const SurfaceInfo& info);
    HRESULT Allocate(const char* call);

    Device& device_;
    IUnknown& containerInterface_;
    SurfaceInfo info_;
    PixelStorage pixels_;
};

} // namespace txruntime
