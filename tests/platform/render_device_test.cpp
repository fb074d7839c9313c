// Drawing through the device: clears, coverage, depth, culling, texture
// stages, the viewer's scene, and the refusals of the drawing calls.
#include <algorithm>
#include <cstring>

#include "mathlib/matrix.h"
#include "render_fixture.h"

namespace txtest {
namespace {

using rastertest::At;
using rastertest::ScreenVertexData;

std::vector<ScreenVertexData> Square(float x0, float y0, float x1, float y1, uint32_t colour,
                                     float z = 0.5f) {
    return {At(x0, y0, colour, z, 0, 0), At(x1, y0, colour, z, 1, 0), At(x0, y1, colour, z, 0, 1),
            At(x1, y0, colour, z, 1, 0), At(x1, y1, colour, z, 1, 1), At(x0, y1, colour, z, 0, 1)};
}

uint32_t PixelAt(const std::vector<uint32_t>& picture, int width, int x, int y) {
    return picture[static_cast<size_t>(y) * width + x];
}

class RenderDeviceTest : public RenderTest {};

TEST_F(RenderDeviceTest, ClearFillsTheViewportAndItsRectangles) {
    HWND window = MakeWindow(16, 16);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000u, 1.0f, 0),
              D3D_OK);
    std::vector<uint32_t> shown = Shown(device.get(), window);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0xFFFF0000u), 256);

    const D3DVIEWPORT8 viewport{4, 4, 8, 8, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    const D3DRECT corner{0, 0, 6, 6};
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    shown = Shown(device.get(), window);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inViewport = x >= 4 && x < 12 && y >= 4 && y < 12;
            const bool inRect = inViewport && x < 6 && y < 6;
            const uint32_t expected = inRect ? 0xFF0000FFu : inViewport ? 0xFF00FF00u : 0xFFFF0000u;
            ASSERT_EQ(PixelAt(shown, 16, x, y), expected) << x << "," << y;
        }

    struct Bad {
        const char* what;
        DWORD count;
        const D3DRECT* rects;
        DWORD flags;
        float z;
    } const bad[] = {
        {"no flags", 0, nullptr, 0, 1.0f},
        {"unknown flag", 0, nullptr, D3DCLEAR_TARGET | 0x100u, 1.0f},
        {"depth above one", 0, nullptr, D3DCLEAR_ZBUFFER, 1.5f},
        {"rectangles missing", 2, nullptr, D3DCLEAR_TARGET, 1.0f},
        {"stencil of a D16 buffer", 0, nullptr, D3DCLEAR_STENCIL, 1.0f},
    };
    for (const Bad& b : bad)
        EXPECT_EQ(device->Clear(b.count, b.rects, b.flags, 0, b.z, 0), D3DERR_INVALIDCALL)
            << b.what;

    DeviceOptions noDepth;
    noDepth.depth = false;
    Ref<IDirect3DDevice8> flat = MakeDevice(window, noDepth);
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(flat->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
}

class RenderCoverageTest : public RenderTest, public ::testing::WithParamInterface<int> {};

TEST_P(RenderCoverageTest, TriangleCoversItsInsideAndSmoothsItsEdgeWithSamples) {
    const int samples = GetParam();
    HWND window = MakeWindow(16, 16);
    DeviceOptions options;
    options.samples = samples;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(),
                                  {At(1.3f, 1.1f, 0xFFFFFFFFu), At(14.2f, 2.6f, 0xFFFFFFFFu),
                                   At(2.4f, 14.7f, 0xFFFFFFFFu)}),
              D3D_OK);
    const std::vector<uint32_t> shown = Shown(device.get(), window);
    EXPECT_EQ(PixelAt(shown, 16, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(shown, 16, 13, 13), 0xFF000000u);
    EXPECT_EQ(PixelAt(shown, 16, 0, 15), 0xFF000000u);
    const long between = std::count_if(shown.begin(), shown.end(), [](uint32_t c) {
        return c != 0xFFFFFFFFu && c != 0xFF000000u;
    });
    if (samples == 0) {
        EXPECT_EQ(between, 0) << "hard edges without multisampling";
    } else {
        EXPECT_GT(between, 10) << "edge pixels between the two colours";
    }
}

INSTANTIATE_TEST_SUITE_P(SampleCounts, RenderCoverageTest, ::testing::Values(0, 2, 4, 16));

