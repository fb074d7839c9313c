// What sets the alpha and luminance members apart: the luminance weights, the
// dither pattern on a flat alpha, the 1-bit alpha threshold, and alpha-only
// pixels decoding to black.
#include <cmath>

#include "codec_test_util.h"

namespace {

using codectest::SameColor;
using codectest::TestImage;

// The three single-precision weights sum to slightly less than 1 and every
// step of the sum rounds toward zero, so an exact grey of one half stores
// 127, not 128.
TEST(LuminanceCodecs, StoreTheWeightedSumOfRedGreenAndBlue) {
    const struct {
        ColorF color;
        BYTE l8;
        BYTE a4l4Luminance;
    } cases[] = {
        {{1, 0, 0, 1}, 54, 3},   {{0, 1, 0, 1}, 182, 11},         {{0, 0, 1, 1}, 18, 1},
        {{1, 1, 1, 1}, 255, 15}, {{0.5f, 0.5f, 0.5f, 1}, 127, 7}, {{0, 0, 0, 1}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.color.r << "," << c.color.g << "," << c.color.b);
        TestImage l8(D3DFMT_L8, 1, 1);
        l8.Codec()->EncodeRow(0, 0, &c.color);
        EXPECT_EQ(l8.bytes[0], c.l8);

        // A8L8 stores the same luminance in its low byte, alpha above it.
        TestImage a8l8(D3DFMT_A8L8, 2, 1);
        const ColorF withAlpha{c.color.r, c.color.g, c.color.b, 0.25f};
        a8l8.Codec()->EncodeRow(0, 0, &withAlpha);
        EXPECT_EQ(a8l8.bytes[0], c.l8);
        EXPECT_EQ(a8l8.bytes[1], 64); // 63.75 + 0.5

        TestImage a4l4(D3DFMT_A4L4, 1, 1);
        a4l4.Codec()->EncodeRow(0, 0, &withAlpha);
        EXPECT_EQ(a4l4.bytes[0] & 0x0F, c.a4l4Luminance);
        EXPECT_EQ(a4l4.bytes[0] >> 4, 4); // 3.75 + 0.5
    }
}

TEST(LuminanceCodecs, DecodeLuminanceIntoRedGreenAndBlueAlike) {
    TestImage image(D3DFMT_A8L8, 2, 1);
    image.bytes = {200, 100};
    ColorF out;
    image.Codec()->DecodeRow(0, 0, &out);
    const float k = 1.0f / 255;
    EXPECT_TRUE(SameColor(out, {200 * k, 200 * k, 200 * k, 100 * k}));
}

// A flat alpha of one half is 127.5 in 8 bits: plain rounding gives 128
// everywhere; dithering gives 128 where the threshold is above one half and
// 127 at the other eight places of each 4 x 4 tile, the tile moving with the
// slice.
TEST(AlphaCodec, FlatHalfGives128OrTheDitherPattern) {
    const std::vector<ColorF> half(8, ColorF{0.3f, 0.6f, 0.9f, 0.5f});
    for (UINT dither = 0; dither < 2; ++dither) {
        TestImage image(D3DFMT_A8, 1, 8, 4, 2);
        image.block.dither = dither;
        auto codec = image.Codec();
        for (UINT z = 0; z < 2; ++z) {
            for (UINT y = 0; y < 4; ++y)
                codec->EncodeRow(y, z, half.data());
        }
        for (UINT z = 0; z < 2; ++z) {
            int count128 = 0;
            for (UINT y = 0; y < 4; ++y) {
                for (UINT x = 0; x < 8; ++x) {
                    const BYTE stored = image.bytes[z * 32 + y * 8 + x];
                    const bool high = !dither || DitherThresholds[y][(x + z) % 4] > 0.5f;
                    EXPECT_EQ(stored, high ? 128 : 127) << x << "," << y << "," << z;
                    count128 += stored == 128;
                }
            }
            EXPECT_EQ(count128, dither ? 16 : 32); // 8 of every 16 when dithered
        }
    }
}

TEST(AlphaCodec, DecodesBlackWithTheStoredAlphaWhateverColourWasEncoded) {
    TestImage image(D3DFMT_A8, 1, 2);
    const ColorF in[2] = {{1.0f, 0.5f, 0.25f, 0.6f}, {0.9f, 0.9f, 0.9f, 0.0f}};
    auto codec = image.Codec();
    codec->EncodeRow(0, 0, in);
    EXPECT_EQ(image.bytes[0], 153); // 153 + 0.5
    ColorF out[2];
    codec->DecodeRow(0, 0, out);
    EXPECT_TRUE(SameColor(out[0], {0, 0, 0, 153 * (1.0f / 255)}));
    EXPECT_TRUE(SameColor(out[1], {0, 0, 0, 0}));
}

// The 1-bit alpha stores truncate(a + t): without dithering it is set from one
// half upwards; with dithering where a + t reaches 1.
TEST(OneBitAlpha, IsSetWhereAlphaPlusThresholdReachesOne) {
    const float justBelowHalf = std::nextafter(0.5f, 0.0f);
    const float alphas[] = {0.0f, 0.25f, justBelowHalf, 0.5f, 0.75f, 1.0f};
    for (UINT dither = 0; dither < 2; ++dither) {
        for (float a : alphas) {
            TestImage image(D3DFMT_A1R5G5B5, 2, 4, 4);
            image.block.dither = dither;
            auto codec = image.Codec();
            const std::vector<ColorF> row(4, ColorF{0, 0, 0, a});
            for (UINT y = 0; y < 4; ++y)
                codec->EncodeRow(y, 0, row.data());
            for (UINT y = 0; y < 4; ++y) {
                for (UINT x = 0; x < 4; ++x) {
                    const float t = dither ? DitherThresholds[y][x] : 0.5f;
                    bool reachesOne;
                    {
                        // Just below one half plus one half is 1 when rounded
                        // to nearest, but not toward zero.
                        codectest::TowardZero towardZero;
                        reachesOne = a + t >= 1.0f;
                    }
                    const bool set = image.bytes[(y * 4 + x) * 2 + 1] & 0x80;
                    EXPECT_EQ(set, reachesOne) << "alpha " << a << " dither " << dither;
                }
            }
        }
    }
}

} // namespace
