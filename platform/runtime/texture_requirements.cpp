#include "platform/runtime/texture_requirements.h"

#include "platform/runtime/debug_output.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime/pixel_storage.h"

namespace txruntime {

UINT FullChainLength(UINT width, UINT height, UINT depth) {
    UINT largest = width > height ? width : height;
    if (depth > largest) largest = depth;
    UINT levels = 1;
    while (largest > 1) {
        largest >>= 1;
        ++levels;
    }
    return levels;
}

const char* TextureLevelNotLockable(D3DPOOL pool, DWORD usage) {
    if (pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC))
        return "a level of a default-pool texture that is not dynamic cannot be locked";
    return nullptr;
}

namespace {

const char* TypeName(D3DRESOURCETYPE type) {
    switch (type) {
    case D3DRTYPE_CUBETEXTURE:
        return "cube texture";
    case D3DRTYPE_VOLUMETEXTURE:
        return "volume texture";
    default:
        return "texture";
    }
}

HRESULT CheckUsageAndPool(const char* call, const TextureRequest& r) {
    if (static_cast<DWORD>(r.pool) > D3DPOOL_SCRATCH)
        return Fail(D3DERR_INVALIDCALL, call, "unknown pool %u", static_cast<unsigned>(r.pool));
    const DWORD known =
        D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    if (r.usage & ~known)
        return Fail(D3DERR_INVALIDCALL, call, "usage 0x%x is not a texture usage", r.usage);
    const DWORD target = r.usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL);
    if (target == (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL))
        return Fail(D3DERR_INVALIDCALL, call, "render target and depth-stencil usage together");
    if (target && (r.usage & D3DUSAGE_DYNAMIC))
        return Fail(D3DERR_INVALIDCALL, call, "a render target or depth buffer cannot be dynamic");
    if (target && r.pool != D3DPOOL_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call,
                    "render targets and depth buffers live in the default pool");
    if (target && r.type == D3DRTYPE_VOLUMETEXTURE)
        return Fail(D3DERR_INVALIDCALL, call,
                    "a volume texture cannot be a render target or depth buffer");
    if ((r.usage & D3DUSAGE_DYNAMIC) && r.pool == D3DPOOL_MANAGED)
        return Fail(D3DERR_INVALIDCALL, call, "dynamic textures cannot be managed");
    return D3D_OK;
}

HRESULT CheckProfileLimits(const AdapterProfile& profile, const char* call,
                           const TextureRequest& r) {
    const DWORD caps = profile.textureCaps;
    if (r.type == D3DRTYPE_CUBETEXTURE && !(caps & D3DPTEXTURECAPS_CUBEMAP))
        return Fail(D3DERR_INVALIDCALL, call, "profile \"%s\" has no cube textures", profile.name);
    if (r.type == D3DRTYPE_VOLUMETEXTURE && !(caps & D3DPTEXTURECAPS_VOLUMEMAP))
        return Fail(D3DERR_INVALIDCALL, call, "profile \"%s\" has no volume textures",
                    profile.name);
    if (FAILED(CheckResourceFormat(profile, call, r.usage & ~D3DUSAGE_WRITEONLY, r.type, r.format)))
        return D3DERR_INVALIDCALL;

    if (r.type == D3DRTYPE_VOLUMETEXTURE) {
        if (r.width > profile.maxVolumeExtent || r.height > profile.maxVolumeExtent ||
            r.depth > profile.maxVolumeExtent)
            return Fail(D3DERR_INVALIDCALL, call, "%ux%ux%u exceeds the volume extent %u", r.width,
                        r.height, r.depth, profile.maxVolumeExtent);
    } else if (r.width > profile.maxTextureWidth || r.height > profile.maxTextureHeight) {
        return Fail(D3DERR_INVALIDCALL, call, "%ux%u exceeds the largest texture %ux%u", r.width,
                    r.height, profile.maxTextureWidth, profile.maxTextureHeight);
    }
    if (r.type == D3DRTYPE_TEXTURE) {
        if ((caps & D3DPTEXTURECAPS_SQUAREONLY) && r.width != r.height)
            return Fail(D3DERR_INVALIDCALL, call, "profile \"%s\" needs square textures",
                        profile.name);
        const UINT longer = r.width > r.height ? r.width : r.height;
        const UINT shorter = r.width > r.height ? r.height : r.width;
        const DWORD ratio = profile.maxTextureAspectRatio;
        if (ratio && uint64_t(longer) > uint64_t(shorter) * ratio)
            return Fail(D3DERR_INVALIDCALL, call, "%ux%u exceeds the aspect ratio %u", r.width,
                        r.height, ratio);
    }

    const bool pow2 = IsPowerOfTwo(r.width) && IsPowerOfTwo(r.height) && IsPowerOfTwo(r.depth);
    if (!pow2) {
        const bool conditional = (caps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
        if (caps & D3DPowerOfTwoTextureCap(r.type)) {
            // Only plain textures have the conditional exception, and only
            // with a single level.
            if (!(conditional && r.type == D3DRTYPE_TEXTURE && r.levels == 1))
                return Fail(D3DERR_INVALIDCALL, call, "profile \"%s\" needs power-of-two sizes",
                            profile.name);
        } else if (conditional && r.levels != 1) {
            return Fail(
                D3DERR_INVALIDCALL, call,
                "profile \"%s\" allows sizes that are not powers of two only with one level",
                profile.name);
        }
    }
    return D3D_OK;
}

} // namespace

