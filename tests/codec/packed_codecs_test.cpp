// The codecs whose pixel is one integer of unsigned fields: every member is
// checked against its layout, against a scalar reference of the encoder, and
// by round trips.
#include <cmath>
#include <limits>
#include <string>

#include "codec_test_util.h"

namespace {

using codectest::NearFieldStep;
using codectest::Random;
using codectest::ReferenceField;
using codectest::ReferenceLuminance;
using codectest::SameColor;
using codectest::TestImage;
using codectest::TowardZero;

struct Field {
    unsigned shift;
    unsigned bits; // 0: not stored
    uint32_t Mask() const { return bits ? ((1u << bits) - 1u) << shift : 0u; }
};

// Each member's pixel, restated from the format definitions.
struct PackedCase {
    const char* name;
    D3DFORMAT format;
    unsigned bytes;
    Field red, green, blue, alpha;
    Field luminance; // stored in place of red, green and blue
    ColorF missing;  // what the channels that are not stored decode to

    uint32_t UsedMask() const {
        return red.Mask() | green.Mask() | blue.Mask() | alpha.Mask() | luminance.Mask();
    }
};

void PrintTo(const PackedCase& c, std::ostream* os) {
    *os << c.name;
}

const PackedCase kPackedCases[] = {
    // name, format, bytes, red, green, blue, alpha, luminance, missing channels
    {"R8G8B8", D3DFMT_R8G8B8, 3, {16, 8}, {8, 8}, {0, 8}, {}, {}, {0, 0, 0, 1}},
    {"A8R8G8B8", D3DFMT_A8R8G8B8, 4, {16, 8}, {8, 8}, {0, 8}, {24, 8}, {}, {0, 0, 0, 1}},
    {"X8R8G8B8", D3DFMT_X8R8G8B8, 4, {16, 8}, {8, 8}, {0, 8}, {}, {}, {0, 0, 0, 1}},
    {"R5G6B5", D3DFMT_R5G6B5, 2, {11, 5}, {5, 6}, {0, 5}, {}, {}, {0, 0, 0, 1}},
    {"X1R5G5B5", D3DFMT_X1R5G5B5, 2, {10, 5}, {5, 5}, {0, 5}, {}, {}, {0, 0, 0, 1}},
    {"A1R5G5B5", D3DFMT_A1R5G5B5, 2, {10, 5}, {5, 5}, {0, 5}, {15, 1}, {}, {0, 0, 0, 1}},
    {"A4R4G4B4", D3DFMT_A4R4G4B4, 2, {8, 4}, {4, 4}, {0, 4}, {12, 4}, {}, {0, 0, 0, 1}},
    {"X4R4G4B4", D3DFMT_X4R4G4B4, 2, {8, 4}, {4, 4}, {0, 4}, {}, {}, {0, 0, 0, 1}},
    {"R3G3B2", D3DFMT_R3G3B2, 1, {5, 3}, {2, 3}, {0, 2}, {}, {}, {0, 0, 0, 1}},
    {"A8R3G3B2", D3DFMT_A8R3G3B2, 2, {5, 3}, {2, 3}, {0, 2}, {8, 8}, {}, {0, 0, 0, 1}},
    {"A8", D3DFMT_A8, 1, {}, {}, {}, {0, 8}, {}, {0, 0, 0, 1}},
    {"L8", D3DFMT_L8, 1, {}, {}, {}, {}, {0, 8}, {0, 0, 0, 1}},
    {"A8L8", D3DFMT_A8L8, 2, {}, {}, {}, {8, 8}, {0, 8}, {0, 0, 0, 1}},
    {"A4L4", D3DFMT_A4L4, 1, {}, {}, {}, {4, 4}, {0, 4}, {0, 0, 0, 1}},
};

uint32_t LoadPixel(const BYTE* p, unsigned bytes) {
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

void StorePixel(BYTE* p, unsigned bytes, uint32_t v) {
    for (unsigned i = 0; i < bytes; ++i)
        p[i] = BYTE(v >> (8 * i));
}

// n x (the single-precision value nearest to 1 / (2^bits - 1)).
float ReferenceDecodeField(uint32_t pixel, Field f) {
    const uint32_t n = (pixel >> f.shift) & ((1u << f.bits) - 1u);
    const float factor = static_cast<float>(1.0 / double((1u << f.bits) - 1u));
    return static_cast<float>(n) * factor;
}

ColorF ReferenceDecode(const PackedCase& c, uint32_t pixel) {
    ColorF out = c.missing;
    if (c.luminance.bits) out.r = out.g = out.b = ReferenceDecodeField(pixel, c.luminance);
    if (c.red.bits) out.r = ReferenceDecodeField(pixel, c.red);
    if (c.green.bits) out.g = ReferenceDecodeField(pixel, c.green);
    if (c.blue.bits) out.b = ReferenceDecodeField(pixel, c.blue);
    if (c.alpha.bits) out.a = ReferenceDecodeField(pixel, c.alpha);
    return out;
}

uint32_t ReferenceEncode(const PackedCase& c, const ColorF& p, float t) {
    TowardZero towardZero;
    uint32_t v = 0;
    auto put = [&](Field f, float value) {
        if (f.bits) v |= ReferenceField(value, f.bits, t) << f.shift;
    };
    if (c.luminance.bits) put(c.luminance, ReferenceLuminance(p));
    put(c.red, p.r);
    put(c.green, p.g);
    put(c.blue, p.b);
    put(c.alpha, p.a);
    return v;
}

// A random pixel for threshold t: in range, out of range (a quarter), or next
// to a step of each stored field (a quarter).
ColorF RandomPixel(const PackedCase& c, Random& random, float t) {
    const uint32_t kind = random.Next() % 4;
    const float lo = kind == 0 ? -0.5f : 0.0f, hi = kind == 0 ? 1.5f : 1.0f;
    ColorF p{random.Uniform(lo, hi), random.Uniform(lo, hi), random.Uniform(lo, hi),
             random.Uniform(lo, hi)};
    if (kind == 1) {
        if (c.red.bits) p.r = NearFieldStep(random, c.red.bits, t);
        if (c.green.bits) p.g = NearFieldStep(random, c.green.bits, t);
        if (c.blue.bits) p.b = NearFieldStep(random, c.blue.bits, t);
        if (c.alpha.bits) p.a = NearFieldStep(random, c.alpha.bits, t);
    }
    return p;
}

class PackedCodec : public ::testing::TestWithParam<PackedCase> {};

TEST_P(PackedCodec, IsCreatedWithItsSizeAndChannelType) {
    const PackedCase& c = GetParam();
    TestImage image(c.format, c.bytes, 3);
    auto codec = image.Codec();
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->format, c.format);
    EXPECT_EQ(codec->bytesPerPixel, c.bytes);
    EXPECT_EQ(codec->channelType, ChannelType::Unsigned);
    EXPECT_TRUE(codec->byteAddressable);
    EXPECT_EQ(codec->rowBytes, 3 * c.bytes);
}

void CheckDecoding(const PackedCase& c) {
    const uint32_t count = c.bytes <= 2 ? (1u << (8 * c.bytes)) : 65536;
    const UINT width = 256;
    TestImage image(c.format, c.bytes, width, count / width);
    Random random(c.format);
    std::vector<uint32_t> values(count);
    for (uint32_t i = 0; i < count; ++i) {
        values[i] = c.bytes <= 2 ? i : (i < 256 ? i * 0x01010101u : random.Next());
        if (c.bytes == 3) values[i] &= 0xFFFFFF;
        StorePixel(&image.bytes[size_t(i) * c.bytes], c.bytes, values[i]);
    }
    auto codec = image.Codec();
    ASSERT_NE(codec, nullptr);
    std::vector<ColorF> row(width);
    for (UINT y = 0; y < count / width; ++y) {
        codec->DecodeRow(y, 0, row.data());
        for (UINT x = 0; x < width; ++x) {
            const uint32_t v = values[y * width + x];
            ASSERT_TRUE(SameColor(row[x], ReferenceDecode(c, v))) << std::hex << "pixel " << v;
        }
    }

    const uint32_t allOnes = c.UsedMask();
    const ColorF top = ReferenceDecode(c, allOnes);
    for (Field f : {c.red, c.green, c.blue, c.alpha, c.luminance}) {
        if (f.bits) {
            EXPECT_EQ(ReferenceDecodeField(allOnes, f), 1.0f);
        }
    }
    StorePixel(image.bytes.data(), c.bytes, allOnes);
    codec->DecodeRow(0, 0, row.data());
    EXPECT_TRUE(SameColor(row[0], top));
}

// Every stored value of an 8- or 16-bit pixel, or a sample of the wider ones,
// decodes to its fields times the single-precision factors, with AVX2 allowed
// and without; the largest value of each field decodes to exactly 1.0.
TEST_P(PackedCodec, DecodesEveryFieldWithTheSinglePrecisionFactors) {
    const PackedCase& c = GetParam();
    for (bool avx2 : {true, false}) {
        SCOPED_TRACE(avx2 ? "AVX2 allowed" : "without AVX2");
        codectest::Avx2Paths paths(avx2);
        CheckDecoding(c);
    }
}

void CheckEncoding(const PackedCase& c, Random& random) {
    for (UINT dither = 0; dither < 2; ++dither) {
        for (UINT width = 1; width < 20; ++width) {
            TestImage image(c.format, c.bytes, width, 4, 4);
            image.block.dither = dither;
            auto codec = image.Codec();
            ASSERT_NE(codec, nullptr);
            std::vector<ColorF> row(width);
            for (UINT z = 0; z < 4; ++z) {
                for (UINT y = 0; y < 4; ++y) {
                    const float* thresholds = dither ? DitherThresholds[y] : NeutralThresholds[y];
                    for (UINT x = 0; x < width; ++x) {
                        row[x] = RandomPixel(c, random, thresholds[(x + z) % 4]);
                    }
                    codec->EncodeRow(y, z, row.data());
                    for (UINT x = 0; x < width; ++x) {
                        const size_t at = image.block.slicePitch * z + image.block.rowPitch * y +
                                          size_t(c.bytes) * x;
                        const uint32_t expected =
                            ReferenceEncode(c, row[x], thresholds[(x + z) % 4]);
                        ASSERT_EQ(LoadPixel(&image.bytes[at], c.bytes), expected)
                            << "dither " << dither << " width " << width << " x " << x << " y " << y
                            << " z " << z;
                    }
                }
            }
        }
    }
}

// Random rows of every width from 1 to 19 (groups of eight and four pixels
// and the remainders), on every row and slice phase, with and without
// dither, against the scalar reference; with AVX2 allowed and without.
TEST_P(PackedCodec, EncodesLikeTheScalarReferenceOnEveryWidthAndPhase) {
    const PackedCase& c = GetParam();
    Random random(c.format * 31 + 1);
    for (bool avx2 : {true, false}) {
        SCOPED_TRACE(avx2 ? "AVX2 allowed" : "without AVX2");
        codectest::Avx2Paths paths(avx2);
        CheckEncoding(c, random);
    }
}

// Decoding and encoding again gives back every stored field, in every
// threshold position; bits outside the fields come back as 0.
TEST_P(PackedCodec, RoundTripReproducesEveryStoredField) {
    const PackedCase& c = GetParam();
    const uint32_t count = c.bytes <= 2 ? (1u << (8 * c.bytes)) : 65536;
    const UINT width = 64;
    const UINT height = count / width / 2;
    TestImage source(c.format, c.bytes, width, height, 2);
    Random random(c.format + 5);
    for (uint32_t i = 0; i < count; ++i) {
        StorePixel(&source.bytes[size_t(i) * c.bytes], c.bytes, c.bytes <= 2 ? i : random.Next());
    }
    for (UINT dither = 0; dither < 2; ++dither) {
        TestImage dest(c.format, c.bytes, width, height, 2);
        dest.block.dither = dither;
        auto decoder = source.Codec();
        auto encoder = dest.Codec();
        std::vector<ColorF> row(width);
        for (UINT z = 0; z < 2; ++z) {
            for (UINT y = 0; y < height; ++y) {
                decoder->DecodeRow(y, z, row.data());
                encoder->EncodeRow(y, z, row.data());
            }
        }
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t stored = LoadPixel(&source.bytes[size_t(i) * c.bytes], c.bytes);
            ASSERT_EQ(LoadPixel(&dest.bytes[size_t(i) * c.bytes], c.bytes), stored & c.UsedMask())
                << "dither " << dither << " pixel " << i;
        }
    }
}

