// Adapter profiles: selection, and what each profile answers and allows.
#include <cstdlib>
#include <set>
#include <string>

#include "platform/runtime/adapter_profile.h"
#include "runtime_fixture.h"

namespace txtest {
namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool hadOld_ = false;
};

class RuntimeProfilesTest : public RuntimeTest {
protected:
    HRESULT CheckFormat(DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
        return d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage,
                                       type, format);
    }
};

TEST_F(RuntimeProfilesTest, ProfilesAreListedAndSelectedByName) {
    std::set<std::string> names;
    unsigned i = 0;
    for (; txplatform::AdapterProfileName(i); ++i)
        names.insert(txplatform::AdapterProfileName(i));
    EXPECT_EQ(names.size(), i) << "names are unique";
    for (const char* required :
         {"default", "pow2-only", "no-dxt", "msaa-0-2-4", "no-mipmaps", "nonpow2-conditional",
          "square-only", "small-textures", "no-cube-volume"})
        EXPECT_EQ(names.count(required), 1u) << required;

    EXPECT_TRUE(txplatform::SelectAdapterProfile("no-dxt"));
    EXPECT_STREQ(txplatform::CurrentAdapterProfile(), "no-dxt");
    EXPECT_FALSE(txplatform::SelectAdapterProfile("no-such-profile"));
    EXPECT_FALSE(txplatform::SelectAdapterProfile(nullptr));
    EXPECT_FALSE(txplatform::SelectAdapterProfile("NO-DXT"));
    EXPECT_STREQ(txplatform::CurrentAdapterProfile(), "no-dxt");
}

TEST_F(RuntimeProfilesTest, AnObjectKeepsTheProfileItWasCreatedWith) {
    ASSERT_TRUE(txplatform::SelectAdapterProfile("no-dxt"));
    Ref<IDirect3D8> noDxt(Direct3DCreate8(D3D_SDK_VERSION));
    ASSERT_TRUE(txplatform::SelectAdapterProfile("default"));
    EXPECT_EQ(noDxt->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0,
                                       D3DRTYPE_TEXTURE, D3DFMT_DXT1),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(CheckFormat(0, D3DRTYPE_TEXTURE, D3DFMT_DXT1), D3D_OK);
    // Its devices follow it.
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(noDxt->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    Ref<IDirect3DTexture8> texture;
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, Out(texture)),
              D3DERR_INVALIDCALL);
}

TEST_F(RuntimeProfilesTest, TheEnvironmentChoosesWhenNoProfileWasSelected) {
    txruntime::ResetAdapterProfileSelection();
    {
        ScopedEnv env("TX_ADAPTER_PROFILE", "msaa-0-2-4");
        EXPECT_STREQ(txplatform::CurrentAdapterProfile(), "msaa-0-2-4");
        Ref<IDirect3D8> fromEnv(Direct3DCreate8(D3D_SDK_VERSION));
        EXPECT_EQ(fromEnv->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL,
                                                      D3DFMT_X8R8G8B8, TRUE,
                                                      D3DMULTISAMPLE_3_SAMPLES),
                  D3DERR_NOTAVAILABLE);
        // A selection by call wins over the environment.
        ASSERT_TRUE(txplatform::SelectAdapterProfile("default"));
        Ref<IDirect3D8> selected(Direct3DCreate8(D3D_SDK_VERSION));
        EXPECT_EQ(selected->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL,
                                                       D3DFMT_X8R8G8B8, TRUE,
                                                       D3DMULTISAMPLE_3_SAMPLES),
                  D3D_OK);
        txruntime::ResetAdapterProfileSelection();
    }
    {
        ScopedEnv env("TX_ADAPTER_PROFILE", nullptr);
        EXPECT_STREQ(txplatform::CurrentAdapterProfile(), "default");
    }
    {
        // A name that is no profile falls back to the default, with one
        // warning that is printed whatever the debug switch says.
        ScopedEnv env("TX_ADAPTER_PROFILE", "pow2only-typo");
        StderrCapture capture;
        Ref<IDirect3D8> first(Direct3DCreate8(D3D_SDK_VERSION));
        Ref<IDirect3D8> second(Direct3DCreate8(D3D_SDK_VERSION));
        const std::string text = capture.Text();
        ASSERT_TRUE(first && second);
        EXPECT_NE(text.find("pow2only-typo"), std::string::npos) << text;
        EXPECT_EQ(text.find("pow2only-typo"), text.rfind("pow2only-typo")) << text;
        EXPECT_EQ(first->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0,
                                           D3DRTYPE_TEXTURE, D3DFMT_DXT1),
                  D3D_OK);
    }
}

