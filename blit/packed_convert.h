// Conversion between two packed unsigned formats straight from pixel to
// pixel, with the bits that decoding into ColorF and encoding again give.
//
// Every field of such a destination depends on one field of the source (or
// on none), and on the encoder's threshold. So the stored field is a function
// of a source field value of at most a few bits and of one of at most 16
// thresholds. A table of that function, made once per transfer by running
// the codecs' own rows over every value, reproduces them by construction.
// The row loops run 8 to 32 pixels at a time with AVX2: fields that move
// unchanged as whole bytes become one byte shuffle, and every other table is
// replaced by an exact integer form (value x multiplier + addend) >> shift,
// checked against the table for every value before it is used, in 16-bit
// lanes where the form fits them (destinations of one or two bytes), else in
// 32-bit lanes. The tables themselves finish each row, one pixel at a time.
// Without AVX2 that alone would be slower than the codecs' own vector loops,
// so the path is then not taken.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/packed_layout.h"

// The row loop that a prepared conversion runs.
enum class PackedKernel {
    None,         // not prepared: the pair is not converted this way
    ByteMove,     // byte shuffle, mask and constant bits (AVX2)
    Arithmetic16, // multiply, add and shift per field in 16-bit lanes (AVX2)
    Arithmetic32, // the same in 32-bit lanes (AVX2)
};

// One destination field that depends on a source field.
struct PackedFieldPlan {
    PackedField from; // the source field
    PackedField to;   // the destination field
    // Stored bits, already in place, for [threshold][source value].
    const uint32_t* lookup;
    // The integer form, when one was found: (value * mul[t] + add[t]) >> shift
    // equals the table's field value for every value and threshold t, the
    // sum staying within the lanes of the arithmetic loop (16 or 32 bits).
    UINT shift;
    uint32_t mul[16];
    uint32_t add[16];
    // For the 16-bit loop over pixels of 3 or 4 bytes: the byte shuffles that
    // bring the bytes holding the field into 16-bit lanes, from the first and
    // the second eight pixels of a group of 16 (see packed_convert_rows.cpp).
    alignas(32) BYTE gather[2][32];
};

// What the row loops read: everything about the pair that does not change
// from row to row.
struct PackedRowPlan {
    static constexpr UINT kMaxFields = 4;

    UINT sourceBytes;
    UINT destBytes;
    // 16 thresholds (index 4 x (y mod 4) + (x + z) mod 4), or 1 (index 0).
    bool dithered;
    UINT fieldCount;
    PackedFieldPlan fields[kMaxFields];
    // Bits of the destination fields that depend on no source field.
    uint32_t constant[16];

    // The byte shuffle: each 16-byte half holds `lanePixels` pixels; destination
    // byte i takes source byte shuffle[i] (0x80: none), then keeps the bits of
    // keep[i] and gains those of bits[i].
    UINT lanePixels;
    alignas(16) BYTE shuffle[16];
    alignas(16) BYTE keep[16];
    alignas(16) BYTE bits[16];
};

class PackedConversion {
public:
    // Largest source field this path takes: its tables have 2^bits entries
    // per threshold.
    static constexpr UINT kMaxSourceFieldBits = 10;

    PackedConversion() = default;
    PackedConversion(const PackedConversion&) = delete;
    PackedConversion& operator=(const PackedConversion&) = delete;

    // Whether a transfer into `dest` is large enough to pay for the tables:
    // they cost about as much as converting some thousand pixels through
    // ColorF, and sixteen times that with dithering.
    static bool PaysOff(const PixelCodec& dest);

    // Prepares the conversion of the rows of `source` into `dest`, as the
    // codecs' DecodeRow and EncodeRow would do it in the current rounding
    // mode. False, with nothing prepared, when the pair is not converted this
    // way: a codec that is not a packed one, a source colour key, a channel
    // type conversion, a destination field that depends on more than one
    // source field (luminance from colour), a source field wider than
    // kMaxSourceFieldBits, blocks whose memory overlaps, a processor without
    // AVX2, or no memory for the tables.
    bool Prepare(const PixelCodec& source, const PixelCodec& dest);

    // Converts `width` pixels of row y of slice z (counted from the box, as
    // the codecs count them) from `from` into `to`.
    void ConvertRow(const BYTE* from, BYTE* to, UINT width, UINT y, UINT z) const;

    PackedKernel kernel() const { return kernel_; }

private:
    bool PlanFields(const PackedLayout& source, const PackedLayout& dest, uint32_t* constantMask);
    bool BuildTables(const PixelCodec& source, const PixelCodec& dest, uint32_t constantMask);
    bool ChooseKernel();

    using RowFunction = void (*)(const PackedRowPlan&, const BYTE*, BYTE*, UINT, UINT, UINT);

    PackedRowPlan plan_{};
    std::unique_ptr<uint32_t[]> lookups_;
    PackedKernel kernel_ = PackedKernel::None;
    RowFunction row_ = nullptr;
};
