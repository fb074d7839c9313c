// Windows, classes and the message queue of the window layer, driven the way
// a program with a message loop drives them, without a display.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32_ui.h"
#include "platform/window_host.h"

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;
bool g_quitOnDestroy = false;
bool g_refuseCreate = false;
bool g_keepOpenOnClose = false;
LPVOID g_creationParam = nullptr;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({window, message, wParam, lParam});
    switch (message) {
    case WM_CREATE:
        // The creation record begins with the creation data.
        g_creationParam = *reinterpret_cast<LPVOID*>(lParam);
        return g_refuseCreate ? -1 : 0;
    case WM_CLOSE:
        if (g_keepOpenOnClose) return 0;
        break;
    case WM_DESTROY:
        if (g_quitOnDestroy) PostQuitMessage(7);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char kClassName[] = "Window Test Class";
HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x400000);

WNDCLASSEXA MakeClass(const char* name = kClassName) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = kInstance;
    wc.lpszClassName = name;
    return wc;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen.clear();
        g_quitOnDestroy = g_refuseCreate = g_keepOpenOnClose = false;
        WNDCLASSEXA wc = MakeClass();
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }

    void TearDown() override {
        for (HWND window : windows_)
            if (IsWindow(window)) DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        EXPECT_TRUE(UnregisterClassA(kClassName, kInstance));
    }

    HWND Create(int x, int y, int width, int height, DWORD style = WS_OVERLAPPEDWINDOW,
                HWND parent = nullptr, LPVOID param = nullptr) {
        HWND window =
            CreateWindowExA(0, kClassName, "Start", style, x, y, width, height,
                            parent ? parent : GetDesktopWindow(), nullptr, kInstance, param);
        if (window) windows_.push_back(window);
        return window;
    }

    std::vector<UINT> MessagesFor(HWND window) const {
        std::vector<UINT> messages;
        for (const Seen& seen : g_seen)
            if (seen.window == window) messages.push_back(seen.message);
        return messages;
    }

    // Dispatches everything waiting, as a program's loop does.
    void DispatchAll() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen_ = true;
                quitCode_ = static_cast<int>(msg.wParam);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    std::vector<HWND> windows_;
    bool quitSeen_ = false;
    int quitCode_ = 0;
};

TEST_F(WindowTest, ClassRegistrationRulesAndLifetime) {
    WNDCLASSEXA same = MakeClass("WINDOW test CLASS"); // names compare without case
    EXPECT_EQ(RegisterClassExA(&same), 0);

    struct BadClass {
        const char* what;
        void (*spoil)(WNDCLASSEXA&);
    } const bad[] = {
        {"no procedure", [](WNDCLASSEXA& wc) { wc.lpfnWndProc = nullptr; }},
        {"no name", [](WNDCLASSEXA& wc) { wc.lpszClassName = nullptr; }},
        {"empty name", [](WNDCLASSEXA& wc) { wc.lpszClassName = ""; }},
        {"wrong record size", [](WNDCLASSEXA& wc) { wc.cbSize = 12; }},
    };
    for (const BadClass& c : bad) {
        WNDCLASSEXA wc = MakeClass("Another Class");
        c.spoil(wc);
        EXPECT_EQ(RegisterClassExA(&wc), 0) << c.what;
    }
    EXPECT_EQ(RegisterClassExA(nullptr), 0);

    // The record size of the original 32-bit platform is accepted too.
    WNDCLASSEXA legacy = MakeClass("Legacy Sized Class");
    legacy.cbSize = 48;
    const ATOM atom = RegisterClassExA(&legacy);
    ASSERT_NE(atom, 0);
    // A class can be named by its atom.
    HWND byAtom =
        CreateWindowExA(0, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(atom)), "",
                        WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, kInstance, nullptr);
    ASSERT_NE(byAtom, nullptr);
    EXPECT_FALSE(UnregisterClassA("Legacy Sized Class", kInstance)) << "window still alive";
    EXPECT_TRUE(DestroyWindow(byAtom));
    EXPECT_FALSE(UnregisterClassA("Legacy Sized Class", nullptr)) << "other instance";
    EXPECT_TRUE(UnregisterClassA("legacy sized class", kInstance));
    EXPECT_FALSE(UnregisterClassA("Legacy Sized Class", kInstance));

    EXPECT_EQ(CreateWindowExA(0, "No Such Class", "", 0, 0, 0, 1, 1, nullptr, nullptr, kInstance,
                              nullptr),
              nullptr);
}

