// Memory layout of every resource format and the locking rules.
#include <cstring>

#include "runtime_fixture.h"

namespace txtest {
namespace {

using RuntimeLockTest = RuntimeTest;

struct FormatCase {
    D3DFORMAT format;
    // Expected pitch and size of a 7x5 surface.
    INT pitch;
    UINT size;
};

// 7 pixels: 8-bit rows pad 7 to 8 bytes, 24-bit 21 to 24; pairs of YUV
// pixels take 4 bytes (4 pairs); DXT takes 2 blocks across and 2 down.
const FormatCase kFormats[] = {
    {D3DFMT_R8G8B8, 24, 120},
    {D3DFMT_A8R8G8B8, 28, 140},
    {D3DFMT_X8R8G8B8, 28, 140},
    {D3DFMT_R5G6B5, 16, 80},
    {D3DFMT_X1R5G5B5, 16, 80},
    {D3DFMT_A1R5G5B5, 16, 80},
    {D3DFMT_A4R4G4B4, 16, 80},
    {D3DFMT_R3G3B2, 8, 40},
    {D3DFMT_A8, 8, 40},
    {D3DFMT_A8R3G3B2, 16, 80},
    {D3DFMT_X4R4G4B4, 16, 80},
    {D3DFMT_A2B10G10R10, 28, 140},
    {D3DFMT_G16R16, 28, 140},
    {D3DFMT_A8P8, 16, 80},
    {D3DFMT_P8, 8, 40},
    {D3DFMT_L8, 8, 40},
    {D3DFMT_A8L8, 16, 80},
    {D3DFMT_A4L4, 8, 40},
    {D3DFMT_V8U8, 16, 80},
    {D3DFMT_L6V5U5, 16, 80},
    {D3DFMT_X8L8V8U8, 28, 140},
    {D3DFMT_Q8W8V8U8, 28, 140},
    {D3DFMT_V16U16, 28, 140},
    {D3DFMT_W11V11U10, 28, 140},
    {D3DFMT_A2W10V10U10, 28, 140},
    {D3DFMT_UYVY, 16, 80},
    {D3DFMT_YUY2, 16, 80},
    {D3DFMT_DXT1, 16, 32},
    {D3DFMT_DXT2, 32, 64},
    {D3DFMT_DXT3, 32, 64},
    {D3DFMT_DXT4, 32, 64},
    {D3DFMT_DXT5, 32, 64},
    {D3DFMT_D16_LOCKABLE, 16, 80},
    {D3DFMT_D32, 28, 140},
    {D3DFMT_D15S1, 16, 80},
    {D3DFMT_D24S8, 28, 140},
    {D3DFMT_D16, 16, 80},
    {D3DFMT_D24X8, 28, 140},
    {D3DFMT_D24X4S4, 28, 140},
};

TEST_F(RuntimeLockTest, EveryFormatHasItsPitchAndSize) {
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.format);
        Ref<IDirect3DSurface8> surface;
        ASSERT_EQ(device_->CreateImageSurface(7, 5, c.format, Out(surface)), D3D_OK);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Size, c.size);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(locked.Pitch, c.pitch);
        // The whole storage is there to be written.
        std::memset(locked.pBits, 0xA5, desc.Size);
        EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    }
}

TEST_F(RuntimeLockTest, DxtLevelsSmallerThanABlockTakeAWholeBlock) {
    struct Case {
        D3DFORMAT format;
        INT pitches[4];
        UINT sizes[4];
    };
    const Case cases[] = {
        {D3DFMT_DXT1, {16, 8, 8, 8}, {32, 8, 8, 8}},
        {D3DFMT_DXT5, {32, 16, 16, 16}, {64, 16, 16, 16}},
    };
    for (const Case& c : cases) {
        Ref<IDirect3DTexture8> texture;
        ASSERT_EQ(device_->CreateTexture(8, 8, 0, 0, c.format, D3DPOOL_MANAGED, Out(texture)),
                  D3D_OK);
        ASSERT_EQ(texture->GetLevelCount(), 4u);
        for (UINT level = 0; level < 4; ++level) {
            SCOPED_TRACE(level);
            D3DSURFACE_DESC desc{};
            ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
            EXPECT_EQ(desc.Width, 8u >> level);
            EXPECT_EQ(desc.Size, c.sizes[level]);
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            EXPECT_EQ(locked.Pitch, c.pitches[level]);
            EXPECT_EQ(texture->UnlockRect(level), D3D_OK);
        }
    }
}

