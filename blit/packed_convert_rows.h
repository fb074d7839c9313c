// The row loops of PackedConversion: the table loop, one pixel at a time,
// which finishes the rows of the vector loops, and the choice of the vector
// loops (packed_convert_rows.cpp).
#pragma once

#include "blit/packed_convert.h"

namespace packedrows {

// Converts `width` pixels of row y of slice z.
using RowFunction = void (*)(const PackedRowPlan& plan, const BYTE* from, BYTE* to, UINT width,
                             UINT y, UINT z);

// Index of the threshold of pixel x in a row whose thresholds start at
// `rowBase` (4 x (y mod 4), or 0 for the neutral table).
inline UINT ThresholdIndex(const PackedRowPlan& plan, UINT rowBase, UINT x, UINT z) {
    return plan.dithered ? rowBase + ((x + z) & 3) : 0;
}

inline UINT RowBase(const PackedRowPlan& plan, UINT y) {
    return plan.dithered ? 4 * (y & 3) : 0;
}

// Pixels x to width - 1 of a row through the tables: the few after the last
// whole group of a vector loop, so kept out of line.
template <UINT SourceBytes, UINT DestBytes>
[[gnu::noinline]] void LookupPixels(const PackedRowPlan& plan, const BYTE* from, BYTE* to, UINT x,
                                    UINT width, UINT y, UINT z) {
    const UINT rowBase = RowBase(plan, y);
    for (; x < width; ++x) {
        const UINT t = ThresholdIndex(plan, rowBase, x, z);
        const DWORD v = packed::LoadPixel<SourceBytes>(from + size_t(SourceBytes) * x);
        DWORD out = plan.constant[t];
        for (UINT i = 0; i < plan.fieldCount; ++i) {
            const PackedFieldPlan& f = plan.fields[i];
            const DWORD value = (v >> f.from.shift) & ((1u << f.from.bits) - 1u);
            out |= f.lookup[(size_t(t) << f.from.bits) + value];
        }
        packed::StorePixel<DestBytes>(to + size_t(DestBytes) * x, out);
    }
}

// The vector loops, or null where the processor or the build has no AVX2
// (and, for the 16-bit loop, for destinations of more than two bytes).
RowFunction ByteMoveRow(UINT sourceBytes, UINT destBytes);
RowFunction Arithmetic16Row(UINT sourceBytes, UINT destBytes);
RowFunction Arithmetic32Row(UINT sourceBytes, UINT destBytes);

} // namespace packedrows
