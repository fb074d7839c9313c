// What the requirements check makes of wished sizes, levels and formats on
// devices with different capabilities, and that its answers can be created.
#include <gtest/gtest.h>

#include <string>

#include "texture/texture.h"
#include "texture_test_device.h"

namespace {

using texturetest::ProfileDeviceTest;

constexpr UINT D = TX_DEFAULT;
const D3DRESOURCETYPE kTexture = D3DRTYPE_TEXTURE;
const D3DRESOURCETYPE kCube = D3DRTYPE_CUBETEXTURE;
const D3DRESOURCETYPE kVolume = D3DRTYPE_VOLUMETEXTURE;

struct Wish {
    UINT width, height, depth, levels;
    D3DFORMAT format;
};

struct Answer {
    UINT width, height, depth, levels;
    D3DFORMAT format;
};

struct Case {
    const char* name;
    const char* profile;
    D3DRESOURCETYPE type;
    D3DPOOL pool;
    Wish wish;
    Answer answer;
    bool creatable = true;
};

// clang-format off
const Case kCases[] = {
    // Sizes and their defaults.
    {"NothingGivenIs256", "default", kTexture, D3DPOOL_MANAGED, {D, D, D, D, D3DFMT_UNKNOWN}, {256, 256, 1, 9, D3DFMT_A8R8G8B8}},
    {"OneSideTakesTheOther", "default", kTexture, D3DPOOL_MANAGED, {100, D, D, D, D3DFMT_X8R8G8B8}, {100, 100, 1, 7, D3DFMT_X8R8G8B8}},
    {"ZeroBecomesOne", "default", kTexture, D3DPOOL_MANAGED, {0, 8, 0, 0, D3DFMT_X8R8G8B8}, {1, 8, 1, 4, D3DFMT_X8R8G8B8}},
    {"AnySizeWithoutPow2Rule", "default", kTexture, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {100, 60, 1, 7, D3DFMT_X8R8G8B8}},
    {"CubeFacesAreSquare", "default", kCube, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {100, 100, 1, 7, D3DFMT_X8R8G8B8}},
    // Power-of-two rounding.
    {"Pow2RoundsUp", "pow2-only", kTexture, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {128, 64, 1, 8, D3DFMT_X8R8G8B8}},
    {"Pow2RoundsVolumes", "pow2-only", kVolume, D3DPOOL_MANAGED, {5, 6, 3, D, D3DFMT_X8R8G8B8}, {8, 8, 4, 4, D3DFMT_X8R8G8B8}},
    {"Pow2RoundsCubes", "pow2-only", kCube, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {128, 128, 1, 8, D3DFMT_X8R8G8B8}},
    // Rounding comes after the limits: 100x12 is first limited to the aspect
    // ratio 3 (36x12), then rounded; a limit of 300 is passed by the rounding.
    // Limits that are not powers of two can thus give sizes the device
    // refuses.
    {"RoundingFollowsAspectLimit", "pow2-odd-limits", kTexture, D3DPOOL_MANAGED, {100, 12, 1, D, D3DFMT_X8R8G8B8}, {64, 16, 1, 7, D3DFMT_X8R8G8B8}, false},
    {"RoundingFollowsSizeLimit", "pow2-odd-limits", kTexture, D3DPOOL_MANAGED, {1000, 1000, 1, D, D3DFMT_X8R8G8B8}, {512, 512, 1, 10, D3DFMT_X8R8G8B8}, false},
    {"RoundingFollowsVolumeLimit", "pow2-odd-limits", kVolume, D3DPOOL_MANAGED, {1000, 20, 3, D, D3DFMT_X8R8G8B8}, {128, 32, 4, 8, D3DFMT_X8R8G8B8}, false},
    // Size and aspect-ratio limits: width first, then height against the new
    // width.
    {"WideLimitedByAspect", "small-textures", kTexture, D3DPOOL_MANAGED, {1000, 100, 1, D, D3DFMT_X8R8G8B8}, {200, 100, 1, 8, D3DFMT_X8R8G8B8}},
    {"TallLimitedByAspect", "small-textures", kTexture, D3DPOOL_MANAGED, {100, 1000, 1, D, D3DFMT_X8R8G8B8}, {100, 200, 1, 8, D3DFMT_X8R8G8B8}},
    {"CubesHaveNoAspectLimit", "small-textures", kCube, D3DPOOL_MANAGED, {1000, 100, 1, D, D3DFMT_X8R8G8B8}, {256, 256, 1, 9, D3DFMT_X8R8G8B8}},
    {"VolumeExtent", "small-textures", kVolume, D3DPOOL_MANAGED, {100, 10, 100, D, D3DFMT_X8R8G8B8}, {64, 10, 64, 7, D3DFMT_X8R8G8B8}},
    {"SquareOnly", "square-only", kTexture, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {60, 60, 1, 6, D3DFMT_X8R8G8B8}},
    // Level counts.
    {"FewerLevelsKept", "default", kTexture, D3DPOOL_MANAGED, {64, 64, 1, 3, D3DFMT_X8R8G8B8}, {64, 64, 1, 3, D3DFMT_X8R8G8B8}},
    {"ZeroLevelsIsFullChain", "default", kTexture, D3DPOOL_MANAGED, {64, 64, 1, 0, D3DFMT_X8R8G8B8}, {64, 64, 1, 7, D3DFMT_X8R8G8B8}},
    {"TooManyLevelsIsFullChain", "default", kTexture, D3DPOOL_MANAGED, {64, 64, 1, 8, D3DFMT_X8R8G8B8}, {64, 64, 1, 7, D3DFMT_X8R8G8B8}},
    {"VolumeChainCountsDepth", "default", kVolume, D3DPOOL_MANAGED, {4, 4, 32, D, D3DFMT_X8R8G8B8}, {4, 4, 32, 6, D3DFMT_X8R8G8B8}},
    {"NoMipmaps", "no-mipmaps", kTexture, D3DPOOL_MANAGED, {64, 64, 1, D, D3DFMT_X8R8G8B8}, {64, 64, 1, 1, D3DFMT_X8R8G8B8}},
    {"NonPow2ConditionalOneLevel", "nonpow2-conditional", kTexture, D3DPOOL_MANAGED, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {100, 60, 1, 1, D3DFMT_X8R8G8B8}},
    {"NonPow2ConditionalPow2Chain", "nonpow2-conditional", kTexture, D3DPOOL_MANAGED, {128, 64, 1, D, D3DFMT_X8R8G8B8}, {128, 64, 1, 8, D3DFMT_X8R8G8B8}},
    // Formats: the device's closest, DXT in whole blocks.
    {"DxtBlocks", "default", kTexture, D3DPOOL_MANAGED, {10, 6, 1, D, D3DFMT_DXT1}, {12, 8, 1, 4, D3DFMT_DXT1}},
    {"DxtSubstitute", "no-dxt", kTexture, D3DPOOL_MANAGED, {10, 6, 1, D, D3DFMT_DXT1}, {10, 6, 1, 4, D3DFMT_A8R8G8B8}},
    {"PaletteFormatKept", "default", kTexture, D3DPOOL_MANAGED, {16, 16, 1, D, D3DFMT_P8}, {16, 16, 1, 5, D3DFMT_P8}},
    // The scratch pool asks no device and obeys no caps, but DXT sizes are
    // still whole blocks.
    {"ScratchSkipsLimits", "small-textures", kTexture, D3DPOOL_SCRATCH, {1000, 6, 1, D, D3DFMT_DXT1}, {1000, 8, 1, 10, D3DFMT_DXT1}},
    {"ScratchSkipsPow2AndMipCaps", "pow2-only", kTexture, D3DPOOL_SCRATCH, {100, 60, 1, D, D3DFMT_X8R8G8B8}, {100, 60, 1, 7, D3DFMT_X8R8G8B8}},
    {"ScratchKeepsUnofferedFormat", "no-dxt", kTexture, D3DPOOL_SCRATCH, {8, 8, 1, 1, D3DFMT_DXT5}, {8, 8, 1, 1, D3DFMT_DXT5}},
    {"ScratchDefaultFormat", "default", kTexture, D3DPOOL_SCRATCH, {8, 8, 1, 1, D3DFMT_UNKNOWN}, {8, 8, 1, 1, D3DFMT_A8R8G8B8}},
    {"ScratchDefaultFormatOnNoMipmaps", "no-mipmaps", kTexture, D3DPOOL_SCRATCH, {8, 8, 1, D, D3DFMT_UNKNOWN}, {8, 8, 1, 4, D3DFMT_A8R8G8B8}},
};
// clang-format on

class RequirementsTest : public ProfileDeviceTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RequirementsTest, AdjustsToWhatTheDeviceCanCreate) {
    const Case& c = GetParam();
    IDirect3DDevice8* device = Device(c.profile);
    ASSERT_NE(device, nullptr);
    UINT width = c.wish.width, height = c.wish.height, depth = c.wish.depth;
    UINT levels = c.wish.levels;
    D3DFORMAT format = c.wish.format;
    ASSERT_EQ(TxCheckResourceRequirements(0, device, &width, &height, &depth, &levels, &format,
                                          c.pool, c.type),
              S_OK);
    EXPECT_EQ(width, c.answer.width);
    EXPECT_EQ(height, c.answer.height);
    EXPECT_EQ(depth, c.answer.depth);
    EXPECT_EQ(levels, c.answer.levels);
    EXPECT_EQ(format, c.answer.format);

