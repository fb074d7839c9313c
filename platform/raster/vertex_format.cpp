#include "platform/raster/vertex_format.h"

namespace txraster {

namespace {

const DWORD kPositionXyzB1 = 0x006u;
const DWORD kPositionXyzB5 = 0x00Eu;
const DWORD kReservedBits = D3DFVF_RESERVED0 | 0xE000u;
const int kTexSizeShift = 16;

} // namespace

bool DescribeVertexFormat(DWORD fvf, VertexLayout* layout) {
    if (!layout || (fvf & kReservedBits)) return false;
    VertexLayout out;
    out.fvf = fvf;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    out.hasPosition = position != 0;
    UINT offset = 0;
    if (position == 0) {
        // No position: only the other parts take room.
    } else if (position == D3DFVF_XYZ) {
        offset = 12;
    } else if (position == D3DFVF_XYZRHW) {
        out.pretransformed = true;
        offset = 16;
    } else if (position >= kPositionXyzB1 && position <= kPositionXyzB5) {
        // Blend weights follow the position; without vertex blending they
        // are skipped and the first world matrix applies.
        out.blendWeights = static_cast<int>((position - kPositionXyzB1) / 2 + 1);
        offset = 12 + 4 * static_cast<UINT>(out.blendWeights);
    } else {
        return false;
    }
    if (fvf & D3DFVF_NORMAL) {
        out.normalOffset = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        out.pointSizeOffset = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        out.diffuseOffset = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        out.specularOffset = static_cast<int>(offset);
        offset += 4;
    }
    const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (sets > kMaxTexCoordSets) return false;
    out.texCoordSets = sets;
    for (int i = 0; i < sets; ++i) {
        // Two bits per set: 0 two floats, 1 three, 2 four, 3 one.
        const DWORD code = (fvf >> (kTexSizeShift + 2 * i)) & 3u;
        const int floats = code == 0 ? 2 : code == 1 ? 3 : code == 2 ? 4 : 1;
        out.texCoordOffset[i] = static_cast<int>(offset);
        out.texCoordFloats[i] = floats;
        offset += 4 * static_cast<UINT>(floats);
    }
    out.stride = offset;
    *layout = out;
    return true;
}

bool ParseVertexFormat(DWORD fvf, VertexLayout* layout) {
    VertexLayout out;
    if (!DescribeVertexFormat(fvf, &out) || !out.hasPosition || !layout) return false;
    *layout = out;
    return true;
}

} // namespace txraster
