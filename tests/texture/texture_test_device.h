// Windowless devices on chosen adapter profiles for the texture tests. The
// fixture releases them and then checks that no runtime object is left.
#pragma once

#include <gtest/gtest.h>

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

private:
    std::string previousProfile_;
    std::vector<IUnknown*> owned_;
};

} // namespace texturetest
