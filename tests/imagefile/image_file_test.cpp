// The mapped file and the image container: opening, naming, ownership of
// pixels, palettes and chained images.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "imagefile/mapped_file.h"
#include "support/test_support.h"
#include "texture/texture.h"

namespace {

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(MappedFileOpen, MapsTheWholeFileReadOnly) {
    txtest::TempDir dir;
    const std::vector<unsigned char> contents = {'a', 'b', 'c', 0, 'd'};
    ASSERT_TRUE(txtest::WriteFileBytes(dir.File("five.bin"), contents));
    MappedFile file;
    ASSERT_EQ(file.Open(dir.File("five.bin").c_str(), FALSE), S_OK);
    ASSERT_NE(file.view, nullptr);
    EXPECT_EQ(file.size, 5u);
    EXPECT_EQ(std::memcmp(file.view, contents.data(), contents.size()), 0);
    EXPECT_EQ(file.Close(), S_OK);
    EXPECT_EQ(file.view, nullptr);
    EXPECT_EQ(file.size, 0u);
    EXPECT_EQ(file.file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file.mapping, INVALID_HANDLE_VALUE);
}

TEST(MappedFileOpen, FailuresAreInvalidDataAndStayClosable) {
    txtest::TempDir dir;
    ASSERT_TRUE(txtest::WriteFileBytes(dir.File("empty.bin"), {}));
    for (const std::string& name : {dir.File("missing.bin"), dir.File("empty.bin")}) {
        SCOPED_TRACE(name);
        MappedFile file;
        EXPECT_EQ(file.Open(name.c_str(), FALSE), TXERR_INVALIDDATA);
        EXPECT_EQ(file.view, nullptr);
        EXPECT_EQ(file.Close(), S_OK);
        EXPECT_EQ(file.file, INVALID_HANDLE_VALUE);
    }
    // The empty file was opened before the mapping failed; the handle is
    // kept until Close.
    MappedFile empty;
    EXPECT_EQ(empty.Open(dir.File("empty.bin").c_str(), FALSE), TXERR_INVALIDDATA);
    EXPECT_NE(empty.file, INVALID_HANDLE_VALUE);
}

TEST(MappedFileOpen, NullNamesAreInvalidCalls) {
    MappedFile file;
    EXPECT_EQ(file.Open(nullptr, FALSE), D3DERR_INVALIDCALL);
    EXPECT_EQ(file.Open(nullptr, TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(file.Create(nullptr, FALSE), D3DERR_INVALIDCALL);
    EXPECT_EQ(file.Create(nullptr, TRUE), D3DERR_INVALIDCALL);
}

// A wide name reaches the wide call on NT-family systems only; elsewhere it
// is converted to the ANSI code page, where an unpaired surrogate becomes the
// default character "?". The wide call refuses such a name.
class WideNames : public ::testing::Test {
protected:
    void TearDown() override { txplatform::ClearVersionOverride(); }
};

TEST_F(WideNames, AreOpenedWithTheWideCallOnNtOnly) {
    txtest::TempDir dir;
    ASSERT_TRUE(txtest::WriteFileBytes(dir.File("a?b.bin"), {1, 2, 3}));
    ASSERT_TRUE(txtest::WriteFileBytes(dir.File("plain.bin"), {4}));
    std::u16string unpaired = Wide(dir.File("a"));
    unpaired += char16_t(0xD800);
    unpaired += Wide("b.bin");
    const std::u16string plain = Wide(dir.File("plain.bin"));

    MappedFile nt;
    EXPECT_EQ(nt.Open(plain.c_str(), TRUE), S_OK);
    EXPECT_EQ(nt.Open(unpaired.c_str(), TRUE), TXERR_INVALIDDATA);

    txplatform::SetVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
    MappedFile older;
    ASSERT_EQ(older.Open(unpaired.c_str(), TRUE), S_OK);
    EXPECT_EQ(older.size, 3u);
    EXPECT_EQ(older.Open(plain.c_str(), TRUE), S_OK);
    EXPECT_EQ(older.size, 1u);
}

TEST(MappedFileCreate, ReplacesAnExistingFile) {
    txtest::TempDir dir;
    ASSERT_TRUE(txtest::WriteFileBytes(dir.File("out.bin"), {9, 9, 9, 9, 9}));
    MappedFile file;
    ASSERT_EQ(file.Create(dir.File("out.bin").c_str(), FALSE), S_OK);
    EXPECT_EQ(file.view, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.file, "xy", 2, &written, nullptr));
    file.Close();
    EXPECT_EQ(txtest::ReadFileBytes(dir.File("out.bin")), (std::vector<unsigned char>{'x', 'y'}));

    const std::u16string wide = Wide(dir.File("wide.bin"));
    ASSERT_EQ(file.Create(wide.c_str(), TRUE), S_OK);
    file.Close();
    EXPECT_TRUE(txtest::ReadFileBytes(dir.File("wide.bin")).empty());
    EXPECT_EQ(file.Create(dir.File("no/such/folder.bin").c_str(), FALSE), TXERR_INVALIDDATA);
}

// Block formats are described from their block corner.
TEST(ImageFileInitFromBlock, BorrowsTheBlockAndRoundsBlockFormats) {
    struct Case {
        D3DFORMAT format;
        D3DBOX box;
        D3DBOX expected;
    };
    const Case cases[] = {
        {D3DFMT_DXT1, {5, 6, 9, 10, 0, 1}, {4, 4, 9, 10, 0, 1}},
        {D3DFMT_DXT5, {8, 3, 12, 7, 0, 1}, {8, 0, 12, 7, 0, 1}},
        {D3DFMT_YUY2, {3, 1, 7, 2, 0, 1}, {2, 1, 7, 2, 0, 1}},
        {D3DFMT_UYVY, {4, 1, 7, 2, 0, 1}, {4, 1, 7, 2, 0, 1}},
        {D3DFMT_A8R8G8B8, {3, 5, 7, 9, 2, 4}, {3, 5, 7, 9, 2, 4}},
    };
    static PALETTEENTRY palette[256];
    static BYTE pixels[64];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        ImageFile image;
        BYTE* owned;
        ASSERT_EQ(image.AllocatePixels(16, &owned), S_OK); // freed by InitFromBlock
        PixelBlock block = {};
        block.data = pixels;
        block.format = c.format;
        block.rowPitch = 32;
        block.slicePitch = 64;
        block.box = c.box;
        block.palette = palette;
        ASSERT_EQ(image.InitFromBlock(block), S_OK);
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.pixels, pixels);
        EXPECT_EQ(image.palette, palette);
        EXPECT_FALSE(image.ownsPixels);
        EXPECT_FALSE(image.ownsPalette);
        EXPECT_EQ(image.rowPitch, 32u);
        EXPECT_EQ(image.slicePitch, 64u);
        EXPECT_EQ(std::memcmp(&image.box, &c.expected, sizeof(D3DBOX)), 0);
        EXPECT_EQ(image.width, c.expected.Right - c.expected.Left);
        EXPECT_EQ(image.height, c.expected.Bottom - c.expected.Top);
        EXPECT_EQ(image.depth, c.expected.Back - c.expected.Front);
    }
}

