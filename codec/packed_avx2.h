// Eight pixels at a time with AVX2, for processors that have it (the library
// itself is built for the baseline instruction set). The arithmetic is that
// of the SSE2 and scalar paths, so the bits are the same.
#pragma once

#include <immintrin.h>

#include <cstring>

#include "codec/packed_layout.h"
#include "codec/simd_support.h"

namespace packed {

// Layouts of four bytes whose fields are whole bytes (A8R8G8B8, X8R8G8B8):
// a pixel's four bytes map to the four lanes of one ColorF, so two pixels fill
// one vector and no transpose is needed.
constexpr bool IsByteField(const PackedField& f) {
    return f.bits == 0 || (f.bits == 8 && f.shift % 8 == 0);
}
constexpr bool HasByteChannels(const PackedLayout& l) {
    return l.bytesPerPixel == 4 && l.luminance.bits == 0 && IsByteField(l.red) &&
           IsByteField(l.green) && IsByteField(l.blue) && IsByteField(l.alpha);
}

// Lane of channel `channel` (r, g, b, a) in a pixel's bytes, or of byte
// `byte` among the channels: the immediates of the two shuffles. A byte that
// no field covers takes a channel that is not stored (its lane is 0).
constexpr int ChannelByte(const PackedField& f) {
    return f.bits != 0 ? int(f.shift / 8) : 0;
}
constexpr int BytesToChannels(const PackedLayout& l) {
    return ChannelByte(l.red) | ChannelByte(l.green) << 2 | ChannelByte(l.blue) << 4 |
           ChannelByte(l.alpha) << 6;
}
constexpr int ChannelsToBytes(const PackedLayout& l) {
    const PackedField fields[4] = {l.red, l.green, l.blue, l.alpha};
    int missing = 3;
    for (int c = 3; c >= 0; --c) {
        if (fields[c].bits == 0) missing = c;
    }
    int imm = 0;
    for (int byte = 0; byte < 4; ++byte) {
        int channel = missing;
        for (int c = 0; c < 4; ++c) {
            if (fields[c].bits != 0 && fields[c].shift == UINT(8 * byte)) channel = c;
        }
        imm |= channel << (2 * byte);
    }
    return imm;
}
// Lanes (of two pixels) of the channels that are not stored.
constexpr int MissingLanes(const PackedLayout& l) {
    const int m = (l.red.bits == 0 ? 1 : 0) | (l.green.bits == 0 ? 2 : 0) |
                  (l.blue.bits == 0 ? 4 : 0) | (l.alpha.bits == 0 ? 8 : 0);
    return m | m << 4;
}

// Eight pixels as eight 32-bit lanes.
template <UINT Bytes>
TX_TARGET_AVX2 inline __m256i LoadEight(const BYTE* p) {
    if constexpr (Bytes == 1) {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    } else if constexpr (Bytes == 2) {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    } else if constexpr (Bytes == 3) {
        // Bytes 0-15 hold pixels 0-3 and bytes 8-23 pixels 4-7 (from their
        // byte 4): two loads that stay within the 24 bytes, then each pixel's
        // three bytes into its lane.
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
        const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        const __m256i spread =
            _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128, 4, 5, 6,
                             -128, 7, 8, 9, -128, 10, 11, 12, -128, 13, 14, 15, -128);
        return _mm256_shuffle_epi8(both, spread);
    } else {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
}

// Stores eight pixels from eight 32-bit lanes whose values fit the pixel.
template <UINT Bytes>
TX_TARGET_AVX2 inline void StoreEight(BYTE* p, __m256i v) {
    if constexpr (Bytes == 4) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
        return;
    }
    const __m128i low = _mm256_castsi256_si128(v);
    const __m128i high = _mm256_extracti128_si256(v, 1);
    if constexpr (Bytes == 1) {
        const __m128i words = _mm_packus_epi32(low, high);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(words, words));
    } else if constexpr (Bytes == 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi32(low, high));
    } else {
        // Three bytes of each lane, packed together: 12 bytes per half.
        const __m128i pack =
            _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
        const __m128i halves[2] = {_mm_shuffle_epi8(low, pack), _mm_shuffle_epi8(high, pack)};
        for (int h = 0; h < 2; ++h) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12 * h), halves[h]);
            const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(halves[h], 8));
            std::memcpy(p + 12 * h + 8, &last, 4);
        }
    }
}

template <UINT Shift, UINT Bits>
TX_TARGET_AVX2 inline __m256 DecodeFieldEight(__m256i v) {
    const __m256i n =
        _mm256_and_si256(_mm256_srli_epi32(v, Shift), _mm256_set1_epi32((1 << Bits) - 1));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(UnormDecodeFactor(Bits)));
}

