// Drives the viewer in-process on the window layer without a display: a
// fresh viewer record and window per test, keys posted as WM_CHAR and
// dispatched the way the message loop does, and a check that every runtime
// object is given back when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/direct3d8.h"
#include "platform/runtime_control.h"
#include "platform/win32_system.h"
#include "platform/win32_ui.h"
#include "support/test_support.h"
#include "viewer/configuration.h"
#include "viewer/shell.h"
#include "viewer/viewer_state.h"

namespace viewertest {

// The fields of the record that the keys change, for comparing whole states.
struct ViewSnapshot {
    float angleX, angleY, angleZ;
    bool spinX, spinY, spinZ, swapDrawOrder, textureColour, windowed, magnify;
    int sampleCount;

    static ViewSnapshot Take() {
        const ViewerState& s = viewerState;
        return {s.angleX,        s.angleY,        s.angleZ,   s.spinX,   s.spinY,      s.spinZ,
                s.swapDrawOrder, s.textureColour, s.windowed, s.magnify, s.sampleCount};
    }
    bool operator==(const ViewSnapshot& o) const {
        return angleX == o.angleX && angleY == o.angleY && angleZ == o.angleZ && spinX == o.spinX &&
               spinY == o.spinY && spinZ == o.spinZ && swapDrawOrder == o.swapDrawOrder &&
               textureColour == o.textureColour && windowed == o.windowed && magnify == o.magnify &&
               sampleCount == o.sampleCount;
    }
};

inline std::ostream& operator<<(std::ostream& out, const ViewSnapshot& v) {
    return out << "{angles " << v.angleX << ", " << v.angleY << ", " << v.angleZ << "; spin "
               << v.spinX << v.spinY << v.spinZ << "; order " << v.swapDrawOrder << "; texture "
               << v.textureColour << "; windowed " << v.windowed << "; magnify " << v.magnify
               << "; samples " << v.sampleCount << "}";
}

// The viewer's working folder in the source tree, with its scene bitmaps.
inline std::string ViewerDataDir() {
    // The test data folder is <source>/tests/data, which need not exist.
    const std::filesystem::path source =
        std::filesystem::path(TX_TEST_DATA_DIR).parent_path().parent_path();
    return (source / "viewer" / "data").string();
}

// Copies the scene bitmaps "Black.bmp" and "White.bmp" into `folder`.
inline bool CopySceneBitmaps(const std::string& folder) {
    for (const char* name : {"Black.bmp", "White.bmp"}) {
        const std::vector<unsigned char> bytes =
            txtest::ReadFileBytes(ViewerDataDir() + "/" + name);
        if (bytes.empty() || !txtest::WriteFileBytes(folder + "/" + name, bytes)) return false;
    }
    return true;
}

class ViewerTest : public txtest::LiveObjectTest {
protected:
    void SetUp() override {
        LiveObjectTest::SetUp();
        // The viewer reads its bitmaps from, and writes its screenshots to,
        // the working folder: each test has a fresh one of its own.
        char previous[PATH_MAX];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        previousDir_ = previous;
        ASSERT_TRUE(CopySceneBitmaps(workDir_.path()));
        ASSERT_EQ(chdir(workDir_.path().c_str()), 0);
        viewerState = ViewerState{};
        ASSERT_TRUE(txplatform::SelectAdapterProfile("default"));
        instance_ = GetModuleHandleA(nullptr);
        ASSERT_NE(OpenViewerWindow(instance_), nullptr);
    }

    void TearDown() override {
        ReleaseViewerObjects();
        if (IsWindow(viewerState.window)) DestroyWindow(viewerState.window);
        // Take whatever is left, the WM_QUIT of the destroyed window included,
        // so that the next test starts with an empty queue.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(kViewerClassName, instance_);
        txplatform::SelectAdapterProfile("default");
        if (!previousDir_.empty()) {
            EXPECT_EQ(chdir(previousDir_.c_str()), 0);
        }
        LiveObjectTest::TearDown();
    }

    static void UseProfile(const char* name) {
        ASSERT_TRUE(txplatform::SelectAdapterProfile(name));
    }

    // Posts each character as WM_CHAR and dispatches until the queue is
    // empty; no frame is drawn in between.
    static void Type(const std::string& keys) {
        for (char c : keys)
            PostMessageA(viewerState.window, WM_CHAR, static_cast<unsigned char>(c), 1);
        Pump();
    }

    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    static std::string Title() {
        char text[256] = {};
        GetWindowTextA(viewerState.window, text, sizeof text);
        return text;
    }

    // Every reconfiguration writes the title first; a title set here that
    // survives a command shows that the command did not reconfigure.
    static void MarkTitle() { SetWindowTextA(viewerState.window, "untouched"); }
    static bool Reconfigured() { return Title() != "untouched"; }

    static SIZE ClientSize() {
        RECT r{};
        GetClientRect(viewerState.window, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }

    // Description of the device's back buffer; Width 0 without a device.
    static D3DSURFACE_DESC BackBufferDesc() {
        D3DSURFACE_DESC desc{};
        if (!viewerState.device) return desc;
        IDirect3DSurface8* surface = nullptr;
        if (FAILED(viewerState.device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface)))
            return desc;
        surface->GetDesc(&desc);
        surface->Release();
        return desc;
    }

    // The display mode the device shows: its own 640 by 480 mode full screen,
    // the desktop's windowed; Width 0 without a device.
    static D3DDISPLAYMODE DeviceDisplayMode() {
        D3DDISPLAYMODE mode{};
        if (viewerState.device) viewerState.device->GetDisplayMode(&mode);
        return mode;
    }

    HINSTANCE instance_ = nullptr;
    txtest::TempDir workDir_;
    std::string previousDir_;
};

} // namespace viewertest
