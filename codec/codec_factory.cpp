// CreatePixelCodec: the codec of a block is chosen by its format alone.
#include "codec/codec_families.h"

namespace {

using FamilyCreator = std::unique_ptr<PixelCodec> (*)(const PixelBlock&);

// Every family of codecs. The signed (bump-map), lockable depth, wide-channel
// (10- and 16-bit fields, the extended 16-bit formats), YUV and DXT families
// join this list as they are written; until then their formats have no codec.
constexpr FamilyCreator kFamilies[] = {
    CreateRgbCodec,
    CreateAlphaLuminanceCodec,
    CreatePaletteCodec,
};

} // namespace

std::unique_ptr<PixelCodec> CreatePixelCodec(const PixelBlock& block) {
    for (FamilyCreator create : kFamilies) {
        std::unique_ptr<PixelCodec> codec = create(block);
        if (!codec) continue;
        // Quantised once here, so that every decoded row compares exactly.
        if (codec->colorKey != 0) codec->PrepareColorKey();
        return codec;
    }
    return nullptr;
}
