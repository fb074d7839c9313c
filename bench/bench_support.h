// Set-up shared by the benchmark programs: a windowless device and a 24-bit
// bitmap file built in memory.
#pragma once

#include <vector>

#include "platform/direct3d8.h"

namespace txbench {

// A 24-bit BI_RGB bitmap file of the given size with a fixed pseudo-random
// picture, rows bottom-up or (with a negative height) top-down.
inline std::vector<BYTE> Make24BitBmp(UINT width, UINT height, bool topDown = false) {
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    std::vector<BYTE> file(54 + stride * height);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = BYTE(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, UINT(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, topDown ? UINT(-int(height)) : height);
    file[26] = 1;
    file[28] = 24;
    for (size_t i = 54; i < file.size(); ++i)
        file[i] = BYTE(i * 2654435761u >> 13);
    return file;
}

// A device without a window, for work that draws nothing. `device` is null
// when the runtime refuses.
struct OffscreenDevice {
    OffscreenDevice() {
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params = {};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        if (d3d)
            d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    }
    ~OffscreenDevice() {
        if (device) device->Release();
        if (d3d) d3d->Release();
    }
    OffscreenDevice(const OffscreenDevice&) = delete;
    OffscreenDevice& operator=(const OffscreenDevice&) = delete;

    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

} // namespace txbench
