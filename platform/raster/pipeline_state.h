// Everything a draw depends on besides the vertices and the target: the
// transforms, the viewport, the render states and texture stage 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8_types.h"

namespace txraster {

// A texture level already converted to A8R8G8B8; `pitch` counts texels.
struct TextureImage {
    const uint32_t* texels = nullptr;
    int width = 0;
    int height = 0;
    size_t pitch = 0;
};

// One texture stage's colour and alpha operations and addressing. The
// defaults are those of stage 0 on a fresh device.
struct StageState {
    DWORD colorOp = D3DTOP_MODULATE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_SELECTARG1;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    DWORD texCoordIndex = 0;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
};

struct PipelineState {
    D3DMATRIX world;
    D3DMATRIX view;
    D3DMATRIX projection;
    D3DVIEWPORT8 viewport = {0, 0, 0, 0, 0.0f, 1.0f};

    DWORD cullMode = D3DCULL_CCW;
    bool depthTest = false; // D3DRS_ZENABLE
    bool depthWrite = true; // D3DRS_ZWRITEENABLE
    DWORD depthFunc = D3DCMP_LESSEQUAL;
    bool lighting = true;     // D3DRS_LIGHTING
    bool flatShading = false; // D3DRS_SHADEMODE == D3DSHADE_FLAT
    DWORD textureFactor = 0xFFFFFFFFu;
    // D3DRS_MULTISAMPLEANTIALIAS off: every sample of a multisampled target
    // takes the coverage and depth of the pixel centre.
    bool multisampleAntialias = true;
    // D3DRS_MULTISAMPLEMASK: bit i lets sample i of a multisampled target
    // be written.
    DWORD sampleMask = 0xFFFFFFFFu;

    StageState stage0;
    // Level 0 of the texture on stage 0, or null: a stage that reads the
    // texture without one reads opaque black.
    const TextureImage* texture = nullptr;

    PipelineState();
};

} // namespace txraster
