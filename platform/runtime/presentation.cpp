#include "platform/runtime/presentation.h"

#include "platform/runtime/debug_output.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime/pixel_storage.h"
#include "platform/win32_ui.h"

namespace txruntime {

namespace {

// More back buffers than a swap chain can rotate through.
constexpr UINT kMaxBackBuffers = 3;

HRESULT ResolveWindowed(const AdapterProfile& profile, const char* call, D3DPRESENT_PARAMETERS& p,
                        HWND window) {
    if (p.FullScreen_RefreshRateInHz != 0)
        return Fail(D3DERR_INVALIDCALL, call, "a windowed device has no refresh rate");
    if (p.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call, "a windowed device has no presentation interval");
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = profile.desktop.Format;
    if (!FormatInSet(profile.renderTargetFormats, p.BackBufferFormat))
        return Fail(D3DERR_INVALIDCALL, call, "%s cannot be a back buffer",
                    FormatName(p.BackBufferFormat));
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        if (!window)
            return Fail(D3DERR_INVALIDCALL, call,
                        "a device without window needs a back-buffer width and height");
        RECT client{};
        if (!GetClientRect(window, &client))
            return Fail(D3DERR_INVALIDCALL, call, "the window's client area is unknown");
        const LONG width = client.right - client.left;
        const LONG height = client.bottom - client.top;
        if (p.BackBufferWidth == 0) p.BackBufferWidth = width > 0 ? static_cast<UINT>(width) : 1;
        if (p.BackBufferHeight == 0)
            p.BackBufferHeight = height > 0 ? static_cast<UINT>(height) : 1;
    }
    return D3D_OK;
}

HRESULT ResolveFullScreen(const AdapterProfile& profile, const char* call,
                          const D3DPRESENT_PARAMETERS& p, HWND window, D3DDISPLAYMODE* mode) {
    if (!window) return Fail(D3DERR_INVALIDCALL, call, "a full-screen device needs a window");
    const UINT interval = p.FullScreen_PresentationInterval;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && interval != D3DPRESENT_INTERVAL_ONE &&
        interval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return Fail(D3DERR_INVALIDCALL, call, "unknown presentation interval 0x%x", interval);
    for (UINT i = 0; i < profile.modeCount; ++i) {
        const D3DDISPLAYMODE& m = profile.modes[i];
        if (m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight &&
            BackBufferMatchesDisplay(m.Format, p.BackBufferFormat) &&
            (p.FullScreen_RefreshRateInHz == 0 || p.FullScreen_RefreshRateInHz == m.RefreshRate)) {
            *mode = m;
            return D3D_OK;
        }
    }
    return Fail(D3DERR_INVALIDCALL, call, "no display mode %ux%u %s at %u Hz", p.BackBufferWidth,
                p.BackBufferHeight, FormatName(p.BackBufferFormat), p.FullScreen_RefreshRateInHz);
}

} // namespace

HRESULT ResolvePresentation(const AdapterProfile& profile, const char* call, HWND focusWindow,
                            const D3DPRESENT_PARAMETERS& requested, Presentation* resolved) {
    D3DPRESENT_PARAMETERS p = requested;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC)
        return Fail(D3DERR_INVALIDCALL, call, "unknown swap effect %u",
                    static_cast<unsigned>(p.SwapEffect));
    if (p.BackBufferCount > kMaxBackBuffers)
        return Fail(D3DERR_INVALIDCALL, call, "%u back buffers; at most %u", p.BackBufferCount,
                    kMaxBackBuffers);
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    if ((p.SwapEffect == D3DSWAPEFFECT_COPY || p.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC) &&
        p.BackBufferCount > 1)
        return Fail(D3DERR_INVALIDCALL, call, "a copying swap effect has one back buffer");
    if (p.Flags & ~D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)
        return Fail(D3DERR_INVALIDCALL, call, "unknown presentation flags 0x%x", p.Flags);

    const HWND window = p.hDeviceWindow ? p.hDeviceWindow : focusWindow;
    D3DDISPLAYMODE mode{};
    HRESULT hr = p.Windowed ? ResolveWindowed(profile, call, p, window)
                            : ResolveFullScreen(profile, call, p, window, &mode);
    if (FAILED(hr)) return hr;
    if (p.BackBufferWidth > kMaxDimension || p.BackBufferHeight > kMaxDimension)
        return Fail(D3DERR_INVALIDCALL, call, "a %ux%u back buffer exceeds the runtime's limit %u",
                    p.BackBufferWidth, p.BackBufferHeight, kMaxDimension);

    if (p.MultiSampleType != D3DMULTISAMPLE_NONE) {
        if (p.SwapEffect != D3DSWAPEFFECT_DISCARD)
            return Fail(D3DERR_INVALIDCALL, call, "multisampling needs D3DSWAPEFFECT_DISCARD");
        if (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)
            return Fail(D3DERR_INVALIDCALL, call, "a multisampled back buffer cannot be lockable");
    }
    if (FAILED(CheckMultiSample(profile, call, p.BackBufferFormat, p.Windowed, p.MultiSampleType)))
        return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil) {
        if (!FormatInSet(profile.depthStencilFormats, p.AutoDepthStencilFormat))
            return Fail(D3DERR_INVALIDCALL, call, "%s is not a depth-stencil format",
                        FormatName(p.AutoDepthStencilFormat));
        if (FAILED(CheckMultiSample(profile, call, p.AutoDepthStencilFormat, p.Windowed,
                                    p.MultiSampleType)))
            return D3DERR_INVALIDCALL;
    }
    resolved->parameters = p;
    resolved->window = window;
    resolved->fullScreenMode = mode;
    return D3D_OK;
}

} // namespace txruntime
