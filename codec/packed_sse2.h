// Four pixels at a time with SSE2, one channel per vector: the four channels
// of four pixels are transposed on the way in and out, so that each field
// costs exactly the scalar operations (one multiply on decode; multiply, add,
// limit and truncate on encode) and gives the same bits.
#pragma once

#include <emmintrin.h>

#include <cstring>

#include "codec/packed_layout.h"

namespace packed {

// Four pixels as four 32-bit lanes.
template <UINT Bytes>
inline __m128i LoadFour(const BYTE* p) {
    const __m128i zero = _mm_setzero_si128();
    if constexpr (Bytes == 1) {
        int32_t w;
        std::memcpy(&w, p, 4);
        return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(w), zero), zero);
    } else if constexpr (Bytes == 2) {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    } else if constexpr (Bytes == 3) {
        return _mm_setr_epi32(
            static_cast<int>(LoadPixel<3>(p)), static_cast<int>(LoadPixel<3>(p + 3)),
            static_cast<int>(LoadPixel<3>(p + 6)), static_cast<int>(LoadPixel<3>(p + 9)));
    } else {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
}

// Stores four pixels from four 32-bit lanes whose values fit the pixel size.
template <UINT Bytes>
inline void StoreFour(BYTE* p, __m128i v) {
    if constexpr (Bytes == 1) {
        const __m128i words = _mm_packs_epi32(v, v); // values below 256: no saturation
        const int32_t w = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        std::memcpy(p, &w, 4);
    } else if constexpr (Bytes == 2) {
        // Sign-extend the low halves so that the signed pack keeps them as
        // they are.
        const __m128i low = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(low, low));
    } else if constexpr (Bytes == 3) {
        alignas(16) DWORD lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
        for (int i = 0; i < 4; ++i)
            StorePixel<3>(p + 3 * i, lanes[i]);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
}

template <UINT Shift, UINT Bits>
inline __m128 DecodeFieldFour(__m128i v) {
    const __m128i n = _mm_and_si128(_mm_srli_epi32(v, Shift), _mm_set1_epi32((1 << Bits) - 1));
    return _mm_mul_ps(_mm_cvtepi32_ps(n), _mm_set1_ps(UnormDecodeFactor(Bits)));
}

template <const PackedLayout& L>
inline void DecodeFour(const BYTE* p, ColorF* out) {
    const __m128i v = LoadFour<L.bytesPerPixel>(p);
    __m128 r = _mm_set1_ps(L.missing.r);
    __m128 g = _mm_set1_ps(L.missing.g);
    __m128 b = _mm_set1_ps(L.missing.b);
    __m128 a = _mm_set1_ps(L.missing.a);
    if constexpr (L.luminance.bits != 0) {
        r = g = b = DecodeFieldFour<L.luminance.shift, L.luminance.bits>(v);
    }
    if constexpr (L.red.bits != 0) r = DecodeFieldFour<L.red.shift, L.red.bits>(v);
    if constexpr (L.green.bits != 0) g = DecodeFieldFour<L.green.shift, L.green.bits>(v);
    if constexpr (L.blue.bits != 0) b = DecodeFieldFour<L.blue.shift, L.blue.bits>(v);
    if constexpr (L.alpha.bits != 0) a = DecodeFieldFour<L.alpha.shift, L.alpha.bits>(v);
    _MM_TRANSPOSE4_PS(r, g, b, a);
    float* f = &out->r;
    _mm_storeu_ps(f, r);
    _mm_storeu_ps(f + 4, g);
    _mm_storeu_ps(f + 8, b);
    _mm_storeu_ps(f + 12, a);
}

// The vector form of QuantiseUnorm: _mm_max_ps(v, 0) is v > 0 ? v : 0 and
// _mm_min_ps(v, scale) is v < scale ? v : scale, NaN included.
template <UINT Shift, UINT Bits>
inline __m128i EncodeFieldFour(__m128 c, __m128 t) {
    const __m128 scale = _mm_set1_ps(UnormEncodeScale(Bits));
    __m128 v = _mm_add_ps(_mm_mul_ps(c, scale), t);
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), scale);
    return _mm_slli_epi32(_mm_cvttps_epi32(v), Shift);
}

template <const PackedLayout& L>
inline void EncodeFour(const ColorF* in, __m128 t, BYTE* p) {
    const float* f = &in->r;
    __m128 r = _mm_loadu_ps(f);
    __m128 g = _mm_loadu_ps(f + 4);
    __m128 b = _mm_loadu_ps(f + 8);
    __m128 a = _mm_loadu_ps(f + 12);
    _MM_TRANSPOSE4_PS(r, g, b, a);
    __m128i v = _mm_setzero_si128();
    if constexpr (L.luminance.bits != 0) {
        const __m128 redGreen = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kLuminanceRed), r),
                                           _mm_mul_ps(_mm_set1_ps(kLuminanceGreen), g));
        const __m128 lum = _mm_add_ps(redGreen, _mm_mul_ps(_mm_set1_ps(kLuminanceBlue), b));
        v = _mm_or_si128(v, EncodeFieldFour<L.luminance.shift, L.luminance.bits>(lum, t));
    }
    if constexpr (L.red.bits != 0)
        v = _mm_or_si128(v, EncodeFieldFour<L.red.shift, L.red.bits>(r, t));
    if constexpr (L.green.bits != 0) {
        v = _mm_or_si128(v, EncodeFieldFour<L.green.shift, L.green.bits>(g, t));
    }
    if constexpr (L.blue.bits != 0)
        v = _mm_or_si128(v, EncodeFieldFour<L.blue.shift, L.blue.bits>(b, t));
    if constexpr (L.alpha.bits != 0) {
        v = _mm_or_si128(v, EncodeFieldFour<L.alpha.shift, L.alpha.bits>(a, t));
    }
    StoreFour<L.bytesPerPixel>(p, v);
}

} // namespace packed
