#include "platform/runtime/vertex_format.h"

namespace txruntime {

namespace {

// Bits no flexible vertex format may carry: the reserved bit 0 and the
// reserved bits 13 to 15.
constexpr DWORD kReservedBits = D3DFVF_RESERVED0 | 0xE000u;

} // namespace

bool DescribeFvf(DWORD fvf, FvfLayout* layout) {
    if (fvf & kReservedBits) return false;
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) return false;
    FvfLayout l{};
    l.position = l.normal = l.pointSize = l.diffuse = l.specular = -1;
    UINT offset = 0;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position) {
        l.position = 0;
        // XYZ 0x2, XYZRHW 0x4, then three to seven floats for XYZ with one
        // to five blend weights.
        l.positionFloats = position == D3DFVF_XYZ      ? 3
                           : position == D3DFVF_XYZRHW ? 4
                                                       : position / 2 + 1;
        offset = 4 * l.positionFloats;
    }
    auto take = [&offset](DWORD bit, DWORD code, UINT bytes, int* at) {
        if (!(code & bit)) return;
        *at = static_cast<int>(offset);
        offset += bytes;
    };
    take(D3DFVF_NORMAL, fvf, 12, &l.normal);
    take(D3DFVF_PSIZE, fvf, 4, &l.pointSize);
    take(D3DFVF_DIFFUSE, fvf, 4, &l.diffuse);
    take(D3DFVF_SPECULAR, fvf, 4, &l.specular);
    l.textureSets = sets;
    for (UINT i = 0; i < 8; ++i)
        l.texture[i] = -1;
    for (UINT i = 0; i < sets; ++i) {
        // Two bits per set from bit 16: 0 two floats, 1 three, 2 four, 3 one.
        static const UINT floats[4] = {2, 3, 4, 1};
        l.textureFloats[i] = floats[(fvf >> (16 + 2 * i)) & 3u];
        l.texture[i] = static_cast<int>(offset);
        offset += 4 * l.textureFloats[i];
    }
    l.size = offset;
    *layout = l;
    return true;
}

UINT FvfVertexSize(DWORD fvf) {
    FvfLayout layout{};
    return DescribeFvf(fvf, &layout) ? layout.size : 0;
}

} // namespace txruntime