TEST_F(WindowTest, CreationSendsCreateSizeAndMoveAndCanBeRefused) {
    int data = 0;
    HWND window = Create(100, 120, 100, 80, WS_OVERLAPPEDWINDOW, nullptr, &data);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(g_creationParam, &data);
    const std::vector<UINT> expected = {WM_CREATE, WM_SIZE, WM_MOVE};
    EXPECT_EQ(MessagesFor(window), expected);
    const Seen& size = g_seen[1];
    EXPECT_EQ(size.lParam & 0xFFFF, 100);
    EXPECT_EQ((size.lParam >> 16) & 0xFFFF, 80);

    g_refuseCreate = true;
    g_seen.clear();
    EXPECT_EQ(Create(0, 0, 10, 10), nullptr);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().message, WM_DESTROY) << "a refused window is destroyed";
    EXPECT_FALSE(IsWindow(g_seen.back().window));
}

TEST_F(WindowTest, SizesAreClientSizesAndSetWindowPosHonoursItsFlags) {
    HWND window = Create(100, 100, 100, 100);
    ASSERT_NE(window, nullptr);
    RECT client{}, frame{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 100);
    ASSERT_TRUE(GetWindowRect(window, &frame));
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 100);
    EXPECT_GE(frame.right - frame.left, 100);
    EXPECT_GE(frame.bottom - frame.top, 100);

    struct Step {
        int x, y, cx, cy;
        UINT flags;
        RECT expectClient;
        POINT expectOrigin;
        bool expectSize, expectMove;
    } const steps[] = {
        {0, 0, 400, 300, SWP_NOZORDER | SWP_NOMOVE, {0, 0, 400, 300}, {100, 100}, true, false},
        {30, 40, 1, 1, SWP_NOZORDER | SWP_NOSIZE, {0, 0, 400, 300}, {30, 40}, false, true},
        {30, 40, 400, 300, SWP_NOZORDER, {0, 0, 400, 300}, {30, 40}, false, false},
        {5, 6, 100, 100, 0, {0, 0, 100, 100}, {5, 6}, true, true},
    };
    for (const Step& s : steps) {
        g_seen.clear();
        EXPECT_TRUE(SetWindowPos(window, nullptr, s.x, s.y, s.cx, s.cy, s.flags));
        ASSERT_TRUE(GetClientRect(window, &client));
        EXPECT_EQ(client.right, s.expectClient.right);
        EXPECT_EQ(client.bottom, s.expectClient.bottom);
        ASSERT_TRUE(GetWindowRect(window, &frame));
        EXPECT_EQ(frame.left, s.expectOrigin.x);
        EXPECT_EQ(frame.top, s.expectOrigin.y);
        const std::vector<UINT> seen = MessagesFor(window);
        const bool sawSize = std::find(seen.begin(), seen.end(), WM_SIZE) != seen.end();
        const bool sawMove = std::find(seen.begin(), seen.end(), WM_MOVE) != seen.end();
        EXPECT_EQ(sawSize, s.expectSize) << s.cx << "x" << s.cy;
        EXPECT_EQ(sawMove, s.expectMove) << s.x << "," << s.y;
    }

    // SDL events about sizes that are already out of date change nothing.
    EXPECT_TRUE(SetWindowPos(window, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(window, nullptr, 0, 0, 400, 400, SWP_NOZORDER | SWP_NOMOVE));
    DispatchAll();
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 400);

    RECT desktop{};
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
    EXPECT_GT(desktop.right, 0);
    EXPECT_GT(desktop.bottom, 0);
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
    EXPECT_FALSE(GetClientRect(window, nullptr));
}

