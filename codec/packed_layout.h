// Formats whose pixel is one little-endian integer of unsigned fields (or,
// for 24-bit pixels, three bytes, blue first): the layout of a pixel, and the
// scalar decoding and encoding of one pixel, which the vector paths
// reproduce bit for bit.
#pragma once

#include "codec/pixel_codec.h"
#include "codec/pixel_fields.h"

// One unsigned field: its lowest bit and its width; width 0 for a field that
// the format does not store.
struct PackedField {
    UINT shift;
    UINT bits;
};

struct PackedLayout {
    UINT bytesPerPixel; // 1, 2, 3 (three bytes, blue first) or 4
    PackedField red;
    PackedField green;
    PackedField blue;
    PackedField alpha;
    PackedField luminance; // stored in place of red, green and blue
    ColorF missing;        // what the channels that are not stored decode to
};

namespace packed {

template <UINT Bytes>
inline DWORD LoadPixel(const BYTE* p) {
    DWORD v = 0;
    for (UINT i = 0; i < Bytes; ++i)
        v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}

template <UINT Bytes>
inline void StorePixel(BYTE* p, DWORD v) {
    for (UINT i = 0; i < Bytes; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

template <UINT Shift, UINT Bits>
inline float DecodeField(DWORD v) {
    return static_cast<float>((v >> Shift) & ((1u << Bits) - 1u)) * UnormDecodeFactor(Bits);
}

template <const PackedLayout& L>
inline ColorF DecodePixel(DWORD v) {
    ColorF c = L.missing;
    if constexpr (L.luminance.bits != 0) {
        c.r = c.g = c.b = DecodeField<L.luminance.shift, L.luminance.bits>(v);
    }
    if constexpr (L.red.bits != 0) c.r = DecodeField<L.red.shift, L.red.bits>(v);
    if constexpr (L.green.bits != 0) c.g = DecodeField<L.green.shift, L.green.bits>(v);
    if constexpr (L.blue.bits != 0) c.b = DecodeField<L.blue.shift, L.blue.bits>(v);
    if constexpr (L.alpha.bits != 0) c.a = DecodeField<L.alpha.shift, L.alpha.bits>(v);
    return c;
}

template <UINT Shift, UINT Bits>
inline DWORD EncodeField(float c, float t) {
    return QuantiseUnorm(c, UnormEncodeScale(Bits), t) << Shift;
}

// Bits of the layout that no field covers stay 0.
template <const PackedLayout& L>
inline DWORD EncodePixel(const ColorF& c, float t) {
    DWORD v = 0;
    if constexpr (L.luminance.bits != 0) {
        v |= EncodeField<L.luminance.shift, L.luminance.bits>(Luminance(c), t);
    }
    if constexpr (L.red.bits != 0) v |= EncodeField<L.red.shift, L.red.bits>(c.r, t);
    if constexpr (L.green.bits != 0) v |= EncodeField<L.green.shift, L.green.bits>(c.g, t);
    if constexpr (L.blue.bits != 0) v |= EncodeField<L.blue.shift, L.blue.bits>(c.b, t);
    if constexpr (L.alpha.bits != 0) v |= EncodeField<L.alpha.shift, L.alpha.bits>(c.a, t);
    return v;
}
} // namespace packed
