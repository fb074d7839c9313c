// The viewer window's procedure.
#pragma once

#include "platform/win32_ui.h"

// WM_DESTROY ends the message loop; WM_CHAR runs a key command and then, like
// every other message, goes to DefWindowProcA.
LRESULT ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
