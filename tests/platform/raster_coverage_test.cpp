// Rasterizer core: which samples a triangle covers (fill rule, sample
// patterns, culling, viewport, clipping) and which survive the depth test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "mathlib/matrix.h"
#include "platform/raster/sample_pattern.h"
#include "raster_test_helpers.h"

namespace {

using namespace rastertest;
using txraster::PipelineState;
using txraster::Rasterizer;
using txraster::SampleBuffer;
using txraster::SampleOffset;
using txraster::SamplePattern;

const int kAllCounts[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(SamplePatterns, SpreadEvenlyAroundThePixelCentre) {
    for (int n : kAllCounts) {
        SCOPED_TRACE(n);
        const SampleOffset* p = SamplePattern(n);
        ASSERT_NE(p, nullptr);
        std::set<int> columns, rows;
        int sumX = 0, sumY = 0, minDistance2 = 1 << 20;
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(p[i].x, -8);
            EXPECT_LE(p[i].x, 7);
            EXPECT_GE(p[i].y, -8);
            EXPECT_LE(p[i].y, 7);
            columns.insert(p[i].x);
            rows.insert(p[i].y);
            sumX += p[i].x;
            sumY += p[i].y;
            for (int j = 0; j < i; ++j) {
                // Distances count across neighbouring pixels as well.
                const int dx = std::min(std::abs(p[i].x - p[j].x), 16 - std::abs(p[i].x - p[j].x));
                const int dy = std::min(std::abs(p[i].y - p[j].y), 16 - std::abs(p[i].y - p[j].y));
                minDistance2 = std::min(minDistance2, dx * dx + dy * dy);
            }
        }
        // A column and a row of its own for every sample: edges close to
        // horizontal or vertical pass through n coverage steps.
        EXPECT_EQ(columns.size(), static_cast<size_t>(n));
        EXPECT_EQ(rows.size(), static_cast<size_t>(n));
        // Centred, since colour is computed at the centre; the standard
        // 16-sample pattern is off by half a sixteenth.
        EXPECT_LE(std::abs(sumX), n == 16 ? 8 : 0);
        EXPECT_LE(std::abs(sumY), n == 16 ? 8 : 0);
        // No two samples crowd together: at least 3/16 of a pixel apart.
        if (n > 1) {
            EXPECT_GE(minDistance2, 9);
        }
    }
    EXPECT_EQ(SamplePattern(0), nullptr);
    EXPECT_EQ(SamplePattern(17), nullptr);
}

// Number of triangles that covered each sample, over a buffer.
class CoverageCounter {
public:
    CoverageCounter(int width, int height, int samples)
        : width_(width), height_(height), samples_(samples),
          counts_(static_cast<size_t>(width) * height * samples, 0) {}

    void Add(const SampleBuffer& buffer) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                for (int s = 0; s < samples_; ++s)
                    if (buffer.ColourAt(x, y)[s] != 0) ++counts_[Index(x, y, s)];
    }
    int At(int x, int y, int s) const { return counts_[Index(x, y, s)]; }

private:
    size_t Index(int x, int y, int s) const {
        return (static_cast<size_t>(y) * width_ + x) * samples_ + s;
    }
    int width_, height_, samples_;
    std::vector<int> counts_;
};

class FillRuleTest : public ::testing::TestWithParam<int> {};

