// Internal side of TxDebugMute (declared in texture/pixel_format.h).
#pragma once

#include "texture/pixel_format.h"

// Forgets the two resolved "DebugSetMute" entry points, so that the next
// TxDebugMute looks for the modules again. For tests: a process otherwise
// resolves them once.
void ResetDebugMuteEntryPoints();
