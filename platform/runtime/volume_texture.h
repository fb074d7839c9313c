// Volume textures: a chain of volume levels.
#pragma once

#include <memory>

#include "platform/runtime/texture_base.h"
#include "platform/runtime/texture_requirements.h"
#include "platform/runtime/volume.h"

namespace txruntime {

class VolumeTexture final : public TextureBase<IDirect3DVolumeTexture8> {
public:
    // Creates a volume texture for a request that CheckTextureRequest accepted.
    static HRESULT Create(Device& device, const TextureRequest& request,
                          IDirect3DVolumeTexture8** volumeTexture);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) override;
    HRESULT GetVolumeLevel(UINT level, IDirect3DVolume8** volumeLevel) override;
    HRESULT LockBox(UINT level, D3DLOCKED_BOX* lockedVolume, const D3DBOX* box,
                    DWORD flags) override;
    HRESULT UnlockBox(UINT level) override;
    HRESULT AddDirtyBox(const D3DBOX* dirtyBox) override;

    Surface* SurfaceAt(UINT, UINT) const override { return nullptr; }
    Volume* VolumeAt(UINT level) const override;

private:
    VolumeTexture(Device& device, const TextureRequest& request);
    Volume* Level(UINT level, const char* call) const;

    std::unique_ptr<std::unique_ptr<Volume>[]> levels_;
};

} // namespace txruntime
