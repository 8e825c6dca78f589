#include "capture/X11ScreenCanvas.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <poll.h>

struct CScreenCanvas::X {
    GC invert = nullptr; // GXinvert, solid
    GC focus = nullptr;  // GXinvert through a checkerboard: every other pixel
    GC copy = nullptr;   // GXcopy, for the tip
    GC text = nullptr;   // draws into the tip image
    Pixmap checker = None;
    XFontStruct* font = nullptr;
    std::vector<XPoint> points;
    std::vector<XRectangle> rects;
};

namespace {

// Scalable fonts first, at the tip's height of 18 pixels; "fixed" is built into every server.
XFontStruct* LoadTipFont(Display* d) {
    const char* names[] = {"-*-nimbus roman-medium-r-normal--18-*-*-*-p-*-iso8859-1",
                           "-*-times-medium-r-normal--18-*-*-*-p-*-iso8859-1",
                           "-*-*-medium-r-normal--18-*-*-*-p-*-iso8859-1",
                           "-*-*-medium-r-normal--18-*-*-*-*-*-iso8859-1",
                           "9x15",
                           "fixed"};
    for (const char* name : names)
        if (XFontStruct* f = XLoadQueryFont(d, name)) return f;
    return nullptr;
}

// Waits until the server has shown the window, so the first drawing is not painted over by
// its background.
void WaitForExpose(Display* d, Window w) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    XEvent e;
    for (;;) {
        while (XPending(d)) {
            if (XCheckTypedWindowEvent(d, w, Expose, &e)) return;
            // Anything else on this connection is nobody's business but ours: drop it.
            XNextEvent(d, &e);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, int(left));
    }
}

} // namespace

CScreenCanvas::CScreenCanvas(Display* display)
    : m_display(display), m_x(std::make_unique<X>()), m_grabber(display) {
    const Window root = DefaultRootWindow(display);
    m_target = root;
    XGCValues v{};
    v.function = GXinvert;
    v.subwindow_mode = IncludeInferiors;
    v.graphics_exposures = False;
    v.fill_rule = EvenOddRule;
    v.plane_mask = AllPlanes;
    const unsigned long common =
        GCFunction | GCSubwindowMode | GCGraphicsExposures | GCFillRule | GCPlaneMask;
    m_x->invert = XCreateGC(display, root, common, &v);

    static const unsigned char checkerBits[] = {0x01, 0x02};
    m_x->checker =
        XCreateBitmapFromData(display, root, reinterpret_cast<const char*>(checkerBits), 2, 2);
    v.fill_style = FillStippled;
    v.stipple = m_x->checker;
    v.ts_x_origin = v.ts_y_origin = 0;
    m_x->focus =
        XCreateGC(display, root,
                  common | GCFillStyle | GCStipple | GCTileStipXOrigin | GCTileStipYOrigin, &v);

    v.function = GXcopy;
    m_x->copy = XCreateGC(display, root, common, &v);

    m_x->font = LoadTipFont(display);
    XGCValues t{};
    t.graphics_exposures = False;
    t.foreground = WhitePixel(display, DefaultScreen(display));
    t.background = BlackPixel(display, DefaultScreen(display));
    unsigned long mask = GCGraphicsExposures | GCForeground | GCBackground;
    if (m_x->font) {
        t.font = m_x->font->fid;
        mask |= GCFont;
    }
    m_x->text = XCreateGC(display, root, mask, &t);
}

CScreenCanvas::~CScreenCanvas() {
    DropOverlay();
    FreeTipImages();
    if (m_x->font) XFreeFont(m_display, m_x->font);
    for (GC gc : {m_x->invert, m_x->focus, m_x->copy, m_x->text}) XFreeGC(m_display, gc);
    XFreePixmap(m_display, m_x->checker);
    XSync(m_display, False);
}

bool CScreenCanvas::CompositorRunning(Display* d) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
    return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
}

