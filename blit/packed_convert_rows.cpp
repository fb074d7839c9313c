// Row loops of the packed-to-packed conversion, one instance per pair of
// pixel sizes. The loops over the fields are unrolled to the largest number
// of fields, each step guarded by the plan's count (a branch that always
// goes the same way), so that the fields' constants stay in registers.
#include "blit/packed_convert_rows.h"

#include <algorithm>
#include <utility>

#include "codec/simd_support.h"
#if TX_CODEC_AVX2
#include "codec/packed_avx2.h"
#endif

namespace packedrows {
namespace {

template <template <UINT, UINT> class Loop, UINT SourceBytes, size_t... DestIndex>
RowFunction ForDestSize(UINT destBytes, std::index_sequence<DestIndex...>) {
    static constexpr RowFunction kLoops[] = {Loop<SourceBytes, UINT(DestIndex + 1)>::Run...};
    return kLoops[destBytes - 1];
}

// The loop of `Loop` for source pixels of 1 to 4 bytes and destination
// pixels of 1 to MaxDestBytes bytes.
template <template <UINT, UINT> class Loop, UINT MaxDestBytes = 4>
RowFunction ForSizes(UINT sourceBytes, UINT destBytes) {
    using Dests = std::make_index_sequence<MaxDestBytes>;
    switch (sourceBytes) {
    case 1:
        return ForDestSize<Loop, 1>(destBytes, Dests{});
    case 2:
        return ForDestSize<Loop, 2>(destBytes, Dests{});
    case 3:
        return ForDestSize<Loop, 3>(destBytes, Dests{});
    default:
        return ForDestSize<Loop, 4>(destBytes, Dests{});
    }
}

#if TX_CODEC_AVX2

// Two 16-byte halves, from p and from p + second (one load when they touch).
template <UINT Second>
TX_TARGET_AVX2 inline __m256i LoadHalves(const BYTE* p) {
    if constexpr (Second == 16) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + Second));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    }
}

// Stores both halves whole, the first at p and the second at p + second: the
// bytes of the first beyond `second` belong to later pixels and are written
// again by the second store or by a later pixel.
template <UINT Second>
TX_TARGET_AVX2 inline void StoreHalves(BYTE* p, __m256i v) {
    if constexpr (Second == 16) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + Second), _mm256_extracti128_si256(v, 1));
    }
}

TX_TARGET_AVX2 inline __m256i BothHalves(const BYTE* bytes) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
}

// Each half converts `lanePixels` pixels with one byte shuffle. A half reads
// and writes 16 bytes whatever it uses, so the loop stops where a half would
// reach beyond the row, and the table loop does the rest.
template <UINT SourceBytes, UINT DestBytes>
struct ByteMoveLoop {
    static TX_TARGET_AVX2 void Run(const PackedRowPlan& plan, const BYTE* from, BYTE* to,
                                   UINT width, UINT y, UINT z) {
        constexpr UINT kPixels = std::min(16 / SourceBytes, 16 / DestBytes);
        constexpr UINT kReach = kPixels + std::max((16 + SourceBytes - 1) / SourceBytes,
                                                   (16 + DestBytes - 1) / DestBytes);
        const __m256i shuffle = BothHalves(plan.shuffle);
        const __m256i keep = BothHalves(plan.keep);
        const __m256i bits = BothHalves(plan.bits);
        UINT x = 0;
        for (; x + kReach <= width; x += 2 * kPixels) {
            const __m256i in = LoadHalves<kPixels * SourceBytes>(from + size_t(SourceBytes) * x);
            const __m256i moved = _mm256_shuffle_epi8(in, shuffle);
            StoreHalves<kPixels * DestBytes>(to + size_t(DestBytes) * x,
                                             _mm256_or_si256(_mm256_and_si256(moved, keep), bits));
        }
        LookupPixels<SourceBytes, DestBytes>(plan, from, to, x, width, y, z);
    }
};

