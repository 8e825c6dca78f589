/* The hook library over X11.
 *
 * The keyboard watch is a RECORD context on a connection of its own, read by a thread of its
 * own: it sees every key event of the display (RECORD only observes, so the focused
 * application still gets its keys) and matches each release against the hotkey table. The
 * mouse "hook" is an active grab of the pointer on the root window, again on a connection and
 * thread of its own: while it lasts every pointer event of the desktop comes here and none to
 * the application under the cursor. Both forward what they find to the target window as
 * ClientMessage events. */

#define _GNU_SOURCE
#include "TilletHook.h"
#include "VirtualKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

uint32_t ORVM_ForwardKeyboardMessage = 0;
uint32_t ORVM_ForwardMouseMessage = 0;

/* Everything the watches need, in one place; guarded by `lock` against the library's own
 * threads. The two forwarded-message atoms are exported as words of their own. */
typedef struct HookSharedData {
    unsigned long mouseTarget;
    unsigned long keyboardTarget;
    int mouseHook;    /* a mouse watch runs */
    int keyboardHook; /* a keyboard watch runs */
    unsigned long hookCursor;
    int selectionActive;
    uint16_t hotkeys[ORV_HOTKEY_COUNT];
    char mouseMessageName[sizeof "OVM_FORWARD_MOUSEMESSAGE"];
    char keyboardMessageName[sizeof "OVM_FORWARD_KEYBOARDMESSAGE"];
} HookSharedData;

static HookSharedData g_shared = {
    0, 0, 0, 0, 0, 0, {0}, "OVM_FORWARD_MOUSEMESSAGE", "OVM_FORWARD_KEYBOARDMESSAGE"};
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

/* ----------------------------------------------------------------------------------------- */
/* X errors on the library's own connections (a target window that went away) are expected
 * and must not reach the process-wide error handler, which belongs to the program. */

static int SwallowError(Display* dpy, xError* err, XExtCodes* codes, int* ret) {
    (void)dpy;
    (void)err;
    (void)codes;
    *ret = 0;
    return 1;
}

static Display* OpenQuietDisplay(void) {
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) return NULL;
    XExtCodes* codes = XAddExtension(dpy);
    if (codes) XESetError(dpy, codes->extension, SwallowError);
    return dpy;
}

static int WindowExists(Display* dpy, unsigned long window) {
    XWindowAttributes attrs;
    return window != 0 && XGetWindowAttributes(dpy, (Window)window, &attrs) != 0;
}

static void Forward(Display* dpy, unsigned long target, uint32_t atom, long wParam, long lParam) {
    XEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = (Window)target;
    ev.xclient.message_type = atom;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = wParam;
    ev.xclient.data.l[1] = lParam;
    XSendEvent(dpy, (Window)target, False, NoEventMask, &ev);
    XFlush(dpy);
}

__attribute__((constructor)) static void RegisterMessages(void) {
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) return;
    ORVM_ForwardMouseMessage = (uint32_t)XInternAtom(dpy, g_shared.mouseMessageName, False);
    ORVM_ForwardKeyboardMessage = (uint32_t)XInternAtom(dpy, g_shared.keyboardMessageName, False);
    XCloseDisplay(dpy);
}

/* ----------------------------------------------------------------------------------------- */
/* Keyboard watch */

static struct {
    Display* control; /* requests, lookups and forwarding */
    Display* data;    /* RECORD's reply stream, read by the thread */
    XRecordContext context;
    pthread_t thread;
    int wake[2]; /* written to stop the thread */
    /* Key releases read by the last XRecordProcessReplies, matched after it returns. Only
     * the keyboard thread (or the unhook, after the thread has ended) touches them. */
    struct {
        unsigned keycode, state;
    } released[256];
    int releasedCount;
} g_kbd;

static unsigned VirtualKeyOf(Display* dpy, unsigned keycode, unsigned state) {
    KeySym sym = XkbKeycodeToKeysym(dpy, (KeyCode)keycode, 0, 0);
    /* With Num Lock on, the keypad's digits are on the second level. */
    if (state & Mod2Mask) {
        KeySym shifted = XkbKeycodeToKeysym(dpy, (KeyCode)keycode, 0, 1);
        if (IsKeypadKey(shifted)) sym = shifted;
    }
    return OrvVirtualKeyFromKeysym(sym);
}

