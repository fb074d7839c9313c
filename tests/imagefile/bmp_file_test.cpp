// The BMP and DIB reader and writer on small hand-built files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "dib_builder.h"
#include "imagefile/image_file.h"

using dibtest::Bytes;
using dibtest::Dib;

namespace {

HRESULT ReadDib(ImageFile& image, const Bytes& bytes, BOOL loadPixels = TRUE) {
    image.loadPixels = loadPixels;
    return image.LoadDib(bytes.data(), UINT(bytes.size()));
}

// The image's pixel bytes, rows top-down, without the row padding.
Bytes ImageRows(const ImageFile& image, UINT bytesPerPixel) {
    Bytes rows;
    for (UINT y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + size_t(y) * image.rowPitch;
        rows.insert(rows.end(), row, row + size_t(image.width) * bytesPerPixel);
    }
    return rows;
}

struct DecodeCase {
    const char* name;
    Dib dib;
    D3DFORMAT format;
    UINT bytesPerPixel; // of the output
    UINT rowPitch;
    Bytes rows; // expected output, top row first
    bool borrowed;
};

class BmpDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(BmpDecode, DecodesToTheExpectedPixels) {
    const DecodeCase& c = GetParam();
    const Bytes bytes = c.dib.Build();
    ImageFile image;
    ASSERT_EQ(ReadDib(image, bytes), S_OK);
    EXPECT_EQ(image.format, c.format);
    EXPECT_EQ(image.width, UINT(c.dib.width));
    EXPECT_EQ(image.height, UINT(c.dib.height < 0 ? -c.dib.height : c.dib.height));
    EXPECT_EQ(image.depth, 1u);
    EXPECT_EQ(image.slicePitch, 0u);
    EXPECT_EQ(image.rowPitch, c.rowPitch);
    EXPECT_EQ(ImageRows(image, c.bytesPerPixel), c.rows);
    EXPECT_EQ(image.ownsPixels, c.borrowed ? FALSE : TRUE);
    if (c.borrowed) {
        EXPECT_GE(image.pixels, bytes.data());
        EXPECT_LT(image.pixels, bytes.data() + bytes.size());
    }
}

Dib Make(int32_t width, int32_t height, uint16_t bitCount, Bytes pixels) {
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bitCount = bitCount;
    dib.pixels = std::move(pixels);
    return dib;
}

Dib WithTable(Dib dib, std::vector<uint32_t> table, uint32_t colorsUsed = 0) {
    dib.table = std::move(table);
    dib.colorsUsed = colorsUsed;
    return dib;
}

Dib WithMasks(Dib dib, uint32_t headerSize, std::vector<uint32_t> masks) {
    dib.compression = 3;
    dib.headerSize = headerSize;
    dib.masks = std::move(masks);
    return dib;
}

Dib Compressed(Dib dib, uint32_t compression) {
    dib.compression = compression;
    return dib;
}

const std::vector<uint32_t> kTwoColors = {0x000000, 0xFFFFFF};

const DecodeCase kDecodeCases[] = {
    // 1 bit, most significant bit first, rows bottom-up and padded to 4 bytes.
    {"Pal1BottomUp",
     WithTable(Make(3, 2, 1, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}), kTwoColors),
     D3DFMT_P8,
     1,
     4,
     {0, 1, 0, 1, 0, 1},
     false},
    // 4 bits, high nibble first; a top-down 4-bit DIB is expanded too.
    {"Pal4BottomUp",
     WithTable(Make(3, 2, 4, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}), {0, 0, 0, 0, 0, 0, 0}, 7),
     D3DFMT_P8,
     1,
     4,
     {4, 5, 6, 1, 2, 3},
     false},
    {"Pal4TopDown",
     WithTable(Make(3, -2, 4, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}), {0, 0, 0, 0, 0, 0, 0}, 7),
     D3DFMT_P8,
     1,
     4,
     {1, 2, 3, 4, 5, 6},
     false},
    {"Pal8BottomUp",
     WithTable(Make(3, 2, 8, {1, 2, 3, 0, 4, 5, 6, 0}), kTwoColors, 2),
     D3DFMT_P8,
     1,
     4,
     {4, 5, 6, 1, 2, 3},
     false},
    // Top-down data of 8 bits and more are used where they lie.
    {"Pal8TopDownBorrowed",
     WithTable(Make(3, -2, 8, {1, 2, 3, 0, 4, 5, 6, 0}), kTwoColors, 2),
     D3DFMT_P8,
     1,
     4,
     {1, 2, 3, 4, 5, 6},
     true},
    {"Rgb16IsX1R5G5B5",
     Make(1, 2, 16, {0x11, 0x22, 0, 0, 0x33, 0x44, 0, 0}),
     D3DFMT_X1R5G5B5,
     2,
     4,
     {0x33, 0x44, 0x11, 0x22},
     false},
    // Width 3 at 24 bits: a 12-byte stride; the first memory row is the last
    // row of the file.
    {"Rgb24Width3",
     Make(3, 2, 24,
          {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0}),
     D3DFMT_R8G8B8,
     3,
     12,
     {11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9},
     false},
    {"Rgb32TopDownBorrowed",
     Make(1, -2, 32, {1, 2, 3, 4, 5, 6, 7, 8}),
     D3DFMT_X8R8G8B8,
     4,
     4,
     {1, 2, 3, 4, 5, 6, 7, 8},
     true},
    // Masks after a 40-byte header: the pixels start 12 bytes after it.
    {"Bitfields565AfterHeader",
     WithMasks(Make(1, 1, 16, {0xAB, 0xCD, 0, 0}), 40, {0xF800, 0x07E0, 0x001F}),
     D3DFMT_R5G6B5,
     2,
     4,
     {0xAB, 0xCD},
     false},
    // A 52-byte header holds the colour masks, a 56-byte one also alpha.
    {"Bitfields52ByteHeader",
     WithMasks(Make(1, 1, 32, {1, 2, 3, 4}), 52, {0xFF0000, 0xFF00, 0xFF}),
     D3DFMT_X8R8G8B8,
     4,
     4,
     {1, 2, 3, 4},
     false},
    {"Bitfields56ByteHeader",
     WithMasks(Make(1, 1, 32, {1, 2, 3, 4}), 56, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
     D3DFMT_A8R8G8B8,
     4,
     4,
     {1, 2, 3, 4},
     false},
    // RLE8: an encoded run, an absolute run (padded to an even count), end of
    // line, a delta and end of bitmap. Unvisited pixels stay index 0.
    {"Rle8",
     Compressed(WithTable(Make(4, 3, 8,
                               {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, // row 0: 7 7 1 2 (3 clipped)
                                0, 2, 2, 1,                   // delta to (2, 2)
                                1, 9, 0, 1}),                 // a 9 there, end
                          kTwoColors, 2),
                1),
     D3DFMT_P8,
     1,
     4,
     {0, 0, 9, 0, 0, 0, 0, 0, 7, 7, 1, 2},
     false},
    // RLE4: an encoded run alternates the nibbles; an absolute run of 5
    // pixels takes 3 bytes, padded to 4.
    {"Rle4",
     Compressed(WithTable(Make(8, 2, 4,
                               {3, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, // row 0
                                8, 0xAB, 0, 1}),                          // row 1
                          kTwoColors, 2),
                2),
     D3DFMT_P8,
     1,
     8,
     {10, 11, 10, 11, 10, 11, 10, 11, 1, 2, 1, 3, 4, 5, 6, 7},
     false},
};

