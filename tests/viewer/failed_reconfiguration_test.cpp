// Reconfigurations that cannot make a device: the viewer goes back to the
// last settings that made one, never draws with or releases an object twice,
// keeps running, and gives every object back in the end.
#include <gtest/gtest.h>

#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

bool NoObjectsHeld() {
    const ViewerState& s = viewerState;
    return !s.direct3d && !s.device && !s.vertexBuffer && !s.blackTexture && !s.whiteTexture;
}

TEST_F(ViewerTest, WindowModeThatRefusesTheSampleCountFallsBackToTheLastWorkingSettings) {
    // Multisampling only full screen: 2 samples cannot follow 'w' back into
    // a window.
    UseProfile("msaa-fullscreen-only");
    ApplyConfiguration();
    Type("wq");
    ASSERT_FALSE(viewerState.windowed);
    ASSERT_EQ(viewerState.sampleCount, 2);

    Type("w");
    EXPECT_FALSE(viewerState.windowed);
    EXPECT_EQ(viewerState.sampleCount, 2);
    EXPECT_EQ(Title(), "Varnek Samples = 2");
    ASSERT_NE(viewerState.device, nullptr);
    ASSERT_NE(viewerState.vertexBuffer, nullptr);
    const D3DSURFACE_DESC desc = BackBufferDesc();
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
    DrawFrame();
    DrawFrame();

    // Lowering the count first makes the window mode reachable.
    Type("aw");
    EXPECT_TRUE(viewerState.windowed);
    EXPECT_EQ(viewerState.sampleCount, 0);
    EXPECT_EQ(BackBufferDesc().Width, 100u);
    EXPECT_EQ(Title(), "Varnek Samples = 0");
}

// Another program's full-screen device, which owns the display while it
// lives.
class DisplayHolder {
public:
    explicit DisplayHolder(HINSTANCE instance) {
        window_ = CreateWindowExA(0, kViewerClassName, "holder", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                  nullptr, nullptr, instance, nullptr);
        direct3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        if (!direct3d_) return;
        D3DPRESENT_PARAMETERS parameters{};
        parameters.BackBufferWidth = 640;
        parameters.BackBufferHeight = 480;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device_);
    }
    ~DisplayHolder() { Let(); }
    DisplayHolder(const DisplayHolder&) = delete;
    DisplayHolder& operator=(const DisplayHolder&) = delete;

    bool Holds() const { return device_ != nullptr; }
    void Let() {
        if (device_) device_->Release();
        if (direct3d_) direct3d_->Release();
        device_ = nullptr;
        direct3d_ = nullptr;
        if (window_) {
            // Its WM_DESTROY posts a quit message meant for nobody here.
            DestroyWindow(window_);
            MSG msg;
            PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    IDirect3D8* direct3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
};

TEST_F(ViewerTest, DisplayHeldByAnotherDeviceKeepsTheViewerInItsWindow) {
    ApplyConfiguration();
    DisplayHolder holder(instance_);
    ASSERT_TRUE(holder.Holds());

    Type("w");
    EXPECT_TRUE(viewerState.windowed);
    ASSERT_NE(viewerState.device, nullptr);
    EXPECT_EQ(BackBufferDesc().Width, 100u);
    EXPECT_EQ(Title(), "Varnek Samples = 0");
    DrawFrame();

    holder.Let();
    Type("w");
    EXPECT_FALSE(viewerState.windowed);
    EXPECT_EQ(BackBufferDesc().Width, 640u);
}

TEST_F(ViewerTest, StartThatCannotMakeADeviceLeavesNothingToDrawWithOrRelease) {
    // Nothing has worked yet, so there is nothing to go back to.
    UseProfile("msaa-fullscreen-only");
    viewerState.sampleCount = 2;
    ApplyConfiguration();
    EXPECT_TRUE(NoObjectsHeld());
    EXPECT_EQ(Title(), "Varnek Samples = 2");

    viewerState.spinX = true;
    DrawFrame();
    EXPECT_EQ(viewerState.angleX, 0.0f);
    ReleaseViewerObjects();
    ReleaseViewerObjects();

    // The sample-count keys still ask the adapter without a device: no
    // windowed count above 2 exists, and 0 below it does.
    MarkTitle();
    Type("q");
    EXPECT_FALSE(Reconfigured());
    EXPECT_EQ(viewerState.sampleCount, 2);
    Type("a");
    EXPECT_EQ(viewerState.sampleCount, 0);
    EXPECT_EQ(Title(), "Varnek Samples = 0");
    ASSERT_NE(viewerState.device, nullptr);
    EXPECT_NE(viewerState.vertexBuffer, nullptr);
}

TEST_F(ViewerTest, FailedModeChangeWithoutEarlierSuccessStaysWithoutADevice) {
    // Neither the requested settings nor earlier ones make a device; 'w' and
    // 'z' go on trying without bringing the viewer down.
    UseProfile("msaa-fullscreen-only");
    viewerState.sampleCount = 2;
    viewerState.windowed = false;
    viewerState.haveWorkingSettings = false;
    Type("w"); // to a window with 2 samples: refused, and nothing to return to
    EXPECT_TRUE(viewerState.windowed);
    EXPECT_TRUE(NoObjectsHeld());
    Type("z");
    EXPECT_TRUE(NoObjectsHeld());
    Type("w"); // full screen accepts 2 samples
    EXPECT_FALSE(viewerState.windowed);
    ASSERT_NE(viewerState.device, nullptr);
    EXPECT_EQ(BackBufferDesc().MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
}

} // namespace
} // namespace viewertest
