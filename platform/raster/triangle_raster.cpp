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
        *lo = std::max(*lo, start - FloorDiv(value, step)); // px - start >= ceil(-value / step)
    } else {
        *hi = std::min(*hi, start + FloorDiv(value, -step));
    }
}

// Which comparison results pass a depth function: bit 0 for "less", bit 1
// for "equal", bit 2 for "greater".
unsigned DepthPassBits(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER:
        return 0;
    case D3DCMP_LESS:
        return 1;
    case D3DCMP_EQUAL:
        return 2;
    case D3DCMP_GREATER:
        return 4;
    case D3DCMP_NOTEQUAL:
        return 5;
    case D3DCMP_GREATEREQUAL:
        return 6;
    case D3DCMP_ALWAYS:
        return 7;
    default:
        return 3; // less or equal
    }
}

// A depth already scaled to 16-bit steps and offset by one half; the same
// rounding as DepthToD16.
inline uint16_t QuantiseScaled(float v) {
    v = v > 0.0f ? v : 0.0f; // NaN as well
    v = v < 65535.0f ? v : 65535.0f;
    return static_cast<uint16_t>(static_cast<int>(v));
}

inline Colour Blend(const Colour& a, const Colour& b, const Colour& c, float wa, float wb,
                    float wc) {
    return Colour{wa * a.r + wb * b.r + wc * c.r, wa * a.g + wb * b.g + wc * c.g,
                  wa * a.b + wb * b.b + wc * c.b, wa * a.a + wb * b.a + wc * c.a};
}

struct Setup {
    Edge edges[3];
    int64_t x0, x1, y0, y1; // pixels that samples of the triangle can reach
    // Depth plane in 16-bit steps: z(p) = zBase + e1(p) zStep1 + e2(p) zStep2.
    double zBase, zStep1, zStep2;
    float sampleDepth[kMaxSamples];
    unsigned depthPass;
    bool depthTest, depthWrite;
    const ShadingSetup* shading;
    const ScreenVertex* v[3];
    float invArea;
    const ClipVertex* flat;
    uint32_t sampleMask;
};

// The colour of a pixel whose centre has edge values e.
inline uint32_t PixelColour(const Setup& s, const int64_t e[3]) {
    // Perspective-correct weights of the corners at the pixel centre.
    const float l0 = static_cast<float>(e[0]) * s.invArea;
    const float l1 = static_cast<float>(e[1]) * s.invArea;
    const float l2 = static_cast<float>(e[2]) * s.invArea;
    float w0 = l0 * s.v[0]->rhw, w1 = l1 * s.v[1]->rhw, w2 = l2 * s.v[2]->rhw;
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
    const ShadingSetup& shading = *s.shading;
    const ClipVertex& a = *s.v[0]->attributes;
    const ClipVertex& b = *s.v[1]->attributes;
    const ClipVertex& c = *s.v[2]->attributes;
    Colour diffuse{0, 0, 0, 0}, specular{0, 0, 0, 0};
    if (s.flat) {
        diffuse = s.flat->diffuse;
        specular = s.flat->specular;
    } else {
        if (shading.readsDiffuse) diffuse = Blend(a.diffuse, b.diffuse, c.diffuse, w0, w1, w2);
        if (shading.readsSpecular) specular = Blend(a.specular, b.specular, c.specular, w0, w1, w2);
    }
    float u = 0.0f, v = 0.0f;
    if (shading.readsTexture) {
        u = w0 * a.u + w1 * b.u + w2 * c.u;
        v = w0 * a.v + w1 * b.v + w2 * c.v;
    }
    return ShadePixel(shading, diffuse, specular, u, v);
}

