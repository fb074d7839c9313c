// The window layer's state and its link to SDL's video subsystem.
#include <algorithm>

#include "platform/win32_ui_state.h"

namespace txplatform {
namespace ui {

namespace {

const uintptr_t kDesktopHandle = 0x10010;

// Used when SDL cannot report a display at all.
const int kFallbackDesktopWidth = 1024;
const int kFallbackDesktopHeight = 768;

bool TryVideoDriver(const char* driver) {
    if (driver) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

} // namespace

UiState::~UiState() {
    for (auto& entry : windows) {
        if (entry.second->sdl) SDL_DestroyWindow(entry.second->sdl);
        entry.second->sdl = nullptr;
    }
    if (ownsVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

UiState& State() {
    static UiState state;
    return state;
}

HWND DesktopHandle() {
    return reinterpret_cast<HWND>(kDesktopHandle);
}

Window* LookupWindow(HWND window) {
    UiState& state = State();
    auto found = state.windows.find(reinterpret_cast<uintptr_t>(window));
    return found == state.windows.end() ? nullptr : found->second.get();
}

Window* LookupSdlWindow(uint32_t sdlWindowId) {
    for (auto& entry : State().windows) {
        Window& window = *entry.second;
        if (window.sdl && SDL_GetWindowID(window.sdl) == sdlWindowId) return &window;
    }
    return nullptr;
}

bool EnsureVideo() {
    UiState& state = State();
    if (state.video != VideoStatus::NotTried) return state.video == VideoStatus::Ready;

    // Closing the last window is the program's business (WM_CLOSE), not a
    // request to quit the whole application.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");

    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        state.video = VideoStatus::Ready;
        return true;
    }
    // A program started without a display still gets working windows: they
    // keep their sizes, titles and pictures in memory.
    const bool ready =
        TryVideoDriver(nullptr) || TryVideoDriver("offscreen") || TryVideoDriver("dummy");
    state.video = ready ? VideoStatus::Ready : VideoStatus::Unavailable;
    state.ownsVideo = ready;
    return ready;
}

void DesktopSize(int* width, int* height) {
    SDL_Rect bounds;
    if (EnsureVideo() && SDL_GetDisplayBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
        *width = bounds.w;
        *height = bounds.h;
        return;
    }
    *width = kFallbackDesktopWidth;
    *height = kFallbackDesktopHeight;
}

void FrameBorders(const Window& window, int* left, int* top, int* right, int* bottom) {
    *left = *top = *right = *bottom = 0;
    if (!window.sdl || window.fullScreen) return;
    int t = 0, l = 0, b = 0, r = 0;
    if (SDL_GetWindowBordersSize(window.sdl, &t, &l, &b, &r) == 0) {
        *left = l;
        *top = t;
        *right = r;
        *bottom = b;
    }
}

void SyncSdlGeometry(Window& window) {
    if (!window.sdl || window.fullScreen) return;
    int left, top, right, bottom;
    FrameBorders(window, &left, &top, &right, &bottom);
    // SDL cannot make an empty window; the record keeps the true size.
    SDL_SetWindowSize(window.sdl, std::max(1, window.clientWidth),
                      std::max(1, window.clientHeight));
    SDL_SetWindowPosition(window.sdl, window.x + left, window.y + top);
}

void RepaintSdlWindow(Window& window) {
    if (!window.sdl || !window.visible) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window.sdl);
    if (!surface) return;
    if (window.image.empty()) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    } else if (surface->w == window.imageWidth && surface->h == window.imageHeight) {
        SDL_ConvertPixels(window.imageWidth, window.imageHeight, SDL_PIXELFORMAT_ARGB8888,
                          window.image.data(), window.imageWidth * 4, surface->format->format,
                          surface->pixels, surface->pitch);
    } else {
        // The window manager gave the window another size than asked: show
        // the picture stretched rather than cropped.
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
            window.image.data(), window.imageWidth, window.imageHeight, 32, window.imageWidth * 4,
            SDL_PIXELFORMAT_ARGB8888);
        if (picture) {
            SDL_BlitScaled(picture, nullptr, surface, nullptr);
            SDL_FreeSurface(picture);
        }
    }
    SDL_UpdateWindowSurface(window.sdl);
}

} // namespace ui
} // namespace txplatform