INSTANTIATE_TEST_SUITE_P(Files, BmpDecode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Every mask set of the bitfield table, in a header that has room for an
// alpha mask.
TEST(BmpBitfields, EveryMaskSetMapsToItsFormat) {
    struct MaskCase {
        uint16_t bitCount;
        std::vector<uint32_t> masks;
        D3DFORMAT format;
    };
    const MaskCase cases[] = {
        {16, {0xFF, 0xFF, 0xFF, 0xFF00}, D3DFMT_A8L8},
        {16, {0xF800, 0x07E0, 0x001F, 0}, D3DFMT_R5G6B5},
        {16, {0x7C00, 0x03E0, 0x001F, 0}, D3DFMT_X1R5G5B5},
        {16, {0x7C00, 0x03E0, 0x001F, 0x8000}, D3DFMT_A1R5G5B5},
        {16, {0x0F00, 0x00F0, 0x000F, 0xF000}, D3DFMT_A4R4G4B4},
        {16, {0x0F00, 0x00F0, 0x000F, 0}, D3DFMT_X4R4G4B4},
        {16, {0x00E0, 0x001C, 0x0003, 0xFF00}, D3DFMT_A8R3G3B2},
        {24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8},
        {32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8},
        {32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8},
        {32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2B10G10R10},
        {32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_G16R16},
        // Unknown layouts, and known ones at the wrong bit count.
        {32, {0xFF000000, 0xFF0, 0xFF0000, 0}, D3DFMT_UNKNOWN},
        {16, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_UNKNOWN},
        {32, {0xF800, 0x07E0, 0x001F, 0}, D3DFMT_UNKNOWN},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << c.format << " bits " << c.bitCount);
        Dib dib = WithMasks(Make(2, 1, c.bitCount, Bytes(8, 0x5A)), 108, c.masks);
        ImageFile image;
        const HRESULT hr = ReadDib(image, dib.Build());
        if (c.format == D3DFMT_UNKNOWN) {
            EXPECT_EQ(hr, E_FAIL);
        } else {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(image.format, c.format);
            EXPECT_EQ(image.rowPitch, (2u * c.bitCount / 8 + 3) & ~3u);
        }
    }
}

