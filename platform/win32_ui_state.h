// Internal records of the window layer: window classes, windows and the
// message queue, shared by the public window functions, the SDL event
// translation and the services the runtime uses to present into windows.
// One thread owns all of it.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32_ui.h"

namespace txplatform {
namespace ui {

struct WindowClass {
    std::string name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
    int liveWindows = 0;
};

struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;
    std::string classKey; // key into UiState::classes
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string title;
    // Top-left corner of the outer frame and size of the client area, in
    // screen pixels. The client area starts after the frame's borders.
    int x = 0;
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    bool needsPaint = true;
    bool destroying = false;
    uint64_t stackOrder = 0; // higher is nearer the viewer
    SDL_Window* sdl = nullptr;

    // Last picture shown in the client area (A8R8G8B8, rows packed), kept so
    // that exposed windows repaint and the screen can be composed without a
    // display.
    std::vector<uint32_t> image;
    int imageWidth = 0;
    int imageHeight = 0;

    // Frame position and client size to return to when full screen ends.
    bool fullScreen = false;
    int savedX = 0, savedY = 0, savedWidth = 0, savedHeight = 0;
};

enum class VideoStatus { NotTried, Ready, Unavailable };

struct UiState {
    std::map<std::string, WindowClass> classes; // keyed by lower-case name
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::deque<MSG> queue;
    bool quitPending = false;
    int quitCode = 0;
    uintptr_t nextHandle = 0x20004;
    ATOM nextAtom = 0xC001;
    uint64_t nextStackOrder = 1;
    VideoStatus video = VideoStatus::NotTried;
    bool ownsVideo = false; // we initialised SDL's video subsystem

    ~UiState();
};

UiState& State();

// The desktop window: always valid, never destroyed.
HWND DesktopHandle();

// The live window behind a handle, or null (the desktop has no record).
Window* LookupWindow(HWND window);
Window* LookupSdlWindow(uint32_t sdlWindowId);

// Starts SDL's video subsystem on first use. Without a display SDL is told to
// use its off-screen driver, then its dummy driver; when even that fails the
// windows live on without an on-screen counterpart.
bool EnsureVideo();

// Size of the desktop in screen pixels.
void DesktopSize(int* width, int* height);

// Borders SDL reports for a window's frame (zero when it cannot tell).
void FrameBorders(const Window& window, int* left, int* top, int* right, int* bottom);

// Moves and sizes the on-screen window to match the record.
void SyncSdlGeometry(Window& window);

// Copies the window's kept picture onto its on-screen surface.
void RepaintSdlWindow(Window& window);

// Turns the SDL events that have arrived into queued or sent messages.
void PumpSdlEvents();

// Two 16-bit words in one message parameter, as WM_SIZE and WM_MOVE carry a
// size or a position: `low` in bits 0-15, `high` in bits 16-31.
inline LPARAM PackWords(int low, int high) {
    return static_cast<LPARAM>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<uint32_t>(low & 0xFFFF));
}

// Appends a message to the queue.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace ui
} // namespace txplatform
