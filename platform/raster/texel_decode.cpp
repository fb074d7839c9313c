#include "platform/raster/texel_decode.h"

#include <cstring>

namespace txraster {

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// An unsigned n-bit channel scaled to 8 bits, rounded to nearest.
uint32_t Expand(uint32_t value, int bits) {
    const uint32_t max = (1u << bits) - 1u;
    return (value * 255u + max / 2u) / max;
}

// The positive part of a signed n-bit channel, scaled to 8 bits.
uint32_t SignedPart(uint32_t raw, int bits) {
    const uint32_t sign = 1u << (bits - 1);
    if (raw & sign) return 0;
    const uint32_t max = sign - 1u;
    return (raw * 255u + max / 2u) / max;
}

uint32_t Read16(const unsigned char* p) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t Channel(uint32_t word, int shift, int bits) {
    return Expand((word >> shift) & ((1u << bits) - 1u), bits);
}

uint32_t YuvToArgb(int y, int u, int v) {
    const int c = y - 16, d = u - 128, e = v - 128;
    auto clamp = [](int x) { return static_cast<uint32_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
    return Argb(255, clamp((298 * c + 409 * e + 128) >> 8),
                clamp((298 * c - 100 * d - 208 * e + 128) >> 8),
                clamp((298 * c + 516 * d + 128) >> 8));
}

// Texel x of one row of an uncompressed format.
bool DecodeRow(D3DFORMAT format, const unsigned char* row, int width, uint32_t* out,
               const PALETTEENTRY* palette) {
    for (int x = 0; x < width; ++x) {
        uint32_t c;
        switch (format) {
        case D3DFMT_A8R8G8B8:
            c = Read32(row + 4 * x);
            break;
        case D3DFMT_X8R8G8B8:
            c = Read32(row + 4 * x) | 0xFF000000u;
            break;
        case D3DFMT_R8G8B8: {
            const unsigned char* p = row + 3 * x;
            c = Argb(255, p[2], p[1], p[0]);
            break;
        }
        case D3DFMT_R5G6B5: {
            const uint32_t w = Read16(row + 2 * x);
            c = Argb(255, Channel(w, 11, 5), Channel(w, 5, 6), Channel(w, 0, 5));
            break;
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            const uint32_t w = Read16(row + 2 * x);
            const uint32_t a = format == D3DFMT_A1R5G5B5 ? ((w >> 15) ? 255u : 0u) : 255u;
            c = Argb(a, Channel(w, 10, 5), Channel(w, 5, 5), Channel(w, 0, 5));
            break;
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            const uint32_t w = Read16(row + 2 * x);
            const uint32_t a = format == D3DFMT_A4R4G4B4 ? Channel(w, 12, 4) : 255u;
            c = Argb(a, Channel(w, 8, 4), Channel(w, 4, 4), Channel(w, 0, 4));
            break;
        }
        case D3DFMT_R3G3B2: {
            const uint32_t w = row[x];
            c = Argb(255, Channel(w, 5, 3), Channel(w, 2, 3), Channel(w, 0, 2));
            break;
        }
        case D3DFMT_A8R3G3B2: {
            const uint32_t w = Read16(row + 2 * x);
            c = Argb(w >> 8, Channel(w, 5, 3), Channel(w, 2, 3), Channel(w, 0, 2));
            break;
        }
        case D3DFMT_A8:
            c = Argb(row[x], 0, 0, 0);
            break;
        case D3DFMT_A2B10G10R10: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(Channel(w, 30, 2), Channel(w, 0, 10), Channel(w, 10, 10), Channel(w, 20, 10));
            break;
        }
        case D3DFMT_G16R16: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(255, Channel(w, 0, 16), Channel(w, 16, 16), 255);
            break;
        }
        case D3DFMT_P8:
        case D3DFMT_A8P8: {
            const bool withAlpha = format == D3DFMT_A8P8;
            const uint32_t index = withAlpha ? row[2 * x] : row[x];
            // Without a palette every entry is opaque white, as the
            // library's codecs read such textures.
            const PALETTEENTRY e = palette ? palette[index] : PALETTEENTRY{255, 255, 255, 255};
            c = Argb(withAlpha ? row[2 * x + 1] : e.peFlags, e.peRed, e.peGreen, e.peBlue);
            break;
        }
        case D3DFMT_L8:
            c = Argb(255, row[x], row[x], row[x]);
            break;
        case D3DFMT_A8L8: {
            const uint32_t l = row[2 * x];
            c = Argb(row[2 * x + 1], l, l, l);
            break;
        }
        case D3DFMT_A4L4: {
            const uint32_t l = Channel(row[x], 0, 4);
            c = Argb(Channel(row[x], 4, 4), l, l, l);
            break;
        }
        case D3DFMT_V8U8: {
            const uint32_t w = Read16(row + 2 * x);
            c = Argb(255, SignedPart(w & 0xFF, 8), SignedPart(w >> 8, 8), 255);
            break;
        }
        case D3DFMT_L6V5U5: {
            const uint32_t w = Read16(row + 2 * x);
            c = Argb(255, SignedPart(w & 0x1F, 5), SignedPart((w >> 5) & 0x1F, 5),
                     Channel(w, 10, 6));
            break;
        }
        case D3DFMT_X8L8V8U8: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(255, SignedPart(w & 0xFF, 8), SignedPart((w >> 8) & 0xFF, 8),
                     Channel(w, 16, 8));
            break;
        }
        case D3DFMT_Q8W8V8U8: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(SignedPart(w >> 24, 8), SignedPart(w & 0xFF, 8),
                     SignedPart((w >> 8) & 0xFF, 8), SignedPart((w >> 16) & 0xFF, 8));
            break;
        }
        case D3DFMT_V16U16: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(255, SignedPart(w & 0xFFFF, 16), SignedPart(w >> 16, 16), 255);
            break;
        }
        case D3DFMT_W11V11U10: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(255, SignedPart(w & 0x3FF, 10), SignedPart((w >> 10) & 0x7FF, 11),
                     SignedPart(w >> 21, 11));
            break;
        }
        case D3DFMT_A2W10V10U10: {
            const uint32_t w = Read32(row + 4 * x);
            c = Argb(Channel(w, 30, 2), SignedPart(w & 0x3FF, 10),
                     SignedPart((w >> 10) & 0x3FF, 10), SignedPart((w >> 20) & 0x3FF, 10));
            break;
        }
        case D3DFMT_YUY2:
        case D3DFMT_UYVY: {
            // Two texels share one U and one V.
            const unsigned char* p = row + 4 * (x / 2);
            const bool yuy2 = format == D3DFMT_YUY2;
            const int y = yuy2 ? p[(x & 1) ? 2 : 0] : p[(x & 1) ? 3 : 1];
            const int u = yuy2 ? p[1] : p[0];
            const int v = yuy2 ? p[3] : p[2];
            c = YuvToArgb(y, u, v);
            break;
        }
        default:
            return false;
        }
        out[x] = c;
    }
    return true;
}