TEST_F(RenderDeviceTest, DepthTestKeepsTheNearerSquareUnlessDisabled) {
    HWND window = MakeWindow(8, 8);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    const auto red = Square(0, 0, 8, 8, 0xFFFF0000u, 0.3f);
    const auto blue = Square(0, 0, 8, 8, 0xFF0000FFu, 0.7f);
    struct Case {
        const char* what;
        DWORD zEnable;
        float clearZ;
        bool redFirst;
        uint32_t expected;
    } const cases[] = {
        {"nearer first", D3DZB_TRUE, 1.0f, true, 0xFFFF0000u},
        {"nearer second", D3DZB_TRUE, 1.0f, false, 0xFFFF0000u},
        {"no depth test: last wins", D3DZB_FALSE, 1.0f, true, 0xFF0000FFu},
        {"cleared nearer than both", D3DZB_TRUE, 0.2f, true, 0xFF00FF00u},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, c.zEnable), D3D_OK);
        ASSERT_EQ(
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00u, c.clearZ, 0),
            D3D_OK);
        ASSERT_EQ(DrawScreenTriangles(device.get(), c.redFirst ? red : blue), D3D_OK);
        ASSERT_EQ(DrawScreenTriangles(device.get(), c.redFirst ? blue : red), D3D_OK);
        EXPECT_EQ(PixelAt(Shown(device.get(), window), 8, 4, 4), c.expected) << c.what;
    }
}

TEST_F(RenderDeviceTest, CullingRemovesCounterClockwiseFacesByDefault) {
    HWND window = MakeWindow(16, 16);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW), D3D_OK);
    // Clockwise on the screen on the left, counter-clockwise on the right.
    const std::vector<ScreenVertexData> both = {At(1, 1, 0xFFFF0000u),  At(7, 1, 0xFFFF0000u),
                                                At(1, 14, 0xFFFF0000u), At(9, 1, 0xFF0000FFu),
                                                At(9, 14, 0xFF0000FFu), At(15, 1, 0xFF0000FFu)};
    struct Case {
        DWORD cull;
        bool left, right;
    } const cases[] = {
        {D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    for (const Case& c : cases) {
        ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, c.cull), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        ASSERT_EQ(DrawScreenTriangles(device.get(), both), D3D_OK);
        const auto shown = Shown(device.get(), window);
        EXPECT_EQ(PixelAt(shown, 16, 2, 3) == 0xFFFF0000u, c.left) << "cull " << c.cull;
        EXPECT_EQ(PixelAt(shown, 16, 10, 3) == 0xFF0000FFu, c.right) << "cull " << c.cull;
    }
}

// A managed texture of any format, filled through LockRect.
Ref<IDirect3DTexture8> MakeTexture(IDirect3DDevice8* device, UINT width, UINT height,
                                   D3DFORMAT format, const void* bytes, size_t rowBytes,
                                   UINT rows) {
    Ref<IDirect3DTexture8> texture;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    if (!texture) return texture;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < rows; ++y)
        std::memcpy(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch,
                    static_cast<const BYTE*>(bytes) + y * rowBytes, rowBytes);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

TEST_F(RenderDeviceTest, TextureStageShowsTexelsDiffuseOrTheirProduct) {
    HWND window = MakeWindow(16, 16);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    Ref<IDirect3DTexture8> texture = MakeTexture(device.get(), 2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_TRUE(texture);
    ASSERT_EQ(device->SetTexture(0, texture.get()), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), D3D_OK);
    // The square's corners lie half a pixel outside the pixel centres, so
    // texel quadrants map onto pixel quadrants.
    const auto square = Square(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF808080u);
    struct Case {
        DWORD op;
        uint32_t topLeft, bottomRight;
    } const cases[] = {
        {D3DTOP_SELECTARG1, 0xFFFF0000u, 0xFFFFFFFFu},
        {D3DTOP_SELECTARG2, 0xFF808080u, 0xFF808080u},
        {D3DTOP_MODULATE, 0xFF800000u, 0xFF808080u},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, c.op), D3D_OK);
        ASSERT_EQ(DrawScreenTriangles(device.get(), square), D3D_OK);
        const auto shown = Shown(device.get(), window);
        EXPECT_EQ(PixelAt(shown, 16, 3, 3), c.topLeft) << "op " << c.op;
        EXPECT_EQ(PixelAt(shown, 16, 12, 12), c.bottomRight) << "op " << c.op;
    }

    // New texels written through a lock show at the next draw.
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF123456u;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(), square), D3D_OK);
    EXPECT_EQ(PixelAt(Shown(device.get(), window), 16, 3, 3), 0xFF123456u);

    // Textures of other formats are read through their own layout.
    const uint16_t red565[4] = {0xF800, 0xF800, 0xF800, 0xF800};
    const uint8_t dxt1Green[8] = {0xE0, 0x07, 0x00, 0x00, 0, 0, 0, 0};
    const uint8_t luminance[4] = {0x40, 0x40, 0x40, 0x40};
    struct Other {
        D3DFORMAT format;
        UINT size;
        const void* bytes;
        size_t rowBytes;
        UINT rows;
        uint32_t expected;
    } const others[] = {
        {D3DFMT_R5G6B5, 2, red565, 4, 2, 0xFFFF0000u},
        {D3DFMT_DXT1, 4, dxt1Green, 8, 1, 0xFF00FF00u},
        {D3DFMT_L8, 2, luminance, 2, 2, 0xFF404040u},
    };
    for (const Other& o : others) {
        Ref<IDirect3DTexture8> other =
            MakeTexture(device.get(), o.size, o.size, o.format, o.bytes, o.rowBytes, o.rows);
        ASSERT_TRUE(other);
        ASSERT_EQ(device->SetTexture(0, other.get()), D3D_OK);
        ASSERT_EQ(DrawScreenTriangles(device.get(), square), D3D_OK);
        EXPECT_EQ(PixelAt(Shown(device.get(), window), 16, 7, 7), o.expected)
            << "format " << o.format;
    }
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
}

