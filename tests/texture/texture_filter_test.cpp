// Mipmap filtering: which filter, from which level, for textures, cube
// textures and volume textures.
#include <gtest/gtest.h>

#include <vector>

#include "texture/texture.h"
#include "texture_test_device.h"

namespace {

using texturetest::HalveByBox;
using texturetest::NoisePixels;
using texturetest::ReadPixels32;
using texturetest::WritePixels32;

std::vector<DWORD> ReadVolume32(IDirect3DVolume8* volume) {
    D3DVOLUME_DESC desc;
    EXPECT_EQ(volume->GetDesc(&desc), D3D_OK);
    D3DLOCKED_BOX locked;
    std::vector<DWORD> pixels;
    EXPECT_EQ(volume->LockBox(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT z = 0; z < desc.Depth; ++z)
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const DWORD*>(
                static_cast<const BYTE*>(locked.pBits) + size_t(z) * locked.SlicePitch +
                size_t(y) * locked.RowPitch);
            pixels.insert(pixels.end(), row, row + desc.Width);
        }
    volume->UnlockBox();
    return pixels;
}

void WriteVolume32(IDirect3DVolume8* volume, const std::vector<DWORD>& pixels) {
    D3DVOLUME_DESC desc;
    ASSERT_EQ(volume->GetDesc(&desc), D3D_OK);
    D3DLOCKED_BOX locked;
    ASSERT_EQ(volume->LockBox(&locked, nullptr, 0), D3D_OK);
    size_t next = 0;
    for (UINT z = 0; z < desc.Depth; ++z)
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) +
                                                 size_t(z) * locked.SlicePitch +
                                                 size_t(y) * locked.RowPitch);
            for (UINT x = 0; x < desc.Width; ++x)
                row[x] = pixels[next++];
        }
    volume->UnlockBox();
}

class FilterTextureTest : public texturetest::ProfileDeviceTest {
protected:
    void SetUp() override {
        ProfileDeviceTest::SetUp();
        device_ = Device();
        ASSERT_NE(device_, nullptr);
    }

    // A texture of the same size whose levels are made by hand with the
    // loads: each from level 0 (direct) or from the level above (cascade).
    IDirect3DTexture8* ByHand(const std::vector<DWORD>& top, UINT width, UINT height, DWORD filter,
                              bool cascade) {
        IDirect3DTexture8* texture = Texture(device_, width, height, 0, D3DFMT_A8R8G8B8);
        WritePixels32(Level(texture, 0), top);
        for (UINT i = 1; i < texture->GetLevelCount(); ++i)
            EXPECT_EQ(TxLoadSurfaceFromSurface(Level(texture, i), nullptr, nullptr,
                                               Level(texture, cascade ? i - 1 : 0), nullptr,
                                               nullptr, filter, 0),
                      S_OK);
        return texture;
    }

    // Whether every level below level 0 of `a` equals that of `b`.
    bool SameLevels(IDirect3DTexture8* a, IDirect3DTexture8* b) {
        for (UINT i = 1; i < a->GetLevelCount(); ++i)
            if (ReadPixels32(Level(a, i)) != ReadPixels32(Level(b, i))) return false;
        return true;
    }

    IDirect3DDevice8* device_ = nullptr;
};

TEST_F(FilterTextureTest, PowerOfTwoTextureIsBoxFilteredLevelByLevel) {
    IDirect3DTexture8* texture = Texture(device_, 256, 256, 0, D3DFMT_A8R8G8B8);
    ASSERT_EQ(texture->GetLevelCount(), 9u);
    std::vector<DWORD> expected = NoisePixels(256 * 256, 1);
    WritePixels32(Level(texture, 0), expected);

    ASSERT_EQ(TxFilterTexture(texture, nullptr, TX_DEFAULT, TX_DEFAULT), S_OK);
    UINT size = 256;
    for (UINT i = 1; i < 9; ++i) {
        expected = HalveByBox(expected, size, size);
        size /= 2;
        EXPECT_EQ(ReadPixels32(Level(texture, i)), expected) << "level " << i;
    }
}

