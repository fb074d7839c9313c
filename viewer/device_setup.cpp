#include "viewer/device_setup.h"

#include <memory>

#include "viewer/viewer_state.h"

namespace {

// A full-screen device always shows this mode's size.
const UINT kFullScreenWidth = 640;
const UINT kFullScreenHeight = 480;

struct ReleaseReference {
    void operator()(IUnknown* object) const { object->Release(); }
};

} // namespace

HRESULT CreateDeviceForWindow(HWND window) {
    ViewerState& s = viewerState;
    s.direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!s.direct3d) return E_FAIL;

    D3DDISPLAYMODE mode{};
    if (FAILED(s.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return E_FAIL;

    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = s.windowed ? TRUE : FALSE;
    if (!s.windowed) {
        parameters.BackBufferWidth = kFullScreenWidth;
        parameters.BackBufferHeight = kFullScreenHeight;
    }
    // Windowed, width and height stay 0: the back buffer takes the window's
    // client size at this moment, which is what the magnified view relies on.
    parameters.BackBufferFormat = mode.Format;
    parameters.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(s.sampleCount);
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;

    if (FAILED(s.direct3d->CreateDevice(D3DADAPTER_DEFAULT, s.deviceType, window,
                                        D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                        &s.device))) {
        s.device = nullptr; // a failed creation hands out nothing
        return E_FAIL;
    }

    // Both faces of each triangle are seen as the pair turns; the vertex
    // colours are shown unlit; the depth test draws the intersection.
    s.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    s.device->SetRenderState(D3DRS_LIGHTING, FALSE);
    s.device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    return S_OK;
}

bool SampleCountSupported(int sampleCount) {
    ViewerState& s = viewerState;
    // After a reconfiguration that could not complete there may be no
    // Direct3D object; the question does not need a device, so ask a
    // temporary one.
    std::unique_ptr<IDirect3D8, ReleaseReference> temporary;
    IDirect3D8* direct3d = s.direct3d;
    if (!direct3d) {
        temporary.reset(Direct3DCreate8(D3D_SDK_VERSION));
        direct3d = temporary.get();
        if (!direct3d) return false;
    }
    D3DDISPLAYMODE mode{};
    if (FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return false;
    return direct3d->CheckDeviceMultiSampleType(
               D3DADAPTER_DEFAULT, s.deviceType, mode.Format, s.windowed ? TRUE : FALSE,
               static_cast<D3DMULTISAMPLE_TYPE>(sampleCount)) == D3D_OK;
}