// A rectangle cut into eight triangles around an inner point: the corners
// and the inner point sit on pixel centres, so edges run exactly through
// samples (horizontal, vertical and sloped ones). Every sample of the
// rectangle must be covered exactly once, and none outside it; the left and
// top borders belong to the rectangle, the right and bottom ones do not.
TEST_P(FillRuleTest, SharedEdgesCoverEverySampleExactlyOnce) {
    const int samples = GetParam();
    const int width = 14, height = 12;
    const float border[][2] = {{2, 2}, {5, 2}, {10, 2}, {10, 4}, {10, 8}, {5, 8}, {2, 8}, {2, 4}};
    const float inner[2] = {5, 4};
    const SampleOffset* pattern = SamplePattern(samples);
    PipelineState state = PlainState(width, height);
    Rasterizer rasterizer;

    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "counter-clockwise" : "clockwise");
        CoverageCounter counter(width, height, samples);
        for (int i = 0; i < 8; ++i) {
            SampleBuffer target;
            ASSERT_EQ(target.Allocate(width, height, samples, false), S_OK);
            const float* a = border[i];
            const float* b = border[(i + 1) % 8];
            std::vector<ScreenVertexData> tri = {At(inner[0], inner[1]), At(a[0], a[1]),
                                                 At(b[0], b[1])};
            if (reversed) std::swap(tri[1], tri[2]);
            ASSERT_EQ(DrawList(rasterizer, state, target, tri, kScreenFvf), S_OK);
            counter.Add(target);
        }
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int s = 0; s < samples; ++s) {
                    const float sx = x + pattern[s].x / 16.0f, sy = y + pattern[s].y / 16.0f;
                    const int expected = sx >= 2 && sx < 10 && sy >= 2 && sy < 8 ? 1 : 0;
                    if (counter.At(x, y, s) != expected && ++wrong < 5)
                        ADD_FAILURE() << "sample " << s << " of pixel " << x << "," << y
                                      << " covered " << counter.At(x, y, s) << " times";
                }
        EXPECT_EQ(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(SampleCounts, FillRuleTest, ::testing::Values(1, 2, 4, 8, 16, 3, 13));

TEST(RasterPrimitives, StripsAndFansMatchTheListAndKeepTheirWinding) {
    const int size = 16;
    // A ring of points around (8, 8): as a fan, as a list of the same
    // triangles, and a zig-zag strip along a band.
    std::vector<ScreenVertexData> fan = {At(8, 8)};
    for (int i = 0; i <= 6; ++i) {
        const double angle = i * 3.14159265 / 3;
        fan.push_back(At(static_cast<float>(8 + 6 * std::cos(angle)),
                         static_cast<float>(8 + 6 * std::sin(angle))));
    }
    std::vector<ScreenVertexData> fanList;
    for (size_t i = 1; i + 1 < fan.size(); ++i)
        fanList.insert(fanList.end(), {fan[0], fan[i], fan[i + 1]});

    std::vector<ScreenVertexData> strip;
    for (int i = 0; i < 6; ++i) {
        strip.push_back(At(2.0f + 2 * i, 3.0f));
        strip.push_back(At(2.0f + 2 * i, 12.0f));
    }
    std::vector<ScreenVertexData> stripList;
    for (size_t i = 0; i + 2 < strip.size(); ++i)
        stripList.insert(stripList.end(), {strip[i], strip[i + 1], strip[i + 2]});

    Rasterizer rasterizer;
    PipelineState state = PlainState(size, size);
    auto render = [&](D3DPRIMITIVETYPE type, const std::vector<ScreenVertexData>& v, UINT count,
                      DWORD cull) {
        SampleBuffer target;
        EXPECT_EQ(target.Allocate(size, size, 4, false), S_OK);
        state.cullMode = cull;
        EXPECT_EQ(Draw(rasterizer, state, target, type, count, v, kScreenFvf), S_OK);
        return Resolve(target);
    };
    const UINT fanCount = static_cast<UINT>(fan.size() - 2);
    const UINT stripCount = static_cast<UINT>(strip.size() - 2);
    const auto fanPicture = render(D3DPT_TRIANGLEFAN, fan, fanCount, D3DCULL_NONE);
    EXPECT_EQ(fanPicture, render(D3DPT_TRIANGLELIST, fanList, fanCount, D3DCULL_NONE));
    EXPECT_NE(std::count(fanPicture.begin(), fanPicture.end(), 0xFFFFFFFFu), 0);
    // Every triangle of the fan turns the same way: one cull mode removes
    // all of them, the other none.
    const auto empty = std::vector<uint32_t>(size * size, 0);
    const auto cw = render(D3DPT_TRIANGLEFAN, fan, fanCount, D3DCULL_CW);
    const auto ccw = render(D3DPT_TRIANGLEFAN, fan, fanCount, D3DCULL_CCW);
    EXPECT_TRUE((cw == empty && ccw == fanPicture) || (ccw == empty && cw == fanPicture));

    // The strip's odd triangles are read backwards, so the whole band
    // survives the cull mode that keeps its first triangle.
    const auto band = render(D3DPT_TRIANGLESTRIP, strip, stripCount, D3DCULL_NONE);
    EXPECT_EQ(band, render(D3DPT_TRIANGLELIST, stripList, stripCount, D3DCULL_NONE));
    const auto bandCw = render(D3DPT_TRIANGLESTRIP, strip, stripCount, D3DCULL_CW);
    const auto bandCcw = render(D3DPT_TRIANGLESTRIP, strip, stripCount, D3DCULL_CCW);
    EXPECT_TRUE((bandCw == empty && bandCcw == band) || (bandCcw == empty && bandCw == band));
}

TEST(RasterPrimitives, CullModesRemoveTheFacesTheyName) {
    // On the screen (y down): (2,2) -> (12,2) -> (2,12) runs clockwise.
    const std::vector<ScreenVertexData> clockwise = {At(2, 2), At(12, 2), At(2, 12)};
    const std::vector<ScreenVertexData> counter = {At(2, 2), At(2, 12), At(12, 2)};
    struct Case {
        DWORD cull;
        bool drawsClockwise, drawsCounter;
    } const cases[] = {
        {D3DCULL_NONE, true, true},
        {D3DCULL_CW, false, true},
        {D3DCULL_CCW, true, false},
    };
    Rasterizer rasterizer;
    for (const Case& c : cases) {
        PipelineState state = PlainState(16, 16);
        state.cullMode = c.cull;
        for (bool cw : {true, false}) {
            SampleBuffer target;
            ASSERT_EQ(target.Allocate(16, 16, 1, false), S_OK);
            ASSERT_EQ(DrawList(rasterizer, state, target, cw ? clockwise : counter, kScreenFvf),
                      S_OK);
            EXPECT_EQ(*target.ColourAt(4, 4) != 0, cw ? c.drawsClockwise : c.drawsCounter)
                << "cull " << c.cull << (cw ? " clockwise" : " counter-clockwise");
        }
    }
}

TEST(RasterPrimitives, BadCallsAreRefused) {
    Rasterizer rasterizer;
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(4, 4, 1, false), S_OK);
    const PipelineState state = PlainState(4, 4);
    const std::vector<ScreenVertexData> five(5, At(1, 1));
    EXPECT_EQ(Draw(rasterizer, state, target, D3DPT_TRIANGLELIST, 2, five, kScreenFvf),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Draw(rasterizer, state, target, D3DPT_TRIANGLESTRIP, 4, five, kScreenFvf),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Draw(rasterizer, state, target, D3DPT_TRIANGLESTRIP, 3, five, kScreenFvf), S_OK);
    EXPECT_EQ(Draw(rasterizer, state, target, D3DPT_TRIANGLELIST, 0, five, kScreenFvf), S_OK);
    EXPECT_EQ(
        Draw(rasterizer, state, target, static_cast<D3DPRIMITIVETYPE>(99), 1, five, kScreenFvf),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(Draw(rasterizer, state, target, D3DPT_LINELIST, 1, five, kScreenFvf), E_NOTIMPL);

    // A stride shorter than the vertex format is an error, not a misread.
    txraster::DrawCall call;
    ASSERT_TRUE(txraster::ParseVertexFormat(kScreenFvf, &call.layout));
    call.type = D3DPT_TRIANGLELIST;
    call.primitiveCount = 1;
    call.vertices = reinterpret_cast<const unsigned char*>(five.data());
    call.stride = 16;
    call.vertexCount = 5;
    EXPECT_EQ(rasterizer.Draw(call, state, target), D3DERR_INVALIDCALL);
}

// Untransformed vertices with identity transforms: clip space is model
// space with w = 1, so positions map straight through the viewport.
TEST(RasterViewport, MapsTheUnitSquareOntoTheViewportOnly) {
    const int width = 40, height = 30;
    PipelineState state = PlainState(width, height);
    state.viewport = D3DVIEWPORT8{10, 5, 20, 16, 0.25f, 0.75f};
    state.depthTest = true;
    const std::vector<ModelVertex> quad = {
        {-1, -1, 0.5f, 0xFF00FF00u, 0, 0}, {-1, 1, 0.5f, 0xFF00FF00u, 0, 0},
        {1, 1, 0.5f, 0xFF00FF00u, 0, 0},   {-1, -1, 0.5f, 0xFF00FF00u, 0, 0},
        {1, 1, 0.5f, 0xFF00FF00u, 0, 0},   {1, -1, 0.5f, 0xFF00FF00u, 0, 0}};
    for (int samples : {1, 4}) {
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(width, height, samples, true), S_OK);
        Rasterizer rasterizer;
        ASSERT_EQ(DrawList(rasterizer, state, target, quad, kModelFvf), S_OK);
        const auto picture = Resolve(target);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool inside = x >= 10 && x < 30 && y >= 5 && y < 21;
                const uint32_t c = picture[y * width + x];
                // Pixel centres sit at whole coordinates, so the viewport's
                // left and top borders run through the centres of its first
                // column and row: with several samples those pixels are only
                // partly covered.
                const bool border = samples > 1 && (x == 10 || y == 5);
                if (!inside) {
                    ASSERT_EQ(c, 0u) << samples << " samples, pixel " << x << "," << y;
                } else if (border) {
                    ASSERT_TRUE(c != 0u && c != 0xFF00FF00u) << "pixel " << x << "," << y;
                } else {
                    ASSERT_EQ(c, 0xFF00FF00u) << samples << " samples, pixel " << x << "," << y;
                }
            }
        // Depth 0.5 lands halfway between MinZ and MaxZ.
        EXPECT_EQ(*target.DepthAt(20, 12), txraster::DepthToD16(0.5));
        EXPECT_EQ(*target.DepthAt(0, 0), 0xFFFF);
    }
}

