// The blit engine: filter words, the strategy chain, and the simple strategies
// (raw copy, converting copy, crop and pad, point sampling).
#include <gtest/gtest.h>

#include "blit/blitter.h"
#include "blit_test_support.h"

namespace {

using blittest::FloatImage;
using blittest::RunStrategy;
using blittest::TestImage;

constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT kXrgb = D3DFMT_X8R8G8B8;

// ---------------------------------------------------------------------------
// Filter words
// ---------------------------------------------------------------------------

TEST(BlitterFilterWord, InvalidWordsAreRefusedBeforeAnythingHappens) {
    for (DWORD word : {0x0u, 0x6u, 0x105u, 0x100001u, 0xFFFFu, 0x80000004u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(testing::Message() << std::hex << word);
        TestImage src(kArgb, 4, 2, 2), dst(kArgb, 4, 2, 2);
        src.Fill(0x11223344);
        dst.block().dither = 7;
        Blitter blitter;
        EXPECT_EQ(blitter.Execute(dst.block(), src.block(), word), D3DERR_INVALIDCALL);
        EXPECT_EQ(dst.block().dither, 7u);
        EXPECT_EQ(dst.Get(0, 0), 0u);
        EXPECT_EQ(blitter.destCodec, nullptr);
        EXPECT_EQ(blitter.sourceCodec, nullptr);
    }
}

TEST(BlitterFilterWord, ValidWordsSetTheDitherFlag) {
    struct Case {
        DWORD word;
        UINT dither;
    };
    for (Case c :
         {Case{0x70005u, 0u}, Case{0x80001u, 0x80000u}, Case{0xF0004u, 0x80000u}, Case{0x2u, 0u}}) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        TestImage src(kArgb, 4, 2, 2), dst(kArgb, 4, 2, 2);
        src.Fill(0x11223344);
        dst.block().dither = 5;
        Blitter blitter;
        EXPECT_EQ(blitter.Execute(dst.block(), src.block(), c.word), S_OK);
        EXPECT_EQ(dst.block().dither, c.dither);
        EXPECT_EQ(dst.Get(1, 1), 0x11223344u);
        // The codecs live for the call only.
        EXPECT_EQ(blitter.destCodec, nullptr);
        EXPECT_EQ(blitter.sourceCodec, nullptr);
    }
}

TEST(BlitterFilterWord, FormatWithoutCodecFails) {
    TestImage good(kArgb, 4, 2, 2), unknown(D3DFMT_UNKNOWN, 4, 2, 2);
    Blitter blitter;
    EXPECT_EQ(blitter.Execute(unknown.block(), good.block(), TX_FILTER_NONE), E_FAIL);
    EXPECT_EQ(blitter.Execute(good.block(), unknown.block(), TX_FILTER_NONE | TX_FILTER_DITHER),
              E_FAIL);
    // The flag was set before the codecs were built.
    EXPECT_EQ(good.block().dither, TX_FILTER_DITHER);
    EXPECT_TRUE(good.MarginIntact());
}

// ---------------------------------------------------------------------------
// The chain: which strategy takes which transfer
// ---------------------------------------------------------------------------

struct ChainCase {
    const char* name;
    D3DFORMAT srcFormat, dstFormat;
    UINT sw, sh, sd;
    UINT dw, dh, dd;
    DWORD filter;
    D3DCOLOR colorKey;
    blittest::Strategy expected;
};

void PrintTo(const ChainCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr blittest::Strategy kChain[] = {
    &Blitter::TryIdentical,  &Blitter::TryConvert,   &Blitter::TryNone,     &Blitter::TryPoint,
    &Blitter::TryBox2D,      &Blitter::TryBox3D,     &Blitter::TryLinear2D, &Blitter::TryLinear3D,
    &Blitter::TryTriangle2D, &Blitter::TryTriangle3D};

class BlitterChainTest : public ::testing::TestWithParam<ChainCase> {};

// Every strategy before the expected one declines on its own, the expected
// one accepts, and Execute gives exactly its result.
TEST_P(BlitterChainTest, FirstAcceptingStrategyDoesTheTransfer) {
    const ChainCase& c = GetParam();
    TestImage src(c.srcFormat, 4, c.sw, c.sh, c.sd);
    blittest::FillRandom(src, 17);
    src.Set(0, 0, 0, 0xFF0000FF);
    src.block().colorKey = c.colorKey;

    for (blittest::Strategy strategy : kChain) {
        TestImage dst(c.dstFormat, 4, c.dw, c.dh, c.dd);
        const HRESULT hr = RunStrategy(strategy, dst.block(), src.block(), c.filter);
        if (strategy == c.expected) {
            ASSERT_EQ(hr, S_OK);
            TestImage viaEngine(c.dstFormat, 4, c.dw, c.dh, c.dd);
            Blitter blitter;
            ASSERT_EQ(blitter.Execute(viaEngine.block(), src.block(), c.filter), S_OK);
            EXPECT_EQ(viaEngine.Pixels(), dst.Pixels());
            EXPECT_TRUE(viaEngine.MarginIntact());
            return;
        }
        EXPECT_TRUE(FAILED(hr)) << "an earlier strategy accepted";
        EXPECT_EQ(dst.Pixels(), std::vector<uint32_t>(dst.Pixels().size(), 0u))
            << "a declining strategy wrote pixels";
    }
    FAIL() << "expected strategy not in the chain";
}

INSTANTIATE_TEST_SUITE_P(
    Acceptance, BlitterChainTest,
    ::testing::Values(
        // Equal sizes are never filtered, whatever the kind.
        ChainCase{"SameSizeTriangle", kArgb, kArgb, 4, 4, 1, 4, 4, 1, TX_FILTER_TRIANGLE, 0,
                  &Blitter::TryIdentical},
        ChainCase{"SameSizeBoxVolume", kArgb, kArgb, 4, 4, 4, 4, 4, 4, TX_FILTER_BOX, 0,
                  &Blitter::TryIdentical},
        ChainCase{"SameSizeKeyed", kArgb, kArgb, 4, 4, 1, 4, 4, 1, TX_FILTER_LINEAR, 0xFF0000FF,
                  &Blitter::TryConvert},
        ChainCase{"SameSizeOtherFormat", kArgb, kXrgb, 3, 5, 1, 3, 5, 1, TX_FILTER_POINT, 0,
                  &Blitter::TryConvert},
        ChainCase{"NonePads", kArgb, kArgb, 4, 4, 1, 8, 2, 1, TX_FILTER_NONE, 0, &Blitter::TryNone},
        ChainCase{"PointShrinks", kArgb, kArgb, 3, 3, 1, 2, 2, 1, TX_FILTER_POINT, 0,
                  &Blitter::TryPoint},
        ChainCase{"BoxHalves", kArgb, kArgb, 4, 4, 1, 2, 2, 1, TX_FILTER_BOX, 0,
                  &Blitter::TryBox2D},
        ChainCase{"BoxHalvesOdd", kArgb, kArgb, 5, 5, 1, 2, 2, 1, TX_FILTER_BOX, 0,
                  &Blitter::TryBox2D},
        ChainCase{"BoxOneWide", kArgb, kArgb, 1, 8, 1, 1, 4, 1, TX_FILTER_BOX, 0,
                  &Blitter::TryBox2D},
        ChainCase{"BoxVolume", kArgb, kArgb, 4, 4, 4, 2, 2, 2, TX_FILTER_BOX, 0,
                  &Blitter::TryBox3D},
        // A box that is not an exact halving ends at the triangle filter.
        ChainCase{"BoxNotHalving", kArgb, kArgb, 8, 8, 1, 3, 3, 1, TX_FILTER_BOX, 0,
                  &Blitter::TryTriangle2D},
        ChainCase{"BoxVolumeNotHalving", kArgb, kArgb, 4, 4, 4, 2, 2, 4, TX_FILTER_BOX, 0,
                  &Blitter::TryTriangle3D},
        ChainCase{"Linear", kArgb, kArgb, 4, 4, 1, 2, 7, 1, TX_FILTER_LINEAR, 0,
                  &Blitter::TryLinear2D},
        ChainCase{"LinearVolume", kArgb, kArgb, 4, 4, 4, 2, 2, 2, TX_FILTER_LINEAR, 0,
                  &Blitter::TryLinear3D},
        ChainCase{"Triangle", kArgb, kArgb, 6, 6, 1, 4, 4, 1, TX_FILTER_TRIANGLE, 0,
                  &Blitter::TryTriangle2D},
        ChainCase{"TriangleVolume", kArgb, kXrgb, 4, 4, 4, 2, 2, 2, TX_FILTER_TRIANGLE, 0,
                  &Blitter::TryTriangle3D}),
    [](const ::testing::TestParamInfo<ChainCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Identical copy
// ---------------------------------------------------------------------------

TEST(BlitterIdentical, CopiesBytesUnchanged) {
    // X8R8G8B8 carries arbitrary bytes in X; only a raw copy keeps them.
    TestImage src(kXrgb, 4, 5, 3, 2), dst(kXrgb, 4, 5, 3, 2);
    blittest::FillRandom(src, 3);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_BOX), S_OK);
    EXPECT_EQ(dst.Pixels(), src.Pixels());
    EXPECT_TRUE(dst.MarginIntact());
}

TEST(BlitterIdentical, SourceColorKeyConvertsInstead) {
    TestImage src(kArgb, 4, 3, 2), dst(kArgb, 4, 3, 2);
    blittest::FillRandom(src, 5);
    src.Set(1, 1, 0x80FF00FF);
    src.Set(2, 0, 0x80FF00FF);
    src.block().colorKey = 0x80FF00FF;
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_TRIANGLE), S_OK);
    for (UINT y = 0; y < 2; ++y) {
        for (UINT x = 0; x < 3; ++x) {
            const bool keyed = (x == 1 && y == 1) || (x == 2 && y == 0);
            EXPECT_EQ(dst.Get(x, y), keyed ? 0u : src.Get(x, y)) << x << "," << y;
        }
    }
}

