// Windowless devices on chosen adapter profiles for the texture tests. The
// fixture releases them and then checks that no runtime object is left.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/direct3d8.h"
#include "platform/runtime_control.h"
#include "support/test_support.h"

namespace texturetest {

class ProfileDeviceTest : public txtest::LiveObjectTest {
protected:
    void SetUp() override {
        LiveObjectTest::SetUp();
        previousProfile_ = txplatform::CurrentAdapterProfile();
    }

    void TearDown() override {
        for (auto it = owned_.rbegin(); it != owned_.rend(); ++it)
            (*it)->Release();
        owned_.clear();
        txplatform::SelectAdapterProfile(previousProfile_.c_str());
        LiveObjectTest::TearDown();
    }

    // A device of the named profile, released with the fixture.
    IDirect3DDevice8* Device(const char* profile = "default") {
        EXPECT_TRUE(txplatform::SelectAdapterProfile(profile)) << profile;
        IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
        EXPECT_NE(d3d, nullptr);
        if (!d3d) return nullptr;
        D3DPRESENT_PARAMETERS params = {};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        IDirect3DDevice8* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device),
                  D3D_OK);
        d3d->Release(); // the device keeps its Direct3D object
        return Keep(device);
    }

    // Released at the end of the test, latest first.
    template <typename T>
    T* Keep(T* object) {
        if (object) owned_.push_back(object);
        return object;
    }

    // Objects that live until the end of the test.
    IDirect3DTexture8* Texture(IDirect3DDevice8* device, UINT width, UINT height, UINT levels,
                               D3DFORMAT format, D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, levels, 0, format, pool, &texture), D3D_OK);
        return Keep(texture);
    }

    IDirect3DSurface8* ImageSurface(IDirect3DDevice8* device, UINT width, UINT height,
                                    D3DFORMAT format) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device->CreateImageSurface(width, height, format, &surface), D3D_OK);
        return Keep(surface);
    }

    IDirect3DSurface8* Level(IDirect3DTexture8* texture, UINT level) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
        return Keep(surface);
    }

    IDirect3DSurface8* Face(IDirect3DCubeTexture8* cube, UINT face, UINT level) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, &surface),
                  D3D_OK);
        return Keep(surface);
    }

    IDirect3DVolume8* VolumeLevel(IDirect3DVolumeTexture8* texture, UINT level) {
        IDirect3DVolume8* volume = nullptr;
        EXPECT_EQ(texture->GetVolumeLevel(level, &volume), D3D_OK);
        return Keep(volume);
    }

private:
    std::string previousProfile_;
    std::vector<IUnknown*> owned_;
};

// Pixels of a 32-bit surface of a lockable pool, row by row.
inline std::vector<DWORD> ReadPixels32(IDirect3DSurface8* surface) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked;
    std::vector<DWORD> pixels;
    if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) {
        ADD_FAILURE() << "surface cannot be read";
        return pixels;
    }
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) +
                                                         size_t(y) * locked.Pitch);
        pixels.insert(pixels.end(), row, row + desc.Width);
    }
    surface->UnlockRect();
    return pixels;
}

inline void WritePixels32(IDirect3DSurface8* surface, const std::vector<DWORD>& pixels) {
    D3DSURFACE_DESC desc;
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    ASSERT_EQ(pixels.size(), size_t(desc.Width) * desc.Height);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
        std::copy(
            pixels.begin() + size_t(y) * desc.Width, pixels.begin() + size_t(y + 1) * desc.Width,
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch));
    surface->UnlockRect();
}

// Reproducible noise: every channel of every pixel differs from its
// neighbours, so that any change of filter or source shows.
inline std::vector<DWORD> NoisePixels(size_t count, DWORD seed) {
    std::vector<DWORD> pixels(count);
    DWORD state = seed * 2654435761u + 1;
    for (DWORD& pixel : pixels) {
        state = state * 1664525u + 1013904223u;
        pixel = state ^ (state >> 13);
    }
    return pixels;
}

// Halves a 32-bit image the way the packed box filter does: each byte field
// is (a + b + c + d + 2) >> 2 of the four pixels it covers.
inline std::vector<DWORD> HalveByBox(const std::vector<DWORD>& pixels, UINT width, UINT height) {
    const UINT w = width / 2, h = height / 2;
    std::vector<DWORD> out(size_t(w) * h);
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
            const DWORD a = pixels[size_t(2 * y) * width + 2 * x];
            const DWORD b = pixels[size_t(2 * y) * width + 2 * x + 1];
            const DWORD c = pixels[size_t(2 * y + 1) * width + 2 * x];
            const DWORD d = pixels[size_t(2 * y + 1) * width + 2 * x + 1];
            DWORD result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const DWORD sum = (a >> shift & 0xFF) + (b >> shift & 0xFF) + (c >> shift & 0xFF) +
                                  (d >> shift & 0xFF) + 2;
                result |= (sum >> 2) << shift;
            }
            out[size_t(y) * w + x] = result;
        }
    }
    return out;
}

} // namespace texturetest
