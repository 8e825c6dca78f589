#include "capture/WindowFinder.h"

#include <algorithm>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace {

Window RootOf(Display* d) {
    return DefaultRootWindow(d);
}

// A property as 32-bit items (X hands them over as longs).
std::vector<unsigned long> Property32(Display* d, Window w, const char* name, Atom type) {
    Atom actualType;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, type, &actualType,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32) {
            const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
            out.assign(items, items + count);
        }
        XFree(data);
    }
    return out;
}

// The root's child that holds w: the window manager's frame, or w itself when unmanaged.
Window TopLevelOf(Display* d, Window w) {
    const Window root = RootOf(d);
    for (;;) {
        Window r, parent;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, w, &r, &parent, &children, &count)) return None;
        if (children) XFree(children);
        if (parent == root || parent == None) return w;
        w = parent;
    }
}

bool WindowRectOnRoot(Display* d, Window w, CRect& out) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a)) return false;
    int x, y;
    Window child;
    if (!XTranslateCoordinates(d, w, RootOf(d), 0, 0, &x, &y, &child)) return false;
    // The border belongs to the window's outside.
    out = {x - a.border_width, y - a.border_width, x + a.width + a.border_width,
           y + a.height + a.border_width};
    return true;
}

Window ActiveClient(Display* d, unsigned long ownWindow) {
    const auto active = Property32(d, RootOf(d), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (active.empty() || active[0] == None) return None;
    const Window w = active[0];
    if (w == ownWindow) return None;
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return None;
    return w;
}

} // namespace

namespace WindowFinder {

bool ActiveWindowRect(Display* d, unsigned long ownWindow, CRect& out) {
    const Window client = ActiveClient(d, ownWindow);
    if (!client) return false;
    const Window frame = TopLevelOf(d, client);
    if (!frame || !WindowRectOnRoot(d, frame, out)) return false;
    const auto state = Property32(d, client, "_NET_WM_STATE", XA_ATOM);
    const Atom vert = XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const Atom horz = XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    const bool maximised = std::count(state.begin(), state.end(), vert) &&
                           std::count(state.begin(), state.end(), horz);
    if (maximised) {
        // Left, right, bottom: the sizing border. The top extent holds the title bar, which
        // stays on the screen and is part of the picture.
        const auto extents = Property32(d, client, "_NET_FRAME_EXTENTS", XA_CARDINAL);
        if (extents.size() == 4) {
            out.left += int(extents[0]);
            out.right -= int(extents[1]);
            out.bottom -= int(extents[3]);
        }
        const CRect screen = DesktopRect(d);
        out.left = std::max(out.left, screen.left);
        out.top = std::max(out.top, screen.top);
        out.right = std::min(out.right, screen.right);
        out.bottom = std::min(out.bottom, screen.bottom);
    }
    return true;
}

bool ClientAreaRect(Display* d, unsigned long ownWindow, CRect& out) {
    const Window client = ActiveClient(d, ownWindow);
    if (!client) return false;
    XWindowAttributes a;
    int x, y;
    Window child;
    if (!XGetWindowAttributes(d, client, &a) ||
        !XTranslateCoordinates(d, client, RootOf(d), 0, 0, &x, &y, &child))
        return false;
    out = {x, y, x + a.width, y + a.height};
    return true;
}

CRect DesktopRect(Display* d) {
    const Window root = RootOf(d);
    CRect whole{0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    int eventBase, errorBase;
    if (!XRRQueryExtension(d, &eventBase, &errorBase)) return whole;
    const RROutput primary = XRRGetOutputPrimary(d, root);
    if (!primary) return whole;
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
    if (!res) return whole;
    CRect result = whole;
    if (XRROutputInfo* output = XRRGetOutputInfo(d, res, primary)) {
        if (output->crtc) {
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, output->crtc)) {
                if (crtc->width && crtc->height)
                    result = {crtc->x, crtc->y, crtc->x + int(crtc->width),
                              crtc->y + int(crtc->height)};
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(res);
    return result;
}

bool OpenMenuRect(Display* d, CRect& out) {
    Window r, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, RootOf(d), &r, &parent, &children, &count)) return false;
    const Atom menuTypes[] = {XInternAtom(d, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False),
                              XInternAtom(d, "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", False),
                              XInternAtom(d, "_NET_WM_WINDOW_TYPE_MENU", False)};
    const Atom notMenus[] = {XInternAtom(d, "_NET_WM_WINDOW_TYPE_TOOLTIP", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_NOTIFICATION", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_DND", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_COMBO", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_DESKTOP", False),
                             XInternAtom(d, "_NET_WM_WINDOW_TYPE_SPLASH", False)};
    const Atom normal = XInternAtom(d, "_NET_WM_WINDOW_TYPE_NORMAL", False);
    bool found = false;
    // XQueryTree lists children bottom to top: walk from the top of the stack.
    for (unsigned i = count; i-- > 0 && !found;) {
        const Window w = children[i];
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, w, &a) || !a.override_redirect || a.map_state != IsViewable)
            continue;
        if (a.width <= 1 || a.height <= 1) continue;
        const auto types = Property32(d, w, "_NET_WM_WINDOW_TYPE", XA_ATOM);
        bool menu = false;
        if (types.empty()) {
            menu = true;
        } else {
            for (unsigned long t : types) {
                if (std::count(std::begin(menuTypes), std::end(menuTypes), t)) {
                    menu = true;
                    break;
                }
                if (std::count(std::begin(notMenus), std::end(notMenus), t)) break;
                if (t == normal) {
                    menu = true;
                    break;
                }
            }
        }
        if (menu) found = WindowRectOnRoot(d, w, out);
    }
    if (children) XFree(children);
    return found;
}