void CScreenCanvas::BeginSelection() {
    DropOverlay();
    if (!CompositorRunning(m_display)) return;
    const Window root = DefaultRootWindow(m_display);
    const int screen = DefaultScreen(m_display);
    const int w = DisplayWidth(m_display, screen), h = DisplayHeight(m_display, screen);

    // The same path as every grab, so what is frozen is what a grab would have copied.
    m_frozen = std::make_unique<CDibSectionPicture>();
    ShapeMask whole(0, w, h);
    m_grabber.Grab({0, 0, w, h}, whole, 0, *m_frozen);

    const int depth = DefaultDepth(m_display, screen);
    m_frozenPixmap = XCreatePixmap(m_display, root, unsigned(w), unsigned(h), unsigned(depth));
    if (XImage* image = XCreateImage(m_display, DefaultVisual(m_display, screen), unsigned(depth),
                                     ZPixmap, 0, nullptr, unsigned(w), 1, 32, 0)) {
        // One row at a time: the picture's rows need not be one block.
        std::vector<uint32_t> row(static_cast<size_t>(w));
        image->data = reinterpret_cast<char*>(row.data());
        const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 &&
                            image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = m_frozen->GetLineArray()[y];
            if (direct) {
                std::memcpy(row.data(), src, size_t(w) * 4);
            } else {
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = src + 4 * x;
                    XPutPixel(image, x, 0,
                              (p[2] * image->red_mask / 255 & image->red_mask) |
                                  (p[1] * image->green_mask / 255 & image->green_mask) |
                                  (p[0] * image->blue_mask / 255 & image->blue_mask));
                }
            }
            XPutImage(m_display, m_frozenPixmap, m_x->copy, image, 0, 0, 0, y, unsigned(w), 1);
        }
        image->data = nullptr;
        XDestroyImage(image);
    }

    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixmap = m_frozenPixmap;
    a.event_mask = ExposureMask;
    m_overlay = XCreateWindow(m_display, root, 0, 0, unsigned(w), unsigned(h), 0, CopyFromParent,
                              InputOutput, CopyFromParent,
                              CWOverrideRedirect | CWBackPixmap | CWEventMask, &a);
    // No input region: the window picks of the selection look through it.
    XShapeCombineRectangles(m_display, m_overlay, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    XStoreName(m_display, m_overlay, "Orvane Screen selection");
    XMapRaised(m_display, m_overlay);
    WaitForExpose(m_display, m_overlay);
    XSelectInput(m_display, m_overlay, NoEventMask);
    m_target = m_overlay;
}

void CScreenCanvas::EndSelection() {
    DropOverlay();
}

void CScreenCanvas::DropOverlay() {
    m_target = DefaultRootWindow(m_display);
    if (m_overlay) XDestroyWindow(m_display, m_overlay);
    if (m_frozenPixmap) XFreePixmap(m_display, m_frozenPixmap);
    m_overlay = m_frozenPixmap = 0;
    m_frozen.reset();
    XSync(m_display, False);
}

void CScreenCanvas::Grab(const CRect& rect, ShapeMask& mask, uint32_t colorRef, CPicture& out) {
    if (!m_frozen) {
        m_grabber.Grab(rect, mask, colorRef, out);
        return;
    }
    const int width = std::max(rect.Width(), 1), height = std::max(rect.Height(), 1);
    out.CreateForOverwrite(width, height, 32, false);
    const uint32_t background =
        0xFF000000u | (colorRef & 0xFF) << 16 | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
    const int fw = m_frozen->GetWidth(), fh = m_frozen->GetHeight();
    for (int y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(out.GetLineArray()[y]);
        std::fill(row, row + width, background);
        const int sy = rect.top + y;
        if (rect.IsEmpty() || sy < 0 || sy >= fh) continue;
        const uint8_t* src = m_frozen->GetLineArray()[sy];
        for (const ShapeSpan& span : mask.Row(y)) {
            const int b = std::max(span.begin, -rect.left);
            const int e = std::min(span.end, fw - rect.left);
            if (b < e) std::memcpy(row + b, src + 4 * size_t(rect.left + b), size_t(e - b) * 4);
        }
    }
}

// ---------------------------------------------------------------------------------------------

int CScreenCanvas::ScreenWidth() {
    return DisplayWidth(m_display, DefaultScreen(m_display));
}

int CScreenCanvas::ScreenHeight() {
    return DisplayHeight(m_display, DefaultScreen(m_display));
}

void CScreenCanvas::InvertRect(const CRect& r) {
    if (r.IsEmpty()) return;
    XFillRectangle(m_display, m_target, m_x->invert, r.left, r.top, unsigned(r.Width()),
                   unsigned(r.Height()));
}

void CScreenCanvas::InvertRects(const CRect* rects, int count) {
    std::vector<XRectangle>& xr = m_x->rects;
    xr.clear();
    for (int i = 0; i < count; ++i)
        if (!rects[i].IsEmpty())
            xr.push_back({short(rects[i].left), short(rects[i].top),
                          (unsigned short)rects[i].Width(), (unsigned short)rects[i].Height()});
    if (!xr.empty()) XFillRectangles(m_display, m_target, m_x->invert, xr.data(), int(xr.size()));
}

void CScreenCanvas::DrawFocusRect(const CRect& r) {
    if (r.IsEmpty()) return;
    // Four edges that never share a pixel, so a second drawing undoes the first exactly.
    XRectangle edges[4];
    int n = 0;
    const short w = short(r.Width()), h = short(r.Height());
    edges[n++] = {short(r.left), short(r.top), (unsigned short)w, 1};
    if (h > 1) edges[n++] = {short(r.left), short(r.bottom - 1), (unsigned short)w, 1};
    if (h > 2) {
        edges[n++] = {short(r.left), short(r.top + 1), 1, (unsigned short)(h - 2)};
        if (w > 1) edges[n++] = {short(r.right - 1), short(r.top + 1), 1, (unsigned short)(h - 2)};
    }
    XFillRectangles(m_display, m_target, m_x->focus, edges, n);
}

