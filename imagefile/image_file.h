// The decoded image: one face or mipmap level of pixels in a Direct3D pixel
// format, its palette, and the chains of further levels and cube faces.
#pragma once

#include <memory>

#include "blit/pixel_block.h"
#include "imagefile/image_info.h"
#include "platform/win32_system.h"

class ImageFile {
public:
    // The most pixel bytes one image may own. Sizes come from files and are
    // not trusted: a reader asked for more answers E_OUTOFMEMORY instead of
    // trying.
    static constexpr UINT64 MaxPixelBytes = UINT64(1) << 30;

    ImageFile() = default;
    // A root releases the whole list it heads.
    ~ImageFile() { Release(); }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Frees what the image owns and returns it to the empty state: format 0,
    // no pixels, no palette, no further levels or faces.
    void Clear();

    // Frees owned pixels and palette, then every image along nextLevel and
    // nextFace (each exactly once; borrowed pixels and palettes are never
    // freed). Leaves the pointers null and the ownership flags clear, so that
    // a second Release does nothing.
    void Release();

    // Describes a pixel block without copying it: the image borrows the
    // block's pixels and palette. Block-format regions start at their block
    // corner: DXT boxes are rounded down to multiples of 4, YUY2 and UYVY boxes
    // to an even left edge. Cannot fail.
    HRESULT InitFromBlock(const PixelBlock& block);

    // Reads an image file held in memory, trying each reader in turn (see
    // image_load.cpp). S_OK, or TXERR_INVALIDDATA when no reader accepts it.
    HRESULT Load(const void* data, UINT size, ImageInfo* info, BOOL loadPixels);

    // Writes the list to a file in a writable format, converting the pixels
    // in place first when that format cannot hold them (see image_save.cpp).
    // `name` is narrow, or UTF-16 when `isWide` is set.
    HRESULT Save(const void* name, TxImageFileFormat fileFormat, BOOL isWide);

    // Readers: each fills this image (and allocates chained images where the
    // format has them) or fails; Load undoes what a failed reader left.
    HRESULT LoadBmp(const BYTE* data, UINT size);
    HRESULT LoadDib(const BYTE* data, UINT size);
    HRESULT LoadPpm(const BYTE* data, UINT size);
    HRESULT LoadDds(const BYTE* data, UINT size);
    HRESULT LoadJpeg(const BYTE* data, UINT size);
    HRESULT LoadPng(const BYTE* data, UINT size);
    HRESULT LoadTga(const BYTE* data, UINT size);

    // Writers, to a file open for writing. E_FAIL for a format they cannot
    // store and for any write that fails.
    HRESULT SaveDib(HANDLE file, BOOL withFileHeader);
    HRESULT SaveDds(HANDLE file);

    // Gives the image a zero-filled pixel buffer of `bytes` bytes that it owns
    // (replacing owned pixels it had). E_OUTOFMEMORY when the allocation fails
    // or exceeds MaxPixelBytes. Owned pixels must come from here.
    HRESULT AllocatePixels(UINT64 bytes, BYTE** buffer);
    // Gives the image an owned palette of 256 entries, all opaque white.
    // Owned palettes must come from here.
    HRESULT AllocatePalette(PALETTEENTRY** palette);

    D3DFORMAT format = D3DFMT_UNKNOWN;
    const BYTE* pixels = nullptr;          // row 0 of slice 0 (first block row for DXT)
    const PALETTEENTRY* palette = nullptr; // 256 entries, peFlags holding alpha, or null
    UINT width = 0;
    UINT height = 0;
    UINT depth = 0;
    D3DBOX box = {}; // the region of the pixel data the image stands for
    UINT rowPitch = 0;
    UINT slicePitch = 0; // 0 for 2-D images
    BOOL ownsPixels = FALSE;
    BOOL ownsPalette = FALSE;
    BOOL loadPixels = FALSE;                         // input to the readers: decode the pixels too
    D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE; // what the file describes
    TxImageFileFormat fileFormat = TX_IFF_BMP;       // the reader that accepted the data
    std::unique_ptr<ImageFile> nextLevel;            // next smaller mipmap level of this face
    std::unique_ptr<ImageFile> nextFace;             // next cube face (top-level images only)
};
