// Saving surfaces: what the file holds, which rectangle, which formats can be
// written, and that the surface never changes.
#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "texture/texture.h"
#include "texture_test_device.h"

namespace {

using texturetest::NoisePixels;
using texturetest::ReadPixels32;
using texturetest::WritePixels32;

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

// Every byte of a surface of any lockable format, row by row.
std::vector<BYTE> RawBytes(IDirect3DSurface8* surface) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::vector<BYTE> bytes(static_cast<const BYTE*>(locked.pBits),
                            static_cast<const BYTE*>(locked.pBits) + desc.Size);
    surface->UnlockRect();
    return bytes;
}

void FillRaw(IDirect3DSurface8* surface, DWORD seed) {
    D3DSURFACE_DESC desc;
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    const std::vector<DWORD> noise = NoisePixels((desc.Size + 3) / 4, seed);
    std::memcpy(locked.pBits, noise.data(), desc.Size);
    surface->UnlockRect();
}

class SaveSurfaceTest : public texturetest::ProfileDeviceTest {
protected:
    void SetUp() override {
        ProfileDeviceTest::SetUp();
        device_ = Device();
        ASSERT_NE(device_, nullptr);
    }

    // The bytes the BMP writer should store for `rect` of `source`: its
    // conversion to 24 bits with ordered dithering, rows top-down.
    std::vector<BYTE> Dithered24(IDirect3DSurface8* source, const RECT& rect) {
        const UINT width = UINT(rect.right - rect.left), height = UINT(rect.bottom - rect.top);
        IDirect3DSurface8* converted = ImageSurface(device_, width, height, D3DFMT_R8G8B8);
        EXPECT_EQ(TxLoadSurfaceFromSurface(converted, nullptr, nullptr, source, nullptr, &rect,
                                           TX_FILTER_NONE | TX_FILTER_DITHER, 0),
                  S_OK);
        D3DLOCKED_RECT locked;
        std::vector<BYTE> rows;
        EXPECT_EQ(converted->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < height; ++y) {
            const BYTE* row = static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch;
            rows.insert(rows.end(), row, row + size_t(width) * 3);
        }
        converted->UnlockRect();
        return rows;
    }

    // The 24-bit rows of a saved bitmap, top-down; empty when it is not one.
    std::vector<BYTE> ReadBitmap24(const std::string& path, UINT* width, UINT* height) {
        const std::vector<unsigned char> file = txtest::ReadFileBytes(path);
        ImageFile image;
        std::vector<BYTE> rows;
        if (file.empty() || FAILED(image.Load(file.data(), UINT(file.size()), nullptr, TRUE))) {
            ADD_FAILURE() << path << " is no image";
            return rows;
        }
        EXPECT_EQ(image.format, D3DFMT_R8G8B8);
        *width = image.width;
        *height = image.height;
        for (UINT y = 0; y < image.height; ++y)
            rows.insert(rows.end(), image.pixels + size_t(y) * image.rowPitch,
                        image.pixels + size_t(y) * image.rowPitch + size_t(image.width) * 3);
        return rows;
    }

    IDirect3DDevice8* device_ = nullptr;
    txtest::TempDir dir_;
};

TEST_F(SaveSurfaceTest, BitmapHoldsTheDitheredConversionOfTheRectangle) {
    IDirect3DSurface8* surface = ImageSurface(device_, 7, 5, D3DFMT_A8R8G8B8);
    const std::vector<DWORD> pixels = NoisePixels(35, 1);
    WritePixels32(surface, pixels);

    struct Case {
        const char* name;
        const RECT* rect;
        RECT region;
    };
    const RECT inner = {2, 1, 6, 4};
    const Case cases[] = {{"Whole", nullptr, {0, 0, 7, 5}}, {"Rectangle", &inner, inner}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.File(std::string(c.name) + ".bmp");
        ASSERT_EQ(TxSaveSurfaceToFile(path.c_str(), TX_IFF_BMP, surface, nullptr, c.rect), S_OK);
        UINT width = 0, height = 0;
        const std::vector<BYTE> stored = ReadBitmap24(path, &width, &height);
        EXPECT_EQ(width, UINT(c.region.right - c.region.left));
        EXPECT_EQ(height, UINT(c.region.bottom - c.region.top));
        EXPECT_EQ(stored, Dithered24(surface, c.region));
        EXPECT_EQ(ReadPixels32(surface), pixels);
    }
}

TEST_F(SaveSurfaceTest, DefaultPoolLevelIsReadWithoutBeingWritten) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(6, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    Keep(texture);
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    Keep(level);
    IDirect3DSurface8* staging = ImageSurface(device_, 6, 4, D3DFMT_X8R8G8B8);
    WritePixels32(staging, NoisePixels(24, 2));
    ASSERT_EQ(device_->CopyRects(staging, nullptr, 0, level, nullptr), D3D_OK);

    const std::string path = dir_.File("level.bmp");
    ASSERT_EQ(TxSaveSurfaceToFile(path.c_str(), TX_IFF_BMP, level, nullptr, nullptr), S_OK);
    UINT width = 0, height = 0;
    EXPECT_EQ(ReadBitmap24(path, &width, &height), Dithered24(staging, RECT{0, 0, 6, 4}));

    IDirect3DSurface8* after = ImageSurface(device_, 6, 4, D3DFMT_X8R8G8B8);
    ASSERT_EQ(device_->CopyRects(level, nullptr, 0, after, nullptr), D3D_OK);
    EXPECT_EQ(ReadPixels32(after), ReadPixels32(staging));
}

