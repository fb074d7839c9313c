#include "viewer/key_commands.h"

#include "viewer/configuration.h"
#include "viewer/device_setup.h"
#include "viewer/frame.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

namespace {

const int kMaxSampleCount = 16;

struct KeyCommand {
    char character;
    void (*run)();
};

void Toggle(bool& flag) {
    flag = !flag;
}

void StepSampleCount(int direction) {
    ViewerState& s = viewerState;
    for (int n = s.sampleCount + direction; n >= 0 && n <= kMaxSampleCount; n += direction) {
        if (!SampleCountSupported(n)) continue;
        s.sampleCount = n;
        ApplyConfiguration();
        return;
    }
}

// e, d, c act on X (up, down, spin), r, f, v on Y, t, g, b on Z; q and a
// step the sample count.
const KeyCommand kKeyCommands[] = {
    {' ', [] { viewerState.angleX = viewerState.angleY = viewerState.angleZ = 0.0f; }},
    {'q', RaiseSampleCount},
    {'a', LowerSampleCount},
    {'e', [] { StepAngle(&viewerState.angleX, +1); }},
    {'d', [] { StepAngle(&viewerState.angleX, -1); }},
    {'r', [] { StepAngle(&viewerState.angleY, +1); }},
    {'f', [] { StepAngle(&viewerState.angleY, -1); }},
    {'t', [] { StepAngle(&viewerState.angleZ, +1); }},
    {'g', [] { StepAngle(&viewerState.angleZ, -1); }},
    {'c', [] { Toggle(viewerState.spinX); }},
    {'v', [] { Toggle(viewerState.spinY); }},
    {'b', [] { Toggle(viewerState.spinZ); }},
    {'o', [] { Toggle(viewerState.swapDrawOrder); }},
    {'s', [] { Toggle(viewerState.textureColour); }},
    // The new mode's sample count is not checked first: a device that cannot
    // be made sends the viewer back to the settings that worked.
    {'w',
     [] {
         Toggle(viewerState.windowed);
         ApplyConfiguration();
     }},
    {'z',
     [] {
         Toggle(viewerState.magnify);
         ApplyConfiguration();
     }},
    // A capture that fails leaves nothing behind and shows nothing.
    {'h', [] { CaptureFrontBuffer(); }},
};

} // namespace

void RaiseSampleCount() {
    StepSampleCount(+1);
}

void LowerSampleCount() {
    StepSampleCount(-1);
}

void RunKeyCommand(WPARAM character) {
    for (const KeyCommand& command : kKeyCommands) {
        if (character == static_cast<WPARAM>(static_cast<unsigned char>(command.character))) {
            command.run();
            return;
        }
    }
}
