// Reading without being told the format, and saving through conversion into
// a format the file can hold.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dib_builder.h"
#include "imagefile/image_file.h"
#include "support/test_support.h"
#include "texture/texture.h"

using dibtest::Bytes;

namespace {

Bytes SmallDib() {
    dibtest::Dib dib;
    dib.width = 2;
    dib.height = 2;
    dib.bitCount = 24;
    dib.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    return dib.Build();
}

HRESULT LoadBytes(ImageFile& image, const Bytes& bytes, ImageInfo* info = nullptr,
                  BOOL loadPixels = TRUE) {
    return image.Load(bytes.data(), UINT(bytes.size()), info, loadPixels);
}

std::vector<std::string> FilesIn(const txtest::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ImageLoad, BitmapFilesGoToTheBmpReaderAndBareDibsToTheDibReader) {
    const Bytes dib = SmallDib();
    const Bytes bmp = dibtest::WithFileHeader(dib);
    ImageFile fromBmp;
    ASSERT_EQ(LoadBytes(fromBmp, bmp), S_OK);
    EXPECT_EQ(fromBmp.fileFormat, TX_IFF_BMP);
    ImageFile fromDib;
    ASSERT_EQ(LoadBytes(fromDib, dib), S_OK);
    EXPECT_EQ(fromDib.fileFormat, TX_IFF_DIB);
    EXPECT_EQ(fromBmp.format, fromDib.format);
    EXPECT_EQ(std::memcmp(fromBmp.pixels, fromDib.pixels, 2 * fromBmp.rowPitch), 0);

    // A file header around a DIB the reader refuses: the DIB reader, which
    // sees the "BM" signature as a header size, refuses it too.
    Bytes broken = bmp;
    broken[14 + 12] = 2; // two planes
    ImageFile none;
    EXPECT_EQ(LoadBytes(none, broken), TXERR_INVALIDDATA);
}

TEST(ImageLoad, UnrecognisedDataIsInvalidDataAndLeavesTheImageEmpty) {
    Bytes shortDds = {'D', 'D', 'S', ' '};
    shortDds.resize(127, 0);
    Bytes refusedDib = SmallDib();
    refusedDib[16] = 4; // embedded JPEG: the DIB reader's own answer is E_NOTIMPL
    for (const Bytes& bytes : {shortDds, refusedDib, Bytes{}}) {
        ImageFile image;
        ImageInfo info = {};
        info.Width = 77;
        EXPECT_EQ(LoadBytes(image, bytes, &info), TXERR_INVALIDDATA);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.palette, nullptr);
        EXPECT_EQ(image.nextLevel, nullptr);
        EXPECT_EQ(image.nextFace, nullptr);
        EXPECT_EQ(info.Width, 77u); // not touched on failure
    }
}

TEST(ImageLoad, FillsTheInfoAndTheBoxes) {
    dibtest::Dib dib;
    dib.width = 3;
    dib.height = -2;
    dib.bitCount = 8;
    dib.colorsUsed = 1;
    dib.table = {0x123456};
    dib.pixels = Bytes(8, 0);
    const Bytes bmp = dibtest::WithFileHeader(dib.Build());
    for (BOOL loadPixels : {TRUE, FALSE}) {
        ImageFile image;
        ImageInfo info;
        std::memset(&info, 0xCC, sizeof(info));
        ASSERT_EQ(LoadBytes(image, bmp, &info, loadPixels), S_OK);
        EXPECT_EQ(info.Width, 3u);
        EXPECT_EQ(info.Height, 2u);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.Format, D3DFMT_P8);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, TX_IFF_BMP);
        EXPECT_EQ(image.loadPixels, loadPixels);
        const D3DBOX whole = {0, 0, 3, 2, 0, 1};
        EXPECT_EQ(std::memcmp(&image.box, &whole, sizeof(whole)), 0);
        EXPECT_EQ(image.pixels != nullptr, loadPixels != FALSE);
    }
}

class ImageSave : public ::testing::Test {
protected:
    // A 2x2 A8R8G8B8 image with a padded pitch, as a locked surface gives it.
    void SetUp() override {
        const BYTE colors[2][2][4] = {{{10, 20, 30, 255}, {40, 50, 60, 0}},
                                      {{70, 80, 90, 128}, {100, 110, 120, 255}}};
        for (int y = 0; y < 2; ++y)
            std::memcpy(pixels_ + 12 * y, colors[y], 8);
        PixelBlock block = {};
        block.data = pixels_;
        block.format = D3DFMT_A8R8G8B8;
        block.rowPitch = 12;
        block.box = D3DBOX{0, 0, 2, 2, 0, 1};
        block.bounds = block.box;
        image_.InitFromBlock(block);
    }

    BYTE pixels_[24] = {};
    ImageFile image_;
    txtest::TempDir dir_;
};

