// Rendered frames, read from the picture the device presents into the
// window: the clear colour around the scene, which triangle shows where,
// both faces, the intersection drawn by the depth test, and the draw order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/window_host.h"
#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

const uint32_t kClear = 0x700000;
const uint32_t kWhite = 0xFFFFFF;
const uint32_t kBlack = 0x000000;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // Colour without alpha.
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                      static_cast<size_t>(x)] &
               0xFFFFFFu;
    }
};

Picture Presented() {
    Picture picture;
    txplatform::ReadWindowImage(viewerState.window, &picture.pixels, &picture.width,
                                &picture.height);
    return picture;
}

struct ModelPoint {
    double x, y, z;
};

class FramePixelsTest : public ViewerTest {
protected:
    // A still scene at the given angles in the 400 by 400 back buffer.
    void DrawStill(float angleX, float angleY, float angleZ, int samples = 0) {
        viewerState.magnify = false;
        viewerState.spinY = false;
        viewerState.sampleCount = samples;
        viewerState.angleX = angleX;
        viewerState.angleY = angleY;
        viewerState.angleZ = angleZ;
        if (!viewerState.device || viewerState.sampleCount != configuredSamples_) {
            ApplyConfiguration();
            configuredSamples_ = samples;
        }
        ASSERT_NE(viewerState.device, nullptr);
        DrawFrame();
        picture_ = Presented();
        ASSERT_EQ(picture_.width, 400);
        ASSERT_EQ(picture_.height, 400);
    }

    // Screen position (in pixels, from the top-left corner) of a
    // model-space point under the last frame's transforms.
    void ProjectExact(const ModelPoint& p, double screen[2]) const {
        D3DMATRIX m[3];
        viewerState.device->GetTransform(D3DTS_WORLD, &m[0]);
        viewerState.device->GetTransform(D3DTS_VIEW, &m[1]);
        viewerState.device->GetTransform(D3DTS_PROJECTION, &m[2]);
        double v[4] = {p.x, p.y, p.z, 1.0};
        for (const D3DMATRIX& t : m) {
            double out[4];
            for (int c = 0; c < 4; ++c)
                out[c] = v[0] * t.m[0][c] + v[1] * t.m[1][c] + v[2] * t.m[2][c] + v[3] * t.m[3][c];
            std::copy(out, out + 4, v);
        }
        screen[0] = (v[0] / v[3] + 1.0) * 0.5 * picture_.width;
        screen[1] = (1.0 - v[1] / v[3]) * 0.5 * picture_.height;
    }

    // The pixel that shows a model-space point.
    void Project(const ModelPoint& p, int* px, int* py) const {
        double screen[2];
        ProjectExact(p, screen);
        *px = static_cast<int>(std::floor(screen[0]));
        *py = static_cast<int>(std::floor(screen[1]));
    }

    uint32_t ColourAt(const ModelPoint& p) const {
        int x, y;
        Project(p, &x, &y);
        EXPECT_TRUE(x >= 0 && y >= 0 && x < picture_.width && y < picture_.height);
        return picture_.At(x, y);
    }

    Picture picture_;
    int configuredSamples_ = -1;
};

// Points well inside each triangle, in model space.
const ModelPoint kWhiteInside[] = {{0.0, -0.4, 0.0}, {0.5, -0.7, 0.0}, {-0.5, -0.7, 0.0}};
const ModelPoint kBlackInside[] = {{0.0, -0.4, 0.0}, {0.0, -0.7, 0.5}, {0.0, -0.7, -0.5}};

TEST_F(FramePixelsTest, ClearColourFramesTheScene) {
    DrawStill(0.0f, 0.0f, 0.0f);
    for (int x : {0, 399})
        for (int y : {0, 399})
            EXPECT_EQ(picture_.At(x, y), kClear) << "corner " << x << ", " << y;
    // The scene fills a small part of the picture.
    size_t clear = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            clear += picture_.At(x, y) == kClear;
    EXPECT_GT(clear, 400u * 400u * 3 / 4);
    EXPECT_LT(clear, 400u * 400u);
}

struct FaceCase {
    const char* what;
    float angleY;
    bool whiteFacesCamera;
};

TEST_F(FramePixelsTest, EachTriangleShowsItsVertexColourFromBothSides) {
    // Turned about Y by 0 or about pi the white triangle faces the camera
    // (front or back) and the black one is seen edge-on; by a quarter turn
    // either way the roles swap.
    const FaceCase cases[] = {
        {"white front", 0.0f, true},
        {"white back", 3.14f, true},
        {"black front", 1.5708f, false},
        {"black back", -1.5708f, false},
    };
    for (const FaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        DrawStill(0.0f, c.angleY, 0.0f);
        for (const ModelPoint& p : c.whiteFacesCamera ? kWhiteInside : kBlackInside)
            EXPECT_EQ(ColourAt(p), c.whiteFacesCamera ? kWhite : kBlack)
                << "at " << p.x << ", " << p.y << ", " << p.z;
    }
}

