// Triangle (tent) filtering: the general resampler of the blit engine, for any
// pair of sizes along each axis. Source rows are scattered into destination
// accumulators with precomputed weights; a destination row is written as soon
// as its last contribution has arrived.
#include "blit/triangle_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "blit/blitter.h"
#include "blit/strategy_support.h"

namespace {

// Pairs lighter than this are dropped rather than accumulated.
constexpr float kNegligibleWeight = 0.00001f;

// Appends words to a list block, refusing to run past its end.
class ListWriter {
public:
    ListWriter(uint32_t* words, size_t capacity) : words_(words), capacity_(capacity) {}

    size_t position() const { return position_; }
    bool ok() const { return ok_; }

    void Put(uint32_t word) {
        if (position_ == capacity_) {
            ok_ = false;
            return;
        }
        words_[position_++] = word;
    }
    void PutPair(int64_t index, float weight) {
        uint32_t bits;
        std::memcpy(&bits, &weight, sizeof bits);
        Put(static_cast<uint32_t>(static_cast<int32_t>(index)));
        Put(bits);
    }
    void PutAt(size_t position, uint32_t word) { words_[position] = word; }

private:
    uint32_t* words_;
    size_t capacity_;
    size_t position_ = 0;
    bool ok_ = true;
};

// Zeroes an accumulator buffer.
void Clear(ColorF* pixels, size_t count) {
    std::fill_n(pixels, count, ColorF{0, 0, 0, 0});
}

// acc += weight * pixel, channel by channel, each operation rounded to single
// precision (no fused multiply-add: -ffp-contract=off).
inline void AddWeighted(ColorF& acc, float weight, const ColorF& pixel) {
    acc.r += weight * pixel.r;
    acc.g += weight * pixel.g;
    acc.b += weight * pixel.b;
    acc.a += weight * pixel.a;
}

// row[t] += (wx * wy) * source[x] for every pair (t, wx) of every source pixel
// x: one source row scattered into one destination row.
void ScatterRow(const ContributionTable& xTable, const ColorF* source, float wy, ColorF* row) {
    for (UINT x = 0; x < xTable.sourceExtent; ++x) {
        const ColorF s = source[x];
        for (const Contribution* p = xTable.begin(x); p != xTable.end(x); ++p)
            AddWeighted(row[p->index], p->weight * wy, s);
    }
}

// The 3-D form: row[t] += wz * (wx * wy) * source[x].
void ScatterRow(const ContributionTable& xTable, const ColorF* source, float wz, float wy,
                ColorF* row) {
    for (UINT x = 0; x < xTable.sourceExtent; ++x) {
        const ColorF s = source[x];
        for (const Contribution* p = xTable.begin(x); p != xTable.end(x); ++p)
            AddWeighted(row[p->index], wz * (p->weight * wy), s);
    }
}

// Each accumulator pixel must receive its contributions in one fixed order:
// source pixel by source pixel, and for each, the pairs in record order. When
// no destination index repeats within a record (the usual case), scattering
// pair by pair keeps that order for every pixel and lets the inner loop run
// along a whole row; a record with a repeated index takes the pixel-by-pixel
// loop instead.
void ScatterRowInOrder(const ContributionTable& xTable, const ColorF* source,
                       const Contribution* yFirst, const Contribution* yLast,
                       AccumulatorRow* rows) {
    for (UINT x = 0; x < xTable.sourceExtent; ++x) {
        const ColorF s = source[x];
        for (const Contribution* y = yFirst; y != yLast; ++y) {
            ColorF* row = rows[y->index].pixels.get();
            for (const Contribution* p = xTable.begin(x); p != xTable.end(x); ++p)
                AddWeighted(row[p->index], p->weight * y->weight, s);
        }
    }
}

void ScatterRowInOrder(const ContributionTable& xTable, const ColorF* source,
                       const Contribution* zFirst, const Contribution* zLast,
                       const Contribution* yFirst, const Contribution* yLast, UINT destWidth,
                       AccumulatorRow* slices) {
    for (UINT x = 0; x < xTable.sourceExtent; ++x) {
        const ColorF s = source[x];
        for (const Contribution* z = zFirst; z != zLast; ++z) {
            ColorF* slice = slices[z->index].pixels.get();
            for (const Contribution* y = yFirst; y != yLast; ++y) {
                ColorF* row = slice + static_cast<size_t>(y->index) * destWidth;
                for (const Contribution* p = xTable.begin(x); p != xTable.end(x); ++p)
                    AddWeighted(row[p->index], z->weight * (p->weight * y->weight), s);
            }
        }
    }
}

// The unpacked list of one axis. Fails also when some destination index gets
// no pair at all: with reductions so strong that every pair falls below the
// negligible weight, that row or column would be left unwritten (or black)
// while the transfer reported success.
bool BuildTable(UINT sourceExtent, UINT destExtent, bool wrap, ContributionTable* table) {
    ContributionList list = BuildTriangleLists(sourceExtent, destExtent, wrap);
    return list && ReadContributionList(list.get(), destExtent, table) && table->coversDestination;
}

} // namespace