// Indices are copied only when they mean the same colours. The source palette
// holds red twice (entries 3 and 7); a pixel of index 7 converted through its
// colour comes out as the first red entry of the destination palette.
TEST(BlitterIdentical, PalettesDifferingInTheLastEntryConvert) {
    std::vector<PALETTEENTRY> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 255};
    palette[3] = palette[7] = {255, 0, 0, 255};
    std::vector<PALETTEENTRY> other = palette;
    other[255].peBlue ^= 1;

    struct Case {
        const std::vector<PALETTEENTRY>* destPalette;
        uint32_t expected;
    };
    for (Case c : {Case{&palette, 7}, Case{&other, 3}}) {
        TestImage src(D3DFMT_P8, 1, 3, 2), dst(D3DFMT_P8, 1, 3, 2);
        src.Fill(7);
        src.block().palette = palette.data();
        dst.block().palette = c.destPalette->data();
        Blitter blitter;
        ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_TRIANGLE), S_OK);
        EXPECT_EQ(dst.Pixels(), std::vector<uint32_t>(6, c.expected));
    }
}

TEST(BlitterIdentical, EmptyBoxesSucceed) {
    TestImage src(kArgb, 4, 0, 3), dst(kArgb, 4, 0, 3);
    Blitter blitter;
    EXPECT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_NONE), S_OK);
    EXPECT_TRUE(dst.MarginIntact());
}

