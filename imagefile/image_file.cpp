#include "imagefile/image_file.h"

#include <new>

namespace {

// Detaches and destroys a chain link by link, so that a very long chain (a
// file may claim any number of levels) cannot exhaust the stack.
void DestroyChain(std::unique_ptr<ImageFile>& head, std::unique_ptr<ImageFile> ImageFile::*link) {
    std::unique_ptr<ImageFile> current = std::move(head);
    while (current) {
        std::unique_ptr<ImageFile> next = std::move((*current).*link);
        current.reset();
        current = std::move(next);
    }
}

} // namespace

void ImageFile::Clear() {
    Release();
    format = D3DFMT_UNKNOWN;
    width = height = depth = 0;
    box = D3DBOX{};
    rowPitch = slicePitch = 0;
    loadPixels = FALSE;
    resourceType = D3DRTYPE_TEXTURE;
    fileFormat = TX_IFF_BMP;
}

void ImageFile::Release() {
    if (pixels && ownsPixels) delete[] pixels;
    if (palette && ownsPalette) delete[] palette;
    pixels = nullptr;
    palette = nullptr;
    ownsPixels = FALSE;
    ownsPalette = FALSE;
    DestroyChain(nextLevel, &ImageFile::nextLevel);
    DestroyChain(nextFace, &ImageFile::nextFace);
}

HRESULT ImageFile::InitFromBlock(const PixelBlock& block) {
    if (pixels && ownsPixels) delete[] pixels;
    if (palette && ownsPalette) delete[] palette;
    ownsPixels = FALSE;
    ownsPalette = FALSE;

    format = block.format;
    pixels = static_cast<const BYTE*>(block.data);
    palette = block.palette;
    box = block.box;
    rowPitch = block.rowPitch;
    slicePitch = block.slicePitch;

    if (D3DIsDxtFormat(format)) {
        box.Left &= ~3u;
        box.Top &= ~3u;
    } else if (D3DIsYuvFormat(format)) {
        box.Left &= ~1u;
    }
    width = box.Right - box.Left;
    height = box.Bottom - box.Top;
    depth = box.Back - box.Front;
    return S_OK;
}

HRESULT ImageFile::AllocatePixels(UINT64 bytes, BYTE** buffer) {
    *buffer = nullptr;
    if (bytes > MaxPixelBytes) return E_OUTOFMEMORY;
    BYTE* made = new (std::nothrow) BYTE[static_cast<size_t>(bytes)]();
    if (!made) return E_OUTOFMEMORY;
    if (pixels && ownsPixels) delete[] pixels;
    pixels = made;
    ownsPixels = TRUE;
    *buffer = made;
    return S_OK;
}

HRESULT ImageFile::AllocatePalette(PALETTEENTRY** result) {
    *result = nullptr;
    PALETTEENTRY* made = new (std::nothrow) PALETTEENTRY[256];
    if (!made) return E_OUTOFMEMORY;
    for (int i = 0; i < 256; ++i)
        made[i] = PALETTEENTRY{0xFF, 0xFF, 0xFF, 0xFF};
    if (palette && ownsPalette) delete[] palette;
    palette = made;
    ownsPalette = TRUE;
    *result = made;
    return S_OK;
}
