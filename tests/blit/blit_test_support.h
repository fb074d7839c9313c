// Helpers of the blit tests: images with a guarded margin, a codec that keeps
// ColorF pixels as they are (so filters can be checked without quantisation),
// and running single strategies.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "blit/blitter.h"
#include "codec/codec_test_util.h"
#include "codec/pixel_codec.h"

namespace blittest {

constexpr BYTE kGuard = 0xCD;

// A box of width x height x depth pixels of a byte-addressed format, placed
// inside a larger image whose other bytes (a margin of `margin` pixels, rows
// and, for volumes, slices around the box, plus padding at the end of every
// row) hold kGuard, so that writes outside the box show up.
class TestImage {
public:
    TestImage(D3DFORMAT format, UINT bytesPerPixel, UINT width, UINT height, UINT depth = 1,
              UINT margin = 1)
        : bpp_(bytesPerPixel), width_(width), height_(height), depth_(depth), margin_(margin) {
        const UINT zMargin = depth > 1 ? margin : 0;
        const UINT fullWidth = width + 2 * margin;
        const UINT fullHeight = height + 2 * margin;
        const UINT fullDepth = depth + 2 * zMargin;
        rowPitch_ = fullWidth * bytesPerPixel + 3;
        slicePitch_ = rowPitch_ * fullHeight;
        bytes_.assign(static_cast<size_t>(slicePitch_) * (fullDepth == 0 ? 1 : fullDepth), kGuard);
        block_.data = bytes_.data();
        block_.format = format;
        block_.rowPitch = rowPitch_;
        block_.slicePitch = depth > 1 ? slicePitch_ : 0;
        block_.bounds = {0, 0, fullWidth, fullHeight, 0, fullDepth};
        block_.box = {margin, margin, margin + width, margin + height, zMargin, zMargin + depth};
        zMargin_ = zMargin;
        Fill(0);
    }

    PixelBlock& block() { return block_; }
    // Address of pixel (0, 0, 0) of the box, and the row pitch.
    BYTE* BoxBits() { return bytes_.data() + Offset(0, 0, 0); }
    UINT rowPitch() const { return rowPitch_; }
    UINT width() const { return width_; }
    UINT height() const { return height_; }
    UINT depth() const { return depth_; }

    uint32_t Get(UINT x, UINT y, UINT z = 0) const {
        uint32_t v = 0;
        std::memcpy(&v, bytes_.data() + Offset(x, y, z), bpp_);
        return v;
    }
    void Set(UINT x, UINT y, UINT z, uint32_t v) {
        std::memcpy(bytes_.data() + Offset(x, y, z), &v, bpp_);
    }
    void Set(UINT x, UINT y, uint32_t v) { Set(x, y, 0, v); }
    void Fill(uint32_t v) {
        for (UINT z = 0; z < depth_; ++z)
            for (UINT y = 0; y < height_; ++y)
                for (UINT x = 0; x < width_; ++x)
                    Set(x, y, z, v);
    }
    // Pixels of the box in x, y, z order.
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> out;
        for (UINT z = 0; z < depth_; ++z)
            for (UINT y = 0; y < height_; ++y)
                for (UINT x = 0; x < width_; ++x)
                    out.push_back(Get(x, y, z));
        return out;
    }

    // True when every byte outside the box still holds kGuard.
    bool MarginIntact() const {
        std::vector<bool> inside(bytes_.size(), false);
        for (UINT z = 0; z < depth_; ++z)
            for (UINT y = 0; y < height_; ++y)
                for (UINT x = 0; x < width_; ++x)
                    for (UINT b = 0; b < bpp_; ++b)
                        inside[Offset(x, y, z) + b] = true;
        for (size_t i = 0; i < bytes_.size(); ++i)
            if (!inside[i] && bytes_[i] != kGuard) return false;
        return true;
    }

private:
    size_t Offset(UINT x, UINT y, UINT z) const {
        return static_cast<size_t>(z + zMargin_) * slicePitch_ +
               static_cast<size_t>(y + margin_) * rowPitch_ +
               static_cast<size_t>(x + margin_) * bpp_;
    }