// A block-compressed format: 8-byte blocks of 4x4 pixels, addressed by rows
// of blocks. The codec has no pixels of its own; only raw copies work.
class RawDxt1Codec : public PixelCodec {
public:
    explicit RawDxt1Codec(const PixelBlock& block) : PixelCodec(block, 0, ChannelType::Unsigned) {}
};

struct DxtImage {
    DxtImage(UINT blocksWide, UINT blocksHigh, UINT slices, BYTE seed)
        : bytes(size_t(blocksWide) * 8 * blocksHigh * slices) {
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<BYTE>(seed + i * 7);
        block.data = bytes.data();
        block.format = D3DFMT_DXT1;
        block.rowPitch = blocksWide * 8;
        block.slicePitch = block.rowPitch * blocksHigh;
        block.bounds = {0, 0, blocksWide * 4, blocksHigh * 4, 0, slices};
        block.box = block.bounds;
    }
    const BYTE* Block(UINT bx, UINT by, UINT z) const {
        return bytes.data() + z * block.slicePitch + by * block.rowPitch + bx * 8;
    }
    std::vector<BYTE> bytes;
    PixelBlock block{};
};

TEST(BlitterIdenticalBlocks, CopiesWholeBlocksBetweenAlignedBoxes) {
    DxtImage src(4, 3, 2, 1), dst(3, 4, 2, 200);
    const std::vector<BYTE> untouched = dst.bytes;
    // Blocks (1..2, 1..2) of the source go to blocks (0..1, 2..3) of the
    // destination, in both slices.
    src.block.box = {4, 4, 12, 12, 0, 2};
    dst.block.box = {0, 8, 8, 16, 0, 2};
    auto run = RunStrategy(&Blitter::TryIdentical, std::make_unique<RawDxt1Codec>(dst.block),
                           std::make_unique<RawDxt1Codec>(src.block), TX_FILTER_TRIANGLE);
    ASSERT_EQ(run.result, S_OK);
    for (UINT z = 0; z < 2; ++z) {
        for (UINT by = 0; by < 4; ++by) {
            for (UINT bx = 0; bx < 3; ++bx) {
                const bool inside = by >= 2 && bx <= 1;
                const BYTE* got = dst.Block(bx, by, z);
                const BYTE* want = inside ? src.Block(bx + 1, by - 1, z)
                                          : untouched.data() + (got - dst.bytes.data());
                EXPECT_EQ(std::memcmp(got, want, 8), 0) << bx << "," << by << "," << z;
            }
        }
    }
}

