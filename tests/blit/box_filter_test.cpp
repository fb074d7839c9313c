// The box filter: acceptance, the packed fast paths and their 32-bit slot
// selection, the generic 2-D and 3-D paths.
#include <gtest/gtest.h>

#include <vector>

#include "blit/blitter.h"
#include "blit/box_filter.h"
#include "blit_test_support.h"
#include "mathlib/processor_internal.h"
#include "platform/win32_system.h"

namespace {

using blittest::FloatImage;
using blittest::RunStrategy;
using blittest::TestImage;

constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT kXrgb = D3DFMT_X8R8G8B8;

struct Field {
    unsigned shift, bits;
};

struct PackedFormat {
    const char* name;
    D3DFORMAT format;
    UINT bytes;
    std::vector<Field> fields; // every other bit is written 0
};

const std::vector<PackedFormat>& PackedFormats() {
    static const std::vector<PackedFormat> formats = {
        {"A8R8G8B8", D3DFMT_A8R8G8B8, 4, {{24, 8}, {16, 8}, {8, 8}, {0, 8}}},
        {"R5G6B5", D3DFMT_R5G6B5, 2, {{11, 5}, {5, 6}, {0, 5}}},
        {"X1R5G5B5", D3DFMT_X1R5G5B5, 2, {{10, 5}, {5, 5}, {0, 5}}},
        {"A1R5G5B5", D3DFMT_A1R5G5B5, 2, {{15, 1}, {10, 5}, {5, 5}, {0, 5}}},
        {"A4R4G4B4", D3DFMT_A4R4G4B4, 2, {{12, 4}, {8, 4}, {4, 4}, {0, 4}}},
        {"R3G3B2", D3DFMT_R3G3B2, 1, {{5, 3}, {2, 3}, {0, 2}}},
        {"A8", D3DFMT_A8, 1, {{0, 8}}},
        {"L8", D3DFMT_L8, 1, {{0, 8}}},
        {"A8R3G3B2", D3DFMT_A8R3G3B2, 2, {{8, 8}, {5, 3}, {2, 3}, {0, 2}}},
        {"X4R4G4B4", D3DFMT_X4R4G4B4, 2, {{8, 4}, {4, 4}, {0, 4}}},
        {"A8L8", D3DFMT_A8L8, 2, {{8, 8}, {0, 8}}},
        {"A4L4", D3DFMT_A4L4, 1, {{4, 4}, {0, 4}}},
    };
    return formats;
}

// Field by field: (a + b + c + d + 2) >> 2.
uint32_t ReferenceAverage(const PackedFormat& f, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t out = 0;
    for (const Field& field : f.fields) {
        const uint32_t mask = (1u << field.bits) - 1;
        const uint32_t sum = ((a >> field.shift) & mask) + ((b >> field.shift) & mask) +
                             ((c >> field.shift) & mask) + ((d >> field.shift) & mask);
        out |= ((sum + 2) >> 2) << field.shift;
    }
    return out;
}

// Runs a packed routine on an image of the routine's own format.
void RunRoutine(BoxPackedRoutine routine, TestImage& dst, TestImage& src) {
    ASSERT_NE(routine, nullptr);
    EXPECT_TRUE(routine(dst.BoxBits(), src.BoxBits(), src.width(), src.height(), src.rowPitch(),
                        dst.rowPitch()));
}

class BoxPackedTest : public ::testing::TestWithParam<PackedFormat> {
protected:
    void TearDown() override { ResetBox32Slots(); }
};

// Every listed field is averaged on its own, with no carry between fields;
// other bits are written 0; nothing outside the destination box is touched.
TEST_P(BoxPackedTest, AveragesEachFieldIndependently) {
    const PackedFormat& f = GetParam();
    ResetBox32Slots([] { return 0; });
    TestImage src(f.format, f.bytes, 8, 6), dst(f.format, f.bytes, 4, 3);
    blittest::FillRandom(src, 21);
    // All fields at their maximum in one block: the sums must not spill.
    for (UINT i = 0; i < 4; ++i)
        src.Set(2 + i % 2, 2 + i / 2, 0xFFFFFFFF);
    RunRoutine(FindBoxPackedRoutine(f.format), dst, src);
    for (UINT y = 0; y < 3; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_EQ(dst.Get(x, y),
                      ReferenceAverage(f, src.Get(2 * x, 2 * y), src.Get(2 * x + 1, 2 * y),
                                       src.Get(2 * x, 2 * y + 1), src.Get(2 * x + 1, 2 * y + 1)))
                << x << "," << y;
    EXPECT_TRUE(dst.MarginIntact());
}

INSTANTIATE_TEST_SUITE_P(Formats, BoxPackedTest, ::testing::ValuesIn(PackedFormats()),
                         [](const ::testing::TestParamInfo<PackedFormat>& p) {
                             return std::string(p.param.name);
                         });

TEST(BoxPacked, FormatsWithoutFastPath) {
    for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8, D3DFMT_R8G8B8, D3DFMT_V8U8, D3DFMT_DXT1,
                             D3DFMT_A2B10G10R10, D3DFMT_UNKNOWN})
        EXPECT_EQ(FindBoxPackedRoutine(format), nullptr) << format;
}

