// The packed-to-packed conversion against the conversion through ColorF that
// it stands for: the codecs' DecodeRow and EncodeRow, row by row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <string>
#include <vector>

#include "blit/blitter.h"
#include "blit/packed_convert.h"
#include "blit_test_support.h"
#include "codec/packed_access.h"
#include "codec/packed_codec.h"

namespace {

using blittest::FloatImage;
using blittest::TestImage;
using codectest::Avx2Paths;
using codectest::Random;

struct Format {
    const char* name;
    D3DFORMAT format;
    UINT bytes;
};

const Format kPackedFormats[] = {
    {"R8G8B8", D3DFMT_R8G8B8, 3},
    {"A8R8G8B8", D3DFMT_A8R8G8B8, 4},
    {"X8R8G8B8", D3DFMT_X8R8G8B8, 4},
    {"R5G6B5", D3DFMT_R5G6B5, 2},
    {"X1R5G5B5", D3DFMT_X1R5G5B5, 2},
    {"A1R5G5B5", D3DFMT_A1R5G5B5, 2},
    {"A4R4G4B4", D3DFMT_A4R4G4B4, 2},
    {"X4R4G4B4", D3DFMT_X4R4G4B4, 2},
    {"R3G3B2", D3DFMT_R3G3B2, 1},
    {"A8R3G3B2", D3DFMT_A8R3G3B2, 2},
    {"A8", D3DFMT_A8, 1},
    {"L8", D3DFMT_L8, 1},
    {"A8L8", D3DFMT_A8L8, 2},
    {"A4L4", D3DFMT_A4L4, 1},
};

const Format& FormatOf(D3DFORMAT format) {
    for (const Format& f : kPackedFormats) {
        if (f.format == format) return f;
    }
    ADD_FAILURE() << "not a packed format: " << format;
    return kPackedFormats[0];
}

// Layouts of wide formats, whose codecs are not written yet: a 10-bit
// colour format and a 16-bit luminance format.
constexpr PackedLayout kWideColour{4, {0, 10}, {10, 10}, {20, 10}, {30, 2}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kWideLuminance{2, {}, {}, {}, {}, {0, 16}, {0, 0, 0, 1}};
constexpr D3DFORMAT kWideLuminanceFormat = static_cast<D3DFORMAT>(MAKEFOURCC('T', 'L', '1', '6'));

// A block over memory owned by the test, the box covering all of it.
struct Image {
    Image(D3DFORMAT format, UINT bytesPerPixel, UINT width, UINT height)
        : bytes(size_t(bytesPerPixel) * width * height), bpp(bytesPerPixel) {
        block.data = bytes.data();
        block.format = format;
        block.rowPitch = bytesPerPixel * width;
        block.slicePitch = block.rowPitch * height;
        block.bounds = {0, 0, width, height, 0, 1};
        block.box = block.bounds;
    }
    void Set(size_t index, uint32_t v) {
        for (UINT b = 0; b < bpp; ++b)
            bytes[index * bpp + b] = BYTE(v >> (8 * b));
    }
    std::vector<BYTE> bytes;
    UINT bpp;
    PixelBlock block{};
};

// Converts every row of the blocks through ColorF, as the blit engine does
// without the packed path.
void ConvertThroughColorF(PixelCodec& source, PixelCodec& dest) {
    ASSERT_EQ(dest.PrepareConversion(source), S_OK);
    std::vector<ColorF> row(dest.width);
    for (UINT z = 0; z < dest.depth; ++z) {
        for (UINT y = 0; y < dest.height; ++y) {
            source.DecodeRow(y, z, row.data());
            dest.EncodeRow(y, z, row.data());
        }
    }
}

// Source pixels in which every field takes each of its values under each of
// the 16 thresholds: pixel x of every row holds u = x / 4 in every field,
// mixed differently per field so that swapped fields show, and rows 0-3 and
// columns x mod 4 meet every threshold. Bits outside the fields are random:
// they must not matter.
void FillEveryFieldValue(Image& image, const PackedLayout& layout, UINT width, UINT height) {
    Random random(width * 31 + layout.bytesPerPixel);
    const PackedField fields[] = {layout.red, layout.green, layout.blue, layout.alpha,
                                  layout.luminance};
    uint32_t used = 0;
    for (const PackedField& f : fields) {
        if (f.bits != 0) used |= ((1u << f.bits) - 1u) << f.shift;
    }
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const uint32_t u = x / 4;
            uint32_t v = random.Next() & ~used;
            for (UINT k = 0; k < 5; ++k) {
                const PackedField& f = fields[k];
                if (f.bits == 0) continue;
                const uint32_t mixed = (u * (2 * k + 1) + 37 * k) & ((1u << f.bits) - 1u);
                v |= mixed << f.shift;
            }
            image.Set(size_t(y) * width + x, v);
        }
    }
}

