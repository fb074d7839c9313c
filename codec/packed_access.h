// What code outside the codecs may ask of a packed codec: its layout, and a
// codec of the same layout over other memory. The blit engine's direct
// packed-to-packed conversion uses both to learn which fields meet and to
// run the codecs' own arithmetic over every field value.
#pragma once

#include <memory>

#include "codec/packed_layout.h"

// The layout of a packed codec; null for every other codec (palette indices,
// block-compressed formats, codecs written for tests).
const PackedLayout* PackedLayoutOf(const PixelCodec& codec);

// A codec of the same layout as the packed codec `like`, for `block` (whose
// format is not consulted). Null when `like` is not a packed codec or memory
// runs out. Like CreatePixelCodec, it prepares the block's colour key.
std::unique_ptr<PixelCodec> SamePackedCodec(const PixelCodec& like, const PixelBlock& block);
