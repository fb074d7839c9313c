#include "platform/raster/clipper.h"

#include <cmath>

namespace txraster {

namespace {

float Distance(const ClipPlane& p, const ClipVertex& v) {
    return p.a * v.x + p.b * v.y + p.c * v.z + p.d * v.w + p.e;
}

float Lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

Colour Lerp(const Colour& a, const Colour& b, float t) {
    return Colour{Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t), Lerp(a.a, b.a, t)};
}

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t) {
    ClipVertex r;
    r.x = Lerp(a.x, b.x, t);
    r.y = Lerp(a.y, b.y, t);
    r.z = Lerp(a.z, b.z, t);
    r.w = Lerp(a.w, b.w, t);
    r.diffuse = Lerp(a.diffuse, b.diffuse, t);
    r.specular = Lerp(a.specular, b.specular, t);
    r.u = Lerp(a.u, b.u, t);
    r.v = Lerp(a.v, b.v, t);
    return r;
}

bool Finite(const ClipVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

} // namespace

int ClipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                 const ClipPlane* planes, int planeCount, ClipVertex* out) {
    if (!Finite(a) || !Finite(b) || !Finite(c)) return 0;
    ClipVertex buffers[2][kMaxClippedVertices];
    ClipVertex* source = buffers[0];
    ClipVertex* target = buffers[1];
    source[0] = a;
    source[1] = b;
    source[2] = c;
    int count = 3;
    for (int p = 0; p < planeCount && count > 0; ++p) {
        const ClipPlane& plane = planes[p];
        float distance[kMaxClippedVertices];
        bool allInside = true;
        bool allOutside = true;
        for (int i = 0; i < count; ++i) {
            distance[i] = Distance(plane, source[i]);
            if (distance[i] >= 0.0f)
                allOutside = false;
            else
                allInside = false;
        }
        if (allInside) continue;
        if (allOutside) return 0;
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const int j = i + 1 == count ? 0 : i + 1;
            const bool inI = distance[i] >= 0.0f;
            const bool inJ = distance[j] >= 0.0f;
            if (inI) target[kept++] = source[i];
            if (inI != inJ) {
                // Always interpolate from the inside corner so that both
                // triangles sharing this edge compute the same point.
                const int from = inI ? i : j;
                const int to = inI ? j : i;
                const float t = distance[from] / (distance[from] - distance[to]);
                target[kept++] = Lerp(source[from], source[to], t);
            }
        }
        count = kept;
        ClipVertex* swap = source;
        source = target;
        target = swap;
    }
    if (count < 3) return 0;
    for (int i = 0; i < count; ++i)
        out[i] = source[i];
    return count;
}

} // namespace txraster
