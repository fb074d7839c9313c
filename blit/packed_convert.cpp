// Planning of the packed-to-packed conversion: which source field each
// destination field depends on, the tables made with the codecs' arithmetic,
// and the choice of the row loop.
#include "blit/packed_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "blit/packed_convert_rows.h"
#include "codec/packed_access.h"
#include "codec/simd_support.h"

namespace {

constexpr UINT kChannelAlpha = 3;

bool SameField(const PackedField& a, const PackedField& b) {
    return a.shift == b.shift && a.bits == b.bits;
}

uint32_t FieldMask(const PackedField& f) {
    return f.bits == 0 ? 0u : ((1u << f.bits) - 1u) << f.shift;
}

// The field that channel c (r, g, b, a) decodes from, as DecodePixel fills
// the channels; width 0 when the channel decodes to a constant.
PackedField ChannelSource(const PackedLayout& l, UINT c) {
    const PackedField own[4] = {l.red, l.green, l.blue, l.alpha};
    if (own[c].bits != 0) return own[c];
    if (c != kChannelAlpha && l.luminance.bits != 0) return l.luminance;
    return {};
}

// A destination field and the channels its encoder reads.
struct DestField {
    PackedField field;
    UINT firstChannel;
    UINT lastChannel;
};

// The source field that the channels first..last all decode from, or width 0
// when they are all constants. False when they come from different fields,
// as the three channels of luminance do from a colour source.
bool SingleSource(const PackedLayout& source, const DestField& d, PackedField* from) {
    *from = {};
    for (UINT c = d.firstChannel; c <= d.lastChannel; ++c) {
        const PackedField s = ChannelSource(source, c);
        if (s.bits == 0) continue;
        if (from->bits != 0 && !SameField(*from, s)) return false;
        *from = s;
    }
    return true;
}

// Source pixel whose every field holds v (cut to the field's width).
DWORD PixelWithEveryField(const PackedLayout& l, DWORD v) {
    DWORD pixel = 0;
    for (const PackedField& f : {l.red, l.green, l.blue, l.alpha, l.luminance}) {
        if (f.bits != 0) pixel |= (v & ((1u << f.bits) - 1u)) << f.shift;
    }
    return pixel;
}

// The stored field value of table entry [t][v].
uint32_t TableValue(const PackedFieldPlan& f, UINT t, UINT v) {
    return f.lookup[(size_t(t) << f.from.bits) + v] >> f.to.shift;
}

// Looks for one shift and, per threshold, a multiplier and an addend with
// (v x mul + add) >> shift equal to the table for every source value v,
// computed in unsigned lanes of `laneBits` bits without overflow. The tables
// are floors of nearly linear functions, so the multiplier is the field's
// scale taken to `shift` fraction bits, give or take a unit; for each
// candidate the range of addends that fits every value is exact, so whatever
// is found reproduces the table by construction. The shift is at least the
// destination field's position, so that one right shift and a mask put the
// value in place; since the result has to.bits bits, every shift up to
// laneBits - to.bits keeps the sum within the lane, and the largest is tried
// first for the finest multiplier.
bool FindArithmetic(PackedFieldPlan& f, UINT thresholdCount, UINT laneBits) {
    const UINT values = 1u << f.from.bits;
    const uint32_t* lookup = f.lookup;
    const UINT toShift = f.to.shift;
    const double slope =
        double(UnormEncodeScale(f.to.bits)) * double(UnormDecodeFactor(f.from.bits));
    const int64_t limit = int64_t(1) << laneBits;
    uint32_t mul[16];
    uint32_t add[16];
    for (int shift = int(laneBits) - int(f.to.bits); shift >= int(toShift); --shift) {
        const int64_t centre = std::llround(std::ldexp(slope, shift));
        for (int64_t m : {centre, centre - 1, centre + 1, centre - 2, centre + 2}) {
            if (m < 0 || m >= limit) continue;
            bool fits = true;
            for (UINT t = 0; t < thresholdCount && fits; ++t) {
                const uint32_t* table = lookup + (size_t(t) << f.from.bits);
                int64_t low = 0;
                int64_t high = INT64_MAX;
                for (UINT v = 0; v < values && low <= high; ++v) {
                    const int64_t stored = table[v] >> toShift;
                    low = std::max(low, (stored << shift) - int64_t(v) * m);
                    high = std::min(high, ((stored + 1) << shift) - 1 - int64_t(v) * m);
                }
                fits = low <= high && int64_t(values - 1) * m + low < limit;
                mul[t] = uint32_t(m);
                add[t] = uint32_t(low);
            }
            if (fits) {
                f.shift = UINT(shift);
                std::copy(mul, mul + thresholdCount, f.mul);
                std::copy(add, add + thresholdCount, f.add);
                return true;
            }
        }
    }
    return false;
}

bool FindArithmeticForAll(PackedRowPlan& plan, UINT thresholdCount, UINT laneBits) {
    for (UINT i = 0; i < plan.fieldCount; ++i) {
        if (!FindArithmetic(plan.fields[i], thresholdCount, laneBits)) return false;
    }
    return true;
}

// The byte shuffles of the 16-bit loop for 3- and 4-byte source pixels. The
// loop holds 16 pixels as two vectors r0 and r1 of eight; in each 16-byte
// half of r0 and r1 lie four pixels, at bytes 4i (4-byte pixels) or, for
// 3-byte pixels, 3i in the first half and 4 + 3i in the second (the halves
// are loaded from bytes 0 and 8 of the 24). The shuffle of r0 fills 16-bit
// lanes 0-3 of each half, that of r1 lanes 4-7, with the field's byte and a
// zero above it. So only whole-byte fields are taken (all that such formats
// have): the shuffles alone then extract them.
bool PlanGather(PackedRowPlan& plan) {
    const UINT bytes = plan.sourceBytes;
    for (UINT i = 0; i < plan.fieldCount; ++i) {
        PackedFieldPlan& f = plan.fields[i];
        if (f.from.bits != 8 || f.from.shift % 8 != 0) return false;
        for (UINT vector = 0; vector < 2; ++vector) {
            for (UINT half = 0; half < 2; ++half) {
                BYTE* pattern = f.gather[vector] + 16 * half;
                for (UINT b = 0; b < 16; ++b)
                    pattern[b] = 0x80;
                for (UINT p = 0; p < 4; ++p) {
                    const UINT start = bytes == 4 ? 4 * p : (half == 0 ? 3 * p : 4 + 3 * p);
                    pattern[2 * (4 * vector + p)] = BYTE(start + f.from.shift / 8);
                }
            }
        }
    }
    return true;
}

// Whether every field moves unchanged, at the same bit position within its
// bytes, so that each destination byte is one source byte masked, and the
// constant bits are the same under every threshold. Fills the shuffle.
bool PlanByteMove(PackedRowPlan& plan, UINT thresholdCount) {
    for (UINT t = 1; t < thresholdCount; ++t) {
        if (plan.constant[t] != plan.constant[0]) return false;
    }
    int sourceByte[4] = {-1, -1, -1, -1};
    uint32_t keep = 0;
    for (UINT i = 0; i < plan.fieldCount; ++i) {
        const PackedFieldPlan& f = plan.fields[i];
        if (f.from.bits != f.to.bits || f.from.shift % 8 != f.to.shift % 8) return false;
        for (UINT t = 0; t < thresholdCount; ++t) {
            for (UINT v = 0; v < (1u << f.from.bits); ++v) {
                if (TableValue(f, t, v) != v) return false;
            }
        }
        const int delta = int(f.to.shift / 8) - int(f.from.shift / 8);
        for (UINT b = f.to.shift / 8; b <= (f.to.shift + f.to.bits - 1) / 8; ++b) {
            const int s = int(b) - delta;
            if (sourceByte[b] >= 0 && sourceByte[b] != s) return false;
            sourceByte[b] = s;
        }
        keep |= FieldMask(f.to);
    }
    plan.lanePixels = std::min(16 / plan.sourceBytes, 16 / plan.destBytes);
    for (UINT i = 0; i < 16; ++i) {
        plan.shuffle[i] = 0x80;
        plan.keep[i] = 0;
        plan.bits[i] = 0;
    }
    for (UINT p = 0; p < plan.lanePixels; ++p) {
        for (UINT b = 0; b < plan.destBytes; ++b) {
            const UINT i = p * plan.destBytes + b;
            if (sourceByte[b] >= 0) plan.shuffle[i] = BYTE(p * plan.sourceBytes + sourceByte[b]);
            plan.keep[i] = BYTE(keep >> (8 * b));
            plan.bits[i] = BYTE(plan.constant[0] >> (8 * b));
        }
    }
    return true;
}

// Whether the encoder's thresholds differ from pixel to pixel.
bool Dithered(const PixelCodec& dest) {
    for (UINT t = 0; t < 16; ++t) {
        if (dest.thresholds[t / 4][t % 4] != dest.thresholds[0][0]) return true;
    }
    return false;
}

// A pixel of 1 to 4 bytes, little-endian.
void PutPixel(BYTE* p, UINT bytes, DWORD v) {
    for (UINT i = 0; i < bytes; ++i)
        p[i] = BYTE(v >> (8 * i));
}

bool ValidPixelSize(UINT bytes) {
    return bytes >= 1 && bytes <= 4;
}

// First byte and end of the memory that a codec's box covers.
struct Span {
    const BYTE* begin;
    const BYTE* end;
};

Span BoxSpan(const PixelCodec& c) {
    if (c.width == 0 || c.height == 0 || c.depth == 0) return {c.bits, c.bits};
    const size_t last = size_t(c.depth - 1) * c.slicePitch + size_t(c.height - 1) * c.rowPitch;
    return {c.bits, c.bits + last + size_t(c.width) * c.bytesPerPixel};
}

bool Overlap(const PixelCodec& a, const PixelCodec& b) {
    const Span sa = BoxSpan(a);
    const Span sb = BoxSpan(b);
    return sa.begin < sb.end && sb.begin < sa.end;
}

} // namespace