// A8R8G8B8 goes into the BMP as 24-bit colour, converted in place.
TEST_F(ImageSave, ConvertsToTheClosestStorableFormat) {
    const std::string path = dir_.File("shot.bmp");
    ASSERT_EQ(image_.Save(path.c_str(), TX_IFF_BMP, FALSE), S_OK);
    EXPECT_EQ(image_.format, D3DFMT_R8G8B8);
    EXPECT_TRUE(image_.ownsPixels);
    EXPECT_EQ(image_.rowPitch, 6u);

    const Bytes bytes = txtest::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 54u + 2 * 8 + 2);
    EXPECT_EQ(bytes[28], 24);
    // Bottom row first; 8-bit channels pass through the dithered conversion
    // unchanged.
    const Bytes rows(bytes.begin() + 54, bytes.begin() + 70);
    EXPECT_EQ(rows, (Bytes{70, 80, 90, 100, 110, 120, 0, 0, 10, 20, 30, 40, 50, 60, 0, 0}));
    EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{"shot.bmp"});
}

TEST_F(ImageSave, PalettizedWithoutPaletteIsNotStoredAsIndices) {
    BYTE indices[4] = {1, 2, 3, 4};
    PixelBlock block = {};
    block.data = indices;
    block.format = D3DFMT_P8;
    block.rowPitch = 2;
    block.box = D3DBOX{0, 0, 2, 2, 0, 1};
    ImageFile image;
    image.InitFromBlock(block);
    const std::string path = dir_.File("p8.dib");
    ASSERT_EQ(image.Save(path.c_str(), TX_IFF_DIB, FALSE), S_OK);
    EXPECT_NE(image.format, D3DFMT_P8);
    const Bytes bytes = txtest::ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 40u);
    EXPECT_EQ(bytes[0], 40); // no file header
    EXPECT_EQ(bytes[14], 24);
}

TEST_F(ImageSave, FormatsWithoutWriterCreateNoFile) {
    struct Case {
        TxImageFileFormat format;
        HRESULT expected;
    };
    const Case cases[] = {{TX_IFF_PNG, TXERR_INVALIDDATA},
                          {TX_IFF_JPG, TXERR_INVALIDDATA},
                          {TX_IFF_TGA, TXERR_INVALIDDATA},
                          {TX_IFF_PPM, TXERR_INVALIDDATA},
                          {static_cast<TxImageFileFormat>(7), D3DERR_INVALIDCALL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(image_.Save(dir_.File("out").c_str(), c.format, FALSE), c.expected);
        EXPECT_EQ(image_.format, D3DFMT_A8R8G8B8); // nothing converted
    }
    EXPECT_TRUE(FilesIn(dir_).empty());
}

// A save that fails never destroys the file it was to replace, and leaves no
// temporary file behind.
TEST_F(ImageSave, FailureKeepsAnExistingFile) {
    const std::string path = dir_.File("keep.bmp");
    const Bytes original(4096, 0x5A);
    ASSERT_TRUE(txtest::WriteFileBytes(path, original));

    // No DDS writer yet: refused after the conversion, before any file.
    EXPECT_TRUE(FAILED(image_.Save(path.c_str(), TX_IFF_DDS, FALSE)));
    EXPECT_EQ(txtest::ReadFileBytes(path), original);

    // Writes that fail half-way: the process may write at most 100 bytes per
    // file.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    BYTE big[64 * 64 * 3] = {};
    ImageFile large;
    PixelBlock block = {};
    block.data = big;
    block.format = D3DFMT_R8G8B8;
    block.rowPitch = 64 * 3;
    block.box = D3DBOX{0, 0, 64, 64, 0, 1};
    large.InitFromBlock(block);
    const HRESULT hr = large.Save(path.c_str(), TX_IFF_BMP, FALSE);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(txtest::ReadFileBytes(path), original);
    EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{"keep.bmp"});

    // And a save that succeeds replaces it.
    ASSERT_EQ(large.Save(path.c_str(), TX_IFF_BMP, FALSE), S_OK);
    EXPECT_EQ(txtest::ReadFileBytes(path).size(), 54u + 64 * 192 + 2);
    EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{"keep.bmp"});
}

TEST_F(ImageSave, WideNamesAndNullNames) {
    const std::string narrow = dir_.File("wide.bmp");
    const std::u16string wide(narrow.begin(), narrow.end());
    ASSERT_EQ(image_.Save(wide.c_str(), TX_IFF_BMP, TRUE), S_OK);
    EXPECT_EQ(txtest::ReadFileBytes(narrow).size(), 72u);
    EXPECT_EQ(image_.Save(nullptr, TX_IFF_BMP, FALSE), D3DERR_INVALIDCALL);
    EXPECT_EQ(image_.Save(dir_.File("no/such/dir.bmp").c_str(), TX_IFF_BMP, FALSE),
              TXERR_INVALIDDATA);
}

} // namespace
