// Controls of the software Direct3D 8 runtime that the real platform does not
// have: adapter profiles, the live-object count and the debug output switch.
// Programs and tests use them to choose what the virtual adapter offers and to
// prove that every reference taken is given back.
#pragma once

#include "platform/d3d8_types.h"

namespace txplatform {

// Number of runtime objects (Direct3D objects, devices, textures, surfaces,
// volumes, vertex buffers) that are alive at this moment.
long LiveObjectCount();

// Selects the adapter profile by name for Direct3D objects created from now
// on. Returns false, and keeps the current profile, for an unknown name.
// Without a call the profile named by the environment variable
// TX_ADAPTER_PROFILE is used, or "default".
bool SelectAdapterProfile(const char* name);

// Name of the profile that the next Direct3DCreate8 will use.
const char* CurrentAdapterProfile();

// Names of all profiles, for listing; index past the end gives null.
const char* AdapterProfileName(unsigned index);

// Turns the runtime's debug output (one line on standard error per failing
// call) on or off. It starts on when the environment variable TX_D3D_DEBUG is
// 1. The optional "DebugSetMute" export mutes it independently.
void SetDebugOutput(bool enabled);

} // namespace txplatform
