// Scan conversion of one screen-space triangle into a sample buffer.
#pragma once

#include "platform/raster/raster_vertex.h"
#include "platform/raster/sample_buffer.h"
#include "platform/raster/sample_pattern.h"
#include "platform/raster/shading.h"

namespace txraster {

struct TriangleContext {
    const ShadingSetup* shading = nullptr;
    DWORD cullMode = D3DCULL_CCW;
    bool depthTest = false;
    bool depthWrite = true;
    DWORD depthFunc = D3DCMP_LESSEQUAL;
    RECT clip{0, 0, 0, 0}; // pixels that may be written
    const SampleOffset* pattern = nullptr;
    int samples = 1;
    uint32_t sampleMask = 0xFFFFFFFFu; // samples that may be written
};

// Coverage and depth are decided per sample, with the top-left rule for
// samples exactly on an edge; the colour is computed once per pixel, at its
// centre, and stored in every sample that passes. With `flat` set the
// diffuse and specular colours are those given instead of interpolated ones.
void RasterizeTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                       const ClipVertex* flat, const TriangleContext& context,
                       SampleBuffer& target);

} // namespace txraster
