// From vertex memory to clip-space vertices.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/raster/pipeline_state.h"
#include "platform/raster/raster_vertex.h"
#include "platform/raster/vertex_format.h"

namespace txraster {

// Reads `count` vertices laid out by `layout` (`stride` bytes apart) and
// transforms them: untransformed positions by world, view and projection;
// pretransformed ones into homogeneous screen space. Colours follow the
// lighting state: unlit vertices keep their colours (white when absent);
// lit ones are black, as there are no lights and the ambient level is zero,
// and keep their alpha.
void ProcessVertices(const unsigned char* data, size_t stride, size_t count,
                     const VertexLayout& layout, const PipelineState& state, ClipVertex* out);

} // namespace txraster
