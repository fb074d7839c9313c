// The scene: two triangles that cut through each other, and the resources
// that draw them.
#pragma once

#include "platform/direct3d8.h"

// Position, diffuse colour and one set of texture coordinates.
struct SceneVertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};
static_assert(sizeof(SceneVertex) == 24, "the vertex format is 24 bytes");

const DWORD kSceneVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const UINT kSceneVertexCount = 6;

// Vertices 0 to 2: the white triangle in the plane z = 0; vertices 3 to 5:
// the black triangle in the plane x = 0. They share the apex (0, 1, 0) and
// cross along the Y axis.
extern const SceneVertex kSceneVertices[kSceneVertexCount];
const UINT kWhiteTriangleStart = 0;
const UINT kBlackTriangleStart = 3;

// Makes the scene's resources on viewerState.device: the textures from
// "Black.bmp" and "White.bmp" of the working folder, then the vertex buffer.
// S_OK, or E_FAIL at the first step that fails, leaving what was made in
// viewerState.
HRESULT CreateSceneResources();
