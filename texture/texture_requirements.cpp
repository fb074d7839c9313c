// What a device can create for a wished size, level count and format:
// the answer every texture creation asks before it creates anything.
#include "texture/texture.h"

namespace {

// The usages a texture made by the library may have.
constexpr DWORD kTextureUsages =
    D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;

bool IsPowerOfTwo(UINT value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// The next power of two at or above `value`; 1 for 0 and 1. A value above
// the largest 32-bit power of two stays as it is (no device takes it).
UINT RoundUpToPowerOfTwo(UINT value) {
    if (value <= 1) return 1;
    if (value > 0x80000000u) return value;
    UINT power = 1;
    while (power < value)
        power <<= 1;
    return power;
}

// Up to a whole 4x4 block; sizes within the last block stay as they are.
UINT RoundUpToMultipleOf4(UINT value) {
    return value > 0xFFFFFFFCu ? value : (value + 3) & ~3u;
}

// Levels down to 1x1(x1): the bit length of the largest extent.
UINT FullChainLength(UINT largest) {
    UINT levels = 1;
    while (largest > 1) {
        largest >>= 1;
        ++levels;
    }
    return levels;
}

UINT ValueOr(const UINT* value, UINT fallback) {
    return value ? *value : fallback;
}

UINT AtMost(UINT value, UINT64 limit) {
    return UINT64(value) > limit ? static_cast<UINT>(limit) : value;
}

struct Extent {
    UINT width;
    UINT height;
    UINT depth;
};

// Missing sizes: 256 by 256 when neither side is given, the given side for
// the other one, at least 1 otherwise. Cube faces are square.
Extent DefaultExtent(UINT width, UINT height, UINT depth, D3DRESOURCETYPE type) {
    Extent e = {width, height, depth};
    if (e.width == TX_DEFAULT && e.height == TX_DEFAULT) {
        e.width = e.height = 256;
    } else {
        if (e.width == TX_DEFAULT) e.width = e.height;
        if (e.height == TX_DEFAULT) e.height = e.width;
        if (e.width == 0) e.width = 1;
        if (e.height == 0) e.height = 1;
    }
    if (type == D3DRTYPE_CUBETEXTURE) e.width = e.height = e.width > e.height ? e.width : e.height;
    if (e.depth == TX_DEFAULT || e.depth == 0) e.depth = 1;
    return e;
}

// The device's size limits, then its power-of-two rule. Rounding comes last
// and may pass a limit that is not itself a power of two. A limit the device
// reports as 0 is taken as no limit.
void ApplyDeviceLimits(const D3DCAPS8& caps, D3DRESOURCETYPE type, Extent* e) {
    if (type == D3DRTYPE_VOLUMETEXTURE) {
        if (caps.MaxVolumeExtent) {
            e->depth = AtMost(e->depth, caps.MaxVolumeExtent);
            e->width = AtMost(e->width, caps.MaxVolumeExtent);
            e->height = AtMost(e->height, caps.MaxVolumeExtent);
        }
    } else {
        if (caps.MaxTextureWidth) e->width = AtMost(e->width, caps.MaxTextureWidth);
        if (caps.MaxTextureHeight) e->height = AtMost(e->height, caps.MaxTextureHeight);
        if (type == D3DRTYPE_TEXTURE) {
            const UINT64 ratio =
                (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps.MaxTextureAspectRatio;
            if (ratio != 0) {
                e->width = AtMost(e->width, ratio * e->height);
                e->height = AtMost(e->height, ratio * e->width);
            }
        }
    }
    if (caps.TextureCaps & D3DPowerOfTwoTextureCap(type)) {
        e->width = RoundUpToPowerOfTwo(e->width);
        e->height = RoundUpToPowerOfTwo(e->height);
        e->depth = RoundUpToPowerOfTwo(e->depth);
    }
}

UINT LevelCount(UINT requested, const Extent& e, D3DRESOURCETYPE type, const D3DCAPS8* caps) {
    // Without a device (the scratch pool) every chain is possible.
    if (caps) {
        if (!(caps->TextureCaps & D3DMipmapTextureCap(type))) return 1;
        if ((caps->TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) &&
            !(IsPowerOfTwo(e.width) && IsPowerOfTwo(e.height) && IsPowerOfTwo(e.depth)))
            return 1;
    }
    UINT largest = e.width > e.height ? e.width : e.height;
    if (type == D3DRTYPE_VOLUMETEXTURE && e.depth > largest) largest = e.depth;
    const UINT full = FullChainLength(largest);
    return requested == 0 || requested > full ? full : requested;
}

} // namespace

HRESULT TxCheckResourceRequirements(DWORD usage, IDirect3DDevice8* device, UINT* width,
                                    UINT* height, UINT* depth, UINT* mipLevels, D3DFORMAT* format,
                                    D3DPOOL pool, D3DRESOURCETYPE resourceType) {
    if (!device) return D3DERR_INVALIDCALL;
    if (usage == TX_DEFAULT) usage = 0;
    if ((usage & ~kTextureUsages) != 0) return D3DERR_INVALIDCALL;
    if (static_cast<DWORD>(pool) > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_CUBETEXTURE &&
        resourceType != D3DRTYPE_VOLUMETEXTURE)
        return D3DERR_INVALIDCALL;
    const bool scratch = pool == D3DPOOL_SCRATCH;

    // The scratch pool is never used by the device, so it is never asked.
    D3DFORMAT chosen = format ? *format : D3DFMT_UNKNOWN;
    if (!scratch) {
        chosen = TxFindClosestDeviceFormat(device, usage, resourceType, TxGetFormatInfo(chosen));
        if (chosen == D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;
    } else if (chosen == D3DFMT_UNKNOWN) {
        chosen = D3DFMT_A8R8G8B8;
    }

    Extent extent = DefaultExtent(ValueOr(width, TX_DEFAULT), ValueOr(height, TX_DEFAULT),
                                  ValueOr(depth, TX_DEFAULT), resourceType);
    D3DCAPS8 caps = {};
    if (!scratch) {
        const HRESULT hr = device->GetDeviceCaps(&caps);
        if (FAILED(hr)) return hr;
        ApplyDeviceLimits(caps, resourceType, &extent);
    }
    // Whole 4x4 blocks in every pool: the pixels of a DXT surface are stored
    // by block.
    if (D3DIsDxtFormat(chosen)) {
        extent.width = RoundUpToMultipleOf4(extent.width);
        extent.height = RoundUpToMultipleOf4(extent.height);
    }
    const UINT levels =
        LevelCount(ValueOr(mipLevels, TX_DEFAULT), extent, resourceType, scratch ? nullptr : &caps);

    if (width) *width = extent.width;
    if (height) *height = extent.height;
    if (depth) *depth = extent.depth;
    if (mipLevels) *mipLevels = levels;
    if (format) *format = chosen;
    return S_OK;
}
