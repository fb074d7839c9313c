#include "platform/raster/image_ops.h"

#include <cstring>

namespace txraster {

namespace {

uint32_t Narrow(uint32_t channel, int bits) {
    const uint32_t max = (1u << bits) - 1u;
    return (channel * max + 127u) / 255u;
}

void Store16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

} // namespace

bool CanEncodeFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        return true;
    default:
        return false;
    }
}

bool EncodeTexels(D3DFORMAT format, const uint32_t* argb, size_t argbPitch, int width, int height,
                  void* out, size_t outPitch) {
    if (!CanEncodeFormat(format) || !argb || !out) return false;
    for (int y = 0; y < height; ++y) {
        const uint32_t* in = argb + static_cast<size_t>(y) * argbPitch;
        unsigned char* row = static_cast<unsigned char*>(out) + static_cast<size_t>(y) * outPitch;
        if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            std::memcpy(row, in, static_cast<size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const uint32_t c = in[x];
            const uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            switch (format) {
            case D3DFMT_R8G8B8:
                row[3 * x] = static_cast<unsigned char>(b);
                row[3 * x + 1] = static_cast<unsigned char>(g);
                row[3 * x + 2] = static_cast<unsigned char>(r);
                break;
            case D3DFMT_R5G6B5:
                Store16(row + 2 * x, (Narrow(r, 5) << 11) | (Narrow(g, 6) << 5) | Narrow(b, 5));
                break;
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5: {
                const uint32_t alpha = format == D3DFMT_A1R5G5B5 ? (a >= 128 ? 1u : 0u) : 1u;
                Store16(row + 2 * x,
                        (alpha << 15) | (Narrow(r, 5) << 10) | (Narrow(g, 5) << 5) | Narrow(b, 5));
                break;
            }
            default: { // A4R4G4B4, X4R4G4B4
                const uint32_t alpha = format == D3DFMT_A4R4G4B4 ? Narrow(a, 4) : 15u;
                Store16(row + 2 * x,
                        (alpha << 12) | (Narrow(r, 4) << 8) | (Narrow(g, 4) << 4) | Narrow(b, 4));
                break;
            }
            }
        }
    }
    return true;
}

namespace {

// Walks the source index under the centre of each destination pixel:
// index(d) = from + ((2 d + 1) * sourceSize) / (2 * destSize), without a
// division per pixel.
class NearestWalk {
public:
    NearestWalk(int64_t sourceSize, int64_t destSize)
        : denominator_(2 * destSize), quotientStep_((2 * sourceSize) / denominator_),
          remainderStep_((2 * sourceSize) % denominator_), quotient_(sourceSize / denominator_),
          remainder_(sourceSize % denominator_) {}
    int64_t Index() const { return quotient_; }
    void Next() {
        quotient_ += quotientStep_;
        remainder_ += remainderStep_;
        if (remainder_ >= denominator_) {
            remainder_ -= denominator_;
            ++quotient_;
        }
    }

private:
    int64_t denominator_, quotientStep_, remainderStep_, quotient_, remainder_;
};

} // namespace

void StretchNearest(const uint32_t* source, size_t sourcePitch, const RECT& from, uint32_t* dest,
                    size_t destPitch, const RECT& to) {
    const int64_t fromWidth = from.right - from.left, fromHeight = from.bottom - from.top;
    const int64_t toWidth = to.right - to.left, toHeight = to.bottom - to.top;
    if (fromWidth <= 0 || fromHeight <= 0 || toWidth <= 0 || toHeight <= 0) return;
    NearestWalk rows(fromHeight, toHeight);
    for (LONG y = to.top; y < to.bottom; ++y, rows.Next()) {
        const uint32_t* in =
            source + static_cast<size_t>(from.top + rows.Index()) * sourcePitch + from.left;
        uint32_t* out = dest + static_cast<size_t>(y) * destPitch;
        if (fromWidth == toWidth) {
            std::memcpy(out + to.left, in, static_cast<size_t>(toWidth) * 4);
            continue;
        }
        NearestWalk columns(fromWidth, toWidth);
        for (LONG x = to.left; x < to.right; ++x, columns.Next())
            out[x] = in[columns.Index()];
    }
}

RECT FitKeepingAspect(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) return RECT{0, 0, 0, 0};
    // Width-limited unless the source is relatively taller than the area.
    int64_t w = width, h = static_cast<int64_t>(width) * sourceHeight / sourceWidth;
    if (h > height) {
        h = height;
        w = static_cast<int64_t>(height) * sourceWidth / sourceHeight;
    }
    const LONG left = static_cast<LONG>((width - w) / 2), top = static_cast<LONG>((height - h) / 2);
    return RECT{left, top, left + static_cast<LONG>(w), top + static_cast<LONG>(h)};
}

} // namespace txraster
