// Anti-aliasing quality: a straight edge at many angles and offsets, drawn
// with each sample count; every resolved pixel is compared with the exact
// area of the pixel that the edge's inner side covers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "raster_test_helpers.h"

namespace {

using namespace rastertest;

const int kSize = 48;

struct Point {
    double x, y;
};

// Area of the pixel square centred on (cx, cy) where a*x + b*y + c >= 0.
double CoveredArea(double cx, double cy, double a, double b, double c) {
    std::vector<Point> polygon = {
        {cx - 0.5, cy - 0.5}, {cx + 0.5, cy - 0.5}, {cx + 0.5, cy + 0.5}, {cx - 0.5, cy + 0.5}};
    std::vector<Point> kept;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const Point& p = polygon[i];
        const Point& q = polygon[(i + 1) % polygon.size()];
        const double dp = a * p.x + b * p.y + c, dq = a * q.x + b * q.y + c;
        if (dp >= 0) kept.push_back(p);
        if ((dp >= 0) != (dq >= 0)) {
            const double t = dp / (dp - dq);
            kept.push_back({p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t});
        }
    }
    double twice = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        const Point& p = kept[i];
        const Point& q = kept[(i + 1) % kept.size()];
        twice += p.x * q.y - q.x * p.y;
    }
    return std::fabs(twice) / 2;
}

struct EdgeResult {
    double meanError = 0; // over the pixels the edge crosses
    std::set<uint32_t> levels;
};

// White on black: the half-plane on the left of the line through `through`
// with direction angle `degrees`, as one large triangle.
EdgeResult MeasureEdge(int samples, double degrees, Point through) {
    const double angle = degrees * 3.14159265358979323846 / 180.0;
    const double dx = std::cos(angle), dy = std::sin(angle);
    const double far = 2000.0;
    const Point a{through.x - dx * far, through.y - dy * far};
    const Point b{through.x + dx * far, through.y + dy * far};
    // The third corner lies on the side where -dy * x + dx * y grows.
    const Point c{through.x - dy * far, through.y + dx * far};
    const std::vector<ScreenVertexData> tri = {
        At(static_cast<float>(a.x), static_cast<float>(a.y), 0xFFFFFFFFu),
        At(static_cast<float>(b.x), static_cast<float>(b.y), 0xFFFFFFFFu),
        At(static_cast<float>(c.x), static_cast<float>(c.y), 0xFFFFFFFFu)};

    txraster::SampleBuffer target;
    EXPECT_EQ(target.Allocate(kSize, kSize, samples, false), S_OK);
    target.ClearColour(target.Bounds(), 0xFF000000u);
    txraster::Rasterizer rasterizer;
    EXPECT_EQ(DrawList(rasterizer, PlainState(kSize, kSize), target, tri, kScreenFvf), S_OK);
    const std::vector<uint32_t> picture = Resolve(target);

    // The line through the snapped corners, as the rasterizer sees it.
    const double ax = std::nearbyint(tri[0].x * 256) / 256,
                 ay = std::nearbyint(tri[0].y * 256) / 256;
    const double bx = std::nearbyint(tri[1].x * 256) / 256,
                 by = std::nearbyint(tri[1].y * 256) / 256;
    const double la = -(by - ay), lb = bx - ax, lc = -(la * ax + lb * ay);

    EdgeResult result;
    double total = 0;
    int counted = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const uint32_t value = picture[y * kSize + x];
            result.levels.insert(value);
            const double area = CoveredArea(x, y, la, lb, lc);
            if (area <= 0.0 || area >= 1.0) continue;
            total += std::fabs(static_cast<double>((value >> 8) & 0xFF) / 255.0 - area);
            ++counted;
        }
    result.meanError = counted ? total / counted : 0;
    return result;
}

// Angles all around, including the axis-aligned and diagonal ones, through
// points that are not pixel centres.
double MeanErrorOverAngles(int samples, std::set<uint32_t>* levels = nullptr) {
    double total = 0;
    int runs = 0;
    for (double degrees = 0; degrees < 360; degrees += 7.5)
        for (Point through : {Point{24.13, 23.71}, Point{23.5, 24.0}}) {
            const EdgeResult r = MeasureEdge(samples, degrees, through);
            total += r.meanError;
            ++runs;
            if (levels) levels->insert(r.levels.begin(), r.levels.end());
        }
    return total / runs;
}

TEST(EdgeQuality, ErrorShrinksAsTheSampleCountRises) {
    std::map<int, double> error;
    for (int samples = 1; samples <= 16; ++samples)
        error[samples] = MeanErrorOverAngles(samples);
    for (const auto& e : error)
        std::printf("samples %2d: mean coverage error %.4f\n", e.first, e.second);

    EXPECT_GT(error[2], error[4]);
    EXPECT_GT(error[4], error[8]);
    EXPECT_GT(error[8], error[16]);
    // Every count smooths better than none, within a little more than half
    // a coverage step per sample; more samples never do much worse than
    // fewer.
    for (int n = 2; n <= 16; ++n) {
        EXPECT_LT(error[n], error[1]) << n;
        EXPECT_LT(error[n], 0.6 / n) << n;
        EXPECT_LT(error[n], error[n - 1] * 1.25) << n;
    }
}

TEST(EdgeQuality, WithoutMultisamplingEdgesAreHard) {
    std::set<uint32_t> levels;
    const double error = MeanErrorOverAngles(1, &levels);
    EXPECT_EQ(levels, (std::set<uint32_t>{0xFF000000u, 0xFFFFFFFFu}));
    EXPECT_GT(error, 0.15);

    // With samples, the edge pixels take values between the two colours.
    std::set<uint32_t> smooth;
    MeanErrorOverAngles(4, &smooth);
    EXPECT_GE(smooth.size(), 5u);
}

} // namespace