bool PackedConversion::PaysOff(const PixelCodec& dest) {
    // Measured: about 6 us for the tables of 8-bit fields under one
    // threshold and 25 us under 16, against 1 to 1.5 ns a pixel through
    // ColorF.
    const size_t pixels = size_t(dest.width) * dest.height * dest.depth;
    return pixels >= (Dithered(dest) ? 16384u : 4096u);
}

bool PackedConversion::Prepare(const PixelCodec& source, const PixelCodec& dest) {
    kernel_ = PackedKernel::None;
    row_ = nullptr;
    lookups_.reset();
    plan_ = {};
    const PackedLayout* from = PackedLayoutOf(source);
    const PackedLayout* to = PackedLayoutOf(dest);
    if (from == nullptr || to == nullptr) return false;
    if (!ValidPixelSize(from->bytesPerPixel) || !ValidPixelSize(to->bytesPerPixel)) return false;
    // Keyed pixels depend on every field at once; a conversion between
    // channel types is arithmetic between decode and encode.
    if (source.colorKey != 0 || dest.convertFrom != ChannelType::None ||
        source.channelType != dest.channelType)
        return false;
    // A row is read ahead and written in whole vectors: the two must not
    // share memory. (The conversion through ColorF reads a whole row first.)
    if (Overlap(source, dest)) return false;

    plan_.sourceBytes = from->bytesPerPixel;
    plan_.destBytes = to->bytesPerPixel;
    uint32_t constantMask = 0;
    if (!PlanFields(*from, *to, &constantMask)) return false;
    plan_.dithered = Dithered(dest);
    return BuildTables(source, dest, constantMask) && ChooseKernel();
}

