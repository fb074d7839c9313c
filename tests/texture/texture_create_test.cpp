// Texture creation from image files: size, levels, format, colour keys and
// palettes, how the levels are made, the pools, cube and volume textures, and
// that no failure leaves anything alive.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagefile/dib_builder.h"
#include "texture/texture_create.h"
#include "texture_test_device.h"

namespace {

using texturetest::HalveByBox;
using texturetest::NoisePixels;
using texturetest::ReadPixels32;
using texturetest::WritePixels32;

const DWORD kTriangleDither = TX_FILTER_TRIANGLE | TX_FILTER_DITHER;

// Pixels as the loads take them: rows top-down, tightly packed.
struct Picture {
    UINT width = 0;
    UINT height = 0;
    UINT bytesPerPixel = 0;
    std::vector<BYTE> bytes;
    UINT Pitch() const { return width * bytesPerPixel; }
    RECT Rect() const { return RECT{0, 0, LONG(width), LONG(height)}; }
};

// 24-bit noise: B, G, R bytes as D3DFMT_R8G8B8 lays them out.
Picture Noise24(UINT width, UINT height, DWORD seed) {
    Picture p{width, height, 3, {}};
    for (DWORD pixel : NoisePixels(size_t(width) * height, seed))
        p.bytes.insert(p.bytes.end(), {BYTE(pixel), BYTE(pixel >> 8), BYTE(pixel >> 16)});
    return p;
}

// A bitmap file holding the picture bottom-up with padded rows; a colour
// table (0x00RRGGBB entries) for 8-bit pictures.
dibtest::Bytes BitmapFile(const Picture& p, const std::vector<uint32_t>& table = {}) {
    dibtest::Dib dib;
    dib.width = int32_t(p.width);
    dib.height = int32_t(p.height);
    dib.bitCount = uint16_t(p.bytesPerPixel * 8);
    dib.table = table;
    const UINT stride = (p.Pitch() + 3) & ~3u;
    for (UINT y = p.height; y-- > 0;) {
        const auto row = p.bytes.begin() + size_t(y) * p.Pitch();
        dib.pixels.insert(dib.pixels.end(), row, row + p.Pitch());
        dib.pixels.resize(dib.pixels.size() + stride - p.Pitch(), 0);
    }
    return dibtest::WithFileHeader(dib.Build());
}

std::vector<BYTE> ReadPixels8(IDirect3DSurface8* surface) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked;
    std::vector<BYTE> pixels;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch;
        pixels.insert(pixels.end(), row, row + desc.Width);
    }
    surface->UnlockRect();
    return pixels;
}

// Makes `image` describe borrowed A8R8G8B8 pixels.
void Describe(ImageFile* image, const std::vector<DWORD>& pixels, UINT width, UINT height,
              UINT depth = 1) {
    image->format = D3DFMT_A8R8G8B8;
    image->pixels = reinterpret_cast<const BYTE*>(pixels.data());
    image->width = width;
    image->height = height;
    image->depth = depth;
    image->box = D3DBOX{0, 0, width, height, 0, depth};
    image->rowPitch = width * 4;
    image->slicePitch = depth > 1 ? width * height * 4 : 0;
}

class CreateTextureTest : public texturetest::ProfileDeviceTest {
protected:
    IDirect3DTexture8* Create(IDirect3DDevice8* device, const dibtest::Bytes& file,
                              const ResourceRequest& r, HRESULT expected = S_OK,
                              ImageInfo* info = nullptr) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(TxCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), r.width,
                                                    r.height, r.mipLevels, r.usage, r.format,
                                                    r.pool, r.filter, r.mipFilter, r.colorKey, info,
                                                    r.palette, &texture),
                  expected);
        return Keep(texture);
    }

    // Reads a level of any pool through a system-memory copy.
    std::vector<DWORD> ReadAnyPool(IDirect3DDevice8* device, IDirect3DTexture8* texture,
                                   UINT level) {
        D3DSURFACE_DESC desc;
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        IDirect3DSurface8* copy = ImageSurface(device, desc.Width, desc.Height, desc.Format);
        EXPECT_EQ(device->CopyRects(Level(texture, level), nullptr, 0, copy, nullptr), D3D_OK);
        return ReadPixels32(copy);
    }

    void ExpectSameLevels(IDirect3DTexture8* made, IDirect3DTexture8* byHand) {
        ASSERT_EQ(made->GetLevelCount(), byHand->GetLevelCount());
        for (UINT i = 0; i < made->GetLevelCount(); ++i)
            EXPECT_EQ(ReadPixels32(Level(made, i)), ReadPixels32(Level(byHand, i)))
                << "level " << i;
    }
};

