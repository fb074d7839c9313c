#include "viewer/configuration.h"

#include <cstdio>

#include "platform/win32_ui.h"
#include "viewer/device_setup.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

namespace {

// Client sizes: the device is made on the first; a magnified window then
// grows to the second, over which every Present stretches the back buffer.
const int kMagnifiedDeviceSize = 100;
const int kWindowSize = 400;

template <class Interface>
void ReleaseOnce(Interface*& object) {
    if (!object) return;
    object->Release();
    object = nullptr;
}

void SizeWindow(int size) {
    SetWindowPos(viewerState.window, nullptr, 0, 0, size, size, SWP_NOZORDER | SWP_NOMOVE);
}

// One pass of the reconfiguration; true when it made a device.
bool Configure() {
    ViewerState& s = viewerState;
    char title[252];
    std::snprintf(title, sizeof title, "Varnek Samples = %i", s.sampleCount);
    SetWindowTextA(s.window, title);

    ReleaseViewerObjects();
    SizeWindow(s.magnify ? kMagnifiedDeviceSize : kWindowSize);
    const bool madeDevice = SUCCEEDED(CreateDeviceForWindow(s.window));
    // A scene that cannot be made completely still leaves a device to draw
    // what there is; only a missing device counts as a failed
    // reconfiguration.
    if (madeDevice) CreateSceneResources();
    if (s.magnify) SizeWindow(kWindowSize);
    return madeDevice;
}

} // namespace

void ReleaseViewerObjects() {
    ViewerState& s = viewerState;
    ReleaseOnce(s.vertexBuffer);
    ReleaseOnce(s.blackTexture);
    ReleaseOnce(s.whiteTexture);
    ReleaseOnce(s.device);
    ReleaseOnce(s.direct3d);
}

void ApplyConfiguration() {
    ViewerState& s = viewerState;
    const DeviceSettings requested = CurrentDeviceSettings();
    if (Configure()) {
        s.workingSettings = requested;
        s.haveWorkingSettings = true;
        return;
    }
    // Keep nothing of the half-made set: a Direct3D object without a device
    // draws nothing.
    ReleaseViewerObjects();
    if (!s.haveWorkingSettings || SameDeviceSettings(s.workingSettings, requested)) return;
    RestoreDeviceSettings(s.workingSettings);
    if (!Configure()) ReleaseViewerObjects();
}