// A locked rectangle's address is that of its first pixel, or of the block
// or pair that holds it.
TEST_F(RuntimeLockTest, ARectangleLockPointsAtItsFirstBlock) {
    struct Case {
        D3DFORMAT format;
        RECT rect;
        // Distance from the whole lock: rows of blocks and bytes.
        size_t rows;
        size_t bytes;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, {3, 2, 5, 4}, 2, 12}, {D3DFMT_R8G8B8, {1, 1, 2, 2}, 1, 3},
        {D3DFMT_DXT1, {4, 8, 8, 12}, 2, 8},     {D3DFMT_DXT3, {12, 4, 16, 16}, 1, 48},
        {D3DFMT_YUY2, {2, 3, 6, 4}, 3, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Ref<IDirect3DSurface8> surface;
        ASSERT_EQ(device_->CreateImageSurface(16, 16, c.format, Out(surface)), D3D_OK);
        D3DLOCKED_RECT whole{};
        ASSERT_EQ(surface->LockRect(&whole, nullptr, D3DLOCK_READONLY), D3D_OK);
        ASSERT_EQ(surface->UnlockRect(), D3D_OK);
        D3DLOCKED_RECT part{};
        ASSERT_EQ(surface->LockRect(&part, &c.rect, 0), D3D_OK);
        EXPECT_EQ(part.Pitch, whole.Pitch);
        EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits),
                  static_cast<ptrdiff_t>(c.rows * whole.Pitch + c.bytes));
        EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    }
}

// Which surfaces can be locked.
TEST_F(RuntimeLockTest, OnlyLockableSurfacesLock) {
    struct Case {
        const char* what;
        D3DPOOL pool;
        DWORD usage;
        bool lockable;
    };
    const Case textures[] = {
        {"default", D3DPOOL_DEFAULT, 0, false},
        {"default dynamic", D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, true},
        {"default render target", D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, false},
        {"managed", D3DPOOL_MANAGED, 0, true},
        {"system memory", D3DPOOL_SYSTEMMEM, 0, true},
        {"system memory dynamic", D3DPOOL_SYSTEMMEM, D3DUSAGE_DYNAMIC, true},
        {"scratch", D3DPOOL_SCRATCH, 0, true},
    };
    const HRESULT expectLock[2] = {D3DERR_INVALIDCALL, D3D_OK};
    for (const Case& c : textures) {
        SCOPED_TRACE(c.what);
        Ref<IDirect3DTexture8> texture;
        ASSERT_EQ(device_->CreateTexture(8, 8, 2, c.usage, D3DFMT_A8R8G8B8, c.pool, Out(texture)),
                  D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), expectLock[c.lockable]);
        EXPECT_EQ(locked.pBits != nullptr, c.lockable);
        EXPECT_EQ(texture->UnlockRect(1), expectLock[c.lockable]);
        Ref<IDirect3DCubeTexture8> cube;
        if (!(c.usage & D3DUSAGE_RENDERTARGET) || c.pool == D3DPOOL_DEFAULT) {
            ASSERT_EQ(device_->CreateCubeTexture(8, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, Out(cube)),
                      D3D_OK);
            EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0, &locked, nullptr, 0),
                      expectLock[c.lockable]);
            EXPECT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0), expectLock[c.lockable]);
        }
        if (c.usage & D3DUSAGE_RENDERTARGET) continue;
        Ref<IDirect3DVolumeTexture8> volume;
        ASSERT_EQ(
            device_->CreateVolumeTexture(4, 4, 4, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, Out(volume)),
            D3D_OK);
        D3DLOCKED_BOX box{};
        EXPECT_EQ(volume->LockBox(0, &box, nullptr, 0), expectLock[c.lockable]);
        EXPECT_EQ(volume->UnlockBox(0), expectLock[c.lockable]);
    }

    Ref<IDirect3DSurface8> surface;
    ASSERT_EQ(
        device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, TRUE, Out(surface)),
        D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    ASSERT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, FALSE,
                                          Out(surface)),
              D3D_OK);
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, FALSE,
                                          Out(surface)),
              D3D_OK);
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, TRUE,
                                          Out(surface)),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->CreateDepthStencilSurface(8, 8, D3DFMT_D16_LOCKABLE, D3DMULTISAMPLE_NONE,
                                                 Out(surface)),
              D3D_OK);
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    ASSERT_EQ(
        device_->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, Out(surface)),
        D3D_OK);
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeLockTest, TheBackBufferLocksOnlyWhenCreatedLockable) {
    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    Ref<IDirect3DSurface8> depth;
    ASSERT_EQ(device_->GetDepthStencilSurface(Out(depth)), D3D_OK);
    EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    backBuffer.reset();
    depth.reset();

    D3DPRESENT_PARAMETERS p = OffscreenParameters(32, 16);
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.AutoDepthStencilFormat = D3DFMT_D16_LOCKABLE;
    Ref<IDirect3DDevice8> lockable;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(lockable)),
              D3D_OK);
    ASSERT_EQ(lockable->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32 * 4);
    EXPECT_EQ(backBuffer->UnlockRect(), D3D_OK);
    ASSERT_EQ(lockable->GetDepthStencilSurface(Out(depth)), D3D_OK);
    EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(depth->UnlockRect(), D3D_OK);

    // Multisampled back buffers are never lockable: such a device is refused.
    p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    Ref<IDirect3DDevice8> refused;
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(refused)),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(refused);
}

