// The rasterizer: draws primitives from vertex memory into a sample buffer.
// It knows nothing of devices or resources; the device hands it vertices,
// states, a converted texture and the buffer to draw into.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/raster/pipeline_state.h"
#include "platform/raster/raster_vertex.h"
#include "platform/raster/sample_buffer.h"
#include "platform/raster/vertex_format.h"

namespace txraster {

struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT primitiveCount = 0;
    const unsigned char* vertices = nullptr; // the first vertex of the draw
    size_t stride = 0;
    size_t vertexCount = 0; // vertices readable from `vertices`
    VertexLayout layout;
};

// Number of vertices a primitive type needs for `primitives` primitives; 0
// for unknown types.
size_t VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitives);

class Rasterizer {
public:
    // Draws triangle lists, strips and fans. Triangles are clipped against the
    // near and far planes, and against a guard band far outside the viewport
    // so that screen positions stay within exact fixed-point range; only the
    // viewport's pixels are written. Returns D3DERR_INVALIDCALL when the
    // vertices do not suffice or the stride is shorter than a vertex,
    // E_NOTIMPL for points and lines, E_OUTOFMEMORY when scratch memory is
    // short.
    HRESULT Draw(const DrawCall& call, const PipelineState& state, SampleBuffer& target);

private:
    std::vector<ClipVertex> vertices_;
};

} // namespace txraster