// Point and box make each level from the one just made; the other filters
// make every level from the source level. The default for sizes that are not
// powers of two is the triangle filter with dithering.
TEST_F(FilterTextureTest, EachFilterTakesItsSourceLevels) {
    const DWORD triangleDither = TX_FILTER_TRIANGLE | TX_FILTER_DITHER;
    struct Case {
        const char* name;
        UINT width, height, levels;
        DWORD filter;   // given to TxFilterTexture
        DWORD madeWith; // what the levels are made with
        bool cascade;
        DWORD notWith; // a filter whose levels differ, or 0
    };
    const Case cases[] = {
        {"DefaultOnOtherSizes", 100, 60, 7, TX_DEFAULT, triangleDither, false, TX_FILTER_TRIANGLE},
        {"Linear", 8, 8, 4, TX_FILTER_LINEAR, TX_FILTER_LINEAR, false, 0},
        {"Triangle", 16, 16, 5, TX_FILTER_TRIANGLE, TX_FILTER_TRIANGLE, false, 0},
        {"Point", 20, 12, 5, TX_FILTER_POINT, TX_FILTER_POINT, true, 0},
        {"BoxOnOtherSizes", 20, 12, 5, TX_FILTER_BOX, TX_FILTER_BOX, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<DWORD> top = NoisePixels(size_t(c.width) * c.height, 2);
        IDirect3DTexture8* texture = Texture(device_, c.width, c.height, 0, D3DFMT_A8R8G8B8);
        ASSERT_EQ(texture->GetLevelCount(), c.levels);
        WritePixels32(Level(texture, 0), top);
        ASSERT_EQ(TxFilterTexture(texture, nullptr, 0, c.filter), S_OK);
        EXPECT_TRUE(SameLevels(texture, ByHand(top, c.width, c.height, c.madeWith, c.cascade)));
        EXPECT_FALSE(SameLevels(texture, ByHand(top, c.width, c.height, c.madeWith, !c.cascade)));
        if (c.notWith != 0) {
            EXPECT_FALSE(SameLevels(texture, ByHand(top, c.width, c.height, c.notWith, false)));
        }
    }
}

TEST_F(FilterTextureTest, SourceLevelBoundsTheLevelsWritten) {
    IDirect3DTexture8* texture = Texture(device_, 8, 8, 4, D3DFMT_A8R8G8B8);
    std::vector<std::vector<DWORD>> before;
    for (UINT i = 0; i < 4; ++i) {
        const UINT size = 8 >> i;
        before.push_back(NoisePixels(size_t(size) * size, 10 + i));
        WritePixels32(Level(texture, i), before[i]);
    }
    auto unchanged = [&](UINT from) {
        for (UINT i = from; i < 4; ++i)
            EXPECT_EQ(ReadPixels32(Level(texture, i)), before[i]) << "level " << i;
    };

    EXPECT_EQ(TxFilterTexture(texture, nullptr, 3, TX_DEFAULT), S_OK);
    unchanged(0);
    EXPECT_EQ(TxFilterTexture(texture, nullptr, 4, TX_DEFAULT), D3DERR_INVALIDCALL);
    EXPECT_EQ(TxFilterTexture(texture, nullptr, 100, TX_DEFAULT), D3DERR_INVALIDCALL);
    unchanged(0);

    // From level 1: levels 0 and 1 stay, 2 and 3 are halved from 1.
    ASSERT_EQ(TxFilterTexture(texture, nullptr, 1, TX_DEFAULT), S_OK);
    EXPECT_EQ(ReadPixels32(Level(texture, 0)), before[0]);
    EXPECT_EQ(ReadPixels32(Level(texture, 1)), before[1]);
    const std::vector<DWORD> level2 = HalveByBox(before[1], 4, 4);
    EXPECT_EQ(ReadPixels32(Level(texture, 2)), level2);
    EXPECT_EQ(ReadPixels32(Level(texture, 3)), HalveByBox(level2, 2, 2));
}

TEST_F(FilterTextureTest, FailuresAreReturnedAndReleaseEverything) {
    EXPECT_EQ(TxFilterTexture(nullptr, nullptr, 0, TX_DEFAULT), D3DERR_INVALIDCALL);
    IDirect3DTexture8* texture = Texture(device_, 8, 8, 3, D3DFMT_A8R8G8B8);
    // Reserved bits of the filter word: the first load refuses it.
    EXPECT_EQ(TxFilterTexture(texture, nullptr, 0, TX_FILTER_BOX | 0x00100000u),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(TxFilterTexture(texture, nullptr, 0, 0), D3DERR_INVALIDCALL);
    // A locked level cannot be loaded: the error comes back after level 1 was
    // made, and the lock is the caller's to undo.
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(TxFilterTexture(texture, nullptr, 0, TX_DEFAULT), D3DERR_INVALIDCALL);
    texture->UnlockRect(2);
    // The fixture's live-object check shows that every level was released.
}

TEST_F(FilterTextureTest, CubeFacesAreFilteredEachFromItsOwnLevelWithMirroring) {
    // Six by six is no power of two: triangle filtering, whose edges differ
    // between wrapping and mirroring.
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(device_->CreateCubeTexture(6, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    Keep(cube);
    ASSERT_EQ(cube->GetLevelCount(), 3u);
    std::vector<std::vector<DWORD>> tops;
    for (UINT face = 0; face < 6; ++face) {
        tops.push_back(NoisePixels(36, 20 + face));
        WritePixels32(Face(cube, face, 0), tops[face]);
    }
    ASSERT_EQ(TxFilterTexture(cube, nullptr, 0, TX_DEFAULT), S_OK);

    const DWORD triangle = TX_FILTER_TRIANGLE | TX_FILTER_DITHER;
    bool mirroringMattered = false;
    for (UINT face = 0; face < 6; ++face) {
        IDirect3DTexture8* mirrored = ByHand(tops[face], 6, 6, triangle | TX_FILTER_MIRROR, false);
        IDirect3DTexture8* wrapped = ByHand(tops[face], 6, 6, triangle, false);
        for (UINT i = 1; i < 3; ++i) {
            const std::vector<DWORD> made = ReadPixels32(Face(cube, face, i));
            EXPECT_EQ(made, ReadPixels32(Level(mirrored, i))) << "face " << face << " level " << i;
            mirroringMattered |= made != ReadPixels32(Level(wrapped, i));
        }
    }
    EXPECT_TRUE(mirroringMattered);
}

TEST_F(FilterTextureTest, CubeFacesAreMirroredWithAGivenFilterToo) {
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(device_->CreateCubeTexture(8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    Keep(cube);
    const std::vector<DWORD> top = NoisePixels(64, 30);
    for (UINT face = 0; face < 6; ++face)
        WritePixels32(Face(cube, face, 0), top);
    ASSERT_EQ(TxFilterTexture(cube, nullptr, TX_DEFAULT, TX_FILTER_LINEAR), S_OK);
    IDirect3DTexture8* expected = ByHand(top, 8, 8, TX_FILTER_LINEAR | TX_FILTER_MIRROR, false);
    IDirect3DTexture8* wrapped = ByHand(top, 8, 8, TX_FILTER_LINEAR, false);
    EXPECT_FALSE(SameLevels(expected, wrapped));
    for (UINT face = 0; face < 6; ++face)
        for (UINT i = 1; i < 4; ++i)
            EXPECT_EQ(ReadPixels32(Face(cube, face, i)), ReadPixels32(Level(expected, i)))
                << "face " << face << " level " << i;
}

TEST_F(FilterTextureTest, VolumesCascadeWithBoxAndResampleOtherSizesDirectly) {
    struct Case {
        UINT width, height, depth;
        bool cascade;
        DWORD filter; // what the default stands for
    };
    const Case cases[] = {
        {8, 8, 8, true, TX_FILTER_BOX},
        {6, 6, 3, false, TX_FILTER_TRIANGLE | TX_FILTER_DITHER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.depth);
        IDirect3DVolumeTexture8* texture = nullptr;
        IDirect3DVolumeTexture8* byHand = nullptr;
        for (IDirect3DVolumeTexture8** t : {&texture, &byHand}) {
            ASSERT_EQ(device_->CreateVolumeTexture(c.width, c.height, c.depth, 0, 0,
                                                   D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t),
                      D3D_OK);
            Keep(*t);
            WriteVolume32(VolumeLevel(*t, 0),
                          NoisePixels(size_t(c.width) * c.height * c.depth, 40));
        }
        ASSERT_EQ(TxFilterTexture(texture, nullptr, 0, TX_DEFAULT), S_OK);
        const UINT levels = texture->GetLevelCount();
        for (UINT i = 1; i < levels; ++i)
            ASSERT_EQ(TxLoadVolumeFromVolume(VolumeLevel(byHand, i), nullptr, nullptr,
                                             VolumeLevel(byHand, c.cascade ? i - 1 : 0), nullptr,
                                             nullptr, c.filter, 0),
                      S_OK);
        for (UINT i = 1; i < levels; ++i)
            EXPECT_EQ(ReadVolume32(VolumeLevel(texture, i)), ReadVolume32(VolumeLevel(byHand, i)))
                << "level " << i;
    }
}

} // namespace