TEST(RasterClipping, NearAndFarPlanesCutTheTriangle) {
    // With w = 1 the depth is z itself: the quad's depth runs from -1.5 at
    // the left edge to 2.5 at the right, so only the columns with depth in
    // [0, 1] may show.
    const int width = 64, height = 8;
    PipelineState state = PlainState(width, height);
    const std::vector<ModelVertex> quad = {
        {-1, -1, -1.5f, 0xFFFFFFFFu, 0, 0}, {-1, 1, -1.5f, 0xFFFFFFFFu, 0, 0},
        {1, 1, 2.5f, 0xFFFFFFFFu, 0, 0},    {-1, -1, -1.5f, 0xFFFFFFFFu, 0, 0},
        {1, 1, 2.5f, 0xFFFFFFFFu, 0, 0},    {1, -1, 2.5f, 0xFFFFFFFFu, 0, 0}};
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(width, height, 1, false), S_OK);
    Rasterizer rasterizer;
    ASSERT_EQ(DrawList(rasterizer, state, target, quad, kModelFvf), S_OK);
    for (int x = 0; x < width; ++x) {
        const double depth = -1.5 + 4.0 * x / width; // at the pixel centre
        if (std::fabs(depth) < 0.1 || std::fabs(depth - 1.0) < 0.1) continue;
        EXPECT_EQ(*target.ColourAt(x, 4) != 0, depth >= 0.0 && depth <= 1.0) << "column " << x;
    }
}