ContributionList BuildTriangleLists(UINT sourceExtent, UINT destExtent, bool wrap) {
    if (sourceExtent == 0 || destExtent == 0) return nullptr;
    const UINT S = sourceExtent;
    const int64_t D = destExtent;

    const float b = static_cast<float>(destExtent) / static_cast<float>(sourceExtent);
    const float half = 0.5f / b;

    // Worst case per half of a tent: it spans b destination units and so
    // visits at most ceil(b) + 2 destination indices; rounding of g and o and
    // of b itself can add one more. Each visited index appends at most one
    // pair, the first of a record never (it flushes an empty sum).
    const size_t perHalf = static_cast<size_t>(std::ceil(static_cast<double>(D) / S)) + 3;
    const size_t wordsPerRecord = 1 + 2 * (2 * perHalf);
    const size_t capacity = 1 + static_cast<size_t>(S) * wordsPerRecord;
    if (capacity > std::numeric_limits<uint32_t>::max() / sizeof(uint32_t)) return nullptr;
    ContributionList list(new (std::nothrow) uint32_t[capacity]);
    if (!list) return nullptr;

    ListWriter out(list.get(), capacity);
    out.Put(0); // total size, filled in at the end
    float sum = 0.0f;
    int64_t d = 0; // destination index being accumulated, kept across records
    for (UINT j = 0; j < S; ++j) {
        const size_t recordStart = out.position();
        out.Put(0);
        for (UINT h = 0; h < 2; ++h) {
            // The rising (h = 0) or falling (h = 1) half of the tent spans
            // source positions e .. e + 1, i.e. g .. o in destination units.
            const float e = static_cast<float>(j + h) - 0.5f;
            float g = e * b;
            float o = g + b;
            if (!wrap) {
                if (g < 0.0f) g = 0.0f;
                if (o > static_cast<float>(D)) o = static_cast<float>(D);
            }
            for (int64_t t = static_cast<int64_t>(std::floor(g)); static_cast<float>(t) < o; ++t) {
                const int64_t u = t < 0 ? t + D : (t < D ? t : t - D);
                // Cannot happen for a tent narrower than the image, which every
                // tent is; kept so that no rounding can ever index outside.
                if (u < 0 || u >= D) continue;
                if (u != d) {
                    if (sum > kNegligibleWeight) out.PutPair(d, sum);
                    sum = 0.0f;
                    d = u;
                }
                const float lo = std::max(static_cast<float>(t), g);
                const float hi = std::min(static_cast<float>(t + 1), o);
                // Tent height at the midpoint of the overlap: exact for a
                // linear piece.
                float a = (lo + hi) * half - e;
                if (!wrap) {
                    // The part of the tent beyond the edge folds back onto the
                    // edge pixel (mirroring).
                    if (h == 0 && j == 0) a = 1.0f;
                    if (h == 1 && j + 1 == S) a = 0.0f;
                }
                const float tent = h == 0 ? a : 1.0f - a;
                sum += (hi - lo) * tent;
            }
        }
        if (sum > kNegligibleWeight) out.PutPair(d, sum);
        sum = 0.0f;
        if (!out.ok()) return nullptr;
        out.PutAt(recordStart,
                  static_cast<uint32_t>((out.position() - recordStart) * sizeof(uint32_t)));
    }
    out.PutAt(0, static_cast<uint32_t>(out.position() * sizeof(uint32_t)));
    return list;
}

