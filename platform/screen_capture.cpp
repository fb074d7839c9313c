#include "platform/screen_capture.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#if __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#define TX_HAVE_XLIB_HEADERS 1
#endif

namespace txplatform {

#if TX_HAVE_XLIB_HEADERS

namespace {

// The few libX11 entry points the capture needs.
struct Xlib {
    void* library = nullptr;
    Display* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(Display*) = nullptr;
    Window (*defaultRootWindow)(Display*) = nullptr;
    int (*defaultScreen)(Display*) = nullptr;
    int (*displayWidth)(Display*, int) = nullptr;
    int (*displayHeight)(Display*, int) = nullptr;
    XImage* (*getImage)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long,
                        int) = nullptr;
    int (*(*setErrorHandler)(int (*)(Display*, XErrorEvent*)))(Display*, XErrorEvent*) = nullptr;
    int (*sync)(Display*, Bool) = nullptr;

    bool Load() {
        if (library) return true;
        void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (!lib) return false;
        bool ok = true;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            ok = ok && fn;
        };
        get(openDisplay, "XOpenDisplay");
        get(closeDisplay, "XCloseDisplay");
        get(defaultRootWindow, "XDefaultRootWindow");
        get(defaultScreen, "XDefaultScreen");
        get(displayWidth, "XDisplayWidth");
        get(displayHeight, "XDisplayHeight");
        get(getImage, "XGetImage");
        get(setErrorHandler, "XSetErrorHandler");
        get(sync, "XSync");
        if (!ok) {
            dlclose(lib);
            return false;
        }
        library = lib;
        return true;
    }
};

Xlib g_xlib;
bool g_xError = false;

// Xlib's own handler ends the process; a failed capture must only fail.
int NoteError(Display*, XErrorEvent*) {
    g_xError = true;
    return 0;
}

// Bit position and width of a channel mask.
void MaskShape(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (!mask) return;
    while (!(mask & 1ul)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1ul) {
        mask >>= 1;
        ++*bits;
    }
}

uint32_t Channel(unsigned long pixel, int shift, int bits) {
    if (bits == 0) return 0;
    const unsigned long value = (pixel >> shift) & ((1ul << bits) - 1ul);
    return bits >= 8 ? static_cast<uint32_t>(value >> (bits - 8))
                     : static_cast<uint32_t>((value * 255ul) / ((1ul << bits) - 1ul));
}

bool OnX11() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

} // namespace

bool ReadX11Screen(uint32_t* pixels, int width, int height, size_t rowPitchBytes) {
    if (!pixels || width <= 0 || height <= 0 || !OnX11() || !g_xlib.Load()) return false;
    Display* display = g_xlib.openDisplay(nullptr);
    if (!display) return false;
    const int screen = g_xlib.defaultScreen(display);
    const int w = std::min(width, g_xlib.displayWidth(display, screen));
    const int h = std::min(height, g_xlib.displayHeight(display, screen));
    g_xError = false;
    auto previous = g_xlib.setErrorHandler(NoteError);
    XImage* image = w > 0 && h > 0 ? g_xlib.getImage(display, g_xlib.defaultRootWindow(display), 0,
                                                     0, static_cast<unsigned>(w),
                                                     static_cast<unsigned>(h), AllPlanes, ZPixmap)
                                   : nullptr;
    g_xlib.sync(display, False);
    g_xlib.setErrorHandler(previous);
    bool ok = image && !g_xError;
    if (ok) {
        int rs, rb, gs, gb, bs, bb;
        MaskShape(image->red_mask, &rs, &rb);
        MaskShape(image->green_mask, &gs, &gb);
        MaskShape(image->blue_mask, &bs, &bb);
        unsigned char* base = reinterpret_cast<unsigned char*>(pixels);
        for (int y = 0; y < height; ++y) {
            uint32_t* row =
                reinterpret_cast<uint32_t*>(base + static_cast<size_t>(y) * rowPitchBytes);
            for (int x = 0; x < width; ++x) {
                if (x >= w || y >= h) {
                    row[x] = 0xFF000000u;
                    continue;
                }
                const unsigned long p = image->f.get_pixel(image, x, y);
                row[x] = 0xFF000000u | (Channel(p, rs, rb) << 16) | (Channel(p, gs, gb) << 8) |
                         Channel(p, bs, bb);
            }
        }
    }
    if (image) image->f.destroy_image(image);
    g_xlib.closeDisplay(display);
    return ok;
}

#else

bool ReadX11Screen(uint32_t*, int, int, size_t) {
    return false;
}

#endif

} // namespace txplatform