TEST_F(CreateTextureTest, BitmapFileWithEveryDefault) {
    struct Case {
        const char* profile;
        UINT width, height, levels;
    };
    const Case cases[] = {
        {"pow2-only", 128, 64, 8}, // stretched to powers of two
        {"default", 100, 60, 7},   // kept as it is
    };
    const Picture picture = Noise24(100, 60, 1);
    txtest::TempDir dir;
    const std::string path = dir.File("picture.bmp");
    ASSERT_TRUE(txtest::WriteFileBytes(path, BitmapFile(picture)));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        IDirect3DDevice8* device = Device(c.profile);
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(TxCreateTextureFromFile(device, path.c_str(), &texture), S_OK);
        Keep(texture);
        ASSERT_EQ(texture->GetLevelCount(), c.levels);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, c.width);
        EXPECT_EQ(desc.Height, c.height);
        EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(desc.Usage, 0u);

        // The same steps by hand: the picture stretched with the triangle
        // filter and dithering, the levels below box-filtered from it.
        IDirect3DTexture8* byHand = Texture(device, c.width, c.height, 0, D3DFMT_X8R8G8B8);
        const RECT rect = picture.Rect();
        ASSERT_EQ(TxLoadSurfaceFromMemory(Level(byHand, 0), nullptr, nullptr, picture.bytes.data(),
                                          D3DFMT_R8G8B8, picture.Pitch(), nullptr, &rect,
                                          kTriangleDither, 0),
                  S_OK);
        ASSERT_EQ(TxFilterTexture(byHand, nullptr, 0, TX_FILTER_BOX), S_OK);
        ExpectSameLevels(texture, byHand);
    }

    // Where nothing is resampled the file's colours arrive unchanged.
    IDirect3DTexture8* plain = nullptr;
    ASSERT_EQ(TxCreateTextureFromFile(Device(), path.c_str(), &plain), S_OK);
    Keep(plain);
    const std::vector<DWORD> top = ReadPixels32(Level(plain, 0));
    for (size_t i = 0; i < top.size(); ++i) {
        const BYTE* bgr = &picture.bytes[3 * i];
        ASSERT_EQ(top[i] & 0xFFFFFFu, DWORD(bgr[2]) << 16 | DWORD(bgr[1]) << 8 | bgr[0])
            << "pixel " << i;
    }
}

TEST_F(CreateTextureTest, ColourKeyOnAPaletteMakesItsEntryTransparent) {
    std::vector<uint32_t> table(256);
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = (i * 0x010305u + 0x204060u) & 0xFFFFFFu;
    Picture picture{8, 4, 1, {}};
    for (UINT i = 0; i < 32; ++i)
        picture.bytes.push_back(BYTE(i % 9));
    const dibtest::Bytes file = BitmapFile(picture, table);
    IDirect3DDevice8* device = Device();

    struct Case {
        const char* name;
        D3DCOLOR colorKey;
        D3DFORMAT format;
        bool keyed; // whether entry 5 turns transparent black
    };
    const Case cases[] = {
        {"OpaqueKey", 0xFF000000u | table[5], D3DFMT_A8R8G8B8, true},
        // Palette entries of bitmaps are opaque: a key without alpha
        // matches none of them.
        {"KeyWithoutAlpha", table[5], D3DFMT_X8R8G8B8, false},
        {"NoKey", 0, D3DFMT_X8R8G8B8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResourceRequest request;
        request.colorKey = c.colorKey;
        IDirect3DTexture8* texture = Create(device, file, request);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.format);
        const DWORD opaque = c.format == D3DFMT_A8R8G8B8 ? 0xFF000000u : 0;
        const DWORD mask = c.format == D3DFMT_A8R8G8B8 ? 0xFFFFFFFFu : 0xFFFFFFu;
        const std::vector<DWORD> pixels = ReadPixels32(Level(texture, 0));
        for (size_t i = 0; i < pixels.size(); ++i) {
            const BYTE index = picture.bytes[i];
            const DWORD expected = c.keyed && index == 5 ? 0 : (opaque | table[index]);
            EXPECT_EQ(pixels[i] & mask, expected) << "pixel " << i;
        }
    }

    // With a palette buffer the texture keeps the indices, and the buffer
    // receives the palette with the keyed entry cleared.
    PALETTEENTRY palette[256];
    ResourceRequest request;
    request.colorKey = 0xFF000000u | table[5];
    request.palette = palette;
    IDirect3DTexture8* indexed = Create(device, file, request);
    ASSERT_NE(indexed, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(indexed->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_P8);
    EXPECT_EQ(ReadPixels8(Level(indexed, 0)), picture.bytes);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY expected =
            i == 5 ? PALETTEENTRY{0, 0, 0, 0}
                   : PALETTEENTRY{BYTE(table[i] >> 16), BYTE(table[i] >> 8), BYTE(table[i]), 0xFF};
        EXPECT_EQ(std::memcmp(&palette[i], &expected, sizeof expected), 0) << "entry " << i;
    }
}

