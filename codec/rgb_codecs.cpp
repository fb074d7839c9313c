// Packed RGB codecs, with or without alpha.
#include <new>

#include "codec/codec_families.h"
#include "codec/packed_codec.h"

namespace {

// bytes, red, green, blue, alpha, luminance, decoded value of missing channels
constexpr PackedLayout kA8R8G8B8{4, {16, 8}, {8, 8}, {0, 8}, {24, 8}, {}, {0, 0, 0, 1}};
// Bits 24-31 unused, written as 0.
constexpr PackedLayout kX8R8G8B8{4, {16, 8}, {8, 8}, {0, 8}, {}, {}, {0, 0, 0, 1}};

class CodecA8R8G8B8 final : public PackedCodec<kA8R8G8B8> {
    using PackedCodec::PackedCodec;
};
class CodecX8R8G8B8 final : public PackedCodec<kX8R8G8B8> {
    using PackedCodec::PackedCodec;
};

template <class Codec>
std::unique_ptr<PixelCodec> Make(const PixelBlock& block) {
    return std::unique_ptr<PixelCodec>(new (std::nothrow) Codec(block));
}

} // namespace

std::unique_ptr<PixelCodec> CreateRgbCodec(const PixelBlock& block) {
    switch (block.format) {
    case D3DFMT_A8R8G8B8:
        return Make<CodecA8R8G8B8>(block);
    case D3DFMT_X8R8G8B8:
        return Make<CodecX8R8G8B8>(block);
    default:
        return nullptr;
    }
}
