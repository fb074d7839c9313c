// The pixel format table and format matching.
#include "texture/pixel_format.h"

#include "texture/debug_mute.h"

namespace {

constexpr DWORD kColor = FORMAT_KIND_COLOR;
constexpr DWORD kPalettized = FORMAT_KIND_PALETTIZED;
constexpr DWORD kLuminance = FORMAT_KIND_LUMINANCE;
constexpr DWORD kSigned = FORMAT_KIND_SIGNED;
constexpr DWORD kDepth = FORMAT_KIND_DEPTH;

// The channel fields hold bit counts by position, whatever the channel is
// called in the format: luminance rows repeat L in red, green and blue;
// signed rows hold W, V, U there; depth rows hold stencil in green and depth
// in blue. Row order decides ties between candidates of equal cost.
constexpr FormatInfo kFormats[] = {
    // format              kind         bpp  extra alpha red green blue device
    {D3DFMT_R8G8B8, kColor, 24, 0, 0, 8, 8, 8, 0},
    {D3DFMT_A8R8G8B8, kColor, 32, 0, 8, 8, 8, 8, 1},
    {D3DFMT_X8R8G8B8, kColor, 32, 0, 0, 8, 8, 8, 1},
    {D3DFMT_R5G6B5, kColor, 16, 0, 0, 5, 6, 5, 1},
    {D3DFMT_X1R5G5B5, kColor, 16, 0, 0, 5, 5, 5, 1},
    {D3DFMT_A8P8, kPalettized, 16, 0, 8, 8, 8, 8, 1},
    {D3DFMT_P8, kPalettized, 8, 0, 8, 8, 8, 8, 1},
    {D3DFMT_A1R5G5B5, kColor, 16, 0, 1, 5, 5, 5, 1},
    {D3DFMT_A4R4G4B4, kColor, 16, 0, 4, 4, 4, 4, 1},
    {D3DFMT_R3G3B2, kColor, 8, 0, 0, 3, 3, 2, 1},
    {D3DFMT_A8, kColor, 8, 0, 8, 0, 0, 0, 1},
    {D3DFMT_A8R3G3B2, kColor, 16, 0, 8, 3, 3, 2, 1},
    {D3DFMT_X4R4G4B4, kColor, 16, 0, 0, 4, 4, 4, 1},
    {D3DFMT_A2B10G10R10, kColor, 32, 0, 2, 10, 10, 10, 1},
    {D3DFMT_G16R16, kColor, 32, 0, 0, 16, 16, 0, 1},
    {D3DFMT_L8, kLuminance, 8, 0, 0, 8, 8, 8, 1},
    {D3DFMT_A8L8, kLuminance, 16, 0, 8, 8, 8, 8, 1},
    {D3DFMT_A4L4, kLuminance, 8, 0, 4, 4, 4, 4, 1},
    {D3DFMT_V8U8, kSigned, 16, 0, 0, 0, 8, 8, 1},
    {D3DFMT_L6V5U5, kSigned, 16, 6, 0, 0, 5, 5, 1},
    {D3DFMT_X8L8V8U8, kSigned, 32, 8, 0, 0, 8, 8, 1},
    {D3DFMT_Q8W8V8U8, kSigned, 32, 0, 8, 8, 8, 8, 1},
    {D3DFMT_V16U16, kSigned, 32, 0, 0, 0, 16, 16, 1},
    {D3DFMT_W11V11U10, kSigned, 32, 0, 0, 11, 11, 10, 1},
    {D3DFMT_A2W10V10U10, kSigned, 32, 2, 0, 10, 10, 10, 1},
    // YUV and DXT: nominal sizes; exact matches only, never substitutes.
    {D3DFMT_UYVY, kColor, 16, 0, 0, 8, 8, 8, 0},
    {D3DFMT_YUY2, kColor, 16, 0, 0, 8, 8, 8, 0},
    {D3DFMT_DXT1, kColor, 16, 0, 1, 5, 6, 5, 0},
    {D3DFMT_DXT2, kColor, 16, 0, 4, 5, 6, 5, 0},
    {D3DFMT_DXT3, kColor, 16, 0, 4, 5, 6, 5, 0},
    {D3DFMT_DXT4, kColor, 16, 0, 8, 5, 6, 5, 0},
    {D3DFMT_DXT5, kColor, 16, 0, 8, 5, 6, 5, 0},
    {D3DFMT_D16_LOCKABLE, kDepth, 16, 1, 0, 0, 0, 16, 1},
    {D3DFMT_D32, kDepth, 32, 0, 0, 0, 0, 32, 1},
    {D3DFMT_D15S1, kDepth, 16, 0, 0, 0, 1, 15, 1},
    {D3DFMT_D24S8, kDepth, 32, 0, 0, 0, 8, 24, 1},
    {D3DFMT_D16, kDepth, 16, 0, 0, 0, 0, 16, 1},
    {D3DFMT_D24X8, kDepth, 32, 0, 0, 0, 0, 24, 1},
    {D3DFMT_D24X4S4, kDepth, 32, 0, 0, 0, 4, 24, 1},
    // Extended 16-bit-channel formats of the image readers.
    {TXFMT_L16, kLuminance, 16, 0, 0, 16, 16, 16, 0},
    {TXFMT_A16L16, kLuminance, 32, 0, 16, 16, 16, 16, 0},
    {TXFMT_R16G16B16, kColor, 48, 0, 0, 16, 16, 16, 0},
    {TXFMT_A16R16G16B16, kColor, 64, 0, 16, 16, 16, 16, 0},
};

// For every format outside the table: a 32-bit format with alpha when it is
// wanted; never a candidate (its format is 0).
constexpr FormatInfo kFallback = {D3DFMT_UNKNOWN, kColor, 32, 0, 8, 8, 8, 8, 0};

// kAllowedKinds[wanted kind][candidate kind].
constexpr bool kAllowedKinds[5][5] = {
    /* colour      */ {true, false, false, false, false},
    /* palettized  */ {true, true, false, false, false},
    /* luminance   */ {true, false, true, false, false},
    /* signed      */ {false, false, false, true, false},
    /* depth       */ {false, false, false, false, true},
};

constexpr DWORD kCannotHold = 0xFFFFFFFFu;
constexpr DWORD kMissingChannel = 0x1000000u; // outweighs any number of missing bits
constexpr DWORD kMissingBit = 0x10000u;       // outweighs any unwanted channels
constexpr DWORD kUnwantedChannel = 0x100u;    // outweighs any surplus bits

bool KindAllowed(DWORD wanted, DWORD candidate) {
    return wanted < 5 && candidate < 5 && kAllowedKinds[wanted][candidate];
}

// Whether `candidate` (cost `cost`) is better than the best so far: cheaper,
// or as cheap with fewer bits per pixel. Equal in both keeps the earlier one.
bool Improves(const FormatInfo& candidate, DWORD cost, const FormatInfo& best, DWORD bestCost) {
    if (cost == kCannotHold || cost > bestCost) return false;
    return cost < bestCost || candidate.bitsPerPixel < best.bitsPerPixel;
}

// Hands back the Direct3D reference and the runtime's debug output on every
// path out of the device-format search.
class DeviceProbe {
public:
    DeviceProbe() { TxDebugMute(TRUE); }
    ~DeviceProbe() {
        if (direct3d) direct3d->Release();
        TxDebugMute(FALSE);
    }
    DeviceProbe(const DeviceProbe&) = delete;
    DeviceProbe& operator=(const DeviceProbe&) = delete;

