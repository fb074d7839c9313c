#include "platform/raster/triangle_raster.h"

#include <algorithm>
#include <cmath>

namespace txraster {

namespace {

// One edge a -> b of a triangle whose corners run clockwise on the screen.
// E(p) = dx * (p.y - a.y) - dy * (p.x - a.x) is positive inside; a point
// exactly on the edge is inside only for top and left edges.
struct Edge {
    int64_t dx, dy;
    int64_t ax, ay;
    int64_t threshold; // E must reach this: 0 for top and left edges, else 1
    int64_t sampleDelta[kMaxSamples];
    int64_t minDelta, maxDelta;

    int64_t At(int64_t px, int64_t py) const { return dx * (py - ay) - dy * (px - ax); }
};

void SetupEdge(const ScreenVertex& a, const ScreenVertex& b, const SampleOffset* pattern,
               int samples, Edge* e) {
    e->dx = b.x - a.x;
    e->dy = b.y - a.y;
    e->ax = a.x;
    e->ay = a.y;
    const bool topOrLeft = e->dy < 0 || (e->dy == 0 && e->dx > 0);
    e->threshold = topOrLeft ? 0 : 1;
    const int64_t unit = kSubpixelScale / 16;
    e->minDelta = INT64_MAX;
    e->maxDelta = INT64_MIN;
    for (int s = 0; s < samples; ++s) {
        const int64_t d = e->dx * pattern[s].y * unit - e->dy * pattern[s].x * unit;
        e->sampleDelta[s] = d;
        e->minDelta = std::min(e->minDelta, d);
        e->maxDelta = std::max(e->maxDelta, d);
    }
}

int64_t FloorDiv(int64_t a, int64_t b) { // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Narrows [lo, hi] to the pixels of a row where `value + step * (px - start)`
// is at least zero.
void NarrowSpan(int64_t value, int64_t step, int64_t start, int64_t* lo, int64_t* hi) {
    if (step == 0) {
        if (value < 0) *hi = *lo - 1;
        return;
    }
    if (step > 0) {
        // px - start >= ceil(-value / step)
        *lo = std::max(*lo, start - FloorDiv(value, step));
    } else {
        *hi = std::min(*hi, start + FloorDiv(value, -step));
    }
}

bool DepthPasses(DWORD func, uint16_t incoming, uint16_t stored) {
    switch (func) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return incoming < stored;
    case D3DCMP_EQUAL:
        return incoming == stored;
    case D3DCMP_GREATER:
        return incoming > stored;
    case D3DCMP_NOTEQUAL:
        return incoming != stored;
    case D3DCMP_GREATEREQUAL:
        return incoming >= stored;
    case D3DCMP_ALWAYS:
        return true;
    default:
        return incoming <= stored;
    }
}

Colour Blend(const Colour& a, const Colour& b, const Colour& c, float wa, float wb, float wc) {
    return Colour{wa * a.r + wb * b.r + wc * c.r, wa * a.g + wb * b.g + wc * c.g,
                  wa * a.b + wb * b.b + wc * c.b, wa * a.a + wb * b.a + wc * c.a};
}

} // namespace

void RasterizeTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                       const ClipVertex* flat, const TriangleContext& context,
                       SampleBuffer& target) {
    const ScreenVertex* v[3] = {&a, &b, &c};
    int64_t area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0) return;
    // With y growing downwards a positive area runs clockwise on the screen.
    if (context.cullMode == D3DCULL_CW && area > 0) return;
    if (context.cullMode == D3DCULL_CCW && area < 0) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        area = -area;
    }

    const int samples = context.samples;
    const SampleOffset* pattern = context.pattern;
    Edge edges[3];
    SetupEdge(*v[1], *v[2], pattern, samples, &edges[0]); // opposite v0
    SetupEdge(*v[2], *v[0], pattern, samples, &edges[1]); // opposite v1
    SetupEdge(*v[0], *v[1], pattern, samples, &edges[2]); // opposite v2

    // Pixels whose samples can reach the triangle: samples lie within
    // [-8, 7] sixteenths of the centre.
    const int64_t minX = std::min({v[0]->x, v[1]->x, v[2]->x});
    const int64_t maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
    const int64_t minY = std::min({v[0]->y, v[1]->y, v[2]->y});
    const int64_t maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
    const int64_t reachBefore = 8 * kSubpixelScale / 16, reachAfter = 7 * kSubpixelScale / 16;
    const int64_t x0 =
        std::max<int64_t>(context.clip.left, -FloorDiv(-(minX - reachAfter), kSubpixelScale));
    const int64_t x1 =
        std::min<int64_t>(context.clip.right - 1, FloorDiv(maxX + reachBefore, kSubpixelScale));
    const int64_t y0 =
        std::max<int64_t>(context.clip.top, -FloorDiv(-(minY - reachAfter), kSubpixelScale));
    const int64_t y1 =
        std::min<int64_t>(context.clip.bottom - 1, FloorDiv(maxY + reachBefore, kSubpixelScale));
    if (x0 > x1 || y0 > y1) return;

    // Depth is affine in screen space: z = z0 + l1 (z1 - z0) + l2 (z2 - z0)
    // with l1, l2 the edge values opposite v1 and v2 over the area.
    const double invArea = 1.0 / static_cast<double>(area);
    const double dz1 = (v[1]->z - v[0]->z) * invArea;
    const double dz2 = (v[2]->z - v[0]->z) * invArea;
    double sampleDepth[kMaxSamples];
    for (int s = 0; s < samples; ++s)
        sampleDepth[s] = static_cast<double>(edges[1].sampleDelta[s]) * dz1 +
                         static_cast<double>(edges[2].sampleDelta[s]) * dz2;
    const bool depthTest = context.depthTest && target.HasDepth();
    const bool depthWrite = depthTest && context.depthWrite;

    const ShadingSetup& shading = *context.shading;
    const ClipVertex& va = *v[0]->attributes;
    const ClipVertex& vb = *v[1]->attributes;
    const ClipVertex& vc = *v[2]->attributes;
    const float invAreaF = static_cast<float>(invArea);
    const uint32_t allSamples = (1u << samples) - 1u;
    const int64_t stepX = kSubpixelScale;

    for (int64_t py = y0; py <= y1; ++py) {
        const int64_t cy = py * kSubpixelScale;
        int64_t lo = x0, hi = x1;
        int64_t rowValue[3];
        for (int k = 0; k < 3; ++k) {
            rowValue[k] = edges[k].At(x0 * kSubpixelScale, cy);
            NarrowSpan(rowValue[k] + edges[k].maxDelta - edges[k].threshold, -edges[k].dy * stepX,
                       x0, &lo, &hi);
        }
        if (lo > hi) continue;
        uint32_t* colourRow = target.ColourAt(static_cast<int>(lo), static_cast<int>(py));
        uint16_t* depthRow =
            depthTest ? target.DepthAt(static_cast<int>(lo), static_cast<int>(py)) : nullptr;
        for (int64_t px = lo; px <= hi; ++px) {
            const int64_t offset = px - x0;
            int64_t e[3];
            for (int k = 0; k < 3; ++k)
                e[k] = rowValue[k] - edges[k].dy * stepX * offset;

            uint32_t mask;
            if (e[0] + edges[0].minDelta >= edges[0].threshold &&
                e[1] + edges[1].minDelta >= edges[1].threshold &&
                e[2] + edges[2].minDelta >= edges[2].threshold) {
                mask = allSamples;
            } else {
                mask = 0;
                for (int s = 0; s < samples; ++s)
                    if (e[0] + edges[0].sampleDelta[s] >= edges[0].threshold &&
                        e[1] + edges[1].sampleDelta[s] >= edges[1].threshold &&
                        e[2] + edges[2].sampleDelta[s] >= edges[2].threshold)
                        mask |= 1u << s;
            }
            uint32_t* colour = colourRow + (px - lo) * samples;
            if (mask && depthTest) {
                uint16_t* depth = depthRow + (px - lo) * samples;
                const double zc =
                    v[0]->z + static_cast<double>(e[1]) * dz1 + static_cast<double>(e[2]) * dz2;
                uint32_t passed = 0;
                for (int s = 0; s < samples; ++s) {
                    if (!(mask & (1u << s))) continue;
                    const uint16_t z = DepthToD16(zc + sampleDepth[s]);
                    if (!DepthPasses(context.depthFunc, z, depth[s])) continue;
                    passed |= 1u << s;
                    if (depthWrite) depth[s] = z;
                }
                mask = passed;
            }
            if (!mask) continue;

            // Perspective-correct weights of the corners at the pixel centre.
            const float l0 = static_cast<float>(e[0]) * invAreaF;
            const float l1 = static_cast<float>(e[1]) * invAreaF;
            const float l2 = static_cast<float>(e[2]) * invAreaF;
            float w0 = l0 * v[0]->rhw, w1 = l1 * v[1]->rhw, w2 = l2 * v[2]->rhw;
            const float sum = w0 + w1 + w2;
            if (sum > 0.0f && std::isfinite(sum)) {
                const float inv = 1.0f / sum;
                w0 *= inv;
                w1 *= inv;
                w2 *= inv;
            } else {
                w0 = l0;
                w1 = l1;
                w2 = l2;
            }
            Colour diffuse{0, 0, 0, 0}, specular{0, 0, 0, 0};
            if (flat) {
                diffuse = flat->diffuse;
                specular = flat->specular;
            } else {
                if (shading.readsDiffuse)
                    diffuse = Blend(va.diffuse, vb.diffuse, vc.diffuse, w0, w1, w2);
                if (shading.readsSpecular)
                    specular = Blend(va.specular, vb.specular, vc.specular, w0, w1, w2);
            }
            float u = 0.0f, tv = 0.0f;
            if (shading.readsTexture) {
                u = w0 * va.u + w1 * vb.u + w2 * vc.u;
                tv = w0 * va.v + w1 * vb.v + w2 * vc.v;
            }
            const uint32_t argb = ShadePixel(shading, diffuse, specular, u, tv);
            if (mask == allSamples) {
                std::fill(colour, colour + samples, argb);
            } else {
                for (int s = 0; s < samples; ++s)
                    if (mask & (1u << s)) colour[s] = argb;
            }
        }
    }
}

} // namespace txraster