    UINT bpp_, width_, height_, depth_, margin_, zMargin_ = 0;
    UINT rowPitch_ = 0, slicePitch_ = 0;
    std::vector<BYTE> bytes_;
    PixelBlock block_{};
};

// A format that no real codec claims: pixels stored as ColorF.
constexpr D3DFORMAT kFloatFormat = static_cast<D3DFORMAT>(MAKEFOURCC('T', 'F', '3', '2'));

// Stores ColorF unchanged, and records which rows were written.
class FloatCodec : public PixelCodec {
public:
    explicit FloatCodec(const PixelBlock& block)
        : PixelCodec(block, 8 * sizeof(ColorF), ChannelType::Unsigned) {}
    void DecodeRow(UINT y, UINT z, ColorF* out) override {
        std::memcpy(out, RowAddress(y, z), sizeof(ColorF) * width);
        ++decodes;
    }
    void EncodeRow(UINT y, UINT z, const ColorF* in) override {
        std::memcpy(RowAddress(y, z), in, sizeof(ColorF) * width);
        encoded.emplace_back(y, z);
    }
    std::vector<std::pair<UINT, UINT>> encoded; // (row, slice) in order
    int decodes = 0;
};

// width x height x depth ColorF pixels, x fastest.
class FloatImage {
public:
    FloatImage(UINT width, UINT height, UINT depth = 1)
        : width_(width), height_(height), pixels_(size_t(width) * height * depth) {
        block_.data = pixels_.data();
        block_.format = kFloatFormat;
        block_.rowPitch = width * sizeof(ColorF);
        block_.slicePitch = block_.rowPitch * height;
        block_.bounds = {0, 0, width, height, 0, depth};
        block_.box = block_.bounds;
    }
    ColorF& at(UINT x, UINT y = 0, UINT z = 0) {
        return pixels_[(size_t(z) * height_ + y) * width_ + x];
    }
    // Every channel of every pixel set to v.
    void Fill(float v) {
        for (ColorF& c : pixels_)
            c = {v, v, v, v};
    }
    std::vector<ColorF>& pixels() { return pixels_; }
    std::unique_ptr<FloatCodec> Codec() { return std::make_unique<FloatCodec>(block_); }
    PixelBlock& block() { return block_; }

private:
    UINT width_, height_;
    std::vector<ColorF> pixels_;
    PixelBlock block_{};
};

// One strategy run on its own, with codecs as Execute would build them. The
// destination codec stays available for inspection.
struct StrategyRun {
    HRESULT result;
    std::unique_ptr<PixelCodec> destCodec;
};

using Strategy = HRESULT (Blitter::*)();

inline StrategyRun RunStrategy(Strategy strategy, std::unique_ptr<PixelCodec> dest,
                               std::unique_ptr<PixelCodec> source, DWORD filter) {
    Blitter blitter;
    blitter.filter = filter;
    blitter.destCodec = std::move(dest);
    blitter.sourceCodec = std::move(source);
    EXPECT_EQ(blitter.destCodec->PrepareConversion(*blitter.sourceCodec), S_OK);
    StrategyRun run;
    run.result = (blitter.*strategy)();
    run.destCodec = std::move(blitter.destCodec);
    return run;
}

// The same with the library's codecs for two blocks (dither set from the
// filter word as Execute does).
inline HRESULT RunStrategy(Strategy strategy, PixelBlock& dest, const PixelBlock& source,
                           DWORD filter) {
    dest.dither = filter & TX_FILTER_DITHER;
    auto destCodec = CreatePixelCodec(dest);
    auto sourceCodec = CreatePixelCodec(source);
    EXPECT_NE(destCodec, nullptr);
    EXPECT_NE(sourceCodec, nullptr);
    if (!destCodec || !sourceCodec) return E_FAIL;
    return RunStrategy(strategy, std::move(destCodec), std::move(sourceCodec), filter).result;
}

using codectest::Random;
using codectest::SameColor;

inline void FillRandom(TestImage& image, uint32_t seed) {
    Random random(seed);
    for (UINT z = 0; z < image.depth(); ++z)
        for (UINT y = 0; y < image.height(); ++y)
            for (UINT x = 0; x < image.width(); ++x)
                image.Set(x, y, z, random.Next());
}

} // namespace blittest
