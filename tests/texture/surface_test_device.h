// A software device for the surface tests, and a surface that records how it
// is locked.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/direct3d8.h"
#include "support/test_support.h"

namespace surfacetest {

// A windowed device without window, released with the fixture.
class DeviceTest : public txtest::LiveObjectTest {
protected:
    void SetUp() override {
        LiveObjectTest::SetUp();
        d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        D3DPRESENT_PARAMETERS params = {};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device_),
                  D3D_OK);
    }

    void TearDown() override {
        for (IUnknown* object : owned_)
            object->Release();
        owned_.clear();
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        device_ = nullptr;
        d3d_ = nullptr;
        LiveObjectTest::TearDown();
    }

    // Released at the end of the test.
    template <typename T>
    T* Keep(T* object) {
        if (object) owned_.push_back(object);
        return object;
    }

    IDirect3DTexture8* Texture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                               D3DPOOL pool) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(width, height, levels, usage, format, pool, &texture),
                  D3D_OK);
        return Keep(texture);
    }

    IDirect3DSurface8* Level(IDirect3DTexture8* texture, UINT level = 0) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
        return Keep(surface);
    }

    IDirect3DSurface8* ImageSurface(UINT width, UINT height, D3DFORMAT format) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device_->CreateImageSurface(width, height, format, &surface), D3D_OK);
        return Keep(surface);
    }

    // Fills a 32-bit surface of any pool through a system-memory surface.
    void Fill32(IDirect3DSurface8* surface, const std::vector<DWORD>& pixels) {
        D3DSURFACE_DESC desc;
        ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
        IDirect3DSurface8* staging = ImageSurface(desc.Width, desc.Height, desc.Format);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(staging->LockRect(&locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) +
                                         size_t(y) * locked.Pitch)[x] = pixels[y * desc.Width + x];
        staging->UnlockRect();
        ASSERT_EQ(device_->CopyRects(staging, nullptr, 0, surface, nullptr), D3D_OK);
    }

    // Reads a 32-bit surface of any pool through a system-memory surface.
    std::vector<DWORD> Read32(IDirect3DSurface8* surface) {
        D3DSURFACE_DESC desc;
        EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
        IDirect3DSurface8* staging = ImageSurface(desc.Width, desc.Height, desc.Format);
        EXPECT_EQ(device_->CopyRects(surface, nullptr, 0, staging, nullptr), D3D_OK);
        std::vector<DWORD> pixels;
        D3DLOCKED_RECT locked;
        EXPECT_EQ(staging->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                pixels.push_back(reinterpret_cast<const DWORD*>(
                    static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch)[x]);
        staging->UnlockRect();
        return pixels;
    }

    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;

private:
    std::vector<IUnknown*> owned_;
};

// Forwards to a real surface and records every LockRect.
class SpySurface final : public IDirect3DSurface8 {
public:
    explicit SpySurface(IDirect3DSurface8* real) : real_(real) {}

    struct LockCall {
        bool whole;
        RECT rect;
        DWORD flags;
    };
    std::vector<LockCall> locks;
    int unlocks = 0;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return real_->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice8** device) override { return real_->GetDevice(device); }
    HRESULT GetContainer(REFIID riid, void** container) override {
        return real_->GetContainer(riid, container);
    }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override { return real_->GetDesc(desc); }
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        locks.push_back({rect == nullptr, rect ? *rect : RECT{}, flags});
        return real_->LockRect(locked, rect, flags);
    }
    HRESULT UnlockRect() override {
        ++unlocks;
        return real_->UnlockRect();
    }

private:
    IDirect3DSurface8* real_;
};

} // namespace surfacetest
