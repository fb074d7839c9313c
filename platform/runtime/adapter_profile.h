// Adapter profiles: what the virtual adapter offers. A profile fixes the
// texture capabilities and size limits, the formats accepted for each usage
// and resource type, the multisample types accepted windowed and full screen,
// the desktop display mode and the mode list. A Direct3D object keeps the
// profile that was selected when it was created.
#pragma once

#include <cstdint>

#include "platform/d3d8_types.h"

namespace txruntime {

// A set of formats: bit i stands for FormatLayoutAt(i).
typedef uint64_t FormatSet;

struct AdapterProfile {
    const char* name;
    const char* summary;
    DWORD textureCaps;
    DWORD maxTextureWidth;
    DWORD maxTextureHeight;
    DWORD maxVolumeExtent;
    DWORD maxTextureAspectRatio; // 0: no limit
    // Formats accepted with usage 0 or D3DUSAGE_DYNAMIC, per resource type.
    FormatSet textureFormats;
    FormatSet cubeFormats;
    FormatSet volumeFormats;
    // Formats accepted for render targets and depth-stencil buffers.
    FormatSet renderTargetFormats;
    FormatSet depthStencilFormats;
    // Bit n set: multisample type n is accepted.
    DWORD windowedSamples;
    DWORD fullScreenSamples;
    D3DDISPLAYMODE desktop;
    const D3DDISPLAYMODE* modes;
    UINT modeCount;
    UINT textureMemory;
};

const AdapterProfile* FindAdapterProfile(const char* name);
const AdapterProfile* AdapterProfileAt(unsigned index);

// The profile a Direct3D object created now gets: the one chosen with
// txplatform::SelectAdapterProfile, else the one TX_ADAPTER_PROFILE names,
// else "default". An unknown name in the environment is warned about once
// and replaced by "default".
const AdapterProfile& ProfileForNewObject();

// Forgets a profile chosen by SelectAdapterProfile, so that the environment
// decides again (for tests).
void ResetAdapterProfileSelection();

bool FormatInSet(FormatSet set, D3DFORMAT format);

// Answers whether the device accepts `format` for `usage` and `resourceType`:
// D3D_OK, D3DERR_NOTAVAILABLE, or D3DERR_INVALIDCALL for usages or resource
// types that make no sense. Reports failures under the name `call`.
HRESULT CheckResourceFormat(const AdapterProfile& profile, const char* call, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format);

// Whether multisample type `type` is accepted for a surface of `format`.
HRESULT CheckMultiSample(const AdapterProfile& profile, const char* call, D3DFORMAT format,
                         BOOL windowed, D3DMULTISAMPLE_TYPE type);

// True when `format` is the format of some display mode of the profile.
bool IsDisplayFormat(const AdapterProfile& profile, D3DFORMAT format);
// True when a full-screen back buffer of `backBuffer` format can be shown in
// a mode of `display` format (the same format, or its variant with alpha).
bool BackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT backBuffer);

void FillCaps(const AdapterProfile& profile, D3DDEVTYPE deviceType, D3DCAPS8* caps);

} // namespace txruntime
