// Devices on hidden windows for drawing tests: what a device drew is read
// back by presenting it into its window (1:1 when the window has the back
// buffer's size) or by locking a lockable back buffer.
#pragma once

#include <vector>

#include "platform/win32_ui.h"
#include "platform/window_host.h"
#include "raster_test_helpers.h"
#include "runtime_fixture.h"

namespace txtest {

class RenderTest : public RuntimeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND MakeWindow(int width, int height, int x = 100, int y = 100);

    struct DeviceOptions {
        int samples = 0;
        bool depth = true;
        bool lockable = false;
        D3DFORMAT format = D3DFMT_X8R8G8B8;
        bool windowed = true;
        UINT width = 0; // 0: the window's client size
        UINT height = 0;
    };
    // A device on `window`; fails the test when creation fails.
    Ref<IDirect3DDevice8> MakeDevice(HWND window, const DeviceOptions& options);
    Ref<IDirect3DDevice8> MakeDevice(HWND window) { return MakeDevice(window, DeviceOptions()); }

    // Presents and gives what the window then shows.
    std::vector<uint32_t> Shown(IDirect3DDevice8* device, HWND window, int* width = nullptr,
                                int* height = nullptr);

    // Draws pretransformed vertices as a triangle list inside a scene.
    static HRESULT DrawScreenTriangles(IDirect3DDevice8* device,
                                       const std::vector<rastertest::ScreenVertexData>& vertices);

    // Default states for unlit, unculled vertex colours.
    static void ShowVertexColours(IDirect3DDevice8* device);

    std::vector<HWND> windows_;
};

} // namespace txtest
