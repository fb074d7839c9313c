#include "platform/raster/vertex_processing.h"

#include <cmath>
#include <cstring>

namespace txraster {

namespace {

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

float ReadFloat(const unsigned char* p) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}

Colour ReadColour(const unsigned char* p) {
    uint32_t c;
    std::memcpy(&c, p, sizeof c);
    return Colour{static_cast<float>((c >> 16) & 0xFF), static_cast<float>((c >> 8) & 0xFF),
                  static_cast<float>(c & 0xFF), static_cast<float>(c >> 24)};
}

} // namespace

void ProcessVertices(const unsigned char* data, size_t stride, size_t count,
                     const VertexLayout& layout, const PipelineState& state, ClipVertex* out) {
    const D3DMATRIX transform = Multiply(Multiply(state.world, state.view), state.projection);
    const bool lit = state.lighting && !layout.pretransformed;
    const int set = static_cast<int>(state.stage0.texCoordIndex & 0xFFFF);
    const bool hasTex = set < layout.texCoordSets;
    const int texOffset = hasTex ? layout.texCoordOffset[set] : 0;
    const int texFloats = hasTex ? layout.texCoordFloats[set] : 0;

    for (size_t i = 0; i < count; ++i) {
        const unsigned char* vertex = data + i * stride;
        ClipVertex& v = out[i];
        const float px = ReadFloat(vertex);
        const float py = ReadFloat(vertex + 4);
        const float pz = ReadFloat(vertex + 8);
        if (layout.pretransformed) {
            float rhw = ReadFloat(vertex + 12);
            // A vertex without a usable 1/w is drawn without perspective.
            if (!(rhw > 0.0f) || !std::isfinite(rhw)) rhw = 1.0f;
            const float w = 1.0f / rhw;
            v.x = px * w;
            v.y = py * w;
            v.z = pz * w;
            v.w = w;
        } else {
            const D3DMATRIX& m = transform;
            v.x = px * m.m[0][0] + py * m.m[1][0] + pz * m.m[2][0] + m.m[3][0];
            v.y = px * m.m[0][1] + py * m.m[1][1] + pz * m.m[2][1] + m.m[3][1];
            v.z = px * m.m[0][2] + py * m.m[1][2] + pz * m.m[2][2] + m.m[3][2];
            v.w = px * m.m[0][3] + py * m.m[1][3] + pz * m.m[2][3] + m.m[3][3];
        }
        v.diffuse = layout.diffuseOffset >= 0 ? ReadColour(vertex + layout.diffuseOffset)
                                              : Colour{255, 255, 255, 255};
        v.specular = layout.specularOffset >= 0 ? ReadColour(vertex + layout.specularOffset)
                                                : Colour{0, 0, 0, 0};
        if (lit) {
            // The material takes its diffuse part from the vertex colour, so
            // only alpha survives lighting without lights; a vertex without
            // colour has the default material's zero alpha.
            const float alpha = layout.diffuseOffset >= 0 ? v.diffuse.a : 0.0f;
            v.diffuse = Colour{0, 0, 0, alpha};
            v.specular = Colour{0, 0, 0, 0};
        }
        v.u = texFloats >= 1 ? ReadFloat(vertex + texOffset) : 0.0f;
        v.v = texFloats >= 2 ? ReadFloat(vertex + texOffset + 4) : 0.0f;
    }
}

} // namespace txraster