namespace {

bool HasWmState(Display* d, Window w) {
    Atom type = None;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const bool ok =
        XGetWindowProperty(d, w, XInternAtom(d, "WM_STATE", False), 0, 0, False, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success;
    if (data) XFree(data);
    return ok && type != None;
}

// The topmost viewable root child under the point other than ignore, the slow way: only
// needed when ignore itself is the one on top there.
Window RootChildAt(Display* d, int x, int y, Window ignore) {
    Window r, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, RootOf(d), &r, &parent, &children, &count)) return None;
    Window found = None;
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes a;
        if (children[i] == ignore || !XGetWindowAttributes(d, children[i], &a) ||
            a.map_state != IsViewable || a.c_class != InputOutput)
            continue;
        const int b = a.border_width;
        if (x >= a.x && y >= a.y && x < a.x + a.width + 2 * b && y < a.y + a.height + 2 * b)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

// Walks down the window tree under the point: the root's child (the frame) and the deepest
// window below the client that carries WM_STATE.
void WindowsAt(Display* d, int x, int y, Window ignore, Window& frame, Window& control) {
    const Window root = RootOf(d);
    frame = control = None;
    Window w = root, client = None;
    for (int depth = 0; depth < 64; ++depth) {
        int tx, ty;
        Window child = None;
        if (!XTranslateCoordinates(d, root, w, x, y, &tx, &ty, &child)) break;
        if (w == root && child != None && child == ignore) child = RootChildAt(d, x, y, ignore);
        if (child == None) break;
        if (w == root) frame = child;
        if (client) {
            // Input-only windows show nothing to capture.
            XWindowAttributes a;
            if (!XGetWindowAttributes(d, child, &a) || a.c_class != InputOutput) break;
            control = child;
        } else if (HasWmState(d, child)) {
            client = child;
        }
        w = child;
    }
}

} // namespace

bool ControlRectAt(Display* d, int x, int y, CRect& out, unsigned long ignore) {
    Window frame, control;
    WindowsAt(d, x, y, ignore, frame, control);
    return control && WindowRectOnRoot(d, control, out);
}

bool WindowRectAt(Display* d, int x, int y, CRect& out, unsigned long ignore) {
    Window frame, control;
    WindowsAt(d, x, y, ignore, frame, control);
    const Window w = control ? control : frame;
    return w && WindowRectOnRoot(d, w, out);
}

} // namespace WindowFinder
