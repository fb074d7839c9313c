// The Direct3D object and the device, made for the sample count and window
// mode in viewerState.
#pragma once

#include "platform/direct3d8.h"

// Makes viewerState.direct3d and viewerState.device for `window` and sets the
// render states that stay for the device's life. S_OK, or E_FAIL at the
// first step that fails; what earlier steps made stays in viewerState for
// ReleaseViewerObjects.
HRESULT CreateDeviceForWindow(HWND window);

// Whether a back buffer in the desktop's format may have multisample type
// `sampleCount` in the current window mode.
bool SampleCountSupported(int sampleCount);
