#include "viewer/viewer_state.h"

ViewerState viewerState;

DeviceSettings CurrentDeviceSettings() {
    DeviceSettings settings;
    settings.sampleCount = viewerState.sampleCount;
    settings.windowed = viewerState.windowed;
    settings.magnify = viewerState.magnify;
    return settings;
}

void RestoreDeviceSettings(const DeviceSettings& settings) {
    viewerState.sampleCount = settings.sampleCount;
    viewerState.windowed = settings.windowed;
    viewerState.magnify = settings.magnify;
}

bool SameDeviceSettings(const DeviceSettings& a, const DeviceSettings& b) {
    return a.sampleCount == b.sampleCount && a.windowed == b.windowed && a.magnify == b.magnify;
}
