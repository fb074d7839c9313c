// Devices on real windows: back buffers sized from the client area, and
// full-screen devices holding the display.
#include "platform/win32_ui.h"
#include "runtime_fixture.h"

namespace txtest {
namespace {

const char kClassName[] = "Runtime Window Test";

class RuntimeWindowTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(WNDCLASSEXA);
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleInstance();
        wc.lpszClassName = kClassName;
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }

    void TearDown() override {
        device_.reset();
        for (HWND window : windows_)
            DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(kClassName, GetModuleHandleInstance());
        RuntimeTest::TearDown();
    }

    static HINSTANCE GetModuleHandleInstance() { return reinterpret_cast<HINSTANCE>(0x400000); }

    HWND Window(int width, int height) {
        HWND window =
            CreateWindowExA(0, kClassName, "runtime", WS_OVERLAPPEDWINDOW, 10, 10, width, height,
                            GetDesktopWindow(), nullptr, GetModuleHandleInstance(), nullptr);
        EXPECT_NE(window, nullptr);
        if (window) windows_.push_back(window);
        return window;
    }

    HRESULT Create(HWND focus, D3DPRESENT_PARAMETERS& p, Ref<IDirect3DDevice8>& device) {
        return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device));
    }

    static UINT BackBufferWidth(IDirect3DDevice8* device, UINT* height) {
        Ref<IDirect3DSurface8> backBuffer;
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
        if (backBuffer) backBuffer->GetDesc(&desc);
        *height = desc.Height;
        return desc.Width;
    }

    std::vector<HWND> windows_;
};

TEST_F(RuntimeWindowTest, AWindowedBackBufferOfSizeZeroTakesTheClientArea) {
    HWND focus = Window(100, 100);
    HWND other = Window(400, 300);
    struct Case {
        const char* what;
        HWND deviceWindow;
        UINT width, height;
        UINT expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {"focus window", nullptr, 0, 0, 100, 100},   {"device window", other, 0, 0, 400, 300},
        {"only the width", nullptr, 0, 50, 100, 50}, {"only the height", other, 20, 0, 20, 300},
        {"explicit size", other, 64, 48, 64, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        D3DPRESENT_PARAMETERS p = OffscreenParameters(c.width, c.height);
        p.hDeviceWindow = c.deviceWindow;
        Ref<IDirect3DDevice8> device;
        ASSERT_EQ(Create(focus, p, device), D3D_OK);
        UINT height = 0;
        EXPECT_EQ(BackBufferWidth(device.get(), &height), c.expectedWidth);
        EXPECT_EQ(height, c.expectedHeight);
        EXPECT_EQ(p.BackBufferWidth, c.expectedWidth);
        D3DDEVICE_CREATION_PARAMETERS creation{};
        ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
        EXPECT_EQ(creation.hFocusWindow, focus);
    }

    // The size is read when the device is made; a later change of the window
    // does not change the back buffer.
    D3DPRESENT_PARAMETERS p = OffscreenParameters(0, 0);
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(Create(focus, p, device), D3D_OK);
    ASSERT_TRUE(SetWindowPos(focus, nullptr, 0, 0, 400, 400, SWP_NOZORDER | SWP_NOMOVE));
    UINT height = 0;
    EXPECT_EQ(BackBufferWidth(device.get(), &height), 100u);
    device.reset();
    p = OffscreenParameters(0, 0);
    ASSERT_EQ(Create(focus, p, device), D3D_OK);
    EXPECT_EQ(BackBufferWidth(device.get(), &height), 400u);
}

TEST_F(RuntimeWindowTest, AFullScreenDeviceHoldsTheDisplayInItsMode) {
    HWND window = Window(100, 100);
    D3DPRESENT_PARAMETERS p = OffscreenParameters(640, 480);
    p.Windowed = FALSE;
    p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(Create(window, p, device), D3D_OK);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    EXPECT_EQ(mode.Width, 640u);
    EXPECT_EQ(mode.Height, 480u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 640u);

    // One full-screen device at a time; windowed devices still work.
    D3DPRESENT_PARAMETERS second = OffscreenParameters(800, 600);
    second.Windowed = FALSE;
    Ref<IDirect3DDevice8> other;
    EXPECT_EQ(Create(window, second, other), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS windowed = OffscreenParameters(32, 32);
    EXPECT_EQ(Create(nullptr, windowed, other), D3D_OK);
    other.reset();

    // Back to windowed: the desktop returns.
    D3DPRESENT_PARAMETERS back = OffscreenParameters(0, 0);
    ASSERT_EQ(device->Reset(&back), D3D_OK);
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1024u);
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1024u);
    ASSERT_EQ(Create(window, second, other), D3D_OK);
    other.reset();
    device.reset();
}

TEST_F(RuntimeWindowTest, FullScreenNeedsOneOfTheModes) {
    HWND window = Window(100, 100);
    struct Case {
        const char* what;
        UINT width, height, refresh;
        D3DFORMAT format;
        HRESULT expected;
    };
    const Case cases[] = {
        {"640x480 X8R8G8B8", 640, 480, 0, D3DFMT_X8R8G8B8, D3D_OK},
        {"with alpha", 640, 480, 0, D3DFMT_A8R8G8B8, D3D_OK},
        {"16-bit mode", 800, 600, 60, D3DFMT_R5G6B5, D3D_OK},
        {"no such size", 641, 480, 0, D3DFMT_X8R8G8B8, D3DERR_INVALIDCALL},
        {"no such refresh rate", 640, 480, 75, D3DFMT_X8R8G8B8, D3DERR_INVALIDCALL},
        {"no such format", 640, 480, 0, D3DFMT_X1R5G5B5, D3DERR_INVALIDCALL},
        {"size left to the runtime", 0, 0, 0, D3DFMT_X8R8G8B8, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        D3DPRESENT_PARAMETERS p = OffscreenParameters(c.width, c.height);
        p.Windowed = FALSE;
        p.BackBufferFormat = c.format;
        p.FullScreen_RefreshRateInHz = c.refresh;
        Ref<IDirect3DDevice8> device;
        EXPECT_EQ(Create(window, p, device), c.expected);
    }
}

} // namespace
} // namespace txtest
