// Creating the Direct3D object, devices and resources, and refusing bad
// requests without leaving anything behind.
#include "runtime_fixture.h"

namespace txtest {
namespace {

using RuntimeCreateTest = RuntimeTest;

TEST_F(RuntimeCreateTest, OnlyTheRuntimesVersionCreatesADirect3DObject) {
    for (UINT version : {0u, 219u, 221u, 120u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Direct3DCreate8(version), nullptr) << version;
    }
    Ref<IDirect3D8> direct3d(Direct3DCreate8(D3D_SDK_VERSION));
    EXPECT_TRUE(direct3d);
}

TEST_F(RuntimeCreateTest, TheAdapterDescribesItself) {
    EXPECT_EQ(d3d_->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER8 identifier{};
    ASSERT_EQ(d3d_->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier), D3D_OK);
    EXPECT_NE(std::string(identifier.Description).find("default"), std::string::npos);
    EXPECT_EQ(d3d_->GetAdapterIdentifier(1, 0, &identifier), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, nullptr), D3DERR_INVALIDCALL);

    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    EXPECT_EQ(desktop.Width, 1024u);
    EXPECT_EQ(desktop.Height, 768u);
    EXPECT_EQ(desktop.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(d3d_->GetAdapterDisplayMode(1, &desktop), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, nullptr), D3DERR_INVALIDCALL);

    const UINT modes = d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    ASSERT_GT(modes, 0u);
    EXPECT_EQ(d3d_->GetAdapterModeCount(1), 0u);
    bool has640x480 = false;
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE mode{};
        ASSERT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode), D3D_OK);
        has640x480 |= mode.Width == 640 && mode.Height == 480 && mode.Format == D3DFMT_X8R8G8B8;
    }
    EXPECT_TRUE(has640x480);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, modes, &mode), D3DERR_INVALIDCALL);

    D3DCAPS8 caps{};
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(caps.AdapterOrdinal, 0u);
    EXPECT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_SW, &caps), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                    D3DFMT_X8R8G8B8, TRUE),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                    D3DFMT_A8R8G8B8, FALSE),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_R5G6B5,
                                    D3DFMT_X8R8G8B8, FALSE),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_R5G6B5,
                                    D3DFMT_R5G6B5, TRUE),
              D3DERR_NOTAVAILABLE); // windowed needs the desktop's format
    EXPECT_EQ(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8,
                                    D3DFMT_X8R8G8B8, TRUE),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                           D3DFMT_X8R8G8B8, D3DFMT_D24S8),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                           D3DFMT_X8R8G8B8, D3DFMT_L8),
              D3DERR_NOTAVAILABLE);
}

