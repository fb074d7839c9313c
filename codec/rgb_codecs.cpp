// Packed RGB codecs, with or without alpha.
#include "codec/codec_families.h"
#include "codec/packed_codec.h"

namespace {

// Layouts: bytes per pixel; red, green, blue, alpha and luminance fields as
// {lowest bit, width} ({} when not stored); decoded value of missing channels.
// Bits that no field covers are written as 0.
constexpr PackedLayout kR8G8B8{3, {16, 8}, {8, 8}, {0, 8}, {}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kA8R8G8B8{4, {16, 8}, {8, 8}, {0, 8}, {24, 8}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kX8R8G8B8{4, {16, 8}, {8, 8}, {0, 8}, {}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kR5G6B5{2, {11, 5}, {5, 6}, {0, 5}, {}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kX1R5G5B5{2, {10, 5}, {5, 5}, {0, 5}, {}, {}, {0, 0, 0, 1}};
// The 1-bit alpha is set where a + threshold reaches 1.
constexpr PackedLayout kA1R5G5B5{2, {10, 5}, {5, 5}, {0, 5}, {15, 1}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kA4R4G4B4{2, {8, 4}, {4, 4}, {0, 4}, {12, 4}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kX4R4G4B4{2, {8, 4}, {4, 4}, {0, 4}, {}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kR3G3B2{1, {5, 3}, {2, 3}, {0, 2}, {}, {}, {0, 0, 0, 1}};
constexpr PackedLayout kA8R3G3B2{2, {5, 3}, {2, 3}, {0, 2}, {8, 8}, {}, {0, 0, 0, 1}};

// Three separate bytes, blue first, read and written as a 24-bit value.
class CodecR8G8B8 final : public PackedCodec<kR8G8B8> {
    using PackedCodec::PackedCodec;
};
class CodecA8R8G8B8 final : public PackedCodec<kA8R8G8B8> {
    using PackedCodec::PackedCodec;
};
class CodecX8R8G8B8 final : public PackedCodec<kX8R8G8B8> {
    using PackedCodec::PackedCodec;
};
class CodecR5G6B5 final : public PackedCodec<kR5G6B5> {
    using PackedCodec::PackedCodec;
};
class CodecX1R5G5B5 final : public PackedCodec<kX1R5G5B5> {
    using PackedCodec::PackedCodec;
};
class CodecA1R5G5B5 final : public PackedCodec<kA1R5G5B5> {
    using PackedCodec::PackedCodec;
};
class CodecA4R4G4B4 final : public PackedCodec<kA4R4G4B4> {
    using PackedCodec::PackedCodec;
};
class CodecX4R4G4B4 final : public PackedCodec<kX4R4G4B4> {
    using PackedCodec::PackedCodec;
};
class CodecR3G3B2 final : public PackedCodec<kR3G3B2> {
    using PackedCodec::PackedCodec;
};
class CodecA8R3G3B2 final : public PackedCodec<kA8R3G3B2> {
    using PackedCodec::PackedCodec;
};

} // namespace

std::unique_ptr<PixelCodec> CreateRgbCodec(const PixelBlock& block) {
    switch (block.format) {
    case D3DFMT_R8G8B8:
        return MakeCodec<CodecR8G8B8>(block);
    case D3DFMT_A8R8G8B8:
        return MakeCodec<CodecA8R8G8B8>(block);
    case D3DFMT_X8R8G8B8:
        return MakeCodec<CodecX8R8G8B8>(block);
    case D3DFMT_R5G6B5:
        return MakeCodec<CodecR5G6B5>(block);
    case D3DFMT_X1R5G5B5:
        return MakeCodec<CodecX1R5G5B5>(block);
    case D3DFMT_A1R5G5B5:
        return MakeCodec<CodecA1R5G5B5>(block);
    case D3DFMT_A4R4G4B4:
        return MakeCodec<CodecA4R4G4B4>(block);
    case D3DFMT_X4R4G4B4:
        return MakeCodec<CodecX4R4G4B4>(block);
    case D3DFMT_R3G3B2:
        return MakeCodec<CodecR3G3B2>(block);
    case D3DFMT_A8R3G3B2:
        return MakeCodec<CodecA8R3G3B2>(block);
    default:
        return nullptr;
    }
}