// Without an alpha mask in the header, alpha layouts cannot be expressed.
TEST(BmpBitfields, FortyByteHeaderHasNoAlpha) {
    ImageFile image;
    EXPECT_EQ(
        ReadDib(image, WithMasks(Make(1, 1, 16, {0, 0, 0, 0}), 40, {0xFF, 0xFF, 0xFF}).Build()),
        E_FAIL);
    ImageFile opaque;
    ASSERT_EQ(ReadDib(opaque, WithMasks(Make(1, 1, 32, {0, 0, 0, 0}), 40,
                                        {0xFF0000, 0xFF00, 0xFF, 0xFF000000})
                                  .Build()),
              S_OK);
    EXPECT_EQ(opaque.format, D3DFMT_X8R8G8B8);
}

TEST(BmpPalette, TableEntriesAreOpaqueAndTheRestOpaqueWhite) {
    Dib dib = WithTable(Make(1, 1, 1, {0x80, 0, 0, 0}), {0x102030, 0x405060});
    ImageFile image;
    ASSERT_EQ(ReadDib(image, dib.Build()), S_OK);
    ASSERT_NE(image.palette, nullptr);
    EXPECT_TRUE(image.ownsPalette);
    const PALETTEENTRY* p = image.palette;
    EXPECT_EQ((std::vector<int>{p[0].peRed, p[0].peGreen, p[0].peBlue, p[0].peFlags}),
              (std::vector<int>{0x10, 0x20, 0x30, 0xFF}));
    EXPECT_EQ((std::vector<int>{p[1].peRed, p[1].peGreen, p[1].peBlue, p[1].peFlags}),
              (std::vector<int>{0x40, 0x50, 0x60, 0xFF}));
    for (int i = 2; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p[i].peRed, 0xFF);
        EXPECT_EQ(p[i].peGreen, 0xFF);
        EXPECT_EQ(p[i].peBlue, 0xFF);
        EXPECT_EQ(p[i].peFlags, 0xFF);
    }
    EXPECT_EQ(image.pixels[0], 1);
}

// A table longer than 256 entries: the first 256 make the palette and the
// pixels are found after the whole table.
TEST(BmpPalette, OversizedTableUsesTheFirst256Entries) {
    std::vector<uint32_t> table(300);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = uint32_t(i % 256) << 16;
    table[256] = 0xABCDEF;
    Dib dib = WithTable(Make(1, 1, 8, {77, 0, 0, 0}), table, 300);
    ImageFile image;
    ASSERT_EQ(ReadDib(image, dib.Build()), S_OK);
    EXPECT_EQ(image.palette[255].peRed, 255);
    EXPECT_EQ(image.palette[0].peRed, 0);
    EXPECT_EQ(image.pixels[0], 77);
}

TEST(BmpPalette, NoPaletteOrPixelsWhenOnlyTheDescriptionIsAsked) {
    Dib dib = WithTable(Make(5, 3, 8, Bytes(24, 1)), kTwoColors, 2);
    ImageFile image;
    ASSERT_EQ(ReadDib(image, dib.Build(), FALSE), S_OK);
    EXPECT_EQ(image.format, D3DFMT_P8);
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.rowPitch, 8u);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.palette, nullptr);
}

