// One frame of the scene, and the rule by which every angle changes.
#pragma once

// Clears, advances the spinning angles, sets the transforms and stage 0,
// draws both triangles in the chosen order and presents. Results are not
// examined: a frame that fails stays undrawn and the next one is tried.
// Without a device there is nothing to draw with, and nothing changes.
void DrawFrame();

// Advances the spinning angles and sets the world, view and projection
// transforms on viewerState.device.
void BuildTransforms();

// Moves *angle by 0.1 radian in `direction` (+1 or -1). A step that passes
// 3.14 or -3.14 puts the angle on the opposite limit.
void StepAngle(float* angle, int direction);
