// Clipping of triangles in homogeneous space.
#pragma once

#include "platform/raster/raster_vertex.h"

namespace txraster {

// A half-space a*x + b*y + c*z + d*w + e >= 0.
struct ClipPlane {
    float a, b, c, d, e;
};

const int kMaxClipPlanes = 8;
// A triangle clipped by n planes has at most 3 + n corners.
const int kMaxClippedVertices = 3 + kMaxClipPlanes;

// Clips the triangle (a, b, c) by the planes and writes the corners of the
// remaining convex polygon, in the triangle's winding order, into `out`;
// returns their number (0 when nothing is left, 3 or more otherwise). New
// corners interpolate every attribute linearly in homogeneous space, which
// keeps them perspective-correct. Triangles with a non-finite coordinate are
// dropped.
int ClipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                 const ClipPlane* planes, int planeCount, ClipVertex* out);

} // namespace txraster