struct RectCase {
    D3DFORMAT format;
    UINT width, height;
    RECT rect;
    bool accepted;
};

TEST_F(RuntimeLockTest, RectanglesMustLieInsideAndOnBlockBoundaries) {
    const RectCase cases[] = {
        {D3DFMT_A8R8G8B8, 16, 12, {0, 0, 16, 12}, true},
        {D3DFMT_A8R8G8B8, 16, 12, {15, 11, 16, 12}, true},
        {D3DFMT_A8R8G8B8, 16, 12, {5, 5, 5, 5}, true}, // empty, inside
        {D3DFMT_A8R8G8B8, 16, 12, {0, 0, 17, 12}, false},
        {D3DFMT_A8R8G8B8, 16, 12, {0, 0, 16, 13}, false},
        {D3DFMT_A8R8G8B8, 16, 12, {4, 0, 3, 12}, false},
        {D3DFMT_A8R8G8B8, 16, 12, {0, 6, 16, 5}, false},
        {D3DFMT_A8R8G8B8, 16, 12, {-1, 0, 4, 4}, false},
        {D3DFMT_A8R8G8B8, 16, 12, {0, -4, 4, 4}, false},
        {D3DFMT_DXT1, 16, 12, {4, 4, 8, 8}, true},
        {D3DFMT_DXT1, 16, 12, {12, 8, 16, 12}, true},
        {D3DFMT_DXT1, 16, 12, {2, 0, 4, 4}, false},
        {D3DFMT_DXT1, 16, 12, {0, 2, 4, 4}, false},
        {D3DFMT_DXT1, 16, 12, {0, 0, 6, 4}, false},
        {D3DFMT_DXT1, 16, 12, {0, 0, 16, 10}, false},
        {D3DFMT_DXT1, 16, 12, {0, 0, 20, 12}, false},
        // An edge at the size is a boundary, also inside a block.
        {D3DFMT_DXT5, 10, 6, {8, 4, 10, 6}, true},
        {D3DFMT_DXT5, 10, 6, {4, 0, 10, 6}, true},
        {D3DFMT_DXT5, 10, 6, {4, 0, 9, 6}, false},
        {D3DFMT_DXT5, 2, 2, {0, 0, 2, 2}, true},
        {D3DFMT_DXT5, 2, 2, {0, 0, 1, 1}, false},
        {D3DFMT_YUY2, 10, 3, {2, 0, 4, 1}, true},
        {D3DFMT_YUY2, 10, 3, {1, 0, 4, 1}, false},
        {D3DFMT_YUY2, 10, 3, {2, 0, 5, 1}, false},
        {D3DFMT_UYVY, 7, 3, {4, 1, 7, 2}, true},
        {D3DFMT_UYVY, 7, 3, {4, 1, 6, 3}, true},
        {D3DFMT_UYVY, 7, 3, {3, 1, 7, 2}, false},
    };
    for (const RectCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.format << " " << c.width << "x" << c.height << " (" << c.rect.left << ","
                     << c.rect.top << ")-(" << c.rect.right << "," << c.rect.bottom << ")");
        Ref<IDirect3DSurface8> surface;
        ASSERT_EQ(device_->CreateImageSurface(c.width, c.height, c.format, Out(surface)), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(surface->LockRect(&locked, &c.rect, 0), c.accepted ? D3D_OK : D3DERR_INVALIDCALL);
        EXPECT_EQ(locked.pBits != nullptr, c.accepted);
        // A refused lock leaves the surface unlocked.
        EXPECT_EQ(surface->UnlockRect(), c.accepted ? D3D_OK : D3DERR_INVALIDCALL);
    }
}

