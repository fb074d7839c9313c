#include "platform/runtime/format_layout.h"

#include <cstdio>

namespace txruntime {

namespace {

constexpr FormatLayout Plain(D3DFORMAT format, const char* name, UINT bits) {
    return {format, name, bits, 1, 1, bits / 8, false};
}
constexpr FormatLayout Depth(D3DFORMAT format, const char* name, UINT bits) {
    return {format, name, bits, 1, 1, bits / 8, true};
}

constexpr FormatLayout kLayouts[] = {
    Plain(D3DFMT_R8G8B8, "R8G8B8", 24),
    Plain(D3DFMT_A8R8G8B8, "A8R8G8B8", 32),
    Plain(D3DFMT_X8R8G8B8, "X8R8G8B8", 32),
    Plain(D3DFMT_R5G6B5, "R5G6B5", 16),
    Plain(D3DFMT_X1R5G5B5, "X1R5G5B5", 16),
    Plain(D3DFMT_A8P8, "A8P8", 16),
    Plain(D3DFMT_P8, "P8", 8),
    Plain(D3DFMT_A1R5G5B5, "A1R5G5B5", 16),
    Plain(D3DFMT_A4R4G4B4, "A4R4G4B4", 16),
    Plain(D3DFMT_R3G3B2, "R3G3B2", 8),
    Plain(D3DFMT_A8, "A8", 8),
    Plain(D3DFMT_A8R3G3B2, "A8R3G3B2", 16),
    Plain(D3DFMT_X4R4G4B4, "X4R4G4B4", 16),
    Plain(D3DFMT_A2B10G10R10, "A2B10G10R10", 32),
    Plain(D3DFMT_G16R16, "G16R16", 32),
    Plain(D3DFMT_L8, "L8", 8),
    Plain(D3DFMT_A8L8, "A8L8", 16),
    Plain(D3DFMT_A4L4, "A4L4", 8),
    Plain(D3DFMT_V8U8, "V8U8", 16),
    Plain(D3DFMT_L6V5U5, "L6V5U5", 16),
    Plain(D3DFMT_X8L8V8U8, "X8L8V8U8", 32),
    Plain(D3DFMT_Q8W8V8U8, "Q8W8V8U8", 32),
    Plain(D3DFMT_V16U16, "V16U16", 32),
    Plain(D3DFMT_W11V11U10, "W11V11U10", 32),
    Plain(D3DFMT_A2W10V10U10, "A2W10V10U10", 32),
    {D3DFMT_UYVY, "UYVY", 16, 2, 1, 4, false},
    {D3DFMT_YUY2, "YUY2", 16, 2, 1, 4, false},
    {D3DFMT_DXT1, "DXT1", 4, 4, 4, 8, false},
    {D3DFMT_DXT2, "DXT2", 8, 4, 4, 16, false},
    {D3DFMT_DXT3, "DXT3", 8, 4, 4, 16, false},
    {D3DFMT_DXT4, "DXT4", 8, 4, 4, 16, false},
    {D3DFMT_DXT5, "DXT5", 8, 4, 4, 16, false},
    Depth(D3DFMT_D16_LOCKABLE, "D16_LOCKABLE", 16),
    Depth(D3DFMT_D32, "D32", 32),
    Depth(D3DFMT_D15S1, "D15S1", 16),
    Depth(D3DFMT_D24S8, "D24S8", 32),
    Depth(D3DFMT_D16, "D16", 16),
    Depth(D3DFMT_D24X8, "D24X8", 32),
    Depth(D3DFMT_D24X4S4, "D24X4S4", 32),
};

constexpr unsigned kLayoutCount = sizeof kLayouts / sizeof kLayouts[0];
static_assert(kLayoutCount <= 64, "format sets are 64-bit masks");

uint64_t DivideUp(uint64_t value, uint64_t divisor) {
    return (value + divisor - 1) / divisor;
}

} // namespace

const FormatLayout* FindFormatLayout(D3DFORMAT format) {
    const int index = FormatLayoutIndex(format);
    return index < 0 ? nullptr : &kLayouts[index];
}

const FormatLayout* FormatLayoutAt(unsigned index) {
    return index < kLayoutCount ? &kLayouts[index] : nullptr;
}

unsigned FormatLayoutCount() {
    return kLayoutCount;
}

int FormatLayoutIndex(D3DFORMAT format) {
    for (unsigned i = 0; i < kLayoutCount; ++i)
        if (kLayouts[i].format == format) return static_cast<int>(i);
    return -1;
}

const char* FormatName(D3DFORMAT format) {
    if (const FormatLayout* layout = FindFormatLayout(format)) return layout->name;
    switch (format) {
    case D3DFMT_UNKNOWN:
        return "UNKNOWN";
    case D3DFMT_VERTEXDATA:
        return "VERTEXDATA";
    case D3DFMT_INDEX16:
        return "INDEX16";
    case D3DFMT_INDEX32:
        return "INDEX32";
    default:
        break;
    }
    // Unknown values are rare and only named in messages; one buffer suffices
    // for a single-threaded runtime.
    static char number[24];
    std::snprintf(number, sizeof number, "format %u", static_cast<unsigned>(format));
    return number;
}

UINT RowPitch(const FormatLayout& layout, UINT width) {
    const uint64_t bytes = DivideUp(width, layout.blockWidth) * layout.blockBytes;
    return static_cast<UINT>(DivideUp(bytes, 4) * 4);
}

UINT BlockRows(const FormatLayout& layout, UINT height) {
    return static_cast<UINT>(DivideUp(height, layout.blockHeight));
}

uint64_t SliceBytes(const FormatLayout& layout, UINT width, UINT height) {
    return uint64_t(RowPitch(layout, width)) * BlockRows(layout, height);
}

bool RegionOnBlocks(const FormatLayout& layout, const Region& region, UINT width, UINT height) {
    const UINT bw = layout.blockWidth;
    const UINT bh = layout.blockHeight;
    return region.left % bw == 0 && region.top % bh == 0 &&
           (region.right % bw == 0 || region.right == width) &&
           (region.bottom % bh == 0 || region.bottom == height);
}

bool RegionFits(const FormatLayout& layout, const Region& region, UINT width, UINT height,
                UINT depth) {
    if (region.left > region.right || region.top > region.bottom || region.front > region.back)
        return false;
    if (region.right > width || region.bottom > height || region.back > depth) return false;
    return RegionOnBlocks(layout, region, width, height);
}

size_t BlockOffset(const FormatLayout& layout, UINT rowPitch, UINT slicePitch, UINT x, UINT y,
                   UINT z) {
    return size_t(z) * slicePitch + size_t(y / layout.blockHeight) * rowPitch +
           size_t(x / layout.blockWidth) * layout.blockBytes;
}

} // namespace txruntime