// Limits as QuantiseUnorm does: max(v, 0) is v > 0 ? v : 0 and min(v, scale)
// is v < scale ? v : scale, NaN included.
template <UINT Shift, UINT Bits>
TX_TARGET_AVX2 inline __m256i EncodeFieldEight(__m256 c, __m256 t) {
    const __m256 scale = _mm256_set1_ps(UnormEncodeScale(Bits));
    __m256 v = _mm256_add_ps(_mm256_mul_ps(c, scale), t);
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), scale);
    return _mm256_slli_epi32(_mm256_cvttps_epi32(v), Shift);
}

// Transposes the 4 x 4 floats of each 128-bit half of a, b, c, d: channels
// to pixels or pixels to channels.
TX_TARGET_AVX2 inline void TransposeHalves(__m256& a, __m256& b, __m256& c, __m256& d) {
    const __m256 ab0 = _mm256_unpacklo_ps(a, b), ab1 = _mm256_unpackhi_ps(a, b);
    const __m256 cd0 = _mm256_unpacklo_ps(c, d), cd1 = _mm256_unpackhi_ps(c, d);
    a = _mm256_shuffle_ps(ab0, cd0, _MM_SHUFFLE(1, 0, 1, 0));
    b = _mm256_shuffle_ps(ab0, cd0, _MM_SHUFFLE(3, 2, 3, 2));
    c = _mm256_shuffle_ps(ab1, cd1, _MM_SHUFFLE(1, 0, 1, 0));
    d = _mm256_shuffle_ps(ab1, cd1, _MM_SHUFFLE(3, 2, 3, 2));
}

// Pixels p[0] and p[4], one per half.
TX_TARGET_AVX2 inline __m256 LoadPixelPair(const ColorF* p) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(&p[0].r)),
                                _mm_loadu_ps(&p[4].r), 1);
}

// Decodes the largest multiple of eight pixels of a row; returns its size.
template <const PackedLayout& L>
TX_TARGET_AVX2 UINT DecodeEights(const BYTE* row, ColorF* out, UINT width) {
    constexpr size_t kBytes = L.bytesPerPixel;
    UINT x = 0;
    if constexpr (HasByteChannels(L)) {
        // Two pixels per vector: bytes to lanes, lanes to channel order.
        const __m256 factor = _mm256_set1_ps(kUnorm8Factor);
        const __m256 missing = _mm256_setr_ps(L.missing.r, L.missing.g, L.missing.b, L.missing.a,
                                              L.missing.r, L.missing.g, L.missing.b, L.missing.a);
        for (; width - x >= 8; x += 8) {
            for (UINT pair = 0; pair < 8; pair += 2) {
                const __m256i bytes = _mm256_cvtepu8_epi32(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + kBytes * (x + pair))));
                const __m256i lanes = _mm256_shuffle_epi32(bytes, BytesToChannels(L));
                __m256 c = _mm256_mul_ps(_mm256_cvtepi32_ps(lanes), factor);
                if constexpr (MissingLanes(L) != 0)
                    c = _mm256_blend_ps(c, missing, MissingLanes(L));
                _mm256_storeu_ps(&out[x + pair].r, c);
            }
        }
        return x;
    }
    for (; width - x >= 8; x += 8) {
        const __m256i v = LoadEight<L.bytesPerPixel>(row + kBytes * x);
        __m256 r = _mm256_set1_ps(L.missing.r);
        __m256 g = _mm256_set1_ps(L.missing.g);
        __m256 b = _mm256_set1_ps(L.missing.b);
        __m256 a = _mm256_set1_ps(L.missing.a);
        if constexpr (L.luminance.bits != 0) {
            r = g = b = DecodeFieldEight<L.luminance.shift, L.luminance.bits>(v);
        }
        if constexpr (L.red.bits != 0) r = DecodeFieldEight<L.red.shift, L.red.bits>(v);
        if constexpr (L.green.bits != 0) g = DecodeFieldEight<L.green.shift, L.green.bits>(v);
        if constexpr (L.blue.bits != 0) b = DecodeFieldEight<L.blue.shift, L.blue.bits>(v);
        if constexpr (L.alpha.bits != 0) a = DecodeFieldEight<L.alpha.shift, L.alpha.bits>(v);
        // Channels to pixels: r, g, b, a become pixels 0 and 4, 1 and 5, 2 and
        // 6, 3 and 7; then the halves are paired in order.
        TransposeHalves(r, g, b, a);
        float* f = &out[x].r;
        _mm256_storeu_ps(f, _mm256_permute2f128_ps(r, g, 0x20));
        _mm256_storeu_ps(f + 8, _mm256_permute2f128_ps(b, a, 0x20));
        _mm256_storeu_ps(f + 16, _mm256_permute2f128_ps(r, g, 0x31));
        _mm256_storeu_ps(f + 24, _mm256_permute2f128_ps(b, a, 0x31));
    }
    return x;
}

