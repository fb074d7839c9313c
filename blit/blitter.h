// The blit engine: copies, converts or resamples one PixelBlock into another
// through a fixed chain of strategies.
#pragma once

#include <memory>

#include "codec/pixel_codec.h"

class Blitter {
public:
    Blitter() = default;
    Blitter(const Blitter&) = delete;
    Blitter& operator=(const Blitter&) = delete;

    // S_OK when a strategy did the transfer; D3DERR_INVALIDCALL for an invalid
    // filter word; E_FAIL when a format has no codec or every strategy
    // declined; E_OUTOFMEMORY when the conversion buffer cannot be allocated.
    // Sets dest.dither from TX_FILTER_DITHER.
    HRESULT Execute(PixelBlock& dest, const PixelBlock& source, DWORD filter);

    // Strategies, in chain order. Each does the whole transfer (S_OK) or
    // declines (a failure code).
    HRESULT TryIdentical();
    HRESULT TryIdenticalBlocks();
    HRESULT TryConvert();
    HRESULT TryNone();
    HRESULT TryPoint();
    HRESULT TryBox2D();
    HRESULT TryBox3D();
    HRESULT TryLinear2D();
    HRESULT TryLinear3D();
    HRESULT TryTriangle2D();
    HRESULT TryTriangle3D();

    std::unique_ptr<PixelCodec> sourceCodec;
    std::unique_ptr<PixelCodec> destCodec;
    DWORD filter = 0;
};
