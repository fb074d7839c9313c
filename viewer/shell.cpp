#include "viewer/shell.h"

#include "platform/win32_system.h"
#include "viewer/configuration.h"
#include "viewer/frame.h"
#include "viewer/viewer_state.h"
#include "viewer/window_proc.h"

const char kViewerClassName[] = "D3D Tutorial";

namespace {

// The class record's size on the platform the interface comes from.
const UINT kClassRecordSize = 48;
const int kWindowX = 100;
const int kWindowY = 100;
const int kInitialSize = 100;

void Dispatch(const MSG& msg) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

} // namespace

HWND OpenViewerWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = kClassRecordSize;
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = ViewerWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kViewerClassName;
    RegisterClassExA(&windowClass);

    viewerState.window =
        CreateWindowExA(0, kViewerClassName, "Varnek", WS_OVERLAPPEDWINDOW, kWindowX, kWindowY,
                        kInitialSize, kInitialSize, GetDesktopWindow(), nullptr, instance, nullptr);
    return viewerState.window;
}

int RunMessageLoop() {
    MSG msg{};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            Dispatch(msg);
        } else if (viewerState.device) {
            DrawFrame();
        } else {
            // Nothing to draw with after a failed reconfiguration: wait for
            // the next command instead of spinning.
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
            Dispatch(msg);
        }
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void CloseViewer(HINSTANCE instance) {
    ReleaseViewerObjects();
    UnregisterClassA(kViewerClassName, instance);
}

int ViewerMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    OpenViewerWindow(instance);
    ApplyConfiguration();
    ShowWindow(viewerState.window, SW_SHOWDEFAULT);
    UpdateWindow(viewerState.window);
    RunMessageLoop();
    CloseViewer(instance);
    return 0;
}
