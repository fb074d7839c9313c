#include "platform/raster/sample_buffer.h"

#include <algorithm>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace txraster {

HRESULT SampleBuffer::Allocate(int width, int height, int samples, bool withDepth) {
    Release();
    if (width <= 0 || height <= 0 || samples < 1 || samples > kMaxSamples) return E_INVALIDARG;
    const size_t count =
        static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(samples);
    const int tilesX = (width + kTileSize - 1) >> kTileShift;
    const int tilesY = (height + kTileSize - 1) >> kTileShift;
    const size_t tiles = static_cast<size_t>(tilesX) * static_cast<size_t>(tilesY);
    // Sample memory is left untouched: every tile starts out pending.
    std::unique_ptr<uint32_t[]> colour(new (std::nothrow) uint32_t[count]);
    std::unique_ptr<uint8_t[]> colourPending(new (std::nothrow) uint8_t[tiles]);
    std::unique_ptr<uint16_t[]> depth(withDepth ? new (std::nothrow) uint16_t[count] : nullptr);
    std::unique_ptr<uint8_t[]> depthPending(withDepth ? new (std::nothrow) uint8_t[tiles]
                                                      : nullptr);
    if (!colour || !colourPending || (withDepth && (!depth || !depthPending))) return E_OUTOFMEMORY;
    std::fill(colourPending.get(), colourPending.get() + tiles, uint8_t{1});
    if (withDepth) std::fill(depthPending.get(), depthPending.get() + tiles, uint8_t{1});

    width_ = width;
    height_ = height;
    samples_ = samples;
    tilesX_ = tilesX;
    tilesY_ = tilesY;
    colour_.samples = std::move(colour);
    colour_.pending = std::move(colourPending);
    colour_.clear = 0;
    std::fill(colour_.clearSamples, colour_.clearSamples + kMaxSamples, 0u);
    depthPlane_.samples = std::move(depth);
    depthPlane_.pending = std::move(depthPending);
    depthPlane_.clear = 0xFFFF;
    std::fill(depthPlane_.clearSamples, depthPlane_.clearSamples + kMaxSamples,
              static_cast<uint16_t>(0xFFFF));
    depth_ = depthPlane_.samples.get();
    return S_OK;
}

void SampleBuffer::Release() {
    colour_.samples.reset();
    colour_.pending.reset();
    depthPlane_.samples.reset();
    depthPlane_.pending.reset();
    depth_ = nullptr;
    width_ = height_ = tilesX_ = tilesY_ = 0;
    samples_ = 1;
}

bool SampleBuffer::Clip(const RECT& rect, RECT* clipped) const {
    clipped->left = std::max<LONG>(rect.left, 0);
    clipped->top = std::max<LONG>(rect.top, 0);
    clipped->right = std::min<LONG>(rect.right, width_);
    clipped->bottom = std::min<LONG>(rect.bottom, height_);
    return clipped->left < clipped->right && clipped->top < clipped->bottom;
}

template <typename T>
void SampleBuffer::Materialise(Plane<T>& plane, size_t tile) {
    if (!plane.pending[tile]) return;
    plane.pending[tile] = 0;
    const int tx = static_cast<int>(tile % static_cast<size_t>(tilesX_)) << kTileShift;
    const int ty = static_cast<int>(tile / static_cast<size_t>(tilesX_)) << kTileShift;
    const int x1 = std::min(tx + kTileSize, width_);
    const int y1 = std::min(ty + kTileSize, height_);
    const size_t run = static_cast<size_t>(x1 - tx) * static_cast<size_t>(samples_);
    for (int y = ty; y < y1; ++y) {
        T* row = plane.samples.get() + Index(tx, y);
        std::fill(row, row + run, plane.clear);
    }
}

template <typename T>
T* SampleBuffer::PrepareRow(Plane<T>& plane, int y, int x0, int x1) {
    const size_t first = Tile(x0, y), last = Tile(x1, y);
    for (size_t tile = first; tile <= last; ++tile)
        Materialise(plane, tile);
    return plane.samples.get() + Index(x0, y);
}

