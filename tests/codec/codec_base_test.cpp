// The codec base: addressing, thresholds, palette, channel-type conversion,
// colour keys and the rounding frame.
#include <cfenv>
#include <cmath>
#include <cstring>

#include "codec_test_util.h"

namespace {

using codectest::SameColor;
using codectest::TestImage;

// A codec that stores ColorF as they are (128 bits per pixel), in any channel
// type: it isolates what the base class does from any pixel layout.
class RawFloatCodec final : public PixelCodec {
public:
    RawFloatCodec(const PixelBlock& block, ChannelType type) : PixelCodec(block, 128, type) {}

    void DecodeRow(UINT y, UINT z, ColorF* out) override {
        std::memcpy(out, RowAddress(y, z), sizeof(ColorF) * width);
        if (colorKey != 0) ApplyColorKey(out);
    }
    void EncodeRow(UINT y, UINT z, const ColorF* in) override {
        if (convertFrom != ChannelType::None) in = ConvertRow(in);
        std::memcpy(RowAddress(y, z), in, sizeof(ColorF) * width);
    }
};

struct RawImage {
    RawImage(UINT width, UINT height = 1, UINT depth = 1) : pixels(size_t(width) * height * depth) {
        block.data = pixels.data();
        block.format = D3DFMT_A8R8G8B8;
        block.rowPitch = width * sizeof(ColorF);
        block.slicePitch = block.rowPitch * height;
        block.bounds = {0, 0, width, height, 0, depth};
        block.box = block.bounds;
    }
    std::vector<ColorF> pixels;
    PixelBlock block{};
};

TEST(CodecThresholds, NeutralIsOneHalfAndDitherIsTheOrderedMatrixIn32nds) {
    const int expected[4][4] = {{31, 15, 27, 11}, {7, 23, 3, 19}, {25, 9, 29, 13}, {1, 17, 5, 21}};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(NeutralThresholds[row][col], 0.5f);
            EXPECT_EQ(DitherThresholds[row][col], expected[row][col] / 32.0f) << row << "," << col;
        }
    }
}

TEST(CodecConstruction, RebasesBitsAndBoxOnTheFirstPixelOfTheBox) {
    RawImage image(8, 5, 3);
    image.block.box = {2, 1, 7, 4, 1, 3};
    image.block.dither = 1;
    const ColorF marker{0.25f, 0.5f, 0.75f, 1.0f};
    image.pixels[1 * 8 * 5 + 1 * 8 + 2] = marker; // pixel (2, 1, 1)

    RawFloatCodec codec(image.block, ChannelType::Unsigned);
    EXPECT_EQ(codec.bits, reinterpret_cast<BYTE*>(&image.pixels[1 * 8 * 5 + 1 * 8 + 2]));
    EXPECT_EQ(codec.box.Left, 0u);
    EXPECT_EQ(codec.box.Top, 0u);
    EXPECT_EQ(codec.box.Right, 5u);
    EXPECT_EQ(codec.box.Bottom, 3u);
    EXPECT_EQ(codec.box.Front, 0u);
    EXPECT_EQ(codec.box.Back, 2u);
    EXPECT_EQ(codec.width, 5u);
    EXPECT_EQ(codec.height, 3u);
    EXPECT_EQ(codec.depth, 2u);
    EXPECT_EQ(codec.bytesPerPixel, 16u);
    EXPECT_EQ(codec.rowBytes, 80u);
    EXPECT_TRUE(codec.byteAddressable);
    EXPECT_EQ(codec.thresholds, DitherThresholds);
    EXPECT_EQ(codec.convertFrom, ChannelType::None);
    EXPECT_EQ(codec.convertBuffer, nullptr);

    ColorF row[5];
    codec.DecodeRow(0, 0, row);
    EXPECT_TRUE(SameColor(row[0], marker));
    // Row and slice count from the box.
    image.pixels[2 * 8 * 5 + 3 * 8 + 6] = marker; // pixel (6, 3, 2)
    codec.DecodeRow(2, 1, row);
    EXPECT_TRUE(SameColor(row[4], marker));
}

