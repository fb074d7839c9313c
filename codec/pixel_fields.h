// Scalar arithmetic of unsigned pixel fields, shared by the codecs.
#pragma once

#include "codec/pixel_codec.h"

// Single-precision factors 1 / (2^k - 1) that turn an unsigned field of k bits
// into 0..1. Decoding is one multiply by the factor, rounded to nearest; the
// products of the largest field values are exactly 1.0.
constexpr float kUnorm2Factor = 0.33333334f;
constexpr float kUnorm3Factor = 0.14285715f;
constexpr float kUnorm4Factor = 0.06666667f;
constexpr float kUnorm5Factor = 0.032258064f;
constexpr float kUnorm6Factor = 0.015873017f;
constexpr float kUnorm8Factor = 0.003921569f;
constexpr float kUnorm10Factor = 0.0009775171f;
constexpr float kUnorm16Factor = 0.000015259022f;

constexpr float UnormDecodeFactor(UINT bits) {
    switch (bits) {
    case 1:
        return 1.0f;
    case 2:
        return kUnorm2Factor;
    case 3:
        return kUnorm3Factor;
    case 4:
        return kUnorm4Factor;
    case 5:
        return kUnorm5Factor;
    case 6:
        return kUnorm6Factor;
    case 8:
        return kUnorm8Factor;
    case 10:
        return kUnorm10Factor;
    case 16:
        return kUnorm16Factor;
    default:
        return 0.0f; // no such field in any format
    }
}

// 2^k - 1: the largest value of the field, and the scale of its encoder.
constexpr float UnormEncodeScale(UINT bits) {
    return static_cast<float>((1u << bits) - 1u);
}

// Luminance weights of the luminance formats, as single-precision constants.
constexpr float kLuminanceRed = 0.2125f;
constexpr float kLuminanceGreen = 0.7154f;
constexpr float kLuminanceBlue = 0.0721f;

// The luminance of a pixel, summed red, green, blue in that order. Under the
// encoders' rounding toward zero the sum of an in-range grey is slightly below
// the grey itself.
inline float Luminance(const ColorF& c) {
    const float redGreen = kLuminanceRed * c.r + kLuminanceGreen * c.g;
    return redGreen + kLuminanceBlue * c.b;
}

// truncate(c x scale + t) for an unsigned field whose largest value is
// `scale`. The sum is limited to 0..scale before the conversion: for every
// channel value in 0..1 and every threshold below 1 that changes nothing (a
// sum between scale and scale + 1 truncates to scale anyway), while a value
// out of range saturates instead of spilling into the neighbouring fields,
// and NaN stores 0 instead of converting an undefined integer. The two
// comparisons are written so that they match the vector minimum and maximum.
inline DWORD QuantiseUnorm(float c, float scale, float t) {
    float v = c * scale + t;
    v = v > 0.0f ? v : 0.0f;
    v = v < scale ? v : scale;
    return static_cast<DWORD>(static_cast<int32_t>(v));
}
