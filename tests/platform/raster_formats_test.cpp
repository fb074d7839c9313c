// Rasterizer core: vertex format layouts, texel conversion and the sample
// buffer's storage, clearing and resolve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/raster/image_ops.h"
#include "platform/raster/sample_buffer.h"
#include "platform/raster/texel_decode.h"
#include "platform/raster/vertex_format.h"

namespace {

using txraster::ParseVertexFormat;
using txraster::VertexLayout;

TEST(VertexFormat, LaysOutEveryPartInOrder) {
    VertexLayout l;
    ASSERT_TRUE(ParseVertexFormat(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, &l));
    EXPECT_EQ(l.stride, 24u);
    EXPECT_FALSE(l.pretransformed);
    EXPECT_EQ(l.diffuseOffset, 12);
    EXPECT_EQ(l.texCoordSets, 1);
    EXPECT_EQ(l.texCoordOffset[0], 16);
    EXPECT_EQ(l.texCoordFloats[0], 2);

    ASSERT_TRUE(ParseVertexFormat(D3DFVF_XYZRHW | D3DFVF_DIFFUSE, &l));
    EXPECT_EQ(l.stride, 20u);
    EXPECT_TRUE(l.pretransformed);
    EXPECT_EQ(l.diffuseOffset, 16);
    EXPECT_EQ(l.specularOffset, -1);
    EXPECT_EQ(l.texCoordSets, 0);

    // Normal, point size, both colours and three coordinate sets of one,
    // four and two floats.
    const DWORD rich = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                       D3DFVF_SPECULAR | (3u << D3DFVF_TEXCOUNT_SHIFT) | (3u << 16) | (2u << 18);
    ASSERT_TRUE(ParseVertexFormat(rich, &l));
    EXPECT_EQ(l.normalOffset, 12);
    EXPECT_EQ(l.pointSizeOffset, 24);
    EXPECT_EQ(l.diffuseOffset, 28);
    EXPECT_EQ(l.specularOffset, 32);
    EXPECT_EQ(l.texCoordOffset[0], 36);
    EXPECT_EQ(l.texCoordFloats[0], 1);
    EXPECT_EQ(l.texCoordOffset[1], 40);
    EXPECT_EQ(l.texCoordFloats[1], 4);
    EXPECT_EQ(l.texCoordOffset[2], 56);
    EXPECT_EQ(l.texCoordFloats[2], 2);
    EXPECT_EQ(l.stride, 64u);

    // Two blend weights sit between the position and the rest.
    ASSERT_TRUE(ParseVertexFormat(0x008u | D3DFVF_TEX1, &l));
    EXPECT_EQ(l.blendWeights, 2);
    EXPECT_EQ(l.texCoordOffset[0], 20);
    EXPECT_EQ(l.stride, 28u);

    const DWORD invalid[] = {0u, D3DFVF_NORMAL | D3DFVF_DIFFUSE, D3DFVF_XYZ | D3DFVF_RESERVED0,
                             D3DFVF_XYZ | (9u << D3DFVF_TEXCOUNT_SHIFT), D3DFVF_XYZ | 0x2000u};
    for (DWORD fvf : invalid)
        EXPECT_FALSE(ParseVertexFormat(fvf, &l)) << std::hex << fvf;
    EXPECT_FALSE(ParseVertexFormat(D3DFVF_XYZ, nullptr));

    // Vertex buffers may hold vertices without a position: described, with
    // their size, but never drawn.
    ASSERT_TRUE(txraster::DescribeVertexFormat(D3DFVF_NORMAL | D3DFVF_DIFFUSE, &l));
    EXPECT_FALSE(l.hasPosition);
    EXPECT_EQ(l.normalOffset, 0);
    EXPECT_EQ(l.diffuseOffset, 12);
    EXPECT_EQ(l.stride, 16u);
    EXPECT_TRUE(txraster::DescribeVertexFormat(0u, &l));
    EXPECT_EQ(l.stride, 0u);
    EXPECT_FALSE(txraster::DescribeVertexFormat(D3DFVF_DIFFUSE | D3DFVF_RESERVED0, &l));
}

struct TexelCase {
    D3DFORMAT format;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> expected;
};

TEST(TexelDecode, EveryFormatFamilyReadsAsArgb) {
    const TexelCase cases[] = {
        {D3DFMT_A8R8G8B8, {0x44, 0x33, 0x22, 0x11}, {0x11223344u}},
        {D3DFMT_X8R8G8B8, {0x44, 0x33, 0x22, 0x00}, {0xFF223344u}},
        {D3DFMT_R8G8B8, {0x44, 0x33, 0x22}, {0xFF223344u}},
        {D3DFMT_R5G6B5,
         {0x00, 0xF8, 0xE0, 0x07, 0x10, 0x84},
         {0xFFFF0000u, 0xFF00FF00u, 0xFF848284u}},
        {D3DFMT_A1R5G5B5, {0x00, 0x7C, 0x1F, 0x80}, {0x00FF0000u, 0xFF0000FFu}},
        {D3DFMT_X1R5G5B5, {0x00, 0x7C}, {0xFFFF0000u}},
        {D3DFMT_A4R4G4B4, {0x00, 0x8F}, {0x88FF0000u}},
        {D3DFMT_X4R4G4B4, {0x0F, 0x00}, {0xFF0000FFu}},
        {D3DFMT_R3G3B2, {0xE0, 0x03}, {0xFFFF0000u, 0xFF0000FFu}},
        {D3DFMT_A8R3G3B2, {0x1C, 0x40}, {0x4000FF00u}},
        {D3DFMT_A8, {0x80}, {0x80000000u}},
        {D3DFMT_L8, {0x40}, {0xFF404040u}},
        {D3DFMT_A8L8, {0x40, 0x80}, {0x80404040u}},
        {D3DFMT_A4L4, {0xF4}, {0xFF444444u}},
        {D3DFMT_A2B10G10R10, {0xFF, 0x03, 0x00, 0xC0}, {0xFFFF0000u}},
        {D3DFMT_G16R16, {0xFF, 0xFF, 0x00, 0x00}, {0xFFFF00FFu}},
        // Signed channels keep their positive part: u = 127, v = -128.
        {D3DFMT_V8U8, {0x7F, 0x80}, {0xFFFF00FFu}},
        {D3DFMT_Q8W8V8U8, {0x7F, 0x00, 0x81, 0x7F}, {0xFFFF0000u}},
        {D3DFMT_YUY2, {235, 128, 16, 128}, {0xFFFFFFFFu, 0xFF000000u}},
        {D3DFMT_UYVY, {128, 16, 128, 235}, {0xFF000000u, 0xFFFFFFFFu}},
        // Red and blue end points, then the two thirds between them.
        {D3DFMT_DXT1,
         {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0xFFFF0000u, 0xFF0000FFu, 0xFFAA0055u, 0xFF5500AAu}},
        // End points in the other order: half-way colour and transparency.
        {D3DFMT_DXT1,
         {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
         {0xFF0000FFu, 0xFFFF0000u, 0xFF800080u, 0x00000000u}},
        {D3DFMT_DXT3,
         {0x8F, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
         {0xFFFFFFFFu, 0x88FFFFFFu}},
        // Alpha end points 255 and 0; texels use alpha codes 0, 1, 2.
        {D3DFMT_DXT5,
         {0xFF, 0x00, 0x88, 0x00, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
         {0xFFFFFFFFu, 0x00FFFFFFu, 0xDBFFFFFFu}},
    };
    for (const TexelCase& c : cases) {
        const int width = static_cast<int>(c.expected.size());
        std::vector<uint32_t> out(16, 0xDEADBEEFu);
        ASSERT_TRUE(txraster::DecodeTexels(c.format, c.bytes.data(), c.bytes.size(), width, 1,
                                           out.data(), 16))
            << std::hex << c.format;
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(out[x], c.expected[x])
                << "format " << std::hex << c.format << " texel " << x << ": " << out[x];
        // Nothing is written past the requested texels.
        EXPECT_EQ(out[width], 0xDEADBEEFu);
    }
}

TEST(TexelDecode, PalettesPartialBlocksAndUnknownFormats) {
    PALETTEENTRY palette[256] = {};
    palette[3] = PALETTEENTRY{0x10, 0x20, 0x30, 0x40};
    const uint8_t indices[] = {3, 0x99, 3};
    uint32_t out[2] = {};
    ASSERT_TRUE(txraster::DecodeTexels(D3DFMT_P8, indices, 1, 1, 1, out, 1, palette));
    EXPECT_EQ(out[0], 0x40102030u);
    ASSERT_TRUE(txraster::DecodeTexels(D3DFMT_A8P8, indices, 2, 1, 1, out, 1, palette));
    EXPECT_EQ(out[0], 0x99102030u);
    // Without a palette, as the library's codecs read them: opaque white.
    ASSERT_TRUE(txraster::DecodeTexels(D3DFMT_P8, indices, 1, 1, 1, out, 1, nullptr));
    EXPECT_EQ(out[0], 0xFFFFFFFFu);
    ASSERT_TRUE(txraster::DecodeTexels(D3DFMT_A8P8, indices, 2, 1, 1, out, 1, nullptr));
    EXPECT_EQ(out[0], 0x99FFFFFFu);

    // A 5 x 5 DXT1 image has 2 x 2 blocks, of which only the texels inside
    // the image are written.
    std::vector<uint8_t> blocks(4 * 8, 0);
    for (int b = 0; b < 4; ++b) {
        blocks[8 * b + 1] = 0xF8; // red
    }
    const size_t pitch = 7;
    std::vector<uint32_t> image(pitch * 6, 0xDEADBEEFu);
    ASSERT_TRUE(txraster::DecodeTexels(D3DFMT_DXT1, blocks.data(), 16, 5, 5, image.data(), pitch));
    for (int y = 0; y < 6; ++y)
        for (size_t x = 0; x < pitch; ++x)
            EXPECT_EQ(image[y * pitch + x], y < 5 && x < 5 ? 0xFFFF0000u : 0xDEADBEEFu)
                << x << "," << y;

    for (D3DFORMAT format : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_UNKNOWN, D3DFMT_INDEX16}) {
        EXPECT_FALSE(txraster::CanDecodeFormat(format)) << format;
        EXPECT_FALSE(txraster::DecodeTexels(format, indices, 4, 1, 1, out, 1));
    }
    EXPECT_TRUE(txraster::CanDecodeFormat(D3DFMT_DXT5));
    EXPECT_TRUE(txraster::CanDecodeFormat(D3DFMT_R5G6B5));
}

TEST(SampleBuffer, AllocatesClearsAndResolvesWithRounding) {
    txraster::SampleBuffer buffer;
    EXPECT_EQ(buffer.Allocate(0, 4, 1, false), E_INVALIDARG);
    EXPECT_EQ(buffer.Allocate(4, 4, 17, false), E_INVALIDARG);
    EXPECT_EQ(buffer.Allocate(4, 4, 0, false), E_INVALIDARG);
    ASSERT_EQ(buffer.Allocate(4, 3, 4, true), S_OK);
    EXPECT_TRUE(buffer.HasDepth());
    EXPECT_EQ(*buffer.DepthAt(3, 2), 0xFFFF);

    // Clearing clips the rectangle to the buffer.
    buffer.ClearColour(RECT{-5, 1, 2, 100}, 0xFF00FF00u);
    buffer.ClearDepth(RECT{2, -1, 9, 1}, 0x1234);
    EXPECT_EQ(buffer.ColourAt(1, 2)[3], 0xFF00FF00u);
    EXPECT_EQ(buffer.ColourAt(2, 1)[0], 0u);
    EXPECT_EQ(buffer.ColourAt(0, 0)[0], 0u);
    EXPECT_EQ(buffer.DepthAt(3, 0)[2], 0x1234);
    EXPECT_EQ(buffer.DepthAt(1, 0)[2], 0xFFFF);

    // Averages round to nearest: 255 / 4 = 63.75 -> 64; 510 / 4 = 127.5 ->
    // 128; 3 * 255 / 4 = 191.25 -> 191.
    uint32_t* s = buffer.ColourAt(3, 0);
    s[0] = 0xFFFFFFFFu;
    s[1] = 0xFF00FFFFu;
    s[2] = 0xFF0000FFu;
    s[3] = 0x00000000u;
    std::vector<uint32_t> out(4 * 3, 0xDEADBEEFu);
    buffer.Resolve(RECT{3, 0, 4, 1}, out.data(), 16);
    EXPECT_EQ(out[3], 0xBF4080BFu);
    EXPECT_EQ(out[2], 0xDEADBEEFu) << "only the asked rectangle is written";

    // Every sample count resolves a uniform pixel to itself.
    for (int n = 1; n <= 16; ++n) {
        ASSERT_EQ(buffer.Allocate(2, 2, n, false), S_OK);
        buffer.ClearColour(buffer.Bounds(), 0x80FF7F01u);
        buffer.Resolve(buffer.Bounds(), out.data(), 8);
        EXPECT_EQ(out[3], 0x80FF7F01u) << n;
    }
}

// Clears are deferred per tile; a random mix of clears with rectangles
// that cover, cut or miss tiles, single-pixel writes and value changes must
// read back exactly like a buffer that clears eagerly.
TEST(SampleBuffer, DeferredClearsMatchAnEagerModel) {
    const int width = 21, height = 19, samples = 3;
    txraster::SampleBuffer buffer;
    ASSERT_EQ(buffer.Allocate(width, height, samples, true), S_OK);
    std::vector<uint32_t> colour(static_cast<size_t>(width) * height * samples, 0u);
    std::vector<uint16_t> depth(colour.size(), 0xFFFF);
    uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<uint32_t>(range));
    };
    for (int step = 0; step < 400; ++step) {
        const int kind = next(5);
        const RECT r{next(width + 4) - 2, next(height + 4) - 2, next(width + 4), next(height + 4)};
        const uint32_t value = static_cast<uint32_t>(next(3)) * 0x01010101u;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
            for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x)
                for (int s = 0; s < samples; ++s) {
                    const size_t i = (static_cast<size_t>(y) * width + x) * samples + s;
                    if (kind == 0 || kind == 1) colour[i] = value;
                    if (kind == 2) depth[i] = static_cast<uint16_t>(value);
                }
        if (kind == 0 || kind == 1) buffer.ClearColour(r, value);
        if (kind == 2) buffer.ClearDepth(r, static_cast<uint16_t>(value));
        if (kind >= 3) {
            // A write through the writable accessor.
            const int x = next(width), y = next(height), s = next(samples);
            const size_t i = (static_cast<size_t>(y) * width + x) * samples + s;
            colour[i] = 0xFF000000u | static_cast<uint32_t>(step);
            depth[i] = static_cast<uint16_t>(step);
            buffer.ColourAt(x, y)[s] = colour[i];
            buffer.DepthAt(x, y)[s] = depth[i];
        }
        const txraster::SampleBuffer& view = buffer;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int s = 0; s < samples; ++s) {
                    const size_t i = (static_cast<size_t>(y) * width + x) * samples + s;
                    ASSERT_EQ(view.ColourAt(x, y)[s], colour[i])
                        << "step " << step << " pixel " << x << "," << y;
                    ASSERT_EQ(view.DepthAt(x, y)[s], depth[i])
                        << "step " << step << " pixel " << x << "," << y;
                }
    }
}

