// The viewer's process entry: window class and window, the message loop that
// draws whenever no message waits, and the release of everything at the end.
#pragma once

#include "platform/win32_ui.h"

extern const char kViewerClassName[];

// The entry point. Its arguments are ignored; it returns 0.
int ViewerMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// The steps of ViewerMain, for programs and tests that drive the viewer
// themselves.

// Registers the window class and creates the 100 by 100 window titled
// "Varnek"; stores the window in viewerState and returns it.
HWND OpenViewerWindow(HINSTANCE instance);

// Dispatches every waiting message and draws a frame whenever none waits,
// until WM_QUIT. Returns the quit code.
int RunMessageLoop();

// Releases the Direct3D objects and unregisters the window class.
void CloseViewer(HINSTANCE instance);