uint32_t* SampleBuffer::PrepareColourRow(int y, int x0, int x1) {
    return PrepareRow(colour_, y, x0, x1);
}

uint16_t* SampleBuffer::PrepareDepthRow(int y, int x0, int x1) {
    return depth_ ? PrepareRow(depthPlane_, y, x0, x1) : nullptr;
}

uint32_t* SampleBuffer::ColourAt(int x, int y) {
    return PrepareColourRow(y, x, x);
}

uint16_t* SampleBuffer::DepthAt(int x, int y) {
    return PrepareDepthRow(y, x, x);
}

const uint32_t* SampleBuffer::ColourAt(int x, int y) const {
    return colour_.pending[Tile(x, y)] ? colour_.clearSamples : colour_.samples.get() + Index(x, y);
}

const uint16_t* SampleBuffer::DepthAt(int x, int y) const {
    if (!depth_) return nullptr;
    return depthPlane_.pending[Tile(x, y)] ? depthPlane_.clearSamples : depth_ + Index(x, y);
}

template <typename T>
void SampleBuffer::Clear(Plane<T>& plane, const RECT& rect, T value) {
    RECT r;
    if (!plane.samples || !Clip(rect, &r)) return;
    const int tx0 = r.left >> kTileShift, tx1 = (r.right - 1) >> kTileShift;
    const int ty0 = r.top >> kTileShift, ty1 = (r.bottom - 1) >> kTileShift;
    auto covers = [&](int tx, int ty) {
        const int x0 = tx << kTileShift, y0 = ty << kTileShift;
        return r.left <= x0 && r.top <= y0 && r.right >= std::min(x0 + kTileSize, width_) &&
               r.bottom >= std::min(y0 + kTileSize, height_);
    };
    if (value != plane.clear) {
        // Pending tiles that keep some of the old clear need it written out
        // before the remembered value changes.
        for (int ty = 0; ty < tilesY_; ++ty)
            for (int tx = 0; tx < tilesX_; ++tx) {
                const size_t tile = static_cast<size_t>(ty) * tilesX_ + tx;
                const bool inside = tx >= tx0 && tx <= tx1 && ty >= ty0 && ty <= ty1;
                if (plane.pending[tile] && !(inside && covers(tx, ty))) Materialise(plane, tile);
            }
        plane.clear = value;
        std::fill(plane.clearSamples, plane.clearSamples + kMaxSamples, value);
    }
    for (int ty = ty0; ty <= ty1; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) {
            const size_t tile = static_cast<size_t>(ty) * tilesX_ + tx;
            if (covers(tx, ty)) {
                plane.pending[tile] = 1;
                continue;
            }
            // A pending tile here already holds this very value.
            if (plane.pending[tile]) continue;
            const int x0 = std::max<int>(r.left, tx << kTileShift);
            const int x1 = std::min<int>(r.right, (tx + 1) << kTileShift);
            const int y0 = std::max<int>(r.top, ty << kTileShift);
            const int y1 = std::min<int>(r.bottom, (ty + 1) << kTileShift);
            const size_t run = static_cast<size_t>(x1 - x0) * static_cast<size_t>(samples_);
            for (int y = y0; y < y1; ++y) {
                T* row = plane.samples.get() + Index(x0, y);
                std::fill(row, row + run, value);
            }
        }
}

void SampleBuffer::ClearColour(const RECT& rect, uint32_t argb) {
    Clear(colour_, rect, argb);
}

void SampleBuffer::ClearDepth(const RECT& rect, uint16_t value) {
    Clear(depthPlane_, rect, value);
}

void SampleBuffer::LoadColour(const uint32_t* argb, size_t pitch) {
    if (!colour_.samples || !argb) return;
    for (int y = 0; y < height_; ++y) {
        uint32_t* samples = PrepareColourRow(y, 0, width_ - 1);
        const uint32_t* row = argb + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < width_; ++x, samples += samples_)
            std::fill(samples, samples + samples_, row[x]);
    }
}

