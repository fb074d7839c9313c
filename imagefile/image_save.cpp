// Writing an image list to a file: choose what the file format can store,
// convert in place when needed, write a temporary file beside the target and
// move it over the target only when every write succeeded.
#include <cstdio>
#include <memory>
#include <new>

#include "blit/blitter.h"
#include "imagefile/file_name.h"
#include "imagefile/image_file.h"
#include "imagefile/mapped_file.h"
#include "texture/pixel_format.h"
#include "texture/texture.h"

namespace {

// What the BMP and DIB writer can store.
const D3DFORMAT kBmpSaveFormats[] = {D3DFMT_P8, D3DFMT_L8, D3DFMT_R3G3B2, D3DFMT_R8G8B8,
                                     D3DFMT_UNKNOWN};

// What the DDS writer can store. The order takes part in the closest-format
// search's tie-break.
const D3DFORMAT kDdsSaveFormats[] = {
    D3DFMT_R8G8B8,   D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,     D3DFMT_R5G6B5,      D3DFMT_X1R5G5B5,
    D3DFMT_A8P8,     D3DFMT_P8,       D3DFMT_A1R5G5B5,     D3DFMT_A4R4G4B4,    D3DFMT_R3G3B2,
    D3DFMT_A8,       D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4,     D3DFMT_A2B10G10R10, D3DFMT_G16R16,
    D3DFMT_L8,       D3DFMT_A8L8,     D3DFMT_A4L4,         D3DFMT_V8U8,        D3DFMT_L6V5U5,
    D3DFMT_X8L8V8U8, D3DFMT_Q8W8V8U8, D3DFMT_V16U16,       D3DFMT_W11V11U10,   D3DFMT_A2W10V10U10,
    D3DFMT_UYVY,     D3DFMT_YUY2,     D3DFMT_DXT1,         D3DFMT_DXT2,        D3DFMT_DXT3,
    D3DFMT_DXT4,     D3DFMT_DXT5,     D3DFMT_D16_LOCKABLE, D3DFMT_UNKNOWN};

// How many times a save looks for a free temporary name before it gives up.
constexpr int kTemporaryNameAttempts = 100;

// Pitches of a tightly packed image of `format`. Block formats are laid out
// by whole blocks (DXT) or pixel pairs (YUY2, UYVY), so that an image of any
// size fits its buffer.
struct Layout {
    UINT64 rowPitch;
    UINT64 rows;
};

Layout TightLayout(D3DFORMAT format, UINT width, UINT height) {
    if (const UINT blockBytes = D3DDxtBlockBytes(format))
        return {(UINT64(width) + 3) / 4 * blockBytes, (UINT64(height) + 3) / 4};
    if (D3DIsYuvFormat(format)) return {(UINT64(width) + 1) / 2 * 4, height};
    return {UINT64(width) * (TxGetFormatInfo(format)->bitsPerPixel / 8), height};
}

// Converts one image to `target` through the blit engine, ordered dither on.
// The image is left unchanged when the conversion fails.
HRESULT ConvertImage(ImageFile& image, D3DFORMAT target) {
    const Layout layout = TightLayout(target, image.width, image.height);
    const UINT64 slicePitch = layout.rowPitch * layout.rows;
    const UINT64 bytes = slicePitch * image.depth;
    if (layout.rowPitch > 0xFFFFFFFFu || slicePitch > 0xFFFFFFFFu ||
        bytes > ImageFile::MaxPixelBytes)
        return E_OUTOFMEMORY;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[static_cast<size_t>(bytes)]());
    if (!buffer) return E_OUTOFMEMORY;

    PixelBlock source = {};
    source.data = const_cast<BYTE*>(image.pixels); // only read
    source.format = image.format;
    source.rowPitch = image.rowPitch;
    source.slicePitch = image.slicePitch;
    source.bounds = image.box;
    source.box = image.box;
    source.dither = 1;
    source.palette = image.palette;