TEST(CodecConstruction, FormatsWithoutBytesPerPixelKeepTheBlocksBitsAndBox) {
    RawImage image(8, 8);
    image.block.box = {4, 4, 8, 8, 0, 1};
    PixelCodec codec(image.block, 0, ChannelType::Unsigned);
    EXPECT_FALSE(codec.byteAddressable);
    EXPECT_EQ(codec.bits, static_cast<BYTE*>(image.block.data));
    EXPECT_EQ(codec.box.Left, 4u);
    EXPECT_EQ(codec.box.Bottom, 8u);
    EXPECT_EQ(codec.width, 4u);
    EXPECT_EQ(codec.bytesPerPixel, 0u);
    EXPECT_EQ(codec.thresholds, NeutralThresholds);
}

TEST(CodecConstruction, AnInvertedBoxIsEmptyRatherThanHuge) {
    RawImage image(4, 4);
    image.block.box = {3, 3, 1, 1, 0, 1};
    RawFloatCodec codec(image.block, ChannelType::Unsigned);
    EXPECT_EQ(codec.width, 0u);
    EXPECT_EQ(codec.height, 0u);
    EXPECT_EQ(codec.rowBytes, 0u);
}

TEST(CodecConstruction, PaletteBecomesColorFWithFlagsAsAlphaOnlyForPaletteFormats) {
    PALETTEENTRY entries[256] = {};
    entries[0] = {255, 0, 51, 128};
    entries[255] = {1, 2, 3, 0};
    const float k = 1.0f / 255; // nearest single-precision 1/255

    for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8}) {
        RawImage image(1);
        image.block.format = format;
        image.block.palette = entries;
        RawFloatCodec withPalette(image.block, ChannelType::Unsigned);
        EXPECT_TRUE(withPalette.palettized);
        EXPECT_TRUE(SameColor(withPalette.palette[0], {1.0f, 0.0f, 51 * k, 128 * k}));
        EXPECT_TRUE(SameColor(withPalette.palette[255], {1 * k, 2 * k, 3 * k, 0.0f}));

        image.block.palette = nullptr;
        RawFloatCodec withoutPalette(image.block, ChannelType::Unsigned);
        for (const ColorF& entry : withoutPalette.palette) {
            ASSERT_TRUE(SameColor(entry, {1.0f, 1.0f, 1.0f, 1.0f}));
        }
    }

    RawImage image(1);
    image.block.palette = entries;
    RawFloatCodec notPalettized(image.block, ChannelType::Unsigned);
    EXPECT_FALSE(notPalettized.palettized);
}

// ---------------------------------------------------------------------------
// Channel-type conversion
// ---------------------------------------------------------------------------

struct ConversionCase {
    ChannelType to;
    ChannelType from;
    ColorF in;
    ColorF expected;
};

class CodecConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(CodecConversion, EncodeRowConvertsIncomingRowsWithoutClamping) {
    const ConversionCase& c = GetParam();
    RawImage sourceImage(3);
    RawFloatCodec source(sourceImage.block, c.from);
    RawImage destImage(3);
    RawFloatCodec dest(destImage.block, c.to);
    ASSERT_EQ(dest.PrepareConversion(source), S_OK);
    EXPECT_EQ(dest.convertFrom, c.from);
    ASSERT_NE(dest.convertBuffer, nullptr);

    // The last pixel lies outside every range: conversion does not clamp.
    const ColorF in[3] = {c.in, {0.0f, 0.0f, 0.0f, 0.0f}, {1.5f, -3.0f, 2.0f, -2.0f}};
    dest.EncodeRow(0, 0, in);
    EXPECT_TRUE(SameColor(destImage.pixels[0], c.expected));
    for (int i = 1; i < 3; ++i) {
        ColorF expected = in[i];
        const bool colorSignedTo = c.to != ChannelType::Unsigned;
        const bool colorSignedFrom = c.from != ChannelType::Unsigned;
        const bool alphaSignedTo = c.to == ChannelType::Signed;
        const bool alphaSignedFrom = c.from == ChannelType::Signed;
        auto map = [](float x, bool fromSigned, bool toSigned) {
            if (fromSigned == toSigned) return x;
            return fromSigned ? (x + 1.0f) * 0.5f : 2.0f * x - 1.0f;
        };
        expected.r = map(in[i].r, colorSignedFrom, colorSignedTo);
        expected.g = map(in[i].g, colorSignedFrom, colorSignedTo);
        expected.b = map(in[i].b, colorSignedFrom, colorSignedTo);
        expected.a = map(in[i].a, alphaSignedFrom, alphaSignedTo);
        EXPECT_TRUE(SameColor(destImage.pixels[i], expected)) << "pixel " << i;
    }
}