// A cube map of six faces with three levels each, owned and borrowed pixels
// and palettes mixed: Release frees each owned buffer once (the sanitizers
// report a double or a missing free, or a free of borrowed memory).
TEST(ImageFileRelease, FreesTheWholeListOnceAndNothingBorrowed) {
    static BYTE borrowedPixels[16];
    static PALETTEENTRY borrowedPalette[256];
    ImageFile root;
    ImageFile* face = &root;
    for (int f = 0; f < 6; ++f) {
        if (f > 0) {
            face->nextFace.reset(new ImageFile);
            face = face->nextFace.get();
        }
        ImageFile* level = face;
        for (int l = 0; l < 3; ++l) {
            if (l > 0) {
                level->nextLevel.reset(new ImageFile);
                level = level->nextLevel.get();
            }
            BYTE* bytes;
            PALETTEENTRY* entries;
            if ((f + l) % 2) {
                ASSERT_EQ(level->AllocatePixels(8, &bytes), S_OK);
                ASSERT_EQ(level->AllocatePalette(&entries), S_OK);
            } else {
                level->pixels = borrowedPixels;
                level->palette = borrowedPalette;
            }
        }
    }
    root.Release();
    EXPECT_EQ(root.pixels, nullptr);
    EXPECT_EQ(root.palette, nullptr);
    EXPECT_EQ(root.nextFace, nullptr);
    EXPECT_EQ(root.nextLevel, nullptr);
    root.Release(); // nothing left to free
}

// A file may claim any number of levels; destroying the chain must not
// recurse once per level.
TEST(ImageFileRelease, VeryLongChainsDoNotExhaustTheStack) {
    auto root = std::make_unique<ImageFile>();
    ImageFile* last = root.get();
    for (int i = 0; i < 300000; ++i) {
        last->nextLevel.reset(new ImageFile);
        last = last->nextLevel.get();
    }
    root.reset();
    SUCCEED();
}

TEST(ImageFileAllocate, RefusesSizesBeyondTheLimitAndZeroFills) {
    ImageFile image;
    BYTE* bytes = reinterpret_cast<BYTE*>(&image);
    EXPECT_EQ(image.AllocatePixels(ImageFile::MaxPixelBytes + 1, &bytes), E_OUTOFMEMORY);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(image.pixels, nullptr);
    ASSERT_EQ(image.AllocatePixels(64, &bytes), S_OK);
    EXPECT_TRUE(image.ownsPixels);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(bytes[i], 0);
    PALETTEENTRY* palette;
    ASSERT_EQ(image.AllocatePalette(&palette), S_OK);
    EXPECT_EQ(palette[255].peFlags, 0xFF);
    EXPECT_EQ(palette[0].peRed, 0xFF);
    image.Clear();
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.format, D3DFMT_UNKNOWN);
}

} // namespace
