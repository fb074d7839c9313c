// Reference counting: what keeps what alive, containers, bindings and
// interface identifiers.
#include "runtime_fixture.h"

namespace txtest {
namespace {

using RuntimeRefcountTest = RuntimeTest;

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(RuntimeRefcountTest, EveryCreatedObjectIsCountedUntilItsLastReferenceGoes) {
    const long before = txplatform::LiveObjectCount();
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    // The texture and its five levels.
    EXPECT_EQ(txplatform::LiveObjectCount(), before + 6);
    Ref<IDirect3DCubeTexture8> cube;
    ASSERT_EQ(device_->CreateCubeTexture(4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, Out(cube)),
              D3D_OK);
    EXPECT_EQ(txplatform::LiveObjectCount(), before + 6 + 1 + 6 * 3);
    Ref<IDirect3DVolumeTexture8> volume;
    ASSERT_EQ(device_->CreateVolumeTexture(4, 2, 2, 0, 0, D3DFMT_L8, D3DPOOL_SCRATCH, Out(volume)),
              D3D_OK);
    EXPECT_EQ(txplatform::LiveObjectCount(), before + 6 + 19 + 1 + 3);
    texture.reset();
    cube.reset();
    volume.reset();
    EXPECT_EQ(txplatform::LiveObjectCount(), before);
}

TEST_F(RuntimeRefcountTest, ResourcesHoldTheirDeviceAndTheDeviceItsDirect3DObject) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(device_->CreateVertexBuffer(144, 0, 0x142, D3DPOOL_DEFAULT, Out(buffer)), D3D_OK);
    EXPECT_EQ(CountOf(device_.get()), 3u);
    EXPECT_EQ(CountOf(d3d_.get()), 2u);

    // The program lets go of the device and the Direct3D object first: the
    // resources still reach a working device.
    IDirect3DDevice8* device = device_.get();
    device_.reset();
    d3d_.reset();
    Ref<IDirect3DDevice8> fromTexture;
    ASSERT_EQ(texture->GetDevice(Out(fromTexture)), D3D_OK);
    EXPECT_EQ(fromTexture.get(), device);
    Ref<IDirect3D8> direct3d;
    ASSERT_EQ(fromTexture->GetDirect3D(Out(direct3d)), D3D_OK);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    Ref<IDirect3DTexture8> another;
    EXPECT_EQ(
        fromTexture->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(another)),
        D3D_OK);
    // Everything goes with the last reference (checked by the fixture).
}

TEST_F(RuntimeRefcountTest, LevelsAndFacesKeepTheirContainerAlive) {
    Ref<IDirect3DSurface8> level;
    Ref<IDirect3DSurface8> face;
    Ref<IDirect3DVolume8> slice;
    {
        Ref<IDirect3DTexture8> texture;
        ASSERT_EQ(
            device_->CreateTexture(8, 8, 0, 0, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, Out(texture)),
            D3D_OK);
        ASSERT_EQ(texture->GetSurfaceLevel(2, Out(level)), D3D_OK);
        EXPECT_EQ(CountOf(texture.get()), 2u);
        Ref<IDirect3DCubeTexture8> cube;
        ASSERT_EQ(device_->CreateCubeTexture(8, 2, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, Out(cube)),
                  D3D_OK);
        ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, Out(face)), D3D_OK);
        Ref<IDirect3DVolumeTexture8> volume;
        ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED,
                                               Out(volume)),
                  D3D_OK);
        ASSERT_EQ(volume->GetVolumeLevel(1, Out(slice)), D3D_OK);
    }
    // The containers' own references are gone; their parts still work and
    // still answer with their containers.
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(level->LockRect(&locked, nullptr, 0), D3D_OK);
    static_cast<uint16_t*>(locked.pBits)[0] = 0xF800;
    EXPECT_EQ(level->UnlockRect(), D3D_OK);
    Ref<IDirect3DTexture8> container;
    ASSERT_EQ(level->GetContainer(IID_IDirect3DTexture8, Out(container)), D3D_OK);
    EXPECT_EQ(container->GetLevelCount(), 4u);
    D3DVOLUME_DESC volumeDesc{};
    ASSERT_EQ(slice->GetDesc(&volumeDesc), D3D_OK);
    EXPECT_EQ(volumeDesc.Depth, 2u);
    ASSERT_EQ(face->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
}