TEST(RasterClipping, GeometryBehindTheEyeAndFarOffScreenIsHandled) {
    const int size = 32;
    PipelineState state = PlainState(size, size);
    // Eye one unit above the floor, looking level: the horizon runs through
    // the middle of the view.
    const D3DVECTOR eye{0, 0, 0}, at{0, 0, 10}, up{0, 1, 0};
    TxMatrixLookAtLH(&state.view, &eye, &at, &up);
    TxMatrixPerspectiveFovLH(&state.projection, 0.785398185f, 1.0f, 1.0f, 100.0f);

    // A floor reaching from behind the eye to far beyond the far plane.
    const std::vector<ModelVertex> floor = {
        {-50, -1, -60, 0xFFFFFFFFu, 0, 0}, {-50, -1, 200, 0xFFFFFFFFu, 0, 0},
        {50, -1, 200, 0xFFFFFFFFu, 0, 0},  {-50, -1, -60, 0xFFFFFFFFu, 0, 0},
        {50, -1, 200, 0xFFFFFFFFu, 0, 0},  {50, -1, -60, 0xFFFFFFFFu, 0, 0}};
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(size, size, 4, false), S_OK);
    Rasterizer rasterizer;
    ASSERT_EQ(DrawList(rasterizer, state, target, floor, kModelFvf), S_OK);
    const auto picture = Resolve(target);
    // The bottom of the view is floor, the top (above the horizon) is not.
    for (int x = 0; x < size; ++x) {
        EXPECT_EQ(picture[(size - 1) * size + x], 0xFFFFFFFFu) << x;
        EXPECT_EQ(picture[x], 0u) << x;
    }

    // Pretransformed corners a million pixels away still cover exactly the
    // target.
    const std::vector<ScreenVertexData> huge = {At(-1e6f, -1e6f), At(3e6f, -1e6f), At(-1e6f, 3e6f)};
    SampleBuffer whole;
    ASSERT_EQ(whole.Allocate(size, size, 16, false), S_OK);
    ASSERT_EQ(DrawList(rasterizer, PlainState(size, size), whole, huge, kScreenFvf), S_OK);
    const auto all = Resolve(whole);
    EXPECT_EQ(std::count(all.begin(), all.end(), 0xFFFFFFFFu), size * size);
}