TEST_F(RuntimeProfilesTest, CheckDeviceFormatAnswersPerProfileUsageAndType) {
    struct Case {
        const char* profile;
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    };
    const HRESULT ok = D3D_OK, no = D3DERR_NOTAVAILABLE, bad = D3DERR_INVALIDCALL;
    const Case cases[] = {
        {"default", 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, ok},
        {"default", 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_DXT5, ok},
        {"default", 0, D3DRTYPE_CUBETEXTURE, D3DFMT_P8, ok},
        {"default", 0, D3DRTYPE_TEXTURE, D3DFMT_R8G8B8, ok},
        {"default", 0, D3DRTYPE_TEXTURE, D3DFMT_D24S8, ok},
        {"default", D3DUSAGE_DYNAMIC, D3DRTYPE_TEXTURE, D3DFMT_YUY2, ok},
        {"default", D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, ok},
        {"default", D3DUSAGE_RENDERTARGET, D3DRTYPE_CUBETEXTURE, D3DFMT_R5G6B5, ok},
        {"default", D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_L8, no},
        {"default", D3DUSAGE_RENDERTARGET, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8, no},
        {"default", D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, ok},
        {"default", D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_X8R8G8B8, no},
        {"default", 0, D3DRTYPE_TEXTURE, static_cast<D3DFORMAT>(0x36314C20), no},
        {"default", 0, D3DRTYPE_TEXTURE, D3DFMT_UNKNOWN, no},
        {"default", 0, D3DRTYPE_VERTEXBUFFER, D3DFMT_VERTEXDATA, ok},
        {"default", 0, static_cast<D3DRESOURCETYPE>(99), D3DFMT_A8R8G8B8, bad},
        {"default", 0x80000u, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, bad},
        {"default", D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16,
         bad},
        {"default", D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8,
         bad},
        {"no-dxt", 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, no},
        {"no-dxt", 0, D3DRTYPE_CUBETEXTURE, D3DFMT_DXT3, no},
        {"no-dxt", 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_DXT5, no},
        {"no-dxt", 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, ok},
        {"no-cube-volume", 0, D3DRTYPE_CUBETEXTURE, D3DFMT_A8R8G8B8, no},
        {"no-cube-volume", 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8, no},
        {"no-cube-volume", 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.profile << " usage " << c.usage << " type " << c.type
                                        << " format " << c.format);
        UseProfile(c.profile);
        EXPECT_EQ(CheckFormat(c.usage, c.type, c.format), c.expected);
    }
    EXPECT_EQ(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_L8, 0,
                                      D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                      D3DFMT_A8R8G8B8),
              D3DERR_INVALIDCALL);
}