TEST_F(RuntimeRefcountTest, AReleaseWithoutReferenceIsRefusedAndTakesNothingFromTheContainer) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(level->Release(), 1u);
    // One Release too many on the level: the texture keeps its own reference.
    EXPECT_EQ(level->Release(), 1u);
    EXPECT_EQ(CountOf(texture.get()), 1u);
}

TEST_F(RuntimeRefcountTest, WhatIsSetOnTheDeviceDiesWithTheDevice) {
    // The order in which a program typically lets go: resources, then the
    // device, while they are still set on it.
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(device_->CreateVertexBuffer(144, 0, 0x142, D3DPOOL_DEFAULT, Out(buffer)), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture.get()), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, buffer.get(), 24), D3D_OK);
    // Setting adds no reference the program has to give back.
    EXPECT_EQ(CountOf(texture.get()), 1u);
    texture.reset();
    buffer.reset();

    // What is set stays usable through the device.
    Ref<IDirect3DBaseTexture8> bound;
    ASSERT_EQ(device_->GetTexture(0, Out(bound)), D3D_OK);
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->GetLevelCount(), 4u);
    bound.reset();
    const long withDevice = txplatform::LiveObjectCount();
    device_.reset();
    // Device, back buffer, depth surface, texture with 4 levels, buffer.
    EXPECT_EQ(txplatform::LiveObjectCount(), withDevice - 9);
}

TEST_F(RuntimeRefcountTest, ReplacingOrClearingABindingFreesAnUnreferencedResource) {
    const long before = txplatform::LiveObjectCount();
    Ref<IDirect3DTexture8> first;
    Ref<IDirect3DTexture8> second;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(first)),
              D3D_OK);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(second)),
              D3D_OK);
    ASSERT_EQ(device_->SetTexture(3, first.get()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(3, first.get()), D3D_OK); // the same again
    first.reset();
    EXPECT_EQ(txplatform::LiveObjectCount(), before + 4);
    ASSERT_EQ(device_->SetTexture(3, second.get()), D3D_OK);
    EXPECT_EQ(txplatform::LiveObjectCount(), before + 2);
    second.reset();
    ASSERT_EQ(device_->SetTexture(3, nullptr), D3D_OK);
    EXPECT_EQ(txplatform::LiveObjectCount(), before);
}

TEST_F(RuntimeRefcountTest, BackBufferReferencesCountOnTheDevice) {
    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    Ref<IDirect3DSurface8> depth;
    ASSERT_EQ(device_->GetDepthStencilSurface(Out(depth)), D3D_OK);
    EXPECT_EQ(CountOf(device_.get()), 3u);
    Ref<IDirect3DSurface8> renderTarget;
    ASSERT_EQ(device_->GetRenderTarget(Out(renderTarget)), D3D_OK);
    EXPECT_EQ(renderTarget.get(), backBuffer.get());
    device_.reset();
    // The device lives on through its back buffer.
    Ref<IDirect3DDevice8> device;
    ASSERT_EQ(backBuffer->GetDevice(Out(device)), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 64u);
}

