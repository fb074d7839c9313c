// Builds small bitmap files byte by byte for the reader tests.
#pragma once

#include <cstdint>
#include <vector>

namespace dibtest {

using Bytes = std::vector<uint8_t>;

inline void PutU16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

struct Dib {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    // Red, green, blue and alpha masks: inside the header when it has room
    // for them (52 bytes and more), else the first three after the header.
    std::vector<uint32_t> masks;
    // Colour table entries as 0x00RRGGBB.
    std::vector<uint32_t> table;
    Bytes pixels;

    Bytes Build() const {
        Bytes out;
        PutU32(out, headerSize);
        PutU32(out, uint32_t(width));
        PutU32(out, uint32_t(height));
        PutU16(out, planes);
        PutU16(out, bitCount);
        PutU32(out, compression);
        PutU32(out, 0);    // image size
        PutU32(out, 2834); // resolutions
        PutU32(out, 2834);
        PutU32(out, colorsUsed);
        PutU32(out, 0);
        size_t used = 0;
        while (out.size() + 4 <= headerSize && used < masks.size())
            PutU32(out, masks[used++]);
        out.resize(headerSize, 0);
        for (; used < masks.size() && used < 3; ++used)
            PutU32(out, masks[used]);
        for (uint32_t rgb : table)
            PutU32(out, rgb & 0xFFFFFF);
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

// The 14-byte file header in front of a DIB.
inline Bytes WithFileHeader(const Bytes& dib, uint32_t declaredSize = 0) {
    Bytes out = {'B', 'M'};
    PutU32(out, declaredSize ? declaredSize : uint32_t(dib.size() + 14));
    PutU32(out, 0);
    PutU32(out, 0); // offset of the pixels: not used by the reader
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

} // namespace dibtest