TEST(BoxPacked, OneBitAlphaIsAVoteOfTwo) {
    struct Case {
        uint16_t a, b, c, d, expected;
    };
    for (Case k : {Case{1, 1, 0, 0, 1}, Case{1, 0, 0, 0, 0}, Case{0, 0, 1, 1, 1},
                   Case{1, 1, 1, 0, 1}, Case{0, 0, 0, 0, 0}}) {
        TestImage src(D3DFMT_A1R5G5B5, 2, 2, 2), dst(D3DFMT_A1R5G5B5, 2, 1, 1);
        src.Set(0, 0, k.a << 15);
        src.Set(1, 0, k.b << 15);
        src.Set(0, 1, k.c << 15);
        src.Set(1, 1, k.d << 15);
        RunRoutine(FindBoxPackedRoutine(D3DFMT_A1R5G5B5), dst, src);
        EXPECT_EQ(dst.Get(0, 0), uint32_t(k.expected) << 15);
    }
}

// The vector form gives the plain 4-channel values, for widths that use its
// wide steps, its last half step, and widths it hands over.
TEST(BoxPacked, VectorFormMatchesPlainFourChannels) {
    for (UINT width : {2u, 4u, 6u, 8u, 12u, 16u, 20u, 34u, 36u}) {
        SCOPED_TRACE(width);
        TestImage src(kArgb, 4, width, 6);
        blittest::FillRandom(src, width);
        TestImage vector(kArgb, 4, width / 2, 3), plain(kArgb, 4, width / 2, 3);
        RunRoutine(BoxAverage32Vector, vector, src);
        RunRoutine(BoxAverage32Plain4, plain, src);
        EXPECT_EQ(vector.Pixels(), plain.Pixels());
        EXPECT_TRUE(vector.MarginIntact());
        // The 3-channel form differs only in the top byte, written 0.
        TestImage three(kArgb, 4, width / 2, 3);
        RunRoutine(BoxAverage32Plain3, three, src);
        std::vector<uint32_t> expected = plain.Pixels();
        for (uint32_t& v : expected)
            v &= 0x00FFFFFF;
        EXPECT_EQ(three.Pixels(), expected);
    }
}

// ---------------------------------------------------------------------------
// 32-bit slot selection
// ---------------------------------------------------------------------------

class BoxSlotTest : public ::testing::Test {
protected:
    void TearDown() override { ResetBox32Slots(); }

    static int calls;
    static int WithMmx() { return ++calls, 1; }
    static int WithoutMmx() { return ++calls, 0; }

    // X8R8G8B8 source of the given width whose X bytes are 0x10, 0x20, 0x30,
    // 0x42 in every 2x2 block; returns the destination's top bytes.
    static std::vector<uint32_t> XBytesAfterBox(UINT width) {
        TestImage src(kXrgb, 4, width, 2), dst(kXrgb, 4, width / 2, 1);
        const uint32_t xs[4] = {0x10, 0x20, 0x30, 0x42};
        for (UINT x = 0; x < width; ++x)
            for (UINT y = 0; y < 2; ++y)
                src.Set(x, y, xs[x % 2 + 2 * y] << 24 | 0x00806040);
        Blitter blitter;
        EXPECT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
        std::vector<uint32_t> tops;
        for (UINT x = 0; x < width / 2; ++x) {
            EXPECT_EQ(dst.Get(x, 0) & 0xFFFFFF, 0x00806040u);
            tops.push_back(dst.Get(x, 0) >> 24);
        }
        return tops;
    }
};
int BoxSlotTest::calls = 0;

TEST_F(BoxSlotTest, WithoutMmxTheXByteIsWrittenZero) {
    ResetBox32Slots(WithoutMmx);
    EXPECT_EQ(XBytesAfterBox(6), std::vector<uint32_t>(3, 0));
}

