#include "platform/runtime/pixel_storage.h"

#include "platform/runtime/debug_output.h"

namespace txruntime {

namespace {

// Stamps are unique across all storages, so that storage allocated where an
// old one lay never matches a copy made of the old one.
uint64_t g_lastStamp = 0;

} // namespace

void PixelStorage::MarkWritten() const {
    stamp_ = ++g_lastStamp;
}

bool StorageBytes(const FormatLayout& layout, UINT width, UINT height, UINT depth,
                  uint64_t* total) {
    if (width > kMaxDimension || height > kMaxDimension || depth > kMaxDimension) return false;
    *total = SliceBytes(layout, width, height) * depth;
    return *total <= kMaxResourceBytes;
}

HRESULT PixelStorage::Allocate(const FormatLayout& layout, UINT width, UINT height, UINT depth,
                               HRESULT outOfMemory, const char* call) {
    uint64_t total = 0;
    if (!StorageBytes(layout, width, height, depth, &total))
        return Fail(outOfMemory, call, "%ux%ux%u %s is larger than the runtime holds", width,
                    height, depth, layout.name);
    BYTE* bytes = static_cast<BYTE*>(std::calloc(static_cast<size_t>(total), 1));
    if (!bytes)
        return Fail(outOfMemory, call, "no memory for %llu bytes",
                    static_cast<unsigned long long>(total));
    bytes_.reset(bytes);
    layout_ = &layout;
    width_ = width;
    height_ = height;
    depth_ = depth;
    rowPitch_ = txruntime::RowPitch(layout, width);
    slicePitch_ = static_cast<UINT>(SliceBytes(layout, width, height));
    MarkWritten();
    return D3D_OK;
}

HRESULT PixelStorage::Lock(const char* call, const Region* region, DWORD flags, BYTE** bits) {
    if (locked_) return Fail(D3DERR_INVALIDCALL, call, "already locked");
    if (flags & ~kKnownLockFlags)
        return Fail(D3DERR_INVALIDCALL, call, "unknown lock flags 0x%x", flags);
    if ((flags & D3DLOCK_READONLY) && (flags & D3DLOCK_DISCARD))
        return Fail(D3DERR_INVALIDCALL, call, "D3DLOCK_READONLY and D3DLOCK_DISCARD together");
    Region whole{0, 0, width_, height_, 0, depth_};
    const Region& r = region ? *region : whole;
    if (region && !RegionFits(*layout_, r, width_, height_, depth_))
        return Fail(D3DERR_INVALIDCALL, call,
                    "region (%u,%u,%u)-(%u,%u,%u) does not fit %ux%ux%u %s on block boundaries",
                    r.left, r.top, r.front, r.right, r.bottom, r.back, width_, height_, depth_,
                    layout_->name);
    *bits = bytes_.get() + BlockOffset(*layout_, rowPitch_, slicePitch_, r.left, r.top, r.front);
    locked_ = true;
    return D3D_OK;
}

HRESULT PixelStorage::Unlock(const char* call) {
    if (!locked_) return Fail(D3DERR_INVALIDCALL, call, "not locked");
    locked_ = false;
    MarkWritten();
    return D3D_OK;
}

bool RegionFromRect(const RECT* rect, UINT width, UINT height, Region* region) {
    if (!rect) {
        *region = {0, 0, width, height, 0, 1};
        return true;
    }
    if (rect->left < 0 || rect->top < 0 || rect->right < 0 || rect->bottom < 0) return false;
    *region = {static_cast<UINT>(rect->left),
               static_cast<UINT>(rect->top),
               static_cast<UINT>(rect->right),
               static_cast<UINT>(rect->bottom),
               0,
               1};
    return true;
}

bool RectInside(const RECT* rect, UINT width, UINT height) {
    Region region{};
    return RegionFromRect(rect, width, height, &region) && region.left <= region.right &&
           region.top <= region.bottom && region.right <= width && region.bottom <= height;
}

} // namespace txruntime