TEST_F(WindowTest, TitlesAreKeptAndCopiedWithinTheBuffer) {
    HWND window = Create(0, 0, 50, 50);
    ASSERT_NE(window, nullptr);
    char buffer[64];
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "Start");

    EXPECT_TRUE(SetWindowTextA(window, "Varnek Samples = 4"));
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 18);
    EXPECT_STREQ(buffer, "Varnek Samples = 4");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(window, buffer, 7), 6);
    EXPECT_STREQ(buffer, "Varnek");
    EXPECT_EQ(buffer[7], 'x') << "nothing written past the buffer";
    EXPECT_EQ(GetWindowTextA(window, buffer, 0), 0);

    EXPECT_TRUE(SetWindowTextA(window, nullptr));
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(WindowTest, PostedMessagesFollowFiltersAndQuitComesLast) {
    HWND first = Create(0, 0, 10, 10);
    HWND second = Create(0, 0, 10, 10);
    ASSERT_TRUE(first && second);
    DispatchAll(); // creation leaves paint requests behind only for shown windows

    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(first, WM_USER + 1, 11, 0));
    ASSERT_TRUE(PostMessageA(second, WM_USER + 2, 22, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 33, 0)); // thread message

    MSG msg;
    // Looking without removing leaves the message in place.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);

    // A window filter skips other windows' messages, a range filter others.
    ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 22u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));

    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(msg.hwnd, first);
    g_seen.clear();
    DispatchMessageA(&msg);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].wParam, 11u);

    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is taken once";

    EXPECT_EQ(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE), FALSE);
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x1234), 0, 0), -1);
}

TEST_F(WindowTest, TypedTextArrivesAsCharactersOfTheLayout) {
    HWND window = Create(0, 0, 100, 100);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    const uint32_t id = txplatform::SdlWindowId(window);
    ASSERT_NE(id, 0u) << "the dummy video driver makes windows";

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = id;
    key.key.state = SDL_PRESSED;
    key.key.keysym.sym = SDLK_q;
    key.key.keysym.scancode = SDL_SCANCODE_Q;
    ASSERT_EQ(SDL_PushEvent(&key), 1);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    text.text.windowID = id;
    std::strcpy(text.text.text, "Q");
    ASSERT_EQ(SDL_PushEvent(&text), 1);
    std::strcpy(text.text.text, "a\xC3\xA9\xE2\x82\xAC"); // a, e-acute, euro sign
    ASSERT_EQ(SDL_PushEvent(&text), 1);
    SDL_Event enter = key;
    enter.key.keysym.sym = SDLK_RETURN;
    enter.key.keysym.scancode = SDL_SCANCODE_RETURN;
    ASSERT_EQ(SDL_PushEvent(&enter), 1);

    g_seen.clear();
    DispatchAll();
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const Seen& seen : g_seen)
        if (seen.message == WM_CHAR || seen.message == WM_KEYDOWN)
            got.emplace_back(seen.message, seen.wParam);
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, 'Q'}, {WM_CHAR, 'Q'},     {WM_CHAR, 'a'},  {WM_CHAR, 0xE9},
        {WM_CHAR, '?'},    {WM_KEYDOWN, 0x0D}, {WM_CHAR, '\r'},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(WindowTest, CloseButtonDestroysTheWindowAndEndsTheLoop) {
    g_quitOnDestroy = true;
    HWND window = Create(100, 100, 100, 100);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);

    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = txplatform::SdlWindowId(window);
    ASSERT_EQ(SDL_PushEvent(&close), 1);

    // The viewer's loop: take messages while there are any, draw otherwise.
    int frames = 0;
    MSG msg{};
    while (msg.message != WM_QUIT && frames < 1000) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            ++frames;
        }
    }
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(IsWindow(window));
    const std::vector<UINT> seen = MessagesFor(window);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], WM_CLOSE);
    EXPECT_EQ(seen.back(), WM_DESTROY);

    // A program may refuse to close.
    g_quitOnDestroy = false;
    g_keepOpenOnClose = true;
    HWND stubborn = Create(0, 0, 10, 10);
    ASSERT_TRUE(PostMessageA(stubborn, WM_CLOSE, 0, 0));
    DispatchAll();
    EXPECT_TRUE(IsWindow(stubborn));
}

TEST_F(WindowTest, DestroyedWindowsTakeTheirMessagesAndOwnedWindowsAlong) {
    HWND owner = Create(0, 0, 10, 10);
    HWND owned = Create(0, 0, 10, 10, WS_OVERLAPPEDWINDOW, owner);
    ASSERT_TRUE(owner && owned);
    ASSERT_TRUE(PostMessageA(owner, WM_USER, 0, 0));
    ASSERT_TRUE(PostMessageA(owned, WM_USER, 0, 0));
    g_seen.clear();
    EXPECT_TRUE(DestroyWindow(owner));
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(MessagesFor(owned), std::vector<UINT>{WM_DESTROY});

    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(owner, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(owner, WM_USER, 0, 0), 0);
    EXPECT_FALSE(SetWindowTextA(owner, "x"));
    EXPECT_FALSE(DestroyWindow(owner));
    RECT rect;
    EXPECT_FALSE(GetClientRect(owner, &rect));
    EXPECT_EQ(Create(0, 0, 10, 10, WS_OVERLAPPEDWINDOW, owner), nullptr) << "dead parent";
}

