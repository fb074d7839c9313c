// Rasterizer core: the colour of covered pixels (stage 0 operations,
// texture addressing, perspective-correct interpolation, vertex formats).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "mathlib/matrix.h"
#include "raster_test_helpers.h"

namespace {

using namespace rastertest;
using txraster::PipelineState;
using txraster::Rasterizer;
using txraster::SampleBuffer;
using txraster::TextureImage;

std::vector<ScreenVertexData> Square(int size, uint32_t colour, float u = 0.5f, float v = 0.5f) {
    const float s = static_cast<float>(size);
    return {At(0, 0, colour, 0.5f, u, v), At(s, 0, colour, 0.5f, u, v),
            At(0, s, colour, 0.5f, u, v), At(s, 0, colour, 0.5f, u, v),
            At(s, s, colour, 0.5f, u, v), At(0, s, colour, 0.5f, u, v)};
}

TEST(RasterShading, StageZeroOperationsCombineTextureAndDiffuse) {
    const uint32_t diffuse = 0x80C04020u;
    const uint32_t texel = 0x40FF8010u;
    const TextureImage texture{&texel, 1, 1, 1};
    struct Case {
        const char* what;
        DWORD colorOp, arg1, arg2, alphaOp, alphaArg1;
        bool withTexture;
        uint32_t expected;
    } const cases[] = {
        {"texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, true,
         0x80FF8010u},
        {"diffuse", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, true,
         0x80C04020u},
        // Products rounded: C0*FF/FF = C0, 40*80/FF = 20, 20*10/FF = 2.
        {"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, true,
         0x80C02002u},
        {"modulate 2x saturates", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE,
         0, true, 0x80FF4004u},
        {"add saturates", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, true,
         0x80FFC030u},
        {"disabled stage shows diffuse", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1, D3DTA_TEXTURE, true, 0x80C04020u},
        {"complemented factor", D3DTOP_SELECTARG1, D3DTA_TFACTOR | 0x10u, D3DTA_DIFFUSE,
         D3DTOP_DISABLE, 0, true, 0x80CBA987u},
        {"alpha from the texture", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1, D3DTA_TEXTURE, true, 0x40C04020u},
        {"no texture reads opaque black", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1, D3DTA_TEXTURE, false, 0xFF000000u},
    };
    Rasterizer rasterizer;
    for (const Case& c : cases) {
        PipelineState state = PlainState(4, 4);
        state.stage0.colorOp = c.colorOp;
        state.stage0.colorArg1 = c.arg1;
        state.stage0.colorArg2 = c.arg2;
        state.stage0.alphaOp = c.alphaOp;
        state.stage0.alphaArg1 = c.alphaArg1;
        state.textureFactor = 0x12345678u;
        state.texture = c.withTexture ? &texture : nullptr;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(4, 4, 1, false), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, Square(4, diffuse), kScreenFvf), S_OK);
        EXPECT_EQ(*target.ColourAt(1, 1), c.expected)
            << c.what << ": got " << std::hex << *target.ColourAt(1, 1);
    }
}

TEST(RasterShading, LightingWithoutLightsIsBlackAndKeepsAlpha) {
    PipelineState state = PlainState(4, 4);
    state.lighting = true;
    const std::vector<ModelVertex> quad = {
        {-1, -1, 0.5f, 0x80FFFFFFu, 0, 0}, {-1, 1, 0.5f, 0x80FFFFFFu, 0, 0},
        {1, 1, 0.5f, 0x80FFFFFFu, 0, 0},   {-1, -1, 0.5f, 0x80FFFFFFu, 0, 0},
        {1, 1, 0.5f, 0x80FFFFFFu, 0, 0},   {1, -1, 0.5f, 0x80FFFFFFu, 0, 0}};
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(4, 4, 1, false), S_OK);
    target.ClearColour(target.Bounds(), 0xFF123456u);
    Rasterizer rasterizer;
    ASSERT_EQ(DrawList(rasterizer, state, target, quad, kModelFvf), S_OK);
    EXPECT_EQ(*target.ColourAt(2, 2), 0x80000000u);
    // Pretransformed vertices are never lit.
    ASSERT_EQ(DrawList(rasterizer, state, target, Square(4, 0x80FFFFFFu), kScreenFvf), S_OK);
    EXPECT_EQ(*target.ColourAt(2, 2), 0x80FFFFFFu);
}