TEST_F(BoxSlotTest, WithMmxTheXByteIsAveraged) {
    // (0x10 + 0x20 + 0x30 + 0x42 + 2) >> 2 = 0x29, also for a width that is
    // not a multiple of 4 (the plain 4-channel routine takes over).
    for (UINT width : {8u, 6u}) {
        ResetBox32Slots(WithMmx);
        EXPECT_EQ(XBytesAfterBox(width), std::vector<uint32_t>(width / 2, 0x29)) << width;
    }
}

TEST_F(BoxSlotTest, FirstCallOfEitherSlotFillsBoth) {
    calls = 0;
    ResetBox32Slots(WithoutMmx);
    EXPECT_EQ(FindBoxPackedRoutine(kArgb), FindBoxPackedRoutine(kArgb));
    XBytesAfterBox(4);
    EXPECT_EQ(FindBoxPackedRoutine(kXrgb), BoxAverage32Plain3);
    EXPECT_EQ(FindBoxPackedRoutine(kArgb), BoxAverage32Plain4);
    TestImage src(kArgb, 4, 4, 4), dst(kArgb, 4, 2, 2);
    Blitter blitter;
    EXPECT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
    EXPECT_EQ(calls, 1);

    ResetBox32Slots(WithMmx);
    EXPECT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
    EXPECT_EQ(FindBoxPackedRoutine(kXrgb), BoxAverage32Vector);
    EXPECT_EQ(FindBoxPackedRoutine(kArgb), BoxAverage32Vector);
    EXPECT_EQ(calls, 2);
}

// The real processor test decides, and the "DisableMMX" switch reaches it.
TEST_F(BoxSlotTest, SelectionAsksTheProcessorDetection) {
    txplatform::ProcessorOverride mmx{};
    mmx.mmx = true;
    txplatform::SetProcessorOverride(mmx);
    txmath::ResetProcessorDetection();
    ResetBox32Slots();
    EXPECT_EQ(XBytesAfterBox(8), std::vector<uint32_t>(4, 0x29));

    txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, "Software\\Direct3D", "DisableMMX", 1);
    ResetBox32Slots();
    EXPECT_EQ(XBytesAfterBox(8), std::vector<uint32_t>(4, 0));

    txplatform::RegistryRemoveValue(HKEY_LOCAL_MACHINE, "Software\\Direct3D", "DisableMMX");
    txplatform::ClearProcessorOverride();
    txmath::ResetProcessorDetection();
}

// ---------------------------------------------------------------------------
// Through the engine
// ---------------------------------------------------------------------------

TEST(BoxFilter, RoundsHalfUpOnTheFastPath) {
    TestImage src(kArgb, 4, 4, 4), dst(kArgb, 4, 2, 2);
    // Block (0, 0): blue 0, 0, 0, 2 -> 1; block (1, 0): blue 0, 0, 1, 0 -> 0.
    src.Set(1, 1, 2);
    src.Set(2, 1, 1);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
    EXPECT_EQ(dst.Get(0, 0), 1u);
    EXPECT_EQ(dst.Get(1, 0), 0u);
}

TEST(BoxFilter, DitheredWordsTakeTheGenericPath) {
    TestImage src(kArgb, 4, 4, 4), dst(kArgb, 4, 2, 2);
    for (UINT y = 0; y < 4; y += 2)
        for (UINT x = 0; x < 4; x += 2)
            src.Set(x + 1, y + 1, 2);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX | TX_FILTER_DITHER), S_OK);
    // An average of half a step: the dither offsets of (0, 0) and (1, 0) are
    // 31/32 and 15/32, so only the first rounds up. Packed averaging would
    // give 1 in both.
    EXPECT_EQ(dst.Get(0, 0), 1u);
    EXPECT_EQ(dst.Get(1, 0), 0u);
}

TEST(BoxFilter, KeyedSourceTakesTheGenericPath) {
    TestImage src(kArgb, 4, 2, 2), dst(kArgb, 4, 1, 1);
    src.Fill(0xFF808080);
    src.Set(1, 0, 0xFF0000FF);
    src.block().colorKey = 0xFF0000FF;
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
    // The keyed pixel counts as transparent black: alpha 3/4 of 255.
    EXPECT_EQ(dst.Get(0, 0) >> 24, 191u);
    EXPECT_EQ(dst.Get(0, 0) & 0xFF, 96u); // 3/4 of 0x80
}