TEST_F(RuntimeProfilesTest, MultisampleTypesAreAcceptedPerProfileAndMode) {
    struct Case {
        const char* profile;
        std::set<unsigned> windowed, fullScreen;
    };
    const std::set<unsigned> all = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Case cases[] = {
        {"default", all, all},
        {"msaa-0-2-4", {0, 2, 4}, {0, 2, 4}},
        {"msaa-fullscreen-only", {0}, {0, 2, 4, 8}},
    };
    for (const Case& c : cases) {
        UseProfile(c.profile);
        for (BOOL windowed : {TRUE, FALSE})
            for (unsigned type = 0; type <= 16; ++type) {
                SCOPED_TRACE(testing::Message()
                             << c.profile << " windowed " << windowed << " type " << type);
                const auto& accepted = windowed ? c.windowed : c.fullScreen;
                for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_D16})
                    EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(
                                  D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, windowed,
                                  static_cast<D3DMULTISAMPLE_TYPE>(type)),
                              accepted.count(type) ? D3D_OK : D3DERR_NOTAVAILABLE);
            }
        EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL,
                                                   D3DFMT_X8R8G8B8, TRUE,
                                                   static_cast<D3DMULTISAMPLE_TYPE>(17)),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_L8,
                                                   TRUE, D3DMULTISAMPLE_NONE),
                  D3DERR_NOTAVAILABLE);
    }
    // The device refuses what its profile refuses.
    UseProfile("msaa-0-2-4");
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    p.MultiSampleType = D3DMULTISAMPLE_3_SAMPLES;
    Ref<IDirect3DDevice8> device;
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3DERR_INVALIDCALL);
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    Ref<IDirect3DSurface8> target;
    EXPECT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_8_SAMPLES, FALSE,
                                          Out(target)),
              D3DERR_INVALIDCALL);
}