// The multipliers, addends and constant bits of the lanes of one row. Groups
// of pixels start at multiples of 4, and lane j holds a pixel whose index is
// j modulo 4 (in the 16-bit loop's order as well), so the threshold column
// (pixel + z) mod 4 of a lane is the same in every group.
template <typename Lane, UINT Lanes>
struct LaneThresholds {
    LaneThresholds(const PackedRowPlan& plan, UINT y, UINT z) {
        const UINT rowBase = RowBase(plan, y);
        for (UINT lane = 0; lane < Lanes; ++lane) {
            const UINT t = ThresholdIndex(plan, rowBase, lane, z);
            constant[lane] = Lane(plan.constant[t]);
            for (UINT i = 0; i < plan.fieldCount; ++i) {
                mul[i][lane] = Lane(plan.fields[i].mul[t]);
                add[i][lane] = Lane(plan.fields[i].add[t]);
            }
        }
    }
    alignas(32) Lane mul[PackedRowPlan::kMaxFields][Lanes];
    alignas(32) Lane add[PackedRowPlan::kMaxFields][Lanes];
    alignas(32) Lane constant[Lanes];
};

TX_TARGET_AVX2 inline __m256i Load256(const void* p) {
    return _mm256_load_si256(static_cast<const __m256i*>(p));
}

// Sixteen pixels at a time, one 16-bit lane each, for destinations of one or
// two bytes. Pixels of one or two bytes are loaded into the lanes as they
// are. Pixels of three or four bytes are loaded as two vectors of eight, and
// each field's byte is shuffled into the lanes (PackedFieldPlan::gather):
// half h of the lanes then holds pixels 4h to 4h + 3 and 8 + 4h to 8 + 4h + 3,
// which one exchange of 64-bit quarters puts in order at the end.
template <UINT SourceBytes, UINT DestBytes>
struct Arithmetic16Loop {
    static constexpr bool kGathered = SourceBytes >= 3;

    // Bytes of eight pixels as the gather shuffles expect them.
    static TX_TARGET_AVX2 __m256i LoadEightRaw(const BYTE* p) {
        if constexpr (SourceBytes == 4) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        } else {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
            return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        }
    }

    static TX_TARGET_AVX2 void Run(const PackedRowPlan& plan, const BYTE* from, BYTE* to,
                                   UINT width, UINT y, UINT z) {
        const LaneThresholds<uint16_t, 16> lanes(plan, y, z);
        const UINT fieldCount = plan.fieldCount;
        __m256i gather0[PackedRowPlan::kMaxFields], gather1[PackedRowPlan::kMaxFields];
        __m256i fromMask[PackedRowPlan::kMaxFields], mul[PackedRowPlan::kMaxFields];
        __m256i add[PackedRowPlan::kMaxFields], toMask[PackedRowPlan::kMaxFields];
        __m128i fromShift[PackedRowPlan::kMaxFields], toShift[PackedRowPlan::kMaxFields];
        for (UINT i = 0; i < fieldCount; ++i) {
            const PackedFieldPlan& f = plan.fields[i];
            gather0[i] = Load256(f.gather[0]);
            gather1[i] = Load256(f.gather[1]);
            fromMask[i] = _mm256_set1_epi16(short((1u << f.from.bits) - 1u));
            fromShift[i] = _mm_cvtsi32_si128(int(f.from.shift));
            mul[i] = Load256(lanes.mul[i]);
            add[i] = Load256(lanes.add[i]);
            toShift[i] = _mm_cvtsi32_si128(int(f.shift - f.to.shift));
            toMask[i] = _mm256_set1_epi16(short(((1u << f.to.bits) - 1u) << f.to.shift));
        }
        const __m256i constant = Load256(lanes.constant);

        UINT x = 0;
        for (; x + 16 <= width; x += 16) {
            const BYTE* p = from + size_t(SourceBytes) * x;
            __m256i v0, v1;
            if constexpr (kGathered) {
                v0 = LoadEightRaw(p);
                v1 = LoadEightRaw(p + 8 * SourceBytes);
            } else if constexpr (SourceBytes == 2) {
                v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            } else {
                v0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
            }
            __m256i out = constant;
#pragma GCC unroll 4
            for (UINT i = 0; i < PackedRowPlan::kMaxFields; ++i) {
                if (i == fieldCount) break;
                __m256i value;
                if constexpr (kGathered) {
                    value = _mm256_or_si256(_mm256_shuffle_epi8(v0, gather0[i]),
                                            _mm256_shuffle_epi8(v1, gather1[i]));
                } else {
                    value = _mm256_and_si256(_mm256_srl_epi16(v0, fromShift[i]), fromMask[i]);
                }
                value = _mm256_add_epi16(_mm256_mullo_epi16(value, mul[i]), add[i]);
                value = _mm256_and_si256(_mm256_srl_epi16(value, toShift[i]), toMask[i]);
                out = _mm256_or_si256(out, value);
            }
            if constexpr (kGathered) out = _mm256_permute4x64_epi64(out, 0xD8);
            BYTE* q = to + size_t(DestBytes) * x;
            if constexpr (DestBytes == 2) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), out);
            } else {
                const __m128i bytes =
                    _mm_packus_epi16(_mm256_castsi256_si128(out), _mm256_extracti128_si256(out, 1));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(q), bytes);
            }
        }
        LookupPixels<SourceBytes, DestBytes>(plan, from, to, x, width, y, z);
    }
};

