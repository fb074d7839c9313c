// The codec base: addressing, thresholds, palette, channel-type conversion and
// the colour key.
#include "codec/pixel_codec.h"

#include <new>

#include "codec/pixel_fields.h"

const float NeutralThresholds[4][4] = {
    {0.5f, 0.5f, 0.5f, 0.5f},
    {0.5f, 0.5f, 0.5f, 0.5f},
    {0.5f, 0.5f, 0.5f, 0.5f},
    {0.5f, 0.5f, 0.5f, 0.5f},
};

// An ordered-dither matrix in 32nds: neighbouring offsets are far apart, so a
// flat area between two levels is spread evenly over every 4 x 4 tile.
const float DitherThresholds[4][4] = {
    {31 / 32.0f, 15 / 32.0f, 27 / 32.0f, 11 / 32.0f},
    {7 / 32.0f, 23 / 32.0f, 3 / 32.0f, 19 / 32.0f},
    {25 / 32.0f, 9 / 32.0f, 29 / 32.0f, 13 / 32.0f},
    {1 / 32.0f, 17 / 32.0f, 5 / 32.0f, 21 / 32.0f},
};

namespace {

// How one channel moves between the unsigned range 0..1 and the signed range
// -1..1.
enum class RangeMap { Copy, SignedToUnsigned, UnsignedToSigned };

RangeMap MapBetween(bool fromSigned, bool toSigned) {
    if (fromSigned == toSigned) return RangeMap::Copy;
    return fromSigned ? RangeMap::SignedToUnsigned : RangeMap::UnsignedToSigned;
}

bool ColorIsSigned(ChannelType type) {
    return type != ChannelType::Unsigned;
}
bool AlphaIsSigned(ChannelType type) {
    return type == ChannelType::Signed;
}

template <RangeMap Map>
inline float MapChannel(float x) {
    if constexpr (Map == RangeMap::SignedToUnsigned) {
        return (x + 1.0f) * 0.5f;
    } else if constexpr (Map == RangeMap::UnsignedToSigned) {
        return 2.0f * x - 1.0f;
    } else {
        return x;
    }
}

template <RangeMap ColorMap, RangeMap AlphaMap>
void MapPixels(const ColorF* in, ColorF* out, UINT count) {
    for (UINT x = 0; x < count; ++x) {
        const ColorF c = in[x];
        out[x] = {MapChannel<ColorMap>(c.r), MapChannel<ColorMap>(c.g), MapChannel<ColorMap>(c.b),
                  MapChannel<AlphaMap>(c.a)};
    }
}

// Converts `count` pixels from one channel type to another; in and out may be
// the same array.
void ConvertPixels(ChannelType from, ChannelType to, const ColorF* in, ColorF* out, UINT count) {
    const RangeMap color = MapBetween(ColorIsSigned(from), ColorIsSigned(to));
    const RangeMap alpha = MapBetween(AlphaIsSigned(from), AlphaIsSigned(to));
    using M = RangeMap;
    // Alpha changes range only together with colour (Signed to or from
    // Unsigned) or alone (Signed to or from SignedColor).
    if (color == M::SignedToUnsigned) {
        if (alpha == M::SignedToUnsigned)
            return MapPixels<M::SignedToUnsigned, M::SignedToUnsigned>(in, out, count);
        return MapPixels<M::SignedToUnsigned, M::Copy>(in, out, count);
    }
    if (color == M::UnsignedToSigned) {
        if (alpha == M::UnsignedToSigned)
            return MapPixels<M::UnsignedToSigned, M::UnsignedToSigned>(in, out, count);
        return MapPixels<M::UnsignedToSigned, M::Copy>(in, out, count);
    }
    if (alpha == M::SignedToUnsigned)
        return MapPixels<M::Copy, M::SignedToUnsigned>(in, out, count);
    if (alpha == M::UnsignedToSigned)
        return MapPixels<M::Copy, M::UnsignedToSigned>(in, out, count);
    return MapPixels<M::Copy, M::Copy>(in, out, count);
}

} // namespace