TEST_F(RuntimeLockTest, BoxesMustLieInsideAndOnBlockBoundaries) {
    struct Case {
        D3DFORMAT format;
        D3DBOX box;
        bool accepted;
    };
    // Level 0 of an 8x8x4 volume texture.
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, {0, 0, 8, 8, 0, 4}, true},  {D3DFMT_A8R8G8B8, {1, 2, 3, 4, 3, 4}, true},
        {D3DFMT_A8R8G8B8, {0, 0, 8, 8, 0, 5}, false}, {D3DFMT_A8R8G8B8, {0, 0, 9, 8, 0, 4}, false},
        {D3DFMT_A8R8G8B8, {0, 0, 8, 8, 3, 2}, false}, {D3DFMT_A8R8G8B8, {5, 0, 4, 8, 0, 4}, false},
        {D3DFMT_DXT3, {4, 4, 8, 8, 1, 3}, true},      {D3DFMT_DXT3, {2, 4, 8, 8, 1, 3}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.format << " box " << c.box.Left << "," << c.box.Top << "," << c.box.Front
                     << "-" << c.box.Right << "," << c.box.Bottom << "," << c.box.Back);
        Ref<IDirect3DVolumeTexture8> texture;
        ASSERT_EQ(
            device_->CreateVolumeTexture(8, 8, 4, 1, 0, c.format, D3DPOOL_SYSTEMMEM, Out(texture)),
            D3D_OK);
        D3DLOCKED_BOX whole{};
        ASSERT_EQ(texture->LockBox(0, &whole, nullptr, 0), D3D_OK);
        ASSERT_EQ(texture->UnlockBox(0), D3D_OK);
        D3DLOCKED_BOX part{};
        ASSERT_EQ(texture->LockBox(0, &part, &c.box, 0), c.accepted ? D3D_OK : D3DERR_INVALIDCALL);
        if (!c.accepted) {
            EXPECT_EQ(part.pBits, nullptr);
            continue;
        }
        EXPECT_EQ(part.RowPitch, whole.RowPitch);
        EXPECT_EQ(part.SlicePitch, whole.SlicePitch);
        const bool dxt = c.format == D3DFMT_DXT3;
        const ptrdiff_t expected = ptrdiff_t(c.box.Front) * whole.SlicePitch +
                                   (dxt ? c.box.Top / 4 * whole.RowPitch + c.box.Left / 4 * 16
                                        : c.box.Top * whole.RowPitch + c.box.Left * 4);
        EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits), expected);
        EXPECT_EQ(texture->UnlockBox(0), D3D_OK);
    }
}

