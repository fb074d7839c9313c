#include "texture/surface_lock.h"

#include <algorithm>

#include "texture/pixel_format.h"

namespace {

UINT RoundUp(UINT value, UINT multiple) {
    const UINT64 rounded = (UINT64(value) + multiple - 1) / multiple * multiple;
    return static_cast<UINT>(std::min<UINT64>(rounded, 0xFFFFFFFFu));
}

// Widens a region to whole blocks of the format: 4x4 blocks for DXT, pixel
// pairs for YUY2 and UYVY. The right and bottom edges stay within the limits.
void WidenToBlocks(D3DFORMAT format, UINT limitWidth, UINT limitHeight, UINT* left, UINT* top,
                   UINT* right, UINT* bottom) {
    if (D3DIsDxtFormat(format)) {
        *left &= ~3u;
        *top &= ~3u;
        *right = std::min(RoundUp(*right, 4), limitWidth);
        *bottom = std::min(RoundUp(*bottom, 4), limitHeight);
    } else if (D3DIsYuvFormat(format)) {
        *left &= ~1u;
        *right = std::min(RoundUp(*right, 2), limitWidth);
    }
}

// Asks for the container of a surface or volume. A resource without such a
// container is an expected answer, so the debug runtime is kept quiet.
template <typename Container, typename Resource>
Container* QueryContainer(Resource* resource, REFIID iid) {
    void* container = nullptr;
    TxDebugMute(TRUE);
    const HRESULT hr = resource->GetContainer(iid, &container);
    TxDebugMute(FALSE);
    return SUCCEEDED(hr) ? static_cast<Container*>(container) : nullptr;
}

// D3DLOCK_DISCARD when a whole write goes to the only level of a texture:
// the old contents are of no use, and the runtime may hand out fresh memory.
template <typename Texture, typename Resource>
DWORD DiscardFlag(Resource* resource, REFIID iid) {
    Texture* texture = QueryContainer<Texture>(resource, iid);
    if (!texture) return 0;
    const DWORD flag = texture->GetLevelCount() == 1 ? D3DLOCK_DISCARD : 0;
    texture->Release();
    return flag;
}

} // namespace

HRESULT SurfaceLock::MakeCopy(IDirect3DSurface8* source, const D3DSURFACE_DESC& desc, bool fill) {
    UINT copyWidth = desc.Width;
    UINT copyHeight = desc.Height;
    if (D3DIsDxtFormat(desc.Format)) {
        copyWidth = RoundUp(copyWidth, 4);
        copyHeight = RoundUp(copyHeight, 4);
    }
    HRESULT hr = source->GetDevice(&device);
    if (FAILED(hr)) return hr;
    hr = device->CreateImageSurface(copyWidth, copyHeight, desc.Format, &copy);
    if (FAILED(hr)) return hr;
    if (fill) {
        hr = device->CopyRects(source, nullptr, 0, copy, nullptr);
        if (FAILED(hr)) return hr;
    }
    // A DXT copy may be larger than the surface; only the surface's own
    // extent goes back.
    surfaceBounds_ = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    return S_OK;
}