TEST_F(FramePixelsTest, DepthTestShowsTheNearerHalfOfEachTriangle) {
    // An eighth turn about Y: the white triangle's +x half and the black
    // triangle's -z half come towards the camera, each hiding the other
    // triangle's far half. Drawn in either order, the nearer half shows.
    for (bool swap : {false, true}) {
        SCOPED_TRACE(swap ? "black first" : "white first");
        viewerState.swapDrawOrder = swap;
        DrawStill(0.0f, 0.785398f, 0.0f);
        EXPECT_EQ(ColourAt({0.5, -0.5, 0.0}), kWhite);
        EXPECT_EQ(ColourAt({0.0, -0.5, -0.5}), kBlack);
        // The far halves lie behind the near ones.
        EXPECT_EQ(ColourAt({-0.5, -0.5, 0.0}), kBlack);
        EXPECT_EQ(ColourAt({0.0, -0.5, 0.5}), kWhite);
    }
}

// Distance from a pixel's centre to the segment between two screen points.
double DistanceToSegment(int x, int y, const double a[2], const double b[2]) {
    const double px = x + 0.5 - a[0], py = y + 0.5 - a[1];
    const double dx = b[0] - a[0], dy = b[1] - a[1];
    double t = (px * dx + py * dy) / (dx * dx + dy * dy);
    t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
    return std::hypot(px - t * dx, py - t * dy);
}

TEST_F(FramePixelsTest, DrawOrderChangesNothingAwayFromTheIntersection) {
    // The depth test decides every pixel, whichever triangle comes first.
    // Only where the two planes meet can both have the same 16-bit depth;
    // there the later triangle wins, so the order may show in the pixels
    // along the intersection and nowhere else.
    for (int samples : {0, 4}) {
        SCOPED_TRACE(testing::Message() << samples << " samples");
        viewerState.swapDrawOrder = false;
        DrawStill(0.3f, 0.785398f, 0.2f, samples);
        const Picture whiteFirst = picture_;
        viewerState.swapDrawOrder = true;
        DrawStill(0.3f, 0.785398f, 0.2f, samples);

        double bottom[2], top[2];
        ProjectExact({0.0, -1.0, 0.0}, bottom);
        ProjectExact({0.0, 1.0, 0.0}, top);
        size_t differing = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 400; ++x) {
                if (whiteFirst.At(x, y) == picture_.At(x, y)) continue;
                ++differing;
                EXPECT_LE(DistanceToSegment(x, y, bottom, top), 1.5)
                    << "pixel " << x << ", " << y << " away from the intersection changed";
            }
        }
        // The intersection is some 130 pixels long; most of it is decided by
        // depth alone.
        EXPECT_LT(differing, 40u);
    }
}

TEST_F(FramePixelsTest, MultisamplingBlendsTheEdgesAndOnlyTheEdges) {
    // Without samples every pixel is one of the three colours; with four the
    // outer edges take mixtures while the insides stay pure.
    for (int samples : {0, 4}) {
        SCOPED_TRACE(testing::Message() << samples << " samples");
        DrawStill(0.0f, 0.4f, 0.0f, samples);
        size_t mixed = 0;
        for (uint32_t pixel : picture_.pixels) {
            const uint32_t c = pixel & 0xFFFFFFu;
            mixed += c != kClear && c != kWhite && c != kBlack;
        }
        if (samples == 0)
            EXPECT_EQ(mixed, 0u);
        else
            EXPECT_GT(mixed, 50u);
        EXPECT_EQ(ColourAt({0.5, -0.6, 0.0}), kWhite);
        EXPECT_EQ(picture_.At(0, 0), kClear);
    }
}

TEST_F(FramePixelsTest, MagnifiedViewShowsEachBackBufferPixelAsAFourByFourBlock) {
    viewerState.spinY = false;
    viewerState.angleY = 0.4f;
    viewerState.sampleCount = 4;
    ApplyConfiguration();
    ASSERT_EQ(BackBufferDesc().Width, 100u);
    DrawFrame();
    picture_ = Presented();
    ASSERT_EQ(picture_.width, 400);
    ASSERT_EQ(picture_.height, 400);
    size_t distinctBlocks = 0;
    uint32_t previous = picture_.At(0, 0);
    for (int by = 0; by < 400; by += 4) {
        for (int bx = 0; bx < 400; bx += 4) {
            const uint32_t block = picture_.At(bx, by);
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x)
                    ASSERT_EQ(picture_.At(x, y), block) << "block at " << bx << ", " << by;
            distinctBlocks += block != previous;
            previous = block;
        }
    }
    EXPECT_GT(distinctBlocks, 10u) << "the picture shows no scene";
}

} // namespace
} // namespace viewertest