TEST_P(PackedCodec, WhiteSetsEveryStoredBit) {
    const PackedCase& c = GetParam();
    for (UINT dither = 0; dither < 2; ++dither) {
        TestImage image(c.format, c.bytes, 8, 4);
        image.block.dither = dither;
        auto codec = image.Codec();
        const std::vector<ColorF> white(8, ColorF{1.0f, 1.0f, 1.0f, 1.0f});
        for (UINT y = 0; y < 4; ++y)
            codec->EncodeRow(y, 0, white.data());
        for (size_t i = 0; i < image.bytes.size(); i += c.bytes) {
            ASSERT_EQ(LoadPixel(&image.bytes[i], c.bytes), c.UsedMask()) << "dither " << dither;
        }
    }
}

// Whatever one channel holds (far out of range, infinite or NaN), the other
// fields stay exactly as the in-range channels make them; the field itself
// saturates, and NaN stores 0.
TEST_P(PackedCodec, OutOfRangeValuesNeverSpillIntoNeighbouringFields) {
    const PackedCase& c = GetParam();
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float wild[] = {-1.0f, 1.01f, 2.0f, 255.0f, 65536.0f, 1e30f, -1e30f, inf, -inf, nan};
    const float base[] = {0.0f, 1.0f, 0.5f};
    for (int channel = 0; channel < 4; ++channel) {
        for (float w : wild) {
            for (float b : base) {
                // Thirteen pixels: a group of eight, one of four and one more,
                // so that every vector width meets these values.
                std::vector<ColorF> row(13, ColorF{b, b, b, b});
                for (ColorF& p : row)
                    (&p.r)[channel] = w;
                TestImage image(c.format, c.bytes, 13);
                image.Codec()->EncodeRow(0, 0, row.data());
                for (int x = 0; x < 13; ++x) {
                    const uint32_t got = LoadPixel(&image.bytes[size_t(x) * c.bytes], c.bytes);
                    ASSERT_EQ(got & ~c.UsedMask(), 0u);
                    ASSERT_EQ(got, ReferenceEncode(c, row[x], 0.5f))
                        << "channel " << channel << " value " << w << " others " << b;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllMembers, PackedCodec, ::testing::ValuesIn(kPackedCases),
                         [](const ::testing::TestParamInfo<PackedCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
