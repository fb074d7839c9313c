// CopyRects and UpdateTexture: raw copies between surfaces and from
// system-memory textures into default-pool ones.
#include <cstring>
#include <vector>

#include "runtime_fixture.h"

namespace txtest {
namespace {

struct Blocks {
    D3DFORMAT format;
    UINT width, height, bytes; // of one block
};

const Blocks kCopyFormats[] = {
    {D3DFMT_A8R8G8B8, 1, 1, 4}, {D3DFMT_R8G8B8, 1, 1, 3}, {D3DFMT_L8, 1, 1, 1},
    {D3DFMT_R5G6B5, 1, 1, 2},   {D3DFMT_YUY2, 2, 1, 4},   {D3DFMT_DXT1, 4, 4, 8},
    {D3DFMT_DXT5, 4, 4, 16},
};

// The bytes of a locked surface, row of blocks by row of blocks.
struct Snapshot {
    std::vector<BYTE> bytes;
    size_t pitch = 0;
    const BYTE* Block(const Blocks& b, UINT x, UINT y) const {
        return bytes.data() + size_t(y / b.height) * pitch + size_t(x / b.width) * b.bytes;
    }
};

Snapshot Read(IDirect3DSurface8* surface) {
    Snapshot snapshot;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    if (!locked.pBits) return snapshot;
    const BYTE* bits = static_cast<const BYTE*>(locked.pBits);
    snapshot.bytes.assign(bits, bits + desc.Size);
    snapshot.pitch = static_cast<size_t>(locked.Pitch);
    surface->UnlockRect();
    return snapshot;
}

void Fill(IDirect3DSurface8* surface, BYTE seed) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    BYTE* bits = static_cast<BYTE*>(locked.pBits);
    for (UINT i = 0; i < desc.Size; ++i)
        bits[i] = static_cast<BYTE>(seed + i * 7);
    ASSERT_EQ(surface->UnlockRect(), D3D_OK);
}

class RuntimeCopyTest : public RuntimeTest {
protected:
    Ref<IDirect3DSurface8> Image(UINT width, UINT height, D3DFORMAT format, BYTE seed) {
        Ref<IDirect3DSurface8> surface;
        EXPECT_EQ(device_->CreateImageSurface(width, height, format, Out(surface)), D3D_OK);
        if (surface) Fill(surface.get(), seed);
        return surface;
    }
};

TEST_F(RuntimeCopyTest, RectanglesCopyRawBlocksToTheirPoints) {
    for (const Blocks& b : kCopyFormats) {
        SCOPED_TRACE(b.format);
        const LONG bw = static_cast<LONG>(b.width), bh = static_cast<LONG>(b.height);
        Ref<IDirect3DSurface8> source = Image(16, 16, b.format, 1);
        Ref<IDirect3DSurface8> dest = Image(12, 8, b.format, 200);
        ASSERT_TRUE(source && dest);
        const Snapshot before = Read(dest.get());
        // Two rectangles, one of them at the source's corner, to places
        // that do not overlap.
        const RECT rects[] = {{0, 0, 2 * bw, bh}, {16 - 2 * bw, 16 - bh, 16, 16}};
        const POINT points[] = {{bw, 0}, {0, bh == 1 ? 2 : bh}};
        ASSERT_EQ(device_->CopyRects(source.get(), rects, 2, dest.get(), points), D3D_OK);
        const Snapshot from = Read(source.get());
        const Snapshot to = Read(dest.get());
        for (UINT y = 0; y < 8; y += b.height)
            for (UINT x = 0; x < 12; x += b.width) {
                const BYTE* expected = before.Block(b, x, y);
                for (int r = 0; r < 2; ++r) {
                    const LONG w = rects[r].right - rects[r].left;
                    const LONG h = rects[r].bottom - rects[r].top;
                    const LONG dx = static_cast<LONG>(x) - points[r].x;
                    const LONG dy = static_cast<LONG>(y) - points[r].y;
                    if (dx >= 0 && dy >= 0 && dx < w && dy < h)
                        expected = from.Block(b, rects[r].left + dx, rects[r].top + dy);
                }
                ASSERT_EQ(std::memcmp(to.Block(b, x, y), expected, b.bytes), 0)
                    << "block at " << x << "," << y;
            }
    }
}

TEST_F(RuntimeCopyTest, WholeSurfacesCopyThroughEveryPool) {
    // A default-pool level cannot be locked; copies are the way in and out.
    for (const Blocks& b : kCopyFormats) {
        SCOPED_TRACE(b.format);
        Ref<IDirect3DSurface8> source = Image(16, 8, b.format, 9);
        Ref<IDirect3DTexture8> texture;
        ASSERT_EQ(device_->CreateTexture(16, 8, 1, 0, b.format, D3DPOOL_DEFAULT, Out(texture)),
                  D3D_OK);
        Ref<IDirect3DSurface8> level;
        ASSERT_EQ(texture->GetSurfaceLevel(0, Out(level)), D3D_OK);
        ASSERT_EQ(device_->CopyRects(source.get(), nullptr, 0, level.get(), nullptr), D3D_OK);
        Ref<IDirect3DSurface8> back = Image(16, 8, b.format, 0);
        ASSERT_EQ(device_->CopyRects(level.get(), nullptr, 0, back.get(), nullptr), D3D_OK);
        EXPECT_EQ(Read(back.get()).bytes, Read(source.get()).bytes);
    }
}

TEST_F(RuntimeCopyTest, SmallDxtLevelsCopyToAndFromBlockSizedSurfaces) {
    // A 2x2 and a 1x1 level each hold one block; a 4x4 surface holds the
    // same block, so whole copies go both ways.
    Ref<IDirect3DTexture8> texture;
    ASSERT_EQ(device_->CreateTexture(8, 8, 0, 0, D3DFMT_DXT1, D3DPOOL_DEFAULT, Out(texture)),
              D3D_OK);
    Ref<IDirect3DSurface8> twoByTwo, oneByOne;
    ASSERT_EQ(texture->GetSurfaceLevel(2, Out(twoByTwo)), D3D_OK);
    ASSERT_EQ(texture->GetSurfaceLevel(3, Out(oneByOne)), D3D_OK);
    Ref<IDirect3DSurface8> block = Image(4, 4, D3DFMT_DXT1, 77);
    ASSERT_EQ(device_->CopyRects(block.get(), nullptr, 0, twoByTwo.get(), nullptr), D3D_OK);
    ASSERT_EQ(device_->CopyRects(twoByTwo.get(), nullptr, 0, oneByOne.get(), nullptr), D3D_OK);
    Ref<IDirect3DSurface8> back = Image(4, 4, D3DFMT_DXT1, 0);
    const RECT whole = {0, 0, 1, 1};
    const POINT origin = {0, 0};
    ASSERT_EQ(device_->CopyRects(oneByOne.get(), &whole, 1, back.get(), &origin), D3D_OK);
    EXPECT_EQ(Read(back.get()).bytes, Read(block.get()).bytes);

    // A 6x6 surface is 2x2 blocks: its last blocks, partly used, travel whole.
    Ref<IDirect3DSurface8> six = Image(6, 6, D3DFMT_DXT5, 5);
    Ref<IDirect3DSurface8> eight = Image(8, 8, D3DFMT_DXT5, 0);
    ASSERT_EQ(device_->CopyRects(six.get(), nullptr, 0, eight.get(), nullptr), D3D_OK);
    EXPECT_EQ(Read(eight.get()).bytes, Read(six.get()).bytes);
    const POINT inside = {4, 4};
    EXPECT_EQ(device_->CopyRects(six.get(), nullptr, 0, eight.get(), &inside), D3DERR_INVALIDCALL);
}

TEST_F(RuntimeCopyTest, RefusedCopiesChangeNothing) {
    Ref<IDirect3DSurface8> argb = Image(16, 16, D3DFMT_A8R8G8B8, 3);
    Ref<IDirect3DSurface8> dest = Image(16, 16, D3DFMT_A8R8G8B8, 100);
    Ref<IDirect3DSurface8> xrgb = Image(16, 16, D3DFMT_X8R8G8B8, 4);
    Ref<IDirect3DSurface8> dxt = Image(16, 16, D3DFMT_DXT3, 5);
    Ref<IDirect3DSurface8> dxtDest = Image(16, 16, D3DFMT_DXT3, 6);
    Ref<IDirect3DSurface8> multisampled;
    ASSERT_EQ(device_->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_2_SAMPLES, FALSE,
                                          Out(multisampled)),
              D3D_OK);
    Ref<IDirect3DTexture8> scratch;
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, Out(scratch)),
              D3D_OK);
    Ref<IDirect3DSurface8> scratchLevel;
    ASSERT_EQ(scratch->GetSurfaceLevel(0, Out(scratchLevel)), D3D_OK);
    Ref<IDirect3DSurface8> depth;
    ASSERT_EQ(device_->CreateDepthStencilSurface(16, 16, D3DFMT_D16_LOCKABLE, D3DMULTISAMPLE_NONE,
                                                 Out(depth)),
              D3D_OK);
    Ref<IDirect3DDevice8> other;
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(other)),
              D3D_OK);
    Ref<IDirect3DSurface8> foreign;
    ASSERT_EQ(other->CreateImageSurface(16, 16, D3DFMT_A8R8G8B8, Out(foreign)), D3D_OK);

    const RECT good = {0, 0, 4, 4};
    const RECT outside = {12, 12, 17, 16};
    const RECT inverted = {4, 0, 0, 4};
    const RECT twoRects[] = {good, outside};
    const POINT origin = {0, 0};
    const POINT farPoint = {13, 0};
    const POINT negative = {-1, 0};
    const RECT dxtOffBlock = {2, 0, 6, 4};
    const POINT dxtOffPoint = {2, 4};
    struct Case {
        const char* what;
        IDirect3DSurface8* source;
        const RECT* rects;
        UINT count;
        IDirect3DSurface8* dest;
        const POINT* points;
    };
    const Case cases[] = {
        {"formats differ", xrgb.get(), nullptr, 0, dest.get(), nullptr},
        {"rectangle leaves the source", argb.get(), &outside, 1, dest.get(), nullptr},
        {"second rectangle leaves the source", argb.get(), twoRects, 2, dest.get(), nullptr},
        {"inverted rectangle", argb.get(), &inverted, 1, dest.get(), nullptr},
        {"rectangle leaves the destination", argb.get(), &good, 1, dest.get(), &farPoint},
        {"negative point", argb.get(), &good, 1, dest.get(), &negative},
        {"rectangle list without rectangles", argb.get(), &good, 0, dest.get(), nullptr},
        {"same surface", dest.get(), &good, 1, dest.get(), &farPoint},
        {"multisampled source", multisampled.get(), nullptr, 0, dest.get(), nullptr},
        {"scratch source", scratchLevel.get(), nullptr, 0, dest.get(), nullptr},
        {"scratch destination", argb.get(), nullptr, 0, scratchLevel.get(), nullptr},
        {"depth source", depth.get(), nullptr, 0, dest.get(), nullptr},
        {"surface of another device", foreign.get(), nullptr, 0, dest.get(), nullptr},
        {"null source", nullptr, nullptr, 0, dest.get(), nullptr},
        {"null destination", argb.get(), nullptr, 0, nullptr, nullptr},
        {"DXT rectangle off the blocks", dxt.get(), &dxtOffBlock, 1, dxtDest.get(), &origin},
        {"DXT point off the blocks", dxt.get(), &good, 1, dxtDest.get(), &dxtOffPoint},
    };
    const Snapshot destBefore = Read(dest.get());
    const Snapshot dxtBefore = Read(dxtDest.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(device_->CopyRects(c.source, c.rects, c.count, c.dest, c.points),
                  D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(Read(dest.get()).bytes, destBefore.bytes);
    EXPECT_EQ(Read(dxtDest.get()).bytes, dxtBefore.bytes);

    // Locked surfaces are not copied to or from.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(argb->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(device_->CopyRects(argb.get(), nullptr, 0, dest.get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CopyRects(dest.get(), nullptr, 0, argb.get(), nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(argb->UnlockRect(), D3D_OK);
    EXPECT_EQ(device_->CopyRects(argb.get(), nullptr, 0, dest.get(), nullptr), D3D_OK);
}

// Fills every level of every face with its own bytes.
void FillTexture(IDirect3DBaseTexture8* texture, BYTE seed) {
    const DWORD levels = texture->GetLevelCount();
    if (texture->GetType() == D3DRTYPE_VOLUMETEXTURE) {
        auto* volume = static_cast<IDirect3DVolumeTexture8*>(texture);
        for (UINT level = 0; level < levels; ++level) {
            D3DVOLUME_DESC desc{};
            D3DLOCKED_BOX box{};
            ASSERT_EQ(volume->GetLevelDesc(level, &desc), D3D_OK);
            ASSERT_EQ(volume->LockBox(level, &box, nullptr, 0), D3D_OK);
            for (UINT i = 0; i < desc.Size; ++i)
                static_cast<BYTE*>(box.pBits)[i] = static_cast<BYTE>(seed + level * 31 + i);
            ASSERT_EQ(volume->UnlockBox(level), D3D_OK);
        }
        return;
    }
    const bool cube = texture->GetType() == D3DRTYPE_CUBETEXTURE;
    for (UINT face = 0; face < (cube ? 6u : 1u); ++face)
        for (UINT level = 0; level < levels; ++level) {
            Ref<IDirect3DSurface8> surface;
            if (cube)
                ASSERT_EQ(static_cast<IDirect3DCubeTexture8*>(texture)->GetCubeMapSurface(
                              static_cast<D3DCUBEMAP_FACES>(face), level, Out(surface)),
                          D3D_OK);
            else
                ASSERT_EQ(
                    static_cast<IDirect3DTexture8*>(texture)->GetSurfaceLevel(level, Out(surface)),
                    D3D_OK);
            Fill(surface.get(), static_cast<BYTE>(seed + face * 13 + level * 31));
        }
}

TEST_F(RuntimeCopyTest, UpdateTextureCopiesEveryLevelOfEveryFace) {
    // Default-pool textures and cube textures are read back through
    // CopyRects; a dynamic default-pool volume texture can be locked.
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_DXT1, D3DFMT_YUY2}) {
        SCOPED_TRACE(format);
        Ref<IDirect3DTexture8> source, dest;
        ASSERT_EQ(device_->CreateTexture(16, 8, 0, 0, format, D3DPOOL_SYSTEMMEM, Out(source)),
                  D3D_OK);
        ASSERT_EQ(device_->CreateTexture(16, 8, 0, 0, format, D3DPOOL_DEFAULT, Out(dest)), D3D_OK);
        FillTexture(source.get(), 11);
        ASSERT_EQ(device_->UpdateTexture(source.get(), dest.get()), D3D_OK);
        for (UINT level = 0; level < source->GetLevelCount(); ++level) {
            SCOPED_TRACE(level);
            Ref<IDirect3DSurface8> from, to;
            ASSERT_EQ(source->GetSurfaceLevel(level, Out(from)), D3D_OK);
            ASSERT_EQ(dest->GetSurfaceLevel(level, Out(to)), D3D_OK);
            D3DSURFACE_DESC desc{};
            ASSERT_EQ(to->GetDesc(&desc), D3D_OK);
            Ref<IDirect3DSurface8> back;
            ASSERT_EQ(device_->CreateImageSurface(desc.Width, desc.Height, format, Out(back)),
                      D3D_OK);
            ASSERT_EQ(device_->CopyRects(to.get(), nullptr, 0, back.get(), nullptr), D3D_OK);
            EXPECT_EQ(Read(back.get()).bytes, Read(from.get()).bytes);
        }
    }

    Ref<IDirect3DCubeTexture8> cubeSource, cubeDest;
    ASSERT_EQ(
        device_->CreateCubeTexture(8, 2, 0, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, Out(cubeSource)),
        D3D_OK);
    ASSERT_EQ(device_->CreateCubeTexture(8, 2, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, Out(cubeDest)),
              D3D_OK);
    FillTexture(cubeSource.get(), 50);
    ASSERT_EQ(device_->UpdateTexture(cubeSource.get(), cubeDest.get()), D3D_OK);
    for (UINT face = 0; face < 6; ++face) {
        Ref<IDirect3DSurface8> from, to, back;
        ASSERT_EQ(cubeSource->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 1, Out(from)),
                  D3D_OK);
        ASSERT_EQ(cubeDest->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 1, Out(to)),
                  D3D_OK);
        ASSERT_EQ(device_->CreateImageSurface(4, 4, D3DFMT_R5G6B5, Out(back)), D3D_OK);
        ASSERT_EQ(device_->CopyRects(to.get(), nullptr, 0, back.get(), nullptr), D3D_OK);
        EXPECT_EQ(Read(back.get()).bytes, Read(from.get()).bytes) << "face " << face;
    }

    Ref<IDirect3DVolumeTexture8> volumeSource, volumeDest;
    ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 2, 0, 0, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM,
                                           Out(volumeSource)),
              D3D_OK);
    ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 2, 0, D3DUSAGE_DYNAMIC, D3DFMT_DXT5,
                                           D3DPOOL_DEFAULT, Out(volumeDest)),
              D3D_OK);
    FillTexture(volumeSource.get(), 90);
    ASSERT_EQ(device_->UpdateTexture(volumeSource.get(), volumeDest.get()), D3D_OK);
    for (UINT level = 0; level < 3; ++level) {
        D3DVOLUME_DESC desc{};
        ASSERT_EQ(volumeSource->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_BOX from{}, to{};
        ASSERT_EQ(volumeSource->LockBox(level, &from, nullptr, D3DLOCK_READONLY), D3D_OK);
        ASSERT_EQ(volumeDest->LockBox(level, &to, nullptr, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(from.pBits, to.pBits, desc.Size), 0) << "level " << level;
        volumeSource->UnlockBox(level);
        volumeDest->UnlockBox(level);
    }
}

TEST_F(RuntimeCopyTest, UpdateTextureNeedsMatchingTexturesFromSystemMemoryToDefault) {
    struct Spec {
        D3DRESOURCETYPE type;
        UINT size;
        UINT levels;
        D3DFORMAT format;
        D3DPOOL pool;
    };
    auto make = [this](const Spec& s) {
        Ref<IDirect3DBaseTexture8> made;
        if (s.type == D3DRTYPE_TEXTURE) {
            Ref<IDirect3DTexture8> texture;
            EXPECT_EQ(
                device_->CreateTexture(s.size, s.size, s.levels, 0, s.format, s.pool, Out(texture)),
                D3D_OK);
            made.reset(texture.release());
        } else {
            Ref<IDirect3DCubeTexture8> cube;
            EXPECT_EQ(device_->CreateCubeTexture(s.size, s.levels, 0, s.format, s.pool, Out(cube)),
                      D3D_OK);
            made.reset(cube.release());
        }
        return made;
    };
    const Spec good = {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM};
    const Spec goodDest = {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT};
    struct Case {
        const char* what;
        Spec source;
        Spec dest;
    };
    const Case cases[] = {
        {"managed source", {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}, goodDest},
        {"scratch source", {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH}, goodDest},
        {"system-memory destination", good, good},
        {"managed destination", good, {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}},
        {"kinds differ", good, {D3DRTYPE_CUBETEXTURE, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT}},
        {"formats differ", good, {D3DRTYPE_TEXTURE, 8, 2, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT}},
        {"level counts differ", good, {D3DRTYPE_TEXTURE, 8, 3, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT}},
        {"sizes differ", good, {D3DRTYPE_TEXTURE, 16, 2, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ref<IDirect3DBaseTexture8> source = make(c.source);
        Ref<IDirect3DBaseTexture8> dest = make(c.dest);
        EXPECT_EQ(device_->UpdateTexture(source.get(), dest.get()), D3DERR_INVALIDCALL);
    }
    Ref<IDirect3DBaseTexture8> source = make(good);
    Ref<IDirect3DBaseTexture8> dest = make(goodDest);
    EXPECT_EQ(device_->UpdateTexture(nullptr, dest.get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateTexture(source.get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateTexture(source.get(), source.get()), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT locked{};
    auto* texture = static_cast<IDirect3DTexture8*>(source.get());
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(source.get(), dest.get()), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(source.get(), dest.get()), D3D_OK);
}

} // namespace
} // namespace txtest
