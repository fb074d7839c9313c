// Windows bitmaps: the BMP file (14-byte file header, then a packed DIB) and
// the bare packed DIB.
#include <algorithm>
#include <cstring>

#include "imagefile/file_writer.h"
#include "imagefile/image_file.h"

namespace {

constexpr DWORD kBiRgb = 0;
constexpr DWORD kBiRle8 = 1;
constexpr DWORD kBiRle4 = 2;
constexpr DWORD kBiBitfields = 3;

constexpr UINT kFileHeaderSize = 14;
constexpr UINT kInfoHeaderSize = 40;
// Headers of 52 bytes and more carry the red, green and blue masks at offset
// 40; from 56 bytes on the alpha mask follows at 52. Shorter headers are
// followed by the three colour masks.
constexpr UINT kHeaderWithColorMasks = 52;
constexpr UINT kHeaderWithAlphaMask = 56;
constexpr DWORD kPelsPerMeter = 2834; // 72 dots per inch

WORD ReadU16(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD ReadU32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

UINT64 AlignTo4(UINT64 value) {
    return (value + 3) & ~UINT64(3);
}

// The bit-mask layouts that map onto a Direct3D format.
struct MaskLayout {
    WORD bitCount;
    DWORD red, green, blue, alpha;
    D3DFORMAT format;
};

constexpr MaskLayout kMaskLayouts[] = {
    {16, 0xFF, 0xFF, 0xFF, 0xFF00, D3DFMT_A8L8},
    {16, 0xF800, 0x07E0, 0x001F, 0, D3DFMT_R5G6B5},
    {16, 0x7C00, 0x03E0, 0x001F, 0, D3DFMT_X1R5G5B5},
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000, D3DFMT_A1R5G5B5},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, D3DFMT_A4R4G4B4},
    {16, 0x0F00, 0x00F0, 0x000F, 0, D3DFMT_X4R4G4B4},
    {16, 0x00E0, 0x001C, 0x0003, 0xFF00, D3DFMT_A8R3G3B2},
    {24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8},
    {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8},
    {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10},
    {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16},
};

D3DFORMAT FormatOfMasks(WORD bitCount, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
    for (const MaskLayout& layout : kMaskLayouts) {
        if (layout.bitCount == bitCount && layout.red == red && layout.green == green &&
            layout.blue == blue && layout.alpha == alpha)
            return layout.format;
    }
    return D3DFMT_UNKNOWN;
}

D3DFORMAT FormatOfBitCount(WORD bitCount) {
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        return D3DFMT_P8;
    case 16:
        return D3DFMT_X1R5G5B5;
    case 24:
        return D3DFMT_R8G8B8;
    case 32:
        return D3DFMT_X8R8G8B8;
    default:
        return D3DFMT_UNKNOWN;
    }
}

// Decodes a run-length stream of 8-bit or 4-bit indices into one byte per
// pixel, rows stored bottom-up. Runs and deltas that leave a row or the image
// are clipped: nothing is written outside `out`. A stream that ends before
// the end-of-bitmap escape while the position is still inside the image is
// truncated and refused.
class RleDecoder {
public:
    RleDecoder(BYTE* out, UINT pitch, UINT width, UINT height, bool fourBit)
        : out_(out), pitch_(pitch), width_(width), height_(height), fourBit_(fourBit) {}

    HRESULT Decode(const BYTE* src, UINT64 available) {
        UINT64 pos = 0;
        while (row_ < height_) {
            if (available - pos < 2) return E_FAIL;
            const BYTE count = src[pos];
            const BYTE value = src[pos + 1];
            pos += 2;
            if (count != 0) {
                EncodedRun(count, value);
                continue;
            }
            switch (value) {
            case 0: // end of line
                x_ = 0;
                ++row_;
                break;
            case 1: // end of bitmap
                return S_OK;
            case 2: // delta
                if (available - pos < 2) return E_FAIL;
                x_ += src[pos];
                row_ += src[pos + 1];
                pos += 2;
                break;
            default: { // absolute run of `value` pixels, padded to an even byte count
                const UINT64 bytes = fourBit_ ? (UINT64(value) + 1) / 2 : value;
                if (available - pos < bytes) return E_FAIL;
                AbsoluteRun(src + pos, value);
                pos += (bytes + 1) & ~UINT64(1);
                if (pos > available) pos = available;
                break;
            }
            }
        }
        return S_OK;
    }

private:
    // Pixels of the current row that are still inside the image.
    UINT64 Room() const { return x_ < width_ ? width_ - x_ : 0; }
    BYTE* Cursor() const { return out_ + size_t(height_ - 1 - row_) * pitch_ + size_t(x_); }

    void EncodedRun(UINT count, BYTE value) {
        const UINT64 n = std::min<UINT64>(count, Room());
        if (n > 0) {
            BYTE* p = Cursor();
            if (!fourBit_) {
                std::memset(p, value, size_t(n));
            } else {
                for (UINT64 i = 0; i < n; ++i)
                    p[i] = (i & 1) ? (value & 0x0F) : (value >> 4);
            }
        }
        x_ += count;
    }