TEST(BlitterIdenticalBlocks, DeclinesBoxesThatCutBlocks) {
    // A 2x2 level: the box ends inside its only block.
    struct Case {
        D3DBOX srcBox, dstBox;
    };
    for (Case c : {Case{{0, 0, 2, 2, 0, 1}, {0, 0, 2, 2, 0, 1}},
                   Case{{4, 0, 8, 4, 0, 1}, {2, 0, 6, 4, 0, 1}},
                   Case{{0, 1, 4, 5, 0, 1}, {0, 0, 4, 4, 0, 1}}}) {
        DxtImage src(2, 2, 1, 1), dst(2, 2, 1, 100);
        const std::vector<BYTE> before = dst.bytes;
        src.block.box = c.srcBox;
        dst.block.box = c.dstBox;
        auto run =
            RunStrategy(&Blitter::TryIdenticalBlocks, std::make_unique<RawDxt1Codec>(dst.block),
                        std::make_unique<RawDxt1Codec>(src.block), TX_FILTER_NONE);
        EXPECT_EQ(run.result, E_FAIL);
        EXPECT_EQ(dst.bytes, before);
    }
}

TEST(BlitterIdenticalBlocks, DeclinesFormatsWithoutBlocks) {
    // Same alignment rules pass, but a YUV format is not made of 4x4 blocks.
    DxtImage src(2, 1, 1, 1), dst(2, 1, 1, 100);
    src.block.format = dst.block.format = D3DFMT_YUY2;
    auto run = RunStrategy(&Blitter::TryIdentical, std::make_unique<RawDxt1Codec>(dst.block),
                           std::make_unique<RawDxt1Codec>(src.block), TX_FILTER_NONE);
    EXPECT_EQ(run.result, E_FAIL);
}

// ---------------------------------------------------------------------------
// Converting copy
// ---------------------------------------------------------------------------

TEST(BlitterConvert, ConvertsEveryRowOfEverySlice) {
    TestImage src(kArgb, 4, 3, 2, 3), dst(kXrgb, 4, 3, 2, 3);
    blittest::FillRandom(src, 9);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_POINT), S_OK);
    for (UINT z = 0; z < 3; ++z)
        for (UINT y = 0; y < 2; ++y)
            for (UINT x = 0; x < 3; ++x)
                EXPECT_EQ(dst.Get(x, y, z) & 0xFFFFFF, src.Get(x, y, z) & 0xFFFFFF);
    EXPECT_TRUE(dst.MarginIntact());
}

// ---------------------------------------------------------------------------
// No filter: crop and pad
// ---------------------------------------------------------------------------

struct PadCase {
    UINT sw, sh, sd, dw, dh, dd;
};

class BlitterNoneTest : public ::testing::TestWithParam<PadCase> {};

// The destination gets the source's corner pixel for pixel; everything
// beyond the source is (0, 0, 0, 0).
TEST_P(BlitterNoneTest, CopiesTheCornerAndPadsWithZero) {
    const PadCase c = GetParam();
    TestImage src(kArgb, 4, c.sw, c.sh, c.sd), dst(kArgb, 4, c.dw, c.dh, c.dd);
    blittest::FillRandom(src, 11);
    dst.Fill(0x5A5A5A5A);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(dst.block(), src.block(), TX_FILTER_NONE | TX_FILTER_DITHER), S_OK);
    for (UINT z = 0; z < c.dd; ++z)
        for (UINT y = 0; y < c.dh; ++y)
            for (UINT x = 0; x < c.dw; ++x) {
                const bool inside = x < c.sw && y < c.sh && z < c.sd;
                EXPECT_EQ(dst.Get(x, y, z), inside ? src.Get(x, y, z) : 0u)
                    << x << "," << y << "," << z;
            }
    EXPECT_TRUE(dst.MarginIntact());
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlitterNoneTest,
                         ::testing::Values(PadCase{4, 4, 1, 8, 2, 1}, PadCase{4, 4, 1, 2, 8, 1},
                                           PadCase{3, 2, 2, 2, 3, 4}, PadCase{2, 2, 3, 5, 1, 2},
                                           PadCase{0, 0, 1, 3, 2, 1}));

