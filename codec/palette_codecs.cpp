// Palette codecs: D3DFMT_P8 stores an index into the 256-entry palette;
// D3DFMT_A8P8 stores an index in its low byte and its own alpha in the high
// byte, so the palette's alpha is not used by it.
//
// The encoders search all 256 entries for every pixel: the nearest entry by
// squared distance (summed red, green, blue, then alpha), the lowest index on
// ties. The search reads a copy of the palette laid out one channel per array,
// four entries at a time on SSE2; each lane keeps the first best entry of its
// quarter of the palette, and the lanes are merged by distance and then by
// index, which gives exactly the entry of the plain sequential search.
#include <cfloat>

#include "codec/codec_families.h"
#include "codec/pixel_fields.h"
#include "codec/rounding_scope.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct PlanarPalette {
    alignas(16) float r[256];
    alignas(16) float g[256];
    alignas(16) float b[256];
    alignas(16) float a[256];
};

// Index of the nearest entry to c; alpha counts when WithAlpha.
template <bool WithAlpha>
BYTE NearestEntry(const PlanarPalette& p, const ColorF& c) {
#if defined(__SSE2__)
    const __m128 cr = _mm_set1_ps(c.r);
    const __m128 cg = _mm_set1_ps(c.g);
    const __m128 cb = _mm_set1_ps(c.b);
    const __m128 ca = _mm_set1_ps(c.a);
    __m128 bestDistance = _mm_set1_ps(FLT_MAX);
    __m128i bestIndex = _mm_setzero_si128();
    __m128i index = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i four = _mm_set1_epi32(4);
    for (int i = 0; i < 256; i += 4) {
        const __m128 dr = _mm_sub_ps(cr, _mm_load_ps(p.r + i));
        const __m128 dg = _mm_sub_ps(cg, _mm_load_ps(p.g + i));
        const __m128 db = _mm_sub_ps(cb, _mm_load_ps(p.b + i));
        __m128 d = _mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg));
        d = _mm_add_ps(d, _mm_mul_ps(db, db));
        if constexpr (WithAlpha) {
            const __m128 da = _mm_sub_ps(ca, _mm_load_ps(p.a + i));
            d = _mm_add_ps(d, _mm_mul_ps(da, da));
        }
        // Strictly nearer only: an equal distance keeps the earlier entry.
        const __m128i nearer = _mm_castps_si128(_mm_cmplt_ps(d, bestDistance));
        bestDistance = _mm_min_ps(d, bestDistance);
        bestIndex = _mm_or_si128(_mm_and_si128(nearer, index), _mm_andnot_si128(nearer, bestIndex));
        index = _mm_add_epi32(index, four);
    }
    alignas(16) float laneDistance[4];
    alignas(16) int32_t laneIndex[4];
    _mm_store_ps(laneDistance, bestDistance);
    _mm_store_si128(reinterpret_cast<__m128i*>(laneIndex), bestIndex);
    int best = 0;
    for (int lane = 1; lane < 4; ++lane) {
        if (laneDistance[lane] < laneDistance[best] ||
            (laneDistance[lane] == laneDistance[best] && laneIndex[lane] < laneIndex[best])) {
            best = lane;
        }
    }
    return static_cast<BYTE>(laneIndex[best]);
#else
    int best = 0;
    float bestDistance = FLT_MAX;
    for (int i = 0; i < 256; ++i) {
        const float dr = c.r - p.r[i];
        const float dg = c.g - p.g[i];
        const float db = c.b - p.b[i];
        float d = dr * dr + dg * dg;
        d = d + db * db;
        if constexpr (WithAlpha) {
            const float da = c.a - p.a[i];
            d = d + da * da;
        }
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<BYTE>(best);
#endif
}

class PaletteCodec : public PixelCodec {
protected:
    PaletteCodec(const PixelBlock& block, UINT bitsPerPixel)
        : PixelCodec(block, bitsPerPixel, ChannelType::Unsigned) {
        for (int i = 0; i < 256; ++i) {
            planar_.r[i] = palette[i].r;
            planar_.g[i] = palette[i].g;
            planar_.b[i] = palette[i].b;
            planar_.a[i] = palette[i].a;
        }
    }

    PlanarPalette planar_;
};

class CodecP8 final : public PaletteCodec {
public:
    explicit CodecP8(const PixelBlock& block) : PaletteCodec(block, 8) {}

    void DecodeRow(UINT y, UINT z, ColorF* out) override {
        const BYTE* row = RowAddress(y, z);
        for (UINT x = 0; x < width; ++x)
            out[x] = palette[row[x]];
        if (colorKey != 0) ApplyColorKey(out);
    }

    // Nothing is converted to an integer, so neither threshold nor rounding
    // frame applies: dithering has no effect on a P8 destination.
    void EncodeRow(UINT y, UINT z, const ColorF* in) override {
        if (convertFrom != ChannelType::None) in = ConvertRow(in);
        BYTE* row = RowAddress(y, z);
        for (UINT x = 0; x < width; ++x)
            row[x] = NearestEntry<true>(planar_, in[x]);
    }
};

class CodecA8P8 final : public PaletteCodec {
public:
    explicit CodecA8P8(const PixelBlock& block) : PaletteCodec(block, 16) {}

    void DecodeRow(UINT y, UINT z, ColorF* out) override {
        const BYTE* row = RowAddress(y, z);
        for (UINT x = 0; x < width; ++x) {
            const ColorF& entry = palette[row[2 * size_t(x)]];
            out[x] = {entry.r, entry.g, entry.b, row[2 * size_t(x) + 1] * kUnorm8Factor};
        }
        if (colorKey != 0) ApplyColorKey(out);
    }

    // The whole row, search included, runs in the encoders' rounding frame.
    void EncodeRow(UINT y, UINT z, const ColorF* in) override {
        if (convertFrom != ChannelType::None) in = ConvertRow(in);
        TruncatingRoundingScope rounding;
        const float* t = thresholds[y & 3];
        BYTE* row = RowAddress(y, z);
        for (UINT x = 0; x < width; ++x) {
            row[2 * size_t(x)] = NearestEntry<false>(planar_, in[x]);
            row[2 * size_t(x) + 1] =
                static_cast<BYTE>(QuantiseUnorm(in[x].a, UnormEncodeScale(8), t[(x + z) & 3]));
        }
    }
};

} // namespace

std::unique_ptr<PixelCodec> CreatePaletteCodec(const PixelBlock& block) {
    switch (block.format) {
    case D3DFMT_P8:
        return MakeCodec<CodecP8>(block);
    case D3DFMT_A8P8:
        return MakeCodec<CodecA8P8>(block);
    default:
        return nullptr;
    }
}
