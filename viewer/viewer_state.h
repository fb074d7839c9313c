// The viewer's one process-wide record: the Direct3D objects it draws with,
// the settings the device is made for, and the view that the keys change.
#pragma once

#include "platform/direct3d8.h"

// What a device is made for. The viewer remembers the last settings that
// produced a device, so that a reconfiguration that cannot complete goes back
// to them instead of leaving the viewer without a device.
struct DeviceSettings {
    int sampleCount = 0; // D3DMULTISAMPLE_TYPE value; 0 is no multisampling
    bool windowed = true;
    bool magnify = true;
};

struct ViewerState {
    // Owned references, one count each, given back by ReleaseViewerObjects,
    // which also empties them.
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    IDirect3DVertexBuffer8* vertexBuffer = nullptr;
    IDirect3DTexture8* blackTexture = nullptr;
    IDirect3DTexture8* whiteTexture = nullptr;

    int sampleCount = 0;
    HWND window = nullptr;

    // Radians, kept within [-3.14, 3.14] by StepAngle.
    float angleX = 0.0f;
    float angleY = 0.0f;
    float angleZ = 0.0f;
    bool spinX = false;
    bool spinY = true;
    bool spinZ = false;
    bool swapDrawOrder = false;
    bool textureColour = false;
    bool windowed = true;
    // Make the device on a 100 by 100 client area, then enlarge the window
    // to 400 by 400 so that every back-buffer pixel shows as a 4 by 4 block.
    bool magnify = true;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;

    // Settings of the last reconfiguration that made a device; valid when
    // haveWorkingSettings is set.
    bool haveWorkingSettings = false;
    DeviceSettings workingSettings;
};

extern ViewerState viewerState;

// The device-relevant fields of the record, and their replacement.
DeviceSettings CurrentDeviceSettings();
void RestoreDeviceSettings(const DeviceSettings& settings);
bool SameDeviceSettings(const DeviceSettings& a, const DeviceSettings& b);
