// The checks every texture creation makes: usage, pool and format, the
// profile's size limits and power-of-two rules, and the level count.
#pragma once

#include "platform/runtime/adapter_profile.h"

namespace txruntime {

struct TextureRequest {
    D3DRESOURCETYPE type; // D3DRTYPE_TEXTURE, _CUBETEXTURE or _VOLUMETEXTURE
    UINT width;
    UINT height;
    UINT depth;  // 1 unless a volume texture
    UINT levels; // 0 asks for the full chain; replaced by the count to create
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

// Validates `request` against the runtime and `profile` (scratch-pool
// requests only against the runtime) and resolves its level count.
HRESULT CheckTextureRequest(const AdapterProfile& profile, const char* call,
                            TextureRequest* request);

// Levels down to 1x1(x1): floor(log2(largest side)) + 1.
UINT FullChainLength(UINT width, UINT height, UINT depth);
// Side of level `level` of a resource whose level 0 has side `size`.
inline UINT LevelExtent(UINT size, UINT level) {
    const UINT extent = level < 32 ? size >> level : 0;
    return extent ? extent : 1;
}
inline bool IsPowerOfTwo(UINT value) {
    return value && !(value & (value - 1));
}

// Why a level of a texture in `pool` with `usage` cannot be locked, or null.
const char* TextureLevelNotLockable(D3DPOOL pool, DWORD usage);

} // namespace txruntime