bool ReadContributionList(const uint32_t* list, UINT destExtent, ContributionTable* table) {
    const size_t totalWords = list[0] / sizeof(uint32_t);
    if (totalWords == 0 || list[0] % sizeof(uint32_t) != 0) return false;

    // First pass: count and validate the records.
    size_t records = 0;
    size_t pairs = 0;
    for (size_t w = 1; w < totalWords;) {
        const uint32_t bytes = list[w];
        if (bytes < sizeof(uint32_t) || (bytes - sizeof(uint32_t)) % sizeof(Contribution) != 0 ||
            bytes / sizeof(uint32_t) > totalWords - w)
            return false;
        ++records;
        pairs += (bytes - sizeof(uint32_t)) / sizeof(Contribution);
        w += bytes / sizeof(uint32_t);
    }

    table->pairs.reset(new (std::nothrow) Contribution[pairs]);
    table->start.reset(new (std::nothrow) size_t[records + 1]);
    table->repeats.reset(new (std::nothrow) bool[records]);
    // The record that last named each destination index, to find repeats.
    std::unique_ptr<size_t[]> lastRecord(new (std::nothrow) size_t[destExtent]);
    if (!table->pairs || !table->start || !table->repeats || !lastRecord) return false;
    std::fill_n(lastRecord.get(), destExtent, records);
    table->sourceExtent = static_cast<UINT>(records);

    size_t record = 0;
    size_t pair = 0;
    for (size_t w = 1; w < totalWords; ++record) {
        const size_t words = list[w] / sizeof(uint32_t);
        table->start[record] = pair;
        table->repeats[record] = false;
        for (size_t k = w + 1; k + 1 < w + words; k += 2) {
            Contribution& c = table->pairs[pair++];
            c.index = static_cast<int32_t>(list[k]);
            std::memcpy(&c.weight, &list[k + 1], sizeof c.weight);
            if (c.index < 0 || static_cast<UINT>(c.index) >= destExtent) return false;
            if (lastRecord[c.index] == record) table->repeats[record] = true;
            lastRecord[c.index] = record;
        }
        w += words;
    }
    table->start[record] = pair;
    table->coversDestination = std::find(lastRecord.get(), lastRecord.get() + destExtent,
                                         records) == lastRecord.get() + destExtent;
    return true;
}

bool AccumulatorFreeList::Open(AccumulatorRow& row, size_t count) {
    if (head_) {
        AccumulatorRow* donor = head_;
        head_ = donor->nextFree;
        donor->nextFree = nullptr;
        row.pixels = std::move(donor->pixels);
    } else {
        row.pixels.reset(new (std::nothrow) ColorF[count]);
        if (!row.pixels) return false;
    }
    Clear(row.pixels.get(), count);
    return true;
}

void AccumulatorFreeList::Finish(AccumulatorRow& row) {
    row.nextFree = head_;
    head_ = &row;
}

