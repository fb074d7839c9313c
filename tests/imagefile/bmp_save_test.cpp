// The bitmap writer: exact bytes of both framings, the colour tables of the
// 8-bit formats, and failed writes reported as failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dib_builder.h"
#include "imagefile/image_file.h"
#include "support/test_support.h"

using dibtest::Bytes;

namespace {

uint32_t U32At(const Bytes& b, size_t offset) {
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
           uint32_t(b[offset + 3]) << 24;
}

// Writes the image with SaveDib into a fresh file and returns its bytes.
HRESULT SaveToBytes(ImageFile& image, BOOL withFileHeader, Bytes* bytes) {
    txtest::TempDir dir;
    const std::string path = dir.File("image.bmp");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << path;
        return E_NOTIMPL;
    }
    const HRESULT hr = image.SaveDib(file, withFileHeader);
    CloseHandle(file);
    *bytes = txtest::ReadFileBytes(path);
    return hr;
}

void Describe(ImageFile& image, D3DFORMAT format, UINT width, UINT height, UINT rowPitch,
              const BYTE* pixels) {
    image.format = format;
    image.width = width;
    image.height = height;
    image.depth = 1;
    image.rowPitch = rowPitch;
    image.pixels = pixels;
    image.box = D3DBOX{0, 0, width, height, 0, 1};
}

TEST(BmpSave, OnePixelR8G8B8IsTheSixtyByteFile) {
    const BYTE pixel[3] = {0x11, 0x22, 0x33};
    ImageFile image;
    Describe(image, D3DFMT_R8G8B8, 1, 1, 3, pixel);
    Bytes bytes;
    ASSERT_EQ(SaveToBytes(image, TRUE, &bytes), S_OK);
    const Bytes expected = {
        'B',  'M',  60,   0, 0,    0,    0, 0, 0, 0, 54, 0, 0, 0, // file header
        40,   0,    0,    0, 1,    0,    0, 0, 1, 0, 0,  0, 1, 0, 24, 0,
        0,    0,    0,    0, 0,    0,    0, 0,                           // info
        0x12, 0x0B, 0,    0, 0x12, 0x0B, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, // 2834 dpm
        0x11, 0x22, 0x33, 0,                                             // the row
        0,    0};                                                        // padding
    EXPECT_EQ(bytes, expected);

    // The DIB framing is the same without the first 14 bytes.
    Bytes dib;
    ASSERT_EQ(SaveToBytes(image, FALSE, &dib), S_OK);
    EXPECT_EQ(dib, Bytes(expected.begin() + 14, expected.end()));
}

// Rows are written bottom row first from the image's box, padded to 4 bytes.
TEST(BmpSave, WritesTheBoxBottomUp) {
    // A 4x3 R8G8B8 buffer with a pitch of 16; the box is (1, 1)-(3, 3).
    BYTE buffer[48];
    for (int i = 0; i < 48; ++i)
        buffer[i] = BYTE(i);
    ImageFile image;
    Describe(image, D3DFMT_R8G8B8, 2, 2, 16, buffer);
    image.box = D3DBOX{1, 1, 3, 3, 0, 1};
    Bytes bytes;
    ASSERT_EQ(SaveToBytes(image, TRUE, &bytes), S_OK);
    ASSERT_EQ(bytes.size(), 54u + 2 * 8 + 2);
    EXPECT_EQ(U32At(bytes, 2), 72u);
    const Bytes rows(bytes.begin() + 54, bytes.begin() + 70);
    const Bytes expected = {35, 36, 37, 38, 39, 40, 0, 0, 19, 20, 21, 22, 23, 24, 0, 0};
    EXPECT_EQ(rows, expected);
}

TEST(BmpSave, EightBitFormatsCarryTheirColourTables) {
    static const BYTE levels3[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    static const BYTE levels2[4] = {0, 85, 170, 255};
    PALETTEENTRY palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i ^ 0x55), BYTE(i)};
    struct Case {
        D3DFORMAT format;
        const PALETTEENTRY* palette;
    };
    for (const Case& c : {Case{D3DFMT_L8, nullptr}, Case{D3DFMT_R3G3B2, nullptr},
                          Case{D3DFMT_P8, palette}, Case{D3DFMT_P8, nullptr}}) {
        SCOPED_TRACE(c.format);
        const BYTE pixels[3] = {7, 8, 9};
        ImageFile image;
        Describe(image, c.format, 3, 1, 3, pixels);
        image.palette = c.palette;
        Bytes bytes;
        ASSERT_EQ(SaveToBytes(image, TRUE, &bytes), S_OK);
        ASSERT_EQ(bytes.size(), 1078u + 4 + 2);
        EXPECT_EQ(U32At(bytes, 2), 1084u);
        EXPECT_EQ(U32At(bytes, 10), 1078u);
        EXPECT_EQ(bytes[28], 8);
        for (int i = 0; i < 256; ++i) {
            const BYTE* quad = bytes.data() + 54 + 4 * i;
            BYTE r = 255, g = 255, b = 255;
            if (c.format == D3DFMT_L8) {
                r = g = b = BYTE(i);
            } else if (c.format == D3DFMT_R3G3B2) {
                r = levels3[i >> 5], g = levels3[(i >> 2) & 7], b = levels2[i & 3];
            } else if (c.palette) {
                r = palette[i].peRed, g = palette[i].peGreen, b = palette[i].peBlue;
            }
            ASSERT_EQ((std::vector<int>{quad[0], quad[1], quad[2], quad[3]}),
                      (std::vector<int>{b, g, r, 0}))
                << "entry " << i;
        }
        EXPECT_EQ(Bytes(bytes.begin() + 1078, bytes.end()), (Bytes{7, 8, 9, 0, 0, 0}));
    }
}

TEST(BmpSave, OtherFormatsAreRefusedBeforeAnyWrite) {
    const BYTE pixels[4] = {};
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_DXT1}) {
        ImageFile image;
        Describe(image, format, 1, 1, 4, pixels);
        Bytes bytes;
        EXPECT_EQ(SaveToBytes(image, TRUE, &bytes), E_FAIL);
        EXPECT_TRUE(bytes.empty());
    }
}

// A device that takes no data: every write fails, and the writer says so.
TEST(BmpSave, FailedWritesAreReported) {
    HANDLE full = CreateFileA("/dev/full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (full == INVALID_HANDLE_VALUE) GTEST_SKIP() << "/dev/full is not available";
    const BYTE pixel[3] = {1, 2, 3};
    ImageFile image;
    Describe(image, D3DFMT_R8G8B8, 1, 1, 3, pixel);
    EXPECT_EQ(image.SaveDib(full, TRUE), E_FAIL);
    CloseHandle(full);
}

} // namespace
