// The adapter's display. A full-screen device takes it over and shows its
// own mode until it goes back to windowed mode or dies; only one device can
// hold it at a time.
#pragma once

#include "platform/d3d8_types.h"

namespace txruntime {

// Gives the display to `owner` in `mode`; false when another owner holds it.
// An owner that already holds it changes the mode.
bool ClaimDisplay(const void* owner, const D3DDISPLAYMODE& mode);
// Gives the display back if `owner` holds it.
void ReleaseDisplay(const void* owner);
// The mode of the device holding the display; false when none does.
bool HeldDisplayMode(D3DDISPLAYMODE* mode);

} // namespace txruntime