// Scans the triangle row by row. N is the sample count when known at compile
// time (the common counts), 0 otherwise.
template <int N>
void Scan(const Setup& s, int runtimeSamples, SampleBuffer& target) {
    const int n = N > 0 ? N : runtimeSamples;
    const uint32_t allSamples = (1u << n) - 1u;
    const Edge* edges = s.edges;

    for (int64_t py = s.y0; py <= s.y1; ++py) {
        const int64_t cy = py * kSubpixelScale;
        int64_t lo = s.x0, hi = s.x1;
        int64_t e[3], step[3];
        for (int k = 0; k < 3; ++k) {
            const int64_t rowStart = edges[k].At(s.x0 * kSubpixelScale, cy);
            step[k] = -edges[k].dy * kSubpixelScale;
            NarrowSpan(rowStart + edges[k].maxDelta - edges[k].threshold, step[k], s.x0, &lo, &hi);
            e[k] = rowStart;
        }
        if (lo > hi) continue;
        for (int k = 0; k < 3; ++k)
            e[k] += step[k] * (lo - s.x0);
        const int x = static_cast<int>(lo), y = static_cast<int>(py);
        uint32_t* colour = target.PrepareColourRow(y, x, static_cast<int>(hi));
        uint16_t* depth =
            s.depthTest ? target.PrepareDepthRow(y, x, static_cast<int>(hi)) : nullptr;

        for (int64_t px = lo; px <= hi; ++px, colour += n, depth += s.depthTest ? n : 0,
                     e[0] += step[0], e[1] += step[1], e[2] += step[2]) {
            uint32_t mask;
            if (e[0] + edges[0].minDelta >= edges[0].threshold &&
                e[1] + edges[1].minDelta >= edges[1].threshold &&
                e[2] + edges[2].minDelta >= edges[2].threshold) {
                mask = allSamples;
            } else {
                mask = 0;
                for (int i = 0; i < n; ++i) {
                    const bool inside = e[0] + edges[0].sampleDelta[i] >= edges[0].threshold &&
                                        e[1] + edges[1].sampleDelta[i] >= edges[1].threshold &&
                                        e[2] + edges[2].sampleDelta[i] >= edges[2].threshold;
                    mask |= static_cast<uint32_t>(inside) << i;
                }
            }
            mask &= s.sampleMask;
            if (!mask) continue;
            if (s.depthTest) {
                const float zc = static_cast<float>(s.zBase + static_cast<double>(e[1]) * s.zStep1 +
                                                    static_cast<double>(e[2]) * s.zStep2);
                uint32_t passed = 0;
                for (int i = 0; i < n; ++i) {
                    const uint16_t q = QuantiseScaled(zc + s.sampleDepth[i]);
                    const uint16_t stored = depth[i];
                    const unsigned result = (q >= stored) + (q > stored);
                    const uint32_t ok = (mask >> i) & (s.depthPass >> result) & 1u;
                    passed |= ok << i;
                    if (s.depthWrite) depth[i] = ok ? q : stored;
                }
                mask = passed;
                if (!mask) continue;
            }
            const uint32_t argb = PixelColour(s, e);
            if (mask == allSamples) {
                for (int i = 0; i < n; ++i)
                    colour[i] = argb;
            } else {
                for (int i = 0; i < n; ++i)
                    if (mask & (1u << i)) colour[i] = argb;
            }
        }
    }
}

} // namespace

void RasterizeTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                       const ClipVertex* flat, const TriangleContext& context,
                       SampleBuffer& target) {
    Setup s;
    s.v[0] = &a;
    s.v[1] = &b;
    s.v[2] = &c;
    int64_t area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0) return;
    // With y growing downwards a positive area runs clockwise on the screen.
    if (context.cullMode == D3DCULL_CW && area > 0) return;
    if (context.cullMode == D3DCULL_CCW && area < 0) return;
    if (area < 0) {
        std::swap(s.v[1], s.v[2]);
        area = -area;
    }

    const int samples = context.samples;
    const SampleOffset* pattern = context.pattern;
    SetupEdge(*s.v[1], *s.v[2], pattern, samples, &s.edges[0]); // opposite v0
    SetupEdge(*s.v[2], *s.v[0], pattern, samples, &s.edges[1]); // opposite v1
    SetupEdge(*s.v[0], *s.v[1], pattern, samples, &s.edges[2]); // opposite v2

    // Pixels whose samples can reach the triangle: samples lie within
    // [-8, 7] sixteenths of the centre.
    const int64_t minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    const int64_t minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    const int64_t reachBefore = 8 * kSubpixelScale / 16, reachAfter = 7 * kSubpixelScale / 16;
    s.x0 = std::max<int64_t>(context.clip.left, -FloorDiv(reachAfter - minX, kSubpixelScale));
    s.x1 = std::min<int64_t>(context.clip.right - 1, FloorDiv(maxX + reachBefore, kSubpixelScale));
    s.y0 = std::max<int64_t>(context.clip.top, -FloorDiv(reachAfter - minY, kSubpixelScale));
    s.y1 = std::min<int64_t>(context.clip.bottom - 1, FloorDiv(maxY + reachBefore, kSubpixelScale));
    if (s.x0 > s.x1 || s.y0 > s.y1) return;

    // Depth is affine in screen space: z = z0 + l1 (z1 - z0) + l2 (z2 - z0)
    // with l1, l2 the edge values opposite v1 and v2 over the area. It is
    // kept in 16-bit steps plus one half, ready for truncation.
    const double invArea = 1.0 / static_cast<double>(area);
    s.zStep1 = (s.v[1]->z - s.v[0]->z) * invArea * 65535.0;
    s.zStep2 = (s.v[2]->z - s.v[0]->z) * invArea * 65535.0;
    s.zBase = s.v[0]->z * 65535.0 + 0.5;
    for (int i = 0; i < samples; ++i)
        s.sampleDepth[i] =
            static_cast<float>(static_cast<double>(s.edges[1].sampleDelta[i]) * s.zStep1 +
                               static_cast<double>(s.edges[2].sampleDelta[i]) * s.zStep2);
    s.depthTest = context.depthTest && target.HasDepth();
    s.depthWrite = s.depthTest && context.depthWrite;
    s.depthPass = DepthPassBits(context.depthFunc);
    s.shading = context.shading;
    s.invArea = static_cast<float>(invArea);
    s.flat = flat;
    s.sampleMask = context.sampleMask;

    switch (samples) {
    case 1:
        Scan<1>(s, 1, target);
        break;
    case 2:
        Scan<2>(s, 2, target);
        break;
    case 4:
        Scan<4>(s, 4, target);
        break;
    case 8:
        Scan<8>(s, 8, target);
        break;
    case 16:
        Scan<16>(s, 16, target);
        break;
    default:
        Scan<0>(s, samples, target);
        break;
    }
}

} // namespace txraster
