// Saving a rectangle of a surface: the locked pixels are described as an
// image without copying them, and the save dispatch converts and writes.
#include "texture/surface_save.h"

#include "imagefile/image_file.h"
#include "texture/surface_lock.h"

HRESULT SaveSurfaceToFileCommon(const void* destFile, TxImageFileFormat destFormat,
                                IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                                const RECT* srcRect, BOOL isWide) {
    if (!destFile || !srcSurface) return D3DERR_INVALIDCALL;

    // Read-only: a default-pool level is read through a copy that is never
    // written back, and the saving converts into buffers of its own.
    SurfaceLock lock;
    PixelBlock block = {};
    HRESULT hr = lock.Lock(&block, srcSurface, srcPalette, srcRect, 0, TX_LOCK_READONLY);
    if (FAILED(hr)) return hr;

    // Declared after the lock, so released before the unlock.
    ImageFile image;
    hr = image.InitFromBlock(block);
    if (FAILED(hr)) return hr;
    hr = image.Save(destFile, destFormat, isWide);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT TxSaveSurfaceToFile(LPCSTR destFile, TxImageFileFormat destFormat,
                            IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                            const RECT* srcRect) {
    return SaveSurfaceToFileCommon(destFile, destFormat, srcSurface, srcPalette, srcRect, FALSE);
}
