// Layout of a vertex described by a flexible vertex format code.
#pragma once

#include "platform/d3d8_types.h"

namespace txraster {

const int kMaxTexCoordSets = 8;

struct VertexLayout {
    DWORD fvf = 0;
    UINT stride = 0;             // bytes per vertex
    bool hasPosition = false;    // vertex buffers may hold vertices without one
    bool pretransformed = false; // XYZRHW: screen position and 1/w given
    int blendWeights = 0;        // floats between the position and the rest
    // Byte offsets of the parts, -1 when absent. The position is at 0.
    int normalOffset = -1;
    int pointSizeOffset = -1;
    int diffuseOffset = -1;
    int specularOffset = -1;
    int texCoordSets = 0;
    int texCoordOffset[kMaxTexCoordSets] = {};
    int texCoordFloats[kMaxTexCoordSets] = {}; // 1 to 4 per set
};

// Fills `layout` for any valid format code, with or without a position;
// false for reserved bits or more than eight coordinate sets.
bool DescribeVertexFormat(DWORD fvf, VertexLayout* layout);

// Fills `layout` for a format code that can be drawn; false for codes that
// describe no usable vertex (no position, reserved bits, more than eight
// coordinate sets).
bool ParseVertexFormat(DWORD fvf, VertexLayout* layout);

} // namespace txraster
