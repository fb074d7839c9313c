// Texture creation from image files: decide size, levels, format and palette
// from the file, the caller and the device; create the resource; fill the
// levels the file supplies and make the others.
#include "texture/texture_create.h"

#include <cstring>

#include "imagefile/mapped_file.h"
#include "texture/com_ref.h"

namespace {

bool IsKnownResourceType(D3DRESOURCETYPE type) {
    return type == D3DRTYPE_TEXTURE || type == D3DRTYPE_CUBETEXTURE ||
           type == D3DRTYPE_VOLUMETEXTURE;
}

UINT ChainLength(const ImageFile* image) {
    UINT length = 0;
    for (; image; image = image->nextLevel.get())
        ++length;
    return length;
}

// The faces of the file (one, or six for a cube texture) and the number of
// levels each of them has.
struct FileFaces {
    const ImageFile* faces[6] = {};
    UINT faceCount = 0;
    UINT levelCount = 0;
};

HRESULT CollectFaces(const ImageFile& image, D3DRESOURCETYPE type, FileFaces* file) {
    file->faces[0] = &image;
    file->faceCount = 1;
    file->levelCount = ChainLength(&image);
    if (type != D3DRTYPE_CUBETEXTURE) return S_OK;

    UINT count = 0;
    for (const ImageFile* face = &image; face; face = face->nextFace.get()) {
        if (count == 6) return E_FAIL;
        file->faces[count++] = face;
    }
    if (count != 6) return E_FAIL;
    // Faces are filled level by level alike; one with a shorter chain would
    // leave levels of its own unfilled.
    for (const ImageFile* face : file->faces)
        if (ChainLength(face) != file->levelCount) return E_FAIL;
    file->faceCount = 6;
    return S_OK;
}

UINT SizeOr(UINT requested, UINT fromImage) {
    return requested == 0 || requested == TX_DEFAULT ? fromImage : requested;
}

DWORD FilterKind(DWORD filter) {
    return filter & 0xFFu;
}

// The image's own format, or with a colour key on a format without alpha the
// nearest one that has alpha, so that keyed pixels can become transparent.
D3DFORMAT FormatForImage(const ImageFile& image, D3DCOLOR colorKey, D3DPOOL pool) {
    D3DFORMAT format = image.format;
    if (colorKey != 0) {
        const FormatInfo* row = TxGetFormatInfo(format);
        const bool canTakeAlpha = row->kind == FORMAT_KIND_COLOR ||
                                  row->kind == FORMAT_KIND_PALETTIZED ||
                                  row->kind == FORMAT_KIND_LUMINANCE;
        if (canTakeAlpha && row->alphaBits == 0) {
            FormatInfo withAlpha = *row;
            withAlpha.format = D3DFMT_UNKNOWN;
            withAlpha.alphaBits = 1;
            const D3DFORMAT keyed =
                TxFindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, &withAlpha);
            if (keyed != D3DFMT_UNKNOWN) format = keyed;
        }
    }
    format = TxMapToStandardFormat(format);
    // Devices do not texture from 24-bit pixels; only scratch resources,
    // which no device uses, keep them.
    if (pool != D3DPOOL_SCRATCH && format == D3DFMT_R8G8B8) format = D3DFMT_X8R8G8B8;
    return format;
}

// Fills the palette every load reads the image with. A palette image carries
// the colour key in its palette (a keyed entry becomes transparent black)
// and the key is not needed any more; otherwise the loads apply the key to
// the decoded pixels. Returns the key left for the loads.
D3DCOLOR BuildLoadPalette(const ImageFile& image, D3DCOLOR colorKey, PALETTEENTRY* palette) {
    if (!image.palette) {
        std::memset(palette, 0xFF, 256 * sizeof(PALETTEENTRY));
        return colorKey;
    }
    const PALETTEENTRY key = {static_cast<BYTE>(colorKey >> 16), static_cast<BYTE>(colorKey >> 8),
                              static_cast<BYTE>(colorKey), static_cast<BYTE>(colorKey >> 24)};
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = image.palette[i];
        const bool keyed = entry.peRed == key.peRed && entry.peGreen == key.peGreen &&
                           entry.peBlue == key.peBlue && entry.peFlags == key.peFlags;
        palette[i] = keyed ? PALETTEENTRY{0, 0, 0, 0} : entry;
    }
    return 0;
}