constexpr ChannelType kU = ChannelType::Unsigned;
constexpr ChannelType kSC = ChannelType::SignedColor;
constexpr ChannelType kS = ChannelType::Signed;

INSTANTIATE_TEST_SUITE_P(
    AllPairs, CodecConversion,
    ::testing::Values(
        // Unsigned 0.5 is the middle of the signed range, 1.0 its top.
        ConversionCase{kSC, kU, {0.5f, 1.0f, 0.0f, 0.25f}, {0.0f, 1.0f, -1.0f, 0.25f}},
        ConversionCase{kS, kU, {0.5f, 1.0f, 0.0f, 0.25f}, {0.0f, 1.0f, -1.0f, -0.5f}},
        ConversionCase{kU, kSC, {-1.0f, 0.0f, 1.0f, 0.25f}, {0.0f, 0.5f, 1.0f, 0.25f}},
        ConversionCase{kU, kS, {-1.0f, 0.0f, 1.0f, -0.5f}, {0.0f, 0.5f, 1.0f, 0.25f}},
        ConversionCase{kSC, kS, {-1.0f, 0.0f, 1.0f, -0.5f}, {-1.0f, 0.0f, 1.0f, 0.25f}},
        ConversionCase{kS, kSC, {-1.0f, 0.0f, 1.0f, 0.25f}, {-1.0f, 0.0f, 1.0f, -0.5f}}));

TEST(CodecConversionSameType, AllocatesNothingAndStoresTheInputAsItIs) {
    RawImage sourceImage(2);
    RawFloatCodec source(sourceImage.block, ChannelType::SignedColor);
    RawImage destImage(2);
    RawFloatCodec dest(destImage.block, ChannelType::SignedColor);
    ASSERT_EQ(dest.PrepareConversion(source), S_OK);
    EXPECT_EQ(dest.convertFrom, ChannelType::None);
    EXPECT_EQ(dest.convertBuffer, nullptr);
    const ColorF in[2] = {{-1.0f, 0.5f, 0.25f, 0.75f}, {1.0f, -0.5f, 0.0f, 1.0f}};
    dest.EncodeRow(0, 0, in);
    EXPECT_TRUE(SameColor(destImage.pixels[0], in[0]));
    EXPECT_TRUE(SameColor(destImage.pixels[1], in[1]));
}

// ---------------------------------------------------------------------------
// Colour keys
// ---------------------------------------------------------------------------

