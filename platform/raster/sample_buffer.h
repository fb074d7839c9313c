// Colour and depth storage of a render target, one value per sample.
//
// Samples of a pixel lie next to each other (pixel after pixel, row after
// row), so covering, testing and resolving one pixel touches one short run
// of memory. A target without multisampling has one sample per pixel.
//
// Clearing is deferred per tile of 8 x 8 pixels: a tile that a clear covers
// only remembers that it holds the clear value, and its samples are written
// when something draws into it. A frame that clears and then draws a few
// triangles therefore touches only the memory the triangles cover, and the
// resolve writes the clear colour of untouched tiles directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/raster/sample_pattern.h"
#include "platform/win32_types.h"

namespace txraster {

class SampleBuffer {
public:
    static const int kTileShift = 3;
    static const int kTileSize = 1 << kTileShift;

    // Makes storage for width x height pixels with `samples` samples each
    // (1 to 16) and, when asked, a 16-bit depth value per sample. The new
    // buffer reads as colour 0 and depth 0xFFFF. E_OUTOFMEMORY or
    // E_INVALIDARG on failure, and the buffer is then empty.
    HRESULT Allocate(int width, int height, int samples, bool withDepth);
    void Release();

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Samples() const { return samples_; }
    bool HasDepth() const { return depth_ != nullptr; }
    RECT Bounds() const { return RECT{0, 0, width_, height_}; }

    // The samples of one pixel, ready to be written.
    uint32_t* ColourAt(int x, int y);
    uint16_t* DepthAt(int x, int y);
    // The samples of one pixel for reading.
    const uint32_t* ColourAt(int x, int y) const;
    const uint16_t* DepthAt(int x, int y) const;

    // Makes pixels x0..x1 of row y writable and returns the samples of x0;
    // the following pixels follow in order.
    uint32_t* PrepareColourRow(int y, int x0, int x1);
    uint16_t* PrepareDepthRow(int y, int x0, int x1);

    // Fill every sample of the pixels in `rect` (clipped to the buffer).
    void ClearColour(const RECT& rect, uint32_t argb);
    void ClearDepth(const RECT& rect, uint16_t depth);

    // Sets every sample of every pixel from an A8R8G8B8 image, or every
    // depth sample from 16-bit values (rows `pitch` values apart), as when a
    // program has written the surface's memory itself.
    void LoadColour(const uint32_t* argb, size_t pitch);
    void LoadDepth(const uint16_t* values, size_t pitch);
    // The depth of sample 0 of every pixel, into rows `pitch` values apart.
    void ReadDepth(uint16_t* values, size_t pitch) const;

    // Averages the samples of every pixel of `rect` (clipped to the buffer)
    // channel by channel, rounding to nearest, into an A8R8G8B8 image whose
    // row `y` starts at `out + y * rowPitchBytes` (buffer coordinates).
    void Resolve(const RECT& rect, uint32_t* out, size_t rowPitchBytes) const;

private:
    template <typename T>
    struct Plane {
        std::unique_ptr<T[]> samples;
        std::unique_ptr<uint8_t[]> pending; // per tile: still holds `clear`
        T clear = 0;
        T clearSamples[kMaxSamples] = {};
    };

    size_t Index(int x, int y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) *
               static_cast<size_t>(samples_);
    }
    size_t Tile(int x, int y) const {
        return static_cast<size_t>(y >> kTileShift) * static_cast<size_t>(tilesX_) +
               static_cast<size_t>(x >> kTileShift);
    }
    bool Clip(const RECT& rect, RECT* clipped) const;

    template <typename T>
    void Materialise(Plane<T>& plane, size_t tile);
    template <typename T>
    T* PrepareRow(Plane<T>& plane, int y, int x0, int x1);
    template <typename T>
    void Clear(Plane<T>& plane, const RECT& rect, T value);

    int width_ = 0;
    int height_ = 0;
    int samples_ = 1;
    int tilesX_ = 0;
    int tilesY_ = 0;
    Plane<uint32_t> colour_;
    Plane<uint16_t> depthPlane_;
    uint16_t* depth_ = nullptr; // depthPlane_.samples when there is depth
};

// 16-bit depth value of a depth in [0, 1] (clamped; NaN reads as 0).
uint16_t DepthToD16(double z);

} // namespace txraster
