// The vertex as it travels through the pipeline: homogeneous position and the
// attributes that reach the pixels.
#pragma once

#include <cstdint>

namespace txraster {

// Colour channels as 0..255 floats, so that interpolation needs no scaling.
struct Colour {
    float r, g, b, a;
};

struct ClipVertex {
    // Clip-space position for transformed vertices; for pretransformed ones
    // the screen position times w, and w = 1 / rhw.
    float x, y, z, w;
    Colour diffuse;
    Colour specular;
    float u, v; // the coordinate set that stage 0 reads
};

// A vertex after the divide by w and the viewport: position in 1/256 pixel,
// with pixel centres at whole pixels.
struct ScreenVertex {
    int64_t x, y;
    double z;  // depth in [0, 1] before quantising
    float rhw; // 1 / w, for perspective-correct attributes
    const ClipVertex* attributes;
};

const int kSubpixelBits = 8;
const int kSubpixelScale = 1 << kSubpixelBits;

} // namespace txraster
