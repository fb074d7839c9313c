// Colour keys through real formats: the key is moved to what the format
// stores, and exactly the pixels that decode to it become (0, 0, 0, 0).
#include <string>

#include "codec_test_util.h"

namespace {

using codectest::SameColor;
using codectest::TestImage;

struct KeyCase {
    const char* name;
    D3DFORMAT format;
    unsigned bytes;
    D3DCOLOR key;
    ColorF keyValue;                // the key after its trip through the format
    std::vector<uint32_t> keyed;    // stored pixels that match the key
    std::vector<uint32_t> notKeyed; // stored pixels that do not
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr float k8 = 1.0f / 255;

const KeyCase kKeyCases[] = {
    {"A8R8G8B8",
     D3DFMT_A8R8G8B8,
     4,
     0x80FF00FF,
     {1, 0, 1, 128 * k8},
     {0x80FF00FF},
     {0xFFFF00FF, 0x80FE00FF, 0x81FF00FF}},
    // Without alpha the key's alpha byte does not matter: every pixel, and so
    // the key, decodes with alpha 1, whatever bits 24-31 hold.
    {"X8R8G8B8 any alpha",
     D3DFMT_X8R8G8B8,
     4,
     0x1200FF00,
     {0, 1, 0, 1},
     {0x0000FF00, 0xAB00FF00},
     {0x0000FE00, 0x0001FF00}},
};

class ColorKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ColorKey, IsQuantisedOnceAndRemovesExactlyTheMatchingPixels) {
    const KeyCase& c = GetParam();
    std::vector<uint32_t> pixels = c.keyed;
    pixels.insert(pixels.end(), c.notKeyed.begin(), c.notKeyed.end());
    const UINT width = static_cast<UINT>(pixels.size());
    TestImage image(c.format, c.bytes, width);
    for (UINT x = 0; x < width; ++x) {
        for (unsigned i = 0; i < c.bytes; ++i) {
            image.bytes[size_t(x) * c.bytes + i] = BYTE(pixels[x] >> (8 * i));
        }
    }
    TestImage plainImage = image;
    plainImage.block.data = plainImage.bytes.data();
    image.block.colorKey = c.key;

    auto keyedCodec = image.Codec();
    auto plainCodec = plainImage.Codec();
    ASSERT_NE(keyedCodec, nullptr);
    EXPECT_TRUE(SameColor(keyedCodec->colorKeyValue, c.keyValue));

    std::vector<ColorF> keyedRow(width), plainRow(width);
    keyedCodec->DecodeRow(0, 0, keyedRow.data());
    plainCodec->DecodeRow(0, 0, plainRow.data());
    for (UINT x = 0; x < width; ++x) {
        const bool isKeyed = x < c.keyed.size();
        EXPECT_TRUE(SameColor(keyedRow[x], isKeyed ? ColorF{0, 0, 0, 0} : plainRow[x]))
            << std::hex << "pixel " << pixels[x];
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ColorKey, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

} // namespace