// RLE runs, absolute runs and deltas that leave the row or the image are
// clipped: the decoder writes nothing outside the rows it was given.
TEST(BmpRle, RunsAndDeltasAreClippedToTheImage) {
    struct ClipCase {
        const char* name;
        uint32_t compression;
        uint16_t bitCount;
        Bytes stream;
        Bytes rows; // 3x2, top row first
    };
    const ClipCase cases[] = {
        {"EncodedRunPastRowEnd", 1, 8, {200, 5, 0, 0, 1, 6, 0, 1}, {6, 0, 0, 5, 5, 5}},
        {"AbsoluteRunPastRowEnd", 1, 8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, {0, 0, 0, 1, 2, 3}},
        {"DeltaPastRightEdge", 1, 8, {0, 2, 250, 0, 3, 9, 0, 0, 1, 4, 0, 1}, {4, 0, 0, 0, 0, 0}},
        {"DeltaPastTopStops", 1, 8, {1, 3, 0, 2, 0, 200, 5, 5}, {0, 0, 0, 3, 0, 0}},
        {"Rle4RunPastRowEnd",
         2,
         4,
         {255, 0x12, 0, 0, 0, 7, 0x12, 0x34, 0x50, 0, 0, 1},
         {1, 2, 3, 1, 2, 1}},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        Dib dib =
            Compressed(WithTable(Make(3, 2, c.bitCount, c.stream), kTwoColors, 2), c.compression);
        ImageFile image;
        ASSERT_EQ(ReadDib(image, dib.Build()), S_OK);
        EXPECT_EQ(ImageRows(image, 1), c.rows);
    }
}

struct FailCase {
    const char* name;
    Bytes bytes;
    HRESULT expected;
};