TEST(RasterDepth, LessOrEqualTestKeepsTheNearestAndLetsTiesThrough) {
    const int size = 8;
    const auto square = [](float z, uint32_t colour) {
        return std::vector<ScreenVertexData>{At(0, 0, colour, z), At(8, 0, colour, z),
                                             At(0, 8, colour, z), At(8, 0, colour, z),
                                             At(8, 8, colour, z), At(0, 8, colour, z)};
    };
    struct Case {
        const char* what;
        bool depthTest;
        float firstZ, secondZ;
        uint32_t expected;
    } const cases[] = {
        {"nearer drawn second", true, 0.6f, 0.4f, 0xFF0000FFu},
        {"farther drawn second", true, 0.4f, 0.6f, 0xFFFF0000u},
        {"equal depth: second wins", true, 0.5f, 0.5f, 0xFF0000FFu},
        {"no depth test: second wins", false, 0.4f, 0.6f, 0xFF0000FFu},
    };
    Rasterizer rasterizer;
    for (const Case& c : cases) {
        PipelineState state = PlainState(size, size);
        state.depthTest = c.depthTest;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(size, size, 4, true), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, square(c.firstZ, 0xFFFF0000u), kScreenFvf),
                  S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, square(c.secondZ, 0xFF0000FFu), kScreenFvf),
                  S_OK);
        EXPECT_EQ(Resolve(target)[3 * size + 3], c.expected) << c.what;
    }

    // Without depth writes the first square leaves the buffer as cleared.
    PipelineState state = PlainState(size, size);
    state.depthTest = true;
    state.depthWrite = false;
    SampleBuffer target;
    ASSERT_EQ(target.Allocate(size, size, 1, true), S_OK);
    ASSERT_EQ(DrawList(rasterizer, state, target, square(0.3f, 0xFFFF0000u), kScreenFvf), S_OK);
    EXPECT_EQ(*target.DepthAt(3, 3), 0xFFFF);
}

// Two planes crossing along a sloped line: per-sample depth gives the pixels
// along the intersection a mixture of both colours, and only there.
TEST(RasterDepth, IntersectionEdgeIsSmoothedPerSample) {
    const int size = 32;
    // Red depth rises left to right, blue falls: they cross where x = 16 +
    // (y - 16) / 4 (a steep line).
    std::vector<ScreenVertexData> red, blue;
    const auto plane = [](float zLeftTop, float zRight, uint32_t colour) {
        // Depth grows by (zRight - zLeftTop) / 32 per pixel along
        // (1, 1/4), over a square a little larger than the target.
        auto depth = [&](float x, float y) {
            return zLeftTop + (zRight - zLeftTop) * (x + 0.25f * (y - 16.0f)) / 32.0f;
        };
        return std::vector<ScreenVertexData>{
            At(-4, -4, colour, depth(-4, -4)), At(36, -4, colour, depth(36, -4)),
            At(-4, 36, colour, depth(-4, 36)), At(36, -4, colour, depth(36, -4)),
            At(36, 36, colour, depth(36, 36)), At(-4, 36, colour, depth(-4, 36))};
    };
    red = plane(0.2f, 0.8f, 0xFFFF0000u);
    blue = plane(0.8f, 0.2f, 0xFF0000FFu);

    for (int samples : {1, 8}) {
        PipelineState state = PlainState(size, size);
        state.depthTest = true;
        SampleBuffer target;
        ASSERT_EQ(target.Allocate(size, size, samples, true), S_OK);
        Rasterizer rasterizer;
        ASSERT_EQ(DrawList(rasterizer, state, target, red, kScreenFvf), S_OK);
        ASSERT_EQ(DrawList(rasterizer, state, target, blue, kScreenFvf), S_OK);
        const auto picture = Resolve(target);
        int mixed = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint32_t c = picture[y * size + x];
                const double crossing = 16.0 - 0.25 * (y - 16.0);
                if (x < crossing - 1.5) {
                    EXPECT_EQ(c, 0xFFFF0000u) << x << "," << y;
                } else if (x > crossing + 1.5) {
                    EXPECT_EQ(c, 0xFF0000FFu) << x << "," << y;
                }
                if (c != 0xFFFF0000u && c != 0xFF0000FFu) {
                    ++mixed;
                    // A mixture of exactly the two colours (each rounded).
                    const uint32_t sum = ((c >> 16) & 0xFF) + (c & 0xFF);
                    EXPECT_TRUE(sum >= 254 && sum <= 256 && (c & 0xFF00) == 0) << x << "," << y;
                }
            }
        if (samples == 1)
            EXPECT_EQ(mixed, 0);
        else
            EXPECT_GE(mixed, size / 2) << "most rows have a partly covered pixel";
    }
}

} // namespace
