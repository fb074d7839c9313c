#include "xwd_image.h"

#include <fstream>
#include <iterator>

namespace viewertest {

namespace {

// Field positions in the dump's header: big-endian 32-bit words.
enum HeaderField {
    kHeaderSize = 0,
    kVersion = 1,
    kPixmapFormat = 2,
    kWidth = 4,
    kHeight = 5,
    kByteOrder = 7,
    kBitsPerPixel = 11,
    kBytesPerLine = 12,
    kVisualClass = 13,
    kRedMask = 14,
    kGreenMask = 15,
    kBlueMask = 16,
    kColourCount = 19,
    kHeaderFields = 25,
};
const uint32_t kXwdVersion = 7;
const uint32_t kZPixmap = 2;
const uint32_t kTrueColor = 4;
const uint32_t kDirectColor = 5;
const size_t kColourEntrySize = 12;

uint32_t BigEndian(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// One channel of a pixel: the bits under its mask, scaled to 8 bits, or on
// a DirectColor visual looked up in that channel's ramp of the colour map
// (16-bit entries, in index order).
struct ChannelDecoder {
    uint32_t mask = 0;
    int shift = 0;
    const std::vector<uint16_t>* ramp = nullptr;

    uint32_t operator()(uint32_t value) const {
        if (!mask) return 0;
        const uint32_t index = (value & mask) >> shift;
        if (ramp && index < ramp->size()) return (*ramp)[index] >> 8;
        return index * 255 / (mask >> shift);
    }
};

ChannelDecoder MakeDecoder(uint32_t mask, const std::vector<uint16_t>* ramp) {
    ChannelDecoder decoder;
    decoder.mask = mask;
    while (mask && !(mask >> decoder.shift & 1))
        ++decoder.shift;
    decoder.ramp = ramp;
    return decoder;
}

} // namespace

bool ReadXwdFile(const std::string& path, RgbImage* image, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    if (bytes.size() < kHeaderFields * 4) {
        *error = "too short for a header";
        return false;
    }
    uint32_t h[kHeaderFields];
    for (int i = 0; i < kHeaderFields; ++i)
        h[i] = BigEndian(&bytes[static_cast<size_t>(i) * 4]);
    if (h[kVersion] != kXwdVersion || h[kPixmapFormat] != kZPixmap ||
        (h[kVisualClass] != kTrueColor && h[kVisualClass] != kDirectColor) ||
        (h[kBitsPerPixel] != 32 && h[kBitsPerPixel] != 24)) {
        *error =
            "not a TrueColor or DirectColor ZPixmap dump with 24 or 32 bits per pixel (version " +
            std::to_string(h[kVersion]) + ", format " + std::to_string(h[kPixmapFormat]) +
            ", visual class " + std::to_string(h[kVisualClass]) + ", " +
            std::to_string(h[kBitsPerPixel]) + " bits)";
        return false;
    }
    const size_t width = h[kWidth], height = h[kHeight], pitch = h[kBytesPerLine];
    const size_t bytesPerPixel = h[kBitsPerPixel] / 8;
    const size_t start = size_t(h[kHeaderSize]) + size_t(h[kColourCount]) * kColourEntrySize;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        pitch < width * bytesPerPixel || start > bytes.size() ||
        (bytes.size() - start) / pitch < height) {
        *error = "sizes do not fit the file";
        return false;
    }
    // A DirectColor visual maps each channel through the colour map saved
    // with the dump: entry i holds the colour of index i in every channel.
    std::vector<uint16_t> ramps[3];
    if (h[kVisualClass] == kDirectColor) {
        for (size_t i = 0; i < h[kColourCount]; ++i) {
            const unsigned char* entry = &bytes[h[kHeaderSize] + i * kColourEntrySize];
            for (int c = 0; c < 3; ++c)
                ramps[c].push_back(static_cast<uint16_t>(entry[4 + 2 * c] << 8 | entry[5 + 2 * c]));
        }
    }
    const bool direct = h[kVisualClass] == kDirectColor;
    const ChannelDecoder red = MakeDecoder(h[kRedMask], direct ? &ramps[0] : nullptr);
    const ChannelDecoder green = MakeDecoder(h[kGreenMask], direct ? &ramps[1] : nullptr);
    const ChannelDecoder blue = MakeDecoder(h[kBlueMask], direct ? &ramps[2] : nullptr);
    const bool mostSignificantFirst = h[kByteOrder] == 1;
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->pixels.resize(width * height);
    for (size_t y = 0; y < height; ++y) {
        const unsigned char* row = &bytes[start + y * pitch];
        for (size_t x = 0; x < width; ++x) {
            const unsigned char* p = row + x * bytesPerPixel;
            uint32_t value = 0;
            for (size_t b = 0; b < bytesPerPixel; ++b) {
                const size_t shift = mostSignificantFirst ? (bytesPerPixel - 1 - b) * 8 : b * 8;
                value |= uint32_t(p[b]) << shift;
            }
            image->pixels[y * width + x] = red(value) << 16 | green(value) << 8 | blue(value);
        }
    }
    return true;
}

} // namespace viewertest
