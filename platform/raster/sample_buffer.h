// Colour and depth storage of a render target, one value per sample.
//
// Samples of a pixel lie next to each other (pixel after pixel, row after
// row), so covering, testing and resolving one pixel touches one short run
// of memory. A target without multisampling has one sample per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/win32_types.h"

namespace txraster {

class SampleBuffer {
public:
    // Makes storage for width x height pixels with `samples` samples each
    // (1 to 16) and, when asked, a 16-bit depth value per sample. The old
    // contents are lost. E_OUTOFMEMORY or E_INVALIDARG on failure, and the
    // buffer is then empty.
    HRESULT Allocate(int width, int height, int samples, bool withDepth);
    void Release();

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Samples() const { return samples_; }
    bool HasDepth() const { return depth_ != nullptr; }

    uint32_t* ColourAt(int x, int y) { return colour_.get() + Index(x, y); }
    const uint32_t* ColourAt(int x, int y) const { return colour_.get() + Index(x, y); }
    uint16_t* DepthAt(int x, int y) { return depth_.get() + Index(x, y); }
    const uint16_t* DepthAt(int x, int y) const { return depth_.get() + Index(x, y); }

    // Fill every sample of the pixels in `rect` (clipped to the buffer).
    void ClearColour(const RECT& rect, uint32_t argb);
    void ClearDepth(const RECT& rect, uint16_t depth);

    // Averages the samples of every pixel of `rect` (clipped to the buffer)
    // channel by channel, rounding to nearest, into an A8R8G8B8 image whose
    // row `y` starts at `out + y * rowPitchBytes` (buffer coordinates).
    void Resolve(const RECT& rect, uint32_t* out, size_t rowPitchBytes) const;

    RECT Bounds() const { return RECT{0, 0, width_, height_}; }

private:
    size_t Index(int x, int y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) *
               static_cast<size_t>(samples_);
    }
    bool Clip(const RECT& rect, RECT* clipped) const;

    int width_ = 0;
    int height_ = 0;
    int samples_ = 1;
    std::unique_ptr<uint32_t[]> colour_;
    std::unique_ptr<uint16_t[]> depth_;
};

// 16-bit depth value of a depth in [0, 1] (clamped; NaN reads as 0).
uint16_t DepthToD16(double z);

} // namespace txraster