HRESULT Blitter::TryTriangle2D() {
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;
    if (src.depth != 1 || dst.depth != 1) return E_FAIL;

    ContributionTable xTable;
    ContributionTable yTable;
    if (!BuildTable(src.width, dst.width, WrapsU(filter), &xTable) ||
        !BuildTable(src.height, dst.height, WrapsV(filter), &yTable))
        return E_FAIL;

    std::unique_ptr<AccumulatorRow[]> rows(new (std::nothrow) AccumulatorRow[dst.height]);
    ColorRow source = AllocateRow(src.width);
    if (!rows || !source) return E_OUTOFMEMORY;

    for (UINT i = 0; i < src.height; ++i)
        for (const Contribution* p = yTable.begin(i); p != yTable.end(i); ++p)
            ++rows[p->index].pending;

    AccumulatorFreeList freeList;
    for (UINT i = 0; i < src.height; ++i) {
        for (const Contribution* p = yTable.begin(i); p != yTable.end(i); ++p) {
            AccumulatorRow& row = rows[p->index];
            if (!row.pixels && !freeList.Open(row, dst.width)) return E_OUTOFMEMORY;
        }
        src.DecodeRow(i, 0, source.get());
        if (yTable.repeats[i]) {
            ScatterRowInOrder(xTable, source.get(), yTable.begin(i), yTable.end(i), rows.get());
        } else {
            for (const Contribution* y = yTable.begin(i); y != yTable.end(i); ++y)
                ScatterRow(xTable, source.get(), y->weight, rows[y->index].pixels.get());
        }
        for (const Contribution* p = yTable.begin(i); p != yTable.end(i); ++p) {
            AccumulatorRow& row = rows[p->index];
            if (--row.pending == 0) {
                dst.EncodeRow(static_cast<UINT>(p->index), 0, row.pixels.get());
                freeList.Finish(row);
            }
        }
    }
    return S_OK;
}

HRESULT Blitter::TryTriangle3D() {
    PixelCodec& src = *sourceCodec;
    PixelCodec& dst = *destCodec;

    ContributionTable xTable;
    ContributionTable yTable;
    ContributionTable zTable;
    if (!BuildTable(src.width, dst.width, WrapsU(filter), &xTable) ||
        !BuildTable(src.height, dst.height, WrapsV(filter), &yTable) ||
        !BuildTable(src.depth, dst.depth, WrapsW(filter), &zTable))
        return E_FAIL;

    const size_t slicePixels = static_cast<size_t>(dst.width) * dst.height;
    std::unique_ptr<AccumulatorRow[]> slices(new (std::nothrow) AccumulatorRow[dst.depth]);
    ColorRow source = AllocateRow(src.width);
    if (!slices || !source) return E_OUTOFMEMORY;

    for (UINT i = 0; i < src.depth; ++i)
        for (const Contribution* p = zTable.begin(i); p != zTable.end(i); ++p)
            ++slices[p->index].pending;

    AccumulatorFreeList freeList;
    for (UINT i = 0; i < src.depth; ++i) {
        for (const Contribution* p = zTable.begin(i); p != zTable.end(i); ++p) {
            AccumulatorRow& slice = slices[p->index];
            if (!slice.pixels && !freeList.Open(slice, slicePixels)) return E_OUTOFMEMORY;
        }
        for (UINT j = 0; j < src.height; ++j) {
            src.DecodeRow(j, i, source.get());
            if (zTable.repeats[i] || yTable.repeats[j]) {
                ScatterRowInOrder(xTable, source.get(), zTable.begin(i), zTable.end(i),
                                  yTable.begin(j), yTable.end(j), dst.width, slices.get());
                continue;
            }
            for (const Contribution* z = zTable.begin(i); z != zTable.end(i); ++z) {
                ColorF* slice = slices[z->index].pixels.get();
                for (const Contribution* y = yTable.begin(j); y != yTable.end(j); ++y)
                    ScatterRow(xTable, source.get(), z->weight, y->weight,
                               slice + static_cast<size_t>(y->index) * dst.width);
            }
        }
        for (const Contribution* p = zTable.begin(i); p != zTable.end(i); ++p) {
            AccumulatorRow& slice = slices[p->index];
            if (--slice.pending == 0) {
                const UINT s = static_cast<UINT>(p->index);
                for (UINT r = 0; r < dst.height; ++r)
                    dst.EncodeRow(r, s, slice.pixels.get() + static_cast<size_t>(r) * dst.width);
                freeList.Finish(slice);
            }
        }
    }
    return S_OK;
}
