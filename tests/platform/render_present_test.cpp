// Presentation and the front buffer: stretching into the window, full-screen
// devices, reading the screen, and back buffers that change with Reset.
#include <algorithm>
#include <cstring>

#include "platform/raster/image_ops.h"
#include "render_fixture.h"

namespace txtest {
namespace {

using rastertest::At;

class RenderPresentTest : public RenderTest {};

// A pattern of distinct neighbouring pixels.
uint32_t PatternPixel(uint32_t x, uint32_t y) {
    return 0xFF000000u | (x * 2u) << 16 | (y * 2u) << 8 | ((x * 7u + y * 3u) & 0xFF);
}

// Fills a lockable back buffer with the pattern.
void FillBackBuffer(IDirect3DDevice8* device, UINT width, UINT height) {
    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                    size_t(y) * locked.Pitch);
        for (UINT x = 0; x < width; ++x)
            row[x] = PatternPixel(x, y);
    }
    ASSERT_EQ(backBuffer->UnlockRect(), D3D_OK);
}

TEST_F(RenderPresentTest, MagnifiedWindowShowsEachPixelAsABlock) {
    // The viewer's magnified view: the device takes the 100 x 100 client
    // area, then the window grows to 400 x 400.
    HWND window = MakeWindow(100, 100);
    DeviceOptions options;
    options.lockable = true;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    FillBackBuffer(device.get(), 100, 100);
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 400, 400, SWP_NOZORDER | SWP_NOMOVE));
    int width = 0, height = 0;
    const std::vector<uint32_t> shown = Shown(device.get(), window, &width, &height);
    ASSERT_EQ(width, 400);
    ASSERT_EQ(height, 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            ASSERT_EQ(shown[y * 400 + x], PatternPixel(x / 4, y / 4)) << x << "," << y;
        }

    // A smaller window shows every other pixel.
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 50, 50, SWP_NOZORDER | SWP_NOMOVE));
    const std::vector<uint32_t> half = Shown(device.get(), window, &width, &height);
    ASSERT_EQ(width, 50);
    EXPECT_EQ(half[0], shown[4 * 400 + 4]);
    EXPECT_EQ(half[49 * 50 + 49], shown[396 * 400 + 396]);
}

TEST_F(RenderPresentTest, RectanglesChooseWhatGoesWhere) {
    HWND window = MakeWindow(16, 16);
    DeviceOptions options;
    options.lockable = true;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    Shown(device.get(), window);
    FillBackBuffer(device.get(), 16, 16);

    // Pixels (2..5, 3..6) of the back buffer onto the window's (8..15, 0..7),
    // doubled; the rest of the window keeps the previous picture.
    const RECT from{2, 3, 6, 7}, to{8, 0, 16, 8};
    ASSERT_EQ(device->Present(&from, &to, nullptr, nullptr), D3D_OK);
    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    ASSERT_TRUE(txplatform::ReadWindowImage(window, &shown, &width, &height));
    EXPECT_EQ(shown[0], 0xFF0000FFu);
    EXPECT_EQ(shown[15 * 16 + 15], 0xFF0000FFu);
    EXPECT_EQ(shown[0 * 16 + 8], PatternPixel(2, 3));
    EXPECT_EQ(shown[1 * 16 + 9], PatternPixel(2, 3));
    EXPECT_EQ(shown[7 * 16 + 15], PatternPixel(5, 6));

    const RECT outside{10, 10, 20, 20};
    EXPECT_EQ(device->Present(&outside, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, &outside, nullptr, nullptr), D3DERR_INVALIDCALL);
    // An off-screen device has nowhere to present, unless told where.
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Present(nullptr, nullptr, window, nullptr), D3D_OK);
}