    // The answer is something the device creates.
    if (!c.creatable) return;
    IDirect3DBaseTexture8* created = nullptr;
    HRESULT hr;
    if (c.type == kTexture) {
        IDirect3DTexture8* texture = nullptr;
        hr = device->CreateTexture(width, height, levels, 0, format, c.pool, &texture);
        created = texture;
    } else if (c.type == kCube) {
        IDirect3DCubeTexture8* cube = nullptr;
        hr = device->CreateCubeTexture(width, levels, 0, format, c.pool, &cube);
        created = cube;
    } else {
        IDirect3DVolumeTexture8* volume = nullptr;
        hr = device->CreateVolumeTexture(width, height, depth, levels, 0, format, c.pool, &volume);
        created = volume;
    }
    EXPECT_EQ(hr, D3D_OK);
    if (created) created->Release();
}

INSTANTIATE_TEST_SUITE_P(Cases, RequirementsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return std::string(param.param.name);
                         });

class RequirementsErrorTest : public ProfileDeviceTest {};

TEST_F(RequirementsErrorTest, BadArgumentsAreRefusedAndNothingIsWritten) {
    IDirect3DDevice8* device = Device();
    struct Bad {
        const char* what;
        IDirect3DDevice8* device;
        DWORD usage;
        D3DPOOL pool;
        D3DRESOURCETYPE type;
    };
    const Bad cases[] = {
        {"no device", nullptr, 0, D3DPOOL_MANAGED, kTexture},
        {"software-processing usage", device, D3DUSAGE_SOFTWAREPROCESSING, D3DPOOL_MANAGED,
         kTexture},
        {"points usage", device, D3DUSAGE_POINTS | D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, kTexture},
        {"pool 4", device, 0, static_cast<D3DPOOL>(4), kTexture},
        {"surface type", device, 0, D3DPOOL_MANAGED, D3DRTYPE_SURFACE},
    };
    for (const Bad& bad : cases) {
        UINT width = 100, height = 60, depth = 1, levels = D;
        D3DFORMAT format = D3DFMT_R8G8B8;
        EXPECT_EQ(TxCheckResourceRequirements(bad.usage, bad.device, &width, &height, &depth,
                                              &levels, &format, bad.pool, bad.type),
                  D3DERR_INVALIDCALL)
            << bad.what;
        EXPECT_EQ(width, 100u) << bad.what;
        EXPECT_EQ(levels, D) << bad.what;
        EXPECT_EQ(format, D3DFMT_R8G8B8) << bad.what;
    }
}

