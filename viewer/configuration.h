// Reconfiguration: every Direct3D object is thrown away and made again for
// the sample count, window mode and magnified view in viewerState.
#pragma once

// Titles the window with the sample count, releases the objects, sizes the
// window, makes the device and the scene, and enlarges a magnified window.
// When no device can be made with the current settings, the viewer goes back
// to the last settings that made one, and shows them; without such settings
// it stays without a device until the next reconfiguration.
void ApplyConfiguration();

// Gives back each object that viewerState holds, at most once, and empties
// the references.
void ReleaseViewerObjects();