HRESULT CheckTextureRequest(const AdapterProfile& profile, const char* call,
                            TextureRequest* request) {
    TextureRequest& r = *request;
    if (HRESULT hr = CheckUsageAndPool(call, r); FAILED(hr)) return hr;
    const FormatLayout* layout = FindFormatLayout(r.format);
    if (!layout)
        return Fail(D3DERR_INVALIDCALL, call, "%s is not a texture format", FormatName(r.format));
    if (r.width == 0 || r.height == 0 || r.depth == 0)
        return Fail(D3DERR_INVALIDCALL, call, "a side of %ux%ux%u is zero", r.width, r.height,
                    r.depth);
    if (r.width > kMaxDimension || r.height > kMaxDimension || r.depth > kMaxDimension)
        return Fail(D3DERR_INVALIDCALL, call, "%ux%ux%u exceeds the runtime's limit %u", r.width,
                    r.height, r.depth, kMaxDimension);

    const UINT full = FullChainLength(r.width, r.height, r.depth);
    const bool scratch = r.pool == D3DPOOL_SCRATCH;
    if (!scratch && !(profile.textureCaps & D3DMipmapTextureCap(r.type))) {
        if (r.levels > 1)
            return Fail(D3DERR_INVALIDCALL, call, "profile \"%s\" has no mipmapped %ss",
                        profile.name, TypeName(r.type));
        r.levels = 1;
    }
    if (r.levels == 0) r.levels = full;
    if (r.levels > full)
        return Fail(D3DERR_INVALIDCALL, call, "%u levels asked of a %ux%ux%u %s that has %u",
                    r.levels, r.width, r.height, r.depth, TypeName(r.type), full);
    if (!scratch)
        if (HRESULT hr = CheckProfileLimits(profile, call, r); FAILED(hr)) return hr;

    const uint64_t faces = r.type == D3DRTYPE_CUBETEXTURE ? 6 : 1;
    uint64_t total = 0;
    for (UINT level = 0; level < r.levels; ++level)
        total += SliceBytes(*layout, LevelExtent(r.width, level), LevelExtent(r.height, level)) *
                 LevelExtent(r.depth, level) * faces;
    if (total > kMaxResourceBytes)
        return Fail(r.pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY, call,
                    "%llu bytes is more than the runtime holds in one resource",
                    static_cast<unsigned long long>(total));
    return D3D_OK;
}

} // namespace txruntime