static void OnKeyRelease(unsigned keycode, unsigned state) {
    pthread_mutex_lock(&g_lock);
    if (!g_shared.keyboardHook || !WindowExists(g_kbd.control, g_shared.keyboardTarget)) {
        pthread_mutex_unlock(&g_lock);
        return;
    }
    const unsigned vk = VirtualKeyOf(g_kbd.control, keycode, state);
    if (vk == 0) {
        pthread_mutex_unlock(&g_lock);
        return;
    }
    const int escapeOrEnter = g_shared.selectionActive && (vk == 0x1B || vk == 0x0D);
    uint16_t word = (uint16_t)(vk & 0xFF);
    if (state & ControlMask) word |= ORV_HOTKEY_CTRL;
    if (state & ShiftMask) word |= ORV_HOTKEY_SHIFT;
    if (state & Mod1Mask) word |= ORV_HOTKEY_ALT;
    long index = -2;
    for (int i = 0; i < ORV_HOTKEY_COUNT; ++i) {
        if (g_shared.hotkeys[i] == word) {
            index = i;
            break;
        }
    }
    if (index == -2 && escapeOrEnter) index = -1;
    if (index != -2)
        Forward(g_kbd.control, g_shared.keyboardTarget, ORVM_ForwardKeyboardMessage, index,
                (long)vk);
    pthread_mutex_unlock(&g_lock);
}

/* Xlib calls this with the data connection locked. Matching takes the library's lock, which
 * the hook and unhook hold while they use the data connection: the release is only noted
 * here and matched once the connection's lock is free again. */
static void OnRecord(XPointer closure, XRecordInterceptData* d) {
    (void)closure;
    if (d->category == XRecordFromServer && d->data_len > 0) {
        const xEvent* ev = (const xEvent*)d->data;
        /* RECORD reports the modifier state as it was before the event. A batch of more
         * releases than fit is beyond any typing; the excess is dropped. */
        if ((ev->u.u.type & 0x7F) == KeyRelease &&
            g_kbd.releasedCount < (int)(sizeof g_kbd.released / sizeof g_kbd.released[0])) {
            g_kbd.released[g_kbd.releasedCount].keycode = ev->u.u.detail;
            g_kbd.released[g_kbd.releasedCount].state = ev->u.keyButtonPointer.state;
            ++g_kbd.releasedCount;
        }
    }
    XRecordFreeData(d);
}

static void* KeyboardThread(void* arg) {
    (void)arg;
    /* The data connection is read here alone; a disabled context does not end a blocking
     * read until the next event, so the thread waits on the wake pipe as well. */
    struct pollfd fds[2] = {{ConnectionNumber(g_kbd.data), POLLIN, 0}, {g_kbd.wake[0], POLLIN, 0}};
    for (;;) {
        XRecordProcessReplies(g_kbd.data);
        for (int i = 0; i < g_kbd.releasedCount; ++i)
            OnKeyRelease(g_kbd.released[i].keycode, g_kbd.released[i].state);
        g_kbd.releasedCount = 0;
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
    }
    return NULL;
}

int ORV_HookKeyboard(unsigned long target, const uint16_t* table) {
    pthread_mutex_lock(&g_lock);
    if (g_shared.keyboardHook) {
        pthread_mutex_unlock(&g_lock);
        return 1;
    }
    int major, minor;
    Display* control = OpenQuietDisplay();
    Display* data = control ? OpenQuietDisplay() : NULL;
    if (!control || !data || !XRecordQueryVersion(control, &major, &minor)) goto fail;

    XRecordRange* range = XRecordAllocRange();
    if (!range) goto fail;
    range->device_events.first = KeyPress;
    range->device_events.last = KeyRelease;
    XRecordClientSpec clients = XRecordAllClients;
    g_kbd.context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    if (!g_kbd.context) goto fail;
    XSync(control, False);
    /* The enable waits for the server's first reply: from then on every key event is
     * recorded, and read by the thread once it runs. */
    if (!XRecordEnableContextAsync(data, g_kbd.context, OnRecord, NULL)) {
        XRecordFreeContext(control, g_kbd.context);
        goto fail;
    }
    if (pipe2(g_kbd.wake, O_CLOEXEC) != 0) {
        XRecordDisableContext(control, g_kbd.context);
        XRecordFreeContext(control, g_kbd.context);
        goto fail;
    }
    g_kbd.control = control;
    g_kbd.data = data;
    g_kbd.releasedCount = 0;

    g_shared.keyboardTarget = target;
    if (table) memcpy(g_shared.hotkeys, table, sizeof g_shared.hotkeys);
    g_shared.keyboardHook = 1;
    if (pthread_create(&g_kbd.thread, NULL, KeyboardThread, NULL) != 0) {
        g_shared.keyboardHook = 0;
        g_shared.keyboardTarget = 0;
        XRecordDisableContext(control, g_kbd.context);
        XRecordFreeContext(control, g_kbd.context);
        close(g_kbd.wake[0]);
        close(g_kbd.wake[1]);
        goto fail;
    }
    pthread_mutex_unlock(&g_lock);
    return 1;

fail:
    if (data) XCloseDisplay(data);
    if (control) XCloseDisplay(control);
    g_kbd.control = g_kbd.data = NULL;
    pthread_mutex_unlock(&g_lock);
    return 0;
}

