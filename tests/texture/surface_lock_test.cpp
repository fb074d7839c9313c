// Locking surface rectangles and volume boxes, directly or through a copy.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "surface_test_device.h"
#include "texture/surface_lock.h"

using surfacetest::SpySurface;

namespace {

class SurfaceLockTest : public surfacetest::DeviceTest {};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameBox(const D3DBOX& a, const D3DBOX& b) {
    return std::memcmp(&a, &b, sizeof(D3DBOX)) == 0;
}

TEST_F(SurfaceLockTest, RefusesRectanglesOutsideTheSurfaceBeforeLocking) {
    IDirect3DSurface8* real = ImageSurface(8, 6, D3DFMT_X8R8G8B8);
    SpySurface spy(real);
    const RECT bad[] = {{3, 0, 2, 1}, {0, 0, 8, 7}, {-1, 0, 2, 2},
                        {0, 4, 2, 3}, {0, 0, 9, 1}, {0, -2, 1, 1}};
    for (const RECT& rect : bad) {
        SurfaceLock lock;
        PixelBlock block = {};
        EXPECT_EQ(lock.Lock(&block, &spy, nullptr, &rect, 0, 0), D3DERR_INVALIDCALL);
        EXPECT_EQ(lock.surface, nullptr);
    }
    EXPECT_TRUE(spy.locks.empty());
    SurfaceLock lock;
    PixelBlock block = {};
    const RECT edge = {8, 6, 8, 6}; // empty, on the far corner
    EXPECT_EQ(lock.Lock(&block, &spy, nullptr, &edge, 0, 0), S_OK);
}

// A 2x2 read at (5, 5) of a 16x16 DXT1 surface locks the enclosing blocks.
TEST_F(SurfaceLockTest, DxtRectanglesAreWidenedToWholeBlocks) {
    IDirect3DSurface8* real = Level(Texture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED));
    SpySurface spy(real);
    SurfaceLock lock;
    PixelBlock block = {};
    const RECT rect = {5, 5, 7, 7};
    ASSERT_EQ(lock.Lock(&block, &spy, nullptr, &rect, 0, TX_LOCK_READONLY), S_OK);
    ASSERT_EQ(spy.locks.size(), 1u);
    EXPECT_FALSE(spy.locks[0].whole);
    EXPECT_TRUE(SameRect(spy.locks[0].rect, RECT{4, 4, 8, 8}));
    EXPECT_EQ(spy.locks[0].flags, D3DLOCK_NOSYSLOCK | D3DLOCK_READONLY);
    EXPECT_TRUE(SameBox(block.box, D3DBOX{1, 1, 3, 3, 0, 1}));
    EXPECT_TRUE(SameBox(block.bounds, D3DBOX{0, 0, 16, 16, 0, 1}));
    EXPECT_EQ(block.format, D3DFMT_DXT1);
    EXPECT_EQ(block.rowPitch, 4u * 8u);
    lock.Unlock();
    EXPECT_EQ(spy.unlocks, 1);
    EXPECT_EQ(lock.surface, nullptr);

    // A widened rectangle that covers the surface is a whole lock.
    const RECT almost = {1, 2, 16, 15};
    ASSERT_EQ(lock.Lock(&block, &spy, nullptr, &almost, 0, 0), S_OK);
    EXPECT_TRUE(spy.locks.back().whole);
    EXPECT_TRUE(SameBox(block.box, D3DBOX{1, 2, 16, 15, 0, 1}));
}

TEST_F(SurfaceLockTest, YuvRectanglesAreWidenedToPixelPairs) {
    IDirect3DSurface8* real = ImageSurface(10, 4, D3DFMT_YUY2);
    SpySurface spy(real);
    SurfaceLock lock;
    PixelBlock block = {};
    const RECT rect = {3, 1, 8, 3};
    ASSERT_EQ(lock.Lock(&block, &spy, nullptr, &rect, 0, 0), S_OK);
    ASSERT_EQ(spy.locks.size(), 1u);
    EXPECT_TRUE(SameRect(spy.locks[0].rect, RECT{2, 1, 8, 3}));
    EXPECT_TRUE(SameBox(block.box, D3DBOX{1, 0, 6, 2, 0, 1}));
}