bool PackedConversion::PlanFields(const PackedLayout& source, const PackedLayout& dest,
                                  uint32_t* constantMask) {
    // Each destination field with the source field it depends on; fields
    // that depend on none are constants under each threshold.
    const DestField destFields[] = {{dest.luminance, 0, 2},
                                    {dest.red, 0, 0},
                                    {dest.green, 1, 1},
                                    {dest.blue, 2, 2},
                                    {dest.alpha, 3, 3}};
    for (const DestField& d : destFields) {
        if (d.field.bits == 0) continue;
        PackedField from;
        if (!SingleSource(source, d, &from)) return false;
        if (from.bits == 0) {
            *constantMask |= FieldMask(d.field);
            continue;
        }
        if (from.bits > kMaxSourceFieldBits || plan_.fieldCount == PackedRowPlan::kMaxFields)
            return false;
        PackedFieldPlan& f = plan_.fields[plan_.fieldCount++];
        f.from = from;
        f.to = d.field;
    }
    return true;
}

bool PackedConversion::BuildTables(const PixelCodec& source, const PixelCodec& dest,
                                   uint32_t constantMask) {
    const PackedLayout& from = *PackedLayoutOf(source);
    UINT widest = 0;
    for (UINT i = 0; i < plan_.fieldCount; ++i)
        widest = std::max(widest, plan_.fields[i].from.bits);
    const UINT values = 1u << widest;
    const UINT thresholdRows = plan_.dithered ? 4 : 1;
    const UINT thresholdCount = plan_.dithered ? 16 : 1;

    size_t entries = 0;
    for (UINT i = 0; i < plan_.fieldCount; ++i)
        entries += size_t(thresholdCount) << plan_.fields[i].from.bits;
    lookups_.reset(new (std::nothrow) uint32_t[std::max<size_t>(entries, 1)]);
    // Source pixel v holds value v in every field; destination pixel 4v + c
    // of row r is value v stored under threshold [r][c].
    const UINT destWidth = 4 * values;
    std::unique_ptr<BYTE[]> sourceBytes(new (std::nothrow)
                                            BYTE[size_t(values) * from.bytesPerPixel]);
    // Three bytes more, so that every pixel is read as four.
    std::unique_ptr<BYTE[]> destBytes(
        new (std::nothrow) BYTE[size_t(destWidth) * thresholdRows * plan_.destBytes + 3]);
    std::unique_ptr<ColorF[]> decoded(new (std::nothrow) ColorF[values]);
    std::unique_ptr<ColorF[]> spread(new (std::nothrow) ColorF[destWidth]);
    std::unique_ptr<uint32_t[]> stored(new (std::nothrow)
                                           uint32_t[size_t(destWidth) * thresholdRows]);
    if (!lookups_ || !sourceBytes || !destBytes || !decoded || !spread || !stored) return false;

    PixelBlock block = {};
    block.format = source.format;
    block.data = sourceBytes.get();
    block.rowPitch = values * from.bytesPerPixel;
    block.bounds = {0, 0, values, 1, 0, 1};
    block.box = block.bounds;
    std::unique_ptr<PixelCodec> decoder = SamePackedCodec(source, block);
    block.format = dest.format;
    block.data = destBytes.get();
    block.rowPitch = destWidth * plan_.destBytes;
    block.bounds = {0, 0, destWidth, thresholdRows, 0, 1};
    block.box = block.bounds;
    std::unique_ptr<PixelCodec> encoder = SamePackedCodec(dest, block);
    if (!decoder || !encoder) return false;
    encoder->thresholds = dest.thresholds;
    // The codecs' own rows: the decoder in the caller's rounding mode, the
    // encoder in its rounding frame, as in the conversion through ColorF.
    for (UINT v = 0; v < values; ++v)
        PutPixel(sourceBytes.get() + size_t(v) * from.bytesPerPixel, from.bytesPerPixel,
                 PixelWithEveryField(from, v));
    decoder->DecodeRow(0, 0, decoded.get());
    for (UINT x = 0; x < destWidth; ++x)
        spread[x] = decoded[x / 4];
    for (UINT r = 0; r < thresholdRows; ++r)
        encoder->EncodeRow(r, 0, spread.get());

    const size_t destPixels = size_t(destWidth) * thresholdRows;
    const uint32_t pixelMask = uint32_t(uint64_t(1) << (8 * plan_.destBytes)) - 1u;
    for (size_t i = 0; i < destPixels; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, destBytes.get() + i * plan_.destBytes, 4);
        stored[i] = pixel & pixelMask;
    }
    const auto storedAt = [&](UINT t, UINT v) {
        return stored[size_t(t / 4) * destWidth + 4 * size_t(v) + t % 4];
    };
    uint32_t* table = lookups_.get();
    for (UINT i = 0; i < plan_.fieldCount; ++i) {
        PackedFieldPlan& f = plan_.fields[i];
        const uint32_t mask = FieldMask(f.to);
        const UINT count = 1u << f.from.bits;
        f.lookup = table;
        for (UINT t = 0; t < thresholdCount; ++t) {
            for (UINT v = 0; v < count; ++v)
                *table++ = storedAt(t, v) & mask;
        }
    }
    for (UINT t = 0; t < thresholdCount; ++t)
        plan_.constant[t] = storedAt(t, 0) & constantMask;
    return true;
}

