// The bitmap reader on the third-party BMP conformance suite: good files
// decode to their references, and no file, good or bad, makes the reader
// crash or read outside the data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "support/png_reference.h"
#include "support/test_support.h"
#include "texture/texture.h"

namespace {

// Files that the reader refuses, and why. Every other file loads; among them
// b/badrle*.bmp, whose runs and deltas leave the image and are clipped to it.
const std::map<std::string, std::string> kRefused = {
    {"g/pal8os2.bmp", "12-byte OS/2 header"},
    {"g/rgb32bf.bmp", "mask layout without a Direct3D format"},
    {"q/pal1huffmsb.bmp", "OS/2 Huffman compression"},
    {"q/pal2.bmp", "2-bit indices"},
    {"q/pal2color.bmp", "2-bit indices"},
    {"q/pal8os2-hs.bmp", "12-byte OS/2 header"},
    {"q/pal8os2-sz.bmp", "12-byte OS/2 header"},
    {"q/pal8os2sp.bmp", "12-byte OS/2 header"},
    {"q/pal8os2v2-16.bmp", "16-byte OS/2 header"},
    {"q/rgb16-231.bmp", "mask layout without a Direct3D format"},
    {"q/rgb16-3103.bmp", "mask layout without a Direct3D format"},
    {"q/rgb24jpeg.bmp", "embedded JPEG"},
    {"q/rgb24png.bmp", "embedded PNG"},
    {"q/rgb24rle24.bmp", "OS/2 24-bit run-length compression"},
    {"q/rgb32-111110.bmp", "mask layout without a Direct3D format"},
    {"q/rgb32-7187.bmp", "mask layout without a Direct3D format"},
    {"q/rgb32-xbgr.bmp", "mask layout without a Direct3D format"},
    {"q/rgb32h52.bmp", "mask layout without a Direct3D format"},
    {"q/rgba16-1924.bmp", "mask layout without a Direct3D format"},
    {"q/rgba32-1010102.bmp", "mask layout without a Direct3D format"},
    {"q/rgba32-2.bmp", "mask layout without a Direct3D format"},
    {"q/rgba32-61754.bmp", "mask layout without a Direct3D format"},
    {"q/rgba32-81284.bmp", "mask layout without a Direct3D format"},
    {"q/rgba32abf.bmp", "compression 6 (alpha bit fields)"},
    {"q/rgba32h56.bmp", "mask layout without a Direct3D format"},
    {"q/rgba64.bmp", "64 bits per pixel"},
    {"x/ba-bm.bmp", "OS/2 bitmap array"},
    {"b/badbitcount.bmp", "bit count 30000"},
    {"b/badfilesize.bmp", "file size field beyond the data"},
    {"b/badpalettesize.bmp", "colour table beyond the data"},
    {"b/badplanes.bmp", "planes other than 1"},
    {"b/badwidth.bmp", "negative width"},
    {"b/reallybig.bmp", "rows beyond the data"},
    {"b/rgb16-880.bmp", "mask layout without a Direct3D format"},
    {"b/rletopdown.bmp", "top-down run-length data"},
    {"b/shortfile.bmp", "file size field beyond the data"},
};

struct CorpusEntry {
    std::string file;
    std::vector<std::string> references; // empty for invalid files
};

std::vector<CorpusEntry> ReadReferenceTable(const std::string& dir) {
    std::vector<CorpusEntry> entries;
    std::ifstream in(dir + "/bmp/references.tsv");
    std::string line;
    std::getline(in, line); // column titles
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        CorpusEntry entry{line.substr(0, tab), {}};
        std::istringstream alternatives(line.substr(tab + 1));
        std::string name;
        while (alternatives >> name)
            if (name != "|" && name != "-") entry.references.push_back(name);
        entries.push_back(entry);
    }
    return entries;
}

// 5- and 6-bit channels expanded with rounding, as the references are.
uint8_t Expand(unsigned value, unsigned bits) {
    const unsigned top = (1u << bits) - 1;
    return uint8_t((value * 255 + top / 2) / top);
}

unsigned BitsOf16BitFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_R5G6B5:
    case D3DFMT_A4R4G4B4:
        return 16;
    default:
        return 0;
    }
}