// The fields of eight pixels in 32-bit lanes: every field is extracted, put
// through (value x mul + add) >> shift with the multiplier and addend of its
// lane's threshold, and taken straight to its place with one right shift
// (shift >= to.shift) and a mask.
struct Fields32 {
    TX_TARGET_AVX2 Fields32(const PackedRowPlan& plan, UINT y, UINT z) : count(plan.fieldCount) {
        const LaneThresholds<uint32_t, 8> lanes(plan, y, z);
        for (UINT i = 0; i < count; ++i) {
            const PackedFieldPlan& f = plan.fields[i];
            fromMask[i] = _mm256_set1_epi32(int(((1u << f.from.bits) - 1u) << f.from.shift));
            fromShift[i] = _mm256_set1_epi32(int(f.from.shift));
            mul[i] = Load256(lanes.mul[i]);
            add[i] = Load256(lanes.add[i]);
            toShift[i] = _mm256_set1_epi32(int(f.shift - f.to.shift));
            toMask[i] = _mm256_set1_epi32(int(((1u << f.to.bits) - 1u) << f.to.shift));
        }
        constant = Load256(lanes.constant);
    }

    // The constant bits and the fields of source pixels v.
    TX_TARGET_AVX2 __m256i Convert(__m256i v) const {
        __m256i out = constant;
#pragma GCC unroll 4
        for (UINT i = 0; i < PackedRowPlan::kMaxFields; ++i) {
            if (i == count) break;
            __m256i value = _mm256_srlv_epi32(_mm256_and_si256(v, fromMask[i]), fromShift[i]);
            value = _mm256_add_epi32(_mm256_mullo_epi32(value, mul[i]), add[i]);
            value = _mm256_and_si256(_mm256_srlv_epi32(value, toShift[i]), toMask[i]);
            out = _mm256_or_si256(out, value);
        }
        return out;
    }

    __m256i fromMask[PackedRowPlan::kMaxFields], fromShift[PackedRowPlan::kMaxFields];
    __m256i mul[PackedRowPlan::kMaxFields], add[PackedRowPlan::kMaxFields];
    __m256i toShift[PackedRowPlan::kMaxFields], toMask[PackedRowPlan::kMaxFields];
    __m256i constant;
    UINT count;
};

// Eight pixels at a time, one 32-bit lane each.
template <UINT SourceBytes, UINT DestBytes>
struct Arithmetic32Loop {
    static TX_TARGET_AVX2 void Run(const PackedRowPlan& plan, const BYTE* from, BYTE* to,
                                   UINT width, UINT y, UINT z) {
        const Fields32 fields(plan, y, z);
        UINT x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i v = packed::LoadEight<SourceBytes>(from + size_t(SourceBytes) * x);
            packed::StoreEight<DestBytes>(to + size_t(DestBytes) * x, fields.Convert(v));
        }
        LookupPixels<SourceBytes, DestBytes>(plan, from, to, x, width, y, z);
    }
};

#endif

} // namespace

#if TX_CODEC_AVX2

RowFunction ByteMoveRow(UINT sourceBytes, UINT destBytes) {
    return UseAvx2() ? ForSizes<ByteMoveLoop>(sourceBytes, destBytes) : nullptr;
}

RowFunction Arithmetic16Row(UINT sourceBytes, UINT destBytes) {
    if (!UseAvx2() || destBytes > 2) return nullptr;
    return ForSizes<Arithmetic16Loop, 2>(sourceBytes, destBytes);
}

RowFunction Arithmetic32Row(UINT sourceBytes, UINT destBytes) {
    return UseAvx2() ? ForSizes<Arithmetic32Loop>(sourceBytes, destBytes) : nullptr;
}

#else

RowFunction ByteMoveRow(UINT, UINT) {
    return nullptr;
}
RowFunction Arithmetic16Row(UINT, UINT) {
    return nullptr;
}
RowFunction Arithmetic32Row(UINT, UINT) {
    return nullptr;
}

#endif

} // namespace packedrows
