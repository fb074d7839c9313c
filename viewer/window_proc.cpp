#include "viewer/window_proc.h"

#include "viewer/key_commands.h"

LRESULT ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CHAR:
        RunKeyCommand(wParam);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
