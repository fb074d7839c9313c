// Where the samples of a multisampled pixel lie.
#pragma once

namespace txraster {

// Offset of one sample from the pixel centre, in sixteenths of a pixel;
// x grows to the right and y downwards, both within [-8, 7].
struct SampleOffset {
    int x;
    int y;
};

const int kMaxSamples = 16;

// The pattern for `count` samples per pixel (1 to 16); count 1 is the single
// sample at the pixel centre that a target without multisampling uses.
// Returns null for other counts.
const SampleOffset* SamplePattern(int count);

} // namespace txraster