// D3DLOCK_DISCARD goes with whole writes of a dynamic texture's only level.
TEST_F(SurfaceLockTest, DiscardOnlyForWholeWritesOfSingleLevelDynamicTextures) {
    struct Case {
        UINT levels;
        const RECT* rect;
        DWORD flags;
        DWORD expected;
    };
    const RECT part = {0, 0, 2, 2};
    const Case cases[] = {
        {1, nullptr, 0, D3DLOCK_NOSYSLOCK | D3DLOCK_DISCARD},
        {2, nullptr, 0, D3DLOCK_NOSYSLOCK},
        {1, &part, 0, D3DLOCK_NOSYSLOCK},
        {1, nullptr, TX_LOCK_READONLY, D3DLOCK_NOSYSLOCK | D3DLOCK_READONLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.levels << " levels, flags " << c.flags);
        IDirect3DSurface8* real =
            Level(Texture(8, 8, c.levels, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT));
        SpySurface spy(real);
        SurfaceLock lock;
        PixelBlock block = {};
        ASSERT_EQ(lock.Lock(&block, &spy, nullptr, c.rect, 0, c.flags), S_OK);
        ASSERT_EQ(spy.locks.size(), 1u); // locked directly, no copy
        EXPECT_EQ(spy.locks[0].flags, c.expected);
        EXPECT_EQ(lock.copy, nullptr);
    }
}

// A whole write to a default-pool texture level goes through a copy that is
// not filled first, and reaches the level at Unlock.
TEST_F(SurfaceLockTest, WholeWriteToADefaultPoolLevelUsesAnUnfilledCopy) {
    IDirect3DSurface8* level = Level(Texture(4, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT));
    Fill32(level, std::vector<DWORD>(8, 0xFFABABAB));
    {
        SurfaceLock lock;
        PixelBlock block = {};
        ASSERT_EQ(lock.Lock(&block, level, nullptr, nullptr, 0, 0), S_OK);
        ASSERT_NE(lock.copy, nullptr);
        ASSERT_NE(lock.device, nullptr);
        for (UINT y = 0; y < 2; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(block.data) +
                                                  size_t(y) * block.rowPitch);
            for (UINT x = 0; x < 4; ++x) {
                EXPECT_NE(row[x], 0xFFABABABu) << "the copy was filled";
                row[x] = 0xFF000000u | (y * 4 + x);
            }
        }
        EXPECT_EQ(Read32(level), std::vector<DWORD>(8, 0xFFABABAB)); // not yet written
    }
    std::vector<DWORD> expected;
    for (DWORD i = 0; i < 8; ++i)
        expected.push_back(0xFF000000u | i);
    EXPECT_EQ(Read32(level), expected);
}

// Reading a default-pool level fills the copy first and never writes back;
// a partial write fills it too and writes the whole copy back.
TEST_F(SurfaceLockTest, ReadsAndPartialWritesOfADefaultPoolLevelSeeItsPixels) {
    IDirect3DSurface8* level = Level(Texture(4, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT));
    std::vector<DWORD> original;
    for (DWORD i = 0; i < 8; ++i)
        original.push_back(0xFF100000u + i);
    Fill32(level, original);
    {
        SurfaceLock lock;
        PixelBlock block = {};
        const RECT rect = {1, 1, 3, 2};
        ASSERT_EQ(lock.Lock(&block, level, nullptr, &rect, 0, TX_LOCK_READONLY), S_OK);
        ASSERT_NE(lock.copy, nullptr);
        DWORD* row = static_cast<DWORD*>(block.data);
        EXPECT_EQ(row[0], original[5]);
        EXPECT_EQ(row[1], original[6]);
        row[0] = 0; // only the copy changes
    }
    EXPECT_EQ(Read32(level), original);
    {
        SurfaceLock lock;
        PixelBlock block = {};
        const RECT rect = {2, 0, 3, 1};
        ASSERT_EQ(lock.Lock(&block, level, nullptr, &rect, 0, 0), S_OK);
        static_cast<DWORD*>(block.data)[0] = 0xFF777777u;
    }
    std::vector<DWORD> expected = original;
    expected[2] = 0xFF777777u;
    EXPECT_EQ(Read32(level), expected);
}

