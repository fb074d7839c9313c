// Win32-style window classes, windows and message queue over SDL2.
//
// The records in win32_ui_state.h are the truth: a window keeps its size,
// title and picture even where SDL has no display, so programs and tests run
// the same with or without a screen. The on-screen SDL window follows the
// record.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/win32_ui_state.h"

using txplatform::ui::DesktopHandle;
using txplatform::ui::LookupWindow;
using txplatform::ui::PackWords;
using txplatform::ui::State;
using txplatform::ui::UiState;
using txplatform::ui::Window;
using txplatform::ui::WindowClass;

namespace {

// The size of the class record on the 32-bit platform the interface comes
// from; programs written for it pass this value.
const UINT kLegacyClassRecordSize = 48;

const int kDefaultX = 64;
const int kDefaultY = 64;
const int kDefaultWidth = 640;
const int kDefaultHeight = 480;

const UINT kSwpHideWindow = 0x0080u;

// Virtual-key codes that TranslateMessage turns into characters itself: SDL
// reports no text for them.
const WPARAM kVkBack = 0x08;
const WPARAM kVkTab = 0x09;
const WPARAM kVkReturn = 0x0D;
const WPARAM kVkEscape = 0x1B;

// What WM_CREATE points at. Its first member is the creation data, as
// programs reading the creation parameter expect.
struct CreationRecord {
    LPVOID param;
    HINSTANCE instance;
    HMENU menu;
    HWND parent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR name;
    LPCSTR className;
    DWORD exStyle;
};

bool IsAtom(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

std::string ClassKey(LPCSTR name) {
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// Finds a class by name or by atom; returns its key or empty.
std::string FindClassKey(LPCSTR name) {
    UiState& state = State();
    if (!name) return {};
    if (IsAtom(name)) {
        const ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (const auto& entry : state.classes)
            if (entry.second.atom == atom) return entry.first;
        return {};
    }
    std::string key = ClassKey(name);
    return state.classes.count(key) ? key : std::string();
}

// Window titles are single-byte text; SDL wants UTF-8.
std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void Raise(Window& window) {
    window.stackOrder = State().nextStackOrder++;
}

bool FilterAccepts(const MSG& msg, HWND filterWindow, UINT filterMin, UINT filterMax) {
    if (filterWindow == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd) return false;
    } else if (filterWindow && msg.hwnd != filterWindow) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

DWORD MessageTime() {
    using namespace std::chrono;
    return static_cast<DWORD>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MessageTime();
    return msg;
}

// Takes the next message that the filter accepts: posted messages first, then
// WM_QUIT, then WM_PAINT for windows that need painting.
bool TakeMessage(MSG* msg, HWND filterWindow, UINT filterMin, UINT filterMax, bool remove) {
    UiState& state = State();
    for (auto it = state.queue.begin(); it != state.queue.end(); ++it) {
        if (!FilterAccepts(*it, filterWindow, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) state.queue.erase(it);
        return true;
    }
    if (state.quitPending) {
        MSG quit = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0);
        if (FilterAccepts(quit, filterWindow, filterMin, filterMax)) {
            *msg = quit;
            if (remove) state.quitPending = false;
            return true;
        }
    }
    for (auto& entry : state.windows) {
        Window& window = *entry.second;
        if (!window.visible || !window.needsPaint || window.destroying) continue;
        MSG paint = MakeMessage(window.handle, WM_PAINT, 0, 0);
        if (!FilterAccepts(paint, filterWindow, filterMin, filterMax)) continue;
        *msg = paint;
        // There is no BeginPaint here to validate the window, so taking the
        // message validates it; otherwise an unhandled WM_PAINT would starve
        // a loop that draws when the queue is idle.
        if (remove) window.needsPaint = false;
        return true;
    }
    return false;
}

bool FilterWindowValid(HWND filterWindow) {
    return !filterWindow || filterWindow == reinterpret_cast<HWND>(-1) ||
           LookupWindow(filterWindow);
}

} // namespace

namespace txplatform {
namespace ui {

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().queue.push_back(MakeMessage(window, message, wParam, lParam));
}

} // namespace ui
} // namespace txplatform

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass) return 0;
    if (windowClass->cbSize != sizeof(WNDCLASSEXA) && windowClass->cbSize != kLegacyClassRecordSize)
        return 0;
    if (!windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IsAtom(windowClass->lpszClassName) || !*windowClass->lpszClassName)
        return 0;
    UiState& state = State();
    const std::string key = ClassKey(windowClass->lpszClassName);
    if (state.classes.count(key)) return 0;
    if (state.nextAtom == 0) return 0; // every atom handed out
    WindowClass record;
    record.name = windowClass->lpszClassName;
    record.proc = windowClass->lpfnWndProc;
    record.style = windowClass->style;
    record.instance = windowClass->hInstance;
    record.atom = state.nextAtom++;
    state.classes[key] = record;
    return record.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    UiState& state = State();
    const std::string key = FindClassKey(className);
    if (key.empty()) return FALSE;
    const WindowClass& record = state.classes[key];
    if (record.instance != instance || record.liveWindows > 0) return FALSE;
    state.classes.erase(key);
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    UiState& state = State();
    const std::string key = FindClassKey(className);
    if (key.empty()) return nullptr;
    if (parent && parent != DesktopHandle() && !LookupWindow(parent)) return nullptr;

    auto window = std::make_unique<Window>();
    window->handle = reinterpret_cast<HWND>(state.nextHandle);
    state.nextHandle += 4;
    window->parent = parent == DesktopHandle() ? nullptr : parent;
    window->classKey = key;
    window->proc = state.classes[key].proc;
    window->style = style;
    window->exStyle = exStyle;
    window->title = windowName ? windowName : "";
    window->x = x == CW_USEDEFAULT ? kDefaultX : x;
    window->y = x == CW_USEDEFAULT ? kDefaultY : y;
    window->clientWidth = width == CW_USEDEFAULT ? kDefaultWidth : std::max(0, width);
    window->clientHeight = width == CW_USEDEFAULT ? kDefaultHeight : std::max(0, height);

    if (txplatform::ui::EnsureVideo()) {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
        if (!(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
        window->sdl = SDL_CreateWindow(Latin1ToUtf8(window->title).c_str(), window->x, window->y,
                                       std::max(1, window->clientWidth),
                                       std::max(1, window->clientHeight), flags);
        // Without an SDL window the record still works; only the screen
        // shows nothing.
    }

    HWND handle = window->handle;
    Raise(*window);
    state.windows[reinterpret_cast<uintptr_t>(handle)] = std::move(window);
    state.classes[key].liveWindows++;

    CreationRecord creation{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    Window* created = LookupWindow(handle);
    if (!created) return nullptr; // destroyed by its own WM_CREATE handler
    SendMessageA(handle, WM_SIZE, 0, PackWords(created->clientWidth, created->clientHeight));
    if ((created = LookupWindow(handle)) != nullptr)
        SendMessageA(handle, WM_MOVE, 0, PackWords(created->x, created->y));
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return LookupWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    UiState& state = State();
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    if (window->destroying) return TRUE;
    window->destroying = true;
    if (window->sdl) SDL_HideWindow(window->sdl);
    window->visible = false;

    SendMessageA(handle, WM_DESTROY, 0, 0);

    // Windows owned by this one go with it.
    std::vector<HWND> owned;
    for (auto& entry : state.windows)
        if (entry.second->parent == handle) owned.push_back(entry.second->handle);
    for (HWND child : owned)
        DestroyWindow(child);

    window = LookupWindow(handle);
    if (!window) return TRUE;
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    auto cls = state.classes.find(window->classKey);
    if (cls != state.classes.end()) cls->second.liveWindows--;
    state.queue.erase(std::remove_if(state.queue.begin(), state.queue.end(),
                                     [handle](const MSG& msg) { return msg.hwnd == handle; }),
                      state.queue.end());
    state.windows.erase(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return window == DesktopHandle() || LookupWindow(window) ? TRUE : FALSE;
}

HWND GetDesktopWindow() {
    return DesktopHandle();
}

BOOL ShowWindow(HWND handle, int command) {
    Window* window = LookupWindow(handle);
    if (!window || window->destroying) return FALSE;
    const bool wasVisible = window->visible;
    const bool show = command != SW_HIDE;
    if (show != wasVisible) {
        SendMessageA(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        window = LookupWindow(handle);
        if (!window) return wasVisible ? TRUE : FALSE;
        window->visible = show;
        if (show) {
            Raise(*window);
            window->needsPaint = true;
            if (window->sdl) {
                txplatform::ui::SyncSdlGeometry(*window);
                SDL_ShowWindow(window->sdl);
            }
            txplatform::ui::RepaintSdlWindow(*window);
        } else if (window->sdl) {
            SDL_HideWindow(window->sdl);
        }
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    if (window->visible && window->needsPaint) {
        window->needsPaint = false;
        SendMessageA(handle, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!msg || !FilterWindowValid(window)) return FALSE;
    txplatform::ui::PumpSdlEvents();
    return TakeMessage(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0) ? TRUE
                                                                                            : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg || !FilterWindowValid(window)) return -1;
    for (;;) {
        txplatform::ui::PumpSdlEvents();
        if (TakeMessage(msg, window, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        // Nothing can arrive but SDL input: wait for it without spinning.
        if (State().video == txplatform::ui::VideoStatus::Ready)
            SDL_WaitEventTimeout(nullptr, 100);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP)) return FALSE;
    if (msg->message == WM_KEYUP) return TRUE;
    // Printable characters come from SDL's text input with the keyboard
    // layout applied; the keys that type control characters are made here,
    // and go to the front of the queue so that they follow their key.
    WPARAM character = 0;
    const WPARAM key = msg->wParam;
    if (key == kVkBack || key == kVkTab || key == kVkReturn || key == kVkEscape) {
        character = key;
    } else if (key >= 'A' && key <= 'Z' && (SDL_GetModState() & KMOD_CTRL) &&
               !(SDL_GetModState() & KMOD_ALT)) {
        character = key - 'A' + 1;
    }
    if (character)
        State().queue.push_front(MakeMessage(msg->hwnd, WM_CHAR, character, msg->lParam));
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_PAINT:
        if (Window* window = LookupWindow(handle)) window->needsPaint = false;
        return 0;
    default:
        return 0;
    }
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = LookupWindow(handle);
    if (!window) return 0;
    // The procedure may destroy the window; keep nothing of the record.
    WNDPROC proc = window->proc;
    return proc(handle, message, wParam, lParam);
}

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (handle) {
        Window* window = LookupWindow(handle);
        if (!window || window->destroying) return FALSE;
    }
    txplatform::ui::Post(handle, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    UiState& state = State();
    state.quitPending = true;
    state.quitCode = exitCode;
}

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    window->title = text ? text : "";
    if (window->sdl) SDL_SetWindowTitle(window->sdl, Latin1ToUtf8(window->title).c_str());
    return TRUE;
}

int GetWindowTextA(HWND handle, LPSTR text, int maxCount) {
    Window* window = LookupWindow(handle);
    if (!window || !text || maxCount <= 0) return 0;
    const size_t length = std::min(window->title.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(text, window->title.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}

BOOL SetWindowPos(HWND handle, HWND, int x, int y, int cx, int cy, UINT flags) {
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    if (window->fullScreen) {
        // The device owns the screen; the window takes this place when it
        // returns to windowed mode.
        if (!(flags & SWP_NOMOVE)) {
            window->savedX = x;
            window->savedY = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            window->savedWidth = std::max(0, cx);
            window->savedHeight = std::max(0, cy);
        }
    } else {
        const bool moved = !(flags & SWP_NOMOVE) && (x != window->x || y != window->y);
        const bool sized = !(flags & SWP_NOSIZE) && (std::max(0, cx) != window->clientWidth ||
                                                     std::max(0, cy) != window->clientHeight);
        if (moved) {
            window->x = x;
            window->y = y;
        }
        if (sized) {
            window->clientWidth = std::max(0, cx);
            window->clientHeight = std::max(0, cy);
            window->needsPaint = true;
        }
        if (moved || sized) {
            txplatform::ui::SyncSdlGeometry(*window);
            txplatform::ui::RepaintSdlWindow(*window);
        }
        if (moved) SendMessageA(handle, WM_MOVE, 0, PackWords(x, y));
        window = LookupWindow(handle);
        if (window && sized)
            SendMessageA(handle, WM_SIZE, 0, PackWords(window->clientWidth, window->clientHeight));
    }
    window = LookupWindow(handle);
    if (!window) return TRUE;
    if (!(flags & SWP_NOZORDER)) Raise(*window);
    if (flags & SWP_SHOWWINDOW) ShowWindow(handle, SW_SHOW);
    if (flags & kSwpHideWindow) ShowWindow(handle, SW_HIDE);
    return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
    if (!rect) return FALSE;
    if (handle == DesktopHandle()) {
        int width, height;
        txplatform::ui::DesktopSize(&width, &height);
        *rect = RECT{0, 0, width, height};
        return TRUE;
    }
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
    if (!rect) return FALSE;
    if (handle == DesktopHandle()) return GetClientRect(handle, rect);
    Window* window = LookupWindow(handle);
    if (!window) return FALSE;
    int left, top, right, bottom;
    txplatform::ui::FrameBorders(*window, &left, &top, &right, &bottom);
    *rect = RECT{window->x, window->y, window->x + left + window->clientWidth + right,
                 window->y + top + window->clientHeight + bottom};
    return TRUE;
}
