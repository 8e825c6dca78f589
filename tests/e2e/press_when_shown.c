/* Presses keys the moment a window of a given class becomes viewable, as a quick user (or a
 * script) would at the first sight of a program: no process start or polling interval lies
 * between the window showing and the press.
 *   press_when_shown CLASS KEYSYM...
 * Prints "ready" once it watches, then "pressed" after pressing the keys in order and
 * releasing them in reverse, and ends. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>

enum { kMaxWindows = 1024, kMaxKeys = 8 };

static int HasClass(Display* d, Window w, const char* wanted) {
    XClassHint hint = {NULL, NULL};
    if (!XGetClassHint(d, w, &hint)) return 0;
    const int match = hint.res_class && strcmp(hint.res_class, wanted) == 0;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return match;
}

static int Viewable(Display* d, Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

static int Quiet(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e; /* windows come and go while we look at them */
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3 || argc - 2 > kMaxKeys) return 2;
    Display* d = XOpenDisplay(NULL);
    if (!d) return 1;
    int ev, err, major, minor;
    if (!XTestQueryExtension(d, &ev, &err, &major, &minor)) return 1;
    KeyCode keys[kMaxKeys];
    const int keyCount = argc - 2;
    for (int i = 0; i < keyCount; ++i) {
        keys[i] = XKeysymToKeycode(d, XStringToKeysym(argv[i + 2]));
        if (!keys[i]) return 2;
    }
    XSetErrorHandler(Quiet);
    /* Top-level windows are announced on the root; each is then watched for its own map and
     * reparenting (a notification area takes its icon into a window of its own). */
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);
    printf("ready\n");
    fflush(stdout);

    Window seen[kMaxWindows];
    int seenCount = 0;
    for (;;) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == CreateNotify && e.xcreatewindow.parent == root &&
                seenCount < kMaxWindows) {
                seen[seenCount++] = e.xcreatewindow.window;
                XSelectInput(d, e.xcreatewindow.window, StructureNotifyMask);
            }
        }
        for (int i = 0; i < seenCount; ++i) {
            if (!Viewable(d, seen[i]) || !HasClass(d, seen[i], argv[1])) continue;
            for (int k = 0; k < keyCount; ++k) XTestFakeKeyEvent(d, keys[k], True, 0);
            for (int k = keyCount - 1; k >= 0; --k) XTestFakeKeyEvent(d, keys[k], False, 0);
            XSync(d, False);
            printf("pressed\n");
            fflush(stdout);
            XCloseDisplay(d);
            return 0;
        }
        /* A window can become viewable through an ancestor without an event of its own:
         * look again soon even when nothing arrives. */
        struct pollfd fd = {ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, 5);
    }
}