void SampleBuffer::LoadDepth(const uint16_t* values, size_t pitch) {
    if (!depth_ || !values) return;
    for (int y = 0; y < height_; ++y) {
        uint16_t* samples = PrepareDepthRow(y, 0, width_ - 1);
        const uint16_t* row = values + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < width_; ++x, samples += samples_)
            std::fill(samples, samples + samples_, row[x]);
    }
}

void SampleBuffer::ReadDepth(uint16_t* values, size_t pitch) const {
    if (!depth_ || !values) return;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            values[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)] = DepthAt(x, y)[0];
}

namespace {

template <int N>
void ResolveRun(const uint32_t* samples, uint32_t* out, int pixels, int n) {
    const int count = N > 0 ? N : n;
    const uint32_t half = static_cast<uint32_t>(count / 2);
    const uint32_t d = static_cast<uint32_t>(count);
    for (int x = 0; x < pixels; ++x, samples += count) {
        uint32_t a = half, r = half, g = half, b = half;
        for (int s = 0; s < count; ++s) {
            const uint32_t c = samples[s];
            a += c >> 24;
            r += (c >> 16) & 0xFF;
            g += (c >> 8) & 0xFF;
            b += c & 0xFF;
        }
        out[x] = ((a / d) << 24) | ((r / d) << 16) | ((g / d) << 8) | (b / d);
    }
}

#if defined(__SSE2__)
// Power-of-two counts from 4 up: the channels of four samples at a time are
// widened to 16 bits and summed; the rounded mean is a shift.
template <int N, int Shift>
void ResolveRunSse2(const uint32_t* samples, uint32_t* out, int pixels) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(N / 2);
    for (int x = 0; x < pixels; ++x, samples += N) {
        __m128i sum = zero;
        for (int s = 0; s < N; s += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + s));
            sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(four, zero));
            sum = _mm_add_epi16(sum, _mm_unpackhi_epi8(four, zero));
        }
        sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
        sum = _mm_srli_epi16(_mm_add_epi16(sum, half), Shift);
        out[x] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
    }
}
#endif

void ResolvePixels(const uint32_t* samples, uint32_t* out, int pixels, int n) {
    // The common counts get loops the compiler can unroll.
    switch (n) {
    case 1:
        std::copy(samples, samples + pixels, out);
        break;
    case 2:
        ResolveRun<2>(samples, out, pixels, 2);
        break;
#if defined(__SSE2__)
    case 4:
        ResolveRunSse2<4, 2>(samples, out, pixels);
        break;
    case 8:
        ResolveRunSse2<8, 3>(samples, out, pixels);
        break;
    case 16:
        ResolveRunSse2<16, 4>(samples, out, pixels);
        break;
#else
    case 4:
        ResolveRun<4>(samples, out, pixels, 4);
        break;
    case 8:
        ResolveRun<8>(samples, out, pixels, 8);
        break;
    case 16:
        ResolveRun<16>(samples, out, pixels, 16);
        break;
#endif
    default:
        ResolveRun<0>(samples, out, pixels, n);
        break;
    }
}

} // namespace

void SampleBuffer::Resolve(const RECT& rect, uint32_t* out, size_t rowPitchBytes) const {
    RECT r;
    if (!colour_.samples || !out || !Clip(rect, &r)) return;
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<unsigned char*>(out) +
                                                    static_cast<size_t>(y) * rowPitchBytes);
        for (int x = r.left; x < r.right;) {
            const int end = std::min<int>(r.right, ((x >> kTileShift) + 1) << kTileShift);
            if (colour_.pending[Tile(x, y)])
                std::fill(row + x, row + end, colour_.clear);
            else
                ResolvePixels(colour_.samples.get() + Index(x, y), row + x, end - x, samples_);
            x = end;
        }
    }
}

uint16_t DepthToD16(double z) {
    if (!(z > 0.0)) return 0;
    if (z >= 1.0) return 0xFFFF;
    return static_cast<uint16_t>(z * 65535.0 + 0.5);
}

} // namespace txraster