Bytes Truncated(Bytes bytes, size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

Dib Planes(Dib dib, uint16_t planes) {
    dib.planes = planes;
    return dib;
}

Bytes PatchedU32(Bytes bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
    return bytes;
}

const FailCase kFailCases[] = {
    {"ShorterThanTheHeader", Truncated(Make(1, 1, 24, {1, 2, 3, 0}).Build(), 5), E_FAIL},
    {"HeaderSizeBelow40", PatchedU32(Make(1, 1, 24, Bytes(4)).Build(), 0, 39), E_FAIL},
    {"TwoPlanes", Planes(Make(1, 1, 24, Bytes(4)), 2).Build(), E_FAIL},
    {"TableLongerThanTheData", WithTable(Make(1, 1, 8, {}), {}, 1000).Build(), E_FAIL},
    {"TableLengthOverflows", WithTable(Make(1, 1, 8, Bytes(4)), {}, 0xFFFFFFFFu).Build(), E_FAIL},
    {"TopDownRle8", Compressed(WithTable(Make(1, -1, 8, {1, 1, 0, 1}), kTwoColors, 2), 1).Build(),
     E_FAIL},
    {"TopDownRle4", Compressed(WithTable(Make(1, -1, 4, {1, 1, 0, 1}), kTwoColors, 2), 2).Build(),
     E_FAIL},
    {"EmbeddedJpeg", Compressed(Make(1, 1, 0, Bytes(16)), 4).Build(), E_NOTIMPL},
    {"EmbeddedPng", Compressed(Make(1, 1, 0, Bytes(16)), 5).Build(), E_NOTIMPL},
    {"TwoBitIndices", WithTable(Make(1, 1, 2, Bytes(4)), {0, 0, 0, 0}).Build(), E_FAIL},
    {"FortyEightBits", Make(1, 1, 48, Bytes(8)).Build(), E_FAIL},
    {"Rle8WithFourBits",
     Compressed(WithTable(Make(1, 1, 4, {1, 1, 0, 1}), kTwoColors, 2), 1).Build(), E_FAIL},
    {"Rle4WithEightBits",
     Compressed(WithTable(Make(1, 1, 8, {1, 1, 0, 1}), kTwoColors, 2), 2).Build(), E_FAIL},
    {"RleWith24Bits", Compressed(Make(1, 1, 24, {1, 1, 0, 1}), 1).Build(), E_FAIL},
    {"ZeroWidth", Make(0, 1, 24, Bytes(4)).Build(), E_FAIL},
    {"ZeroHeight", Make(1, 0, 24, Bytes(4)).Build(), E_FAIL},
    // Pixel rows and streams that run past the end of the data.
    {"TruncatedRows", Truncated(Make(3, 2, 24, Bytes(24, 1)).Build(), 13), E_FAIL},
    {"TruncatedOneBitRows", Truncated(WithTable(Make(9, 4, 1, Bytes(16)), kTwoColors).Build(), 8),
     E_FAIL},
    {"RleStreamWithoutEnd",
     Compressed(WithTable(Make(4, 2, 8, {4, 1, 0, 0, 2, 1}), kTwoColors, 2), 1).Build(), E_FAIL},
    {"RleCutInsideEscape", Compressed(WithTable(Make(4, 2, 8, {0}), kTwoColors, 2), 1).Build(),
     E_FAIL},
    {"RleCutInsideDelta", Compressed(WithTable(Make(4, 2, 8, {0, 2, 1}), kTwoColors, 2), 1).Build(),
     E_FAIL},
    {"RleCutInsideAbsoluteRun",
     Compressed(WithTable(Make(4, 2, 8, {0, 4, 1, 2}), kTwoColors, 2), 1).Build(), E_FAIL},
    // Absurd sizes: the rows cannot be in the data, or the buffer would be
    // beyond any sensible allocation.
    {"HugeUncompressed", Make(0x7FFFFFFF, 0x7FFFFFFF, 32, Bytes(64)).Build(), E_FAIL},
    {"NegativeWidth", WithTable(Make(-127, 64, 1, Bytes(64)), kTwoColors).Build(), E_FAIL},
    {"HugeRle", Compressed(WithTable(Make(65535, 65535, 8, {0, 1}), kTwoColors, 2), 1).Build(),
     E_OUTOFMEMORY},
    {"MostNegativeHeight", Make(1, INT32_MIN, 24, Bytes(4)).Build(), E_FAIL},
};

class BmpRefuse : public ::testing::TestWithParam<FailCase> {};

TEST_P(BmpRefuse, RefusesWithTheExpectedCode) {
    const FailCase& c = GetParam();
    ImageFile image;
    // The copy is exactly as long as the data, so the sanitizers see any
    // read past its end.
    const Bytes exact(c.bytes);
    EXPECT_EQ(ReadDib(image, exact), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpRefuse, ::testing::ValuesIn(kFailCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Cutting a valid file anywhere never reads past the data.
TEST(BmpRefuse, EveryPrefixOfAValidFileFailsCleanly) {
    const Bytes files[] = {
        WithTable(Make(8, 3, 4, Bytes(12, 0x12)), kTwoColors, 2).Build(),
        Compressed(
            WithTable(Make(4, 2, 8, {2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 4, 2, 0, 1}), kTwoColors, 2), 1)
            .Build(),
        WithMasks(Make(2, 2, 16, Bytes(8, 3)), 40, {0xF800, 0x07E0, 0x001F}).Build(),
    };
    for (const Bytes& whole : files) {
        for (size_t n = 0; n < whole.size(); ++n) {
            const Bytes prefix(whole.begin(), whole.begin() + long(n));
            ImageFile image;
            EXPECT_TRUE(FAILED(ReadDib(image, prefix))) << "prefix of " << n << " bytes";
        }
        ImageFile image;
        EXPECT_EQ(ReadDib(image, whole), S_OK);
    }
}

TEST(BmpFileHeader, ChecksSignatureAndDeclaredSize) {
    const Bytes dib = Make(1, 1, 24, {1, 2, 3, 0}).Build();
    const Bytes bmp = dibtest::WithFileHeader(dib);
    ImageFile good;
    ASSERT_EQ(good.LoadBmp(bmp.data(), UINT(bmp.size())), S_OK);
    EXPECT_EQ(good.format, D3DFMT_R8G8B8);

    Bytes badSignature = bmp;
    badSignature[1] = 'A';
    const Bytes tooLarge = dibtest::WithFileHeader(dib, uint32_t(dib.size() + 15));
    const Bytes shortFile(bmp.begin(), bmp.begin() + 13);
    for (const Bytes* bytes : {&std::as_const(badSignature), &tooLarge, &shortFile}) {
        ImageFile image;
        EXPECT_EQ(image.LoadBmp(bytes->data(), UINT(bytes->size())), E_FAIL);
    }
    // The declared size may be smaller than the data.
    const Bytes smaller = dibtest::WithFileHeader(dib, 20);
    ImageFile image;
    EXPECT_EQ(image.LoadBmp(smaller.data(), UINT(smaller.size())), S_OK);
}

} // namespace
