// The codec families. Each creates the codecs of its own formats and gives
// null for every other format (and when memory runs out).
#pragma once

#include <memory>
#include <new>

#include "codec/pixel_codec.h"

// Packed RGB formats with or without alpha, from 8 to 32 bits per pixel.
std::unique_ptr<PixelCodec> CreateRgbCodec(const PixelBlock& block);
// Alpha only, luminance, and luminance with alpha.
std::unique_ptr<PixelCodec> CreateAlphaLuminanceCodec(const PixelBlock& block);
// Palette indices, with or without alpha beside them.
std::unique_ptr<PixelCodec> CreatePaletteCodec(const PixelBlock& block);

// A codec of class Codec for the block; null when memory runs out.
template <class Codec>
std::unique_ptr<PixelCodec> MakeCodec(const PixelBlock& block) {
    return std::unique_ptr<PixelCodec>(new (std::nothrow) Codec(block));
}
