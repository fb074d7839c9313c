// The palette codecs: decoding through the palette, the nearest-entry search
// (against a sequential reference), ties, and A8P8's own alpha.
#include <cfloat>

#include "codec_test_util.h"

namespace {

using codectest::Random;
using codectest::SameColor;
using codectest::TestImage;
using codectest::TowardZero;

constexpr float k8 = 1.0f / 255;

ColorF EntryColor(const PALETTEENTRY& e) {
    return {e.peRed * k8, e.peGreen * k8, e.peBlue * k8, e.peFlags * k8};
}

// The plain search: every entry in order, strictly nearer replaces.
int ReferenceNearest(const PALETTEENTRY* palette, const ColorF& c, bool withAlpha) {
    int best = 0;
    float bestDistance = FLT_MAX;
    for (int i = 0; i < 256; ++i) {
        const ColorF e = palette ? EntryColor(palette[i]) : ColorF{1, 1, 1, 1};
        const float dr = c.r - e.r, dg = c.g - e.g, db = c.b - e.b, da = c.a - e.a;
        float d = dr * dr + dg * dg;
        d = d + db * db;
        if (withAlpha) d = d + da * da;
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

// A palette with many repeated colours (ties) and some entries that differ
// from others in alpha alone.
std::vector<PALETTEENTRY> MakePalette(uint32_t seed) {
    Random random(seed);
    std::vector<PALETTEENTRY> palette(256);
    for (int i = 0; i < 256; ++i) {
        if (i >= 16 && random.Next() % 3 == 0) {
            palette[i] = palette[random.Next() % 16];
            if (random.Next() % 2) palette[i].peFlags = BYTE(random.Next());
        } else {
            // Coarse levels make equal distances common.
            palette[i] = {BYTE(random.Next() % 5 * 60), BYTE(random.Next() % 5 * 60),
                          BYTE(random.Next() % 5 * 60), BYTE(random.Next() % 3 * 127)};
        }
    }
    return palette;
}

TEST(PaletteCodecs, DecodeP8IntoTheWholeEntryAndA8P8WithItsOwnAlpha) {
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{1, 2, 3, 4});
    palette[7] = {255, 128, 0, 0}; // alpha 0 in the palette

    TestImage p8(D3DFMT_P8, 1, 2);
    p8.block.palette = palette.data();
    p8.bytes = {7, 0};
    ColorF out[2];
    p8.Codec()->DecodeRow(0, 0, out);
    EXPECT_TRUE(SameColor(out[0], {1.0f, 128 * k8, 0.0f, 0.0f}));
    EXPECT_TRUE(SameColor(out[1], {1 * k8, 2 * k8, 3 * k8, 4 * k8}));

    // A8P8: low byte index, high byte alpha; the entry's alpha 0 is ignored.
    TestImage a8p8(D3DFMT_A8P8, 2, 2);
    a8p8.block.palette = palette.data();
    a8p8.bytes = {7, 200, 0, 0};
    a8p8.Codec()->DecodeRow(0, 0, out);
    EXPECT_TRUE(SameColor(out[0], {1.0f, 128 * k8, 0.0f, 200 * k8}));
    EXPECT_TRUE(SameColor(out[1], {1 * k8, 2 * k8, 3 * k8, 0.0f}));
}

TEST(PaletteCodecs, WithoutPaletteEveryIndexIsOpaqueWhiteAndEveryPixelEncodesAsZero) {
    const ColorF in[3] = {{0, 0, 0, 0}, {1, 1, 1, 1}, {0.2f, 0.7f, 0.1f, 0.5f}};
    TestImage p8(D3DFMT_P8, 1, 3);
    auto p8Codec = p8.Codec();
    p8Codec->EncodeRow(0, 0, in);
    EXPECT_EQ(p8.bytes, std::vector<BYTE>(3, 0));
    p8.bytes = {0, 99, 255};
    ColorF out[3];
    p8Codec->DecodeRow(0, 0, out);
    for (const ColorF& c : out)
        EXPECT_TRUE(SameColor(c, {1, 1, 1, 1}));

    TestImage a8p8(D3DFMT_A8P8, 2, 3);
    auto a8p8Codec = a8p8.Codec();
    a8p8Codec->EncodeRow(0, 0, in);
    EXPECT_EQ(a8p8.bytes, (std::vector<BYTE>{0, 0, 0, 255, 0, 128}));
    a8p8Codec->DecodeRow(0, 0, out);
    EXPECT_TRUE(SameColor(out[0], {1, 1, 1, 0}));
    EXPECT_TRUE(SameColor(out[2], {1, 1, 1, 128 * k8}));
}

TEST(PaletteCodecs, EqualDistancesGoToTheLowestIndex) {
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{255, 255, 255, 255});
    // Black lies at the same distance from pure red 100 and pure green 100.
    palette[9] = {100, 0, 0, 255};
    palette[3] = {0, 100, 0, 255};
    palette[200] = {0, 0, 100, 255};
    // Two equal entries, the later one first in the search's lanes.
    palette[6] = {250, 240, 230, 255};
    palette[5] = {250, 240, 230, 255};
    const ColorF in[2] = {{0, 0, 0, 1}, EntryColor(palette[6])};

    TestImage p8(D3DFMT_P8, 1, 2);
    p8.block.palette = palette.data();
    p8.Codec()->EncodeRow(0, 0, in);
    EXPECT_EQ(p8.bytes, (std::vector<BYTE>{3, 5}));

    TestImage a8p8(D3DFMT_A8P8, 2, 2);
    a8p8.block.palette = palette.data();
    a8p8.Codec()->EncodeRow(0, 0, in);
    EXPECT_EQ(a8p8.bytes[0], 3);
    EXPECT_EQ(a8p8.bytes[2], 5);
}

// P8 compares alpha; A8P8 compares colour only and keeps alpha beside it.
TEST(PaletteCodecs, P8SearchesWithAlphaAndA8P8WithoutIt) {
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{0, 0, 0, 0});
    palette[1] = {200, 100, 50, 0};
    palette[2] = {200, 100, 50, 255};
    const ColorF opaque = EntryColor(palette[2]);

