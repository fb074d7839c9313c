// Whole-image operations around the rasterizer: writing resolved pixels into
// a surface's format, and stretching pictures for presentation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8_types.h"

namespace txraster {

// True for the formats EncodeTexels writes: the colour formats a render
// target or back buffer can have.
bool CanEncodeFormat(D3DFORMAT format);

// Writes width x height A8R8G8B8 pixels (rows `argbPitch` pixels apart) into
// `out` (rows `outPitch` bytes apart) in `format`, rounding each channel to
// the nearest value the format holds. False for formats it cannot write.
bool EncodeTexels(D3DFORMAT format, const uint32_t* argb, size_t argbPitch, int width, int height,
                  void* out, size_t outPitch);

// Copies the `from` rectangle of one A8R8G8B8 image onto the `to` rectangle
// of another, taking for each destination pixel the source pixel under its
// centre (nearest neighbour): a 100 x 100 picture on 400 x 400 pixels shows
// every pixel as a 4 x 4 block. Pitches count pixels. Both rectangles must
// lie inside their images; empty ones copy nothing.
void StretchNearest(const uint32_t* source, size_t sourcePitch, const RECT& from, uint32_t* dest,
                    size_t destPitch, const RECT& to);

// The largest rectangle with the aspect of a sourceWidth x sourceHeight
// picture that fits in width x height, centred.
RECT FitKeepingAspect(int sourceWidth, int sourceHeight, int width, int height);

} // namespace txraster