struct SceneVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// The multisample viewer's scene drawn the way the viewer draws it.
TEST_F(RenderDeviceTest, ViewerSceneShowsBothTrianglesAndTheirIntersection) {
    const SceneVertex scene[6] = {{-1, -1, 0, 0xFFFFFFFFu, 0, 0},  {1, -1, 0, 0xFFFFFFFFu, 1, 0},
                                  {0, 1, 0, 0xFFFFFFFFu, 0.5f, 1}, {0, -1, -1, 0xFF000000u, 0, 0},
                                  {0, -1, 1, 0xFF000000u, 1, 0},   {0, 1, 0, 0xFF000000u, 0.5f, 1}};
    HWND window = MakeWindow(64, 64);
    DeviceOptions options;
    options.samples = 4;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof scene, 0, 0x142, D3DPOOL_DEFAULT, Out(buffer)),
              D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(buffer->Lock(0, sizeof scene, &bytes, 0), D3D_OK);
    std::memcpy(bytes, scene, sizeof scene);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);

    D3DMATRIX world, view, projection;
    const D3DVECTOR eye{0, 3, -5}, at{0, 0, 0}, up{0, 1, 0};
    TxMatrixLookAtLH(&view, &eye, &at, &up);
    TxMatrixPerspectiveFovLH(&projection, 0.785398185f, 1.0f, 1.0f, 100.0f);
    auto frame = [&](float angleY, DWORD colourOp) {
        TxMatrixRotationY(&world, angleY);
        EXPECT_EQ(
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF700000u, 1.0f, 0),
            D3D_OK);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetStreamSource(0, buffer.get(), sizeof(SceneVertex));
        device->SetVertexShader(0x142);
        device->SetTextureStageState(0, D3DTSS_COLOROP, colourOp);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 3, 1), D3D_OK);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return Shown(device.get(), window);
    };

    // Facing the camera the white triangle fills the middle; the black one
    // is seen edge on and covers nothing.
    std::vector<uint32_t> shown = frame(0.0f, D3DTOP_SELECTARG2);
    EXPECT_EQ(PixelAt(shown, 64, 0, 0), 0xFF700000u);
    EXPECT_EQ(PixelAt(shown, 64, 63, 63), 0xFF700000u);
    EXPECT_EQ(PixelAt(shown, 64, 28, 36), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(shown, 64, 36, 36), 0xFFFFFFFFu);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0xFF000000u), 0);

    // Turned, both show; where they cut each other, one hides the other.
    shown = frame(0.7f, D3DTOP_SELECTARG2);
    const long white = std::count(shown.begin(), shown.end(), 0xFFFFFFFFu);
    const long black = std::count(shown.begin(), shown.end(), 0xFF000000u);
    EXPECT_GT(white, 100);
    EXPECT_GT(black, 40);

    // Texture colour without textures: both triangles read opaque black.
    shown = frame(0.7f, D3DTOP_SELECTARG1);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0xFFFFFFFFu), 0);
    EXPECT_GT(std::count(shown.begin(), shown.end(), 0xFF000000u), white + black - 20);
}

