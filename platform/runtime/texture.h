// Textures: a chain of surface levels.
#pragma once

#include <memory>

#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/texture_requirements.h"

namespace txruntime {

class Texture final : public TextureBase<IDirect3DTexture8> {
public:
    // Creates a texture for a request that CheckTextureRequest accepted.
    static HRESULT Create(Device& device, const TextureRequest& request,
                          IDirect3DTexture8** texture);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT* dirtyRect) override;

    Surface* SurfaceAt(UINT face, UINT level) const override;
    Volume* VolumeAt(UINT) const override { return nullptr; }

private:
    Texture(Device& device, const TextureRequest& request);
    Surface* Level(UINT level, const char* call) const;

    std::unique_ptr<std::unique_ptr<Surface>[]> levels_;
};

} // namespace txruntime
