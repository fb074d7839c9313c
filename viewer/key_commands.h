// The viewer's keyboard commands: one character each, lower case only.
#pragma once

#include "platform/win32_types.h"

// Runs the command of `character` (a WM_CHAR code); other characters,
// upper-case letters included, do nothing.
void RunKeyCommand(WPARAM character);

// Step the sample count to the next value above or below it that the device
// accepts in the current window mode, and reconfigure; nothing changes when
// there is none up to 16 or down to 0.
void RaiseSampleCount();
void LowerSampleCount();
