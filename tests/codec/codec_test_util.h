// Helpers of the codec tests: blocks over test-owned memory, and an
// independent reference of the encoders' rounding.
#pragma once

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/pixel_codec.h"
#include "codec/simd_support.h"

namespace codectest {

// A block of `width` x `height` x `depth` pixels of `bytesPerPixel` bytes in a
// buffer owned by the object, with the box covering all of it.
struct TestImage {
    TestImage(D3DFORMAT format, UINT bytesPerPixel, UINT width, UINT height = 1, UINT depth = 1)
        : bytes(size_t(bytesPerPixel) * width * height * depth) {
        block.data = bytes.data();
        block.format = format;
        block.rowPitch = bytesPerPixel * width;
        block.slicePitch = block.rowPitch * height;
        block.bounds = {0, 0, width, height, 0, depth};
        block.box = block.bounds;
    }
    std::unique_ptr<PixelCodec> Codec() const { return CreatePixelCodec(block); }

    std::vector<BYTE> bytes;
    PixelBlock block{};
};

// Allows or forbids the AVX2 paths of codecs created while it lives, so that
// the SSE2 paths are also checked on a processor that has AVX2.
class Avx2Paths {
public:
    explicit Avx2Paths(bool allowed) : saved_(Avx2AllowedForCodecs()) {
        Avx2AllowedForCodecs() = allowed;
    }
    ~Avx2Paths() { Avx2AllowedForCodecs() = saved_; }

private:
    bool saved_;
};

// Sets rounding toward zero for a reference computation and restores the
// mode afterwards.
class TowardZero {
public:
    TowardZero() : saved_(std::fegetround()) { std::fesetround(FE_TOWARDZERO); }
    ~TowardZero() { std::fesetround(saved_); }

private:
    int saved_;
};

// The stored value of an unsigned field of `bits` bits for channel value c and
// threshold t: truncate(c x (2^bits - 1) + t) with the multiply, the add and
// the conversion rounding toward zero; values outside the field saturate.
// Call under TowardZero.
inline uint32_t ReferenceField(float c, unsigned bits, float t) {
    const float scale = static_cast<float>((1u << bits) - 1u);
    const float v = c * scale + t;
    if (!(v > 0.0f)) return 0;
    if (v >= scale) return (1u << bits) - 1u;
    return static_cast<uint32_t>(v);
}

// The luminance that the encoders store, summed red, green, blue. Call under
// TowardZero.
inline float ReferenceLuminance(const ColorF& c) {
    const float redGreen = 0.2125f * c.r + 0.7154f * c.g;
    return redGreen + 0.0721f * c.b;
}

// Exact comparison of two pixels, telling which channel differs.
inline ::testing::AssertionResult SameColor(const ColorF& actual, const ColorF& expected) {
    if (std::memcmp(&actual, &expected, sizeof(ColorF)) == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got (" << actual.r << ", " << actual.g << ", " << actual.b << ", " << actual.a
           << "), expected (" << expected.r << ", " << expected.g << ", " << expected.b << ", "
           << expected.a << ")";
}

// A small deterministic generator, so that failures can be reproduced.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [lo, hi).
    float Uniform(float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f);
    }

private:
    uint32_t state_;
};

// A channel value within a few steps of the point where c x scale + t
// reaches an integer: there the rounding of the multiply and of the add
// decides the stored value.
inline float NearFieldStep(Random& random, unsigned bits, float t) {
    const float scale = static_cast<float>((1u << bits) - 1u);
    const float n = static_cast<float>(1 + random.Next() % ((1u << bits) - 1u));
    float c = (n - t) / scale;
    const int steps = static_cast<int>(random.Next() % 5) - 2;
    for (int i = 0; i < std::abs(steps); ++i)
        c = std::nextafter(c, steps < 0 ? 0.0f : 2.0f);
    return c;
}

} // namespace codectest
