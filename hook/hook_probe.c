/* A small client of the hook library for its tests. It maps a window, prints every forwarded
 * message it receives, and takes commands on standard input:
 *   hookkbd W0 W1 ...   ORV_HookKeyboard with the given words (the rest 0)
 *   unhookkbd           ORV_UnHookKeyboard
 *   set W0 W1 ...       ORV_SetCaptureHotKey
 *   get                 ORV_GetCaptureHotKey, printed as 35 words
 *   hookmouse           ORV_HookMouse with a crosshair cursor
 *   unhookmouse         ORV_UnHookMouse
 *   quit
 * Every command answers with one line; forwarded messages print as
 *   key INDEX VK
 *   mouse MESSAGE X Y */
#include "TilletHook.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void ParseTable(char* args, uint16_t* table) {
    memset(table, 0, ORV_HOTKEY_COUNT * sizeof *table);
    int i = 0;
    for (char* tok = strtok(args, " \t\n"); tok && i < ORV_HOTKEY_COUNT;
         tok = strtok(NULL, " \t\n"))
        table[i++] = (uint16_t)strtoul(tok, NULL, 0);
}

int main(void) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "hook_probe: no display\n");
        return 1;
    }
    Window win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 120, 80, 0, 0, 0xFFFFFF);
    XStoreName(dpy, win, "hook_probe");
    XMapWindow(dpy, win);
    Cursor cursor = XCreateFontCursor(dpy, XC_crosshair);
    XFlush(dpy);
    printf("ready %lu %u %u\n", (unsigned long)win, ORVM_ForwardKeyboardMessage,
           ORVM_ForwardMouseMessage);

    char line[1024];
    struct pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {0, POLLIN, 0}};
    for (;;) {
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type != ClientMessage) continue;
            const long w = ev.xclient.data.l[0], l = ev.xclient.data.l[1];
            if (ev.xclient.message_type == ORVM_ForwardKeyboardMessage)
                printf("key %ld %ld\n", w, l);
            else if (ev.xclient.message_type == ORVM_ForwardMouseMessage)
                printf("mouse %ld %ld %ld\n", w, l & 0xFFFF, (l >> 16) & 0xFFFF);
        }
        if (poll(fds, 2, -1) < 0) continue;
        if (!(fds[1].revents & (POLLIN | POLLHUP))) continue;
        if (!fgets(line, sizeof line, stdin)) break;
        uint16_t table[ORV_HOTKEY_COUNT];
        if (strncmp(line, "hookkbd", 7) == 0) {
            ParseTable(line + 7, table);
            printf("hookkbd %d\n", ORV_HookKeyboard(win, table));
        } else if (strncmp(line, "unhookkbd", 9) == 0) {
            printf("unhookkbd %d\n", ORV_UnHookKeyboard());
        } else if (strncmp(line, "set", 3) == 0) {
            ParseTable(line + 3, table);
            printf("set %d\n", ORV_SetCaptureHotKey(table));
        } else if (strncmp(line, "get", 3) == 0) {
            const int rc = ORV_GetCaptureHotKey(table);
            printf("get %d", rc);
            for (int i = 0; i < ORV_HOTKEY_COUNT; ++i) printf(" %u", table[i]);
            printf("\n");
        } else if (strncmp(line, "hookmouse", 9) == 0) {
            printf("hookmouse %d\n", ORV_HookMouse(win, cursor));
        } else if (strncmp(line, "unhookmouse", 11) == 0) {
            printf("unhookmouse %d\n", ORV_UnHookMouse());
        } else if (strncmp(line, "quit", 4) == 0) {
            break;
        }
    }
    ORV_UnHookMouse();
    ORV_UnHookKeyboard();
    XCloseDisplay(dpy);
    return 0;
}