    IDirect3D8* direct3d = nullptr;
};

} // namespace

const FormatInfo* TxGetFormatInfo(D3DFORMAT format) {
    for (const FormatInfo& row : kFormats) {
        if (row.format == static_cast<DWORD>(format)) return &row;
    }
    return &kFallback;
}

DWORD FormatMatchCost(const FormatInfo* wanted, const FormatInfo* candidate) {
    if (!wanted || !candidate || !KindAllowed(wanted->kind, candidate->kind)) return kCannotHold;

    const DWORD wantedBits[5] = {wanted->extraBits, wanted->alphaBits, wanted->redBits,
                                 wanted->greenBits, wanted->blueBits};
    const DWORD candidateBits[5] = {candidate->extraBits, candidate->alphaBits, candidate->redBits,
                                    candidate->greenBits, candidate->blueBits};
    DWORD cost = 0;
    DWORD wantedChannels = 0;
    for (int i = 0; i < 5; ++i) {
        const DWORD w = wantedBits[i];
        const DWORD c = candidateBits[i];
        if (w > 0) ++wantedChannels;
        if (w < c) {
            cost += w == 0 ? kUnwantedChannel : c - w;
        } else if (w > c) {
            cost += c == 0 ? kMissingChannel : (w - c) * kMissingBit;
        }
    }
    // The top byte counts the wanted channels that the candidate lacks; the
    // missing bits of at most five channels of up to 32 bits never reach it.
    // Lacking every wanted channel (or wanting none) holds nothing.
    if (wantedChannels == cost >> 24) return kCannotHold;
    return cost;
}

