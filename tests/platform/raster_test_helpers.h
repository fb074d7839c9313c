// Small helpers for driving the rasterizer core directly.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/raster/rasterizer.h"

namespace rastertest {

// Pretransformed vertex: screen position (pixel centres at whole numbers),
// depth, 1/w, colour and one coordinate pair.
struct ScreenVertexData {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
const DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Untransformed vertex of the same kind.
struct ModelVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
const DWORD kModelFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

inline ScreenVertexData At(float x, float y, uint32_t colour = 0xFFFFFFFFu, float z = 0.5f,
                           float u = 0.0f, float v = 0.0f) {
    return ScreenVertexData{x, y, z, 1.0f, colour, u, v};
}

// A pipeline that shows vertex colours unchanged over the whole target.
inline txraster::PipelineState PlainState(int width, int height) {
    txraster::PipelineState state;
    state.viewport =
        D3DVIEWPORT8{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    state.cullMode = D3DCULL_NONE;
    state.lighting = false;
    state.stage0.colorOp = D3DTOP_SELECTARG2;
    state.stage0.colorArg2 = D3DTA_DIFFUSE;
    state.stage0.alphaOp = D3DTOP_DISABLE;
    return state;
}

template <typename Vertex>
HRESULT Draw(txraster::Rasterizer& rasterizer, const txraster::PipelineState& state,
             txraster::SampleBuffer& target, D3DPRIMITIVETYPE type, UINT primitives,
             const std::vector<Vertex>& vertices, DWORD fvf) {
    txraster::DrawCall call;
    call.type = type;
    call.primitiveCount = primitives;
    call.vertices = reinterpret_cast<const unsigned char*>(vertices.data());
    call.stride = sizeof(Vertex);
    call.vertexCount = vertices.size();
    if (!txraster::ParseVertexFormat(fvf, &call.layout)) return E_INVALIDARG;
    return rasterizer.Draw(call, state, target);
}

template <typename Vertex>
HRESULT DrawList(txraster::Rasterizer& rasterizer, const txraster::PipelineState& state,
                 txraster::SampleBuffer& target, const std::vector<Vertex>& vertices, DWORD fvf) {
    return Draw(rasterizer, state, target, D3DPT_TRIANGLELIST,
                static_cast<UINT>(vertices.size() / 3), vertices, fvf);
}

// Resolved picture of a whole buffer.
inline std::vector<uint32_t> Resolve(const txraster::SampleBuffer& target) {
    std::vector<uint32_t> out(static_cast<size_t>(target.Width()) * target.Height());
    target.Resolve(target.Bounds(), out.data(), static_cast<size_t>(target.Width()) * 4);
    return out;
}

} // namespace rastertest
