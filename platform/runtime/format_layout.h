// How the pixels of every format that a resource can have lie in memory.
//
// Every format is stored as blocks: one pixel for the plain formats, a 4x4
// block for DXT1 to DXT5 (8 bytes for DXT1, 16 for the others), a pair of
// pixels for YUY2 and UYVY (4 bytes). A row of blocks is padded to a multiple
// of 4 bytes; a level smaller than a block still takes one whole block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8_types.h"

namespace txruntime {

struct FormatLayout {
    D3DFORMAT format;
    const char* name;
    UINT bitsPerPixel; // nominal: 4 for DXT1, 8 for DXT2 to DXT5, 16 for YUV
    UINT blockWidth;
    UINT blockHeight;
    UINT blockBytes;
    bool depthStencil;
};

// Layout of `format`, or null for a format that no resource can have.
const FormatLayout* FindFormatLayout(D3DFORMAT format);

// All formats, in a fixed order; `index` past the end gives null. A format's
// position in this order is its bit in the format sets of adapter profiles.
const FormatLayout* FormatLayoutAt(unsigned index);
unsigned FormatLayoutCount();
// Position of `format` in that order, or -1.
int FormatLayoutIndex(D3DFORMAT format);

// Name of a format for messages ("A8R8G8B8", "DXT1", or the number).
const char* FormatName(D3DFORMAT format);

// Bytes from one row of blocks to the next for `width` pixels.
UINT RowPitch(const FormatLayout& layout, UINT width);
// Rows of blocks that `height` pixels take.
UINT BlockRows(const FormatLayout& layout, UINT height);
// Bytes of one slice (a whole surface, or one depth slice of a volume).
uint64_t SliceBytes(const FormatLayout& layout, UINT width, UINT height);

// A rectangle or box in pixels: [left, right) x [top, bottom) x [front, back).
struct Region {
    UINT left, top, right, bottom, front, back;
};

// True when `region` lies in a resource of the given size, is not inverted,
// and starts and ends on block boundaries (a right or bottom edge equal to
// the size counts as a boundary).
bool RegionFits(const FormatLayout& layout, const Region& region, UINT width, UINT height,
                UINT depth);
bool RegionOnBlocks(const FormatLayout& layout, const Region& region, UINT width, UINT height);

// Byte offset of the block that holds pixel (x, y) of slice z.
size_t BlockOffset(const FormatLayout& layout, UINT rowPitch, UINT slicePitch, UINT x, UINT y,
                   UINT z);

} // namespace txruntime
