// The screenshot: what is on the screen, saved as the next free numbered
// bitmap file of the working folder.
#pragma once

#include "platform/direct3d8.h"

// The longest file name a screenshot can have, terminator included.
const int kScreenshotNameSize = 100;

// Copies the front buffer (the whole display, also in windowed mode) into a
// 32-bit image surface and saves it with SaveScreenshot. S_OK, or the code of
// the first step that failed; D3DERR_INVALIDCALL without a device.
HRESULT CaptureFrontBuffer();

// Writes `surface` as a bitmap file "<n>.bmp" in the working folder, n the
// smallest number whose name is free. A name counts as taken when anything
// exists under it, even a file that cannot be opened, and no existing file is
// ever replaced. A failed save leaves its number free. The name written goes
// to `name` when given.
HRESULT SaveScreenshot(IDirect3DSurface8* surface, char (*name)[kScreenshotNameSize] = nullptr);
