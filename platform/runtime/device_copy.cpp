// The device's copies between resources: CopyRects between surfaces and
// UpdateTexture from a system-memory texture into a default-pool one.
#include <cstring>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/resource.h"
#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/volume.h"

namespace txruntime {

namespace {

// One rectangle to copy, in whole blocks of the format.
struct BlockCopy {
    UINT sourceX, sourceY; // first block in the source
    UINT destX, destY;     // first block in the destination
    UINT across, down;     // blocks
};

UINT BlocksFor(UINT pixels, UINT block) {
    return (pixels + block - 1) / block;
}

HRESULT CheckCopyable(const Device& device, const char* call, const Surface& surface,
                      const char* role) {
    if (&surface.OwningDevice() != &device)
        return Fail(D3DERR_INVALIDCALL, call, "the %s belongs to another device", role);
    const SurfaceInfo& info = surface.Info();
    if (info.pool == D3DPOOL_SCRATCH)
        return Fail(D3DERR_INVALIDCALL, call, "the %s is in the scratch pool", role);
    if (info.multiSample != D3DMULTISAMPLE_NONE)
        return Fail(D3DERR_INVALIDCALL, call, "the %s is multisampled", role);
    if (info.usage & D3DUSAGE_DEPTHSTENCIL)
        return Fail(D3DERR_INVALIDCALL, call, "the %s is a depth-stencil surface", role);
    if (surface.IsLocked()) return Fail(D3DERR_INVALIDCALL, call, "the %s is locked", role);
    return D3D_OK;
}

// Works out where rectangle `rect` (null: the whole source) goes. The source
// rectangle must lie on block boundaries of the source; the destination
// point on block boundaries of the destination, and the blocks must fit it.
// A source edge at the source's size that ends inside a block carries that
// whole block along, so surfaces whose size is not a multiple of the block
// (small DXT levels) copy to and from block-sized ones.
HRESULT PlanCopy(const char* call, const FormatLayout& layout, const SurfaceInfo& source,
                 const SurfaceInfo& dest, const RECT* rect, const POINT* point, BlockCopy* copy) {
    Region region{};
    if (!RegionFromRect(rect, source.width, source.height, &region) ||
        !RegionFits(layout, region, source.width, source.height, 1))
        return Fail(D3DERR_INVALIDCALL, call,
                    "source rectangle (%u,%u)-(%u,%u) does not fit the %ux%u %s source on block "
                    "boundaries",
                    region.left, region.top, region.right, region.bottom, source.width,
                    source.height, layout.name);
    const LONG x = point ? point->x : static_cast<LONG>(region.left);
    const LONG y = point ? point->y : static_cast<LONG>(region.top);
    const UINT bw = layout.blockWidth;
    const UINT bh = layout.blockHeight;
    copy->sourceX = region.left / bw;
    copy->sourceY = region.top / bh;
    copy->across = BlocksFor(region.right, bw) - copy->sourceX;
    copy->down = BlocksFor(region.bottom, bh) - copy->sourceY;
    if (x < 0 || y < 0 || static_cast<UINT>(x) % bw != 0 || static_cast<UINT>(y) % bh != 0)
        return Fail(D3DERR_INVALIDCALL, call,
                    "destination point (%d,%d) is not on a block boundary of %s", x, y,
                    layout.name);
    copy->destX = static_cast<UINT>(x) / bw;
    copy->destY = static_cast<UINT>(y) / bh;
    if (uint64_t(copy->destX) + copy->across > BlocksFor(dest.width, bw) ||
        uint64_t(copy->destY) + copy->down > BlocksFor(dest.height, bh))
        return Fail(
            D3DERR_INVALIDCALL, call, "a %ux%u rectangle at (%d,%d) leaves the %ux%u destination",
            region.right - region.left, region.bottom - region.top, x, y, dest.width, dest.height);
    return D3D_OK;
}

void CopyBlocks(const PixelStorage& source, const PixelStorage& dest, const BlockCopy& copy) {
    const FormatLayout& layout = source.Layout();
    const size_t rowBytes = size_t(copy.across) * layout.blockBytes;
    for (UINT row = 0; row < copy.down; ++row) {
        const BYTE* from = source.Bits() + size_t(copy.sourceY + row) * source.RowPitch() +
                           size_t(copy.sourceX) * layout.blockBytes;
        BYTE* to = dest.Bits() + size_t(copy.destY + row) * dest.RowPitch() +
                   size_t(copy.destX) * layout.blockBytes;
        std::memcpy(to, from, rowBytes);
    }
    dest.MarkWritten();
}

} // namespace

HRESULT Device::CopyRects(IDirect3DSurface8* sourceSurface, const RECT* sourceRects, UINT rectCount,
                          IDirect3DSurface8* destinationSurface, const POINT* destPoints) {
    const char* call = "CopyRects";
    Surface* source = RuntimeCast<Surface>(sourceSurface);
    Surface* dest = RuntimeCast<Surface>(destinationSurface);
    if (!source || !dest)
        return Fail(D3DERR_INVALIDCALL, call, "source or destination is not a surface");
    if (source == dest)
        return Fail(D3DERR_INVALIDCALL, call, "source and destination are the same surface");
    if (HRESULT hr = CheckCopyable(*this, call, *source, "source"); FAILED(hr)) return hr;
    if (HRESULT hr = CheckCopyable(*this, call, *dest, "destination"); FAILED(hr)) return hr;
    const SurfaceInfo& from = source->Info();
    const SurfaceInfo& to = dest->Info();
    if (from.format != to.format)
        return Fail(D3DERR_INVALIDCALL, call, "formats differ (%s to %s)", FormatName(from.format),
                    FormatName(to.format));
    if (sourceRects && rectCount == 0)
        return Fail(D3DERR_INVALIDCALL, call, "a rectangle list without rectangles");

    // Every rectangle is checked before anything is copied, so that a
    // refused call leaves the destination as it was.
    const UINT count = sourceRects ? rectCount : 1;
    const FormatLayout& layout = source->Pixels().Layout();
    for (UINT i = 0; i < count; ++i) {
        BlockCopy copy{};
        if (HRESULT hr = PlanCopy(call, layout, from, to, sourceRects ? &sourceRects[i] : nullptr,
                                  destPoints ? &destPoints[i] : nullptr, &copy);
            FAILED(hr))
            return hr;
    }
    for (UINT i = 0; i < count; ++i) {
        BlockCopy copy{};
        PlanCopy(call, layout, from, to, sourceRects ? &sourceRects[i] : nullptr,
                 destPoints ? &destPoints[i] : nullptr, &copy);
        CopyBlocks(source->Pixels(), dest->Pixels(), copy);
    }
    return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                              IDirect3DBaseTexture8* destinationTexture) {
    const char* call = "UpdateTexture";
    ResourceInfo* sourceInfo = RuntimeCast<ResourceInfo>(sourceTexture);
    ResourceInfo* destInfo = RuntimeCast<ResourceInfo>(destinationTexture);
    TextureLevels* source = RuntimeCast<TextureLevels>(sourceTexture);
    TextureLevels* dest = RuntimeCast<TextureLevels>(destinationTexture);
    if (!sourceInfo || !destInfo || !source || !dest)
        return Fail(D3DERR_INVALIDCALL, call, "source or destination is not a texture");
    if (&sourceInfo->OwningDevice() != this || &destInfo->OwningDevice() != this)
        return Fail(D3DERR_INVALIDCALL, call, "a texture of another device");
    if (sourceInfo->Pool() != D3DPOOL_SYSTEMMEM || destInfo->Pool() != D3DPOOL_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call,
                    "copies go from a system-memory texture into a default-pool one");
    if (sourceInfo->ResourceType() != destInfo->ResourceType())
        return Fail(D3DERR_INVALIDCALL, call, "the textures are of different kinds");
    if (source->Format() != dest->Format())
        return Fail(D3DERR_INVALIDCALL, call, "formats differ (%s to %s)",
                    FormatName(source->Format()), FormatName(dest->Format()));
    if (source->LevelCount() != dest->LevelCount())
        return Fail(D3DERR_INVALIDCALL, call, "level counts differ (%u to %u)",
                    source->LevelCount(), dest->LevelCount());
    const bool volumes = sourceInfo->ResourceType() == D3DRTYPE_VOLUMETEXTURE;
    const StorageView top =
        volumes ? source->VolumeAt(0)->Storage() : source->SurfaceAt(0, 0)->Storage();
    const StorageView destTop =
        volumes ? dest->VolumeAt(0)->Storage() : dest->SurfaceAt(0, 0)->Storage();
    if (top.width != destTop.width || top.height != destTop.height || top.depth != destTop.depth)
        return Fail(D3DERR_INVALIDCALL, call, "sizes differ (%ux%ux%u to %ux%ux%u)", top.width,
                    top.height, top.depth, destTop.width, destTop.height, destTop.depth);
    if (source->AnyLevelLocked() || dest->AnyLevelLocked())
        return Fail(D3DERR_INVALIDCALL, call, "a level is locked");

    // Same kind, format and sizes: every level takes the same bytes on both
    // sides.
    for (UINT face = 0; face < source->FaceCount(); ++face)
        for (UINT level = 0; level < source->LevelCount(); ++level) {
            const PixelStorage& from = volumes ? source->VolumeAt(level)->Pixels()
                                               : source->SurfaceAt(face, level)->Pixels();
            const PixelStorage& to =
                volumes ? dest->VolumeAt(level)->Pixels() : dest->SurfaceAt(face, level)->Pixels();
            std::memcpy(to.Bits(), from.Bits(), from.Size());
            to.MarkWritten();
        }
    return D3D_OK;
}

} // namespace txruntime