TEST(SampleBuffer, DepthQuantisesToSixteenBits) {
    const struct {
        double z;
        uint16_t d16;
    } cases[] = {{-1.0, 0},
                 {0.0, 0},
                 {0.5, 32768},
                 {1.0, 65535},
                 {7.0, 65535},
                 {1.0 / 65535.0, 1},
                 {0.49999 / 65535.0, 0},
                 {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(txraster::DepthToD16(c.z), c.d16) << c.z;
}

} // namespace

namespace {

TEST(ImageOps, EncodingRoundsToTheFormatAndDecodesBack) {
    const uint32_t colours[] = {0xFF000000u, 0xFFFFFFFFu, 0x80FF7F01u, 0x00123456u, 0xC0808080u};
    // Bits per channel; alpha 0 means the format is opaque.
    const struct {
        D3DFORMAT format;
        int alpha, red, green, blue;
    } formats[] = {
        {D3DFMT_A8R8G8B8, 8, 8, 8, 8}, {D3DFMT_X8R8G8B8, 0, 8, 8, 8}, {D3DFMT_R8G8B8, 0, 8, 8, 8},
        {D3DFMT_R5G6B5, 0, 5, 6, 5},   {D3DFMT_X1R5G5B5, 0, 5, 5, 5}, {D3DFMT_A1R5G5B5, 1, 5, 5, 5},
        {D3DFMT_A4R4G4B4, 4, 4, 4, 4}, {D3DFMT_X4R4G4B4, 0, 4, 4, 4},
    };
    // Within half a step of the channel's precision.
    auto close = [](uint32_t want, uint32_t got, int bits) {
        const int step = 255 / ((1 << bits) - 1);
        return std::abs(static_cast<int>(want) - static_cast<int>(got)) <= step / 2;
    };
    for (const auto& f : formats) {
        ASSERT_TRUE(txraster::CanEncodeFormat(f.format));
        unsigned char bytes[5 * 4] = {};
        ASSERT_TRUE(txraster::EncodeTexels(f.format, colours, 5, 5, 1, bytes, sizeof bytes));
        uint32_t back[5] = {};
        ASSERT_TRUE(txraster::DecodeTexels(f.format, bytes, sizeof bytes, 5, 1, back, 5));
        for (int i = 0; i < 5; ++i) {
            const uint32_t want = colours[i], got = back[i];
            SCOPED_TRACE(testing::Message() << "format " << f.format << " colour " << std::hex
                                            << want << " read " << got);
            EXPECT_TRUE(close((want >> 16) & 0xFF, (got >> 16) & 0xFF, f.red));
            EXPECT_TRUE(close((want >> 8) & 0xFF, (got >> 8) & 0xFF, f.green));
            EXPECT_TRUE(close(want & 0xFF, got & 0xFF, f.blue));
            const uint32_t alpha = want >> 24, gotAlpha = got >> 24;
            if (f.alpha == 0) {
                EXPECT_EQ(gotAlpha, 255u);
            } else if (f.alpha == 1) {
                EXPECT_EQ(gotAlpha, alpha >= 128 ? 255u : 0u);
            } else {
                EXPECT_TRUE(close(alpha, gotAlpha, f.alpha));
            }
        }
    }
    EXPECT_FALSE(txraster::CanEncodeFormat(D3DFMT_DXT1));
    EXPECT_FALSE(txraster::CanEncodeFormat(D3DFMT_D16));
}

TEST(ImageOps, FitKeepsTheAspectCentred) {
    const struct {
        int sw, sh, w, h;
        RECT expected;
    } cases[] = {
        {640, 480, 1024, 768, {0, 0, 1024, 768}},     // same shape
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}}, // bars left and right
        {640, 480, 800, 1000, {0, 200, 800, 800}},    // bars above and below
        {100, 100, 401, 400, {0, 0, 400, 400}},       // odd spare column on the right
        {0, 480, 800, 600, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const RECT r = txraster::FitKeepingAspect(c.sw, c.sh, c.w, c.h);
        EXPECT_EQ(r.left, c.expected.left) << c.w << "x" << c.h;
        EXPECT_EQ(r.top, c.expected.top) << c.w << "x" << c.h;
        EXPECT_EQ(r.right, c.expected.right) << c.w << "x" << c.h;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.w << "x" << c.h;
    }
}

TEST(ImageOps, StretchTakesThePixelUnderEachCentre) {
    // Three source columns onto seven destination columns and back.
    const uint32_t source[3] = {1, 2, 3};
    uint32_t wide[7] = {};
    txraster::StretchNearest(source, 3, RECT{0, 0, 3, 1}, wide, 7, RECT{0, 0, 7, 1});
    const uint32_t expectedWide[7] = {1, 1, 2, 2, 2, 3, 3};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(wide[i], expectedWide[i]) << i;
    uint32_t narrow[3] = {};
    txraster::StretchNearest(wide, 7, RECT{0, 0, 7, 1}, narrow, 3, RECT{0, 0, 3, 1});
    EXPECT_EQ(narrow[0], 1u);
    EXPECT_EQ(narrow[1], 2u);
    EXPECT_EQ(narrow[2], 3u);
}

} // namespace