TEST_F(CreateTextureTest, ColourKeyOnAnOpaqueFormatChoosesTheNearestFormatWithAlpha) {
    IDirect3DDevice8* device = Device();
    // 24-bit: the colour of pixel 3 is keyed, wherever it occurs.
    Picture colour = Noise24(4, 2, 5);
    std::copy(colour.bytes.begin() + 9, colour.bytes.begin() + 12, colour.bytes.begin() + 18);
    const DWORD keyColour =
        DWORD(colour.bytes[11]) << 16 | DWORD(colour.bytes[10]) << 8 | colour.bytes[9];
    ResourceRequest request;
    request.colorKey = 0xFF000000u | keyColour;
    IDirect3DTexture8* texture = Create(device, BitmapFile(colour), request);
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    const std::vector<DWORD> pixels = ReadPixels32(Level(texture, 0));
    for (size_t i = 0; i < pixels.size(); ++i) {
        const BYTE* bgr = &colour.bytes[3 * i];
        const DWORD rgb = DWORD(bgr[2]) << 16 | DWORD(bgr[1]) << 8 | bgr[0];
        EXPECT_EQ(pixels[i], rgb == keyColour ? 0u : 0xFF000000u | rgb) << "pixel " << i;
    }
    EXPECT_EQ(pixels[3], 0u);
    EXPECT_EQ(pixels[6], 0u);

    // 16-bit X1R5G5B5: pure red is keyed, the rest keeps its alpha bit.
    Picture x555{4, 1, 2, {0x00, 0x7C, 0x1F, 0x00, 0x00, 0x7C, 0xE0, 0x03}};
    request.colorKey = 0xFFFF0000u;
    IDirect3DTexture8* small = Create(device, BitmapFile(x555), request);
    ASSERT_NE(small, nullptr);
    ASSERT_EQ(small->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A1R5G5B5);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(small->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* words = static_cast<const WORD*>(locked.pBits);
    const std::vector<WORD> got(words, words + 4);
    small->UnlockRect(0);
    EXPECT_EQ(got, (std::vector<WORD>{0x0000, 0x801F, 0x0000, 0x83E0}));
}

TEST_F(CreateTextureTest, LevelsBeyondTheFileFollowTheFilters) {
    struct Case {
        const char* name;
        DWORD filter, mipFilter;
        bool fromFile;        // each level resampled from the file image
        DWORD expectedFilter; // the filter those levels are made with
        DWORD imageFilter;    // what level 0 is loaded with
    };
    const Case cases[] = {
        {"DefaultBoxCascade", TX_DEFAULT, TX_DEFAULT, false, TX_FILTER_BOX, kTriangleDither},
        {"TriangleMipFilterResamplesTheFile", TX_DEFAULT, TX_FILTER_TRIANGLE, true, kTriangleDither,
         kTriangleDither},
        {"LinearMipFilterUsesTheImageFilter", TX_FILTER_POINT, TX_FILTER_LINEAR, true,
         TX_FILTER_POINT, TX_FILTER_POINT},
        {"NoImageFilterLeavesLevelsToTheMipFilter", TX_FILTER_NONE, TX_FILTER_TRIANGLE, false,
         TX_FILTER_TRIANGLE, TX_FILTER_NONE},
        {"PointMipFilterCascades", TX_DEFAULT, TX_FILTER_POINT, false, TX_FILTER_POINT,
         kTriangleDither},
    };
    const Picture picture = Noise24(20, 12, 7);
    const dibtest::Bytes file = BitmapFile(picture);
    const RECT rect = picture.Rect();
    IDirect3DDevice8* device = Device();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResourceRequest request;
        request.mipLevels = 3;
        request.filter = c.filter;
        request.mipFilter = c.mipFilter;
        IDirect3DTexture8* texture = Create(device, file, request);
        ASSERT_NE(texture, nullptr);
        ASSERT_EQ(texture->GetLevelCount(), 3u);

        IDirect3DTexture8* byHand = Texture(device, 20, 12, 3, D3DFMT_X8R8G8B8);
        for (UINT i = 0; i < (c.fromFile ? 3u : 1u); ++i)
            ASSERT_EQ(TxLoadSurfaceFromMemory(Level(byHand, i), nullptr, nullptr,
                                              picture.bytes.data(), D3DFMT_R8G8B8, picture.Pitch(),
                                              nullptr, &rect,
                                              i == 0 ? c.imageFilter : c.expectedFilter, 0),
                      S_OK);
        if (!c.fromFile) {
            ASSERT_EQ(TxFilterTexture(byHand, nullptr, 0, c.expectedFilter), S_OK);
        }
        ExpectSameLevels(texture, byHand);
    }
}

