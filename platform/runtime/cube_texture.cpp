#include "platform/runtime/cube_texture.h"

#include <new>

#include "platform/runtime/debug_output.h"

namespace txruntime {

CubeTexture::CubeTexture(Device& device, const TextureRequest& request)
    : TextureBase<IDirect3DCubeTexture8>(device, D3DRTYPE_CUBETEXTURE, request.pool, request.usage,
                                         request.levels, request.format) {}

HRESULT CubeTexture::Create(Device& device, const TextureRequest& request,
                            IDirect3DCubeTexture8** cubeTexture) {
    const char* call = "CreateCubeTexture";
    const UINT count = kFaces * request.levels;
    std::unique_ptr<CubeTexture> made(new (std::nothrow) CubeTexture(device, request));
    if (made) made->surfaces_.reset(new (std::nothrow) std::unique_ptr<Surface>[count]);
    if (!made || !made->surfaces_)
        return Fail(E_OUTOFMEMORY, call, "no memory for the cube texture");
    for (UINT face = 0; face < kFaces; ++face)
        for (UINT level = 0; level < request.levels; ++level) {
            const UINT edge = LevelExtent(request.width, level);
            const SurfaceInfo info{request.format,
                                   request.usage,
                                   request.pool,
                                   D3DMULTISAMPLE_NONE,
                                   edge,
                                   edge,
                                   TextureLevelNotLockable(request.pool, request.usage)};
            if (HRESULT hr = Surface::CreatePart(
                    *made, *static_cast<IDirect3DCubeTexture8*>(made.get()), device, info, call,
                    &made->surfaces_[face * request.levels + level]);
                FAILED(hr))
                return hr;
        }
    HandOut(made.release(), cubeTexture);
    return D3D_OK;
}

HRESULT CubeTexture::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 ||
        riid == IID_IDirect3DBaseTexture8 || riid == IID_IDirect3DCubeTexture8)
        return AnswerInterface<IDirect3DCubeTexture8>(this, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

Surface* CubeTexture::SurfaceAt(UINT face, UINT level) const {
    if (face >= kFaces || level >= LevelCount()) return nullptr;
    return surfaces_[face * LevelCount() + level].get();
}

Surface* CubeTexture::Face(D3DCUBEMAP_FACES face, UINT level, const char* call) const {
    if (Surface* surface = SurfaceAt(face, level)) return surface;
    Fail(D3DERR_INVALIDCALL, call, "face %u level %u of a cube texture with %u levels",
         static_cast<unsigned>(face), level, LevelCount());
    return nullptr;
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    Surface* surface = Face(D3DCUBEMAP_FACE_POSITIVE_X, level, "GetLevelDesc");
    return surface ? surface->GetDesc(desc) : D3DERR_INVALIDCALL;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES faceType, UINT level,
                                       IDirect3DSurface8** cubeMapSurface) {
    if (!cubeMapSurface)
        return Fail(D3DERR_INVALIDCALL, "GetCubeMapSurface", "null result pointer");
    *cubeMapSurface = nullptr;
    Surface* surface = Face(faceType, level, "GetCubeMapSurface");
    if (!surface) return D3DERR_INVALIDCALL;
    HandOut(surface, cubeMapSurface);
    return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES faceType, UINT level, D3DLOCKED_RECT* lockedRect,
                              const RECT* rect, DWORD flags) {
    Surface* surface = Face(faceType, level, "LockRect");
    if (!surface) {
        if (lockedRect) *lockedRect = D3DLOCKED_RECT{};
        return D3DERR_INVALIDCALL;
    }
    return surface->LockRect(lockedRect, rect, flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES faceType, UINT level) {
    Surface* surface = Face(faceType, level, "UnlockRect");
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}

HRESULT CubeTexture::AddDirtyRect(D3DCUBEMAP_FACES faceType, const RECT* dirtyRect) {
    Surface* surface = Face(faceType, 0, "AddDirtyRect");
    if (!surface) return D3DERR_INVALIDCALL;
    const SurfaceInfo& top = surface->Info();
    if (!RectInside(dirtyRect, top.width, top.height))
        return Fail(D3DERR_INVALIDCALL, "AddDirtyRect", "rectangle outside the face");
    return D3D_OK;
}

} // namespace txruntime
