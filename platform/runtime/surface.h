// Surfaces: image surfaces, render targets and depth-stencil surfaces of
// their own, the levels of textures and the faces of cube textures, and the
// device's back buffers and depth surface.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/contained_object.h"

namespace txruntime {

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

class Surface final : public ContainedObject<IDirect3DSurface8> {
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

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // For the device, the copy operations and the renderer.
    const SurfaceInfo& Info() const { return info_; }
    StorageView Storage() const;

private:
    Surface(RuntimeObject* container, IUnknown& containerInterface, Device& device,
            const SurfaceInfo& info);
    HRESULT Allocate(const char* call);

    SurfaceInfo info_;
};

} // namespace txruntime