// Without a palette buffer the caller could not use palette indices: such
// formats become the nearest direct-colour ones, with alpha when the palette
// has any.
D3DFORMAT WithoutPalette(D3DFORMAT format, const PALETTEENTRY* palette) {
    if (format == D3DFMT_A8P8) return D3DFMT_A8R8G8B8;
    if (format != D3DFMT_P8) return format;
    for (int i = 0; i < 256; ++i)
        if (palette[i].peFlags != 0xFF) return D3DFMT_A8R8G8B8;
    return D3DFMT_X8R8G8B8;
}

// A created texture, cube texture or volume texture, with access to its
// levels, released unless handed out.
class Resource {
public:
    HRESULT Create(IDirect3DDevice8* device, D3DRESOURCETYPE type, UINT width, UINT height,
                   UINT depth, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
        type_ = type;
        HRESULT hr;
        switch (type) {
        case D3DRTYPE_CUBETEXTURE: {
            IDirect3DCubeTexture8* cube = nullptr;
            hr = device->CreateCubeTexture(width, levels, usage, format, pool, &cube);
            texture_.Reset(SUCCEEDED(hr) ? cube : nullptr);
            break;
        }
        case D3DRTYPE_VOLUMETEXTURE: {
            IDirect3DVolumeTexture8* volume = nullptr;
            hr = device->CreateVolumeTexture(width, height, depth, levels, usage, format, pool,
                                             &volume);
            texture_.Reset(SUCCEEDED(hr) ? volume : nullptr);
            break;
        }
        default: {
            IDirect3DTexture8* texture = nullptr;
            hr = device->CreateTexture(width, height, levels, usage, format, pool, &texture);
            texture_.Reset(SUCCEEDED(hr) ? texture : nullptr);
            break;
        }
        }
        return hr;
    }

    IDirect3DBaseTexture8* get() const { return texture_.get(); }
    IDirect3DBaseTexture8* Detach() { return texture_.Detach(); }
    bool IsVolume() const { return type_ == D3DRTYPE_VOLUMETEXTURE; }

    HRESULT GetSurface(UINT face, UINT level, IDirect3DSurface8** surface) const {
        if (type_ == D3DRTYPE_CUBETEXTURE)
            return static_cast<IDirect3DCubeTexture8*>(texture_.get())
                ->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, surface);
        return static_cast<IDirect3DTexture8*>(texture_.get())->GetSurfaceLevel(level, surface);
    }

    HRESULT GetVolume(UINT level, IDirect3DVolume8** volume) const {
        return static_cast<IDirect3DVolumeTexture8*>(texture_.get())->GetVolumeLevel(level, volume);
    }

private:
    D3DRESOURCETYPE type_ = D3DRTYPE_TEXTURE;
    ComRef<IDirect3DBaseTexture8> texture_;
};

// How every level is read from the image.
struct LevelSource {
    const PALETTEENTRY* destPalette;   // the caller's buffer, or null
    const PALETTEENTRY* sourcePalette; // the palette built for the loads
    DWORD filter;
    D3DCOLOR colorKey;
};

HRESULT LoadLevel(const Resource& target, UINT face, UINT level, const ImageFile& image,
                  const LevelSource& how) {
    if (target.IsVolume()) {
        ComRef<IDirect3DVolume8> volume;
        const HRESULT hr = target.GetVolume(level, volume.Receive());
        if (FAILED(hr)) return hr;
        return TxLoadVolumeFromMemory(volume.get(), how.destPalette, nullptr, image.pixels,
                                      image.format, image.rowPitch, image.slicePitch,
                                      how.sourcePalette, &image.box, how.filter, how.colorKey);
    }
    ComRef<IDirect3DSurface8> surface;
    const HRESULT hr = target.GetSurface(face, level, surface.Receive());
    if (FAILED(hr)) return hr;
    const RECT rect = {static_cast<LONG>(image.box.Left), static_cast<LONG>(image.box.Top),
                       static_cast<LONG>(image.box.Right), static_cast<LONG>(image.box.Bottom)};
    return TxLoadSurfaceFromMemory(surface.get(), how.destPalette, nullptr, image.pixels,
                                   image.format, image.rowPitch, how.sourcePalette, &rect,
                                   how.filter, how.colorKey);
}