TEST_F(RenderPresentTest, FrontBufferHoldsTheDesktopWithTheWindowInPlace) {
    HWND window = MakeWindow(16, 12, 200, 150);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    Ref<IDirect3DSurface8> screen;
    ASSERT_EQ(device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, Out(screen)),
              D3D_OK);
    ASSERT_EQ(device->GetFrontBuffer(screen.get()), D3D_OK);
    POINT origin{};
    ASSERT_TRUE(txplatform::WindowClientOrigin(window, &origin));
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(screen->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](LONG x, LONG y) {
        return reinterpret_cast<const uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                 size_t(y) * locked.Pitch)[x];
    };
    EXPECT_EQ(at(origin.x, origin.y), 0xFF00FF00u);
    EXPECT_EQ(at(origin.x + 15, origin.y + 11), 0xFF00FF00u);
    EXPECT_EQ(at(origin.x + 16, origin.y), 0xFF000000u);
    EXPECT_EQ(at(0, 0), 0xFF000000u);
    ASSERT_EQ(screen->UnlockRect(), D3D_OK);

    Ref<IDirect3DSurface8> wrongFormat, tooSmall;
    ASSERT_EQ(
        device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_X8R8G8B8, Out(wrongFormat)),
        D3D_OK);
    ASSERT_EQ(
        device->CreateImageSurface(mode.Width - 1, mode.Height, D3DFMT_A8R8G8B8, Out(tooSmall)),
        D3D_OK);
    EXPECT_EQ(device->GetFrontBuffer(wrongFormat.get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetFrontBuffer(tooSmall.get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetFrontBuffer(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(screen->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(device->GetFrontBuffer(screen.get()), D3DERR_INVALIDCALL) << "locked";
    ASSERT_EQ(screen->UnlockRect(), D3D_OK);
}

TEST_F(RenderPresentTest, FullScreenDeviceCoversTheScreenAndGivesTheWindowBack) {
    HWND window = MakeWindow(100, 100, 30, 40);
    RECT desktop{}, client{};
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
    DeviceOptions options;
    options.windowed = false;
    options.width = 640;
    options.height = 480;
    options.samples = 4;
    Ref<IDirect3DDevice8> device = MakeDevice(window, options);
    ASSERT_TRUE(device);
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, desktop.right);
    EXPECT_EQ(client.bottom, desktop.bottom);

    ShowVertexColours(device.get());
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000u, 1.0f, 0),
              D3D_OK);
    // A white left half.
    ASSERT_EQ(DrawScreenTriangles(device.get(),
                                  {At(-0.5f, -0.5f), At(319.5f, -0.5f), At(-0.5f, 479.5f),
                                   At(319.5f, -0.5f), At(319.5f, 479.5f), At(-0.5f, 479.5f)}),
              D3D_OK);
    int width = 0, height = 0;
    const std::vector<uint32_t> shown = Shown(device.get(), window, &width, &height);
    ASSERT_EQ(width, desktop.right);
    ASSERT_EQ(height, desktop.bottom);
    // The picture keeps its 4:3 aspect, centred; whatever is left is black.
    const RECT fit = txraster::FitKeepingAspect(640, 480, width, height);
    const LONG middle = (fit.top + fit.bottom) / 2;
    EXPECT_EQ(shown[size_t(middle) * width + fit.left], 0xFFFFFFFFu);
    EXPECT_EQ(shown[size_t(middle) * width + fit.right - 1], 0xFFFF0000u);
    if (fit.left > 0) {
        EXPECT_EQ(shown[size_t(middle) * width], 0xFF000000u);
    }

    // Its front buffer is the picture in the display mode's size.
    Ref<IDirect3DSurface8> screen;
    ASSERT_EQ(device->CreateImageSurface(640, 480, D3DFMT_A8R8G8B8, Out(screen)), D3D_OK);
    ASSERT_EQ(device->GetFrontBuffer(screen.get()), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(screen->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint32_t* row =
        reinterpret_cast<const uint32_t*>(static_cast<BYTE*>(locked.pBits) + 240 * locked.Pitch);
    EXPECT_EQ(row[100], 0xFFFFFFFFu);
    EXPECT_EQ(row[500], 0xFFFF0000u);
    ASSERT_EQ(screen->UnlockRect(), D3D_OK);
    screen.reset();

    device.reset();
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 100);
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(window, &frame));
    EXPECT_EQ(frame.left, 30);
    EXPECT_EQ(frame.top, 40);
}

TEST_F(RenderPresentTest, ResetGivesTheRendererTheNewBackBuffer) {
    HWND window = MakeWindow(32, 24);
    Ref<IDirect3DDevice8> device = MakeDevice(window);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    D3DPRESENT_PARAMETERS p = OffscreenParameters(0, 0);
    p.MultiSampleType = D3DMULTISAMPLE_8_SAMPLES;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    DWORD lighting = 0;
    ASSERT_EQ(device->GetRenderState(D3DRS_LIGHTING, &lighting), D3D_OK);
    EXPECT_EQ(lighting, static_cast<DWORD>(TRUE)) << "states return to their defaults";

    ShowVertexColours(device.get());
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(DrawScreenTriangles(device.get(), {At(1.3f, 1.1f), At(30.2f, 2.6f), At(2.4f, 22.7f)}),
              D3D_OK);
    int width = 0, height = 0;
    const std::vector<uint32_t> shown = Shown(device.get(), window, &width, &height);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 24);
    EXPECT_EQ(shown[4 * 32 + 4], 0xFFFFFFFFu);
    EXPECT_GT(std::count_if(shown.begin(), shown.end(),
                            [](uint32_t c) { return c != 0xFFFFFFFFu && c != 0xFF000000u; }),
              10);
}

} // namespace
} // namespace txtest