TEST_F(RuntimeProfilesTest, CapsDescribeTheProfile) {
    struct Case {
        const char* profile;
        DWORD present, absent;
        DWORD maxWidth, aspect;
    };
    const DWORD mips =
        D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP;
    const DWORD pow2 =
        D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_CUBEMAP_POW2 | D3DPTEXTURECAPS_VOLUMEMAP_POW2;
    const DWORD kinds = D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_VOLUMEMAP;
    const Case cases[] = {
        {"default", mips | kinds,
         pow2 | D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 8192, 8192},
        {"pow2-only", mips | kinds | pow2, D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 8192, 8192},
        {"nonpow2-conditional", D3DPTEXTURECAPS_NONPOW2CONDITIONAL | mips, pow2, 8192, 8192},
        {"square-only", D3DPTEXTURECAPS_SQUAREONLY | mips, pow2, 8192, 8192},
        {"no-mipmaps", kinds, mips, 8192, 8192},
        {"no-cube-volume", D3DPTEXTURECAPS_MIPMAP, kinds, 8192, 8192},
        {"small-textures", mips | kinds, pow2, 256, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        UseProfile(c.profile);
        D3DCAPS8 caps{};
        ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
        EXPECT_EQ(caps.TextureCaps & c.present, c.present);
        EXPECT_EQ(caps.TextureCaps & c.absent, 0u);
        EXPECT_EQ(caps.MaxTextureWidth, c.maxWidth);
        EXPECT_EQ(caps.MaxTextureHeight, c.maxWidth);
        EXPECT_EQ(caps.MaxTextureAspectRatio, c.aspect);
        EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
        EXPECT_EQ(caps.AdapterOrdinal, 0u);
    }
}

TEST_F(RuntimeProfilesTest, CreationHonoursTheProfile) {
    struct Case {
        const char* profile;
        D3DRESOURCETYPE type;
        UINT width, height, depth, levels;
        D3DFORMAT format;
        D3DPOOL pool;
        HRESULT expected;
        UINT expectedLevels;
    };
    const HRESULT ok = D3D_OK, bad = D3DERR_INVALIDCALL;
    const D3DRESOURCETYPE tex = D3DRTYPE_TEXTURE, cube = D3DRTYPE_CUBETEXTURE,
                          vol = D3DRTYPE_VOLUMETEXTURE;
    const D3DFORMAT argb = D3DFMT_A8R8G8B8;
    const D3DPOOL managed = D3DPOOL_MANAGED, scratch = D3DPOOL_SCRATCH;
    const Case cases[] = {
        {"default", tex, 100, 60, 1, 0, argb, managed, ok, 7},
        {"pow2-only", tex, 100, 60, 1, 1, argb, managed, bad, 0},
        {"pow2-only", tex, 128, 64, 1, 0, argb, managed, ok, 8},
        {"pow2-only", tex, 100, 60, 1, 0, argb, scratch, ok, 7},
        {"pow2-only", cube, 12, 12, 1, 1, argb, managed, bad, 0},
        {"pow2-only", vol, 8, 8, 6, 1, argb, managed, bad, 0},
        {"nonpow2-conditional", tex, 100, 60, 1, 1, argb, managed, ok, 1},
        {"nonpow2-conditional", tex, 100, 60, 1, 0, argb, managed, bad, 0},
        {"nonpow2-conditional", tex, 100, 60, 1, 2, argb, managed, bad, 0},
        {"nonpow2-conditional", tex, 128, 64, 1, 0, argb, managed, ok, 8},
        {"nonpow2-conditional", cube, 12, 12, 1, 1, argb, managed, ok, 1},
        {"square-only", tex, 64, 32, 1, 1, argb, managed, bad, 0},
        {"square-only", tex, 64, 64, 1, 0, argb, managed, ok, 7},
        {"square-only", tex, 64, 32, 1, 1, argb, scratch, ok, 1},
        {"small-textures", tex, 256, 256, 1, 0, argb, managed, ok, 9},
        {"small-textures", tex, 512, 512, 1, 1, argb, managed, bad, 0},
        {"small-textures", tex, 256, 128, 1, 1, argb, managed, ok, 1},
        {"small-textures", tex, 256, 64, 1, 1, argb, managed, bad, 0},
        {"small-textures", tex, 256, 64, 1, 1, argb, scratch, ok, 1},
        {"small-textures", cube, 512, 512, 1, 1, argb, managed, bad, 0},
        {"small-textures", vol, 64, 64, 64, 1, argb, managed, ok, 1},
        {"small-textures", vol, 64, 64, 128, 1, argb, managed, bad, 0},
        {"no-mipmaps", tex, 64, 64, 1, 0, argb, managed, ok, 1},
        {"no-mipmaps", tex, 64, 64, 1, 2, argb, managed, bad, 0},
        {"no-mipmaps", cube, 64, 64, 1, 0, argb, managed, ok, 1},
        {"no-mipmaps", vol, 8, 8, 8, 0, argb, managed, ok, 1},
        {"no-mipmaps", tex, 64, 64, 1, 0, argb, scratch, ok, 7},
        {"no-dxt", tex, 64, 64, 1, 0, D3DFMT_DXT1, managed, bad, 0},
        {"no-dxt", tex, 64, 64, 1, 0, D3DFMT_DXT1, scratch, ok, 7},
        {"no-cube-volume", cube, 8, 8, 1, 1, argb, managed, bad, 0},
        {"no-cube-volume", vol, 8, 8, 8, 1, argb, managed, bad, 0},
        {"no-cube-volume", vol, 8, 8, 8, 1, argb, scratch, ok, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.profile << " type " << c.type << " " << c.width << "x" << c.height << "x"
                     << c.depth << " levels " << c.levels << " pool " << c.pool);
        UseProfile(c.profile);
        Ref<IDirect3DBaseTexture8> made;
        HRESULT hr = E_FAIL;
        if (c.type == tex) {
            Ref<IDirect3DTexture8> texture;
            hr = device_->CreateTexture(c.width, c.height, c.levels, 0, c.format, c.pool,
                                        Out(texture));
            made.reset(texture.release());
        } else if (c.type == cube) {
            Ref<IDirect3DCubeTexture8> texture;
            hr = device_->CreateCubeTexture(c.width, c.levels, 0, c.format, c.pool, Out(texture));
            made.reset(texture.release());
        } else {
            Ref<IDirect3DVolumeTexture8> texture;
            hr = device_->CreateVolumeTexture(c.width, c.height, c.depth, c.levels, 0, c.format,
                                              c.pool, Out(texture));
            made.reset(texture.release());
        }
        EXPECT_EQ(hr, c.expected);
        EXPECT_EQ(made != nullptr, c.expected == ok);
        if (made) {
            EXPECT_EQ(made->GetLevelCount(), c.expectedLevels);
        }
    }
}

TEST_F(RuntimeProfilesTest, TheDesktopFormatComesFromTheProfile) {
    UseProfile("display-r5g6b5");
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_R5G6B5,
                                    D3DFMT_R5G6B5, TRUE),
              D3D_OK);
}

} // namespace
} // namespace txtest