TEST_F(RenderDeviceTest, DrawingCallsRefuseWhatTheyCannotDraw) {
    HWND window = MakeWindow(8, 8);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    const auto tri = Square(0, 0, 8, 8, 0xFFFFFFFFu);
    const UINT stride = sizeof(ScreenVertexData);

    EXPECT_EQ(device->SetVertexShader(rastertest::kScreenFvf), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri.data(), stride),
              D3DERR_INVALIDCALL)
        << "outside a scene";
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL)
        << "inside a scene";
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, stride), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri.data(), 8), D3DERR_INVALIDCALL)
        << "stride below the vertex size";
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, tri.data(), stride), E_NOTIMPL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL)
        << "no vertex buffer";

    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(device->CreateVertexBuffer(static_cast<UINT>(stride * tri.size()), 0,
                                         rastertest::kScreenFvf, D3DPOOL_MANAGED, Out(buffer)),
              D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, buffer.get(), stride), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 2), D3DERR_INVALIDCALL)
        << "past the buffer's end";
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFF0u, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 2), D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &bytes, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "locked";
    ASSERT_EQ(buffer->Unlock(), D3D_OK);

    // Drawing from memory leaves stream 0 empty.
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri.data(), stride), D3D_OK);
    IDirect3DVertexBuffer8* bound = nullptr;
    UINT boundStride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &bound, &boundStride), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(boundStride, 0u);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(RenderDeviceTest, WhatTheProgramWritesIntoTheBackBufferStays) {
    HWND window = MakeWindow(8, 8);
    DeviceOptions options;
    options.lockable = true;
    options.format = D3DFMT_R5G6B5;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);

    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint16_t*>(locked.pBits)[0], 0x001F) << "the clear reached memory";
    static_cast<uint16_t*>(locked.pBits)[0] = 0xF800; // red
    ASSERT_EQ(backBuffer->UnlockRect(), D3D_OK);

    // Drawing the right half keeps the program's pixel on the left.
    ASSERT_EQ(DrawScreenTriangles(device.get(), Square(4, 0, 8, 8, 0xFF00FF00u)), D3D_OK);
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint16_t* row = static_cast<uint16_t*>(locked.pBits);
    EXPECT_EQ(row[0], 0xF800);
    EXPECT_EQ(row[1], 0x001F);
    EXPECT_EQ(row[5], 0x07E0);
    ASSERT_EQ(backBuffer->UnlockRect(), D3D_OK);
    const auto shown = Shown(device.get(), window);
    EXPECT_EQ(PixelAt(shown, 8, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(shown, 8, 6, 0), 0xFF00FF00u);
}

TEST_F(RenderDeviceTest, MultisampleStatesTurnSmoothingOffAndMaskSamples) {
    HWND window = MakeWindow(16, 16);
    DeviceOptions options;
    options.samples = 4;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    ShowVertexColours(device.get());
    const std::vector<ScreenVertexData> tri = {At(1.3f, 1.1f), At(14.2f, 2.6f), At(2.4f, 14.7f)};
    auto between = [](const std::vector<uint32_t>& shown) {
        return std::count_if(shown.begin(), shown.end(),
                             [](uint32_t c) { return c != 0xFFFFFFFFu && c != 0xFF000000u; });
    };
    ASSERT_EQ(device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(), tri), D3D_OK);
    EXPECT_EQ(between(Shown(device.get(), window)), 0);

    // Only sample 0 written: a covered pixel is a quarter white.
    ASSERT_EQ(device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_MULTISAMPLEMASK, 0x1), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(), tri), D3D_OK);
    EXPECT_EQ(PixelAt(Shown(device.get(), window), 16, 4, 4), 0xFF404040u);
}

TEST_F(RenderDeviceTest, ALockableDepthSurfaceHoldsTheDrawnDepth) {
    HWND window = MakeWindow(8, 8);
    D3DPRESENT_PARAMETERS p = OffscreenParameters(0, 0);
    p.AutoDepthStencilFormat = D3DFMT_D16_LOCKABLE;
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    ShowVertexColours(device.get());
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(), Square(0, 0, 4, 8, 0xFFFFFFFFu, 0.5f)), D3D_OK);
    Ref<IDirect3DSurface8> depth;
    ASSERT_EQ(device->GetDepthStencilSurface(Out(depth)), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(depth->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint16_t* row = static_cast<uint16_t*>(locked.pBits);
    EXPECT_EQ(row[1], 32768);
    EXPECT_EQ(row[6], 65535);
    ASSERT_EQ(depth->UnlockRect(), D3D_OK);
}

} // namespace
} // namespace txtest
