// Alpha-only and luminance codecs. Luminance is encoded from
// 0.2125 r + 0.7154 g + 0.0721 b and decoded into red, green and blue alike.
#include "codec/codec_families.h"
#include "codec/packed_codec.h"

namespace {

// Layouts as in rgb_codecs.cpp: bytes; red, green, blue, alpha, luminance;
// decoded value of missing channels.
// Only alpha is stored: every pixel decodes to black with its alpha.
constexpr PackedLayout kA8{1, {}, {}, {}, {0, 8}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kL8{1, {}, {}, {}, {}, {0, 8}, {0, 0, 0, 1}};
constexpr PackedLayout kA8L8{2, {}, {}, {}, {8, 8}, {0, 8}, {0, 0, 0, 1}};
constexpr PackedLayout kA4L4{1, {}, {}, {}, {4, 4}, {0, 4}, {0, 0, 0, 1}};

class CodecA8 final : public PackedCodec<kA8> {
    using PackedCodec::PackedCodec;
};
class CodecL8 final : public PackedCodec<kL8> {
    using PackedCodec::PackedCodec;
};
class CodecA8L8 final : public PackedCodec<kA8L8> {
    using PackedCodec::PackedCodec;
};
class CodecA4L4 final : public PackedCodec<kA4L4> {
    using PackedCodec::PackedCodec;
};

} // namespace

std::unique_ptr<PixelCodec> CreateAlphaLuminanceCodec(const PixelBlock& block) {
    switch (block.format) {
    case D3DFMT_A8:
        return MakeCodec<CodecA8>(block);
    case D3DFMT_L8:
        return MakeCodec<CodecL8>(block);
    case D3DFMT_A8L8:
        return MakeCodec<CodecA8L8>(block);
    case D3DFMT_A4L4:
        return MakeCodec<CodecA4L4>(block);
    default:
        return nullptr;
    }
}