TEST_F(CreateTextureTest, DefaultPoolIsStagedAndDynamicTexturesAreFilledDirectly) {
    IDirect3DDevice8* device = Device();
    const dibtest::Bytes file = BitmapFile(Noise24(16, 8, 9));
    IDirect3DTexture8* managed = Create(device, file, ResourceRequest{});
    ASSERT_NE(managed, nullptr);

    struct Case {
        const char* name;
        DWORD usage;
    };
    for (const Case& c : {Case{"Default", 0}, Case{"Dynamic", D3DUSAGE_DYNAMIC}}) {
        SCOPED_TRACE(c.name);
        ResourceRequest request;
        request.pool = D3DPOOL_DEFAULT;
        request.usage = c.usage;
        IDirect3DTexture8* texture = Create(device, file, request);
        ASSERT_NE(texture, nullptr);
        ASSERT_EQ(texture->GetLevelCount(), managed->GetLevelCount());
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        EXPECT_EQ(desc.Usage, c.usage);
        for (UINT i = 0; i < texture->GetLevelCount(); ++i)
            EXPECT_EQ(ReadAnyPool(device, texture, i), ReadPixels32(Level(managed, i)))
                << "level " << i;
    }
}

TEST_F(CreateTextureTest, CallerChoicesAndTheFileDescription) {
    IDirect3DDevice8* device = Device();
    const dibtest::Bytes file = BitmapFile(Noise24(100, 60, 11));
    struct Case {
        const char* name;
        ResourceRequest request;
        UINT width, height, levels;
        D3DFORMAT format;
    };
    std::vector<Case> cases(5);
    cases[0] = {"CallerFormat", {}, 100, 60, 7, D3DFMT_R5G6B5};
    cases[0].request.format = D3DFMT_R5G6B5;
    cases[1] = {"CallerSize", {}, 50, 30, 6, D3DFMT_X8R8G8B8};
    cases[1].request.width = 50;
    cases[1].request.height = 30;
    cases[2] = {"OneLevel", {}, 100, 60, 1, D3DFMT_X8R8G8B8};
    cases[2].request.mipLevels = 1;
    cases[3] = {"ScratchKeeps24Bits", {}, 100, 60, 7, D3DFMT_R8G8B8};
    cases[3].request.pool = D3DPOOL_SCRATCH;
    cases[4] = {"SystemMemory", {}, 100, 60, 7, D3DFMT_X8R8G8B8};
    cases[4].request.pool = D3DPOOL_SYSTEMMEM;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageInfo info = {};
        IDirect3DTexture8* texture = Create(device, file, c.request, S_OK, &info);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetLevelCount(), c.levels);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, c.width);
        EXPECT_EQ(desc.Height, c.height);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, c.request.pool);
        EXPECT_EQ(info.Width, 100u);
        EXPECT_EQ(info.Height, 60u);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, TX_IFF_BMP);
    }
}