TEST(RasterShading, TextureAddressModesRepeatMirrorClampOrBorder) {
    // Four texels; u runs from 0 at the left edge of pixel 0 to 2 at the
    // right edge of pixel 7, so pixel p samples u = (p + 0.5) / 4.
    const uint32_t texels[4] = {0xFF000010u, 0xFF000020u, 0xFF000030u, 0xFF000040u};
    const TextureImage texture{texels, 4, 1, 4};
    const std::vector<ScreenVertexData> band = {
        At(-0.5f, -0.5f, 0, 0.5f, 0, 0), At(7.5f, -0.5f, 0, 0.5f, 2, 0),
        At(-0.5f, 1.5f, 0, 0.5f, 0, 0),  At(7.5f, -0.5f, 0, 0.5f, 2, 0),
        At(7.5f, 1.5f, 0, 0.5f, 2, 0),   At(-0.5f, 1.5f, 0, 0.5f, 0, 0)};
    struct Case {
        DWORD mode;
        uint32_t blue[8];
    } const cases[] = {
        {D3DTADDRESS_WRAP, {0x10, 0x20, 0x30, 0x40, 0x10, 0x20, 0x30, 0x40}},
        {D3DTADDRESS_MIRROR, {0x10, 0x20, 0x30, 0x40, 0x40, 0x30, 0x20, 0x10}},
        {D3DTADDRESS_CLAMP, {0x10, 0x20, 0x30, 0x40, 0x40, 0x40, 0x40, 0x40}},
        {D3DTADDRESS_BORDER, {0x10, 0x20, 0x30, 0x40, 0, 0, 0, 0}},
    };
    Rasterizer rasterizer;
    for (const Case& c : cases) {
        PipelineState state = PlainState(8, 1);
        state.stage0.colorOp = D3DTOP_SELECTARG1;
        state.stage0.colorArg1 = D3DTA_TEXTURE;
        state.stage0.addressU = c.mode;
        state.texture = &texture;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(8, 1, 1, false), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, band, kScreenFvf), S_OK);
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(*target.ColourAt(x, 0) & 0xFF, c.blue[x]) << "mode " << c.mode << " x " << x;
    }
}

// A plane turned away from the eye: texture coordinate and colour must
// follow the perspective, not the screen.
TEST(RasterShading, InterpolationIsPerspectiveCorrect) {
    const int width = 64, height = 4;
    std::vector<uint32_t> texels(64);
    for (int i = 0; i < 64; ++i)
        texels[i] = 0xFF000000u | static_cast<uint32_t>(i);
    const TextureImage texture{texels.data(), 64, 1, 64};

    PipelineState state = PlainState(width, height);
    TxMatrixPerspectiveFovLH(&state.projection, 1.57079637f, 1.0f, 1.0f, 100.0f);
    // Left edge at x = -1, z = 1.5; right edge at x = 3, z = 6. With a 90
    // degree field of view the screen position is x / z, and the ray through
    // screen position s meets the plane at t = (1 + 1.5 s) / (4 - 4.5 s).
    const std::vector<ModelVertex> plane = {
        {-1, -10, 1.5f, 0xFF000000u, 0, 0}, {3, -10, 6, 0xFFFF0000u, 1, 0},
        {-1, 10, 1.5f, 0xFF000000u, 0, 0},  {3, -10, 6, 0xFFFF0000u, 1, 0},
        {3, 10, 6, 0xFFFF0000u, 1, 0},      {-1, 10, 1.5f, 0xFF000000u, 0, 0}};
    Rasterizer rasterizer;
    for (bool textured : {true, false}) {
        state.stage0.colorOp = textured ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2;
        state.stage0.colorArg1 = D3DTA_TEXTURE;
        state.texture = &texture;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(width, height, 1, false), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, plane, kModelFvf), S_OK);
        int checked = 0;
        for (int x = 0; x < width; ++x) {
            const double s = (x - width / 2.0) / (width / 2.0); // pixel centre
            const double t = (1 + 1.5 * s) / (4 - 4.5 * s);
            if (t < 0.01 || t > 0.99) continue;
            const uint32_t c = *target.ColourAt(x, 2);
            if (textured) {
                EXPECT_NEAR(static_cast<double>(c & 0xFF), std::floor(t * 64), 1.0) << x;
            } else {
                EXPECT_NEAR(static_cast<double>((c >> 16) & 0xFF), 255 * t, 1.0) << x;
            }
            ++checked;
        }
        EXPECT_GT(checked, 30);
    }
}