// Packed averaging and the generic path (into X8R8G8B8, which is not packed
// averaging) give the same colour wherever the average is not exactly half
// way between two steps; there the packed form rounds up and the generic one
// may land on either side.
TEST(BoxFilter, FastAndGenericPathsAgree) {
    TestImage src(kArgb, 4, 16, 8);
    blittest::FillRandom(src, 77);
    TestImage fast(kArgb, 4, 8, 4), generic(kXrgb, 4, 8, 4);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(fast.block(), src.block(), TX_FILTER_BOX), S_OK);
    ASSERT_EQ(blitter.Execute(generic.block(), src.block(), TX_FILTER_BOX), S_OK);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 8; ++x) {
            for (unsigned shift : {0u, 8u, 16u}) {
                uint32_t sum = 0;
                for (UINT i = 0; i < 4; ++i)
                    sum += (src.Get(2 * x + i % 2, 2 * y + i / 2) >> shift) & 0xFF;
                const uint32_t f = (fast.Get(x, y) >> shift) & 0xFF;
                const uint32_t g = (generic.Get(x, y) >> shift) & 0xFF;
                if (sum % 4 == 2)
                    EXPECT_TRUE(g == f || g + 1 == f) << f << " " << g;
                else
                    EXPECT_EQ(g, f) << x << "," << y << " shift " << shift;
            }
        }
    }
}

// For every packed format: where the average is a whole step, the packed
// routine and the codecs' generic path (taken for dithered words) store the
// same fields; dithering cannot move an exact level.
TEST_P(BoxPackedTest, AgreesWithTheGenericPathOnExactAverages) {
    const PackedFormat& f = GetParam();
    TestImage src(f.format, f.bytes, 8, 6);
    blittest::Random random(f.format);
    for (UINT y = 0; y < 6; y += 2) {
        for (UINT x = 0; x < 8; x += 2) {
            // Per field: a, a, c, c with a and c of equal parity.
            uint32_t top = 0, bottom = 0;
            for (const Field& field : f.fields) {
                const uint32_t max = (1u << field.bits) - 1;
                const uint32_t a = random.Next() & max;
                const uint32_t c = ((random.Next() & max) & ~1u) | (a & 1);
                top |= a << field.shift;
                bottom |= c << field.shift;
            }
            src.Set(x, y, top);
            src.Set(x + 1, y, top);
            src.Set(x, y + 1, bottom);
            src.Set(x + 1, y + 1, bottom);
        }
    }
    TestImage fast(f.format, f.bytes, 4, 3), generic(f.format, f.bytes, 4, 3);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(fast.block(), src.block(), TX_FILTER_BOX), S_OK);
    ASSERT_EQ(blitter.Execute(generic.block(), src.block(), TX_FILTER_BOX | TX_FILTER_DITHER),
              S_OK);
    uint32_t fieldBits = 0;
    for (const Field& field : f.fields)
        fieldBits |= ((1u << field.bits) - 1) << field.shift;
    for (UINT y = 0; y < 3; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_EQ(generic.Get(x, y) & fieldBits, fast.Get(x, y)) << x << "," << y;
}

TEST(BoxFilter, OddSourcesIgnoreTheirLastRowAndColumn) {
    for (DWORD filter : {TX_FILTER_BOX, TX_FILTER_BOX | TX_FILTER_DITHER}) {
        TestImage src(kArgb, 4, 5, 5), dst(kArgb, 4, 2, 2);
        src.Fill(0x40404040);
        for (UINT i = 0; i < 5; ++i) {
            src.Set(4, i, 0xFFFFFFFF);
            src.Set(i, 4, 0xFFFFFFFF);
        }
        Blitter blitter;
        ASSERT_EQ(blitter.Execute(dst.block(), src.block(), filter), S_OK);
        EXPECT_EQ(dst.Pixels(), std::vector<uint32_t>(4, 0x40404040)) << filter;
        EXPECT_TRUE(dst.MarginIntact());
    }
}

// The generic paths, exactly: sums in single precision in a fixed order,
// then scaled.
struct GenericCase {
    const char* name;
    UINT sw, sh, sd, dw, dh, dd;
};

class BoxGenericTest : public ::testing::TestWithParam<GenericCase> {};

