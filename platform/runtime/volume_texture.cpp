#include "platform/runtime/volume_texture.h"

#include <new>

#include "platform/runtime/debug_output.h"

namespace txruntime {

VolumeTexture::VolumeTexture(Device& device, const TextureRequest& request)
    : TextureBase<IDirect3DVolumeTexture8>(device, D3DRTYPE_VOLUMETEXTURE, request.pool,
                                           request.usage, request.levels, request.format) {}

HRESULT VolumeTexture::Create(Device& device, const TextureRequest& request,
                              IDirect3DVolumeTexture8** volumeTexture) {
    const char* call = "CreateVolumeTexture";
    std::unique_ptr<VolumeTexture> made(new (std::nothrow) VolumeTexture(device, request));
    if (made) made->levels_.reset(new (std::nothrow) std::unique_ptr<Volume>[request.levels]);
    if (!made || !made->levels_)
        return Fail(E_OUTOFMEMORY, call, "no memory for the volume texture");
    for (UINT level = 0; level < request.levels; ++level) {
        const VolumeInfo info{request.format,
                              request.usage,
                              request.pool,
                              LevelExtent(request.width, level),
                              LevelExtent(request.height, level),
                              LevelExtent(request.depth, level),
                              TextureLevelNotLockable(request.pool, request.usage)};
        if (HRESULT hr =
                Volume::CreatePart(*made, *static_cast<IDirect3DVolumeTexture8*>(made.get()),
                                   device, info, call, &made->levels_[level]);
            FAILED(hr))
            return hr;
    }
    HandOut(made.release(), volumeTexture);
    return D3D_OK;
}

HRESULT VolumeTexture::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 ||
        riid == IID_IDirect3DBaseTexture8 || riid == IID_IDirect3DVolumeTexture8)
        return AnswerInterface<IDirect3DVolumeTexture8>(this, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

Volume* VolumeTexture::VolumeAt(UINT level) const {
    return level < LevelCount() ? levels_[level].get() : nullptr;
}

Volume* VolumeTexture::Level(UINT level, const char* call) const {
    if (level < LevelCount()) return levels_[level].get();
    Fail(D3DERR_INVALIDCALL, call, "level %u of a volume texture with %u levels", level,
         LevelCount());
    return nullptr;
}

HRESULT VolumeTexture::GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) {
    Volume* volume = Level(level, "GetLevelDesc");
    return volume ? volume->GetDesc(desc) : D3DERR_INVALIDCALL;
}

HRESULT VolumeTexture::GetVolumeLevel(UINT level, IDirect3DVolume8** volumeLevel) {
    if (!volumeLevel) return Fail(D3DERR_INVALIDCALL, "GetVolumeLevel", "null result pointer");
    *volumeLevel = nullptr;
    Volume* volume = Level(level, "GetVolumeLevel");
    if (!volume) return D3DERR_INVALIDCALL;
    HandOut(volume, volumeLevel);
    return D3D_OK;
}

HRESULT VolumeTexture::LockBox(UINT level, D3DLOCKED_BOX* lockedVolume, const D3DBOX* box,
                               DWORD flags) {
    Volume* volume = Level(level, "LockBox");
    if (!volume) {
        if (lockedVolume) *lockedVolume = D3DLOCKED_BOX{};
        return D3DERR_INVALIDCALL;
    }
    return volume->LockBox(lockedVolume, box, flags);
}

HRESULT VolumeTexture::UnlockBox(UINT level) {
    Volume* volume = Level(level, "UnlockBox");
    return volume ? volume->UnlockBox() : D3DERR_INVALIDCALL;
}

HRESULT VolumeTexture::AddDirtyBox(const D3DBOX* dirtyBox) {
    const VolumeInfo& top = levels_[0]->Info();
    if (dirtyBox && (dirtyBox->Left > dirtyBox->Right || dirtyBox->Top > dirtyBox->Bottom ||
                     dirtyBox->Front > dirtyBox->Back || dirtyBox->Right > top.width ||
                     dirtyBox->Bottom > top.height || dirtyBox->Back > top.depth))
        return Fail(D3DERR_INVALIDCALL, "AddDirtyBox", "box outside the volume texture");
    return D3D_OK;
}

} // namespace txruntime
