#include "platform/runtime/surface.h"

#include <new>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"

namespace txruntime {

namespace {

// Image surfaces live in system memory; everything else of the device in
// what stands for video memory.
HRESULT OutOfMemoryCode(D3DPOOL pool) {
    return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;
}

} // namespace

const char* DepthSurfaceNotLockable(D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample) {
    if (multiSample != D3DMULTISAMPLE_NONE) return "a multisampled depth surface cannot be locked";
    if (format != D3DFMT_D16_LOCKABLE) return "only D16_LOCKABLE depth surfaces can be locked";
    return nullptr;
}

Surface::Surface(RuntimeObject* container, IUnknown& containerInterface, Device& device,
                 const SurfaceInfo& info)
    : ContainedObject<IDirect3DSurface8>(container, containerInterface, device), info_(info) {}

HRESULT Surface::Allocate(const char* call) {
    const FormatLayout* layout = FindFormatLayout(info_.format);
    if (!layout)
        return Fail(D3DERR_INVALIDCALL, call, "unknown format %s", FormatName(info_.format));
    return pixels_.Allocate(*layout, info_.width, info_.height, 1, OutOfMemoryCode(info_.pool),
                            call);
}

HRESULT Surface::CreateStandalone(Device& device, const SurfaceInfo& info, const char* call,
                                  IDirect3DSurface8** surface) {
    std::unique_ptr<Surface> made(new (std::nothrow) Surface(
        nullptr, *static_cast<IDirect3DDevice8*>(&device), device, info));
    if (!made) return Fail(E_OUTOFMEMORY, call, "no memory for the surface");
    if (HRESULT hr = made->Allocate(call); FAILED(hr)) return hr;
    HandOut(made.release(), surface);
    return D3D_OK;
}

HRESULT Surface::CreatePart(RuntimeObject& container, IUnknown& containerInterface, Device& device,
                            const SurfaceInfo& info, const char* call,
                            std::unique_ptr<Surface>* surface) {
    std::unique_ptr<Surface> made(new (std::nothrow)
                                      Surface(&container, containerInterface, device, info));
    if (!made) return Fail(E_OUTOFMEMORY, call, "no memory for the surface");
    if (HRESULT hr = made->Allocate(call); FAILED(hr)) return hr;
    *surface = std::move(made);
    return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return Fail(D3DERR_INVALIDCALL, "GetDesc", "null description pointer");
    desc->Format = info_.format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = info_.usage;
    desc->Pool = info_.pool;
    desc->Size = static_cast<UINT>(pixels_.Size());
    desc->MultiSampleType = info_.multiSample;
    desc->Width = info_.width;
    desc->Height = info_.height;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (!lockedRect) return Fail(D3DERR_INVALIDCALL, "LockRect", "null result pointer");
    lockedRect->pBits = nullptr;
    lockedRect->Pitch = 0;
    if (info_.notLockable) return Fail(D3DERR_INVALIDCALL, "LockRect", "%s", info_.notLockable);
    Region region{};
    if (!RegionFromRect(rect, info_.width, info_.height, &region))
        return Fail(D3DERR_INVALIDCALL, "LockRect", "negative rectangle coordinates");
    BYTE* bits = nullptr;
    if (HRESULT hr = pixels_.Lock("LockRect", rect ? &region : nullptr, flags, &bits); FAILED(hr))
        return hr;
    lockedRect->pBits = bits;
    lockedRect->Pitch = static_cast<INT>(pixels_.RowPitch());
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    return pixels_.Unlock("UnlockRect");
}

StorageView Surface::Storage() const {
    return {pixels_.Bits(),
            pixels_.RowPitch(),
            pixels_.SlicePitch(),
            info_.format,
            info_.width,
            info_.height,
            1,
            info_.multiSample};
}

} // namespace txruntime