    TestImage p8(D3DFMT_P8, 1, 1);
    p8.block.palette = palette.data();
    p8.Codec()->EncodeRow(0, 0, &opaque);
    EXPECT_EQ(p8.bytes[0], 2);

    TestImage a8p8(D3DFMT_A8P8, 2, 1);
    a8p8.block.palette = palette.data();
    a8p8.Codec()->EncodeRow(0, 0, &opaque);
    EXPECT_EQ(a8p8.bytes[0], 1);
    EXPECT_EQ(a8p8.bytes[1], 255);
}

void CheckSearch() {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const std::vector<PALETTEENTRY> palette = MakePalette(seed);
        Random random(seed * 977);
        std::vector<ColorF> row(300);
        for (ColorF& c : row) {
            if (random.Next() % 4 == 0) {
                c = EntryColor(palette[random.Next() % 256]); // exactly on an entry
            } else {
                c = {random.Uniform(-0.2f, 1.2f), random.Uniform(-0.2f, 1.2f),
                     random.Uniform(-0.2f, 1.2f), random.Uniform(-0.2f, 1.2f)};
            }
        }
        for (UINT dither = 0; dither < 2; ++dither) {
            TestImage p8(D3DFMT_P8, 1, 300, 2);
            p8.block.palette = palette.data();
            p8.block.dither = dither;
            p8.Codec()->EncodeRow(1, 0, row.data());

            TestImage a8p8(D3DFMT_A8P8, 2, 300, 2);
            a8p8.block.palette = palette.data();
            a8p8.block.dither = dither;
            a8p8.Codec()->EncodeRow(1, 0, row.data());

            for (UINT x = 0; x < 300; ++x) {
                ASSERT_EQ(p8.bytes[300 + x], ReferenceNearest(palette.data(), row[x], true))
                    << "seed " << seed << " x " << x;
                TowardZero towardZero; // A8P8 searches inside its rounding frame
                ASSERT_EQ(a8p8.bytes[600 + 2 * x], ReferenceNearest(palette.data(), row[x], false))
                    << "seed " << seed << " x " << x;
                ASSERT_EQ(a8p8.bytes[600 + 2 * x + 1],
                          codectest::ReferenceField(row[x].a, 8,
                                                    dither ? DitherThresholds[1][x % 4] : 0.5f));
            }
        }
    }
}

// Random pixels (in and out of range) against the sequential search, on
// palettes full of ties, written into the second row, with AVX2 allowed and
// without; dithering changes nothing in P8 and only the alpha byte of A8P8.
TEST(PaletteCodecs, SearchMatchesTheSequentialReference) {
    for (bool avx2 : {true, false}) {
        SCOPED_TRACE(avx2 ? "AVX2 allowed" : "without AVX2");
        codectest::Avx2Paths paths(avx2);
        CheckSearch();
    }
}

// An index comes back as the lowest index whose entry has the same colour
// over the channels that the search compares.
TEST(PaletteCodecs, RoundTripGivesTheLowestIndexOfTheSameColour) {
    const std::vector<PALETTEENTRY> palette = MakePalette(42);
    for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8}) {
        const bool withAlpha = format == D3DFMT_P8;
        const UINT bytes = withAlpha ? 1 : 2;
        TestImage source(format, bytes, 256);
        source.block.palette = palette.data();
        for (UINT i = 0; i < 256; ++i) {
            source.bytes[i * bytes] = BYTE(i);
            if (!withAlpha) source.bytes[i * bytes + 1] = BYTE(255 - i);
        }
        TestImage dest(format, bytes, 256);
        dest.block.palette = palette.data();
        std::vector<ColorF> row(256);
        source.Codec()->DecodeRow(0, 0, row.data());
        dest.Codec()->EncodeRow(0, 0, row.data());
        for (UINT i = 0; i < 256; ++i) {
            UINT lowest = 0;
            while (!(palette[lowest].peRed == palette[i].peRed &&
                     palette[lowest].peGreen == palette[i].peGreen &&
                     palette[lowest].peBlue == palette[i].peBlue &&
                     (!withAlpha || palette[lowest].peFlags == palette[i].peFlags))) {
                ++lowest;
            }
            EXPECT_EQ(dest.bytes[i * bytes], lowest) << "format " << format << " index " << i;
            if (!withAlpha) {
                EXPECT_EQ(dest.bytes[i * bytes + 1], 255 - i);
            }
        }
    }
}

} // namespace