    void AbsoluteRun(const BYTE* src, UINT count) {
        const UINT64 n = std::min<UINT64>(count, Room());
        if (n > 0) {
            BYTE* p = Cursor();
            if (!fourBit_) {
                std::memcpy(p, src, size_t(n));
            } else {
                for (UINT64 i = 0; i < n; ++i)
                    p[i] = (i & 1) ? (src[i / 2] & 0x0F) : (src[i / 2] >> 4);
            }
        }
        x_ += count;
    }

    BYTE* out_;
    UINT pitch_;
    UINT width_;
    UINT height_;
    bool fourBit_;
    UINT64 x_ = 0;
    UINT64 row_ = 0; // in stored order: 0 is the bottom row
};

// Expands rows of 1-bit or 4-bit indices to one byte per pixel, or copies
// rows of 8 bits and more unchanged.
void CopyRows(const BYTE* src, UINT64 srcStride, WORD bitCount, BYTE* out, UINT pitch, UINT width,
              UINT height, bool topDown) {
    const size_t rowBytes = bitCount < 8 ? width : size_t(width) * (bitCount / 8);
    for (UINT y = 0; y < height; ++y) {
        const BYTE* s = src + size_t(y) * srcStride;
        BYTE* d = out + size_t(topDown ? y : height - 1 - y) * pitch;
        if (bitCount == 1) {
            for (UINT x = 0; x < width; ++x)
                d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
        } else if (bitCount == 4) {
            for (UINT x = 0; x < width; ++x)
                d[x] = (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4);
        } else {
            std::memcpy(d, s, rowBytes);
        }
    }
}

} // namespace

HRESULT ImageFile::LoadBmp(const BYTE* data, UINT size) {
    if (size < kFileHeaderSize || data[0] != 0x42 || data[1] != 0x4D) return E_FAIL;
    if (ReadU32(data + 2) > size) return E_FAIL;
    return LoadDib(data + kFileHeaderSize, size - kFileHeaderSize);
}

HRESULT ImageFile::LoadDib(const BYTE* data, UINT size) {
    if (size < kInfoHeaderSize) return E_FAIL;
    const DWORD headerSize = ReadU32(data);
    if (headerSize < kInfoHeaderSize) return E_FAIL;
    const DWORD fileWidth = ReadU32(data + 4);
    const int32_t fileHeight = static_cast<int32_t>(ReadU32(data + 8));
    const WORD planes = ReadU16(data + 12);
    const WORD bitCount = ReadU16(data + 14);
    const DWORD compression = ReadU32(data + 16);
    const DWORD colorsUsed = ReadU32(data + 32);

    // Colour-table length; every size below is computed in 64 bits, as the
    // fields come from the file.
    UINT64 colors = colorsUsed;
    if (colors == 0 && bitCount <= 8) colors = UINT64(1) << bitCount;
    const bool masksInHeader = headerSize >= kHeaderWithColorMasks;
    const UINT64 masksAfterHeader = (compression == kBiBitfields && !masksInHeader) ? 12 : 0;
    const UINT64 pixelOffset = UINT64(headerSize) + masksAfterHeader + 4 * colors;
    if (pixelOffset > size || planes != 1) return E_FAIL;

    const bool topDown = fileHeight < 0;
    if (topDown && compression != kBiRgb && compression != kBiBitfields) return E_FAIL;
    const UINT64 fileHeightAbs = topDown ? UINT64(-int64_t(fileHeight)) : UINT64(fileHeight);

    D3DFORMAT fileFormatCode = D3DFMT_UNKNOWN;
    if (compression <= kBiRle4) {
        // A run-length compression only makes sense with its own index size.
        if ((compression == kBiRle8 && bitCount != 8) || (compression == kBiRle4 && bitCount != 4))
            return E_FAIL;
        fileFormatCode = FormatOfBitCount(bitCount);
    } else if (compression == kBiBitfields) {
        DWORD red, green, blue, alpha = 0;
        if (masksInHeader) {
            red = ReadU32(data + 40);
            green = ReadU32(data + 44);
            blue = ReadU32(data + 48);
            if (headerSize >= kHeaderWithAlphaMask) alpha = ReadU32(data + 52);
        } else {
            red = ReadU32(data + headerSize);
            green = ReadU32(data + headerSize + 4);
            blue = ReadU32(data + headerSize + 8);
        }
        fileFormatCode = FormatOfMasks(bitCount, red, green, blue, alpha);
    } else {
        return E_NOTIMPL; // JPEG or PNG inside a DIB
    }
    if (fileFormatCode == D3DFMT_UNKNOWN) return E_FAIL;
    if (fileWidth == 0 || fileHeightAbs == 0) return E_FAIL;

    const UINT64 outRowBytes = bitCount < 8 ? UINT64(fileWidth) : UINT64(fileWidth) * bitCount / 8;
    const UINT64 pitch = AlignTo4(outRowBytes);
    if (pitch > 0xFFFFFFFFu) return E_FAIL;
    UINT64 srcRowBytes = outRowBytes;
    if (bitCount == 1) srcRowBytes = (UINT64(fileWidth) + 7) / 8;
    if (bitCount == 4) srcRowBytes = (UINT64(fileWidth) + 1) / 2;
    const UINT64 srcStride = AlignTo4(srcRowBytes);
    const bool compressed = compression == kBiRle8 || compression == kBiRle4;
    // Uncompressed rows must all be there; the last row may lack its padding.
    if (!compressed && (fileHeightAbs - 1) * srcStride + srcRowBytes > size - pixelOffset)
        return E_FAIL;

    if (loadPixels && fileFormatCode == D3DFMT_P8) {
        PALETTEENTRY* entries;
        if (FAILED(AllocatePalette(&entries))) return E_OUTOFMEMORY;
        // A table longer than the palette contributes its first 256 entries.
        const UINT64 used = std::min<UINT64>(colors, 256);
        const BYTE* table = data + headerSize + masksAfterHeader;
        for (UINT64 i = 0; i < used; ++i) {
            const BYTE* quad = table + 4 * i;
            entries[i] = PALETTEENTRY{quad[2], quad[1], quad[0], 0xFF};
        }
    }

    format = fileFormatCode;
    width = fileWidth;
    height = static_cast<UINT>(fileHeightAbs);
    depth = 1;
    rowPitch = static_cast<UINT>(pitch);
    slicePitch = 0;
    if (!loadPixels) return S_OK;

    const BYTE* src = data + pixelOffset;
    if (topDown && bitCount >= 8) {
        // Stored in memory order already: the image borrows the rows.
        pixels = src;
        ownsPixels = FALSE;
        return S_OK;
    }

    BYTE* out;
    const HRESULT hr = AllocatePixels(pitch * fileHeightAbs, &out);
    if (FAILED(hr)) return hr;
    if (compressed) {
        RleDecoder decoder(out, rowPitch, width, height, compression == kBiRle4);
        return decoder.Decode(src, size - pixelOffset);
    }
    CopyRows(src, srcStride, bitCount, out, rowPitch, width, height, topDown);
    return S_OK;
}