// ---------------------------------------------------------------------------
// Point filter
// ---------------------------------------------------------------------------

// Source index sampled by each destination index, read from a row whose
// pixels hold their own index.
std::vector<UINT> PointIndices(UINT sourceWidth, UINT destWidth) {
    FloatImage src(sourceWidth, 1), dst(destWidth, 1);
    for (UINT x = 0; x < sourceWidth; ++x)
        src.at(x) = {float(x), 0, 0, 0};
    auto run = RunStrategy(&Blitter::TryPoint, dst.Codec(), src.Codec(), TX_FILTER_POINT);
    EXPECT_EQ(run.result, S_OK);
    std::vector<UINT> indices;
    for (UINT x = 0; x < destWidth; ++x)
        indices.push_back(static_cast<UINT>(dst.at(x).r));
    return indices;
}

TEST(BlitterPoint, SamplesWithSixteenBitFractions) {
    // Left edges aligned, no centring: floor(d * step / 65536).
    EXPECT_EQ(PointIndices(3, 2), (std::vector<UINT>{0, 1}));
    EXPECT_EQ(PointIndices(2, 5), (std::vector<UINT>{0, 0, 0, 1, 1}));
    // The truncated step of 2/6 (21845) falls short of 1 at index 3.
    EXPECT_EQ(PointIndices(2, 6), (std::vector<UINT>{0, 0, 0, 0, 1, 1}));
}

TEST(BlitterPoint, LargeExtentsSampleExactly) {
    // 70000 * 65536 does not fit in 32 bits.
    std::vector<UINT> wide = PointIndices(70000, 7);
    EXPECT_EQ(wide, (std::vector<UINT>{0, 10000, 20000, 30000, 40000, 50000, 60000}));
    // Upscaling past 65536: a 16.16 step of 2/65538 would be 1/65536 and
    // sample pixel 0 almost everywhere; the halfway point is 32769.
    std::vector<UINT> tall = PointIndices(2, 65538);
    EXPECT_EQ(tall[32768], 0u);
    EXPECT_EQ(tall[32769], 1u);
    EXPECT_EQ(tall[65537], 1u);
}

TEST(BlitterPoint, RowsAndSlicesFollowTheSameRule) {
    FloatImage src(1, 3, 2), dst(1, 2, 5);
    for (UINT z = 0; z < 2; ++z)
        for (UINT y = 0; y < 3; ++y)
            src.at(0, y, z) = {float(y), float(z), 0, 0};
    auto run = RunStrategy(&Blitter::TryPoint, dst.Codec(), src.Codec(), TX_FILTER_POINT);
    ASSERT_EQ(run.result, S_OK);
    const float slices[5] = {0, 0, 0, 1, 1};
    for (UINT z = 0; z < 5; ++z) {
        EXPECT_EQ(dst.at(0, 0, z).r, 0.0f);
        EXPECT_EQ(dst.at(0, 1, z).r, 1.0f);
        EXPECT_EQ(dst.at(0, 1, z).g, slices[z]);
    }
    // Each source row is decoded once per slice run: two rows per slice.
    EXPECT_EQ(static_cast<blittest::FloatCodec*>(run.destCodec.get())->encoded.size(), 10u);
}

TEST(BlitterPoint, EmptyBoxes) {
    // Nothing to write: success, nothing touched.
    TestImage src(kArgb, 4, 4, 4), empty(kArgb, 4, 0, 3);
    blittest::FillRandom(src, 1);
    Blitter blitter;
    EXPECT_EQ(blitter.Execute(empty.block(), src.block(), TX_FILTER_POINT), S_OK);
    EXPECT_TRUE(empty.MarginIntact());
    // Nothing to sample a non-empty destination from: no strategy can.
    TestImage none(kArgb, 4, 0, 4), dst(kArgb, 4, 2, 2);
    EXPECT_EQ(blitter.Execute(dst.block(), none.block(), TX_FILTER_POINT), E_FAIL);
    EXPECT_TRUE(dst.MarginIntact());
}

} // namespace
