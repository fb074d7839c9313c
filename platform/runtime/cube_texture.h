// Cube textures: six faces, each a chain of surface levels.
#pragma once

#include <memory>

#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/texture_requirements.h"

namespace txruntime {

class CubeTexture final : public TextureBase<IDirect3DCubeTexture8> {
public:
    static constexpr UINT kFaces = 6;

    // Creates a cube texture for a request that CheckTextureRequest accepted.
    static HRESULT Create(Device& device, const TextureRequest& request,
                          IDirect3DCubeTexture8** cubeTexture);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES faceType, UINT level,
                              IDirect3DSurface8** cubeMapSurface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES faceType, UINT level, D3DLOCKED_RECT* lockedRect,
                     const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES faceType, UINT level) override;
    HRESULT AddDirtyRect(D3DCUBEMAP_FACES faceType, const RECT* dirtyRect) override;

    UINT FaceCount() const override { return kFaces; }
    Surface* SurfaceAt(UINT face, UINT level) const override;
    Volume* VolumeAt(UINT) const override { return nullptr; }

private:
    CubeTexture(Device& device, const TextureRequest& request);
    Surface* Face(D3DCUBEMAP_FACES face, UINT level, const char* call) const;

    std::unique_ptr<std::unique_ptr<Surface>[]> surfaces_; // face-major
};

} // namespace txruntime