HRESULT SurfaceLock::Lock(PixelBlock* block, IDirect3DSurface8* lockedSurface,
                          const PALETTEENTRY* palette, const RECT* rect, D3DCOLOR colorKey,
                          DWORD lockFlags) {
    Unlock();
    if (!block || !lockedSurface) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    HRESULT hr = lockedSurface->GetDesc(&desc);
    if (FAILED(hr)) return hr;

    RECT requested = {0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    bool partial = false;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left > rect->right ||
            rect->top > rect->bottom || static_cast<UINT>(rect->right) > desc.Width ||
            static_cast<UINT>(rect->bottom) > desc.Height)
            return D3DERR_INVALIDCALL;
        requested = *rect;
        partial =
            !(rect->left == 0 && rect->top == 0 && static_cast<UINT>(rect->right) == desc.Width &&
              static_cast<UINT>(rect->bottom) == desc.Height);
    }
    const bool readOnly = (lockFlags & TX_LOCK_READONLY) != 0;
    const bool wholeWrite = !partial && !readOnly;

    // How the pixels are reached: directly, through a copy, or directly when
    // the runtime lets a default-pool surface outside any texture (a render
    // target, a back buffer) be locked, otherwise through a copy. The last
    // case is settled by trying the lock.
    enum class Access { Direct, Copy, TryDirect } access;
    if (lockFlags & TX_LOCK_USE_COPY) {
        access = Access::Copy;
    } else if (desc.Pool != D3DPOOL_DEFAULT || (desc.Usage & D3DUSAGE_DYNAMIC)) {
        access = Access::Direct;
    } else if (IDirect3DBaseTexture8* texture = QueryContainer<IDirect3DBaseTexture8>(
                   lockedSurface, IID_IDirect3DBaseTexture8)) {
        texture->Release();
        access = Access::Copy;
    } else {
        access = Access::TryDirect;
    }

    DWORD d3dFlags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
    if (access == Access::Copy) {
        hr = MakeCopy(lockedSurface, desc, !wholeWrite);
        if (FAILED(hr)) return hr;
    } else if (wholeWrite && (desc.Usage & D3DUSAGE_DYNAMIC)) {
        d3dFlags |= DiscardFlag<IDirect3DTexture8>(lockedSurface, IID_IDirect3DTexture8);
    }

    D3DLOCKED_RECT locked = {};
    RECT widened = requested;
    bool wholeLock = !partial;
    auto lockTarget = [&](IDirect3DSurface8* target) -> HRESULT {
        UINT targetWidth = desc.Width;
        UINT targetHeight = desc.Height;
        if (target == copy && D3DIsDxtFormat(desc.Format)) {
            targetWidth = RoundUp(targetWidth, 4);
            targetHeight = RoundUp(targetHeight, 4);
        }
        if (partial) {
            UINT left = static_cast<UINT>(requested.left), top = static_cast<UINT>(requested.top);
            UINT right = static_cast<UINT>(requested.right);
            UINT bottom = static_cast<UINT>(requested.bottom);
            WidenToBlocks(desc.Format, targetWidth,
                          D3DIsDxtFormat(desc.Format) ? targetHeight : desc.Height, &left, &top,
                          &right, &bottom);
            widened = RECT{static_cast<LONG>(left), static_cast<LONG>(top),
                           static_cast<LONG>(right), static_cast<LONG>(bottom)};
            wholeLock = left == 0 && top == 0 && right == targetWidth && bottom == targetHeight;
        }
        return target->LockRect(&locked, wholeLock ? nullptr : &widened, d3dFlags);
    };

    if (access == Access::TryDirect) {
        TxDebugMute(TRUE);
        hr = lockTarget(lockedSurface);
        TxDebugMute(FALSE);
        if (FAILED(hr)) {
            hr = MakeCopy(lockedSurface, desc, !wholeWrite);
            if (FAILED(hr)) return hr;
            hr = lockTarget(copy);
        }
    } else {
        hr = lockTarget(access == Access::Copy ? copy : lockedSurface);
    }
    if (FAILED(hr)) return hr;
    locked_ = true;

    if (!wholeLock) {
        requested.left -= widened.left;
        requested.right -= widened.left;
        requested.top -= widened.top;
        requested.bottom -= widened.top;
    }
    block->data = locked.pBits;
    block->format = desc.Format;
    block->rowPitch = static_cast<UINT>(locked.Pitch);
    block->slicePitch = 0;
    block->bounds = D3DBOX{0, 0, desc.Width, desc.Height, 0, 1};
    block->box = D3DBOX{static_cast<UINT>(requested.left),
                        static_cast<UINT>(requested.top),
                        static_cast<UINT>(requested.right),
                        static_cast<UINT>(requested.bottom),
                        0,
                        1};
    block->dither = 1;
    block->colorKey = colorKey;
    block->palette = palette;
    flags = lockFlags;
    surface = lockedSurface;
    return S_OK;
}

