// Reading the window dumps that xwd writes: TrueColor and DirectColor
// ZPixmap images as 0xRRGGBB values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace viewertest {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, rows packed

    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// False, with a reason in `error`, for files that are not 24- or 32-bit
// TrueColor or DirectColor ZPixmap dumps or are cut short.
bool ReadXwdFile(const std::string& path, RgbImage* image, std::string* error);

} // namespace viewertest
