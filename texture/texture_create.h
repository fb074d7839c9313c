// The common body of texture creation from image files, inside the library.
#pragma once

#include "imagefile/image_file.h"
#include "texture/texture.h"

// Creates a texture, cube texture or volume texture (`resourceType`, or
// TX_DEFAULT for what the file describes) from an image file held in memory,
// and fills every level. The created interface reaches `resource` only on
// success; `srcInfo` and `palette`, when given, receive the file's
// description and the palette the texture was made with.
HRESULT CreateResourceFromFileInMemory(IDirect3DDevice8* device, LPCVOID srcData, UINT srcDataSize,
                                       UINT width, UINT height, UINT depth, UINT mipLevels,
                                       DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                       DWORD mipFilter, D3DCOLOR colorKey, ImageInfo* srcInfo,
                                       PALETTEENTRY* palette, D3DRESOURCETYPE resourceType,
                                       IDirect3DBaseTexture8** resource);

// What the caller of a creation wishes; TX_DEFAULT and D3DFMT_UNKNOWN leave
// the choice to the image and the device.
struct ResourceRequest {
    UINT width = TX_DEFAULT;
    UINT height = TX_DEFAULT;
    UINT depth = TX_DEFAULT;
    UINT mipLevels = TX_DEFAULT;
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_MANAGED;
    DWORD filter = TX_DEFAULT;
    DWORD mipFilter = TX_DEFAULT;
    D3DCOLOR colorKey = 0;
    PALETTEENTRY* palette = nullptr; // receives the palette when given
    D3DRESOURCETYPE resourceType = static_cast<D3DRESOURCETYPE>(TX_DEFAULT);
};

// The creation from an image already decoded: a reader's list of faces and
// levels, whose pixels must stay valid for the call.
HRESULT CreateResourceFromImage(IDirect3DDevice8* device, const ImageFile& image,
                                const ResourceRequest& request, IDirect3DBaseTexture8** resource);
