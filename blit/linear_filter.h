// Sample tables of the linear (bilinear and trilinear) filter.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win32_types.h"

// The two source samples that one destination index blends. Both indices lie
// in 0 .. source size - 1.
struct LinearSample {
    int32_t index0;
    float weight0;
    int32_t index1;
    float weight1;
};

// One entry per destination index (destSize of them) for an axis whose source
// has sourceSize samples (at least 1). With `wrap` the samples beyond an edge
// come from the opposite edge; without, the edge sample is repeated. Null when
// memory runs out.
std::unique_ptr<LinearSample[]> BuildLinearTable(UINT destSize, UINT sourceSize, bool wrap);
