// Filling surfaces and volumes from memory or from other surfaces and
// volumes: lock both sides, describe them as pixel blocks, and let the blit
// engine convert and resample.
#include <cstring>

#include "blit/blitter.h"
#include "texture/pixel_format.h"
#include "texture/surface_lock.h"
#include "texture/texture.h"

namespace {

DWORD FilterOrDefault(DWORD filter) {
    return filter == TX_DEFAULT ? (TX_FILTER_TRIANGLE | TX_FILTER_DITHER) : filter;
}

// Whether a raw copy can stand for the conversion: the same palette on both
// sides, by pointer or by contents.
bool PalettesAgree(const PALETTEENTRY* a, const PALETTEENTRY* b) {
    if (a == b) return true;
    return a && b && std::memcmp(a, b, 256 * sizeof(PALETTEENTRY)) == 0;
}

HRESULT WholeRect(IDirect3DSurface8* surface, RECT* rect) {
    D3DSURFACE_DESC desc;
    const HRESULT hr = surface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    *rect = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    return S_OK;
}

// Copies equal-sized rectangles without conversion through the device.
// Returns false whenever the runtime declines (different formats, for one);
// the caller then converts through the blit engine.
bool TryDirectCopy(IDirect3DSurface8* dest, const RECT* destRect, IDirect3DSurface8* source,
                   const RECT* sourceRect) {
    RECT from, to;
    if (sourceRect) {
        from = *sourceRect;
    } else if (FAILED(WholeRect(source, &from))) {
        return false;
    }
    if (destRect) {
        to = *destRect;
    } else if (FAILED(WholeRect(dest, &to))) {
        return false;
    }
    if (int64_t(from.right) - from.left != int64_t(to.right) - to.left ||
        int64_t(from.bottom) - from.top != int64_t(to.bottom) - to.top)
        return false;

    IDirect3DDevice8* device = nullptr;
    if (FAILED(source->GetDevice(&device))) return false;
    const POINT at = {to.left, to.top};
    TxDebugMute(TRUE);
    const HRESULT hr = device->CopyRects(source, &from, 1, dest, &at);
    TxDebugMute(FALSE);
    device->Release();
    return SUCCEEDED(hr);
}

// Describes caller memory as the source block (the box gives both the extent
// and where the pixels lie from `memory`) and blits it into the locked
// destination.
HRESULT BlitFromMemory(PixelBlock& dest, LPCVOID memory, D3DFORMAT format, UINT rowPitch,
                       UINT slicePitch, const D3DBOX& box, const PALETTEENTRY* palette,
                       D3DCOLOR colorKey, DWORD filter) {
    PixelBlock source = {};
    source.data = const_cast<void*>(memory); // only read
    source.format = format;
    source.rowPitch = rowPitch;
    source.slicePitch = slicePitch;
    source.bounds = box;
    source.box = box;
    source.colorKey = colorKey;
    source.palette = palette;

    Blitter blitter;
    const HRESULT hr = blitter.Execute(dest, source, filter);
    return FAILED(hr) ? hr : S_OK;
}

} // namespace

HRESULT TxLoadSurfaceFromMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                const RECT* destRect, LPCVOID srcMemory, D3DFORMAT srcFormat,
                                UINT srcPitch, const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                DWORD filter, D3DCOLOR colorKey) {
    if (!destSurface || !srcMemory || !srcRect) return D3DERR_INVALIDCALL;
    filter = FilterOrDefault(filter);

    SurfaceLock destLock;
    PixelBlock dest = {};
    const HRESULT hr = destLock.Lock(&dest, destSurface, destPalette, destRect, 0, 0);
    if (FAILED(hr)) return hr;

    const D3DBOX box = {static_cast<UINT>(srcRect->left),
                        static_cast<UINT>(srcRect->top),
                        static_cast<UINT>(srcRect->right),
                        static_cast<UINT>(srcRect->bottom),
                        0,
                        1};
    return BlitFromMemory(dest, srcMemory, srcFormat, srcPitch, 0, box, srcPalette, colorKey,
                          filter);
}

