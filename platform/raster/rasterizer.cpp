#include "platform/raster/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/raster/clipper.h"
#include "platform/raster/sample_pattern.h"
#include "platform/raster/shading.h"
#include "platform/raster/triangle_raster.h"
#include "platform/raster/vertex_processing.h"

namespace txraster {

namespace {

// Screen positions stay within this many pixels of the origin, which keeps
// every edge product of the fixed-point rasterizer exact in 64 bits.
const double kGuardBand = 16384.0;

// The smallest w a clipped corner may have: keeps the divide finite for
// projections that do not tie z to w.
const float kMinW = 1e-30f;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

struct Screen {
    double x, y;      // pixel offset of the viewport
    double halfWidth; // viewport size / 2
    double halfHeight;
    double minZ, depthRange;
};

// Planes that keep clip-space corners in front of the near plane, behind
// the far plane and inside the guard band.
int TransformedPlanes(const Screen& s, ClipPlane* planes) {
    const float gxMin = static_cast<float>((-kGuardBand - s.x) / s.halfWidth - 1.0);
    const float gxMax = static_cast<float>((kGuardBand - s.x) / s.halfWidth - 1.0);
    const float gyMin = static_cast<float>(1.0 - (kGuardBand - s.y) / s.halfHeight);
    const float gyMax = static_cast<float>(1.0 + (kGuardBand + s.y) / s.halfHeight);
    int n = 0;
    planes[n++] = ClipPlane{0, 0, 1, 0, 0};  // z >= 0
    planes[n++] = ClipPlane{0, 0, -1, 1, 0}; // z <= w
    planes[n++] = ClipPlane{0, 0, 0, 1, -kMinW};
    planes[n++] = ClipPlane{1, 0, 0, -gxMin, 0};
    planes[n++] = ClipPlane{-1, 0, 0, gxMax, 0};
    planes[n++] = ClipPlane{0, 1, 0, -gyMin, 0};
    planes[n++] = ClipPlane{0, -1, 0, gyMax, 0};
    return n;
}

// Pretransformed corners are not clipped in depth, only kept inside the
// guard band.
int PretransformedPlanes(ClipPlane* planes) {
    const float g = static_cast<float>(kGuardBand);
    int n = 0;
    planes[n++] = ClipPlane{0, 0, 0, 1, -kMinW};
    planes[n++] = ClipPlane{1, 0, 0, g, 0};
    planes[n++] = ClipPlane{-1, 0, 0, g, 0};
    planes[n++] = ClipPlane{0, 1, 0, g, 0};
    planes[n++] = ClipPlane{0, -1, 0, g, 0};
    return n;
}

int64_t ToFixed(double pixels) {
    return static_cast<int64_t>(std::nearbyint(pixels * kSubpixelScale));
}

ScreenVertex Project(const ClipVertex& v, bool pretransformed, const Screen& s) {
    ScreenVertex out;
    const double invW = 1.0 / static_cast<double>(v.w);
    const double x = v.x * invW, y = v.y * invW, z = v.z * invW;
    if (pretransformed) {
        out.x = ToFixed(x);
        out.y = ToFixed(y);
        out.z = z;
    } else {
        out.x = ToFixed(s.x + (1.0 + x) * s.halfWidth);
        out.y = ToFixed(s.y + (1.0 - y) * s.halfHeight);
        out.z = s.minZ + z * s.depthRange;
    }
    out.rhw = static_cast<float>(invW);
    out.attributes = &v;
    return out;
}

} // namespace

PipelineState::PipelineState() : world(Identity()), view(Identity()), projection(Identity()) {}

size_t VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitives) {
    const size_t n = primitives;
    switch (type) {
    case D3DPT_POINTLIST:
        return n;
    case D3DPT_LINELIST:
        return 2 * n;
    case D3DPT_LINESTRIP:
        return n + 1;
    case D3DPT_TRIANGLELIST:
        return 3 * n;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return n + 2;
    default:
        return 0;
    }
}

