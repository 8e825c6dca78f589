/* Shows a window the way toolkits show an open popup menu (override-redirect, typed as a
 * popup menu) at the geometry given, and keeps it open until standard input closes.
 *   popup_menu X Y WIDTH HEIGHT */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    Display* d = XOpenDisplay(NULL);
    if (!d) return 1;
    XSetWindowAttributes a = {0};
    a.override_redirect = True;
    a.background_pixel = 0x3366CC;
    Window w = XCreateWindow(d, DefaultRootWindow(d), atoi(argv[1]), atoi(argv[2]),
                             (unsigned)atoi(argv[3]), (unsigned)atoi(argv[4]), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, (unsigned char*)&type, 1);
    XMapRaised(d, w);
    XSync(d, False);
    printf("ready %lu\n", (unsigned long)w);
    fflush(stdout);
    while (getchar() != EOF) {
    }
    XCloseDisplay(d);
    return 0;
}
