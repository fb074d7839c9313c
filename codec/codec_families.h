// The codec families. Each creates the codecs of its own formats and gives
// null for every other format (and when memory runs out).
#pragma once

#include <memory>

#include "codec/pixel_codec.h"

// Packed RGB formats with or without alpha, from 8 to 32 bits per pixel.
std::unique_ptr<PixelCodec> CreateRgbCodec(const PixelBlock& block);
