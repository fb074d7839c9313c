// The blit engine: builds a codec for each side and offers the transfer to a
// fixed chain of strategies, the cheapest first. Also the four simple
// strategies: raw copy, converting copy, crop/pad and point sampling.
#include "blit/blitter.h"

#include <algorithm>
#include <cstring>

#include "blit/packed_convert.h"
#include "blit/strategy_support.h"

namespace {

bool SameExtents(const PixelCodec& a, const PixelCodec& b) {
    return a.width == b.width && a.height == b.height && a.depth == b.depth;
}

bool IsPalettized(D3DFORMAT format) {
    return format == D3DFMT_P8 || format == D3DFMT_A8P8;
}

bool SamePalette(const PixelCodec& a, const PixelCodec& b) {
    for (int i = 0; i < 256; ++i) {
        const ColorF& p = a.palette[i];
        const ColorF& q = b.palette[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
    return true;
}

// Maps destination indices to source indices for the point filter. Below
// 65536 pixels on both sides the step is a 16.16 fixed-point number, and
// destination index d samples floor(d * step / 65536). That mapping is what
// stored results were made with, so it is kept exactly; its steps are just
// computed in 64 bits. Larger extents lose too much to the 16 fraction bits
// (a step truncated to 0 would sample one pixel only), so they take the
// exact floor(d * source / dest) instead.
class PointAxis {
public:
    PointAxis(UINT source, UINT dest) : dest_(dest) {
        exact_ = source >= 0x10000 || dest >= 0x10000;
        if (exact_) {
            whole_ = source / dest;
            fraction_ = source % dest;
        } else {
            step_ = (static_cast<uint64_t>(source) << 16) / dest;
        }
    }

    UINT index() const { return static_cast<UINT>(exact_ ? position_ : position_ >> 16); }

    void Advance() {
        if (!exact_) {
            position_ += step_;
            return;
        }
        position_ += whole_;
        remainder_ += fraction_;
        if (remainder_ >= dest_) {
            remainder_ -= dest_;
            ++position_;
        }
    }

private:
    uint64_t dest_;
    bool exact_;
    uint64_t step_ = 0;
    uint64_t whole_ = 0;
    uint64_t fraction_ = 0;
    uint64_t position_ = 0;
    uint64_t remainder_ = 0;
};

} // namespace

HRESULT Blitter::Execute(PixelBlock& dest, const PixelBlock& source, DWORD filterWord) {
    destCodec.reset();
    sourceCodec.reset();
    filter = filterWord;
    if (!TxIsValidFilter(filterWord)) return D3DERR_INVALIDCALL;
    dest.dither = filterWord & TX_FILTER_DITHER;

    HRESULT hr = E_FAIL;
    destCodec = CreatePixelCodec(dest);
    if (destCodec) sourceCodec = CreatePixelCodec(source);
    if (destCodec && sourceCodec) {
        hr = destCodec->PrepareConversion(*sourceCodec);
        if (SUCCEEDED(hr)) {
            static constexpr HRESULT (Blitter::*kChain[])() = {
                &Blitter::TryIdentical, &Blitter::TryConvert,  &Blitter::TryNone,
                &Blitter::TryPoint,     &Blitter::TryBox2D,    &Blitter::TryBox3D,
                &Blitter::TryLinear2D,  &Blitter::TryLinear3D, &Blitter::TryTriangle2D,
                &Blitter::TryTriangle3D};
            hr = E_FAIL;
            for (auto strategy : kChain) {
                if (SUCCEEDED((this->*strategy)())) {
                    hr = S_OK;
                    break;
                }
            }
        }
    }
    // Destination first: a codec that caches pixels writes them back when it
    // is destroyed, so the destination is complete before the source goes.
    destCodec.reset();
    sourceCodec.reset();
    return hr;
}

HRESULT Blitter::TryIdentical() {
    const PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (src.format != dst.format || src.colorKey != 0 || !SameExtents(src, dst)) return E_FAIL;
    if (!dst.byteAddressable || !src.byteAddressable) return TryIdenticalBlocks();
    // The same indices mean the same colours only under the same palette.
    if (IsPalettized(dst.format) && !SamePalette(src, dst)) return E_FAIL;

    const size_t rowBytes = static_cast<size_t>(dst.width) * dst.bytesPerPixel;
    for (UINT z = 0; z < dst.depth; ++z)
        for (UINT y = 0; y < dst.height; ++y)
            std::memmove(dst.RowAddress(y, z), src.RowAddress(y, z), rowBytes);
    return S_OK;
}

HRESULT Blitter::TryIdenticalBlocks() {
    const PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    const D3DBOX& sb = src.box;
    const D3DBOX& db = dst.box;
    // Whole blocks only: a box that cuts through a block has to be decoded.
    if (((sb.Left | sb.Top | sb.Right | sb.Bottom | db.Left | db.Top | db.Right | db.Bottom) & 3) !=
        0)
        return E_FAIL;
    const UINT blockBytes = D3DDxtBlockBytes(dst.format);
    if (blockBytes == 0) return E_FAIL;
    if (dst.depth == 0) return S_OK;

    const BYTE* srcSlice = src.bits + static_cast<size_t>(sb.Top / 4) * src.rowPitch +
                           static_cast<size_t>(sb.Front) * src.slicePitch +
                           static_cast<size_t>(sb.Left / 4) * blockBytes;
    BYTE* dstSlice = dst.bits + static_cast<size_t>(db.Top / 4) * dst.rowPitch +
                     static_cast<size_t>(db.Front) * dst.slicePitch +
                     static_cast<size_t>(db.Left / 4) * blockBytes;
    const size_t rowBytes = static_cast<size_t>(dst.width / 4) * blockBytes;
    for (UINT z = 0; z < dst.depth; ++z) {
        const BYTE* s = srcSlice;
        BYTE* d = dstSlice;
        for (UINT y = 0; y < dst.height; y += 4) {
            std::memmove(d, s, rowBytes);
            s += src.rowPitch;
            d += dst.rowPitch;
        }
        srcSlice += src.slicePitch;
        dstSlice += dst.slicePitch;
    }
    return S_OK;
}

HRESULT Blitter::TryConvert() {
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (!SameExtents(src, dst)) return E_FAIL;
    // Between packed formats, straight from pixel to pixel where that gives
    // the same bits.
    PackedConversion packed;
    if (PackedConversion::PaysOff(dst) && packed.Prepare(src, dst)) {
        for (UINT z = 0; z < dst.depth; ++z)
            for (UINT y = 0; y < dst.height; ++y)
                packed.ConvertRow(src.RowAddress(y, z), dst.RowAddress(y, z), dst.width, y, z);
        return S_OK;
    }
    ColorRow row = AllocateRow(dst.width);
    if (!row) return E_FAIL;
    for (UINT z = 0; z < dst.depth; ++z) {
        for (UINT y = 0; y < dst.height; ++y) {
            src.DecodeRow(y, z, row.get());
            dst.EncodeRow(y, z, row.get());
        }
    }
    return S_OK;
}

HRESULT Blitter::TryNone() {
    if (FilterKind(filter) != TX_FILTER_NONE) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    // A is cleared once: where the source is narrower, the columns beyond it
    // keep their zeros, since a decoder writes only its own width.
    const UINT wide = std::max(src.width, dst.width);
    const UINT commonHeight = std::min(src.height, dst.height);
    const UINT commonDepth = std::min(src.depth, dst.depth);
    ColorRow copied = AllocateZeroedRow(wide);
    ColorRow zeros = AllocateZeroedRow(dst.width);
    if (!copied || !zeros) return E_FAIL;

    for (UINT z = 0; z < commonDepth; ++z) {
        for (UINT y = 0; y < commonHeight; ++y) {
            src.DecodeRow(y, z, copied.get());
            dst.EncodeRow(y, z, copied.get());
        }
        for (UINT y = commonHeight; y < dst.height; ++y)
            dst.EncodeRow(y, z, zeros.get());
    }
    for (UINT z = commonDepth; z < dst.depth; ++z)
        for (UINT y = 0; y < dst.height; ++y)
            dst.EncodeRow(y, z, zeros.get());
    return S_OK;
}

HRESULT Blitter::TryPoint() {
    if (FilterKind(filter) != TX_FILTER_POINT) return E_FAIL;
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    // Nothing to write; and nothing to sample a non-empty destination from.
    if (IsEmpty(dst)) return S_OK;
    if (IsEmpty(src)) return E_FAIL;

    ColorRow sourceRow = AllocateRow(src.width);
    ColorRow out = AllocateRow(dst.width);
    if (!sourceRow || !out) return E_OUTOFMEMORY;

    PointAxis zAxis(src.depth, dst.depth);
    for (UINT k = 0; k < dst.depth; ++k) {
        // A new slice always decodes afresh, even when the row index repeats.
        bool haveRow = false;
        UINT decodedRow = 0;
        PointAxis yAxis(src.height, dst.height);
        for (UINT j = 0; j < dst.height; ++j) {
            if (!haveRow || yAxis.index() != decodedRow) {
                decodedRow = yAxis.index();
                src.DecodeRow(decodedRow, zAxis.index(), sourceRow.get());
                haveRow = true;
            }
            PointAxis xAxis(src.width, dst.width);
            for (UINT i = 0; i < dst.width; ++i) {
                out[i] = sourceRow[xAxis.index()];
                xAxis.Advance();
            }
            dst.EncodeRow(j, k, out.get());
            yAxis.Advance();
        }
        zAxis.Advance();
    }
    return S_OK;
}