bool PackedConversion::ChooseKernel() {
    // One pixel at a time through the tables is slower than the vector
    // loops of the codecs through ColorF, so without a vector loop the pair
    // is left to them.
    if (!UseAvx2()) return false;
    const UINT thresholdCount = plan_.dithered ? 16 : 1;
    if (PlanByteMove(plan_, thresholdCount)) {
        row_ = packedrows::ByteMoveRow(plan_.sourceBytes, plan_.destBytes);
        kernel_ = PackedKernel::ByteMove;
    } else if (plan_.destBytes <= 2 && FindArithmeticForAll(plan_, thresholdCount, 16) &&
               (plan_.sourceBytes <= 2 || PlanGather(plan_))) {
        // 16-bit lanes give twice the pixels per instruction; they hold the
        // stored pixel when it has one or two bytes.
        row_ = packedrows::Arithmetic16Row(plan_.sourceBytes, plan_.destBytes);
        kernel_ = PackedKernel::Arithmetic16;
    } else if (FindArithmeticForAll(plan_, thresholdCount, 32)) {
        row_ = packedrows::Arithmetic32Row(plan_.sourceBytes, plan_.destBytes);
        kernel_ = PackedKernel::Arithmetic32;
    }
    if (row_ == nullptr) kernel_ = PackedKernel::None;
    return row_ != nullptr;
}

void PackedConversion::ConvertRow(const BYTE* from, BYTE* to, UINT width, UINT y, UINT z) const {
    row_(plan_, from, to, width, y, z);
}