TEST_F(SaveSurfaceTest, RefusedSavesCreateNoFile) {
    IDirect3DSurface8* surface = ImageSurface(device_, 4, 4, D3DFMT_A8R8G8B8);
    FillRaw(surface, 3);
    const std::vector<BYTE> before = RawBytes(surface);
    const std::string path = dir_.File("refused.bmp");
    const RECT outside = {2, 2, 5, 4};
    const RECT inverted = {3, 0, 1, 4};
    struct Case {
        const char* name;
        const char* file;
        TxImageFileFormat format;
        IDirect3DSurface8* surface;
        const RECT* rect;
        HRESULT expected;
    };
    const Case cases[] = {
        {"Png", path.c_str(), TX_IFF_PNG, surface, nullptr, TXERR_INVALIDDATA},
        {"Jpeg", path.c_str(), TX_IFF_JPG, surface, nullptr, TXERR_INVALIDDATA},
        {"Tga", path.c_str(), TX_IFF_TGA, surface, nullptr, TXERR_INVALIDDATA},
        {"Ppm", path.c_str(), TX_IFF_PPM, surface, nullptr, TXERR_INVALIDDATA},
        {"UnknownCode", path.c_str(), static_cast<TxImageFileFormat>(7), surface, nullptr,
         D3DERR_INVALIDCALL},
        {"NoName", nullptr, TX_IFF_BMP, surface, nullptr, D3DERR_INVALIDCALL},
        {"NoSurface", path.c_str(), TX_IFF_BMP, nullptr, nullptr, D3DERR_INVALIDCALL},
        {"RectangleOutside", path.c_str(), TX_IFF_BMP, surface, &outside, D3DERR_INVALIDCALL},
        {"RectangleInverted", path.c_str(), TX_IFF_BMP, surface, &inverted, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TxSaveSurfaceToFile(c.file, c.format, c.surface, nullptr, c.rect), c.expected)
            << c.name;
        EXPECT_TRUE(FilesIn(dir_.path()).empty()) << c.name;
    }
    EXPECT_EQ(RawBytes(surface), before);
}

TEST_F(SaveSurfaceTest, ExistingFileIsReplaced) {
    const std::string path = dir_.File("again.bmp");
    ASSERT_TRUE(txtest::WriteFileBytes(path, std::vector<unsigned char>(1000, 7)));
    IDirect3DSurface8* surface = ImageSurface(device_, 3, 2, D3DFMT_X8R8G8B8);
    WritePixels32(surface, NoisePixels(6, 4));
    ASSERT_EQ(TxSaveSurfaceToFile(path.c_str(), TX_IFF_BMP, surface, nullptr, nullptr), S_OK);
    UINT width = 0, height = 0;
    EXPECT_EQ(ReadBitmap24(path, &width, &height), Dithered24(surface, RECT{0, 0, 3, 2}));
    EXPECT_EQ(FilesIn(dir_.path()).size(), 1u);
}

// A rectangle of a block format is saved from the corner of the block that
// holds its top-left pixel. Where the format has no converter yet, the save
// fails as the conversion does, and leaves no file.
TEST_F(SaveSurfaceTest, BlockFormatRectanglesStartAtTheBlockCorner) {
    struct Case {
        const char* name;
        D3DFORMAT format;
        UINT width, height;
        RECT rect;
        RECT stored;
    };
    const Case cases[] = {
        {"Dxt1", D3DFMT_DXT1, 8, 8, {5, 5, 7, 7}, {4, 4, 7, 7}},
        {"Yuy2", D3DFMT_YUY2, 8, 2, {3, 0, 6, 2}, {2, 0, 6, 2}},
        {"Uyvy", D3DFMT_UYVY, 8, 2, {5, 1, 8, 2}, {4, 1, 8, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DSurface8* surface = ImageSurface(device_, c.width, c.height, c.format);
        FillRaw(surface, 5);
        const std::vector<BYTE> before = RawBytes(surface);
        const std::string path = dir_.File(std::string(c.name) + ".bmp");
        const HRESULT saved =
            TxSaveSurfaceToFile(path.c_str(), TX_IFF_BMP, surface, nullptr, &c.rect);

        const UINT width = UINT(c.stored.right - c.stored.left);
        const UINT height = UINT(c.stored.bottom - c.stored.top);
        IDirect3DSurface8* converted = ImageSurface(device_, width, height, D3DFMT_R8G8B8);
        const HRESULT convertible =
            TxLoadSurfaceFromSurface(converted, nullptr, nullptr, surface, nullptr, &c.stored,
                                     TX_FILTER_NONE | TX_FILTER_DITHER, 0);
        if (FAILED(convertible)) {
            EXPECT_EQ(saved, convertible);
            EXPECT_TRUE(FilesIn(dir_.path()).empty());
        } else {
            ASSERT_EQ(saved, S_OK);
            UINT storedWidth = 0, storedHeight = 0;
            EXPECT_EQ(ReadBitmap24(path, &storedWidth, &storedHeight),
                      Dithered24(surface, c.stored));
            EXPECT_EQ(storedWidth, width);
            EXPECT_EQ(storedHeight, height);
        }
        EXPECT_EQ(RawBytes(surface), before);
    }
}

} // namespace
