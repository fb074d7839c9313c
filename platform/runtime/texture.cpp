#include "platform/runtime/texture.h"

#include <new>

#include "platform/runtime/debug_output.h"

namespace txruntime {

Texture::Texture(Device& device, const TextureRequest& request)
    : TextureBase<IDirect3DTexture8>(device, D3DRTYPE_TEXTURE, request.pool, request.usage,
                                     request.levels, request.format) {}

HRESULT Texture::Create(Device& device, const TextureRequest& request,
                        IDirect3DTexture8** texture) {
    const char* call = "CreateTexture";
    std::unique_ptr<Texture> made(new (std::nothrow) Texture(device, request));
    if (made) made->levels_.reset(new (std::nothrow) std::unique_ptr<Surface>[request.levels]);
    if (!made || !made->levels_) return Fail(E_OUTOFMEMORY, call, "no memory for the texture");
    for (UINT level = 0; level < request.levels; ++level) {
        const SurfaceInfo info{request.format,
                               request.usage,
                               request.pool,
                               D3DMULTISAMPLE_NONE,
                               LevelExtent(request.width, level),
                               LevelExtent(request.height, level),
                               TextureLevelNotLockable(request.pool, request.usage)};
        if (HRESULT hr = Surface::CreatePart(*made, *static_cast<IDirect3DTexture8*>(made.get()),
                                             device, info, call, &made->levels_[level]);
            FAILED(hr))
            return hr;
    }
    HandOut(made.release(), texture);
    return D3D_OK;
}

HRESULT Texture::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 ||
        riid == IID_IDirect3DBaseTexture8 || riid == IID_IDirect3DTexture8) {
        return AnswerInterface<IDirect3DTexture8>(this, object);
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

Surface* Texture::SurfaceAt(UINT face, UINT level) const {
    return face == 0 && level < LevelCount() ? levels_[level].get() : nullptr;
}

Surface* Texture::Level(UINT level, const char* call) const {
    if (level < LevelCount()) return levels_[level].get();
    Fail(D3DERR_INVALIDCALL, call, "level %u of a texture with %u levels", level, LevelCount());
    return nullptr;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    Surface* surface = Level(level, "GetLevelDesc");
    return surface ? surface->GetDesc(desc) : D3DERR_INVALIDCALL;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) {
    if (!surfaceLevel) return Fail(D3DERR_INVALIDCALL, "GetSurfaceLevel", "null result pointer");
    *surfaceLevel = nullptr;
    Surface* surface = Level(level, "GetSurfaceLevel");
    if (!surface) return D3DERR_INVALIDCALL;
    HandOut(surface, surfaceLevel);
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    Surface* surface = Level(level, "LockRect");
    if (!surface) {
        if (lockedRect) *lockedRect = D3DLOCKED_RECT{};
        return D3DERR_INVALIDCALL;
    }
    return surface->LockRect(lockedRect, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
    Surface* surface = Level(level, "UnlockRect");
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}

HRESULT Texture::AddDirtyRect(const RECT* dirtyRect) {
    // Copies always move whole levels, so a dirty rectangle only needs to
    // make sense.
    const SurfaceInfo& top = levels_[0]->Info();
    if (!RectInside(dirtyRect, top.width, top.height))
        return Fail(D3DERR_INVALIDCALL, "AddDirtyRect", "rectangle outside the texture");
    return D3D_OK;
}

} // namespace txruntime