int ORV_UnHookKeyboard(void) {
    pthread_mutex_lock(&g_lock);
    if (!g_shared.keyboardHook) {
        pthread_mutex_unlock(&g_lock);
        return 0;
    }
    g_shared.keyboardHook = 0;
    g_shared.keyboardTarget = 0;
    const char stop = 1;
    if (write(g_kbd.wake[1], &stop, 1) < 0) { /* the pipe cannot be full: one byte, once */
    }
    pthread_mutex_unlock(&g_lock);
    /* The thread may be waiting for the lock in a callback: join without holding it. */
    pthread_join(g_kbd.thread, NULL);
    pthread_mutex_lock(&g_lock);
    XRecordDisableContext(g_kbd.control, g_kbd.context);
    XRecordFreeContext(g_kbd.control, g_kbd.context);
    XSync(g_kbd.control, False);
    close(g_kbd.wake[0]);
    close(g_kbd.wake[1]);
    XCloseDisplay(g_kbd.data);
    XCloseDisplay(g_kbd.control);
    g_kbd.control = g_kbd.data = NULL;
    pthread_mutex_unlock(&g_lock);
    return 1;
}

int ORV_SetCaptureHotKey(const uint16_t* table) {
    pthread_mutex_lock(&g_lock);
    if (table) memcpy(g_shared.hotkeys, table, sizeof g_shared.hotkeys);
    pthread_mutex_unlock(&g_lock);
    return 1;
}

int ORV_GetCaptureHotKey(uint16_t* table) {
    pthread_mutex_lock(&g_lock);
    if (table) memcpy(table, g_shared.hotkeys, sizeof g_shared.hotkeys);
    pthread_mutex_unlock(&g_lock);
    return 1;
}

/* ----------------------------------------------------------------------------------------- */
/* Mouse watch */

static struct {
    Display* dpy;
    pthread_t thread;
    int wake[2]; /* written to stop the thread */
    /* Double clicks: a second press of the same button, soon and near the first. */
    unsigned lastButton;
    Time lastTime;
    int lastX, lastY;
} g_mouse;

enum { kDoubleClickMs = 500, kDoubleClickSlop = 4 };

static long PackPoint(int x, int y) {
    return (long)(((uint32_t)(y & 0xFFFF) << 16) | (uint32_t)(x & 0xFFFF));
}

static long ButtonMessage(unsigned button, int press, int dbl) {
    switch (button) {
    case Button1:
        return press ? (dbl ? ORV_WM_LBUTTONDBLCLK : ORV_WM_LBUTTONDOWN) : ORV_WM_LBUTTONUP;
    case Button3:
        return press ? (dbl ? ORV_WM_RBUTTONDBLCLK : ORV_WM_RBUTTONDOWN) : ORV_WM_RBUTTONUP;
    case Button2:
        return press ? (dbl ? ORV_WM_MBUTTONDBLCLK : ORV_WM_MBUTTONDOWN) : ORV_WM_MBUTTONUP;
    case Button4:
    case Button5:
        return press ? ORV_WM_MOUSEWHEEL : 0;
    default:
        return 0;
    }
}

static void HandlePointerEvent(const XEvent* ev) {
    long message = 0;
    int x = 0, y = 0;
    switch (ev->type) {
    case MotionNotify:
        message = ORV_WM_MOUSEMOVE;
        x = ev->xmotion.x_root;
        y = ev->xmotion.y_root;
        break;
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent* b = &ev->xbutton;
        x = b->x_root;
        y = b->y_root;
        int dbl = 0;
        if (ev->type == ButtonPress) {
            dbl = b->button == g_mouse.lastButton && b->time - g_mouse.lastTime <= kDoubleClickMs &&
                  abs(x - g_mouse.lastX) <= kDoubleClickSlop &&
                  abs(y - g_mouse.lastY) <= kDoubleClickSlop;
            /* A double click ends the pair: a third press starts a new one. */
            g_mouse.lastButton = dbl ? 0 : b->button;
            g_mouse.lastTime = b->time;
            g_mouse.lastX = x;
            g_mouse.lastY = y;
        }
        message = ButtonMessage(b->button, ev->type == ButtonPress, dbl);
        break;
    }
    default:
        return;
    }
    if (!message) return;
    pthread_mutex_lock(&g_lock);
    if (g_shared.mouseHook && WindowExists(g_mouse.dpy, g_shared.mouseTarget))
        Forward(g_mouse.dpy, g_shared.mouseTarget, ORVM_ForwardMouseMessage, message,
                PackPoint(x, y));
    pthread_mutex_unlock(&g_lock);
}