// Fills the levels of one face that the file supplies and, when
// `resampleRest` is set, every further level straight from the file's
// smallest one.
HRESULT LoadFace(const Resource& target, UINT face, const ImageFile* top, UINT levelCount,
                 bool resampleRest, const LevelSource& how) {
    const ImageFile* smallest = nullptr;
    UINT level = 0;
    for (const ImageFile* image = top; image && level < levelCount;
         image = image->nextLevel.get(), ++level) {
        const HRESULT hr = LoadLevel(target, face, level, *image, how);
        if (FAILED(hr)) return hr;
        smallest = image;
    }
    if (!resampleRest || !smallest) return S_OK;
    for (; level < levelCount; ++level) {
        const HRESULT hr = LoadLevel(target, face, level, *smallest, how);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

} // namespace

HRESULT CreateResourceFromImage(IDirect3DDevice8* device, const ImageFile& image,
                                const ResourceRequest& request, IDirect3DBaseTexture8** resource) {
    if (resource) *resource = nullptr;
    if (!device || !resource) return D3DERR_INVALIDCALL;
    const D3DRESOURCETYPE type = request.resourceType == static_cast<D3DRESOURCETYPE>(TX_DEFAULT)
                                     ? image.resourceType
                                     : request.resourceType;
    if (!IsKnownResourceType(type)) return D3DERR_INVALIDCALL;

    FileFaces file;
    HRESULT hr = CollectFaces(image, type, &file);
    if (FAILED(hr)) return hr;

    UINT width = SizeOr(request.width, image.width);
    UINT height = SizeOr(request.height, image.height);
    UINT depth = SizeOr(request.depth, image.depth);
    DWORD filter =
        request.filter == TX_DEFAULT ? (TX_FILTER_TRIANGLE | TX_FILTER_DITHER) : request.filter;
    DWORD mipFilter = request.mipFilter == TX_DEFAULT ? TX_FILTER_BOX : request.mipFilter;
    if (type == D3DRTYPE_CUBETEXTURE) {
        // Neighbouring faces meet at their edges: resampling must not wrap
        // one edge of a face onto the opposite one.
        filter |= TX_FILTER_MIRROR;
        mipFilter |= TX_FILTER_MIRROR;
    }
    // Point and box filtering halve well from level to level; the other
    // filters make each missing level from the file's smallest image.
    const bool filterMissingLevels = FilterKind(filter) == TX_FILTER_NONE ||
                                     FilterKind(mipFilter) == TX_FILTER_POINT ||
                                     FilterKind(mipFilter) == TX_FILTER_BOX;

    const DWORD usage = request.usage == TX_DEFAULT ? 0 : request.usage;
    D3DFORMAT format = request.format == D3DFMT_UNKNOWN
                           ? FormatForImage(image, request.colorKey, request.pool)
                           : request.format;
    PALETTEENTRY palette[256];
    const D3DCOLOR colorKey = BuildLoadPalette(image, request.colorKey, palette);
    if (request.palette)
        std::memcpy(request.palette, palette, sizeof palette);
    else
        format = WithoutPalette(format, palette);

    // Default-pool textures cannot be locked unless dynamic: their levels are
    // filled in a system-memory twin that the device then copies over.
    const bool staged = request.pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC);
    UINT levels = request.mipLevels;
    hr = TxCheckResourceRequirements(usage, device, &width, &height, &depth, &levels, &format,
                                     request.pool, type);
    if (FAILED(hr)) return hr;

    Resource created;
    hr = created.Create(device, type, width, height, depth, levels, usage, format, request.pool);
    if (FAILED(hr)) return hr;
    Resource staging;
    if (staged) {
        hr = staging.Create(device, type, width, height, depth, levels, 0, format,
                            D3DPOOL_SYSTEMMEM);
        if (FAILED(hr)) return hr;
    }
    const Resource& target = staged ? staging : created;
    const UINT levelCount = target.get()->GetLevelCount();

    const LevelSource how = {request.palette, palette, filter, colorKey};
    for (UINT face = 0; face < file.faceCount; ++face) {
        hr = LoadFace(target, face, file.faces[face], levelCount, !filterMissingLevels, how);
        if (FAILED(hr)) return hr;
    }
    if (filterMissingLevels && levelCount > file.levelCount) {
        hr = TxFilterTexture(target.get(), palette, file.levelCount - 1, mipFilter);
        if (FAILED(hr)) return hr;
    }
    if (staged) {
        hr = device->UpdateTexture(staging.get(), created.get());
        if (FAILED(hr)) return hr;
    }
    *resource = created.Detach();
    return S_OK;
}

