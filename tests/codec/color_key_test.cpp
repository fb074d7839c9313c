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
    const PALETTEENTRY* palette = nullptr;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr float k8 = 1.0f / 255;

// Entries 3 and 7 share a colour; 5 differs from them in alpha alone.
const PALETTEENTRY* KeyPalette() {
    static std::vector<PALETTEENTRY> palette = [] {
        std::vector<PALETTEENTRY> p(256, PALETTEENTRY{0, 0, 255, 255});
        p[3] = p[7] = {200, 10, 10, 255};
        p[5] = {200, 10, 10, 128};
        p[6] = {190, 10, 10, 255};
        return p;
    }();
    return palette.data();
}

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
    // A key that the format cannot hold moves to what it stores: red and blue
    // 254 become 31, so pure magenta is removed.
    {"R5G6B5 magenta",
     D3DFMT_R5G6B5,
     2,
     0xFFFE00FE,
     {1, 0, 1, 1},
     {0xF81F},
     {0xF01F, 0xF83F, 0xF81E}},
    {"A8 alpha only", D3DFMT_A8, 1, 0x80FFFFFF, {0, 0, 0, 128 * k8}, {0x80}, {0x7F, 0x81}},
    // A luminance format stores the key's luminance: pure red keys 54.
    {"L8 red", D3DFMT_L8, 1, 0xFFFF0000, {54 * k8, 54 * k8, 54 * k8, 1}, {54}, {53, 55, 255}},
    // The key becomes the nearest entry's colour; every index with exactly
    // that colour, alpha included, is removed.
    {"P8 nearest entry",
     D3DFMT_P8,
     1,
     0xFFC80C0A,
     {200 * k8, 10 * k8, 10 * k8, 1},
     {3, 7},
     {5, 6, 0},
     KeyPalette()},
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
    image.block.palette = plainImage.block.palette = c.palette;
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