TEST(CodecColorKey, KeyedPixelsBecomeTransparentBlackInEveryChannelType) {
    const D3DCOLOR key = 0xC0804020;
    const float k = 1.0f / 255;
    const ColorF unsignedKey{0x80 * k, 0x40 * k, 0x20 * k, 0xC0 * k};
    const struct {
        ChannelType type;
        ColorF stored; // the key as this channel type stores it
    } cases[] = {
        {ChannelType::Unsigned, unsignedKey},
        {ChannelType::SignedColor,
         {2.0f * unsignedKey.r - 1.0f, 2.0f * unsignedKey.g - 1.0f, 2.0f * unsignedKey.b - 1.0f,
          unsignedKey.a}},
        {ChannelType::Signed,
         {2.0f * unsignedKey.r - 1.0f, 2.0f * unsignedKey.g - 1.0f, 2.0f * unsignedKey.b - 1.0f,
          2.0f * unsignedKey.a - 1.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        RawImage image(4);
        image.block.colorKey = key;
        // A pixel that differs from the key in alpha alone is kept.
        const ColorF almost{c.stored.r, c.stored.g, c.stored.b, c.stored.a + 0.25f};
        const ColorF other{0.5f, 0.5f, 0.5f, 1.0f};
        image.pixels = {c.stored, almost, other, c.stored};

        RawFloatCodec codec(image.block, c.type);
        codec.PrepareColorKey();
        EXPECT_TRUE(SameColor(codec.colorKeyValue, c.stored));
        EXPECT_EQ(codec.colorKey, key);

        ColorF row[4];
        codec.DecodeRow(0, 0, row);
        EXPECT_TRUE(SameColor(row[0], {0.0f, 0.0f, 0.0f, 0.0f}));
        EXPECT_TRUE(SameColor(row[1], almost));
        EXPECT_TRUE(SameColor(row[2], other));
        EXPECT_TRUE(SameColor(row[3], {0.0f, 0.0f, 0.0f, 0.0f}));
    }
}

TEST(CodecColorKey, PrepareColorKeyLeavesTheCodecAsItFoundIt) {
    RawImage sourceImage(3);
    RawFloatCodec source(sourceImage.block, ChannelType::Unsigned);
    RawImage image(3, 2);
    image.block.colorKey = 0xFF000000;
    image.block.dither = 1;
    RawFloatCodec codec(image.block, ChannelType::Signed);
    ASSERT_EQ(codec.PrepareConversion(source), S_OK);
    BYTE* const bits = codec.bits;

    codec.PrepareColorKey();
    EXPECT_TRUE(SameColor(codec.colorKeyValue, {-1.0f, -1.0f, -1.0f, 1.0f}));
    EXPECT_EQ(codec.bits, bits);
    EXPECT_EQ(codec.width, 3u);
    EXPECT_EQ(codec.rowBytes, 48u);
    EXPECT_EQ(codec.thresholds, DitherThresholds);
    EXPECT_EQ(codec.colorKey, 0xFF000000u);
    EXPECT_EQ(codec.convertFrom, ChannelType::Unsigned);
    // The key's round trip wrote nothing into the block.
    for (const ColorF& p : image.pixels)
        EXPECT_TRUE(SameColor(p, {0, 0, 0, 0}));
}

TEST(CodecColorKey, AZeroKeyMeansNoKey) {
    TestImage image(D3DFMT_A8R8G8B8, 4, 1);
    image.block.colorKey = 0;
    auto codec = image.Codec();
    ASSERT_NE(codec, nullptr);
    ColorF row[1];
    codec->DecodeRow(0, 0, row); // the pixel is 0x00000000, transparent black
    EXPECT_TRUE(SameColor(row[0], {0.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(codec->colorKey, 0u);
}

// ---------------------------------------------------------------------------
// The rounding frame
// ---------------------------------------------------------------------------

TEST(CodecRounding, EncodeRowRestoresTheCallersModeAndDoesNotDependOnIt) {
    // Values next to the steps of the 8-bit fields, where the rounding of the
    // multiply and the add decides the stored value.
    codectest::Random random(7);
    std::vector<ColorF> row(37);
    for (ColorF& c : row) {
        c = {codectest::NearFieldStep(random, 8, 0.5f), codectest::NearFieldStep(random, 8, 0.5f),
             codectest::NearFieldStep(random, 8, 0.5f), codectest::NearFieldStep(random, 8, 0.5f)};
    }
    TestImage reference(D3DFMT_A8R8G8B8, 4, 37);
    reference.Codec()->EncodeRow(0, 0, row.data());

    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        TestImage image(D3DFMT_A8R8G8B8, 4, 37);
        auto codec = image.Codec();
        ASSERT_EQ(std::fesetround(mode), 0);
        codec->EncodeRow(0, 0, row.data());
        const int after = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(after, mode);
        EXPECT_EQ(image.bytes, reference.bytes) << "mode " << mode;
    }
}

TEST(CodecRows, RowsOfWidthZeroTouchNothing) {
    std::vector<BYTE> bytes(16, 0xAB);
    PixelBlock block{};
    block.data = bytes.data();
    block.format = D3DFMT_A8R8G8B8;
    block.rowPitch = 16;
    block.box = {2, 0, 2, 1, 0, 1};
    block.bounds = {0, 0, 4, 1, 0, 1};
    auto codec = CreatePixelCodec(block);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->width, 0u);
    ColorF sentinel{9, 9, 9, 9};
    codec->DecodeRow(0, 0, &sentinel);
    EXPECT_TRUE(SameColor(sentinel, {9, 9, 9, 9}));
    const ColorF in{0, 0, 0, 0};
    codec->EncodeRow(0, 0, &in);
    EXPECT_EQ(bytes, std::vector<BYTE>(16, 0xAB));
}

TEST(CodecFactory, FormatsWithoutCodecGiveNull) {
    for (DWORD format : {DWORD(D3DFMT_UNKNOWN), DWORD(D3DFMT_D32), DWORD(D3DFMT_D24S8),
                         DWORD(D3DFMT_D16), DWORD(D3DFMT_D15S1), DWORD(D3DFMT_VERTEXDATA),
                         DWORD(D3DFMT_INDEX16), DWORD(0x12345678u)}) {
        TestImage image(static_cast<D3DFORMAT>(format), 4, 2);
        EXPECT_EQ(image.Codec(), nullptr) << format;
    }
}

} // namespace