TEST_F(CreateTextureTest, EveryFailureReleasesEverythingAndReturnsNothing) {
    IDirect3DDevice8* device = Device();
    const dibtest::Bytes file = BitmapFile(Noise24(8, 8, 13));
    txtest::TempDir dir;
    const std::string empty = dir.File("empty.bmp");
    ASSERT_TRUE(txtest::WriteFileBytes(empty, {}));
    const std::string missing = dir.File("missing.bmp");
    const dibtest::Bytes garbage(64, 0x5A);

    auto fromFile = [&](const char* name, IDirect3DTexture8** texture) {
        return TxCreateTextureFromFile(device, name, texture);
    };
    auto withRequest = [&](const dibtest::Bytes& data, ResourceRequest r) {
        return [&data, r, device](IDirect3DTexture8** texture) {
            return TxCreateTextureFromFileInMemoryEx(
                device, data.data(), UINT(data.size()), r.width, r.height, r.mipLevels, r.usage,
                r.format, r.pool, r.filter, r.mipFilter, r.colorKey, nullptr, r.palette, texture);
        };
    };
    auto request = [](auto change) {
        ResourceRequest r;
        change(r);
        return r;
    };
    struct Case {
        const char* name;
        std::function<HRESULT(IDirect3DTexture8**)> create;
        HRESULT expected;
    };
    const Case cases[] = {
        {"MissingFile", [&](auto t) { return fromFile(missing.c_str(), t); }, TXERR_INVALIDDATA},
        {"EmptyFile", [&](auto t) { return fromFile(empty.c_str(), t); }, TXERR_INVALIDDATA},
        {"NoFileName", [&](auto t) { return fromFile(nullptr, t); }, D3DERR_INVALIDCALL},
        {"NoDevice", [&](auto t) { return TxCreateTextureFromFile(nullptr, missing.c_str(), t); },
         D3DERR_INVALIDCALL},
        {"NoData",
         [&](auto t) {
             return TxCreateTextureFromFileInMemoryEx(
                 device, nullptr, 10, TX_DEFAULT, TX_DEFAULT, TX_DEFAULT, 0, D3DFMT_UNKNOWN,
                 D3DPOOL_MANAGED, TX_DEFAULT, TX_DEFAULT, 0, nullptr, nullptr, t);
         },
         D3DERR_INVALIDCALL},
        {"ZeroSize",
         [&](auto t) {
             return TxCreateTextureFromFileInMemoryEx(
                 device, file.data(), 0, TX_DEFAULT, TX_DEFAULT, TX_DEFAULT, 0, D3DFMT_UNKNOWN,
                 D3DPOOL_MANAGED, TX_DEFAULT, TX_DEFAULT, 0, nullptr, nullptr, t);
         },
         D3DERR_INVALIDCALL},
        {"NotAnImage", withRequest(garbage, {}), TXERR_INVALIDDATA},
        {"BadUsage", withRequest(file, request([](auto& r) { r.usage = D3DUSAGE_POINTS; })),
         D3DERR_INVALIDCALL},
        {"BadPool", withRequest(file, request([](auto& r) { r.pool = static_cast<D3DPOOL>(4); })),
         D3DERR_INVALIDCALL},
        {"NoFormat", withRequest(file, request([](auto& r) {
                                     r.usage = D3DUSAGE_RENDERTARGET;
                                     r.pool = D3DPOOL_DEFAULT;
                                     r.format = D3DFMT_V8U8;
                                 })),
         D3DERR_NOTAVAILABLE},
        // The device refuses what the requirements let through.
        {"DynamicManaged", withRequest(file, request([](auto& r) { r.usage = D3DUSAGE_DYNAMIC; })),
         D3DERR_INVALIDCALL},
        // Failures after the texture (and its staging twin) exist.
        {"BadFilterStaged", withRequest(file, request([](auto& r) {
                                            r.pool = D3DPOOL_DEFAULT;
                                            r.filter = TX_FILTER_TRIANGLE | 0x00100000u;
                                        })),
         D3DERR_INVALIDCALL},
        {"BadMipFilter",
         withRequest(file, request([](auto& r) { r.mipFilter = TX_FILTER_BOX | 0x00100000u; })),
         D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
        const HRESULT hr = c.create(&texture);
        EXPECT_EQ(hr, c.expected) << c.name;
        EXPECT_EQ(texture, nullptr) << c.name;
        if (SUCCEEDED(hr) && texture) texture->Release();
    }

    // A cube texture needs six faces.
    IDirect3DBaseTexture8* cube = nullptr;
    EXPECT_EQ(CreateResourceFromFileInMemory(device, file.data(), UINT(file.size()), TX_DEFAULT,
                                             TX_DEFAULT, TX_DEFAULT, TX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                             D3DPOOL_MANAGED, TX_DEFAULT, TX_DEFAULT, 0, nullptr,
                                             nullptr, D3DRTYPE_CUBETEXTURE, &cube),
              E_FAIL);
    EXPECT_EQ(cube, nullptr);
    // The fixture checks that no runtime object is left alive.
}

// Six faces of `size` with one or two levels each, built by hand as a
// cube file would give them.
struct CubeImage {
    std::vector<std::vector<DWORD>> pixels; // face * levels + level
    ImageFile root;
};

void BuildCube(CubeImage* cube, UINT size, UINT levels, UINT faces = 6) {
    cube->pixels.clear();
    for (UINT face = 0; face < faces; ++face)
        for (UINT level = 0; level < levels; ++level) {
            const UINT extent = size >> level;
            cube->pixels.push_back(NoisePixels(size_t(extent) * extent, 50 + face * 4 + level));
        }
    ImageFile* faceImage = &cube->root;
    for (UINT face = 0; face < faces; ++face) {
        if (face > 0) {
            faceImage->nextFace = std::make_unique<ImageFile>();
            faceImage = faceImage->nextFace.get();
        }
        faceImage->resourceType = D3DRTYPE_CUBETEXTURE;
        ImageFile* levelImage = faceImage;
        for (UINT level = 0; level < levels; ++level) {
            if (level > 0) {
                levelImage->nextLevel = std::make_unique<ImageFile>();
                levelImage = levelImage->nextLevel.get();
            }
            Describe(levelImage, cube->pixels[face * levels + level], size >> level, size >> level);
        }
    }
}

TEST_F(CreateTextureTest, CubeTextureFromSixFaces) {
    IDirect3DDevice8* device = Device();
    CubeImage file;
    BuildCube(&file, 8, 2);
    IDirect3DBaseTexture8* created = nullptr;
    ASSERT_EQ(CreateResourceFromImage(device, file.root, ResourceRequest{}, &created), S_OK);
    Keep(created);
    ASSERT_EQ(created->GetType(), D3DRTYPE_CUBETEXTURE);
    auto* cube = static_cast<IDirect3DCubeTexture8*>(created);
    ASSERT_EQ(cube->GetLevelCount(), 4u);
    for (UINT face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        // Both levels from the file, the others halved from the second.
        EXPECT_EQ(ReadPixels32(Face(cube, face, 0)), file.pixels[face * 2]);
        EXPECT_EQ(ReadPixels32(Face(cube, face, 1)), file.pixels[face * 2 + 1]);
        const std::vector<DWORD> level2 = HalveByBox(file.pixels[face * 2 + 1], 4, 4);
        EXPECT_EQ(ReadPixels32(Face(cube, face, 2)), level2);
        EXPECT_EQ(ReadPixels32(Face(cube, face, 3)), HalveByBox(level2, 2, 2));
    }
}

TEST_F(CreateTextureTest, CubeFacesAreStretchedWithMirroring) {
    IDirect3DDevice8* device = Device("pow2-only");
    CubeImage file;
    BuildCube(&file, 6, 1);
    ResourceRequest request;
    request.mipLevels = 1;
    IDirect3DBaseTexture8* created = nullptr;
    ASSERT_EQ(CreateResourceFromImage(device, file.root, request, &created), S_OK);
    Keep(created);
    auto* cube = static_cast<IDirect3DCubeTexture8*>(created);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(cube->GetLevelDesc(0, &desc), D3D_OK);
    ASSERT_EQ(desc.Width, 8u);
    const RECT rect = {0, 0, 6, 6};
    IDirect3DTexture8* byHand = Texture(device, 8, 8, 1, D3DFMT_A8R8G8B8);
    for (UINT face = 0; face < 6; ++face) {
        ASSERT_EQ(TxLoadSurfaceFromMemory(Level(byHand, 0), nullptr, nullptr,
                                          file.pixels[face].data(), D3DFMT_A8R8G8B8, 24, nullptr,
                                          &rect, kTriangleDither | TX_FILTER_MIRROR, 0),
                  S_OK);
        EXPECT_EQ(ReadPixels32(Face(cube, face, 0)), ReadPixels32(Level(byHand, 0)))
            << "face " << face;
    }
}

TEST_F(CreateTextureTest, CubeFilesWithoutSixEqualFacesAreRefused) {
    IDirect3DDevice8* device = Device();
    CubeImage five;
    BuildCube(&five, 4, 1, 5);
    CubeImage seven;
    BuildCube(&seven, 4, 1, 7);
    CubeImage uneven;
    BuildCube(&uneven, 4, 2);
    uneven.root.nextFace->nextFace->nextLevel.reset();
    for (const ImageFile* root : {&five.root, &seven.root, &uneven.root}) {
        IDirect3DBaseTexture8* created = nullptr;
        EXPECT_EQ(CreateResourceFromImage(device, *root, ResourceRequest{}, &created), E_FAIL);
        EXPECT_EQ(created, nullptr);
    }
}

TEST_F(CreateTextureTest, VolumeTextureFromADeepImage) {
    IDirect3DDevice8* device = Device();
    const std::vector<DWORD> pixels = NoisePixels(4 * 4 * 4, 60);
    ImageFile image;
    Describe(&image, pixels, 4, 4, 4);
    image.resourceType = D3DRTYPE_VOLUMETEXTURE;
    IDirect3DBaseTexture8* created = nullptr;
    ASSERT_EQ(CreateResourceFromImage(device, image, ResourceRequest{}, &created), S_OK);
    Keep(created);
    ASSERT_EQ(created->GetType(), D3DRTYPE_VOLUMETEXTURE);
    auto* texture = static_cast<IDirect3DVolumeTexture8*>(created);
    ASSERT_EQ(texture->GetLevelCount(), 3u);

    // Level 0 holds the image; the others are what box filtering of the
    // volume makes of it.
    IDirect3DVolumeTexture8* byHand = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(4, 4, 4, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &byHand),
              D3D_OK);
    Keep(byHand);
    IDirect3DVolume8* top = nullptr;
    ASSERT_EQ(byHand->GetVolumeLevel(0, &top), D3D_OK);
    Keep(top);
    const D3DBOX box = {0, 0, 4, 4, 0, 4};
    ASSERT_EQ(TxLoadVolumeFromMemory(top, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, 16, 64,
                                     nullptr, &box, TX_FILTER_NONE, 0),
              S_OK);
    ASSERT_EQ(TxFilterTexture(byHand, nullptr, 0, TX_FILTER_BOX), S_OK);
    for (UINT level = 0; level < 3; ++level) {
        D3DLOCKED_BOX made, expected;
        ASSERT_EQ(texture->LockBox(level, &made, nullptr, D3DLOCK_READONLY), D3D_OK);
        ASSERT_EQ(byHand->LockBox(level, &expected, nullptr, D3DLOCK_READONLY), D3D_OK);
        const UINT extent = 4 >> level;
        for (UINT z = 0; z < extent; ++z)
            for (UINT y = 0; y < extent; ++y)
                EXPECT_EQ(std::memcmp(static_cast<const BYTE*>(made.pBits) +
                                          size_t(z) * made.SlicePitch + size_t(y) * made.RowPitch,
                                      static_cast<const BYTE*>(expected.pBits) +
                                          size_t(z) * expected.SlicePitch +
                                          size_t(y) * expected.RowPitch,
                                      extent * 4),
                          0)
                    << "level " << level << " slice " << z << " row " << y;
        if (level == 0) {
            EXPECT_EQ(std::memcmp(made.pBits, pixels.data(), 16), 0) << "first row";
        }
        texture->UnlockBox(level);
        byHand->UnlockBox(level);
    }
}

} // namespace