HRESULT SurfaceLock::Unlock() {
    if (locked_) {
        if (copy)
            copy->UnlockRect();
        else if (surface)
            surface->UnlockRect();
        locked_ = false;
    }
    if (surface && copy && device && !(flags & TX_LOCK_READONLY))
        device->CopyRects(copy, &surfaceBounds_, 1, surface, nullptr);
    if (copy) copy->Release();
    if (device) device->Release();
    copy = nullptr;
    device = nullptr;
    surface = nullptr;
    flags = 0;
    surfaceBounds_ = RECT{};
    return S_OK;
}

HRESULT VolumeLock::Lock(PixelBlock* block, IDirect3DVolume8* lockedVolume,
                         const PALETTEENTRY* palette, const D3DBOX* box, D3DCOLOR colorKey,
                         DWORD lockFlags) {
    Unlock();
    if (!block || !lockedVolume) return D3DERR_INVALIDCALL;
    D3DVOLUME_DESC desc;
    HRESULT hr = lockedVolume->GetDesc(&desc);
    if (FAILED(hr)) return hr;

    const D3DBOX whole = {0, 0, desc.Width, desc.Height, 0, desc.Depth};
    D3DBOX requested = whole;
    bool partial = false;
    if (box) {
        if (box->Right > desc.Width || box->Left > box->Right || box->Bottom > desc.Height ||
            box->Top > box->Bottom || box->Back > desc.Depth || box->Front > box->Back)
            return D3DERR_INVALIDCALL;
        requested = *box;
        partial = !(box->Left == 0 && box->Top == 0 && box->Right == desc.Width &&
                    box->Bottom == desc.Height && box->Front == 0 && box->Back == desc.Depth);
    }
    const bool readOnly = (lockFlags & TX_LOCK_READONLY) != 0;
    const bool wholeWrite = !partial && !readOnly;
    if (desc.Pool == D3DPOOL_DEFAULT && !(desc.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;

    DWORD d3dFlags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
    if (wholeWrite && (desc.Usage & D3DUSAGE_DYNAMIC))
        d3dFlags |= DiscardFlag<IDirect3DVolumeTexture8>(lockedVolume, IID_IDirect3DVolumeTexture8);

    D3DBOX widened = requested;
    bool wholeLock = !partial;
    if (partial) {
        WidenToBlocks(desc.Format, desc.Width, desc.Height, &widened.Left, &widened.Top,
                      &widened.Right, &widened.Bottom);
        wholeLock = widened.Left == 0 && widened.Top == 0 && widened.Right == desc.Width &&
                    widened.Bottom == desc.Height && widened.Front == 0 &&
                    widened.Back == desc.Depth;
    }
    D3DLOCKED_BOX locked = {};
    hr = lockedVolume->LockBox(&locked, wholeLock ? nullptr : &widened, d3dFlags);
    if (FAILED(hr)) return hr;

    if (!wholeLock) {
        requested.Left -= widened.Left;
        requested.Right -= widened.Left;
        requested.Top -= widened.Top;
        requested.Bottom -= widened.Top;
        requested.Front -= widened.Front;
        requested.Back -= widened.Front;
    }
    block->data = locked.pBits;
    block->format = desc.Format;
    block->rowPitch = static_cast<UINT>(locked.RowPitch);
    block->slicePitch = static_cast<UINT>(locked.SlicePitch);
    block->bounds = whole;
    block->box = requested;
    block->dither = 1;
    block->colorKey = colorKey;
    block->palette = palette;
    volume = lockedVolume;
    return S_OK;
}

HRESULT VolumeLock::Unlock() {
    if (volume) volume->UnlockBox();
    volume = nullptr;
    return S_OK;
}