HRESULT CreateResourceFromFileInMemory(IDirect3DDevice8* device, LPCVOID srcData, UINT srcDataSize,
                                       UINT width, UINT height, UINT depth, UINT mipLevels,
                                       DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                       DWORD mipFilter, D3DCOLOR colorKey, ImageInfo* srcInfo,
                                       PALETTEENTRY* palette, D3DRESOURCETYPE resourceType,
                                       IDirect3DBaseTexture8** resource) {
    if (resource) *resource = nullptr;
    if (!device || !srcData || srcDataSize == 0 || !resource) return D3DERR_INVALIDCALL;

    ImageFile image;
    const HRESULT hr = image.Load(srcData, srcDataSize, srcInfo, TRUE);
    if (FAILED(hr)) return hr;

    ResourceRequest request;
    request.width = width;
    request.height = height;
    request.depth = depth;
    request.mipLevels = mipLevels;
    request.usage = usage;
    request.format = format;
    request.pool = pool;
    request.filter = filter;
    request.mipFilter = mipFilter;
    request.colorKey = colorKey;
    request.palette = palette;
    request.resourceType = resourceType;
    return CreateResourceFromImage(device, image, request, resource);
}

HRESULT TxCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, LPCVOID srcData,
                                          UINT srcDataSize, UINT width, UINT height, UINT mipLevels,
                                          DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                          DWORD mipFilter, D3DCOLOR colorKey, ImageInfo* srcInfo,
                                          PALETTEENTRY* palette, IDirect3DTexture8** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    IDirect3DBaseTexture8* created = nullptr;
    const HRESULT hr = CreateResourceFromFileInMemory(
        device, srcData, srcDataSize, width, height, 1, mipLevels, usage, format, pool, filter,
        mipFilter, colorKey, srcInfo, palette, D3DRTYPE_TEXTURE, &created);
    if (FAILED(hr)) return hr;
    *texture = static_cast<IDirect3DTexture8*>(created);
    return S_OK;
}

HRESULT TxCreateTextureFromFileEx(IDirect3DDevice8* device, LPCSTR srcFile, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                  ImageInfo* srcInfo, PALETTEENTRY* palette,
                                  IDirect3DTexture8** texture) {
    if (texture) *texture = nullptr;
    if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
    // The readers may leave the image's pixels in the mapped view: the file
    // stays open until the texture is filled.
    MappedFile file;
    const HRESULT hr = file.Open(srcFile, FALSE);
    if (FAILED(hr)) return hr;
    return TxCreateTextureFromFileInMemoryEx(device, file.view, file.size, width, height, mipLevels,
                                             usage, format, pool, filter, mipFilter, colorKey,
                                             srcInfo, palette, texture);
}

HRESULT TxCreateTextureFromFile(IDirect3DDevice8* device, LPCSTR srcFile,
                                IDirect3DTexture8** texture) {
    return TxCreateTextureFromFileEx(device, srcFile, TX_DEFAULT, TX_DEFAULT, TX_DEFAULT, 0,
                                     D3DFMT_UNKNOWN, D3DPOOL_MANAGED, TX_DEFAULT, TX_DEFAULT, 0,
                                     nullptr, nullptr, texture);
}
