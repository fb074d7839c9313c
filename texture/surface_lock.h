// Locks of a surface rectangle or a volume box, described as a PixelBlock,
// undone on every exit of the operation that holds them.
#pragma once

#include "blit/pixel_block.h"
#include "platform/direct3d8.h"

// The caller only reads: lock read-only and never write a copy back.
#define TX_LOCK_READONLY 0x00000001u
// Always work on a system-memory copy (surfaces only).
#define TX_LOCK_USE_COPY 0x00010000u

// Locks a rectangle of a surface of any pool. Surfaces that cannot be locked
// (levels of default-pool textures, and other default-pool surfaces that the
// runtime refuses to lock) are worked on through a system-memory copy, which
// is filled from the surface unless every pixel will be overwritten, and
// written back at Unlock unless the lock was read-only.
class SurfaceLock {
public:
    SurfaceLock() = default;
    ~SurfaceLock() { Unlock(); }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;

    // Locks `rect` of `lockedSurface` (null: the whole surface) and describes
    // it in `block`; `block->box` is the requested rectangle relative to
    // `block->data`. Undoes a lock held before. D3DERR_INVALIDCALL for a
    // rectangle outside the surface; errors of the runtime unchanged.
    HRESULT Lock(PixelBlock* block, IDirect3DSurface8* lockedSurface, const PALETTEENTRY* palette,
                 const RECT* rect, D3DCOLOR colorKey, DWORD lockFlags);

    // Unlocks, writes a copy back (unless read-only) and gives back every
    // reference. Always S_OK; does nothing when nothing is locked.
    HRESULT Unlock();

    DWORD flags = 0;
    IDirect3DSurface8* surface = nullptr; // borrowed
    IDirect3DSurface8* copy = nullptr;    // owned
    IDirect3DDevice8* device = nullptr;   // owned while `copy` exists

private:
    HRESULT MakeCopy(IDirect3DSurface8* source, const D3DSURFACE_DESC& desc, bool fill);
    RECT surfaceBounds_ = {}; // what the copy writes back
    bool locked_ = false;     // LockRect succeeded on the copy or the surface
};

// Locks a box of a volume. Volumes are never copied: a default-pool volume
// that is not dynamic cannot be locked.
class VolumeLock {
public:
    VolumeLock() = default;
    ~VolumeLock() { Unlock(); }
    VolumeLock(const VolumeLock&) = delete;
    VolumeLock& operator=(const VolumeLock&) = delete;

    HRESULT Lock(PixelBlock* block, IDirect3DVolume8* lockedVolume, const PALETTEENTRY* palette,
                 const D3DBOX* box, D3DCOLOR colorKey, DWORD lockFlags);
    HRESULT Unlock();

    IDirect3DVolume8* volume = nullptr; // borrowed, set while a box is locked
};