TEST_F(RuntimeLockTest, ALockedSurfaceRefusesASecondLockAndUnlocksOnce) {
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    Ref<IDirect3DSurface8> level;
    ASSERT_EQ(texture->GetSurfaceLevel(1, Out(level)), D3D_OK);
    D3DLOCKED_RECT first{}, second{};
    ASSERT_EQ(texture->LockRect(1, &first, nullptr, 0), D3D_OK);
    // The texture's level and the level surface are the same storage and
    // the same lock.
    EXPECT_EQ(level->LockRect(&second, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL);
    EXPECT_EQ(second.pBits, nullptr);
    static_cast<DWORD*>(first.pBits)[1] = 0x12345678;
    // Other levels are locked independently.
    D3DLOCKED_RECT other{};
    EXPECT_EQ(texture->LockRect(0, &other, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(level->UnlockRect(), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(1), D3DERR_INVALIDCALL);
    ASSERT_EQ(level->LockRect(&second, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(second.pBits)[1], 0x12345678u);
    EXPECT_EQ(level->UnlockRect(), D3D_OK);

    Ref<IDirect3DVolumeTexture8> volume;
    ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, Out(volume)),
              D3D_OK);
    D3DLOCKED_BOX box{};
    EXPECT_EQ(volume->UnlockBox(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
    EXPECT_EQ(volume->LockBox(0, &box, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(volume->UnlockBox(0), D3D_OK);
}

TEST_F(RuntimeLockTest, LockFlagsAndArgumentsAreChecked) {
    Ref<IDirect3DSurface8> surface;
    ASSERT_EQ(device_->CreateImageSurface(8, 8, D3DFMT_A8R8G8B8, Out(surface)), D3D_OK);
    D3DLOCKED_RECT locked{};
    for (DWORD flags : {D3DLOCK_READONLY, D3DLOCK_NOSYSLOCK, D3DLOCK_DISCARD,
                        D3DLOCK_NOSYSLOCK | D3DLOCK_READONLY, D3DLOCK_NO_DIRTY_UPDATE}) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(surface->LockRect(&locked, nullptr, flags), D3D_OK);
        EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    }
    for (DWORD flags : {D3DLOCK_READONLY | D3DLOCK_DISCARD, 0x1u, 0x80000000u}) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(surface->LockRect(&locked, nullptr, flags), D3DERR_INVALIDCALL);
        EXPECT_EQ(surface->UnlockRect(), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(surface->LockRect(nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    locked.pBits = &locked;
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(locked.pBits, nullptr);
    EXPECT_EQ(texture->UnlockRect(2), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    Ref<IDirect3DCubeTexture8> cube;
    ASSERT_EQ(device_->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(cube)),
              D3D_OK);
    EXPECT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(6), 0, &locked, nullptr, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 1, &locked, nullptr, 0),
              D3DERR_INVALIDCALL);
}

TEST_F(RuntimeLockTest, VertexBuffersLockByteRanges) {
    Ref<IDirect3DVertexBuffer8> buffer;
    ASSERT_EQ(
        device_->CreateVertexBuffer(144, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_DEFAULT, Out(buffer)),
        D3D_OK);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(buffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 144u);
    EXPECT_EQ(desc.FVF, 0x142u);
    EXPECT_EQ(desc.Format, D3DFMT_VERTEXDATA);
    EXPECT_EQ(desc.Type, D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Usage, D3DUSAGE_WRITEONLY);

    BYTE* whole = nullptr;
    ASSERT_EQ(buffer->Lock(0, 144, &whole, 0), D3D_OK);
    for (int i = 0; i < 144; ++i)
        whole[i] = static_cast<BYTE>(i);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);

    struct Case {
        UINT offset, size;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, true},  // everything
        {24, 0, true}, // from 24 to the end
        {24, 48, true},
        {143, 1, true},
        {0, 145, false},
        {100, 45, false},
        {144, 0, false},
        {200, 0, false},
        {0xFFFFFFF0u, 0x20, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.size);
        BYTE* data = reinterpret_cast<BYTE*>(1);
        ASSERT_EQ(buffer->Lock(c.offset, c.size, &data, 0),
                  c.accepted ? D3D_OK : D3DERR_INVALIDCALL);
        if (!c.accepted) {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
            continue;
        }
        EXPECT_EQ(data[0], static_cast<BYTE>(c.offset));
        EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
        EXPECT_EQ(buffer->Unlock(), D3D_OK);
    }
    EXPECT_EQ(buffer->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, &whole, D3DLOCK_READONLY | D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
}

} // namespace
} // namespace txtest