static void* MouseThread(void* arg) {
    (void)arg;
    struct pollfd fds[2] = {{ConnectionNumber(g_mouse.dpy), POLLIN, 0},
                            {g_mouse.wake[0], POLLIN, 0}};
    for (;;) {
        pthread_mutex_lock(&g_lock);
        while (XPending(g_mouse.dpy)) {
            XEvent ev;
            XNextEvent(g_mouse.dpy, &ev);
            pthread_mutex_unlock(&g_lock);
            HandlePointerEvent(&ev);
            pthread_mutex_lock(&g_lock);
        }
        pthread_mutex_unlock(&g_lock);
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
    }
    return NULL;
}

static int GrabPointer(Display* dpy, unsigned long cursor) {
    const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    /* A popup menu (the tray menu among them) holds its own grab until it has closed. */
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int rc = XGrabPointer(dpy, DefaultRootWindow(dpy), False, mask, GrabModeAsync,
                                    GrabModeAsync, None, (Cursor)cursor, CurrentTime);
        if (rc == GrabSuccess) return 1;
        if (rc != AlreadyGrabbed && rc != GrabFrozen) return 0;
        struct timespec ts = {0, 10 * 1000 * 1000};
        nanosleep(&ts, NULL);
    }
    return 0;
}

int ORV_HookMouse(unsigned long target, unsigned long cursor) {
    pthread_mutex_lock(&g_lock);
    if (g_shared.mouseHook) {
        pthread_mutex_unlock(&g_lock);
        return 1;
    }
    Display* dpy = OpenQuietDisplay();
    if (!dpy) goto fail;
    if (!GrabPointer(dpy, cursor)) goto fail;
    if (pipe2(g_mouse.wake, O_CLOEXEC) != 0) goto fail;
    g_mouse.dpy = dpy;
    g_mouse.lastButton = 0;
    g_shared.selectionActive = 1;
    g_shared.mouseTarget = target;
    g_shared.hookCursor = cursor;
    g_shared.mouseHook = 1;

    /* Nudge the pointer so that a move passes through the new watch at once. */
    Window root, child;
    int rx, ry, wx, wy;
    unsigned int mask;
    if (XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rx, &ry, &wx, &wy, &mask)) {
        XWarpPointer(dpy, None, root, 0, 0, 0, 0, rx + 1, ry + 1);
        XWarpPointer(dpy, None, root, 0, 0, 0, 0, rx, ry);
    }
    XFlush(dpy);

    if (pthread_create(&g_mouse.thread, NULL, MouseThread, NULL) != 0) {
        g_shared.mouseHook = 0;
        g_shared.selectionActive = 0;
        g_shared.mouseTarget = 0;
        g_shared.hookCursor = 0;
        close(g_mouse.wake[0]);
        close(g_mouse.wake[1]);
        goto fail;
    }
    pthread_mutex_unlock(&g_lock);
    return 1;

fail:
    if (dpy) XCloseDisplay(dpy);
    g_mouse.dpy = NULL;
    pthread_mutex_unlock(&g_lock);
    return 0;
}

int ORV_UnHookMouse(void) {
    pthread_mutex_lock(&g_lock);
    if (!g_shared.mouseHook) {
        pthread_mutex_unlock(&g_lock);
        return 0;
    }
    g_shared.mouseHook = 0;
    g_shared.mouseTarget = 0;
    g_shared.selectionActive = 0;
    g_shared.hookCursor = 0;
    const char stop = 1;
    if (write(g_mouse.wake[1], &stop, 1) < 0) { /* the thread also ends on its next event */
    }
    pthread_mutex_unlock(&g_lock);
    pthread_join(g_mouse.thread, NULL);
    pthread_mutex_lock(&g_lock);
    XUngrabPointer(g_mouse.dpy, CurrentTime);
    XCloseDisplay(g_mouse.dpy);
    g_mouse.dpy = NULL;
    close(g_mouse.wake[0]);
    close(g_mouse.wake[1]);
    pthread_mutex_unlock(&g_lock);
    return 1;
}
