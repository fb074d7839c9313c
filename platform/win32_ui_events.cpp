// Translation of SDL's events into window messages.
//
// Keys become WM_KEYDOWN / WM_KEYUP with virtual-key codes; typed text
// becomes one WM_CHAR per character, so the character is the one the
// keyboard layout produced (shift and caps lock included). The close button
// posts WM_CLOSE; a quit request from outside (a signal, the session ending)
// closes every top-level window the same way.
#include <vector>

#include "platform/win32_ui_state.h"

namespace txplatform {
namespace ui {

namespace {

struct KeyMapping {
    SDL_Keycode sdl;
    WPARAM virtualKey;
};

const KeyMapping kKeys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},       {SDLK_RETURN, 0x0D},      {SDLK_KP_ENTER, 0x0D},
    {SDLK_LSHIFT, 0x10},    {SDLK_RSHIFT, 0x10},    {SDLK_LCTRL, 0x11},       {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},      {SDLK_RALT, 0x12},      {SDLK_PAUSE, 0x13},       {SDLK_CAPSLOCK, 0x14},
    {SDLK_ESCAPE, 0x1B},    {SDLK_SPACE, 0x20},     {SDLK_PAGEUP, 0x21},      {SDLK_PAGEDOWN, 0x22},
    {SDLK_END, 0x23},       {SDLK_HOME, 0x24},      {SDLK_LEFT, 0x25},        {SDLK_UP, 0x26},
    {SDLK_RIGHT, 0x27},     {SDLK_DOWN, 0x28},      {SDLK_INSERT, 0x2D},      {SDLK_DELETE, 0x2E},
    {SDLK_KP_0, 0x60},      {SDLK_KP_1, 0x61},      {SDLK_KP_2, 0x62},        {SDLK_KP_3, 0x63},
    {SDLK_KP_4, 0x64},      {SDLK_KP_5, 0x65},      {SDLK_KP_6, 0x66},        {SDLK_KP_7, 0x67},
    {SDLK_KP_8, 0x68},      {SDLK_KP_9, 0x69},      {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},  {SDLK_KP_PERIOD, 0x6E}, {SDLK_KP_DIVIDE, 0x6F},
};

// Virtual-key code of an SDL key, or 0 for keys without one.
WPARAM VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(0x70 + (key - SDLK_F1));
    for (const KeyMapping& mapping : kKeys)
        if (mapping.sdl == key) return mapping.virtualKey;
    return 0;
}

LPARAM KeyFlags(const SDL_KeyboardEvent& key, bool down) {
    uint32_t flags = 1u | ((static_cast<uint32_t>(key.keysym.scancode) & 0xFFu) << 16);
    if (!down)
        flags |= (1u << 30) | (1u << 31);
    else if (key.repeat)
        flags |= 1u << 30;
    return static_cast<LPARAM>(flags);
}

// Splits UTF-8 text into code points; malformed bytes count as one each.
std::vector<uint32_t> CodePoints(const char* text) {
    std::vector<uint32_t> points;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t c = *p;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra) c &= 0x3Fu >> extra;
        ++p;
        for (; extra > 0 && (*p & 0xC0) == 0x80; --extra, ++p)
            c = (c << 6) | (*p & 0x3Fu);
        points.push_back(extra ? 0xFFFDu : c);
    }
    return points;
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
    Window* window = LookupSdlWindow(event.windowID);
    if (!window || window->destroying) return;
    HWND handle = window->handle;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Post(handle, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        // Read the size SDL holds now: a queued event may be older than the
        // last SetWindowPos.
        int width = 0, height = 0;
        SDL_GetWindowSize(window->sdl, &width, &height);
        if (width == window->clientWidth && height == window->clientHeight) break;
        if (window->clientWidth == 0 && width == 1) break; // SDL's stand-in for empty
        if (window->clientHeight == 0 && height == 1) break;
        window->clientWidth = width;
        window->clientHeight = height;
        window->needsPaint = true;
        SendMessageA(handle, WM_SIZE, 0, PackWords(width, height));
        break;
    }
    case SDL_WINDOWEVENT_MOVED: {
        if (window->fullScreen) break;
        int x = 0, y = 0, left, top, right, bottom;
        SDL_GetWindowPosition(window->sdl, &x, &y);
        FrameBorders(*window, &left, &top, &right, &bottom);
        x -= left;
        y -= top;
        if (x == window->x && y == window->y) break;
        window->x = x;
        window->y = y;
        SendMessageA(handle, WM_MOVE, 0, PackWords(x, y));
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        window->needsPaint = true;
        RepaintSdlWindow(*window);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        SendMessageA(handle, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        SendMessageA(handle, WM_KILLFOCUS, 0, 0);
        break;
    default:
        break;
    }
}

void HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        Window* window = LookupSdlWindow(event.key.windowID);
        const WPARAM key = VirtualKey(event.key.keysym.sym);
        if (!window || window->destroying || !key) break;
        const bool down = event.type == SDL_KEYDOWN;
        Post(window->handle, down ? WM_KEYDOWN : WM_KEYUP, key, KeyFlags(event.key, down));
        break;
    }
    case SDL_TEXTINPUT: {
        Window* window = LookupSdlWindow(event.text.windowID);
        if (!window || window->destroying) break;
        // Windows of this layer take single-byte characters: Latin-1 passes
        // through, anything beyond it arrives as '?'.
        for (uint32_t c : CodePoints(event.text.text))
            Post(window->handle, WM_CHAR, c <= 0xFFu ? c : static_cast<WPARAM>('?'), 1);
        break;
    }
    case SDL_WINDOWEVENT:
        HandleWindowEvent(event.window);
        break;
    case SDL_QUIT: {
        for (auto& entry : State().windows)
            if (!entry.second->parent && !entry.second->destroying)
                Post(entry.second->handle, WM_CLOSE, 0, 0);
        break;
    }
    default:
        break;
    }
}

} // namespace

void PumpSdlEvents() {
    if (State().video != VideoStatus::Ready) return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        HandleEvent(event);
}

} // namespace ui
} // namespace txplatform
