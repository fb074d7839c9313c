// Regenerating the smaller mipmap levels of a texture, cube texture or volume
// texture from one of its levels. Every level goes through the surface and
// volume loads, so formats, palettes and resampling are theirs.
#include "texture/com_ref.h"
#include "texture/texture.h"

namespace {

bool IsPowerOfTwo(UINT value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// Box filtering halves exactly only when every extent is a power of two;
// other sizes are resampled with the triangle filter.
DWORD DefaultFilterFor(UINT width, UINT height, UINT depth) {
    return IsPowerOfTwo(width) && IsPowerOfTwo(height) && IsPowerOfTwo(depth)
               ? TX_FILTER_BOX
               : (TX_FILTER_TRIANGLE | TX_FILTER_DITHER);
}

// How one face's levels are derived from its source level: point and box
// filtering halve from the level just made, which is what those filters do
// well; the others resample every level straight from the source level, so
// that their errors do not accumulate.
struct ChainPlan {
    UINT sourceLevel;
    UINT levelCount;
    bool cascade;
    const PALETTEENTRY* palette;
    DWORD filter;
};

HRESULT LoadLevel(IDirect3DSurface8* level, IDirect3DSurface8* source, const ChainPlan& plan) {
    return TxLoadSurfaceFromSurface(level, plan.palette, nullptr, source, plan.palette, nullptr,
                                    plan.filter, 0);
}

HRESULT LoadLevel(IDirect3DVolume8* level, IDirect3DVolume8* source, const ChainPlan& plan) {
    return TxLoadVolumeFromVolume(level, plan.palette, nullptr, source, plan.palette, nullptr,
                                  plan.filter, 0);
}

// Fills the levels below the source level of one face. `getLevel(i, out)`
// hands out a reference to level i. Levels filled before a failure keep their
// new contents.
template <typename Level, typename GetLevel>
HRESULT FilterChain(const ChainPlan& plan, GetLevel getLevel) {
    ComRef<Level> source;
    HRESULT hr = getLevel(plan.sourceLevel, source.Receive());
    if (FAILED(hr)) return hr;
    for (UINT i = plan.sourceLevel + 1; i < plan.levelCount; ++i) {
        ComRef<Level> level;
        hr = getLevel(i, level.Receive());
        if (FAILED(hr)) return hr;
        hr = LoadLevel(level.get(), source.get(), plan);
        if (FAILED(hr)) return hr;
        if (plan.cascade) source = std::move(level);
    }
    return S_OK;
}

UINT DepthOf(const D3DSURFACE_DESC&) {
    return 1;
}

UINT DepthOf(const D3DVOLUME_DESC& desc) {
    return desc.Depth;
}

// Takes the texture's own interface and makes the plan: the default filter
// from the size of level 0, then `addedFilter`; D3DERR_INVALIDCALL for a
// source level beyond the chain.
template <typename Interface, typename Desc>
HRESULT Prepare(IDirect3DBaseTexture8* base, REFIID iid, const PALETTEENTRY* palette, UINT srcLevel,
                DWORD filter, DWORD addedFilter, ComRef<Interface>* texture, ChainPlan* plan) {
    if (FAILED(base->QueryInterface(iid, reinterpret_cast<void**>(texture->Receive()))))
        return D3DERR_INVALIDCALL;
    if (filter == TX_DEFAULT) {
        Desc desc;
        const HRESULT hr = (*texture)->GetLevelDesc(0, &desc);
        if (FAILED(hr)) return hr;
        filter = DefaultFilterFor(desc.Width, desc.Height, DepthOf(desc));
    }
    filter |= addedFilter;
    plan->levelCount = base->GetLevelCount();
    plan->sourceLevel = srcLevel == TX_DEFAULT ? 0 : srcLevel;
    if (plan->sourceLevel >= plan->levelCount) return D3DERR_INVALIDCALL;
    const DWORD kind = filter & 0xFFu;
    plan->cascade = kind == TX_FILTER_POINT || kind == TX_FILTER_BOX;
    plan->palette = palette;
    plan->filter = filter;
    return S_OK;
}

HRESULT FilterPlainTexture(IDirect3DBaseTexture8* base, const PALETTEENTRY* palette, UINT srcLevel,
                           DWORD filter) {
    ComRef<IDirect3DTexture8> texture;
    ChainPlan plan;
    const HRESULT hr = Prepare<IDirect3DTexture8, D3DSURFACE_DESC>(
        base, IID_IDirect3DTexture8, palette, srcLevel, filter, 0, &texture, &plan);
    if (FAILED(hr)) return hr;
    return FilterChain<IDirect3DSurface8>(plan, [&](UINT level, IDirect3DSurface8** surface) {
        return texture->GetSurfaceLevel(level, surface);
    });
}

HRESULT FilterCubeTexture(IDirect3DBaseTexture8* base, const PALETTEENTRY* palette, UINT srcLevel,
                          DWORD filter) {
    // Neighbouring faces meet at their edges: resampling must not wrap one
    // edge of a face onto the opposite one.
    ComRef<IDirect3DCubeTexture8> cube;
    ChainPlan plan;
    HRESULT hr = Prepare<IDirect3DCubeTexture8, D3DSURFACE_DESC>(
        base, IID_IDirect3DCubeTexture8, palette, srcLevel, filter, TX_FILTER_MIRROR, &cube, &plan);
    if (FAILED(hr)) return hr;
    for (UINT face = 0; face < 6; ++face) {
        const auto faceType = static_cast<D3DCUBEMAP_FACES>(face);
        hr = FilterChain<IDirect3DSurface8>(plan, [&](UINT level, IDirect3DSurface8** surface) {
            return cube->GetCubeMapSurface(faceType, level, surface);
        });
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FilterVolumeTexture(IDirect3DBaseTexture8* base, const PALETTEENTRY* palette, UINT srcLevel,
                            DWORD filter) {
    ComRef<IDirect3DVolumeTexture8> texture;
    ChainPlan plan;
    const HRESULT hr = Prepare<IDirect3DVolumeTexture8, D3DVOLUME_DESC>(
        base, IID_IDirect3DVolumeTexture8, palette, srcLevel, filter, 0, &texture, &plan);
    if (FAILED(hr)) return hr;
    return FilterChain<IDirect3DVolume8>(plan, [&](UINT level, IDirect3DVolume8** volume) {
        return texture->GetVolumeLevel(level, volume);
    });
}

} // namespace

HRESULT TxFilterTexture(IDirect3DBaseTexture8* texture, const PALETTEENTRY* palette, UINT srcLevel,
                        DWORD filter) {
    if (!texture) return D3DERR_INVALIDCALL;
    switch (texture->GetType()) {
    case D3DRTYPE_TEXTURE:
        return FilterPlainTexture(texture, palette, srcLevel, filter);
    case D3DRTYPE_CUBETEXTURE:
        return FilterCubeTexture(texture, palette, srcLevel, filter);
    case D3DRTYPE_VOLUMETEXTURE:
        return FilterVolumeTexture(texture, palette, srcLevel, filter);
    default:
        return D3DERR_INVALIDCALL;
    }
}
