// Contribution lists and accumulators of the triangle (tent) filter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/pixel_codec.h"

// A contribution list for one axis: a block of 32-bit words. Word 0 holds the
// size of the block in bytes; then, for each source index in order, a record
// whose first word is its own size in bytes (that word included), followed by
// pairs of (destination index: int32, weight: float). A record may hold no
// pairs.
using ContributionList = std::unique_ptr<uint32_t[]>;

// One (destination index, weight) pair of a record.
struct Contribution {
    int32_t index;
    float weight;
};

// The list for a source extent and a destination extent, each source pixel's
// tent integrated over the destination pixels it covers. `wrap` carries the
// part of a tent beyond one edge over to the other edge; without it that part
// is folded back onto the edge pixel. Null when either extent is 0, when the
// list would not fit in 4 GiB, or when memory runs out.
ContributionList BuildTriangleLists(UINT sourceExtent, UINT destExtent, bool wrap);

// The records of a list unpacked for the filter's inner loops: the pairs of
// source index j are pairs[start[j]] .. pairs[start[j + 1] - 1].
struct ContributionTable {
    std::unique_ptr<Contribution[]> pairs;
    std::unique_ptr<size_t[]> start; // sourceExtent + 1 entries
    std::unique_ptr<bool[]> repeats; // record j names one destination index twice
    UINT sourceExtent = 0;
    bool coversDestination = false; // every destination index has a pair

    const Contribution* begin(UINT j) const { return pairs.get() + start[j]; }
    const Contribution* end(UINT j) const { return pairs.get() + start[j + 1]; }
};

// Unpacks `list`, whose destination indices must lie below destExtent; false
// when memory runs out or the list is malformed.
bool ReadContributionList(const uint32_t* list, UINT destExtent, ContributionTable* table);

// Sums scattered into one destination row (2-D) or slice (3-D).
struct AccumulatorRow {
    std::unique_ptr<ColorF[]> pixels; // null until the first contribution
    AccumulatorRow* nextFree = nullptr;
    UINT pending = 0; // source rows (slices) still to contribute
};

// Finished accumulators whose buffers can serve the next destination row.
class AccumulatorFreeList {
public:
    // Gives `row` a buffer of `count` zeroed pixels: the buffer of the most
    // recently finished accumulator when there is one, else a new one. False
    // when memory runs out.
    bool Open(AccumulatorRow& row, size_t count);
    // Puts a finished accumulator, still holding its buffer, on the list.
    void Finish(AccumulatorRow& row);

private:
    AccumulatorRow* head_ = nullptr;
};
