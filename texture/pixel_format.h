// The pixel format table and format matching.
#pragma once

#include "platform/direct3d8.h"

// Extended formats with 16-bit channels; produced by the image readers, never
// created on a device.
constexpr D3DFORMAT TXFMT_L16 = static_cast<D3DFORMAT>(MAKEFOURCC(' ', 'L', '1', '6'));
constexpr D3DFORMAT TXFMT_A16L16 = static_cast<D3DFORMAT>(MAKEFOURCC('A', 'L', '1', '6'));
constexpr D3DFORMAT TXFMT_R16G16B16 = static_cast<D3DFORMAT>(MAKEFOURCC(' ', 'R', '1', '6'));
constexpr D3DFORMAT TXFMT_A16R16G16B16 = static_cast<D3DFORMAT>(MAKEFOURCC('A', 'R', '1', '6'));

// Format classes: the `kind` of a FormatInfo row.
enum FormatKind : DWORD {
    FORMAT_KIND_COLOR = 0,
    FORMAT_KIND_PALETTIZED = 1,
    FORMAT_KIND_LUMINANCE = 2,
    FORMAT_KIND_SIGNED = 3,
    FORMAT_KIND_DEPTH = 4,
};

// One constant row of the format table. The five channel fields are compared
// position by position when formats are matched.
struct FormatInfo {
    DWORD format;
    DWORD kind;
    DWORD bitsPerPixel;
    DWORD extraBits;
    DWORD alphaBits;
    DWORD redBits;
    DWORD greenBits;
    DWORD blueBits;
    DWORD isDeviceFormat;
};

// The row of `format`, or the fallback row for a format outside the table;
// never null.
const FormatInfo* TxGetFormatInfo(D3DFORMAT format);

// How well `candidate` holds `wanted`; 0xFFFFFFFF when it cannot.
DWORD FormatMatchCost(const FormatInfo* wanted, const FormatInfo* candidate);

// Best of a zero-terminated list of formats for `wanted`; 0 when none fits.
D3DFORMAT TxFindClosestFormat(const D3DFORMAT* candidates, BOOL paletteAvailable,
                              const FormatInfo* wanted);

// Best format of the table that `device` accepts for the usage and resource
// type (every format when `device` is null); 0 when none fits.
D3DFORMAT TxFindClosestDeviceFormat(IDirect3DDevice8* device, DWORD usage,
                                    D3DRESOURCETYPE resourceType, const FormatInfo* wanted);

// The 8-bit counterpart of an extended 16-bit-channel format; other formats
// unchanged.
D3DFORMAT TxMapToStandardFormat(D3DFORMAT format);

// Silences (TRUE) or restores (FALSE) the runtime's debug output around calls
// that are expected to fail. Does not nest.
void TxDebugMute(BOOL mute);
