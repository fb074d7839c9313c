// Access to packed codecs for code outside the codecs.
#include "codec/packed_codec.h"

#include "codec/packed_access.h"

const PackedLayout* PackedLayoutOf(const PixelCodec& codec) {
    const auto* packed = dynamic_cast<const PackedCodecBase*>(&codec);
    return packed != nullptr ? &packed->layout() : nullptr;
}

std::unique_ptr<PixelCodec> SamePackedCodec(const PixelCodec& like, const PixelBlock& block) {
    const auto* packed = dynamic_cast<const PackedCodecBase*>(&like);
    if (packed == nullptr) return nullptr;
    std::unique_ptr<PixelCodec> codec = packed->WithBlock(block);
    if (codec && codec->colorKey != 0) codec->PrepareColorKey();
    return codec;
}
