#include "capture/ScreenGrab.h"

#include "editor/Parallel.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <sys/ipc.h>
#include <sys/shm.h>

// Xlibint.h brings macros named after standard functions.
#undef min
#undef max

namespace {

int SwallowError(Display*, xError*, XExtCodes*, int* ret) {
    *ret = 0;
    return 1;
}

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

bool WindowRectOnRoot(Display* d, Window w, ScreenRect& out) {
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

// A pixel of an image in any other layout (16-bit displays, other byte orders).
uint32_t ConvertPixel(XImage* image, int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    auto scale = [p](unsigned long m) -> uint32_t {
        if (!m) return 0;
        unsigned long v = p;
        while (!(m & 1)) {
            m >>= 1;
            v >>= 1;
        }
        return uint32_t((v & m) * 255 / m);
    };
    return 0xFF000000u | scale(image->red_mask) << 16 | scale(image->green_mask) << 8 |
           scale(image->blue_mask);
}

} // namespace

// ---------------------------------------------------------------------------------------------

CScreenConnection::~CScreenConnection() {
    if (m_display) XCloseDisplay(m_display);
}

bool CScreenConnection::Open(const char* name) {
    if (m_display) return true;
    m_display = XOpenDisplay(name);
    if (!m_display) return false;
    if (XExtCodes* codes = XAddExtension(m_display))
        XESetError(m_display, codes->extension, SwallowError);
    return true;
}

// ---------------------------------------------------------------------------------------------

struct CScreenGrabber::Shm {
    XShmSegmentInfo info{};
    XImage* image = nullptr;
};

CScreenGrabber::CScreenGrabber(Display* display) : m_display(display) {
    int major, minor;
    Bool pixmaps;
    m_useShm = display && XShmQueryVersion(display, &major, &minor, &pixmaps);
}

CScreenGrabber::~CScreenGrabber() {
    ReleaseShm();
}

void CScreenGrabber::ReleaseShm() {
    if (!m_shm) return;
    XShmDetach(m_display, &m_shm->info);
    XSync(m_display, False);
    m_shm->image->data = nullptr;
    XDestroyImage(m_shm->image);
    shmdt(m_shm->info.shmaddr);
    m_shm.reset();
}

void* CScreenGrabber::Capture(int x, int y, int width, int height, int& bytesPerLine) {
    const int screen = DefaultScreen(m_display);
    Visual* visual = DefaultVisual(m_display, screen);
    const int depth = DefaultDepth(m_display, screen);
    if (m_useShm) {
        // The segment of the last grab is kept while it is large enough.
        if (m_shm && (m_shm->image->width < width || m_shm->image->height < height)) ReleaseShm();
        if (!m_shm) {
            auto shm = std::make_unique<Shm>();
            shm->image = XShmCreateImage(m_display, visual, unsigned(depth), ZPixmap, nullptr,
                                         &shm->info, unsigned(width), unsigned(height));
            if (shm->image) {
                shm->info.shmid =
                    shmget(IPC_PRIVATE, size_t(shm->image->bytes_per_line) * size_t(height),
                           IPC_CREAT | 0600);
                shm->info.shmaddr = shm->info.shmid >= 0
                                        ? static_cast<char*>(shmat(shm->info.shmid, nullptr, 0))
                                        : reinterpret_cast<char*>(-1);
                if (shm->info.shmaddr != reinterpret_cast<char*>(-1)) {
                    shm->image->data = shm->info.shmaddr;
                    shm->info.readOnly = False;
                    const bool attached = XShmAttach(m_display, &shm->info);
                    XSync(m_display, False);
                    // Marked for removal now; it goes when the last user detaches.
                    shmctl(shm->info.shmid, IPC_RMID, nullptr);
                    if (attached)
                        m_shm = std::move(shm);
                    else
                        shmdt(shm->info.shmaddr);
                } else if (shm->info.shmid >= 0) {
                    shmctl(shm->info.shmid, IPC_RMID, nullptr);
                }
                if (!m_shm) {
                    // Only reached when shm was not moved into m_shm.
                    shm->image->data = nullptr; // NOLINT(bugprone-use-after-move)
                    XDestroyImage(shm->image);
                }
            }
            if (!m_shm) m_useShm = false;
        }
        if (m_shm) {
            // Grab into the top-left corner of a segment that may be larger.
            XImage* image = m_shm->image;
            const int fullW = image->width, fullH = image->height;
            image->width = width;
            image->height = height;
            const bool ok = XShmGetImage(m_display, RootOf(m_display), image, x, y, AllPlanes);
            image->width = fullW;
            image->height = fullH;
            if (ok) {
                // The server packs the rows for the width asked for, not the segment's.
                const int pad = image->bitmap_pad;
                bytesPerLine = (width * image->bits_per_pixel + pad - 1) / pad * (pad / 8);
                return image;
            }
        }
    }
    XImage* image = XGetImage(m_display, RootOf(m_display), x, y, unsigned(width), unsigned(height),
                              AllPlanes, ZPixmap);
    if (image) bytesPerLine = image->bytes_per_line;
    return image;
}

void CScreenGrabber::Prepare(const ScreenRect& rect) {
    if (!m_useShm || rect.IsEmpty()) return;
    // A grab of the whole size makes the segment that later grabs reuse.
    int stride = 0;
    auto* image =
        static_cast<XImage*>(Capture(rect.left, rect.top, rect.Width(), rect.Height(), stride));
    if (!image) return;
    if (m_shm && image == m_shm->image) {
        // Reading every page once now maps the segment into this process, a fault per page
        // that the first capture would otherwise pay.
        const volatile char* data = image->data;
        const size_t bytes = size_t(image->bytes_per_line) * size_t(image->height);
        char sum = 0;
        for (size_t i = 0; i < bytes; i += 4096) sum = char(sum + data[i]);
        (void)sum;
        return;
    }
    XDestroyImage(image);
}

void CScreenGrabber::Grab(const ScreenRect& rect, ShapeMask& mask, uint32_t colorRef,
                          CPicture& out) {
    const int width = std::max(rect.Width(), 1), height = std::max(rect.Height(), 1);
    out.CreateForOverwrite(width, height, 32, false);
    const uint32_t background =
        0xFF000000u | (colorRef & 0xFF) << 16 | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);

