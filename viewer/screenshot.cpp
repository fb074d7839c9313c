#include "viewer/screenshot.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/win32_system.h"
#include "texture/texture.h"
#include "viewer/viewer_state.h"

namespace {

// Creates the first free "<n>.bmp", empty, and thereby makes the name ours:
// an exclusive creation fails under every name where anything exists, a
// file that cannot be opened included. The save then replaces only this
// empty file of our own.
HRESULT ReserveName(char (&name)[kScreenshotNameSize]) {
    for (int n = 0; n < INT_MAX; ++n) {
        std::snprintf(name, sizeof name, "%i.bmp", n);
        const HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return S_OK;
        }
        const DWORD error = GetLastError();
        // Any other reason (no right to create here, no room) would stop
        // every further number too.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return TXERR_INVALIDDATA;
    }
    return TXERR_INVALIDDATA;
}

} // namespace

HRESULT SaveScreenshot(IDirect3DSurface8* surface, char (*written)[kScreenshotNameSize]) {
    if (!surface) return D3DERR_INVALIDCALL;
    char name[kScreenshotNameSize];
    HRESULT hr = ReserveName(name);
    if (FAILED(hr)) return hr;
    hr = TxSaveSurfaceToFile(name, TX_IFF_BMP, surface, nullptr, nullptr);
    if (FAILED(hr)) {
        // The number stays free for the next capture.
        DeleteFileA(name);
        return hr;
    }
    if (written) std::memcpy(*written, name, sizeof name);
    return S_OK;
}

HRESULT CaptureFrontBuffer() {
    IDirect3DDevice8* device = viewerState.device;
    if (!device) return D3DERR_INVALIDCALL;
    D3DDISPLAYMODE mode;
    HRESULT hr = device->GetDisplayMode(&mode);
    if (FAILED(hr)) return hr;
    // The front buffer is the whole display, also when the viewer runs in a
    // window.
    IDirect3DSurface8* surface = nullptr;
    hr = device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &surface);
    if (FAILED(hr)) return hr;
    hr = device->GetFrontBuffer(surface);
    if (SUCCEEDED(hr)) hr = SaveScreenshot(surface);
    surface->Release();
    return hr;
}