TEST_F(RequirementsErrorTest, EveryTextureUsageAndTheDefaultUsageAreAccepted) {
    IDirect3DDevice8* device = Device();
    for (DWORD usage : {DWORD(0), DWORD(D3DUSAGE_DYNAMIC), DWORD(D3DUSAGE_WRITEONLY), D,
                        DWORD(D3DUSAGE_RENDERTARGET)}) {
        D3DFORMAT format = D3DFMT_X8R8G8B8;
        EXPECT_EQ(TxCheckResourceRequirements(usage, device, nullptr, nullptr, nullptr, nullptr,
                                              &format, D3DPOOL_DEFAULT, kTexture),
                  S_OK)
            << usage;
        EXPECT_EQ(format, D3DFMT_X8R8G8B8) << usage;
    }
}

TEST_F(RequirementsErrorTest, NoFormatTheDeviceOffersIsNotAvailable) {
    // A device without cube textures has no format for one; a signed format
    // is never replaced by a colour one.
    IDirect3DDevice8* noCubes = Device("no-cube-volume");
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    EXPECT_EQ(TxCheckResourceRequirements(0, noCubes, nullptr, nullptr, nullptr, nullptr, &format,
                                          D3DPOOL_MANAGED, kCube),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);
    // Render targets come in five colour formats only.
    IDirect3DDevice8* device = Device();
    format = D3DFMT_V8U8;
    EXPECT_EQ(TxCheckResourceRequirements(D3DUSAGE_RENDERTARGET, device, nullptr, nullptr, nullptr,
                                          nullptr, &format, D3DPOOL_DEFAULT, kTexture),
              D3DERR_NOTAVAILABLE);
}

TEST_F(RequirementsErrorTest, MissingPointersCountAsDefaults) {
    IDirect3DDevice8* device = Device("pow2-only");
    UINT width = 100;
    ASSERT_EQ(TxCheckResourceRequirements(0, device, &width, nullptr, nullptr, nullptr, nullptr,
                                          D3DPOOL_MANAGED, kTexture),
              S_OK);
    EXPECT_EQ(width, 128u); // the height followed the width, both rounded
    UINT levels = D;
    ASSERT_EQ(TxCheckResourceRequirements(0, device, nullptr, nullptr, nullptr, &levels, nullptr,
                                          D3DPOOL_MANAGED, kTexture),
              S_OK);
    EXPECT_EQ(levels, 9u); // 256x256
}

} // namespace