// Makes a codec for a block: the library's, or one of a test layout.
using CodecMaker = std::unique_ptr<PixelCodec> (*)(const PixelBlock&);

std::unique_ptr<PixelCodec> LibraryCodec(const PixelBlock& block) {
    return CreatePixelCodec(block);
}
template <const PackedLayout& L>
std::unique_ptr<PixelCodec> TestLayoutCodec(const PixelBlock& block) {
    return std::make_unique<PackedCodec<L>>(block);
}

struct Side {
    D3DFORMAT format;
    UINT bytes;
    CodecMaker make;
};

// Converts an image that holds every value of every source field under
// every threshold both ways, and compares the bytes. Returns the kernel the
// packed path chose (None when it declined).
PackedKernel CheckEveryValue(const Side& from, const Side& to, bool dither, UINT sourceBits = 8) {
    const UINT width = 4u << sourceBits;
    const UINT height = 4;
    Image source(from.format, from.bytes, width, height);
    Image expected(to.format, to.bytes, width, height);
    Image actual(to.format, to.bytes, width, height);
    expected.block.dither = actual.block.dither = dither ? 1 : 0;
    std::unique_ptr<PixelCodec> sourceCodec = from.make(source.block);
    std::unique_ptr<PixelCodec> expectedCodec = to.make(expected.block);
    std::unique_ptr<PixelCodec> actualCodec = to.make(actual.block);
    EXPECT_TRUE(sourceCodec && expectedCodec && actualCodec);
    if (!sourceCodec || !expectedCodec || !actualCodec) return PackedKernel::None;
    const PackedLayout* layout = PackedLayoutOf(*sourceCodec);
    EXPECT_NE(layout, nullptr);
    if (layout == nullptr) return PackedKernel::None;
    FillEveryFieldValue(source, *layout, width, height);

    ConvertThroughColorF(*sourceCodec, *expectedCodec);
    PackedConversion conversion;
    if (!conversion.Prepare(*sourceCodec, *actualCodec)) return PackedKernel::None;
    for (UINT y = 0; y < height; ++y) {
        conversion.ConvertRow(sourceCodec->RowAddress(y, 0), actualCodec->RowAddress(y, 0), width,
                              y, 0);
    }
    const auto differ =
        std::mismatch(expected.bytes.begin(), expected.bytes.end(), actual.bytes.begin());
    if (differ.first != expected.bytes.end()) {
        const size_t at = size_t(differ.first - expected.bytes.begin());
        const size_t pixel = at / to.bytes;
        ADD_FAILURE() << "pixel x " << pixel % width << ", y " << pixel / width << ", byte "
                      << at % to.bytes << ": " << int(*differ.second) << ", expected "
                      << int(*differ.first);
    }
    return conversion.kernel();
}

bool LuminanceFromColour(const Format& from, const Format& to) {
    Image s(from.format, from.bytes, 1, 1), d(to.format, to.bytes, 1, 1);
    const PackedLayout* source = PackedLayoutOf(*CreatePixelCodec(s.block));
    const PackedLayout* dest = PackedLayoutOf(*CreatePixelCodec(d.block));
    return dest->luminance.bits != 0 &&
           (source->red.bits != 0 || source->green.bits != 0 || source->blue.bits != 0);
}

// Every pair of packed formats, with and without dithering, and in every
// rounding mode of the caller (decoding uses it): the packed path gives the
// bytes of the conversion through ColorF. It takes every pair except
// luminance from colour, where a stored value depends on three fields.
TEST(PackedConversion, EveryPairEqualsTheConversionThroughColorF) {
    if (!UseAvx2()) GTEST_SKIP() << "no AVX2: the packed path is not used";
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int saved = std::fegetround();
    for (int mode : modes) {
        for (const Format& from : kPackedFormats) {
            for (const Format& to : kPackedFormats) {
                for (bool dither : {false, true}) {
                    SCOPED_TRACE(std::string(from.name) + " to " + to.name +
                                 (dither ? ", dithered" : "") + ", rounding mode " +
                                 std::to_string(mode));
                    std::fesetround(mode);
                    const PackedKernel kernel =
                        CheckEveryValue({from.format, from.bytes, LibraryCodec},
                                        {to.format, to.bytes, LibraryCodec}, dither);
                    std::fesetround(saved);
                    EXPECT_EQ(kernel == PackedKernel::None, LuminanceFromColour(from, to));
                }
            }
        }
    }
}

