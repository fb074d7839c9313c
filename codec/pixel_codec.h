// Conversion of rows of pixels between a PixelBlock and the floating-point
// intermediate ColorF.
#pragma once

#include <memory>

#include "blit/pixel_block.h"

// The intermediate pixel.
struct ColorF {
    float r;
    float g;
    float b;
    float a;
};

// Range of the channels of a ColorF row. None only appears in convertFrom.
enum class ChannelType : DWORD {
    None = 0,
    Unsigned = 1,    // r, g, b, a in 0..1
    SignedColor = 2, // r, g, b in -1..1, a in 0..1
    Signed = 3,      // all four in -1..1
};

// Threshold tables of the encoders: 4 rows by 4 columns.
extern const float NeutralThresholds[4][4];
extern const float DitherThresholds[4][4];

// Converter between one PixelBlock and rows of ColorF. One subclass per format.
class PixelCodec {
public:
    PixelCodec(const PixelBlock& block, UINT bitsPerPixel, ChannelType channelType);
    virtual ~PixelCodec();

    PixelCodec(const PixelCodec&) = delete;
    PixelCodec& operator=(const PixelCodec&) = delete;

    // Reads `width` pixels of row y, slice z (counted from the box) into out.
    virtual void DecodeRow(UINT y, UINT z, ColorF* out);
    // Stores `width` pixels from in into row y, slice z.
    virtual void EncodeRow(UINT y, UINT z, const ColorF* in);
    // Quantises colorKeyValue through the format so that decoded pixels can be
    // compared with it exactly.
    virtual void PrepareColorKey();

    // Called on a destination codec with the source codec before any row is
    // encoded: arranges for incoming rows to be converted to channelType.
    HRESULT PrepareConversion(const PixelCodec& source);
    // Converts one incoming row into convertBuffer and returns it.
    const ColorF* ConvertRow(const ColorF* in);
    // Replaces every pixel equal to colorKeyValue by (0, 0, 0, 0).
    void ApplyColorKey(ColorF* row) const;

    // Start of row y of slice z for byte-addressable formats.
    BYTE* RowAddress(UINT y, UINT z) const {
        return bits + static_cast<size_t>(y) * rowPitch + static_cast<size_t>(z) * slicePitch;
    }

    D3DFORMAT format;
    ChannelType channelType;
    BOOL byteAddressable;
    D3DCOLOR colorKey;
    BOOL palettized;
    BYTE* bits;
    ColorF colorKeyValue;
    const float (*thresholds)[4];
    ColorF palette[256];
    D3DBOX box;
    ChannelType convertFrom;
    std::unique_ptr<ColorF[]> convertBuffer;
    UINT rowPitch;
    UINT slicePitch;
    UINT width;
    UINT height;
    UINT depth;
    UINT rowBytes;
    UINT bytesPerPixel;
};

// A codec for the block's format, or null for a format without codec or when
// memory runs out. Runs PrepareColorKey when the block has a colour key.
std::unique_ptr<PixelCodec> CreatePixelCodec(const PixelBlock& block);
