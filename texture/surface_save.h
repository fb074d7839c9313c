// The body of surface saving, for narrow and UTF-16 file names.
#pragma once

#include "texture/texture.h"

// Writes `srcRect` of `srcSurface` (null: the whole surface) to the file
// `destFile`, a narrow name or, when `isWide` is set, a UTF-16 one. The
// surface is only read.
HRESULT SaveSurfaceToFileCommon(const void* destFile, TxImageFileFormat destFormat,
                                IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                                const RECT* srcRect, BOOL isWide);
