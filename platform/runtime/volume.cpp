#include "platform/runtime/volume.h"

#include <new>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"

namespace txruntime {

Volume::Volume(RuntimeObject& container, IUnknown& containerInterface, Device& device,
               const VolumeInfo& info)
    : ContainedObject<IDirect3DVolume8>(&container, containerInterface, device), info_(info) {}

HRESULT Volume::CreatePart(RuntimeObject& container, IUnknown& containerInterface, Device& device,
                           const VolumeInfo& info, const char* call,
                           std::unique_ptr<Volume>* volume) {
    const FormatLayout* layout = FindFormatLayout(info.format);
    if (!layout)
        return Fail(D3DERR_INVALIDCALL, call, "unknown format %s", FormatName(info.format));
    std::unique_ptr<Volume> made(new (std::nothrow)
                                     Volume(container, containerInterface, device, info));
    if (!made) return Fail(E_OUTOFMEMORY, call, "no memory for the volume");
    const HRESULT outOfMemory =
        info.pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;
    if (HRESULT hr =
            made->pixels_.Allocate(*layout, info.width, info.height, info.depth, outOfMemory, call);
        FAILED(hr))
        return hr;
    *volume = std::move(made);
    return D3D_OK;
}

HRESULT Volume::GetDesc(D3DVOLUME_DESC* desc) {
    if (!desc) return Fail(D3DERR_INVALIDCALL, "GetDesc", "null description pointer");
    desc->Format = info_.format;
    desc->Type = D3DRTYPE_VOLUME;
    desc->Usage = info_.usage;
    desc->Pool = info_.pool;
    desc->Size = static_cast<UINT>(pixels_.Size());
    desc->Width = info_.width;
    desc->Height = info_.height;
    desc->Depth = info_.depth;
    return D3D_OK;
}

HRESULT Volume::LockBox(D3DLOCKED_BOX* lockedVolume, const D3DBOX* box, DWORD flags) {
    if (!lockedVolume) return Fail(D3DERR_INVALIDCALL, "LockBox", "null result pointer");
    lockedVolume->pBits = nullptr;
    lockedVolume->RowPitch = 0;
    lockedVolume->SlicePitch = 0;
    if (info_.notLockable) return Fail(D3DERR_INVALIDCALL, "LockBox", "%s", info_.notLockable);
    Region region{};
    if (box) region = {box->Left, box->Top, box->Right, box->Bottom, box->Front, box->Back};
    BYTE* bits = nullptr;
    if (HRESULT hr = pixels_.Lock("LockBox", box ? &region : nullptr, flags, &bits); FAILED(hr))
        return hr;
    lockedVolume->pBits = bits;
    lockedVolume->RowPitch = static_cast<INT>(pixels_.RowPitch());
    lockedVolume->SlicePitch = static_cast<INT>(pixels_.SlicePitch());
    return D3D_OK;
}

HRESULT Volume::UnlockBox() {
    return pixels_.Unlock("UnlockBox");
}

StorageView Volume::Storage() const {
    return {pixels_.Bits(), pixels_.RowPitch(), pixels_.SlicePitch(), info_.format,
            info_.width,    info_.height,       info_.depth,          D3DMULTISAMPLE_NONE};
}

} // namespace txruntime
