// Conversion of texture texels of any format the runtime can create into
// A8R8G8B8, which is what the rasterizer samples.
//
// Channels a format lacks read as in texture sampling: colour formats
// without alpha are opaque; luminance fills red, green and blue; alpha-only
// formats are black; two-channel formats have blue and alpha at full.
// Signed (bump-map) channels keep their positive part, because colour
// values cannot go below zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8_types.h"

namespace txraster {

// True for the formats DecodeTexels reads.
bool CanDecodeFormat(D3DFORMAT format);

// Converts width x height texels starting at `source`, whose rows (rows of
// 4x4 blocks for the block-compressed formats) lie `sourcePitch` bytes apart,
// into `out`, whose rows lie `outPitch` texels apart. `palette` (256
// entries, alpha in peFlags) serves P8 and A8P8; without one their texels
// are opaque white (A8P8 keeps its alpha). False when the format cannot be
// read.
bool DecodeTexels(D3DFORMAT format, const void* source, size_t sourcePitch, int width, int height,
                  uint32_t* out, size_t outPitch, const PALETTEENTRY* palette = nullptr);

} // namespace txraster