// Encodes the largest multiple of eight pixels of a row with the threshold
// row t of slice z; returns its size. Runs inside the caller's rounding frame.
template <const PackedLayout& L>
TX_TARGET_AVX2 UINT EncodeEights(const ColorF* in, const float* t, UINT z, BYTE* row, UINT width) {
    constexpr size_t kBytes = L.bytesPerPixel;
    const float t0 = t[z & 3], t1 = t[(z + 1) & 3], t2 = t[(z + 2) & 3], t3 = t[(z + 3) & 3];
    UINT x = 0;
    if constexpr (HasByteChannels(L)) {
        // Two pixels per vector. A channel that is not stored gets scale 0,
        // which stores 0. Limiting only from above (scale first, so that NaN
        // stays NaN) is enough here: the saturating packs turn every negative
        // value, and the integer that NaN and huge negative values convert
        // to, into 0, exactly as QuantiseUnorm does.
        auto scaleOf = [](const PackedField& f) { return f.bits != 0 ? 255.0f : 0.0f; };
        const __m256 scale =
            _mm256_setr_ps(scaleOf(L.red), scaleOf(L.green), scaleOf(L.blue), scaleOf(L.alpha),
                           scaleOf(L.red), scaleOf(L.green), scaleOf(L.blue), scaleOf(L.alpha));
        const __m256 pairThresholds[2] = {_mm256_setr_ps(t0, t0, t0, t0, t1, t1, t1, t1),
                                          _mm256_setr_ps(t2, t2, t2, t2, t3, t3, t3, t3)};
        // After the two per-half packs the pixels lie in the order 0 2 4 6 1
        // 3 5 7.
        const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
        for (; width - x >= 8; x += 8) {
            __m256i lanes[4];
            for (int pair = 0; pair < 4; ++pair) {
                __m256 v = _mm256_mul_ps(_mm256_loadu_ps(&in[x + 2 * pair].r), scale);
                v = _mm256_add_ps(v, pairThresholds[pair & 1]);
                v = _mm256_min_ps(scale, v);
                lanes[pair] = _mm256_shuffle_epi32(_mm256_cvttps_epi32(v), ChannelsToBytes(L));
            }
            const __m256i words0 = _mm256_packs_epi32(lanes[0], lanes[1]);
            const __m256i words1 = _mm256_packs_epi32(lanes[2], lanes[3]);
            const __m256i bytes = _mm256_packus_epi16(words0, words1);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + kBytes * x),
                                _mm256_permutevar8x32_epi32(bytes, order));
        }
        return x;
    }
    const __m256 t8 = _mm256_setr_ps(t0, t1, t2, t3, t0, t1, t2, t3);
    for (; width - x >= 8; x += 8) {
        // Pixels j and j + 4 side by side, then a transpose within each half
        // gives each channel of pixels 0-7 in order.
        const ColorF* p = in + x;
        __m256 r = LoadPixelPair(p), g = LoadPixelPair(p + 1), b = LoadPixelPair(p + 2),
               a = LoadPixelPair(p + 3);
        TransposeHalves(r, g, b, a);

        __m256i v = _mm256_setzero_si256();
        if constexpr (L.luminance.bits != 0) {
            const __m256 redGreen =
                _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kLuminanceRed), r),
                              _mm256_mul_ps(_mm256_set1_ps(kLuminanceGreen), g));
            const __m256 lum =
                _mm256_add_ps(redGreen, _mm256_mul_ps(_mm256_set1_ps(kLuminanceBlue), b));
            v = _mm256_or_si256(v, EncodeFieldEight<L.luminance.shift, L.luminance.bits>(lum, t8));
        }
        if constexpr (L.red.bits != 0) {
            v = _mm256_or_si256(v, EncodeFieldEight<L.red.shift, L.red.bits>(r, t8));
        }
        if constexpr (L.green.bits != 0) {
            v = _mm256_or_si256(v, EncodeFieldEight<L.green.shift, L.green.bits>(g, t8));
        }
        if constexpr (L.blue.bits != 0) {
            v = _mm256_or_si256(v, EncodeFieldEight<L.blue.shift, L.blue.bits>(b, t8));
        }
        if constexpr (L.alpha.bits != 0) {
            v = _mm256_or_si256(v, EncodeFieldEight<L.alpha.shift, L.alpha.bits>(a, t8));
        }
        StoreEight<L.bytesPerPixel>(row + kBytes * x, v);
    }
    return x;
}

} // namespace packed
