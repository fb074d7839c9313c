// Flexible vertex formats: which codes are valid and how many bytes a vertex
// of each takes.
#pragma once

#include "platform/d3d8_types.h"

namespace txruntime {

// Size of one vertex of `fvf` in bytes, or 0 when `fvf` is not a valid
// flexible vertex format (reserved bits, more than 8 texture coordinate
// sets). A code without position gives the size of its other parts.
UINT FvfVertexSize(DWORD fvf);

// Offsets of the parts of a vertex of a valid `fvf`; -1 for parts it lacks.
struct FvfLayout {
    UINT size;
    int position;
    UINT positionFloats; // 3 for XYZ, 4 for XYZRHW, 3 + blend weights
    int normal;
    int pointSize;
    int diffuse;
    int specular;
    UINT textureSets;
    int texture[8];
    UINT textureFloats[8];
};
bool DescribeFvf(DWORD fvf, FvfLayout* layout);

} // namespace txruntime