TEST_F(WindowTest, PaintIsAskedOnceWhenShownAndFromUpdateWindow) {
    HWND window = Create(0, 0, 10, 10);
    ASSERT_NE(window, nullptr);
    DispatchAll();
    EXPECT_TRUE(MessagesFor(window) == (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_MOVE}))
        << "a hidden window is not painted";

    g_seen.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(UpdateWindow(window));
    std::vector<UINT> seen = MessagesFor(window);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT}));

    // Painting does not repeat by itself (a display may expose the window
    // once more, nothing beyond that).
    DispatchAll();
    g_seen.clear();
    DispatchAll();
    seen = MessagesFor(window);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_PAINT), 0);
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
}

TEST_F(WindowTest, ScreenShowsWindowPicturesAtTheirPlaces) {
    HWND back = Create(10, 20, 4, 3);
    HWND front = Create(12, 21, 2, 2);
    ASSERT_TRUE(back && front);
    ShowWindow(back, SW_SHOW);
    ShowWindow(front, SW_SHOW);
    const std::vector<uint32_t> red(12, 0xFFFF0000u);
    // A picture of half the client size is stretched over it.
    const uint32_t blue = 0x000000FFu;
    ASSERT_TRUE(txplatform::ShowWindowImage(back, red.data(), 4, 3, 16));
    ASSERT_TRUE(txplatform::ShowWindowImage(front, &blue, 1, 1, 4));

    std::vector<uint32_t> picture;
    int width = 0, height = 0;
    ASSERT_TRUE(txplatform::ReadWindowImage(back, &picture, &width, &height));
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(picture, red);

    std::vector<uint32_t> screen(32 * 32);
    txplatform::ComposeScreen(screen.data(), 32, 32, 32 * 4);
    POINT origin;
    ASSERT_TRUE(txplatform::WindowClientOrigin(back, &origin));
    const int bx = origin.x, by = origin.y;
    ASSERT_TRUE(txplatform::WindowClientOrigin(front, &origin));
    auto at = [&](int x, int y) { return screen[static_cast<size_t>(y) * 32 + x]; };
    EXPECT_EQ(at(0, 0), 0xFF000000u);
    EXPECT_EQ(at(bx, by), 0xFFFF0000u);
    EXPECT_EQ(at(bx + 3, by), 0xFFFF0000u);
    EXPECT_EQ(at(bx, by + 2), 0xFFFF0000u);
    EXPECT_EQ(at(bx + 4, by), 0xFF000000u);
    EXPECT_EQ(at(origin.x, origin.y), 0xFF0000FFu) << "the front window covers the back one";
    EXPECT_EQ(at(origin.x + 1, origin.y + 1), 0xFF0000FFu);

    ShowWindow(front, SW_HIDE);
    txplatform::ComposeScreen(screen.data(), 32, 32, 32 * 4);
    EXPECT_EQ(at(origin.x, origin.y), 0xFFFF0000u);
}

TEST_F(WindowTest, FullScreenCoversTheDesktopAndGivesThePlaceBack) {
    HWND window = Create(100, 100, 100, 100);
    ASSERT_NE(window, nullptr);
    RECT desktop, client;
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
    ASSERT_TRUE(txplatform::EnterFullScreen(window));
    EXPECT_TRUE(txplatform::IsFullScreen(window));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, desktop.right);
    EXPECT_EQ(client.bottom, desktop.bottom);

    // Sizing while full screen decides where the window returns.
    EXPECT_TRUE(SetWindowPos(window, nullptr, 0, 0, 400, 400, SWP_NOZORDER | SWP_NOMOVE));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, desktop.right);
    ASSERT_TRUE(txplatform::LeaveFullScreen(window));
    EXPECT_FALSE(txplatform::IsFullScreen(window));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 400);
    RECT frame;
    ASSERT_TRUE(GetWindowRect(window, &frame));
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 100);
}

} // namespace