HRESULT Rasterizer::Draw(const DrawCall& call, const PipelineState& state, SampleBuffer& target) {
    const size_t needed = VerticesForPrimitives(call.type, call.primitiveCount);
    if (needed == 0 && call.primitiveCount > 0) return D3DERR_INVALIDCALL;
    if (call.primitiveCount == 0) return S_OK;
    if (!call.vertices || call.stride < call.layout.stride || call.layout.stride == 0 ||
        needed > call.vertexCount)
        return D3DERR_INVALIDCALL;
    if (call.type != D3DPT_TRIANGLELIST && call.type != D3DPT_TRIANGLESTRIP &&
        call.type != D3DPT_TRIANGLEFAN)
        return E_NOTIMPL;

    const D3DVIEWPORT8& vp = state.viewport;
    RECT clip;
    clip.left = static_cast<LONG>(std::min<DWORD>(vp.X, static_cast<DWORD>(target.Width())));
    clip.top = static_cast<LONG>(std::min<DWORD>(vp.Y, static_cast<DWORD>(target.Height())));
    clip.right = static_cast<LONG>(
        std::min<uint64_t>(static_cast<uint64_t>(vp.X) + vp.Width, target.Width()));
    clip.bottom = static_cast<LONG>(
        std::min<uint64_t>(static_cast<uint64_t>(vp.Y) + vp.Height, target.Height()));
    if (clip.left >= clip.right || clip.top >= clip.bottom || vp.Width == 0 || vp.Height == 0)
        return S_OK;

    try {
        if (vertices_.size() < needed) vertices_.resize(needed);
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
    ProcessVertices(call.vertices, call.stride, needed, call.layout, state, vertices_.data());

    Screen screen;
    screen.x = vp.X;
    screen.y = vp.Y;
    screen.halfWidth = vp.Width / 2.0;
    screen.halfHeight = vp.Height / 2.0;
    screen.minZ = vp.MinZ;
    screen.depthRange = static_cast<double>(vp.MaxZ) - vp.MinZ;

    ClipPlane planes[kMaxClipPlanes];
    const bool pretransformed = call.layout.pretransformed;
    const int planeCount =
        pretransformed ? PretransformedPlanes(planes) : TransformedPlanes(screen, planes);

    const ShadingSetup shading = MakeShadingSetup(state);
    TriangleContext context;
    context.shading = &shading;
    context.cullMode = state.cullMode;
    context.depthTest = state.depthTest;
    context.depthWrite = state.depthWrite;
    context.depthFunc = state.depthFunc;
    context.clip = clip;
    context.samples = target.Samples();
    static const SampleOffset kCentres[kMaxSamples] = {};
    const bool multisampled = target.Samples() > 1;
    context.pattern =
        multisampled && !state.multisampleAntialias ? kCentres : SamplePattern(target.Samples());
    context.sampleMask = multisampled ? state.sampleMask : 0xFFFFFFFFu;

    ClipVertex polygon[kMaxClippedVertices];
    ScreenVertex corners[kMaxClippedVertices];
    for (UINT t = 0; t < call.primitiveCount; ++t) {
        size_t i0, i1, i2, first;
        if (call.type == D3DPT_TRIANGLELIST) {
            i0 = 3 * static_cast<size_t>(t);
            i1 = i0 + 1;
            i2 = i0 + 2;
            first = i0;
        } else if (call.type == D3DPT_TRIANGLESTRIP) {
            // Every other triangle of a strip is read backwards so that all
            // of them keep the winding of the first.
            const bool odd = (t & 1u) != 0;
            i0 = t + (odd ? 1 : 0);
            i1 = t + (odd ? 0 : 1);
            i2 = static_cast<size_t>(t) + 2;
            first = t;
        } else {
            i0 = 0;
            i1 = static_cast<size_t>(t) + 1;
            i2 = static_cast<size_t>(t) + 2;
            first = i1;
        }
        const int count =
            ClipTriangle(vertices_[i0], vertices_[i1], vertices_[i2], planes, planeCount, polygon);
        if (count < 3) continue;
        for (int i = 0; i < count; ++i)
            corners[i] = Project(polygon[i], pretransformed, screen);
        const ClipVertex* flat = state.flatShading ? &vertices_[first] : nullptr;
        for (int i = 1; i + 1 < count; ++i)
            RasterizeTriangle(corners[0], corners[i], corners[i + 1], flat, context, target);
    }
    return S_OK;
}

} // namespace txraster