void CScreenCanvas::InvertEllipse(const CRect& r) {
    if (r.IsEmpty()) return;
    XFillArc(m_display, m_target, m_x->invert, r.left, r.top, unsigned(r.Width()),
             unsigned(r.Height()), 0, 360 * 64);
}

void CScreenCanvas::InvertPolygon(const ShapePoint* points, int count) {
    if (count < 3) return;
    std::vector<XPoint>& xp = m_x->points;
    xp.resize(size_t(count));
    for (int i = 0; i < count; ++i) xp[size_t(i)] = {short(points[i].x), short(points[i].y)};
    XFillPolygon(m_display, m_target, m_x->invert, xp.data(), count, Complex, CoordModeOrigin);
}

void CScreenCanvas::InvertLine(ShapePoint from, ShapePoint to) {
    XDrawLine(m_display, m_target, m_x->invert, from.x, from.y, to.x, to.y);
}

void CScreenCanvas::Beep() {
    XBell(m_display, 0);
}

void CScreenCanvas::Flush() {
    XFlush(m_display);
}

// ---------------------------------------------------------------------------------------------

void CScreenCanvas::MeasureText(const std::string& text, int& width, int& height) {
    if (!m_x->font) {
        width = int(text.size()) * 8;
        height = 16;
        return;
    }
    width = XTextWidth(m_x->font, text.data(), int(text.size()));
    height = m_x->font->ascent + m_x->font->descent;
}

void CScreenCanvas::FreeTipImages() {
    if (m_tipImage) XFreePixmap(m_display, m_tipImage);
    if (m_saveUnder) XFreePixmap(m_display, m_saveUnder);
    m_tipImage = m_saveUnder = 0;
}

void CScreenCanvas::CreateTipImages(int width, int height) {
    FreeTipImages();
    m_tipWidth = std::max(width, 1);
    m_tipHeight = std::max(height, 1);
    const Window root = DefaultRootWindow(m_display);
    const unsigned depth = unsigned(DefaultDepth(m_display, DefaultScreen(m_display)));
    m_tipImage = XCreatePixmap(m_display, root, unsigned(m_tipWidth), unsigned(m_tipHeight), depth);
    m_saveUnder =
        XCreatePixmap(m_display, root, unsigned(m_tipWidth), unsigned(m_tipHeight), depth);
}

void CScreenCanvas::DrawTipText(const std::string& text) {
    if (!m_tipImage) return;
    const int screen = DefaultScreen(m_display);
    XSetForeground(m_display, m_x->text, BlackPixel(m_display, screen));
    XFillRectangle(m_display, m_tipImage, m_x->text, 0, 0, unsigned(m_tipWidth),
                   unsigned(m_tipHeight));
    XSetForeground(m_display, m_x->text, WhitePixel(m_display, screen));
    int w, h;
    MeasureText(text, w, h);
    const int ascent = m_x->font ? m_x->font->ascent : 12;
    XDrawString(m_display, m_tipImage, m_x->text, m_tipWidth - w, (m_tipHeight - h) / 2 + ascent,
                text.data(), int(text.size()));
}

void CScreenCanvas::SaveUnderTip(int x, int y) {
    if (!m_saveUnder) return;
    XCopyArea(m_display, m_target, m_saveUnder, m_x->copy, x, y, unsigned(m_tipWidth),
              unsigned(m_tipHeight), 0, 0);
}

void CScreenCanvas::RestoreUnderTip(int x, int y) {
    if (!m_saveUnder) return;
    XCopyArea(m_display, m_saveUnder, m_target, m_x->copy, 0, 0, unsigned(m_tipWidth),
              unsigned(m_tipHeight), x, y);
}

void CScreenCanvas::ShowTipImage(int x, int y) {
    if (!m_tipImage) return;
    XCopyArea(m_display, m_tipImage, m_target, m_x->copy, 0, 0, unsigned(m_tipWidth),
              unsigned(m_tipHeight), x, y);
}

// ---------------------------------------------------------------------------------------------

bool CScreenCanvas::FindActiveWindow(CRect& out) {
    return WindowFinder::ActiveWindowRect(m_display, m_ownWindow, out);
}

bool CScreenCanvas::FindClientArea(CRect& out) {
    return WindowFinder::ClientAreaRect(m_display, m_ownWindow, out);
}

bool CScreenCanvas::FindOpenMenu(CRect& out) {
    return WindowFinder::OpenMenuRect(m_display, out);
}

CRect CScreenCanvas::DesktopRect() {
    return WindowFinder::DesktopRect(m_display);
}

bool CScreenCanvas::FindWindowAt(ShapePoint p, bool controlOnly, CRect& out) {
    return controlOnly ? WindowFinder::ControlRectAt(m_display, p.x, p.y, out, m_overlay)
                       : WindowFinder::WindowRectAt(m_display, p.x, p.y, out, m_overlay);
}