D3DFORMAT TxFindClosestFormat(const D3DFORMAT* candidates, BOOL paletteAvailable,
                              const FormatInfo* wanted) {
    if (!candidates || !wanted) return D3DFMT_UNKNOWN;
    const FormatInfo* best = &kFallback;
    DWORD bestCost = kCannotHold;
    for (const D3DFORMAT* f = candidates; *f != D3DFMT_UNKNOWN; ++f) {
        const FormatInfo* row = TxGetFormatInfo(*f);
        if (row->format == D3DFMT_UNKNOWN) continue;
        if (row->kind == FORMAT_KIND_PALETTIZED && !paletteAvailable) continue;
        if (row->format == wanted->format) return *f;
        const DWORD cost = FormatMatchCost(wanted, row);
        if (Improves(*row, cost, *best, bestCost)) {
            best = row;
            bestCost = cost;
        }
    }
    return static_cast<D3DFORMAT>(best->format);
}

D3DFORMAT TxFindClosestDeviceFormat(IDirect3DDevice8* device, DWORD usage,
                                    D3DRESOURCETYPE resourceType, const FormatInfo* wanted) {
    if (!wanted) return D3DFMT_UNKNOWN;
    DeviceProbe probe;

    D3DCAPS8 caps{};
    D3DDISPLAYMODE mode{};
    if (device) {
        // Without the Direct3D object, the caps or the display mode there is
        // nothing to ask the formats of: no format fits.
        if (FAILED(device->GetDirect3D(&probe.direct3d)) || !probe.direct3d ||
            FAILED(device->GetDeviceCaps(&caps)) || FAILED(device->GetDisplayMode(&mode))) {
            return D3DFMT_UNKNOWN;
        }
    }

    const FormatInfo* best = &kFallback;
    DWORD bestCost = kCannotHold;
    for (const FormatInfo& row : kFormats) {
        const D3DFORMAT format = static_cast<D3DFORMAT>(row.format);
        if (probe.direct3d &&
            FAILED(probe.direct3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType,
                                                     mode.Format, usage, resourceType, format))) {
            continue;
        }
        // Exact matches count before the substitute test, so that DXT, YUV,
        // R8G8B8 and the extended formats are given when asked for.
        if (row.format == wanted->format) return format;
        if (!row.isDeviceFormat) continue;
        const DWORD cost = FormatMatchCost(wanted, &row);
        if (Improves(row, cost, *best, bestCost)) {
            best = &row;
            bestCost = cost;
        }
    }
    return static_cast<D3DFORMAT>(best->format);
}

D3DFORMAT TxMapToStandardFormat(D3DFORMAT format) {
    switch (static_cast<DWORD>(format)) {
    case TXFMT_L16:
        return D3DFMT_L8;
    case TXFMT_A16L16:
        return D3DFMT_A8L8;
    case TXFMT_R16G16B16:
        return D3DFMT_R8G8B8;
    case TXFMT_A16R16G16B16:
        return D3DFMT_A8R8G8B8;
    default:
        return format;
    }
}
