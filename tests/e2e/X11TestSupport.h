#pragma once

// Helpers of the GoogleTest programs that run against a real X server.

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "imagefile/Picture.h"

// Polls condition until it holds or the time is up; the X server works at its own pace.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// A 32-bit picture's pixel as 0xAARRGGBB.
inline uint32_t PixelAt(const CPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.GetLineArray()[y] + 4 * x, 4);
    return v;
}

// An override-redirect window of one colour, mapped on top exactly where asked; type, when
// given, names its _NET_WM_WINDOW_TYPE.
inline Window MakePatch(Display* d, int x, int y, int w, int h, unsigned long rgb,
                        const char* type = nullptr) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = rgb;
    Window win =
        XCreateWindow(d, DefaultRootWindow(d), x, y, unsigned(w), unsigned(h), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    if (type) {
        Atom t = XInternAtom(d, type, False);
        XChangeProperty(d, win, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&t), 1);
    }
    XMapRaised(d, win);
    XSync(d, False);
    return win;
}