    // Only the part of the rectangle that lies on the screen is read.
    const int rootW = DisplayWidth(m_display, DefaultScreen(m_display));
    const int rootH = DisplayHeight(m_display, DefaultScreen(m_display));
    const int x0 = std::max(rect.left, 0), y0 = std::max(rect.top, 0);
    const int x1 = std::min(rect.left + width, rootW), y1 = std::min(rect.top + height, rootH);
    XImage* image = nullptr;
    int stride = 0;
    if (x0 < x1 && y0 < y1 && !rect.IsEmpty()) {
        image = static_cast<XImage*>(Capture(x0, y0, x1 - x0, y1 - y0, stride));
    }
    const bool direct = image && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                        image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                        image->blue_mask == 0xFF;

    // Rows in bands, on two threads when the picture is large: the copy is most of a grab's
    // time on our side. Each band walks its own copy of the mask, which keeps row state.
    const auto copyRows = [&](int first, int last) {
        ShapeMask bandMask = mask;
        for (int y = first; y < last; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(out.GetLineArray()[y]);
            const int sy = rect.top + y;
            int filled = 0; // everything left of this is written
            if (image && sy >= y0 && sy < y1) {
                const char* srcRow = image->data + size_t(sy - y0) * size_t(stride);
                for (const ShapeSpan& span : bandMask.Row(y)) {
                    // Clip the span to the part that was read.
                    const int b = std::max(span.begin, x0 - rect.left);
                    const int e = std::min(span.end, x1 - rect.left);
                    if (b >= e) continue;
                    std::fill(row + filled, row + b, background);
                    if (direct) {
                        // The server leaves the fourth byte 0; pictures without alpha keep it
                        // 255.
                        const uint32_t* src =
                            reinterpret_cast<const uint32_t*>(srcRow) + (rect.left + b - x0);
                        uint32_t* dst = row + b;
                        const int n = e - b;
                        for (int i = 0; i < n; ++i) dst[i] = src[i] | 0xFF000000u;
                    } else {
                        for (int x = b; x < e; ++x)
                            row[x] = ConvertPixel(image, rect.left + x - x0, sy - y0);
                    }
                    filled = e;
                }
            }
            std::fill(row + filled, row + width, background);
        }
    };
    editor::ForEachBand(height, 64, 8.0 * width, copyRows, [](int) {});
    if (image && !(m_shm && image == m_shm->image)) XDestroyImage(image);
}

// ---------------------------------------------------------------------------------------------

namespace WindowFinder {

bool ActiveWindowRect(Display* d, unsigned long ownWindow, ScreenRect& out) {
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
        const ScreenRect screen = DesktopRect(d);
        out.left = std::max(out.left, screen.left);
        out.top = std::max(out.top, screen.top);
        out.right = std::min(out.right, screen.right);
        out.bottom = std::min(out.bottom, screen.bottom);
    }
    return true;
}

bool ClientAreaRect(Display* d, unsigned long ownWindow, ScreenRect& out) {
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

ScreenRect DesktopRect(Display* d) {
    const Window root = RootOf(d);
    ScreenRect whole{0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    int eventBase, errorBase;
    if (!XRRQueryExtension(d, &eventBase, &errorBase)) return whole;
    const RROutput primary = XRRGetOutputPrimary(d, root);
    if (!primary) return whole;
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
    if (!res) return whole;
    ScreenRect result = whole;
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

bool OpenMenuRect(Display* d, ScreenRect& out) {
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

bool ControlRectAt(Display* d, int x, int y, ScreenRect& out, unsigned long ignore) {
    Window frame, control;
    WindowsAt(d, x, y, ignore, frame, control);
    return control && WindowRectOnRoot(d, control, out);
}

bool WindowRectAt(Display* d, int x, int y, ScreenRect& out, unsigned long ignore) {
    Window frame, control;
    WindowsAt(d, x, y, ignore, frame, control);
    const Window w = control ? control : frame;
    return w && WindowRectOnRoot(d, w, out);
}

} // namespace WindowFinder