    const D3DBOX whole = {0, 0, image.width, image.height, 0, image.depth};
    PixelBlock dest = {};
    dest.data = buffer.get();
    dest.format = target;
    dest.rowPitch = static_cast<UINT>(layout.rowPitch);
    dest.slicePitch = static_cast<UINT>(slicePitch);
    dest.bounds = whole;
    dest.box = whole;
    dest.dither = 1;
    dest.palette = image.palette;

    Blitter blitter;
    const HRESULT hr = blitter.Execute(dest, source, TX_FILTER_NONE | TX_FILTER_DITHER);
    if (FAILED(hr)) return hr;

    if (image.pixels && image.ownsPixels) delete[] image.pixels;
    image.pixels = buffer.release();
    image.ownsPixels = TRUE;
    image.format = target;
    image.rowPitch = dest.rowPitch;
    image.slicePitch = dest.slicePitch;
    image.box = whole;
    return S_OK;
}

// Writes the finished file under a temporary name beside `target`, then moves
// it over `target`. A failure at any point removes the temporary file and
// leaves an existing `target` as it was.
template <typename WriteFn>
HRESULT WriteReplacing(const FileName& target, WriteFn write) {
    FileName temporary;
    MappedFile file;
    HRESULT hr = TXERR_INVALIDDATA;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof(suffix), ".~tx%d", attempt);
        const HRESULT named = target.WithSuffix(suffix, &temporary);
        if (FAILED(named)) return named;
        hr = file.CreateNew(temporary);
        if (SUCCEEDED(hr)) break;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (FAILED(hr)) return TXERR_INVALIDDATA;

    HRESULT written = write(file.file);
    // Data the system buffered can still fail to reach the disk at close.
    if (!CloseHandle(file.file) && SUCCEEDED(written)) written = E_FAIL;
    file.file = INVALID_HANDLE_VALUE;
    if (FAILED(written)) {
        temporary.Delete();
        return written;
    }
    if (!temporary.ReplaceFile(target)) {
        temporary.Delete();
        return TXERR_INVALIDDATA;
    }
    return S_OK;
}

} // namespace

HRESULT ImageFile::Save(const void* name, TxImageFileFormat saveFormat, BOOL isWide) {
    const D3DFORMAT* candidates;
    switch (saveFormat) {
    case TX_IFF_BMP:
    case TX_IFF_DIB:
        candidates = kBmpSaveFormats;
        break;
    case TX_IFF_DDS:
        candidates = kDdsSaveFormats;
        break;
    case TX_IFF_JPG:
    case TX_IFF_TGA:
    case TX_IFF_PNG:
    case TX_IFF_PPM:
        return TXERR_INVALIDDATA; // no writer for these
    default:
        return D3DERR_INVALIDCALL;
    }
    for (const ImageFile* face = this; face; face = face->nextFace.get()) {
        for (const ImageFile* level = face; level; level = level->nextLevel.get())
            if (!level->pixels && level->height > 0) return D3DERR_INVALIDCALL;
    }

    const D3DFORMAT target =
        TxFindClosestFormat(candidates, palette != nullptr, TxGetFormatInfo(format));
    if (target == D3DFMT_UNKNOWN) return TXERR_INVALIDDATA;

    if (target != format) {
        for (ImageFile* face = this; face; face = face->nextFace.get()) {
            for (ImageFile* level = face; level; level = level->nextLevel.get()) {
                const HRESULT hr = ConvertImage(*level, target);
                if (FAILED(hr)) return hr;
            }
        }
    }

    // The DDS writer is not part of the library yet: refuse before any file
    // is touched.
    if (saveFormat == TX_IFF_DDS) return E_NOTIMPL;

    FileName fileName;
    HRESULT hr = fileName.Set(name, isWide);
    if (hr == D3DERR_INVALIDCALL) return hr;
    if (FAILED(hr)) return TXERR_INVALIDDATA;

    const BOOL withFileHeader = saveFormat == TX_IFF_BMP;
    hr = WriteReplacing(fileName, [&](HANDLE file) { return SaveDib(file, withFileHeader); });
    return FAILED(hr) ? hr : S_OK;
}
