// Bilinear and trilinear resampling: each destination pixel blends the two
// nearest source samples along every axis.
#include "blit/linear_filter.h"

#include <cmath>
#include <new>
#include <utility>

#include "blit/blitter.h"
#include "blit/strategy_support.h"
#include "codec/rounding_scope.h"

namespace {

// u0 * row[b0] + u1 * row[b1], channel by channel.
inline ColorF Lerp(const ColorF* row, const LinearSample& s) {
    const ColorF& p = row[s.index0];
    const ColorF& q = row[s.index1];
    return {s.weight0 * p.r + s.weight1 * q.r, s.weight0 * p.g + s.weight1 * q.g,
            s.weight0 * p.b + s.weight1 * q.b, s.weight0 * p.a + s.weight1 * q.a};
}

inline ColorF Blend(float w0, const ColorF& p, float w1, const ColorF& q) {
    return {w0 * p.r + w1 * q.r, w0 * p.g + w1 * q.g, w0 * p.b + w1 * q.b, w0 * p.a + w1 * q.a};
}

constexpr int32_t kNoRow = -1;

} // namespace

std::unique_ptr<LinearSample[]> BuildLinearTable(UINT destSize, UINT sourceSize, bool wrap) {
    if (sourceSize == 0 && destSize != 0) return nullptr;
    std::unique_ptr<LinearSample[]> table(new (std::nothrow) LinearSample[destSize]);
    if (!table || destSize == 0) return table;

    // Positions and weights are defined with truncating arithmetic.
    TruncatingRoundingScope truncating;
    // Computing the quotient in double and narrowing it truncates twice, which
    // gives the same float as one truncating single-precision division of the
    // exact operands.
    const float scale = static_cast<float>(static_cast<double>(sourceSize) / destSize);
    const int32_t last = static_cast<int32_t>(sourceSize) - 1;
    for (UINT k = 0; k < destSize; ++k) {
        // Samples sit at k * scale, not at the centre of destination pixel k.
        const float pos = static_cast<float>(k) * scale - 0.5f;
        const float f = std::floor(pos);
        LinearSample& s = table[k];
        s.index0 = static_cast<int32_t>(f);
        s.index1 = s.index0 + 1;
        if (s.index0 < 0) s.index0 = wrap ? last : 0;
        if (s.index1 > last) s.index1 = wrap ? 0 : last;
        s.weight0 = 1.0f - (pos - f);
        s.weight1 = 1.0f - s.weight0;
    }
    return table;
}

HRESULT Blitter::TryLinear2D() {
    if (FilterKind(filter) != TX_FILTER_LINEAR) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (src.depth != 1 || dst.depth != 1) return E_FAIL;
    if (IsEmpty(dst)) return S_OK;
    // Nothing to sample from: a non-empty destination cannot be filled.
    if (IsEmpty(src)) return E_FAIL;

    auto xTable = BuildLinearTable(dst.width, src.width, WrapsU(filter));
    auto yTable = BuildLinearTable(dst.height, src.height, WrapsV(filter));
    ColorRow out = AllocateRow(dst.width);
    ColorRow rows[2] = {AllocateRow(src.width), AllocateRow(src.width)};
    if (!xTable || !yTable || !out || !rows[0] || !rows[1]) return E_OUTOFMEMORY;

    // Consecutive destination rows mostly share source rows: keep the last
    // two and move the second into first place when the window slides.
    int32_t cached[2] = {kNoRow, kNoRow};
    for (UINT y = 0; y < dst.height; ++y) {
        const LinearSample& ys = yTable[y];
        if (cached[0] != ys.index0) {
            if (cached[1] == ys.index0) {
                std::swap(rows[0], rows[1]);
                cached[0] = ys.index0;
                cached[1] = kNoRow;
            } else {
                src.DecodeRow(static_cast<UINT>(ys.index0), 0, rows[0].get());
                cached[0] = ys.index0;
            }
        }
        if (cached[1] != ys.index1) {
            src.DecodeRow(static_cast<UINT>(ys.index1), 0, rows[1].get());
            cached[1] = ys.index1;
        }
        const ColorF* b0 = rows[0].get();
        const ColorF* b1 = rows[1].get();
        for (UINT x = 0; x < dst.width; ++x) {
            const LinearSample& xs = xTable[x];
            out[x] = Blend(ys.weight0, Lerp(b0, xs), ys.weight1, Lerp(b1, xs));
        }
        dst.EncodeRow(y, 0, out.get());
    }
    return S_OK;
}

HRESULT Blitter::TryLinear3D() {
    if (FilterKind(filter) != TX_FILTER_LINEAR) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (IsEmpty(dst)) return S_OK;
    if (IsEmpty(src)) return E_FAIL;

    auto xTable = BuildLinearTable(dst.width, src.width, WrapsU(filter));
    auto yTable = BuildLinearTable(dst.height, src.height, WrapsV(filter));
    auto zTable = BuildLinearTable(dst.depth, src.depth, WrapsW(filter));
    ColorRow out = AllocateRow(dst.width);
    // near[0] = P0 (row a0, slice c0), near[1] = P1 (row a1, slice c0);
    // far[0] = Q0 (row a0, slice c1), far[1] = Q1 (row a1, slice c1).
    ColorRow nearRows[2] = {AllocateRow(src.width), AllocateRow(src.width)};
    ColorRow farRows[2] = {AllocateRow(src.width), AllocateRow(src.width)};
    if (!xTable || !yTable || !zTable || !out || !nearRows[0] || !nearRows[1] || !farRows[0] ||
        !farRows[1])
        return E_OUTOFMEMORY;

    for (UINT z = 0; z < dst.depth; ++z) {
        const LinearSample& zs = zTable[z];
        const UINT c0 = static_cast<UINT>(zs.index0);
        const UINT c1 = static_cast<UINT>(zs.index1);
        int32_t cached[2] = {kNoRow, kNoRow};
        for (UINT y = 0; y < dst.height; ++y) {
            const LinearSample& ys = yTable[y];
            if (cached[0] != ys.index0) {
                if (cached[1] == ys.index0) {
                    std::swap(nearRows[0], nearRows[1]);
                    std::swap(farRows[0], farRows[1]);
                    cached[0] = ys.index0;
                    cached[1] = kNoRow;
                } else {
                    src.DecodeRow(static_cast<UINT>(ys.index0), c0, nearRows[0].get());
                    src.DecodeRow(static_cast<UINT>(ys.index0), c1, farRows[0].get());
                    cached[0] = ys.index0;
                }
            }
            if (cached[1] != ys.index1) {
                src.DecodeRow(static_cast<UINT>(ys.index1), c0, nearRows[1].get());
                src.DecodeRow(static_cast<UINT>(ys.index1), c1, farRows[1].get());
                cached[1] = ys.index1;
            }
            for (UINT x = 0; x < dst.width; ++x) {
                const LinearSample& xs = xTable[x];
                const ColorF nearPixel = Blend(ys.weight0, Lerp(nearRows[0].get(), xs), ys.weight1,
                                               Lerp(nearRows[1].get(), xs));
                const ColorF farPixel = Blend(ys.weight0, Lerp(farRows[0].get(), xs), ys.weight1,
                                              Lerp(farRows[1].get(), xs));
                out[x] = Blend(zs.weight0, nearPixel, zs.weight1, farPixel);
            }
            dst.EncodeRow(y, z, out.get());
        }
    }
    return S_OK;
}
