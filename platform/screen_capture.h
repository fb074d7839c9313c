// Reading what a real X11 screen shows. libX11 is loaded when first needed,
// so the library does not depend on it at link time and works where it is
// missing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace txplatform {

// Fills width x height A8R8G8B8 pixels (rows `rowPitchBytes` apart) with the
// top-left part of the X11 screen that the windows are shown on; pixels
// beyond the screen are black. False when there is no X11 display (no
// DISPLAY, SDL not on its X11 driver, libX11 not loadable) or the screen
// cannot be read; `pixels` is then left as it was.
bool ReadX11Screen(uint32_t* pixels, int width, int height, size_t rowPitchBytes);

} // namespace txplatform
