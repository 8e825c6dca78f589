/* Paints the root window with a pattern in which neighbouring pixels differ, so that tests can
 * tell exactly which part of the screen a capture copied: pixel (x, y) is
 * red (x * 7) & 255, green (y * 5) & 255, blue ((x + y) * 3) & 255. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdint.h>
#include <stdlib.h>

int main(void) {
    Display* d = XOpenDisplay(NULL);
    if (!d) return 1;
    const int screen = DefaultScreen(d);
    const int w = DisplayWidth(d, screen), h = DisplayHeight(d, screen);
    if (DefaultDepth(d, screen) < 24) return 1;
    uint32_t* pixels = malloc((size_t)w * (size_t)h * 4);
    if (!pixels) return 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[(size_t)y * (size_t)w + (size_t)x] = (uint32_t)((x * 7) & 255) << 16 |
                                                        (uint32_t)((y * 5) & 255) << 8 |
                                                        (uint32_t)(((x + y) * 3) & 255);
    XImage* image = XCreateImage(d, DefaultVisual(d, screen), (unsigned)DefaultDepth(d, screen),
                                 ZPixmap, 0, (char*)pixels, (unsigned)w, (unsigned)h, 32, 0);
    Window root = RootWindow(d, screen);
    Pixmap pixmap =
        XCreatePixmap(d, root, (unsigned)w, (unsigned)h, (unsigned)DefaultDepth(d, screen));
    XPutImage(d, pixmap, DefaultGC(d, screen), image, 0, 0, 0, 0, (unsigned)w, (unsigned)h);
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XClearWindow(d, root);
    /* The pixmap must outlive this client. */
    XSetCloseDownMode(d, RetainPermanent);
    XSync(d, False);
    XDestroyImage(image);
    XCloseDisplay(d);
    return 0;
}
