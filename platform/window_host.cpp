// Presentation services of the window layer for the runtime.
#include "platform/window_host.h"

#include <algorithm>
#include <cstring>

#include "platform/win32_ui_state.h"

namespace txplatform {

using ui::LookupWindow;
using ui::Window;

bool ShowWindowImage(HWND handle, const uint32_t* pixels, int width, int height,
                     size_t rowPitchBytes) {
    Window* window = LookupWindow(handle);
    if (!window || !pixels || width <= 0 || height <= 0) return false;
    window->image.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    const unsigned char* source = reinterpret_cast<const unsigned char*>(pixels);
    for (int y = 0; y < height; ++y)
        std::memcpy(&window->image[static_cast<size_t>(y) * static_cast<size_t>(width)],
                    source + static_cast<size_t>(y) * rowPitchBytes,
                    static_cast<size_t>(width) * 4);
    window->imageWidth = width;
    window->imageHeight = height;
    window->needsPaint = false;
    ui::RepaintSdlWindow(*window);
    return true;
}

bool ReadWindowImage(HWND handle, std::vector<uint32_t>* pixels, int* width, int* height) {
    Window* window = LookupWindow(handle);
    if (!window || !pixels || !width || !height) return false;
    *pixels = window->image;
    *width = window->imageWidth;
    *height = window->imageHeight;
    return true;
}

bool WindowClientOrigin(HWND handle, POINT* origin) {
    Window* window = LookupWindow(handle);
    if (!window || !origin) return false;
    int left, top, right, bottom;
    ui::FrameBorders(*window, &left, &top, &right, &bottom);
    origin->x = window->x + left;
    origin->y = window->y + top;
    return true;
}

bool EnterFullScreen(HWND handle) {
    Window* window = LookupWindow(handle);
    if (!window) return false;
    if (window->fullScreen) return true;
    window->savedX = window->x;
    window->savedY = window->y;
    window->savedWidth = window->clientWidth;
    window->savedHeight = window->clientHeight;
    int width, height;
    ui::DesktopSize(&width, &height);
    window->fullScreen = true;
    window->x = 0;
    window->y = 0;
    window->clientWidth = width;
    window->clientHeight = height;
    window->needsPaint = true;
    if (window->sdl) SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SendMessageA(handle, WM_SIZE, 0, ui::PackWords(width, height));
    return true;
}

bool LeaveFullScreen(HWND handle) {
    Window* window = LookupWindow(handle);
    if (!window) return false;
    if (!window->fullScreen) return true;
    window->fullScreen = false;
    window->x = window->savedX;
    window->y = window->savedY;
    window->clientWidth = window->savedWidth;
    window->clientHeight = window->savedHeight;
    window->needsPaint = true;
    if (window->sdl) SDL_SetWindowFullscreen(window->sdl, 0);
    ui::SyncSdlGeometry(*window);
    ui::RepaintSdlWindow(*window);
    SendMessageA(handle, WM_SIZE, 0, ui::PackWords(window->savedWidth, window->savedHeight));
    return true;
}

bool IsFullScreen(HWND handle) {
    Window* window = LookupWindow(handle);
    return window && window->fullScreen;
}

bool HasRealDisplay() {
    // Asking must not start the video subsystem: programs without windows
    // (tools, off-screen devices) stay away from the display.
    if (ui::State().video != ui::VideoStatus::Ready) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool DisplaySize(int* width, int* height) {
    if (!width || !height || !HasRealDisplay()) return false;
    ui::DesktopSize(width, height);
    return true;
}

void ComposeScreen(uint32_t* pixels, int width, int height, size_t rowPitchBytes) {
    if (!pixels || width <= 0 || height <= 0) return;
    unsigned char* base = reinterpret_cast<unsigned char*>(pixels);
    for (int y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(base + static_cast<size_t>(y) * rowPitchBytes);
        std::fill(row, row + width, 0xFF000000u);
    }
    std::vector<const Window*> shown;
    for (const auto& entry : ui::State().windows)
        if (entry.second->visible && !entry.second->destroying) shown.push_back(entry.second.get());
    std::sort(shown.begin(), shown.end(),
              [](const Window* a, const Window* b) { return a->stackOrder < b->stackOrder; });
    for (const Window* window : shown) {
        POINT origin;
        WindowClientOrigin(window->handle, &origin);
        const int w = window->clientWidth;
        const int h = window->clientHeight;
        const bool hasImage = !window->image.empty();
        for (int y = std::max(0, -origin.y); y < h && origin.y + y < height; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(base + static_cast<size_t>(origin.y + y) *
                                                                   rowPitchBytes);
            // A picture of another size than the client area is stretched,
            // as on the screen.
            const int sy = hasImage ? static_cast<int>(static_cast<int64_t>(y) *
                                                       window->imageHeight / std::max(1, h))
                                    : 0;
            for (int x = std::max(0, -origin.x); x < w && origin.x + x < width; ++x) {
                uint32_t colour = 0xFF000000u;
                if (hasImage) {
                    const int sx =
                        static_cast<int>(static_cast<int64_t>(x) * window->imageWidth / w);
                    colour = window->image[static_cast<size_t>(sy) *
                                               static_cast<size_t>(window->imageWidth) +
                                           static_cast<size_t>(sx)];
                }
                row[origin.x + x] = colour | 0xFF000000u;
            }
        }
    }
}

uint32_t SdlWindowId(HWND handle) {
    Window* window = LookupWindow(handle);
    return window && window->sdl ? SDL_GetWindowID(window->sdl) : 0;
}

} // namespace txplatform
