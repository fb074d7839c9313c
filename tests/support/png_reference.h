// Reference pictures stored as PNG, decoded to 8-bit RGBA for comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace txtest {

// An 8-bit RGBA picture, rows top-down, no padding.
struct RgbaImage {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* Pixel(unsigned x, unsigned y) const {
        return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
};

// Decodes a PNG file of any colour type to RGBA: palettes and transparency
// expanded, grey replicated, 16-bit samples reduced to their high byte,
// missing alpha opaque. The samples are taken as stored: no gamma is applied.
// False, with a message in `error`, when the file cannot be read.
bool ReadPngReference(const std::string& path, RgbaImage* image, std::string* error = nullptr);

} // namespace txtest
