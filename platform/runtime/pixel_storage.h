// The pixels of one surface or volume and its lock state.
#pragma once

#include <cstdlib>
#include <memory>

#include "platform/runtime/format_layout.h"

namespace txruntime {

// Upper bounds of the runtime itself, whatever a profile allows: no side may
// exceed kMaxDimension, and no resource may take more than kMaxResourceBytes
// (which also keeps every pitch within the 32-bit fields that report it).
constexpr UINT kMaxDimension = 16384;
constexpr uint64_t kMaxResourceBytes = uint64_t(1) << 30;

// What the renderer and the copy operations see of a surface or volume.
struct StorageView {
    BYTE* bits; // first byte of the first row of blocks of the first slice
    UINT rowPitch;
    UINT slicePitch; // bytes of one slice; a surface is one slice
    D3DFORMAT format;
    UINT width;
    UINT height;
    UINT depth; // 1 for a surface
    D3DMULTISAMPLE_TYPE multiSample;
};

// Lock flags the runtime understands; any other bit is refused.
constexpr DWORD kKnownLockFlags = D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NOOVERWRITE |
                                  D3DLOCK_DISCARD | D3DLOCK_NO_DIRTY_UPDATE;

class PixelStorage {
public:
    // Allocates zeroed storage. `outOfMemory` is the code to report when the
    // size exceeds the runtime's bound or the allocation fails.
    HRESULT Allocate(const FormatLayout& layout, UINT width, UINT height, UINT depth,
                     HRESULT outOfMemory, const char* call);

    const FormatLayout& Layout() const { return *layout_; }
    BYTE* Bits() const { return bytes_.get(); }
    UINT RowPitch() const { return rowPitch_; }
    UINT SlicePitch() const { return slicePitch_; }
    size_t Size() const { return size_t(slicePitch_) * depth_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    UINT Depth() const { return depth_; }

    bool Locked() const { return locked_; }
    // A value that changes whenever the bytes may have changed: allocation,
    // unlocking, and copies into them (MarkWritten). The renderer keeps
    // converted copies of textures and knows them stale by it.
    uint64_t Stamp() const { return stamp_; }
    void MarkWritten() const;
    // Locks `region` (null: everything) and gives the address of its first
    // block. Refuses a second lock, unknown or contradictory flags and
    // regions that leave the storage, are inverted or split a block.
    HRESULT Lock(const char* call, const Region* region, DWORD flags, BYTE** bits);
    HRESULT Unlock(const char* call);

private:
    struct FreeBytes {
        void operator()(BYTE* bytes) const { std::free(bytes); }
    };
    const FormatLayout* layout_ = nullptr;
    std::unique_ptr<BYTE, FreeBytes> bytes_;
    UINT width_ = 0, height_ = 0, depth_ = 0;
    UINT rowPitch_ = 0, slicePitch_ = 0;
    bool locked_ = false;
    mutable uint64_t stamp_ = 0;
};

// Checks a size against the runtime's bounds and gives the bytes one slice
// and the whole resource take; false when a bound is exceeded.
bool StorageBytes(const FormatLayout& layout, UINT width, UINT height, UINT depth, uint64_t* total);

// Converts a caller's rectangle (null: whole surface) into a region; false
// for negative coordinates.
bool RegionFromRect(const RECT* rect, UINT width, UINT height, Region* region);

// True when `rect` is null (the whole surface) or lies, not inverted, in a
// surface of the given size; blocks are not considered.
bool RectInside(const RECT* rect, UINT width, UINT height);

} // namespace txruntime