uint32_t From565(uint32_t w) {
    return Argb(255, Channel(w, 11, 5), Channel(w, 5, 6), Channel(w, 0, 5));
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t total) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb + total / 2) / total) << shift;
    }
    return out;
}

// One 4x4 block of a block-compressed format into `texels` (row-major).
void DecodeBlock(D3DFORMAT format, const unsigned char* block, uint32_t texels[16]) {
    const bool dxt1 = format == D3DFMT_DXT1;
    const unsigned char* colourBlock = dxt1 ? block : block + 8;
    const uint32_t c0 = Read16(colourBlock), c1 = Read16(colourBlock + 2);
    uint32_t palette[4];
    palette[0] = From565(c0);
    palette[1] = From565(c1);
    if (c0 > c1 || !dxt1) {
        palette[2] = Mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = Mix(palette[0], palette[1], 1, 2, 3);
    } else {
        palette[2] = Mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = 0; // transparent black
    }
    const uint32_t indices = Read32(colourBlock + 4);
    for (int i = 0; i < 16; ++i)
        texels[i] = palette[(indices >> (2 * i)) & 3u];
    if (dxt1) return;

    uint32_t alpha[16];
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i)
            alpha[i] = Expand((block[i / 2] >> (4 * (i & 1))) & 0xFu, 4);
    } else {
        const uint32_t a0 = block[0], a1 = block[1];
        uint32_t levels[8] = {a0, a1};
        if (a0 > a1) {
            for (uint32_t k = 1; k < 7; ++k)
                levels[k + 1] = ((7 - k) * a0 + k * a1 + 3) / 7;
        } else {
            for (uint32_t k = 1; k < 5; ++k)
                levels[k + 1] = ((5 - k) * a0 + k * a1 + 2) / 5;
            levels[6] = 0;
            levels[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            alpha[i] = levels[(bits >> (3 * i)) & 7u];
    }
    for (int i = 0; i < 16; ++i)
        texels[i] = (texels[i] & 0x00FFFFFFu) | (alpha[i] << 24);
}

} // namespace

bool CanDecodeFormat(D3DFORMAT format) {
    if (D3DIsDxtFormat(format)) return true;
    const unsigned char probe[8] = {};
    uint32_t out[1];
    return DecodeRow(format, probe, 1, out, nullptr);
}

bool DecodeTexels(D3DFORMAT format, const void* source, size_t sourcePitch, int width, int height,
                  uint32_t* out, size_t outPitch, const PALETTEENTRY* palette) {
    if (!source || !out || width < 0 || height < 0) return false;
    const unsigned char* base = static_cast<const unsigned char*>(source);
    if (const size_t blockBytes = D3DDxtBlockBytes(format)) {
        for (int by = 0; by < height; by += 4) {
            const unsigned char* blockRow = base + static_cast<size_t>(by / 4) * sourcePitch;
            for (int bx = 0; bx < width; bx += 4) {
                uint32_t texels[16];
                DecodeBlock(format, blockRow + static_cast<size_t>(bx / 4) * blockBytes, texels);
                for (int y = 0; y < 4 && by + y < height; ++y)
                    for (int x = 0; x < 4 && bx + x < width; ++x)
                        out[static_cast<size_t>(by + y) * outPitch + static_cast<size_t>(bx + x)] =
                            texels[4 * y + x];
            }
        }
        return true;
    }
    if (!CanDecodeFormat(format)) return false;
    for (int y = 0; y < height; ++y)
        if (!DecodeRow(format, base + static_cast<size_t>(y) * sourcePitch, width,
                       out + static_cast<size_t>(y) * outPitch, palette))
            return false;
    return true;
}

} // namespace txraster