HRESULT ImageFile::SaveDib(HANDLE file, BOOL withFileHeader) {
    WORD bitCount;
    RGBQUAD table[256];
    switch (format) {
    case D3DFMT_R8G8B8:
        bitCount = 24;
        break;
    case D3DFMT_P8:
        bitCount = 8;
        for (int i = 0; i < 256; ++i) {
            // A missing palette reads as opaque white, as everywhere else.
            const PALETTEENTRY e = palette ? palette[i] : PALETTEENTRY{0xFF, 0xFF, 0xFF, 0xFF};
            table[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
        }
        break;
    case D3DFMT_L8:
        bitCount = 8;
        for (int i = 0; i < 256; ++i) {
            const BYTE v = static_cast<BYTE>(i);
            table[i] = RGBQUAD{v, v, v, 0};
        }
        break;
    case D3DFMT_R3G3B2: {
        static const BYTE levels3[8] = {0, 36, 73, 109, 146, 182, 219, 255};
        static const BYTE levels2[4] = {0, 85, 170, 255};
        bitCount = 8;
        for (int i = 0; i < 256; ++i)
            table[i] = RGBQUAD{levels2[i & 3], levels3[(i >> 2) & 7], levels3[i >> 5], 0};
        break;
    }
    default:
        return E_FAIL;
    }
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu || (!pixels && height > 0)) return E_FAIL;

    const UINT bytesPerPixel = bitCount / 8;
    const UINT64 rowBytes = UINT64(width) * bytesPerPixel;
    const UINT64 stride = AlignTo4(rowBytes);
    const UINT64 tableBytes = bitCount == 8 ? sizeof(table) : 0;
    const UINT64 headersBytes = kFileHeaderSize + kInfoHeaderSize;
    const UINT64 total = headersBytes + tableBytes + UINT64(height) * stride;
    const UINT64 fileSize = AlignTo4(total);
    if (fileSize > 0xFFFFFFFFu) return E_FAIL;

    FileWriter out(file);
    if (withFileHeader) {
        out.WriteU16(0x4D42);
        out.WriteU32(static_cast<DWORD>(fileSize));
        out.WriteU32(0);
        out.WriteU32(static_cast<DWORD>(headersBytes + tableBytes));
    }
    out.WriteU32(kInfoHeaderSize);
    out.WriteU32(width);
    out.WriteU32(height);
    out.WriteU16(1);
    out.WriteU16(bitCount);
    out.WriteU32(kBiRgb);
    out.WriteU32(0);
    out.WriteU32(kPelsPerMeter);
    out.WriteU32(kPelsPerMeter);
    out.WriteU32(0);
    out.WriteU32(0);
    if (tableBytes) out.Write(table, sizeof(table));

    const BYTE* first = pixels + size_t(box.Top) * rowPitch + size_t(box.Left) * bytesPerPixel;
    for (UINT y = height; y-- > 0 && !out.Failed();) {
        out.Write(first + size_t(y) * rowPitch, size_t(rowBytes));
        out.WriteZeros(size_t(stride - rowBytes));
    }
    out.WriteZeros(size_t(fileSize - total));
    return out.Result();
}
