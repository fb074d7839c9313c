// Palette codecs: D3DFMT_P8 stores an index into the 256-entry palette;
// D3DFMT_A8P8 stores an index in its low byte and its own alpha in the high
// byte, so the palette's alpha is not used by it.
//
// The encoders search all 256 entries for every pixel: the nearest entry by
// squared distance (summed red, green, blue, then alpha), the lowest index on
// ties. The search reads a copy of the palette laid out one channel per array,
// eight entries at a time with AVX2 or four with SSE2: each lane keeps the
// first best entry of its share of the palette, and the lanes are merged by
// distance and then by index, which gives exactly the entry of the plain
// sequential search.
#include <cfloat>

#include "codec/codec_families.h"
#include "codec/pixel_fields.h"
#include "codec/rounding_scope.h"
#include "codec/simd_support.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if TX_CODEC_AVX2
#include <immintrin.h>
#endif

namespace {

struct PlanarPalette {
    alignas(32) float r[256];
    alignas(32) float g[256];
    alignas(32) float b[256];
    alignas(32) float a[256];
};

#if defined(__SSE2__) || TX_CODEC_AVX2
// The entry that a search keeps when its lanes disagree: the smallest
// distance, then the lowest index. A lane that never found a distance below
// the largest float holds index 0, as the sequential search would.
BYTE MergeLanes(const float* distance, const int32_t* index, int lanes) {
    int best = 0;
    for (int lane = 1; lane < lanes; ++lane) {
        if (distance[lane] < distance[best] ||
            (distance[lane] == distance[best] && index[lane] < index[best])) {
            best = lane;
        }
    }
    return static_cast<BYTE>(index[best]);
}
#endif

// Index of the nearest entry to c, summing red, green, blue and, when
// WithAlpha, alpha. The plain sequential search; the vector searches below
// give the same entry.
template <bool WithAlpha>
BYTE NearestEntryScalar(const PlanarPalette& p, const ColorF& c) {
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
}

#if defined(__SSE2__)
template <bool WithAlpha>
BYTE NearestEntrySse2(const PlanarPalette& p, const ColorF& c) {
    const __m128 cr = _mm_set1_ps(c.r), cg = _mm_set1_ps(c.g), cb = _mm_set1_ps(c.b);
    const __m128 ca = _mm_set1_ps(c.a);
    __m128 bestDistance = _mm_set1_ps(FLT_MAX);
    __m128i bestIndex = _mm_setzero_si128();
    __m128i index = _mm_setr_epi32(0, 1, 2, 3);
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
        index = _mm_add_epi32(index, _mm_set1_epi32(4));
    }
    alignas(16) float laneDistance[4];
    alignas(16) int32_t laneIndex[4];
    _mm_store_ps(laneDistance, bestDistance);
    _mm_store_si128(reinterpret_cast<__m128i*>(laneIndex), bestIndex);
    return MergeLanes(laneDistance, laneIndex, 4);
}
#endif

#if TX_CODEC_AVX2
template <bool WithAlpha>
TX_TARGET_AVX2 BYTE NearestEntryAvx2(const PlanarPalette& p, const ColorF& c) {
    const __m256 cr = _mm256_set1_ps(c.r), cg = _mm256_set1_ps(c.g), cb = _mm256_set1_ps(c.b);
    const __m256 ca = _mm256_set1_ps(c.a);
    __m256 bestDistance = _mm256_set1_ps(FLT_MAX);
    __m256i bestIndex = _mm256_setzero_si256();
    __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int i = 0; i < 256; i += 8) {
        const __m256 dr = _mm256_sub_ps(cr, _mm256_loadu_ps(p.r + i));
        const __m256 dg = _mm256_sub_ps(cg, _mm256_loadu_ps(p.g + i));
        const __m256 db = _mm256_sub_ps(cb, _mm256_loadu_ps(p.b + i));
        __m256 d = _mm256_add_ps(_mm256_mul_ps(dr, dr), _mm256_mul_ps(dg, dg));
        d = _mm256_add_ps(d, _mm256_mul_ps(db, db));
        if constexpr (WithAlpha) {
            const __m256 da = _mm256_sub_ps(ca, _mm256_loadu_ps(p.a + i));
            d = _mm256_add_ps(d, _mm256_mul_ps(da, da));
        }
        const __m256i nearer = _mm256_castps_si256(_mm256_cmp_ps(d, bestDistance, _CMP_LT_OQ));
        bestDistance = _mm256_min_ps(d, bestDistance);
        bestIndex = _mm256_blendv_epi8(bestIndex, index, nearer);
        index = _mm256_add_epi32(index, _mm256_set1_epi32(8));
    }
    alignas(32) float laneDistance[8];
    alignas(32) int32_t laneIndex[8];
    _mm256_store_ps(laneDistance, bestDistance);
    _mm256_store_si256(reinterpret_cast<__m256i*>(laneIndex), bestIndex);
    return MergeLanes(laneDistance, laneIndex, 8);
}
#endif

using NearestEntryFn = BYTE (*)(const PlanarPalette&, const ColorF&);

// The fastest search that this processor runs.
template <bool WithAlpha>
NearestEntryFn ChooseNearestEntry() {
#if TX_CODEC_AVX2
    if (UseAvx2()) return NearestEntryAvx2<WithAlpha>;
#endif
#if defined(__SSE2__)
    return NearestEntrySse2<WithAlpha>;
#else
    return NearestEntryScalar<WithAlpha>;
#endif
}

class PaletteCodec : public PixelCodec {
protected:
    PaletteCodec(const PixelBlock& block, UINT bitsPerPixel, NearestEntryFn nearest)
        : PixelCodec(block, bitsPerPixel, ChannelType::Unsigned), nearestEntry_(nearest) {
        for (int i = 0; i < 256; ++i) {
            planar_.r[i] = palette[i].r;
            planar_.g[i] = palette[i].g;
            planar_.b[i] = palette[i].b;
            planar_.a[i] = palette[i].a;
        }
    }

    BYTE NearestEntry(const ColorF& c) const { return nearestEntry_(planar_, c); }

private:
    PlanarPalette planar_;
    NearestEntryFn nearestEntry_;
};

class CodecP8 final : public PaletteCodec {
public:
    explicit CodecP8(const PixelBlock& block)
        : PaletteCodec(block, 8, ChooseNearestEntry<true>()) {}

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
            row[x] = NearestEntry(in[x]);
    }
};

class CodecA8P8 final : public PaletteCodec {
public:
    explicit CodecA8P8(const PixelBlock& block)
        : PaletteCodec(block, 16, ChooseNearestEntry<false>()) {}

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
            row[2 * size_t(x)] = NearestEntry(in[x]);
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
