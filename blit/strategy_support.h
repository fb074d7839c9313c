// Small helpers shared by the strategies of the blit engine.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include "blit/pixel_block.h"
#include "codec/pixel_codec.h"

using ColorRow = std::unique_ptr<ColorF[]>;

// A row of `count` pixels, or null when memory runs out (the strategy then
// declines; nothing throws). The contents are undefined.
inline ColorRow AllocateRow(size_t count) {
    // new[] of zero elements still returns a unique pointer, so an empty row
    // is a valid buffer and not mistaken for a failure.
    return ColorRow(new (std::nothrow) ColorF[count]);
}

// The same, every channel 0.
inline ColorRow AllocateZeroedRow(size_t count) {
    return ColorRow(new (std::nothrow) ColorF[count]());
}

// The filter kind as the strategies test it. Execute has already refused
// words whose bits 8-15 are set, so the low byte is the whole kind.
inline DWORD FilterKind(DWORD filter) {
    return filter & 0xFF;
}

// Wrap (rather than mirror) beyond the edges of each axis.
inline bool WrapsU(DWORD filter) {
    return (filter & TX_FILTER_MIRROR_U) == 0;
}
inline bool WrapsV(DWORD filter) {
    return (filter & TX_FILTER_MIRROR_V) == 0;
}
inline bool WrapsW(DWORD filter) {
    return (filter & TX_FILTER_MIRROR_W) == 0;
}

// A box with no pixels in it.
inline bool IsEmpty(const PixelCodec& codec) {
    return codec.width == 0 || codec.height == 0 || codec.depth == 0;
}