// Fields that are stored as they are, whole bytes moved, come down to one
// byte shuffle per group of pixels, dithered or not.
TEST(PackedConversion, MovedBytesAreOneShuffle) {
    if (!UseAvx2()) GTEST_SKIP() << "no AVX2";
    const std::pair<D3DFORMAT, D3DFORMAT> pairs[] = {
        {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8},   {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8},
        {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
        {D3DFMT_A8R8G8B8, D3DFMT_R8G8B8},   {D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
        {D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4}, {D3DFMT_L8, D3DFMT_A8L8},
        {D3DFMT_A8L8, D3DFMT_A8},           {D3DFMT_L8, D3DFMT_R8G8B8},
    };
    for (const auto& pair : pairs) {
        const Format& from = FormatOf(pair.first);
        const Format& to = FormatOf(pair.second);
        for (bool dither : {false, true}) {
            SCOPED_TRACE(std::string(from.name) + " to " + to.name + (dither ? ", dithered" : ""));
            EXPECT_EQ(CheckEveryValue({from.format, from.bytes, LibraryCodec},
                                      {to.format, to.bytes, LibraryCodec}, dither),
                      PackedKernel::ByteMove);
        }
    }
}

// Fields of 10 and 16 bits (formats whose codecs are still to come): 10-bit
// sources and 16-bit destinations are converted exactly; 16-bit sources
// would need tables of 65536 entries per threshold and are declined.
TEST(PackedConversion, WideFields) {
    if (!UseAvx2()) GTEST_SKIP() << "no AVX2: the packed path is not used";
    const Side wideColour{D3DFMT_A2B10G10R10, 4, TestLayoutCodec<kWideColour>};
    const Side wideLuminance{kWideLuminanceFormat, 2, TestLayoutCodec<kWideLuminance>};
    const Side argb{D3DFMT_A8R8G8B8, 4, LibraryCodec};
    const Side l8{D3DFMT_L8, 1, LibraryCodec};
    const Side a8l8{D3DFMT_A8L8, 2, LibraryCodec};
    for (bool dither : {false, true}) {
        SCOPED_TRACE(dither ? "dithered" : "neutral");
        EXPECT_NE(CheckEveryValue(wideColour, argb, dither, 10), PackedKernel::None);
        EXPECT_NE(CheckEveryValue(argb, wideColour, dither), PackedKernel::None);
        EXPECT_NE(CheckEveryValue(l8, wideLuminance, dither), PackedKernel::None);
        EXPECT_NE(CheckEveryValue(a8l8, wideLuminance, dither), PackedKernel::None);
        EXPECT_EQ(CheckEveryValue(wideLuminance, l8, dither), PackedKernel::None);
    }
}

// Whole transfers through the blit engine, large enough for the packed
// path: odd widths (vector groups and the pixels after them), boxes inside
// larger images with padded rows, slices (the dither column moves with z),
// dithered or not. The result equals the conversion through ColorF of the
// same pixels, and nothing outside the box is written.
TEST(PackedConversion, WholeTransfersEqualTheConversionThroughColorF) {
    if (!UseAvx2()) GTEST_SKIP() << "no AVX2: the packed path is not used";
    const std::pair<D3DFORMAT, D3DFORMAT> pairs[] = {
        {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8},   {D3DFMT_A8R8G8B8, D3DFMT_R8G8B8},
        {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5},   {D3DFMT_R8G8B8, D3DFMT_A4R4G4B4},
        {D3DFMT_R5G6B5, D3DFMT_A8R8G8B8},   {D3DFMT_A8L8, D3DFMT_A4L4},
        {D3DFMT_L8, D3DFMT_R8G8B8},         {D3DFMT_A4L4, D3DFMT_A8R8G8B8},
        {D3DFMT_A8R3G3B2, D3DFMT_X1R5G5B5}, {D3DFMT_A8R8G8B8, D3DFMT_A8},
    };
    const UINT widths[] = {1, 3, 8, 15, 16, 17, 33, 47, 69};
    for (const auto& pair : pairs) {
        const Format& from = FormatOf(pair.first);
        const Format& to = FormatOf(pair.second);
        for (bool dither : {false, true}) {
            for (UINT depth : {1u, 3u}) {
                for (UINT width : widths) {
                    SCOPED_TRACE(std::string(from.name) + " to " + to.name +
                                 (dither ? ", dithered" : "") + ", width " + std::to_string(width) +
                                 ", depth " + std::to_string(depth));
                    const UINT height = 16384 / (width * depth) + 1;
                    TestImage source(from.format, from.bytes, width, height, depth);
                    TestImage actual(to.format, to.bytes, width, height, depth);
                    TestImage expected(to.format, to.bytes, width, height, depth);
                    blittest::FillRandom(source, width * 7 + depth);
                    expected.block().dither = dither ? 1 : 0;
                    auto sourceCodec = CreatePixelCodec(source.block());
                    auto expectedCodec = CreatePixelCodec(expected.block());
                    ASSERT_TRUE(sourceCodec && expectedCodec);
                    ConvertThroughColorF(*sourceCodec, *expectedCodec);

                    // The packed path is the one taken.
                    actual.block().dither = expected.block().dither;
                    auto actualCodec = CreatePixelCodec(actual.block());
                    ASSERT_TRUE(PackedConversion::PaysOff(*actualCodec));
                    ASSERT_TRUE(PackedConversion().Prepare(*sourceCodec, *actualCodec));

                    const DWORD filter = TX_FILTER_POINT | (dither ? TX_FILTER_DITHER : 0u);
                    Blitter blitter;
                    ASSERT_EQ(blitter.Execute(actual.block(), source.block(), filter), S_OK);
                    ASSERT_EQ(actual.Pixels(), expected.Pixels());
                    EXPECT_TRUE(actual.MarginIntact());
                }
            }
        }
    }
}

// The pairs and blocks the packed path leaves to the conversion through
// ColorF, whose results it could not reproduce field by field.
TEST(PackedConversion, DeclinesWhatItCannotReproduce) {
    // Without AVX2 the vector loops of the codecs are faster than tables
    // one pixel at a time.
    {
        TestImage from(D3DFMT_A8R8G8B8, 4, 8, 8), to(D3DFMT_R5G6B5, 2, 8, 8);
        Avx2Paths paths(false);
        EXPECT_FALSE(PackedConversion().Prepare(*CreatePixelCodec(from.block()),
                                                *CreatePixelCodec(to.block())));
    }

    TestImage argb(D3DFMT_A8R8G8B8, 4, 8, 8), xrgb(D3DFMT_X8R8G8B8, 4, 8, 8);
    TestImage p8(D3DFMT_P8, 1, 8, 8), l8(D3DFMT_L8, 1, 8, 8);
    FloatImage floats(8, 8);

    auto keyed = argb.block();
    keyed.colorKey = 0xFF00FF00;
    auto keyedCodec = CreatePixelCodec(keyed);
    auto xrgbCodec = CreatePixelCodec(xrgb.block());
    auto argbCodec = CreatePixelCodec(argb.block());
    auto p8Codec = CreatePixelCodec(p8.block());
    auto l8Codec = CreatePixelCodec(l8.block());
    auto floatCodec = floats.Codec();

    struct Case {
        const char* name;
        const PixelCodec& source;
        const PixelCodec& dest;
    };
    const Case cases[] = {
        {"source colour key", *keyedCodec, *xrgbCodec},
        {"palette source", *p8Codec, *xrgbCodec},
        {"palette destination", *argbCodec, *p8Codec},
        {"luminance from colour", *argbCodec, *l8Codec},
        {"codec of no packed format", *floatCodec, *xrgbCodec},
        {"source and destination share memory", *argbCodec, *argbCodec},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PackedConversion conversion;
        EXPECT_FALSE(conversion.Prepare(c.source, c.dest));
        EXPECT_EQ(conversion.kernel(), PackedKernel::None);
    }
}

// A conversion within one buffer (source and destination the same memory)
// still gives what the conversion through ColorF gives from a copy.
TEST(PackedConversion, ConversionInPlaceIsLeftToTheRowBuffer) {
    const UINT width = 130, height = 130;
    TestImage image(D3DFMT_A8R8G8B8, 4, width, height);
    TestImage copy(D3DFMT_A8R8G8B8, 4, width, height);
    blittest::FillRandom(image, 5);
    blittest::FillRandom(copy, 5);
    TestImage expected(D3DFMT_X8R8G8B8, 4, width, height);
    auto copyCodec = CreatePixelCodec(copy.block());
    auto expectedCodec = CreatePixelCodec(expected.block());
    ConvertThroughColorF(*copyCodec, *expectedCodec);

    PixelBlock dest = image.block();
    dest.format = D3DFMT_X8R8G8B8;
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dest, image.block(), TX_FILTER_NONE), S_OK);
    EXPECT_EQ(image.Pixels(), expected.Pixels());
}

} // namespace
