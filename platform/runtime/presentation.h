// Checking the presentation parameters of CreateDevice and Reset, and
// filling in what the caller left to the runtime.
#pragma once

#include "platform/runtime/adapter_profile.h"

namespace txruntime {

struct Presentation {
    // The caller's parameters with the back-buffer size, format and count
    // filled in.
    D3DPRESENT_PARAMETERS parameters;
    // The window that shows the back buffer: hDeviceWindow, else the focus
    // window; null for an off-screen device.
    HWND window;
    // The display mode a full-screen device takes.
    D3DDISPLAYMODE fullScreenMode;
};

// A windowed back buffer of width or height 0 takes the client size of the
// window; that needs a window. A full-screen back buffer must have the size,
// format (or its alpha variant) and refresh rate (or 0) of one of the
// profile's modes, and needs a window too.
HRESULT ResolvePresentation(const AdapterProfile& profile, const char* call, HWND focusWindow,
                            const D3DPRESENT_PARAMETERS& requested, Presentation* resolved);

} // namespace txruntime
