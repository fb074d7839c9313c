// Reading an image file without being told its format: the readers are
// offered the data in a fixed order and the first that accepts it wins.
#include "imagefile/image_file.h"
#include "texture/pixel_format.h"
#include "texture/texture.h"

namespace {

using Reader = HRESULT (ImageFile::*)(const BYTE* data, UINT size);

struct ReaderEntry {
    TxImageFileFormat fileFormat;
    Reader read;
};

// Formats with a signature come first; the headerless DIB, which has none,
// comes last. The PPM, DDS, JPEG, PNG and TGA readers take their places
// between BMP and DIB in that order.
const ReaderEntry kReaders[] = {
    {TX_IFF_BMP, &ImageFile::LoadBmp},
    {TX_IFF_DIB, &ImageFile::LoadDib},
};

} // namespace

HRESULT ImageFile::Load(const void* data, UINT size, ImageInfo* info, BOOL wantPixels) {
    if (!data) return TXERR_INVALIDDATA;
    const auto* bytes = static_cast<const BYTE*>(data);

    bool accepted = false;
    for (const ReaderEntry& reader : kReaders) {
        loadPixels = wantPixels;
        fileFormat = reader.fileFormat;
        resourceType = D3DRTYPE_TEXTURE;
        if (SUCCEEDED((this->*reader.read)(bytes, size))) {
            accepted = true;
            break;
        }
        // Whatever the failed reader built goes before the next one starts.
        Release();
    }
    // A reader's own reason (unknown data, unsupported variant, no memory) is
    // not passed on: to the caller the data are simply not a usable image.
    if (!accepted) return TXERR_INVALIDDATA;

    if (info) {
        *info = ImageInfo{};
        info->Width = width;
        info->Height = height;
        info->Depth = depth;
        info->MipLevels = 1;
        for (const ImageFile* level = nextLevel.get(); level; level = level->nextLevel.get())
            ++info->MipLevels;
        info->Format = TxMapToStandardFormat(format);
        info->ResourceType = resourceType;
        info->ImageFileFormat = fileFormat;
    }

    for (ImageFile* face = this; face; face = face->nextFace.get()) {
        for (ImageFile* level = face; level; level = level->nextLevel.get())
            level->box = D3DBOX{0, 0, level->width, level->height, 0, level->depth};
    }
    return S_OK;
}
