// A box of pixels in memory, and the filter word that chooses how one block is
// resampled into another.
#pragma once

#include "platform/direct3d8.h"

// Filter kinds (bits 0-15 of a filter word).
#define TX_FILTER_NONE 0x00000001u
#define TX_FILTER_POINT 0x00000002u
#define TX_FILTER_LINEAR 0x00000003u
#define TX_FILTER_TRIANGLE 0x00000004u
#define TX_FILTER_BOX 0x00000005u
// Modifiers.
#define TX_FILTER_MIRROR_U 0x00010000u
#define TX_FILTER_MIRROR_V 0x00020000u
#define TX_FILTER_MIRROR_W 0x00040000u
#define TX_FILTER_MIRROR 0x00070000u
#define TX_FILTER_DITHER 0x00080000u

#define TX_FILTER_KIND_MASK 0x0000FFFFu
#define TX_FILTER_RESERVED_MASK 0xFFF00000u

// A filter word is valid when its kind is 1 to 5 and bits 20-31 are clear.
inline bool TxIsValidFilter(DWORD filter) {
    const DWORD kind = filter & TX_FILTER_KIND_MASK;
    return kind >= TX_FILTER_NONE && kind <= TX_FILTER_BOX &&
           (filter & TX_FILTER_RESERVED_MASK) == 0;
}

// Description of a block of pixels, filled by the caller. The blit engine
// reads it and writes only `dither`. Pixels and palette are borrowed and must
// outlive the transfer.
struct PixelBlock {
    void* data;                  // pixel (0, 0, 0) of the coordinates of bounds and box
    D3DFORMAT format;            // D3DFORMAT, FourCC or extended format
    UINT rowPitch;               // bytes per row (per row of 4x4 blocks for DXT)
    UINT slicePitch;             // bytes per slice; 0 for a surface
    D3DBOX bounds;               // extent of the whole image the block belongs to
    D3DBOX box;                  // region to read or write; right, bottom, back exclusive
    UINT dither;                 // non-zero: ordered dither when writing
    D3DCOLOR colorKey;           // 0: none; else matching source pixels become (0,0,0,0)
    const PALETTEENTRY* palette; // 256 entries or null (reads as opaque white)
};