TEST_F(RuntimeCreateTest, AnOffscreenDeviceHasTheRequestedBuffers) {
    D3DPRESENT_PARAMETERS p = OffscreenParameters(40, 30);
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 0;
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device)),
              D3D_OK);
    // What the runtime filled in is given back.
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.BackBufferCount, 1u);

    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 40u);
    EXPECT_EQ(desc.Height, 30u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_NONE);
    Ref<IDirect3DSurface8> depth;
    ASSERT_EQ(device->GetDepthStencilSurface(Out(depth)), D3D_OK);
    ASSERT_EQ(depth->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    EXPECT_EQ(desc.Usage, D3DUSAGE_DEPTHSTENCIL);
    EXPECT_EQ(desc.Width, 40u);
    EXPECT_EQ(device->GetBackBuffer(1, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(backBuffer);

    D3DDEVICE_CREATION_PARAMETERS creation{};
    ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
    EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(creation.hFocusWindow, nullptr);
    EXPECT_EQ(creation.BehaviorFlags, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1024u);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_GT(device->GetAvailableTextureMem(), 0u);
    Ref<IDirect3D8> direct3d;
    ASSERT_EQ(device->GetDirect3D(Out(direct3d)), D3D_OK);
    EXPECT_EQ(direct3d.get(), d3d_.get());

    // A multisampled device with three buffers and no depth surface.
    p = OffscreenParameters(16, 16);
    p.BackBufferCount = 3;
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    p.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, nullptr,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &p,
                                 Out(device)),
              D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(2, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    EXPECT_EQ(device->GetDepthStencilSurface(Out(depth)), D3DERR_NOTFOUND);
    EXPECT_FALSE(depth);
}

TEST_F(RuntimeCreateTest, BadDeviceRequestsAreRefused) {
    struct Case {
        const char* what;
        UINT adapter;
        D3DDEVTYPE type;
        DWORD behavior;
        void (*change)(D3DPRESENT_PARAMETERS&);
    };
    const DWORD sw = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    const Case cases[] = {
        {"second adapter", 1, D3DDEVTYPE_HAL, sw, nullptr},
        {"pluggable software device", 0, D3DDEVTYPE_SW, sw, nullptr},
        {"unknown device type", 0, static_cast<D3DDEVTYPE>(9), sw, nullptr},
        {"no vertex processing", 0, D3DDEVTYPE_HAL, 0, nullptr},
        {"two vertex processings", 0, D3DDEVTYPE_HAL, sw | D3DCREATE_HARDWARE_VERTEXPROCESSING,
         nullptr},
        {"pure software device", 0, D3DDEVTYPE_HAL, sw | D3DCREATE_PUREDEVICE, nullptr},
        {"unknown behaviour flag", 0, D3DDEVTYPE_HAL, sw | 0x100000u, nullptr},
        {"no window and no size", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.BackBufferWidth = 0; }},
        {"full screen without window", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) {
             p.Windowed = FALSE;
             p.BackBufferWidth = 640;
             p.BackBufferHeight = 480;
         }},
        {"no swap effect", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = static_cast<D3DSWAPEFFECT>(0); }},
        {"unknown swap effect", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = static_cast<D3DSWAPEFFECT>(5); }},
        {"four back buffers", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.BackBufferCount = 4; }},
        {"copying two back buffers", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) {
             p.SwapEffect = D3DSWAPEFFECT_COPY;
             p.BackBufferCount = 2;
         }},
        {"unknown presentation flag", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.Flags = 0x10; }},
        {"multisample type 1", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(1); }},
        {"multisample type 17", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) {
             p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(17);
         }},
        {"multisampling while flipping", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) {
             p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
             p.SwapEffect = D3DSWAPEFFECT_FLIP;
         }},
        {"luminance back buffer", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_L8; }},
        {"colour depth buffer", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }},
        {"windowed refresh rate", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_RefreshRateInHz = 60; }},
        {"windowed presentation interval", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) {
             p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
         }},
        {"huge back buffer", 0, D3DDEVTYPE_HAL, sw,
         [](D3DPRESENT_PARAMETERS& p) { p.BackBufferWidth = 100000; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        D3DPRESENT_PARAMETERS p = OffscreenParameters();
        if (c.change) c.change(p);
        const D3DPRESENT_PARAMETERS asGiven = p;
        IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
        EXPECT_EQ(d3d_->CreateDevice(c.adapter, c.type, nullptr, c.behavior, &p, &device),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(device, nullptr);
        EXPECT_EQ(p.BackBufferWidth, asGiven.BackBufferWidth);
    }
    // The back buffer of a window whose client area cannot be read has no
    // size to take.
    D3DPRESENT_PARAMETERS p = OffscreenParameters(0, 0);
    IDirect3DDevice8* device = nullptr;
    HWND unknownWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7e570));
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, unknownWindow,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    p = OffscreenParameters();
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 nullptr, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &p, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(RuntimeCreateTest, TexturesHaveTheRequestedLevels) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(100, 60, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    const UINT widths[] = {100, 50, 25, 12, 6, 3, 1};
    const UINT heights[] = {60, 30, 15, 7, 3, 1, 1};
    ASSERT_EQ(texture->GetLevelCount(), 7u);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    for (UINT level = 0; level < 7; ++level) {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, widths[level]);
        EXPECT_EQ(desc.Height, heights[level]);
        EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    }
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetLevelDesc(0, nullptr), D3DERR_INVALIDCALL);
    Ref<IDirect3DSurface8> level;
    EXPECT_EQ(texture->GetSurfaceLevel(7, Out(level)), D3DERR_INVALIDCALL);
    EXPECT_FALSE(level);

    EXPECT_EQ(texture->AddDirtyRect(nullptr), D3D_OK);
    const RECT dirty = {90, 50, 100, 60};
    EXPECT_EQ(texture->AddDirtyRect(&dirty), D3D_OK);
    const RECT outside = {90, 50, 101, 60};
    EXPECT_EQ(texture->AddDirtyRect(&outside), D3DERR_INVALIDCALL);
    // Managed resources keep a priority and a level of detail.
    EXPECT_EQ(texture->SetPriority(5), 0u);
    EXPECT_EQ(texture->SetPriority(7), 5u);
    EXPECT_EQ(texture->GetPriority(), 7u);
    EXPECT_EQ(texture->SetLOD(9), 0u);
    EXPECT_EQ(texture->GetLOD(), 6u) << "limited to the last level";

    ASSERT_EQ(device_->CreateTexture(100, 60, 3, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     Out(texture)),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    EXPECT_EQ(texture->SetPriority(5), 0u);
    EXPECT_EQ(texture->GetPriority(), 0u) << "only managed resources have a priority";
    EXPECT_EQ(texture->SetLOD(1), 0u);
    EXPECT_EQ(texture->GetLOD(), 0u);
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Usage, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(desc.Width, 25u);

    Ref<IDirect3DCubeTexture8> cube;
    ASSERT_EQ(device_->CreateCubeTexture(8, 0, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM, Out(cube)),
              D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 4u);
    EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
    ASSERT_EQ(cube->GetLevelDesc(3, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(cube->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);
    Ref<IDirect3DSurface8> face;
    EXPECT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(6), 0, Out(face)),
              D3DERR_INVALIDCALL);

    Ref<IDirect3DVolumeTexture8> volume;
    ASSERT_EQ(
        device_->CreateVolumeTexture(8, 2, 16, 0, 0, D3DFMT_A4L4, D3DPOOL_MANAGED, Out(volume)),
        D3D_OK);
    ASSERT_EQ(volume->GetLevelCount(), 5u);
    EXPECT_EQ(volume->GetType(), D3DRTYPE_VOLUMETEXTURE);
    D3DVOLUME_DESC volumeDesc{};
    ASSERT_EQ(volume->GetLevelDesc(4, &volumeDesc), D3D_OK);
    EXPECT_EQ(volumeDesc.Width, 1u);
    EXPECT_EQ(volumeDesc.Height, 1u);
    EXPECT_EQ(volumeDesc.Depth, 1u);
    ASSERT_EQ(volume->GetLevelDesc(1, &volumeDesc), D3D_OK);
    EXPECT_EQ(volumeDesc.Width, 4u);
    EXPECT_EQ(volumeDesc.Height, 1u);
    EXPECT_EQ(volumeDesc.Depth, 8u);
    EXPECT_EQ(volumeDesc.Size, 4u * 1 * 8);
    EXPECT_EQ(volumeDesc.Type, D3DRTYPE_VOLUME);
}

