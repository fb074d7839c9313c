// Stands in for the window layer's GetClientRect in programs built before
// that layer is part of the library: no window is known, so the client area
// of any handle is unknown. The window layer's own definition replaces this
// one wherever it is linked in. Delete this file once the window layer has
// been merged.
#include "platform/win32_ui.h"

__attribute__((weak)) BOOL GetClientRect(HWND, RECT*) {
    return FALSE;
}
