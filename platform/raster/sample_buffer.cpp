#include "platform/raster/sample_buffer.h"

#include <algorithm>
#include <new>

#include "platform/raster/sample_pattern.h"

namespace txraster {

HRESULT SampleBuffer::Allocate(int width, int height, int samples, bool withDepth) {
    Release();
    if (width <= 0 || height <= 0 || samples < 1 || samples > kMaxSamples) return E_INVALIDARG;
    const size_t count =
        static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(samples);
    std::unique_ptr<uint32_t[]> colour(new (std::nothrow) uint32_t[count]);
    std::unique_ptr<uint16_t[]> depth(withDepth ? new (std::nothrow) uint16_t[count] : nullptr);
    if (!colour || (withDepth && !depth)) return E_OUTOFMEMORY;
    std::fill(colour.get(), colour.get() + count, 0u);
    if (depth) std::fill(depth.get(), depth.get() + count, static_cast<uint16_t>(0xFFFF));
    colour_ = std::move(colour);
    depth_ = std::move(depth);
    width_ = width;
    height_ = height;
    samples_ = samples;
    return S_OK;
}

void SampleBuffer::Release() {
    colour_.reset();
    depth_.reset();
    width_ = height_ = 0;
    samples_ = 1;
}

bool SampleBuffer::Clip(const RECT& rect, RECT* clipped) const {
    clipped->left = std::max<LONG>(rect.left, 0);
    clipped->top = std::max<LONG>(rect.top, 0);
    clipped->right = std::min<LONG>(rect.right, width_);
    clipped->bottom = std::min<LONG>(rect.bottom, height_);
    return clipped->left < clipped->right && clipped->top < clipped->bottom;
}

void SampleBuffer::ClearColour(const RECT& rect, uint32_t argb) {
    RECT r;
    if (!colour_ || !Clip(rect, &r)) return;
    const size_t run = static_cast<size_t>(r.right - r.left) * static_cast<size_t>(samples_);
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t* row = ColourAt(r.left, y);
        std::fill(row, row + run, argb);
    }
}

void SampleBuffer::ClearDepth(const RECT& rect, uint16_t value) {
    RECT r;
    if (!depth_ || !Clip(rect, &r)) return;
    const size_t run = static_cast<size_t>(r.right - r.left) * static_cast<size_t>(samples_);
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint16_t* row = DepthAt(r.left, y);
        std::fill(row, row + run, value);
    }
}

namespace {

template <int N>
void ResolveRow(const uint32_t* samples, uint32_t* out, int pixels, int n) {
    const int count = N > 0 ? N : n;
    const uint32_t half = static_cast<uint32_t>(count / 2);
    for (int x = 0; x < pixels; ++x, samples += count) {
        uint32_t a = half, r = half, g = half, b = half;
        for (int s = 0; s < count; ++s) {
            const uint32_t c = samples[s];
            a += c >> 24;
            r += (c >> 16) & 0xFF;
            g += (c >> 8) & 0xFF;
            b += c & 0xFF;
        }
        const uint32_t d = static_cast<uint32_t>(count);
        out[x] = ((a / d) << 24) | ((r / d) << 16) | ((g / d) << 8) | (b / d);
    }
}

} // namespace

void SampleBuffer::Resolve(const RECT& rect, uint32_t* out, size_t rowPitchBytes) const {
    RECT r;
    if (!colour_ || !out || !Clip(rect, &r)) return;
    const int pixels = r.right - r.left;
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<unsigned char*>(out) +
                                                    static_cast<size_t>(y) * rowPitchBytes) +
                        r.left;
        const uint32_t* samples = ColourAt(r.left, y);
        // The common counts get loops the compiler can unroll.
        switch (samples_) {
        case 1:
            std::copy(samples, samples + pixels, row);
            break;
        case 2:
            ResolveRow<2>(samples, row, pixels, 2);
            break;
        case 4:
            ResolveRow<4>(samples, row, pixels, 4);
            break;
        case 8:
            ResolveRow<8>(samples, row, pixels, 8);
            break;
        case 16:
            ResolveRow<16>(samples, row, pixels, 16);
            break;
        default:
            ResolveRow<0>(samples, row, pixels, samples_);
            break;
        }
    }
}

uint16_t DepthToD16(double z) {
    if (!(z > 0.0)) return 0;
    if (z >= 1.0) return 0xFFFF;
    return static_cast<uint16_t>(z * 65535.0 + 0.5);
}

} // namespace txraster