PixelCodec::PixelCodec(const PixelBlock& block, UINT bitsPerPixel, ChannelType type)
    : format(block.format), channelType(type), byteAddressable(bitsPerPixel != 0 ? TRUE : FALSE),
      colorKey(block.colorKey), palettized(FALSE),
      bits(static_cast<BYTE*>(block.data)), colorKeyValue{},
      thresholds(block.dither != 0 ? DitherThresholds : NeutralThresholds), palette{},
      box(block.box), convertFrom(ChannelType::None), rowPitch(block.rowPitch),
      slicePitch(block.slicePitch),
      // An inverted box describes nothing; it must not become a huge extent.
      width(box.Right > box.Left ? box.Right - box.Left : 0),
      height(box.Bottom > box.Top ? box.Bottom - box.Top : 0),
      depth(box.Back > box.Front ? box.Back - box.Front : 0), rowBytes(bitsPerPixel / 8 * width),
      bytesPerPixel(bitsPerPixel / 8) {
    if (colorKey != 0) {
        colorKeyValue = {((colorKey >> 16) & 0xFF) * kUnorm8Factor,
                         ((colorKey >> 8) & 0xFF) * kUnorm8Factor,
                         (colorKey & 0xFF) * kUnorm8Factor, (colorKey >> 24) * kUnorm8Factor};
    }

    if (format == D3DFMT_P8 || format == D3DFMT_A8P8) {
        palettized = TRUE;
        for (UINT i = 0; i < 256; ++i) {
            if (block.palette != nullptr) {
                const PALETTEENTRY& e = block.palette[i];
                // peFlags carries the entry's alpha.
                palette[i] = {e.peRed * kUnorm8Factor, e.peGreen * kUnorm8Factor,
                              e.peBlue * kUnorm8Factor, e.peFlags * kUnorm8Factor};
            } else {
                palette[i] = {1.0f, 1.0f, 1.0f, 1.0f};
            }
        }
    }

    if (byteAddressable) {
        // Offsets in pointer-sized arithmetic: top x pitch exceeds 32 bits on
        // large images and volumes.
        bits += static_cast<size_t>(bytesPerPixel) * box.Left +
                static_cast<size_t>(rowPitch) * box.Top +
                static_cast<size_t>(slicePitch) * box.Front;
        box = {0, 0, width, height, 0, depth};
    }
}

PixelCodec::~PixelCodec() = default;

void PixelCodec::DecodeRow(UINT, UINT, ColorF*) {}

void PixelCodec::EncodeRow(UINT, UINT, const ColorF*) {}

void PixelCodec::PrepareColorKey() {
    const UINT savedWidth = width;
    const UINT savedRowBytes = rowBytes;
    BYTE* const savedBits = bits;
    const float(*const savedThresholds)[4] = thresholds;
    const D3DCOLOR savedColorKey = colorKey;
    // The key arrives unconverted, whatever an earlier PrepareConversion set.
    const ChannelType savedConvertFrom = convertFrom;

    alignas(16) BYTE scratch[16] = {};
    width = 1;
    rowBytes = bytesPerPixel;
    bits = scratch;
    thresholds = NeutralThresholds;
    colorKey = 0; // the decode below must not key out the key itself
    convertFrom = ChannelType::None;

    if (channelType != ChannelType::Unsigned) {
        ConvertPixels(ChannelType::Unsigned, channelType, &colorKeyValue, &colorKeyValue, 1);
    }
    ColorF key = colorKeyValue;
    EncodeRow(0, 0, &key);
    DecodeRow(0, 0, &colorKeyValue);

    width = savedWidth;
    rowBytes = savedRowBytes;
    bits = savedBits;
    thresholds = savedThresholds;
    colorKey = savedColorKey;
    convertFrom = savedConvertFrom;
}

HRESULT PixelCodec::PrepareConversion(const PixelCodec& source) {
    if (source.channelType == channelType) return S_OK;
    convertBuffer.reset(new (std::nothrow) ColorF[width]);
    if (!convertBuffer) return E_OUTOFMEMORY;
    convertFrom = source.channelType;
    return S_OK;
}

const ColorF* PixelCodec::ConvertRow(const ColorF* in) {
    ConvertPixels(convertFrom, channelType, in, convertBuffer.get(), width);
    return convertBuffer.get();
}

void PixelCodec::ApplyColorKey(ColorF* row) const {
    const ColorF key = colorKeyValue;
    for (UINT x = 0; x < width; ++x) {
        const ColorF c = row[x];
        if (c.r == key.r && c.g == key.g && c.b == key.b && c.a == key.a) {
            row[x] = {0.0f, 0.0f, 0.0f, 0.0f};
        }
    }
}
