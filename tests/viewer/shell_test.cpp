// The viewer's process steps: start-up title, the message loop driven by
// posted keys and a close request, and the release at the end.
#include <gtest/gtest.h>

#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

TEST_F(ViewerTest, StartUpTitlesTheWindowWithTheSampleCountBeforeShowingIt) {
    EXPECT_EQ(Title(), "Varnek");
    ApplyConfiguration();
    EXPECT_EQ(Title(), "Varnek Samples = 0");
    ASSERT_NE(viewerState.device, nullptr);
    ASSERT_NE(viewerState.vertexBuffer, nullptr);
}

TEST_F(ViewerTest, CloseRequestEndsTheLoopAndEverythingIsGivenBack) {
    const long liveBefore = txplatform::LiveObjectCount();
    ApplyConfiguration();
    ShowWindow(viewerState.window, SW_SHOWDEFAULT);
    UpdateWindow(viewerState.window);
    for (char key : std::string("qqv"))
        PostMessageA(viewerState.window, WM_CHAR, static_cast<unsigned char>(key), 1);
    PostMessageA(viewerState.window, WM_CLOSE, 0, 0);

    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(viewerState.sampleCount, 3);
    EXPECT_FALSE(viewerState.spinY);
    EXPECT_FALSE(IsWindow(viewerState.window));

    CloseViewer(instance_);
    EXPECT_EQ(txplatform::LiveObjectCount(), liveBefore);
    // The class is gone: it can be registered anew.
    WNDCLASSEXA again{};
    again.cbSize = sizeof again;
    again.lpfnWndProc = DefWindowProcA;
    again.hInstance = instance_;
    again.lpszClassName = kViewerClassName;
    EXPECT_NE(RegisterClassExA(&again), 0);
}

TEST_F(ViewerTest, LoopWithoutADeviceWaitsForCommands) {
    // A start that made no device: the loop waits for keys instead of
    // drawing, and a key that makes a device brings the frames back.
    UseProfile("msaa-fullscreen-only");
    viewerState.sampleCount = 2;
    ApplyConfiguration();
    ASSERT_EQ(viewerState.device, nullptr);
    Type("c");
    PostMessageA(viewerState.window, WM_CHAR, 'a', 1);
    PostMessageA(viewerState.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(viewerState.sampleCount, 0);
    EXPECT_NE(viewerState.device, nullptr);
    CloseViewer(instance_);
}

} // namespace
} // namespace viewertest