// The decoded image as RGBA, for the formats the bitmap reader produces.
bool ToRgba(const ImageFile& image, txtest::RgbaImage* out) {
    out->width = image.width;
    out->height = image.height;
    out->rgba.assign(size_t(image.width) * image.height * 4, 0);
    for (UINT y = 0; y < image.height; ++y) {
        const BYTE* row = image.pixels + size_t(y) * image.rowPitch;
        for (UINT x = 0; x < image.width; ++x) {
            uint8_t* p = out->rgba.data() + (size_t(y) * image.width + x) * 4;
            const bool sixteenBits = BitsOf16BitFormat(image.format) == 16;
            const unsigned v16 =
                sixteenBits ? unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8 : 0;
            switch (image.format) {
            case D3DFMT_P8: {
                const PALETTEENTRY& e = image.palette[row[x]];
                p[0] = e.peRed, p[1] = e.peGreen, p[2] = e.peBlue, p[3] = e.peFlags;
                break;
            }
            case D3DFMT_R8G8B8:
                p[0] = row[3 * x + 2], p[1] = row[3 * x + 1], p[2] = row[3 * x], p[3] = 255;
                break;
            case D3DFMT_X8R8G8B8:
            case D3DFMT_A8R8G8B8:
                p[0] = row[4 * x + 2], p[1] = row[4 * x + 1], p[2] = row[4 * x];
                p[3] = image.format == D3DFMT_A8R8G8B8 ? row[4 * x + 3] : 255;
                break;
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5:
                p[0] = Expand((v16 >> 10) & 31, 5), p[1] = Expand((v16 >> 5) & 31, 5);
                p[2] = Expand(v16 & 31, 5);
                p[3] = image.format == D3DFMT_A1R5G5B5 && !(v16 & 0x8000) ? 0 : 255;
                break;
            case D3DFMT_R5G6B5:
                p[0] = Expand(v16 >> 11, 5), p[1] = Expand((v16 >> 5) & 63, 6);
                p[2] = Expand(v16 & 31, 5), p[3] = 255;
                break;
            case D3DFMT_A4R4G4B4:
                p[0] = Expand((v16 >> 8) & 15, 4), p[1] = Expand((v16 >> 4) & 15, 4);
                p[2] = Expand(v16 & 15, 4), p[3] = Expand(v16 >> 12, 4);
                break;
            default:
                return false;
            }
        }
    }
    return true;
}

// Where the reference is transparent its colour is meaningless.
bool SamePicture(const txtest::RgbaImage& decoded, const txtest::RgbaImage& reference,
                 std::string* difference) {
    if (decoded.width != reference.width || decoded.height != reference.height) {
        *difference = "size differs";
        return false;
    }
    for (unsigned y = 0; y < decoded.height; ++y) {
        for (unsigned x = 0; x < decoded.width; ++x) {
            const uint8_t* d = decoded.Pixel(x, y);
            const uint8_t* r = reference.Pixel(x, y);
            const bool colorMatters = r[3] > 0;
            if (d[3] != r[3] || (colorMatters && (d[0] != r[0] || d[1] != r[1] || d[2] != r[2]))) {
                std::ostringstream text;
                text << "pixel (" << x << ", " << y << ") is " << int(d[0]) << "," << int(d[1])
                     << "," << int(d[2]) << "," << int(d[3]) << ", reference " << int(r[0]) << ","
                     << int(r[1]) << "," << int(r[2]) << "," << int(r[3]);
                *difference = text.str();
                return false;
            }
        }
    }
    return true;
}

class BmpCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = txtest::CorpusDir();
        if (dir_.empty() || txtest::CorpusPath("bmp/references.tsv").empty())
            GTEST_SKIP() << "BMP corpus absent";
        entries_ = ReadReferenceTable(dir_);
        ASSERT_FALSE(entries_.empty());
    }

    std::string dir_;
    std::vector<CorpusEntry> entries_;
};

// Every file loads or is refused as listed, with the data copied to a buffer
// of its exact length so that a read past the end is caught.
TEST_F(BmpCorpus, EveryFileLoadsOrIsRefusedAsListed) {
    std::set<std::string> seen;
    for (const CorpusEntry& entry : entries_) {
        SCOPED_TRACE(entry.file);
        const std::vector<unsigned char> bytes = txtest::ReadFileBytes(dir_ + "/bmp/" + entry.file);
        ASSERT_FALSE(bytes.empty());
        seen.insert(entry.file);
        for (BOOL loadPixels : {FALSE, TRUE}) {
            ImageFile image;
            const HRESULT hr = image.Load(bytes.data(), UINT(bytes.size()), nullptr, loadPixels);
            if (kRefused.count(entry.file)) {
                EXPECT_EQ(hr, TXERR_INVALIDDATA);
            } else {
                ASSERT_EQ(hr, S_OK);
                EXPECT_GT(image.width, 0u);
                EXPECT_GT(image.height, 0u);
                EXPECT_EQ(image.pixels != nullptr, loadPixels != FALSE);
            }
        }
    }
    for (const auto& refused : kRefused)
        EXPECT_TRUE(seen.count(refused.first)) << refused.first;
}

// Every good file that the reader supports decodes to its reference.
TEST_F(BmpCorpus, GoodFilesMatchTheirReferences) {
    int compared = 0;
    for (const CorpusEntry& entry : entries_) {
        if (entry.file.rfind("g/", 0) != 0 || kRefused.count(entry.file)) continue;
        SCOPED_TRACE(entry.file);
        const std::vector<unsigned char> bytes = txtest::ReadFileBytes(dir_ + "/bmp/" + entry.file);
        ImageFile image;
        ASSERT_EQ(image.Load(bytes.data(), UINT(bytes.size()), nullptr, TRUE), S_OK);
        txtest::RgbaImage decoded;
        ASSERT_TRUE(ToRgba(image, &decoded)) << "format " << image.format;
        std::string differences;
        bool matched = false;
        for (const std::string& name : entry.references) {
            txtest::RgbaImage reference;
            std::string error;
            ASSERT_TRUE(txtest::ReadPngReference(dir_ + "/bmp/html/" + name, &reference, &error))
                << error;
            std::string difference;
            if (SamePicture(decoded, reference, &difference)) {
                matched = true;
                break;
            }
            differences += name + ": " + difference + "; ";
        }
        EXPECT_TRUE(matched) << differences;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

} // namespace