// Default-pool surfaces outside a texture: a lockable render target is locked
// directly; one that is not lockable goes through a copy.
TEST_F(SurfaceLockTest, RenderTargetsAreLockedDirectlyWhenTheRuntimeAllows) {
    for (BOOL lockable : {TRUE, FALSE}) {
        SCOPED_TRACE(lockable);
        IDirect3DSurface8* target = nullptr;
        ASSERT_EQ(device_->CreateRenderTarget(2, 2, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, lockable,
                                              &target),
                  D3D_OK);
        Keep(target);
        {
            SurfaceLock lock;
            PixelBlock block = {};
            ASSERT_EQ(lock.Lock(&block, target, nullptr, nullptr, 0, 0), S_OK);
            EXPECT_EQ(lock.copy != nullptr, !lockable);
            for (UINT y = 0; y < 2; ++y)
                for (UINT x = 0; x < 2; ++x)
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(block.data) +
                                             size_t(y) * block.rowPitch)[x] =
                        0xFF000010u + y * 2 + x;
        }
        EXPECT_EQ(Read32(target),
                  (std::vector<DWORD>{0xFF000010u, 0xFF000011u, 0xFF000012u, 0xFF000013u}));
    }
}

TEST_F(SurfaceLockTest, TheBlockDescribesTheLockedPixels) {
    IDirect3DSurface8* surface = ImageSurface(6, 5, D3DFMT_A8R8G8B8);
    PALETTEENTRY palette[256] = {};
    SurfaceLock lock;
    PixelBlock whole = {};
    ASSERT_EQ(lock.Lock(&whole, surface, nullptr, nullptr, 0, TX_LOCK_READONLY), S_OK);
    BYTE* base = static_cast<BYTE*>(whole.data);
    const UINT pitch = whole.rowPitch;
    EXPECT_EQ(lock.flags, TX_LOCK_READONLY);
    EXPECT_EQ(lock.surface, surface);
    lock.Unlock();

    PixelBlock block = {};
    const RECT rect = {2, 1, 5, 4};
    ASSERT_EQ(lock.Lock(&block, surface, palette, &rect, 0x00FF00FFu, 0), S_OK);
    EXPECT_EQ(block.data, base + size_t(1) * pitch + 2 * 4);
    EXPECT_EQ(block.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(block.rowPitch, pitch);
    EXPECT_EQ(block.slicePitch, 0u);
    EXPECT_TRUE(SameBox(block.box, D3DBOX{0, 0, 3, 3, 0, 1}));
    EXPECT_TRUE(SameBox(block.bounds, D3DBOX{0, 0, 6, 5, 0, 1}));
    EXPECT_EQ(block.dither, 1u);
    EXPECT_EQ(block.colorKey, 0x00FF00FFu);
    EXPECT_EQ(block.palette, palette);
    // A second Lock on the same object undoes the first.
    ASSERT_EQ(lock.Lock(&block, surface, nullptr, nullptr, 0, 0), S_OK);
}

TEST_F(SurfaceLockTest, UseCopyAlwaysWorksOnACopy) {
    IDirect3DSurface8* surface = ImageSurface(2, 1, D3DFMT_X8R8G8B8);
    Fill32(surface, {0xFF000001u, 0xFF000002u});
    SurfaceLock lock;
    PixelBlock block = {};
    ASSERT_EQ(lock.Lock(&block, surface, nullptr, nullptr, 0, TX_LOCK_READONLY | TX_LOCK_USE_COPY),
              S_OK);
    ASSERT_NE(lock.copy, nullptr);
    EXPECT_EQ(static_cast<DWORD*>(block.data)[1], 0xFF000002u);
    // The surface itself stays unlocked while the copy is.
    D3DLOCKED_RECT direct;
    ASSERT_EQ(surface->LockRect(&direct, nullptr, D3DLOCK_READONLY), D3D_OK);
    surface->UnlockRect();
}

class VolumeLockTest : public surfacetest::DeviceTest {
protected:
    IDirect3DVolume8* Volume(UINT size, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool) {
        IDirect3DVolumeTexture8* texture = nullptr;
        EXPECT_EQ(
            device_->CreateVolumeTexture(size, size, depth, levels, usage, format, pool, &texture),
            D3D_OK);
        Keep(texture);
        IDirect3DVolume8* volume = nullptr;
        if (texture) {
            EXPECT_EQ(texture->GetVolumeLevel(0, &volume), D3D_OK);
        }
        return Keep(volume);
    }
};

TEST_F(VolumeLockTest, LocksBoxesWidenedToBlocksAndRefusesBadOnes) {
    IDirect3DVolume8* volume = Volume(16, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
    ASSERT_NE(volume, nullptr);
    VolumeLock lock;
    PixelBlock whole = {};
    ASSERT_EQ(lock.Lock(&whole, volume, nullptr, nullptr, 0, TX_LOCK_READONLY), S_OK);
    BYTE* base = static_cast<BYTE*>(whole.data);
    const UINT rowPitch = whole.rowPitch, slicePitch = whole.slicePitch;
    EXPECT_TRUE(SameBox(whole.box, D3DBOX{0, 0, 16, 16, 0, 4}));
    EXPECT_TRUE(SameBox(whole.bounds, D3DBOX{0, 0, 16, 16, 0, 4}));
    lock.Unlock();
    EXPECT_EQ(lock.volume, nullptr);

    PixelBlock block = {};
    const D3DBOX box = {5, 5, 7, 7, 1, 3};
    ASSERT_EQ(lock.Lock(&block, volume, nullptr, &box, 0, 0), S_OK);
    EXPECT_EQ(block.data, base + size_t(slicePitch) + rowPitch + 8);
    EXPECT_TRUE(SameBox(block.box, D3DBOX{1, 1, 3, 3, 0, 2}));
    EXPECT_EQ(block.slicePitch, slicePitch);
    lock.Unlock();

    const D3DBOX bad[] = {{0, 0, 17, 1, 0, 1},
                          {2, 0, 1, 1, 0, 1},
                          {0, 0, 1, 1, 0, 5},
                          {0, 0, 1, 1, 2, 1},
                          {0, 3, 1, 2, 0, 1}};
    for (const D3DBOX& b : bad)
        EXPECT_EQ(lock.Lock(&block, volume, nullptr, &b, 0, 0), D3DERR_INVALIDCALL);
}

// Volumes are never copied: a default-pool volume that is not dynamic cannot
// be locked at all.
TEST_F(VolumeLockTest, DefaultPoolVolumesMustBeDynamic) {
    IDirect3DVolume8* fixed = Volume(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(fixed, nullptr);
    VolumeLock lock;
    PixelBlock block = {};
    EXPECT_EQ(lock.Lock(&block, fixed, nullptr, nullptr, 0, TX_LOCK_READONLY), D3DERR_INVALIDCALL);
    IDirect3DVolume8* dynamic = Volume(4, 2, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(dynamic, nullptr);
    EXPECT_EQ(lock.Lock(&block, dynamic, nullptr, nullptr, 0, 0), S_OK);
}

} // namespace