HRESULT TxLoadVolumeFromMemory(IDirect3DVolume8* destVolume, const PALETTEENTRY* destPalette,
                               const D3DBOX* destBox, LPCVOID srcMemory, D3DFORMAT srcFormat,
                               UINT srcRowPitch, UINT srcSlicePitch, const PALETTEENTRY* srcPalette,
                               const D3DBOX* srcBox, DWORD filter, D3DCOLOR colorKey) {
    if (!destVolume || !srcMemory || !srcBox) return D3DERR_INVALIDCALL;
    filter = FilterOrDefault(filter);

    VolumeLock destLock;
    PixelBlock dest = {};
    const HRESULT hr = destLock.Lock(&dest, destVolume, destPalette, destBox, 0, 0);
    if (FAILED(hr)) return hr;

    return BlitFromMemory(dest, srcMemory, srcFormat, srcRowPitch, srcSlicePitch, *srcBox,
                          srcPalette, colorKey, filter);
}

HRESULT TxLoadSurfaceFromSurface(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                 const RECT* destRect, IDirect3DSurface8* srcSurface,
                                 const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                 D3DCOLOR colorKey) {
    if (!destSurface || !srcSurface) return D3DERR_INVALIDCALL;

    // A raw copy gives the same pixels as the blit engine when nothing would
    // change them on the way: no box filtering, no colour key, one palette.
    // A surface is never copied onto itself this way, where the rectangles
    // may overlap; the blit path reads such a source through a copy.
    if ((filter & TX_FILTER_KIND_MASK) != TX_FILTER_BOX && colorKey == 0 &&
        PalettesAgree(destPalette, srcPalette) && srcSurface != destSurface &&
        TryDirectCopy(destSurface, destRect, srcSurface, srcRect))
        return S_OK;

    SurfaceLock sourceLock;
    PixelBlock source = {};
    const DWORD lockFlags = TX_LOCK_READONLY | (srcSurface == destSurface ? TX_LOCK_USE_COPY : 0u);
    HRESULT hr = sourceLock.Lock(&source, srcSurface, srcPalette, srcRect, 0, lockFlags);
    if (FAILED(hr)) return hr;

    const RECT sourceRect = {static_cast<LONG>(source.box.Left), static_cast<LONG>(source.box.Top),
                             static_cast<LONG>(source.box.Right),
                             static_cast<LONG>(source.box.Bottom)};
    hr = TxLoadSurfaceFromMemory(destSurface, destPalette, destRect, source.data, source.format,
                                 source.rowPitch, srcPalette, &sourceRect, filter, colorKey);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT TxLoadVolumeFromVolume(IDirect3DVolume8* destVolume, const PALETTEENTRY* destPalette,
                               const D3DBOX* destBox, IDirect3DVolume8* srcVolume,
                               const PALETTEENTRY* srcPalette, const D3DBOX* srcBox, DWORD filter,
                               D3DCOLOR colorKey) {
    if (!destVolume || !srcVolume) return D3DERR_INVALIDCALL;

    // Volumes are never copied: a volume loaded from itself is locked twice,
    // which the runtime may refuse.
    VolumeLock sourceLock;
    PixelBlock source = {};
    HRESULT hr =
        sourceLock.Lock(&source, srcVolume, srcPalette, srcBox, 0,
                        TX_LOCK_READONLY | (srcVolume == destVolume ? TX_LOCK_USE_COPY : 0u));
    if (FAILED(hr)) return hr;

    hr = TxLoadVolumeFromMemory(destVolume, destPalette, destBox, source.data, source.format,
                                source.rowPitch, source.slicePitch, srcPalette, &source.box, filter,
                                colorKey);
    return FAILED(hr) ? hr : S_OK;
}
