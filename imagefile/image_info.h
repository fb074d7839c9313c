// Image file format codes and the public description of a source file.
#pragma once

#include "platform/direct3d8.h"

enum TxImageFileFormat : DWORD {
    TX_IFF_BMP = 0, // Windows bitmap file
    TX_IFF_JPG = 1, // JPEG (JFIF)
    TX_IFF_TGA = 2, // Truevision TGA
    TX_IFF_PNG = 3, // PNG
    TX_IFF_DDS = 4, // DirectDraw surface file
    TX_IFF_PPM = 5, // portable pixmap (P3 or P6)
    TX_IFF_DIB = 6, // packed DIB without the file header
    TX_IFF_FORCE_DWORD = 0x7FFFFFFF
};

// What texture creation reports about the file it read.
struct ImageInfo {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    TxImageFileFormat ImageFileFormat;
};
