// The angle rule and what a frame sets on the device: the spinning angles,
// the transforms that turn and view the scene, and the shading source.
#include <gtest/gtest.h>

#include <cmath>

#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

struct StepCase {
    float start;
    int direction;
    float expected;
};

TEST(StepAngleTest, StepsByOneTenthAndWrapsOntoTheOppositeLimit) {
    const StepCase cases[] = {
        {0.0f, +1, 0.1f},    {0.0f, -1, -0.1f},
        {-3.1f, -1, 3.14f},                      // about -3.2: past the lower limit
        {3.14f, +1, -3.14f},                     // about 3.24: past the upper limit
        {-3.14f, -1, 3.14f}, {3.1f, +1, -3.14f}, // the excess is not carried over
        {3.0f, +1, 3.1f},                        // inside the limits nothing wraps
        {-3.0f, -1, -3.1f},
    };
    for (const StepCase& c : cases) {
        float angle = c.start;
        StepAngle(&angle, c.direction);
        EXPECT_EQ(angle, c.expected) << "from " << c.start << " by " << c.direction;
    }
}

TEST(StepAngleTest, ARepeatedStepClimbsToAbout3Point1AndWrapsOnTheThirtySecond) {
    float angle = 0.0f;
    for (int i = 0; i < 31; ++i)
        StepAngle(&angle, +1);
    EXPECT_NEAR(angle, 3.1f, 1e-5f);
    StepAngle(&angle, +1);
    EXPECT_EQ(angle, -3.14f);
    StepAngle(&angle, +1);
    EXPECT_NEAR(angle, -3.04f, 1e-5f);
}

TEST_F(ViewerTest, EachFrameAdvancesTheSpinningAngles) {
    ApplyConfiguration();
    // Initially only Y spins: 31 frames to about 3.1, the 32nd wraps.
    for (int frame = 0; frame < 31; ++frame)
        DrawFrame();
    EXPECT_NEAR(viewerState.angleY, 3.1f, 1e-5f);
    EXPECT_EQ(viewerState.angleX, 0.0f);
    EXPECT_EQ(viewerState.angleZ, 0.0f);
    DrawFrame();
    EXPECT_EQ(viewerState.angleY, -3.14f);

    viewerState.spinX = viewerState.spinZ = true;
    viewerState.angleX = viewerState.angleY = viewerState.angleZ = 0.0f;
    for (int frame = 0; frame < 3; ++frame)
        DrawFrame();
    EXPECT_NEAR(viewerState.angleX, 0.3f, 1e-6f);
    EXPECT_EQ(viewerState.angleY, viewerState.angleX);
    EXPECT_EQ(viewerState.angleZ, viewerState.angleX);
}

// Row vector times matrix, the convention of the device's transforms.
void Transform(const D3DMATRIX& m, const double in[3], double out[3]) {
    for (int c = 0; c < 3; ++c)
        out[c] = in[0] * m.m[0][c] + in[1] * m.m[1][c] + in[2] * m.m[2][c] + m.m[3][c];
}

TEST_F(ViewerTest, WorldTurnsAboutXThenYThenZ) {
    ApplyConfiguration();
    viewerState.spinY = false;
    const double a = 0.7, b = -1.2, c = 2.3;
    viewerState.angleX = static_cast<float>(a);
    viewerState.angleY = static_cast<float>(b);
    viewerState.angleZ = static_cast<float>(c);
    DrawFrame();
    D3DMATRIX world{};
    ASSERT_EQ(viewerState.device->GetTransform(D3DTS_WORLD, &world), D3D_OK);

    // The apex (0, 1, 0) turned about X by a goes to (0, cos a, sin a); about
    // Y by b then to (sin a sin b, cos a, sin a cos b); about Z by c last.
    const double x1 = std::sin(a) * std::sin(b), y1 = std::cos(a), z1 = std::sin(a) * std::cos(b);
    const double expected[3] = {x1 * std::cos(c) - y1 * std::sin(c),
                                x1 * std::sin(c) + y1 * std::cos(c), z1};
    const double apex[3] = {0.0, 1.0, 0.0};
    double turned[3];
    Transform(world, apex, turned);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(turned[i], expected[i], 1e-5) << "component " << i;
}

TEST_F(ViewerTest, CameraLooksFromAboveAndBehindWithASquareQuarterPiView) {
    viewerState.magnify = false; // a 400 by 400 back buffer changes nothing
    ApplyConfiguration();
    DrawFrame();
    D3DMATRIX view{}, projection{};
    ASSERT_EQ(viewerState.device->GetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(viewerState.device->GetTransform(D3DTS_PROJECTION, &projection), D3D_OK);

    // Eye (0, 3, -5) looking at the origin: the view direction is
    // (0, -0.514496, 0.857493) and the eye lies 5.830952 away.
    EXPECT_NEAR(view.m[1][2], -0.514496f, 1e-5f);
    EXPECT_NEAR(view.m[2][2], 0.857493f, 1e-5f);
    EXPECT_NEAR(view.m[3][2], 5.830952f, 1e-5f);
    EXPECT_NEAR(view.m[0][0], 1.0f, 1e-6f);
    // Vertical field pi / 4, aspect 1, near 1, far 100.
    EXPECT_NEAR(projection.m[0][0], 2.414214f, 1e-5f);
    EXPECT_NEAR(projection.m[1][1], 2.414214f, 1e-5f);
    EXPECT_NEAR(projection.m[2][2], 1.010101f, 1e-5f);
    EXPECT_NEAR(projection.m[3][2], -1.010101f, 1e-5f);
    EXPECT_EQ(projection.m[2][3], 1.0f);
}

TEST_F(ViewerTest, StageZeroTakesEitherVertexOrTextureColour) {
    ApplyConfiguration();
    IDirect3DDevice8* device = viewerState.device;
    for (bool textureColour : {false, true}) {
        viewerState.textureColour = textureColour;
        DrawFrame();
        DWORD op = 0, arg1 = 0, arg2 = 0, alphaOp = 0;
        device->GetTextureStageState(0, D3DTSS_COLOROP, &op);
        device->GetTextureStageState(0, D3DTSS_COLORARG1, &arg1);
        device->GetTextureStageState(0, D3DTSS_COLORARG2, &arg2);
        device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
        EXPECT_EQ(op, textureColour ? DWORD(D3DTOP_SELECTARG1) : DWORD(D3DTOP_SELECTARG2));
        EXPECT_EQ(arg1, D3DTA_TEXTURE);
        EXPECT_EQ(arg2, D3DTA_DIFFUSE);
        EXPECT_EQ(alphaOp, DWORD(D3DTOP_DISABLE));
    }
}

TEST_F(ViewerTest, FrameWithoutADeviceChangesNothing) {
    // No ApplyConfiguration: nothing to draw with, and the angles wait.
    DrawFrame();
    EXPECT_EQ(viewerState.angleY, 0.0f);
}

} // namespace
} // namespace viewertest