TEST(RasterShading, FlatShadingTakesTheFirstVertexColour) {
    PipelineState state = PlainState(8, 8);
    state.flatShading = true;
    const std::vector<ScreenVertexData> tri = {At(0, 0, 0xFF112233u), At(8, 0, 0xFFFFFFFFu),
                                               At(0, 8, 0xFF000000u)};
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(8, 8, 1, false), S_OK);
    Rasterizer rasterizer;
    ASSERT_EQ(DrawList(rasterizer, state, target, tri, kScreenFvf), S_OK);
    EXPECT_EQ(*target.ColourAt(1, 1), 0xFF112233u);
    EXPECT_EQ(*target.ColourAt(5, 1), 0xFF112233u);
    EXPECT_EQ(*target.ColourAt(1, 5), 0xFF112233u);
}

// A vertex carrying a normal, a specular colour and two coordinate sets of
// different sizes: the rasterizer must find each part at its offset.
TEST(RasterShading, ReadsEveryPartOfARichVertexFormat) {
    struct RichVertex {
        float x, y, z, rhw;
        uint32_t diffuse, specular;
        float s0, t0, r0; // set 0: three floats
        float s1, t1;     // set 1: two floats
    };
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 |
                      (1u << 16); // set 0 has three coordinates
    txraster::VertexLayout layout;
    ASSERT_TRUE(txraster::ParseVertexFormat(fvf, &layout));
    ASSERT_EQ(layout.stride, sizeof(RichVertex));

    const uint32_t texels[2] = {0xFF0000AAu, 0xFF0000BBu};
    const TextureImage texture{texels, 2, 1, 2};
    auto corner = [](float x, float y) {
        return RichVertex{x, y, 0.5f, 1.0f, 0xFF102030u, 0xFF405060u, 0.25f, 0, 0, 0.75f, 0};
    };
    const std::vector<RichVertex> tri = {corner(0, 0), corner(8, 0), corner(0, 8)};
    Rasterizer rasterizer;
    struct Case {
        DWORD arg, texCoordIndex;
        uint32_t expected;
    } const cases[] = {{D3DTA_DIFFUSE, 0, 0xFF102030u},
                       {D3DTA_SPECULAR, 0, 0xFF405060u},
                       {D3DTA_TEXTURE, 0, 0xFF0000AAu},
                       {D3DTA_TEXTURE, 1, 0xFF0000BBu}};
    for (const Case& c : cases) {
        PipelineState state = PlainState(8, 8);
        state.stage0.colorOp = D3DTOP_SELECTARG1;
        state.stage0.colorArg1 = c.arg;
        state.stage0.texCoordIndex = c.texCoordIndex;
        state.texture = &texture;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(8, 8, 1, false), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, tri, fvf), S_OK);
        EXPECT_EQ(*target.ColourAt(2, 2) | 0xFF000000u, c.expected)
            << "argument " << c.arg << ", set " << c.texCoordIndex;
    }
}

TEST(RasterShading, ColourIsComputedOncePerPixel) {
    // A colour gradient over a triangle with sloped edges: the samples of a
    // pixel that the triangle covers all carry the same value.
    PipelineState state = PlainState(16, 16);
    const std::vector<ScreenVertexData> tri = {
        At(1.3f, 0.7f, 0xFFFF0000u), At(14.6f, 5.2f, 0xFF00FF00u), At(4.1f, 15.3f, 0xFF0000FFu)};
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(16, 16, 16, false), S_OK);
    Rasterizer rasterizer;
    ASSERT_EQ(DrawList(rasterizer, state, target, tri, kScreenFvf), S_OK);
    int partial = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t* s = target.ColourAt(x, y);
            uint32_t value = 0;
            int covered = 0;
            for (int i = 0; i < 16; ++i) {
                if (s[i] == 0) continue;
                if (covered++ == 0) value = s[i];
                EXPECT_EQ(s[i], value) << "pixel " << x << "," << y;
            }
            if (covered > 0 && covered < 16) ++partial;
        }
    EXPECT_GT(partial, 10);
}

} // namespace
