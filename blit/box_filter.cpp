// Box filtering: the next smaller mipmap level, each destination pixel the
// plain average of the 2x2 (or 2x2x2) source pixels it covers. Only exact
// halvings are accepted; other sizes fall through to the later filters.
#include "blit/box_filter.h"

#include "blit/blitter.h"
#include "blit/strategy_support.h"

namespace {

// Destination extent is half the source (rounded down), or both are 1.
bool Halves(UINT source, UINT dest) {
    return dest == source / 2 || (dest == 1 && source == 1);
}

// An odd extent above 1 drops its last column, row or slice: the filter
// averages whole 2x2 blocks and never blends a lone edge pixel.
UINT EvenExtent(UINT extent) {
    return extent > 1 ? extent & ~1u : extent;
}

// Sum of the channel values, left to right, in single precision.
inline ColorF Sum(const ColorF& a, const ColorF& b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a};
}

inline ColorF Scale(const ColorF& c, float f) {
    return {c.r * f, c.g * f, c.b * f, c.a * f};
}

} // namespace

HRESULT Blitter::TryBox2D() {
    if (FilterKind(filter) != TX_FILTER_BOX) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (src.depth != 1 || dst.depth != 1 || !Halves(src.width, dst.width) ||
        !Halves(src.height, dst.height))
        return E_FAIL;
    const UINT width = EvenExtent(src.width);
    const UINT height = EvenExtent(src.height);

    // Packed pixels can be averaged in place when nothing else has to happen
    // to them on the way: same format, no dithering, and no colour key (keyed
    // pixels must count as transparent black, which only decoding does).
    if ((filter & TX_FILTER_DITHER) == 0 && src.format == dst.format && src.colorKey == 0 &&
        src.byteAddressable && dst.byteAddressable && width >= 2 && height >= 2) {
        const BoxPackedRoutine routine = FindBoxPackedRoutine(src.format);
        if (routine && routine(dst.bits, src.bits, width, height, src.rowPitch, dst.rowPitch))
            return S_OK;
    }

    // Decoders write whole rows, so the rows hold the full source width even
    // when its last column is ignored.
    ColorRow out = AllocateRow(dst.width);
    ColorRow top = AllocateRow(src.width);
    ColorRow bottom = height == 1 ? nullptr : AllocateRow(src.width);
    if (!out || !top || (height != 1 && !bottom)) return E_OUTOFMEMORY;
    const ColorF* p = top.get();
    const ColorF* q = height == 1 ? top.get() : bottom.get();

    for (UINT y = 0; y < dst.height; ++y) {
        src.DecodeRow(2 * y, 0, top.get());
        if (height != 1) src.DecodeRow(2 * y + 1, 0, bottom.get());
        for (UINT x = 0; x < dst.width; ++x) {
            const UINT a = 2 * x;
            const UINT b = width == 1 ? a : a + 1;
            out[x] = Scale(Sum(Sum(Sum(p[a], p[b]), q[a]), q[b]), 0.25f);
        }
        dst.EncodeRow(y, 0, out.get());
    }
    return S_OK;
}

HRESULT Blitter::TryBox3D() {
    if (FilterKind(filter) != TX_FILTER_BOX) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (!Halves(src.width, dst.width) || !Halves(src.height, dst.height) ||
        dst.depth != src.depth / 2)
        return E_FAIL;
    const UINT width = EvenExtent(src.width);
    const UINT height = EvenExtent(src.height);

    // Rows (2y, 2z) = P, (2y, 2z + 1) = M, (2y + 1, 2z) = Q, (2y + 1, 2z + 1)
    // = L; a one-row source uses P and M for Q and L as well.
    ColorRow out = AllocateRow(dst.width);
    ColorRow rowP = AllocateRow(src.width);
    ColorRow rowM = AllocateRow(src.width);
    ColorRow rowQ = height == 1 ? nullptr : AllocateRow(src.width);
    ColorRow rowL = height == 1 ? nullptr : AllocateRow(src.width);
    if (!out || !rowP || !rowM || (height != 1 && (!rowQ || !rowL))) return E_OUTOFMEMORY;
    const ColorF* p = rowP.get();
    const ColorF* m = rowM.get();
    const ColorF* q = height == 1 ? p : rowQ.get();
    const ColorF* l = height == 1 ? m : rowL.get();

    for (UINT z = 0; z < dst.depth; ++z) {
        for (UINT y = 0; y < dst.height; ++y) {
            src.DecodeRow(2 * y, 2 * z, rowP.get());
            src.DecodeRow(2 * y, 2 * z + 1, rowM.get());
            if (height != 1) {
                src.DecodeRow(2 * y + 1, 2 * z, rowQ.get());
                src.DecodeRow(2 * y + 1, 2 * z + 1, rowL.get());
            }
            for (UINT x = 0; x < dst.width; ++x) {
                const UINT a = 2 * x;
                const UINT b = width == 1 ? a : a + 1;
                ColorF s = Sum(p[a], p[b]);
                s = Sum(s, m[a]);
                s = Sum(s, m[b]);
                s = Sum(s, q[a]);
                s = Sum(s, q[b]);
                s = Sum(s, l[a]);
                s = Sum(s, l[b]);
                out[x] = Scale(s, 0.125f);
            }
            dst.EncodeRow(y, z, out.get());
        }
    }
    return S_OK;
}