// What GetContainer answers for each kind of surface and identifier.
TEST_F(RuntimeRefcountTest, GetContainerAnswersWithTheContainerThatSupportsTheInterface) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    Ref<IDirect3DCubeTexture8> cube;
    ASSERT_EQ(device_->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(cube)),
              D3D_OK);
    Ref<IDirect3DVolumeTexture8> volumeTexture;
    ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           Out(volumeTexture)),
              D3D_OK);
    Ref<IDirect3DSurface8> level, face, image, backBuffer;
    ASSERT_EQ(texture->GetSurfaceLevel(1, Out(level)), D3D_OK);
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Y, 0, Out(face)), D3D_OK);
    ASSERT_EQ(device_->CreateImageSurface(8, 8, D3DFMT_A8R8G8B8, Out(image)), D3D_OK);
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    Ref<IDirect3DVolume8> volume;
    ASSERT_EQ(volumeTexture->GetVolumeLevel(0, Out(volume)), D3D_OK);

    struct Case {
        const char* what;
        IUnknown* part;
        const IID* iid;
        IUnknown* expected; // null: E_NOINTERFACE
    };
    const Case cases[] = {
        {"level/base texture", level.get(), &IID_IDirect3DBaseTexture8, texture.get()},
        {"level/texture", level.get(), &IID_IDirect3DTexture8, texture.get()},
        {"level/cube", level.get(), &IID_IDirect3DCubeTexture8, nullptr},
        {"level/device", level.get(), &IID_IDirect3DDevice8, nullptr},
        {"face/base texture", face.get(), &IID_IDirect3DBaseTexture8, cube.get()},
        {"face/cube", face.get(), &IID_IDirect3DCubeTexture8, cube.get()},
        {"face/texture", face.get(), &IID_IDirect3DTexture8, nullptr},
        {"image/device", image.get(), &IID_IDirect3DDevice8, device_.get()},
        {"image/base texture", image.get(), &IID_IDirect3DBaseTexture8, nullptr},
        {"back buffer/device", backBuffer.get(), &IID_IDirect3DDevice8, device_.get()},
        {"back buffer/texture", backBuffer.get(), &IID_IDirect3DTexture8, nullptr},
        {"volume/volume texture", volume.get(), &IID_IDirect3DVolumeTexture8, volumeTexture.get()},
        {"volume/base texture", volume.get(), &IID_IDirect3DBaseTexture8, volumeTexture.get()},
        {"volume/texture", volume.get(), &IID_IDirect3DTexture8, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        void* container = reinterpret_cast<void*>(1);
        HRESULT hr = E_FAIL;
        if (auto* surface = dynamic_cast<IDirect3DSurface8*>(c.part))
            hr = surface->GetContainer(*c.iid, &container);
        else
            hr = static_cast<IDirect3DVolume8*>(c.part)->GetContainer(*c.iid, &container);
        if (!c.expected) {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(container, nullptr);
            continue;
        }
        ASSERT_EQ(hr, D3D_OK);
        ASSERT_NE(container, nullptr);
        auto* answered = static_cast<IUnknown*>(container);
        IUnknown* expectedUnknown = nullptr;
        ASSERT_EQ(
            c.expected->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&expectedUnknown)),
            S_OK);
        IUnknown* answeredUnknown = nullptr;
        ASSERT_EQ(
            answered->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&answeredUnknown)),
            S_OK);
        EXPECT_EQ(answeredUnknown, expectedUnknown);
        answeredUnknown->Release();
        expectedUnknown->Release();
        answered->Release();
    }
    EXPECT_EQ(level->GetContainer(IID_IDirect3DTexture8, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeRefcountTest, QueryInterfaceAnswersExactlyTheInterfacesOfTheObject) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    for (const IID* iid : {&IID_IUnknown, &IID_IDirect3DResource8, &IID_IDirect3DBaseTexture8,
                           &IID_IDirect3DTexture8}) {
        void* answered = nullptr;
        ASSERT_EQ(texture->QueryInterface(*iid, &answered), S_OK);
        EXPECT_EQ(CountOf(texture.get()), 2u);
        static_cast<IUnknown*>(answered)->Release();
    }
    for (const IID* iid : {&IID_IDirect3DCubeTexture8, &IID_IDirect3DSurface8,
                           &IID_IDirect3DDevice8, &IID_IDirect3D8}) {
        void* answered = reinterpret_cast<void*>(1);
        EXPECT_EQ(texture->QueryInterface(*iid, &answered), E_NOINTERFACE);
        EXPECT_EQ(answered, nullptr);
    }
    EXPECT_EQ(texture->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Identifiers are distinct from one another.
    const IID* all[] = {&IID_IUnknown,
                        &IID_IDirect3D8,
                        &IID_IDirect3DDevice8,
                        &IID_IDirect3DResource8,
                        &IID_IDirect3DBaseTexture8,
                        &IID_IDirect3DTexture8,
                        &IID_IDirect3DCubeTexture8,
                        &IID_IDirect3DVolumeTexture8,
                        &IID_IDirect3DSurface8,
                        &IID_IDirect3DVolume8,
                        &IID_IDirect3DVertexBuffer8};
    for (const IID* a : all)
        for (const IID* b : all) {
            if (a != b) {
                EXPECT_NE(*a, *b);
            }
        }
}

} // namespace
} // namespace txtest
