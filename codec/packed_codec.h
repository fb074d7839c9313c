// The codec of every format whose pixel is one integer of unsigned fields.
// Each format is a PackedLayout written out once; the row loops are compiled
// for each layout, so every field's shift, width and scale is a constant.
//
// A row runs eight pixels at a time where the processor has AVX2, then four at
// a time with SSE2 (always present on x86-64), then pixel by pixel. All three
// give the same bits: each does, per field, exactly the scalar operations of
// packed_layout.h. The dither threshold of pixel x is threshold row
// [(x + z) mod 4]; for groups that start at multiples of 4 that is one
// constant vector for the whole row.
#pragma once

#include <memory>
#include <new>

#include "codec/packed_layout.h"
#include "codec/rounding_scope.h"

#if defined(__SSE2__)
#define TX_CODEC_SSE2 1
#include "codec/packed_sse2.h"
#endif
#include "codec/simd_support.h"
#if TX_CODEC_AVX2
#include "codec/packed_avx2.h"
#endif

// What every packed codec shares, whatever its layout (codec/packed_access.h):
// the layout itself, and another codec of the layout for other memory.
class PackedCodecBase : public PixelCodec {
public:
    PackedCodecBase(const PixelBlock& block, const PackedLayout& layout)
        : PixelCodec(block, layout.bytesPerPixel * 8, ChannelType::Unsigned), layout_(layout) {}

    const PackedLayout& layout() const { return layout_; }
    // Null when memory runs out.
    virtual std::unique_ptr<PixelCodec> WithBlock(const PixelBlock& block) const = 0;

private:
    const PackedLayout& layout_;
};

template <const PackedLayout& L>
class PackedCodec : public PackedCodecBase {
public:
    explicit PackedCodec(const PixelBlock& block) : PackedCodecBase(block, L) {}

    std::unique_ptr<PixelCodec> WithBlock(const PixelBlock& block) const override {
        return std::unique_ptr<PixelCodec>(new (std::nothrow) PackedCodec<L>(block));
    }

    void DecodeRow(UINT y, UINT z, ColorF* out) override {
        constexpr size_t kBytes = L.bytesPerPixel;
        const BYTE* row = RowAddress(y, z);
        UINT x = 0;
#if TX_CODEC_AVX2
        if (UseAvx2()) x = packed::DecodeEights<L>(row, out, width);
#endif
#if TX_CODEC_SSE2
        for (; width - x >= 4; x += 4) {
            packed::DecodeFour<L>(row + kBytes * x, out + x);
        }
#endif
        for (; x < width; ++x) {
            out[x] = packed::DecodePixel<L>(packed::LoadPixel<kBytes>(row + kBytes * x));
        }
        if (colorKey != 0) ApplyColorKey(out);
    }

    void EncodeRow(UINT y, UINT z, const ColorF* in) override {
        constexpr size_t kBytes = L.bytesPerPixel;
        if (convertFrom != ChannelType::None) in = ConvertRow(in);
        TruncatingRoundingScope rounding;
        const float* t = thresholds[y & 3];
        BYTE* row = RowAddress(y, z);
        UINT x = 0;
#if TX_CODEC_AVX2
        if (UseAvx2()) x = packed::EncodeEights<L>(in, t, z, row, width);
#endif
#if TX_CODEC_SSE2
        const __m128 t4 = _mm_setr_ps(t[z & 3], t[(z + 1) & 3], t[(z + 2) & 3], t[(z + 3) & 3]);
        for (; width - x >= 4; x += 4) {
            packed::EncodeFour<L>(in + x, t4, row + kBytes * x);
        }
#endif
        for (; x < width; ++x) {
            packed::StorePixel<kBytes>(row + kBytes * x,
                                       packed::EncodePixel<L>(in[x], t[(x + z) & 3]));
        }
    }
};
