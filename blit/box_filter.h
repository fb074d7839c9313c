// Packed-pixel fast paths of the box filter. Internal to the blit engine;
// declared here so that tests can reach the routines and the slot selection.
#pragma once

#include "platform/direct3d8.h"

// Averages each 2x2 block of a source of even width and height (at least 2
// each) into one destination pixel, every field as (a + b + c + d + 2) >> 2.
// Rows are addressed with each side's own pitch. Returns true (the routines
// cannot fail; false would send the caller to the generic path).
using BoxPackedRoutine = bool (*)(BYTE* dest, const BYTE* source, UINT sourceWidth,
                                  UINT sourceHeight, UINT sourcePitch, UINT destPitch);

// The fast path for `format`, or null when the format has none. For the two
// 32-bit colour formats this is the routine in the format's slot, which is a
// selector until the first 32-bit call has chosen.
BoxPackedRoutine FindBoxPackedRoutine(D3DFORMAT format);

// The 32-bit routines. The plain 4-channel form averages all four bytes; the
// plain 3-channel form writes the top byte as 0; the vector form averages all
// four bytes two destination pixels at a time and hands images whose width
// is not a multiple of 4 to the plain 4-channel form.
bool BoxAverage32Plain4(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch);
bool BoxAverage32Plain3(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch);
bool BoxAverage32Vector(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch);

// Puts the selectors back into both 32-bit slots, so that the next 32-bit
// call chooses again, asking `mmxTest` (TxIsMMXProcessor when null). For
// tests: in the library the slots are filled once per process.
void ResetBox32Slots(int (*mmxTest)() = nullptr);
