// Loading surfaces and volumes from memory and from each other: which path
// is taken, and what arrives.
#include <gtest/gtest.h>

#include <vector>

#include "blit/blitter.h"
#include "platform/win32_system.h"
#include "surface_test_device.h"
#include "texture/texture.h"

namespace {

class SurfaceLoadTest : public surfacetest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // The direct copy is bracketed by the debug-mute export; counting its
        // calls tells whether the copy was tried.
        txplatform::SetModulePresent("d3d8.dll", true);
    }
    void TearDown() override {
        txplatform::SetModulePresent("d3d8.dll", false);
        DeviceTest::TearDown();
    }
    unsigned MuteCalls() const { return txplatform::DebugSetMuteCallCount("d3d8.dll"); }
};

const std::vector<DWORD> kFour = {0xFF102030u, 0xFF405060u, 0x80708090u, 0x00A0B0C0u};

TEST_F(SurfaceLoadTest, NullArgumentsAreRefused) {
    IDirect3DSurface8* surface = ImageSurface(2, 2, D3DFMT_A8R8G8B8);
    const RECT rect = {0, 0, 2, 2};
    const DWORD memory[4] = {};
    EXPECT_EQ(TxLoadSurfaceFromMemory(nullptr, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 8,
                                      nullptr, &rect, TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(TxLoadSurfaceFromMemory(surface, nullptr, nullptr, nullptr, D3DFMT_A8R8G8B8, 8,
                                      nullptr, &rect, TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(TxLoadSurfaceFromMemory(surface, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 8,
                                      nullptr, nullptr, TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(TxLoadSurfaceFromSurface(nullptr, nullptr, nullptr, surface, nullptr, nullptr,
                                       TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(TxLoadSurfaceFromSurface(surface, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    const D3DBOX box = {0, 0, 1, 1, 0, 1};
    EXPECT_EQ(TxLoadVolumeFromMemory(nullptr, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 4, 4,
                                     nullptr, &box, TX_DEFAULT, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        TxLoadVolumeFromVolume(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, TX_DEFAULT, 0),
        D3DERR_INVALIDCALL);
}

// The direct copy is tried only for equal sizes without box filter, colour
// key or differing palettes; otherwise the blit engine converts.
TEST_F(SurfaceLoadTest, DirectCopyOnlyWhenNothingWouldChangeThePixels) {
    PALETTEENTRY one[256] = {}, other[256] = {};
    other[255].peRed = 1;
    struct Case {
        const char* name;
        D3DFORMAT sourceFormat;
        DWORD filter;
        D3DCOLOR colorKey;
        const PALETTEENTRY* destPalette;
        const PALETTEENTRY* sourcePalette;
        bool tried;
        std::vector<DWORD> expected;
    };
    const std::vector<DWORD> keyed = {0, kFour[1], kFour[2], kFour[3]};
    const Case cases[] = {
        {"Default", D3DFMT_A8R8G8B8, TX_DEFAULT, 0, nullptr, nullptr, true, kFour},
        {"Point", D3DFMT_A8R8G8B8, TX_FILTER_POINT, 0, nullptr, nullptr, true, kFour},
        {"OnePaletteMissing", D3DFMT_A8R8G8B8, TX_FILTER_NONE, 0, one, nullptr, false, kFour},
        {"SamePalette", D3DFMT_A8R8G8B8, TX_FILTER_NONE, 0, one, one, true, kFour},
        {"Box", D3DFMT_A8R8G8B8, TX_FILTER_BOX, 0, nullptr, nullptr, false, kFour},
        {"ColorKey", D3DFMT_A8R8G8B8, TX_DEFAULT, kFour[0], nullptr, nullptr, false, keyed},
        {"PalettesDiffer", D3DFMT_A8R8G8B8, TX_DEFAULT, 0, one, other, false, kFour},
        // Tried, refused by the runtime, converted by the blit engine.
        {"OtherFormat",
         D3DFMT_X8R8G8B8,
         TX_DEFAULT,
         0,
         nullptr,
         nullptr,
         true,
         {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DSurface8* source = ImageSurface(2, 2, c.sourceFormat);
        IDirect3DSurface8* dest = ImageSurface(2, 2, D3DFMT_A8R8G8B8);
        Fill32(source, kFour);
        const unsigned before = MuteCalls();
        ASSERT_EQ(TxLoadSurfaceFromSurface(dest, c.destPalette, nullptr, source, c.sourcePalette,
                                           nullptr, c.filter, c.colorKey),
                  S_OK);
        EXPECT_EQ(MuteCalls() - before, c.tried ? 2u : 0u);
        EXPECT_EQ(Read32(dest), c.expected);
    }
}

// One missing palette is a disagreement, but palettes of equal
// contents in different arrays count as the same one.
TEST_F(SurfaceLoadTest, PalettesOfEqualContentsAllowTheDirectCopy) {
    PALETTEENTRY a[256], b[256];
    for (int i = 0; i < 256; ++i)
        a[i] = b[i] = PALETTEENTRY{BYTE(i), 0, 0, 255};
    IDirect3DSurface8* source = ImageSurface(2, 2, D3DFMT_A8R8G8B8);
    IDirect3DSurface8* dest = ImageSurface(2, 2, D3DFMT_A8R8G8B8);
    Fill32(source, kFour);
    const unsigned before = MuteCalls();
    ASSERT_EQ(TxLoadSurfaceFromSurface(dest, a, nullptr, source, b, nullptr, TX_DEFAULT, 0), S_OK);
    EXPECT_EQ(MuteCalls() - before, 2u);
    EXPECT_EQ(Read32(dest), kFour);
}

// The rectangles go to the copy: the source rectangle's pixels land at the
// destination rectangle's corner.
TEST_F(SurfaceLoadTest, DirectCopyUsesBothRectangles) {
    IDirect3DSurface8* source = ImageSurface(2, 2, D3DFMT_A8R8G8B8);
    IDirect3DSurface8* dest = ImageSurface(3, 1, D3DFMT_A8R8G8B8);
    Fill32(source, kFour);
    Fill32(dest, {1, 2, 3});
    const RECT from = {0, 1, 2, 2}, to = {1, 0, 3, 1};
    ASSERT_EQ(TxLoadSurfaceFromSurface(dest, nullptr, &to, source, nullptr, &from, TX_DEFAULT, 0),
              S_OK);
    EXPECT_EQ(Read32(dest), (std::vector<DWORD>{1, kFour[2], kFour[3]}));
}

// A surface loaded from itself reads the pixels as they were before the load.
TEST_F(SurfaceLoadTest, LoadingASurfaceFromItselfReadsTheOldPixels) {
    IDirect3DSurface8* surface = ImageSurface(4, 1, D3DFMT_X8R8G8B8);
    Fill32(surface, {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u});
    const RECT from = {0, 0, 3, 1}, to = {1, 0, 4, 1};
    ASSERT_EQ(
        TxLoadSurfaceFromSurface(surface, nullptr, &to, surface, nullptr, &from, TX_FILTER_NONE, 0),
        S_OK);
    EXPECT_EQ(Read32(surface),
              (std::vector<DWORD>{0xFF000001u, 0xFF000001u, 0xFF000002u, 0xFF000003u}));
}

// TX_DEFAULT resamples with the triangle filter and dithers: the same as the
// blit engine with that filter word.
TEST_F(SurfaceLoadTest, DefaultFilterIsTriangleWithDither) {
    std::vector<DWORD> source(8 * 8);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = 0xFF000000u | DWORD(i * 0x030507);
    IDirect3DSurface8* dest = ImageSurface(3, 3, D3DFMT_R5G6B5);
    const RECT rect = {0, 0, 8, 8};
    ASSERT_EQ(TxLoadSurfaceFromMemory(dest, nullptr, nullptr, source.data(), D3DFMT_X8R8G8B8, 8 * 4,
                                      nullptr, &rect, TX_DEFAULT, 0),
              S_OK);
    WORD expected[9] = {};
    PixelBlock to = {expected, D3DFMT_R5G6B5, 6, 0, {0, 0, 3, 3, 0, 1}, {0, 0, 3, 3, 0, 1}};
    PixelBlock from = {source.data(),      D3DFMT_X8R8G8B8,   32, 0,
                       {0, 0, 8, 8, 0, 1}, {0, 0, 8, 8, 0, 1}};
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(to, from, TX_FILTER_TRIANGLE | TX_FILTER_DITHER), S_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(dest->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(reinterpret_cast<const WORD*>(static_cast<BYTE*>(locked.pBits) +
                                                    y * locked.Pitch)[x],
                      expected[y * 3 + x])
                << x << "," << y;
    dest->UnlockRect();
}

// The memory rectangle says where the pixels lie from the given address; a
// destination rectangle limits what is written.
TEST_F(SurfaceLoadTest, MemoryRectanglesAddressTheSource) {
    const DWORD memory[3][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    IDirect3DSurface8* dest = ImageSurface(3, 2, D3DFMT_A8R8G8B8);
    Fill32(dest, std::vector<DWORD>(6, 0xEEEEEEEEu));
    const RECT from = {1, 1, 3, 3}, to = {1, 0, 3, 2};
    ASSERT_EQ(TxLoadSurfaceFromMemory(dest, nullptr, &to, memory, D3DFMT_A8R8G8B8, 16, nullptr,
                                      &from, TX_FILTER_NONE, 0),
              S_OK);
    EXPECT_EQ(Read32(dest), (std::vector<DWORD>{0xEEEEEEEEu, 6, 7, 0xEEEEEEEEu, 10, 11}));
    EXPECT_EQ(TxLoadSurfaceFromMemory(dest, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 16, nullptr,
                                      &from, 0x105, 0),
              D3DERR_INVALIDCALL);
}

// A default-pool texture level is filled through a copy written back at the
// end.
TEST_F(SurfaceLoadTest, DefaultPoolLevelsAreFilledThroughACopy) {
    IDirect3DSurface8* level = Level(Texture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT));
    const RECT rect = {0, 0, 2, 2};
    ASSERT_EQ(TxLoadSurfaceFromMemory(level, nullptr, nullptr, kFour.data(), D3DFMT_A8R8G8B8, 8,
                                      nullptr, &rect, TX_FILTER_NONE, 0),
              S_OK);
    EXPECT_EQ(Read32(level), kFour);
}

TEST_F(SurfaceLoadTest, VolumesLoadFromMemoryAndFromEachOther) {
    auto volume = [&](UINT depth) {
        IDirect3DVolumeTexture8* texture = nullptr;
        EXPECT_EQ(device_->CreateVolumeTexture(2, 1, depth, 1, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_SYSTEMMEM, &texture),
                  D3D_OK);
        Keep(texture);
        IDirect3DVolume8* level = nullptr;
        EXPECT_EQ(texture->GetVolumeLevel(0, &level), D3D_OK);
        return Keep(level);
    };
    IDirect3DVolume8* first = volume(2);
    IDirect3DVolume8* second = volume(2);
    const DWORD memory[2][1][2] = {{{1, 2}}, {{3, 4}}};
    const D3DBOX box = {0, 0, 2, 1, 0, 2};
    ASSERT_EQ(TxLoadVolumeFromMemory(first, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 8, 8,
                                     nullptr, &box, TX_FILTER_NONE, 0),
              S_OK);
    const D3DBOX back = {0, 0, 2, 1, 1, 2};
    const D3DBOX front = {0, 0, 2, 1, 0, 1};
    ASSERT_EQ(
        TxLoadVolumeFromVolume(second, nullptr, &front, first, nullptr, &back, TX_FILTER_NONE, 0),
        S_OK);
    D3DLOCKED_BOX locked;
    ASSERT_EQ(second->LockBox(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD* pixels = static_cast<const DWORD*>(locked.pBits);
    EXPECT_EQ(pixels[0], 3u);
    EXPECT_EQ(pixels[1], 4u);
    second->UnlockBox();
}

} // namespace
