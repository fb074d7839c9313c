// What the runtime needs from the window layer to present frames: the
// picture shown in a window's client area, full-screen ownership of a window,
// the composed screen, and whether a real display is attached. Tests use the
// same calls to look at what a window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32_types.h"

namespace txplatform {

// Shows an A8R8G8B8 picture in the window's client area and keeps it as the
// window's contents. The picture should have the client size; when the two
// differ the screen shows it stretched. Returns false for an unknown window
// or an empty picture.
bool ShowWindowImage(HWND window, const uint32_t* pixels, int width, int height,
                     size_t rowPitchBytes);

// The picture last shown in the window (rows packed); false when the window
// is unknown. A window that never showed one reads as empty.
bool ReadWindowImage(HWND window, std::vector<uint32_t>* pixels, int* width, int* height);

// Screen position of the top-left pixel of the client area.
bool WindowClientOrigin(HWND window, POINT* origin);

// A full-screen device covers the screen with its window: the window's
// client area becomes the whole desktop until LeaveFullScreen puts it back
// where it was.
bool EnterFullScreen(HWND window);
bool LeaveFullScreen(HWND window);
bool IsFullScreen(HWND window);

// True when windows appear on a real screen (not SDL's off-screen or dummy
// drivers); then DisplaySize gives the desktop's size. Both answer false
// until the program has made a window.
bool HasRealDisplay();
bool DisplaySize(int* width, int* height);

// Paints the screen as this process sees it into an A8R8G8B8 image of any
// size: black desktop, visible windows' pictures at their places, the most
// recently raised on top.
void ComposeScreen(uint32_t* pixels, int width, int height, size_t rowPitchBytes);

// SDL's identifier of the on-screen window, for feeding it input; 0 when the
// window has none.
uint32_t SdlWindowId(HWND window);

} // namespace txplatform