TEST_P(BoxGenericTest, AveragesTheCoveredPixels) {
    const GenericCase c = GetParam();
    FloatImage src(c.sw, c.sh, c.sd), dst(c.dw, c.dh, c.dd);
    for (UINT z = 0; z < c.sd; ++z)
        for (UINT y = 0; y < c.sh; ++y)
            for (UINT x = 0; x < c.sw; ++x)
                src.at(x, y, z) = {float(x), float(y), float(z), float(x * 100 + y * 10 + z)};
    dst.Fill(-1);
    auto run = RunStrategy(c.sd == 1 && c.dd == 1 ? &Blitter::TryBox2D : &Blitter::TryBox3D,
                           dst.Codec(), src.Codec(), TX_FILTER_BOX);
    ASSERT_EQ(run.result, S_OK);
    for (UINT z = 0; z < c.dd; ++z) {
        for (UINT y = 0; y < c.dh; ++y) {
            for (UINT x = 0; x < c.dw; ++x) {
                // Mean of the covered indices; a 1-wide (tall, deep) source
                // counts its single pixel twice.
                const float mx = c.sw == 1 ? 0 : 2 * x + 0.5f;
                const float my = c.sh == 1 ? 0 : 2 * y + 0.5f;
                const float mz = c.sd == 1 ? 0 : 2 * z + 0.5f;
                EXPECT_TRUE(
                    blittest::SameColor(dst.at(x, y, z), {mx, my, mz, mx * 100 + my * 10 + mz}))
                    << x << "," << y << "," << z;
            }
        }
    }
    EXPECT_EQ(static_cast<blittest::FloatCodec*>(run.destCodec.get())->encoded.size(),
              size_t(c.dh) * c.dd);
}

INSTANTIATE_TEST_SUITE_P(Shapes, BoxGenericTest,
                         ::testing::Values(GenericCase{"Square", 4, 4, 1, 2, 2, 1},
                                           GenericCase{"OddSquare", 5, 5, 1, 2, 2, 1},
                                           GenericCase{"OneWide", 1, 8, 1, 1, 4, 1},
                                           GenericCase{"OneTall", 8, 1, 1, 4, 1, 1},
                                           GenericCase{"Volume", 4, 4, 4, 2, 2, 2},
                                           GenericCase{"OddVolume", 4, 2, 5, 2, 1, 2},
                                           GenericCase{"FlatVolume", 4, 1, 4, 2, 1, 2},
                                           GenericCase{"ThinVolume", 1, 1, 6, 1, 1, 3}),
                         [](const ::testing::TestParamInfo<GenericCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(BoxFilter, GenericSumsRunInAFixedOrder) {
    // Only one order of the additions gives these results: large values
    // swallow the small ones added to them before they cancel.
    FloatImage src(2, 2), dst(1, 1);
    src.at(0, 0) = {1e8f, 0, 0, 0};
    src.at(1, 0) = {1, 0, 0, 0};
    src.at(0, 1) = {-1e8f, 0, 0, 0};
    src.at(1, 1) = {1, 0, 0, 0};
    ASSERT_EQ(RunStrategy(&Blitter::TryBox2D, dst.Codec(), src.Codec(), TX_FILTER_BOX).result,
              S_OK);
    EXPECT_EQ(dst.at(0).r, 0.25f); // ((P[a] + P[b]) + Q[a]) + Q[b] = 1

    FloatImage vol(2, 2, 2), out(1, 1, 1);
    // P[a], P[b], M[a], M[b], Q[a], Q[b], L[a], L[b], added left to right.
    const float values[8] = {1e8f, 1, 1, 1, -1e8f, 1, 1, 1};
    const UINT where[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1},
                              {0, 1, 0}, {1, 1, 0}, {0, 1, 1}, {1, 1, 1}};
    for (int i = 0; i < 8; ++i)
        vol.at(where[i][0], where[i][1], where[i][2]) = {values[i], 0, 0, 0};
    ASSERT_EQ(RunStrategy(&Blitter::TryBox3D, out.Codec(), vol.Codec(), TX_FILTER_BOX).result,
              S_OK);
    EXPECT_EQ(out.at(0).r, 0.375f);
}

TEST(BoxFilter, DeclinesAnythingButAHalving) {
    struct Case {
        UINT sw, sh, sd, dw, dh, dd;
        DWORD filter;
    };
    for (Case c :
         {Case{8, 8, 1, 3, 3, 1, TX_FILTER_BOX}, Case{4, 4, 1, 2, 2, 1, TX_FILTER_TRIANGLE},
          Case{4, 4, 1, 4, 2, 1, TX_FILTER_BOX}, Case{2, 2, 1, 1, 1, 1, TX_FILTER_LINEAR},
          Case{4, 4, 2, 2, 2, 2, TX_FILTER_BOX}}) {
        FloatImage src(c.sw, c.sh, c.sd), dst(c.dw, c.dh, c.dd);
        EXPECT_EQ(RunStrategy(&Blitter::TryBox2D, dst.Codec(), src.Codec(), c.filter).result,
                  E_FAIL);
        EXPECT_EQ(RunStrategy(&Blitter::TryBox3D, dst.Codec(), src.Codec(), c.filter).result,
                  E_FAIL);
    }
}

} // namespace