TEST_F(RuntimeCreateTest, BadTextureRequestsAreRefused) {
    struct Case {
        const char* what;
        UINT width, height, levels;
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
    };
    const D3DFORMAT argb = D3DFMT_A8R8G8B8;
    const Case cases[] = {
        {"zero width", 0, 8, 1, 0, argb, D3DPOOL_MANAGED},
        {"zero height", 8, 0, 1, 0, argb, D3DPOOL_MANAGED},
        {"wider than the profile allows", 16384, 8, 1, 0, argb, D3DPOOL_MANAGED},
        {"wider than the runtime allows", 20000, 8, 1, 0, argb, D3DPOOL_SCRATCH},
        {"unknown format", 8, 8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED},
        {"vertex data", 8, 8, 1, 0, D3DFMT_VERTEXDATA, D3DPOOL_MANAGED},
        {"a 16-bit-channel file format", 8, 8, 1, 0, static_cast<D3DFORMAT>(0x36314C20),
         D3DPOOL_MANAGED},
        {"made-up format", 8, 8, 1, 0, static_cast<D3DFORMAT>(12345), D3DPOOL_SYSTEMMEM},
        {"unknown pool", 8, 8, 1, 0, argb, static_cast<D3DPOOL>(4)},
        {"vertex usage", 8, 8, 1, D3DUSAGE_SOFTWAREPROCESSING, argb, D3DPOOL_MANAGED},
        {"managed render target", 8, 8, 1, D3DUSAGE_RENDERTARGET, argb, D3DPOOL_MANAGED},
        {"dynamic render target", 8, 8, 1, D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC, argb,
         D3DPOOL_DEFAULT},
        {"render target and depth", 8, 8, 1, D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL, argb,
         D3DPOOL_DEFAULT},
        {"luminance render target", 8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DPOOL_DEFAULT},
        {"dynamic managed", 8, 8, 1, D3DUSAGE_DYNAMIC, argb, D3DPOOL_MANAGED},
        {"more levels than the chain", 8, 8, 5, 0, argb, D3DPOOL_MANAGED},
        {"more levels than the scratch chain", 8, 8, 5, 0, argb, D3DPOOL_SCRATCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
        EXPECT_EQ(device_->CreateTexture(c.width, c.height, c.levels, c.usage, c.format, c.pool,
                                         &texture),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(texture, nullptr);
        IDirect3DCubeTexture8* cube = reinterpret_cast<IDirect3DCubeTexture8*>(1);
        if (c.width == c.height) {
            EXPECT_EQ(
                device_->CreateCubeTexture(c.width, c.levels, c.usage, c.format, c.pool, &cube),
                D3DERR_INVALIDCALL);
            EXPECT_EQ(cube, nullptr);
        }
        IDirect3DVolumeTexture8* volume = reinterpret_cast<IDirect3DVolumeTexture8*>(1);
        EXPECT_EQ(device_->CreateVolumeTexture(c.width, c.height, 2, c.levels, c.usage, c.format,
                                               c.pool, &volume),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(volume, nullptr);
    }
    IDirect3DVolumeTexture8* volume = nullptr;
    EXPECT_EQ(
        device_->CreateVolumeTexture(8, 8, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVolumeTexture(8, 8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                           D3DPOOL_DEFAULT, &volume),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr),
              D3DERR_INVALIDCALL);
    // More than the runtime keeps in one resource: six faces of 256 MiB.
    IDirect3DCubeTexture8* cube = reinterpret_cast<IDirect3DCubeTexture8*>(1);
    EXPECT_EQ(device_->CreateCubeTexture(8192, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube),
              E_OUTOFMEMORY);
    EXPECT_EQ(cube, nullptr);
    EXPECT_EQ(device_->CreateCubeTexture(8192, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                         D3DPOOL_DEFAULT, &cube),
              D3DERR_OUTOFVIDEOMEMORY);
}

TEST_F(RuntimeCreateTest, SurfacesOfTheirOwnAreCheckedForTheirUse) {
    Ref<IDirect3DSurface8> surface;
    // Image surfaces take any format, also one the device would not draw
    // with.
    EXPECT_EQ(device_->CreateImageSurface(5, 3, D3DFMT_DXT2, Out(surface)), D3D_OK);
    EXPECT_EQ(device_->CreateImageSurface(5, 3, D3DFMT_D24S8, Out(surface)), D3D_OK);
    struct Case {
        const char* what;
        HRESULT (*create)(IDirect3DDevice8*, IDirect3DSurface8**);
    };
    const Case cases[] = {
        {"image of zero width",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateImageSurface(0, 4, D3DFMT_A8R8G8B8, s);
         }},
        {"image of unknown format",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateImageSurface(4, 4, D3DFMT_UNKNOWN, s);
         }},
        {"huge image",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateImageSurface(16385, 4, D3DFMT_A8R8G8B8, s);
         }},
        {"luminance render target",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateRenderTarget(4, 4, D3DFMT_L8, D3DMULTISAMPLE_NONE, FALSE, s);
         }},
        {"render target with multisample type 1",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8,
                                          static_cast<D3DMULTISAMPLE_TYPE>(1), FALSE, s);
         }},
        {"render target of zero height",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateRenderTarget(4, 0, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, TRUE, s);
         }},
        {"colour depth surface",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateDepthStencilSurface(4, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, s);
         }},
        {"depth surface with multisample type 17",
         [](IDirect3DDevice8* d, IDirect3DSurface8** s) {
             return d->CreateDepthStencilSurface(4, 4, D3DFMT_D16,
                                                 static_cast<D3DMULTISAMPLE_TYPE>(17), s);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirect3DSurface8* made = reinterpret_cast<IDirect3DSurface8*>(1);
        EXPECT_EQ(c.create(device_.get(), &made), D3DERR_INVALIDCALL);
        EXPECT_EQ(made, nullptr);
    }
    EXPECT_EQ(device_->CreateImageSurface(4, 4, D3DFMT_A8R8G8B8, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeCreateTest, BadVertexBufferRequestsAreRefused) {
    struct Case {
        const char* what;
        UINT length;
        DWORD usage;
        DWORD fvf;
        D3DPOOL pool;
    };
    const Case cases[] = {
        {"zero length", 0, 0, 0, D3DPOOL_DEFAULT},
        {"shorter than one vertex", 23, 0, 0x142, D3DPOOL_DEFAULT},
        {"render-target usage", 144, D3DUSAGE_RENDERTARGET, 0, D3DPOOL_DEFAULT},
        {"scratch pool", 144, 0, 0, D3DPOOL_SCRATCH},
        {"unknown pool", 144, 0, 0, static_cast<D3DPOOL>(7)},
        {"dynamic and managed", 144, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED},
        {"reserved format bit", 144, 0, 0x143, D3DPOOL_DEFAULT},
        {"nine texture sets", 144, 0, 0x902, D3DPOOL_DEFAULT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirect3DVertexBuffer8* buffer = reinterpret_cast<IDirect3DVertexBuffer8*>(1);
        EXPECT_EQ(device_->CreateVertexBuffer(c.length, c.usage, c.fvf, c.pool, &buffer),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(buffer, nullptr);
    }
    Ref<IDirect3DVertexBuffer8> buffer;
    EXPECT_EQ(device_->CreateVertexBuffer(24, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x142,
                                          D3DPOOL_SYSTEMMEM, Out(buffer)),
              D3D_OK);
    EXPECT_EQ(buffer->GetType(), D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(device_->CreateVertexBuffer(24, 0, 0, D3DPOOL_DEFAULT, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeCreateTest, ResetRebuildsTheBuffersOnceTheProgramHasLetGoOfThem) {
    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DPRESENT_PARAMETERS p = OffscreenParameters(32, 24);
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL);
    backBuffer.reset();
    D3DPRESENT_PARAMETERS bad = p;
    bad.BackBufferFormat = D3DFMT_P8;
    EXPECT_EQ(device_->Reset(&bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Reset(nullptr), D3DERR_INVALIDCALL);

    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    p.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Height, 24u);
    Ref<IDirect3DSurface8> depth;
    EXPECT_EQ(device_->GetDepthStencilSurface(Out(depth)), D3DERR_NOTFOUND);
    // The drawing state starts afresh for the new buffers.
    D3DVIEWPORT8 viewport{};
    ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 24u);
    DWORD lighting = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_LIGHTING, &lighting), D3D_OK);
    EXPECT_EQ(lighting, static_cast<DWORD>(TRUE));
}

TEST_F(RuntimeCreateTest, TheDeviceKeepsItsDrawingState) {
    D3DVIEWPORT8 viewport{};
    ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Width, 64u);
    EXPECT_EQ(viewport.Height, 64u);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    const D3DVIEWPORT8 inside = {8, 8, 56, 16, 0.25f, 0.75f};
    ASSERT_EQ(device_->SetViewport(&inside), D3D_OK);
    const D3DVIEWPORT8 outside = {8, 8, 57, 16, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&outside), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 56u);
    EXPECT_EQ(viewport.MinZ, 0.25f);

    D3DMATRIX world{};
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &world), D3D_OK);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._12, 0.0f);
    world._41 = 5.0f;
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    D3DMATRIX view{};
    ASSERT_EQ(device_->GetTransform(D3DTS_VIEW, &view), D3D_OK);
    EXPECT_EQ(view._41, 0.0f);
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &view), D3D_OK);
    EXPECT_EQ(view._41, 5.0f);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), &world),
              D3DERR_INVALIDCALL);

    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device_->GetTextureStageState(0, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG2));
    EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->SetVertexShader(0x142), D3D_OK);
    ASSERT_EQ(device_->GetVertexShader(&value), D3D_OK);
    EXPECT_EQ(value, 0x142u);
    EXPECT_EQ(device_->SetVertexShader(0x143), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeCreateTest, OnlyTheDevicesOwnUsableResourcesCanBeSet) {
    Ref<IDirect3DTexture8> scratch;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, Out(scratch)),
              D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, scratch.get()), D3DERR_INVALIDCALL);
    Ref<IDirect3DDevice8> other;
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(other)),
              D3D_OK);
    Ref<IDirect3DTexture8> foreign;
    ASSERT_EQ(other->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(foreign)),
              D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, foreign.get()), D3DERR_INVALIDCALL);
    Ref<IDirect3DVertexBuffer8> foreignBuffer;
    ASSERT_EQ(other->CreateVertexBuffer(48, 0, 0x142, D3DPOOL_MANAGED, Out(foreignBuffer)), D3D_OK);
    EXPECT_EQ(device_->SetStreamSource(0, foreignBuffer.get(), 24), D3DERR_INVALIDCALL);
    Ref<IDirect3DBaseTexture8> bound;
    ASSERT_EQ(device_->GetTexture(0, Out(bound)), D3D_OK);
    EXPECT_FALSE(bound);
    EXPECT_EQ(device_->SetTexture(8, nullptr), D3DERR_INVALIDCALL);

    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(device_->CreateVertexBuffer(48, 0, 0x142, D3DPOOL_MANAGED, Out(buffer)), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, buffer.get(), 24), D3D_OK);
    Ref<IDirect3DVertexBuffer8> streamed;
    UINT stride = 0;
    ASSERT_EQ(device_->GetStreamSource(0, Out(streamed), &stride), D3D_OK);
    EXPECT_EQ(streamed.get(), buffer.get());
    EXPECT_EQ(stride, 24u);
}

} // namespace
} // namespace txtest
