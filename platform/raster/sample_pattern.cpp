// Sample patterns.
//
// Counts 2, 4, 8 and 16 use the sparse rotated-grid patterns of current
// graphics hardware. The other counts follow the same construction: the n
// column positions and the n row positions are spread evenly over the pixel
// (the centres of n equal strips, rounded to sixteenths and symmetric about
// the centre), so every sample has a column and a row of its own and an edge
// close to horizontal or vertical passes through n distinct coverage steps.
// Columns are paired with rows so that the coverage the samples report for a
// straight edge, averaged over edges of every direction and position,
// differs least from the covered area, with no two samples closer than 3/16
// of a pixel (counted across neighbouring pixels too). Every pattern is
// centred on the pixel centre, where colour is computed.
#include "platform/raster/sample_pattern.h"

namespace txraster {

namespace {

const SampleOffset kOne[] = {{0, 0}};
const SampleOffset kTwo[] = {{4, 4}, {-4, -4}};
const SampleOffset kThree[] = {{-5, 0}, {0, 5}, {5, -5}};
const SampleOffset kFour[] = {{-2, -6}, {6, -2}, {-6, 2}, {2, 6}};
const SampleOffset kFive[] = {{-6, 3}, {-3, -6}, {0, 0}, {3, 6}, {6, -3}};
const SampleOffset kSix[] = {{-7, 4}, {-4, -4}, {-1, 1}, {1, -7}, {4, 7}, {7, -1}};
const SampleOffset kSeven[] = {{-7, 2}, {-5, -5}, {-2, 7}, {0, 0}, {2, -7}, {5, 5}, {7, -2}};
const SampleOffset kEight[] = {{1, -3}, {-1, 3},  {5, 1}, {-3, -5},
                               {-5, 5}, {-7, -1}, {3, 7}, {7, -7}};
const SampleOffset kNine[] = {{-7, -4}, {-5, 2}, {-4, 7}, {-2, -5}, {0, 0},
                              {2, 5},   {4, -7}, {5, -2}, {7, 4}};
const SampleOffset kTen[] = {{-7, 4}, {-6, -2}, {-4, -7}, {-2, 1}, {-1, 6},
                             {1, -6}, {2, -1},  {4, 7},   {6, 2},  {7, -4}};
const SampleOffset kEleven[] = {{-7, -3}, {-6, 4}, {-4, -7}, {-3, 0}, {-1, 7}, {0, 3},
                                {1, -4},  {3, -1}, {4, 6},   {6, -6}, {7, 1}};
const SampleOffset kTwelve[] = {{-7, 2}, {-6, -5}, {-5, 6}, {-3, -1}, {-2, -7}, {-1, 3},
                                {1, -3}, {2, 7},   {3, 1},  {5, -6},  {6, 5},   {7, -2}};
const SampleOffset kThirteen[] = {{-7, -1}, {-6, 5}, {-5, -6}, {-4, 0}, {-2, 7}, {-1, -4}, {0, 4},
                                  {1, -7},  {2, 1},  {4, -2},  {5, 6},  {6, -5}, {7, 2}};
const SampleOffset kFourteen[] = {{-7, 5}, {-6, -6}, {-5, 1}, {-4, -3}, {-3, 6}, {-2, 2}, {-1, -7},
                                  {1, -2}, {2, 3},   {3, -5}, {4, 7},   {5, -1}, {6, 4},  {7, -4}};
const SampleOffset kFifteen[] = {{-7, 4}, {-6, -2}, {-5, -6}, {-4, 3}, {-3, -1},
                                 {-2, 7}, {-1, -5}, {0, 0},   {1, 5},  {2, -7},
                                 {3, 1},  {4, -3},  {5, 6},   {6, 2},  {7, -4}};
const SampleOffset kSixteen[] = {{1, 1},  {-1, -3}, {-3, 2}, {4, -1}, {-5, -2}, {2, 5},
                                 {5, 3},  {3, -5},  {-2, 6}, {0, -7}, {-4, -6}, {-6, 4},
                                 {-8, 0}, {7, -4},  {6, 7},  {-7, -8}};

const SampleOffset* const kPatterns[kMaxSamples + 1] = {
    nullptr, kOne, kTwo,    kThree,  kFour,     kFive,     kSix,     kSeven,  kEight,
    kNine,   kTen, kEleven, kTwelve, kThirteen, kFourteen, kFifteen, kSixteen};

} // namespace

const SampleOffset* SamplePattern(int count) {
    return count >= 1 && count <= kMaxSamples ? kPatterns[count] : nullptr;
}

} // namespace txraster
