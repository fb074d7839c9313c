// Writes a bitmap file of one colour, 24 bits per pixel, through the
// library's own bitmap writer. The viewer's scene textures are made with it:
//
//   make_solid_bitmap Black.bmp 000000
//   make_solid_bitmap White.bmp FFFFFF
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagefile/image_file.h"
#include "texture/texture.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make_solid_bitmap FILE RRGGBB [SIZE]\n"
                         "  writes a SIZE by SIZE (default 64) 24-bit bitmap of one colour\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return Usage();
    char* end = nullptr;
    const unsigned long colour = std::strtoul(argv[2], &end, 16);
    if (*end != '\0' || std::strlen(argv[2]) != 6) return Usage();
    unsigned long size = 64;
    if (argc == 4) {
        size = std::strtoul(argv[3], &end, 10);
        if (*end != '\0' || size == 0 || size > 16384) return Usage();
    }

    ImageFile image;
    BYTE* pixels = nullptr;
    const UINT width = static_cast<UINT>(size);
    if (FAILED(image.AllocatePixels(UINT64(width) * width * 3, &pixels))) {
        std::fprintf(stderr, "make_solid_bitmap: out of memory\n");
        return 1;
    }
    // D3DFMT_R8G8B8 lies in memory as blue, green, red.
    for (UINT64 i = 0; i < UINT64(width) * width; ++i) {
        pixels[3 * i] = BYTE(colour);
        pixels[3 * i + 1] = BYTE(colour >> 8);
        pixels[3 * i + 2] = BYTE(colour >> 16);
    }
    image.format = D3DFMT_R8G8B8;
    image.width = image.height = width;
    image.depth = 1;
    image.box = D3DBOX{0, 0, width, width, 0, 1};
    image.rowPitch = width * 3;

    const HRESULT hr = image.Save(argv[1], TX_IFF_BMP, FALSE);
    if (FAILED(hr)) {
        std::fprintf(stderr, "make_solid_bitmap: cannot write %s (0x%08X)\n", argv[1],
                     static_cast<unsigned>(hr));
        return 1;
    }
    return 0;
}
