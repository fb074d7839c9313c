#include "render_fixture.h"

namespace txtest {

namespace {

const char kClassName[] = "Render Test Window";
HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x400000);

} // namespace

void RenderTest::SetUp() {
    RuntimeTest::SetUp();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = kInstance;
    wc.lpszClassName = kClassName;
    ASSERT_NE(RegisterClassExA(&wc), 0);
}

void RenderTest::TearDown() {
    device_.reset();
    for (HWND window : windows_)
        if (IsWindow(window)) DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassA(kClassName, kInstance);
    RuntimeTest::TearDown();
}

HWND RenderTest::MakeWindow(int width, int height, int x, int y) {
    HWND window = CreateWindowExA(0, kClassName, "render", WS_OVERLAPPEDWINDOW, x, y, width, height,
                                  GetDesktopWindow(), nullptr, kInstance, nullptr);
    EXPECT_NE(window, nullptr);
    if (window) {
        windows_.push_back(window);
        ShowWindow(window, SW_SHOW);
    }
    return window;
}

Ref<IDirect3DDevice8> RenderTest::MakeDevice(HWND window, const DeviceOptions& options) {
    D3DPRESENT_PARAMETERS p = OffscreenParameters(options.width, options.height);
    p.BackBufferFormat = options.format;
    p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(options.samples);
    p.EnableAutoDepthStencil = options.depth ? TRUE : FALSE;
    p.Flags = options.lockable ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    p.Windowed = options.windowed ? TRUE : FALSE;
    Ref<IDirect3DDevice8> device;
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    return device;
}

std::vector<uint32_t> RenderTest::Shown(IDirect3DDevice8* device, HWND window, int* width,
                                        int* height) {
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    EXPECT_TRUE(txplatform::ReadWindowImage(window, &pixels, &w, &h));
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}

HRESULT RenderTest::DrawScreenTriangles(IDirect3DDevice8* device,
                                        const std::vector<rastertest::ScreenVertexData>& v) {
    HRESULT hr = device->BeginScene();
    if (FAILED(hr)) return hr;
    hr = device->SetVertexShader(rastertest::kScreenFvf);
    if (SUCCEEDED(hr))
        hr = device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                                     sizeof(rastertest::ScreenVertexData));
    const HRESULT end = device->EndScene();
    return FAILED(hr) ? hr : end;
}

void RenderTest::ShowVertexColours(IDirect3DDevice8* device) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

} // namespace txtest
