// The public texture operations of libtx: loading surfaces and volumes,
// creating textures from image files, filtering mipmap levels and saving
// surfaces.
#pragma once

#include "blit/pixel_block.h"
#include "imagefile/image_info.h"
#include "platform/direct3d8.h"
#include "texture/pixel_format.h"

// Asks an operation for the default of a size, level count, filter, source
// level or resource type.
#define TX_DEFAULT 0xFFFFFFFFu

// No reader accepts the image, or a file cannot be opened or created.
#define TXERR_INVALIDDATA (static_cast<HRESULT>(0x88760B59u))

// ---------------------------------------------------------------------------
// Loading surfaces and volumes
// ---------------------------------------------------------------------------
HRESULT TxLoadSurfaceFromMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                const RECT* destRect, LPCVOID srcMemory, D3DFORMAT srcFormat,
                                UINT srcPitch, const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                DWORD filter, D3DCOLOR colorKey);

HRESULT TxLoadVolumeFromMemory(IDirect3DVolume8* destVolume, const PALETTEENTRY* destPalette,
                               const D3DBOX* destBox, LPCVOID srcMemory, D3DFORMAT srcFormat,
                               UINT srcRowPitch, UINT srcSlicePitch, const PALETTEENTRY* srcPalette,
                               const D3DBOX* srcBox, DWORD filter, D3DCOLOR colorKey);

HRESULT TxLoadSurfaceFromSurface(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                 const RECT* destRect, IDirect3DSurface8* srcSurface,
                                 const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                 D3DCOLOR colorKey);

HRESULT TxLoadVolumeFromVolume(IDirect3DVolume8* destVolume, const PALETTEENTRY* destPalette,
                               const D3DBOX* destBox, IDirect3DVolume8* srcVolume,
                               const PALETTEENTRY* srcPalette, const D3DBOX* srcBox, DWORD filter,
                               D3DCOLOR colorKey);

// ---------------------------------------------------------------------------
// Texture creation from image files
// ---------------------------------------------------------------------------
HRESULT TxCheckResourceRequirements(DWORD usage, IDirect3DDevice8* device, UINT* width,
                                    UINT* height, UINT* depth, UINT* mipLevels, D3DFORMAT* format,
                                    D3DPOOL pool, D3DRESOURCETYPE resourceType);

HRESULT TxCreateTextureFromFile(IDirect3DDevice8* device, LPCSTR srcFile,
                                IDirect3DTexture8** texture);

HRESULT TxCreateTextureFromFileEx(IDirect3DDevice8* device, LPCSTR srcFile, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                  ImageInfo* srcInfo, PALETTEENTRY* palette,
                                  IDirect3DTexture8** texture);

HRESULT TxCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, LPCVOID srcData,
                                          UINT srcDataSize, UINT width, UINT height, UINT mipLevels,
                                          DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                          DWORD mipFilter, D3DCOLOR colorKey, ImageInfo* srcInfo,
                                          PALETTEENTRY* palette, IDirect3DTexture8** texture);

// ---------------------------------------------------------------------------
// Mipmap filtering
// ---------------------------------------------------------------------------
HRESULT TxFilterTexture(IDirect3DBaseTexture8* texture, const PALETTEENTRY* palette, UINT srcLevel,
                        DWORD filter);

// ---------------------------------------------------------------------------
// Saving surfaces
// ---------------------------------------------------------------------------
HRESULT TxSaveSurfaceToFile(LPCSTR destFile, TxImageFileFormat destFormat,
                            IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                            const RECT* srcRect);
