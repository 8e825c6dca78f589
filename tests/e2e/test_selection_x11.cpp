// The selection feedback on a real X server (run inside a private session): drawing on the
// root, the frozen-screen overlay taken when a compositing manager is there, and picking.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "capture/CaptureSelection.h"
#include "capture/X11ScreenCanvas.h"
#include "imagefile/Picture.h"
#include "tests/e2e/X11TestSupport.h"

namespace {

constexpr unsigned MOVE = TRACK_MOUSEMOVE, LDOWN = TRACK_LBUTTONDOWN, LUP = TRACK_LBUTTONUP,
                   RDOWN = TRACK_RBUTTONDOWN;
// Everything happens above the panel, whose clock may change at any time.
constexpr int kCompareRows = 680;

uint32_t RgbAt(const CPicture& p, int x, int y) {
    return PixelAt(p, x, y) & 0xFFFFFF;
}

class SelectionX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(conn.Open()) << "no X display";
        d = conn.Get();
        canvas = std::make_unique<CScreenCanvas>(d);
        selection = std::make_unique<CCaptureSelection>(tracker, *canvas);
        tracker.PrepareTip(*canvas,
                           "<Orvane Screen> => Left click on the mouse to start the capture",
                           "Size <%1,%2> => Right click to toggle between stretch and move");
        // Something to invert that is not one flat colour.
        Patch(40, 40, 300, 200, 0xC03010);
        Patch(200, 150, 300, 250, 0x20A0E0);
        ASSERT_TRUE(WaitFor([&] { return LivePixel(210, 160) == 0x20A0E0; }));
    }
    void TearDown() override {
        selection.reset();
        canvas.reset();
        for (Window w : windows) XDestroyWindow(d, w);
        XSync(d, False);
    }

    Window Patch(int x, int y, int w, int h, unsigned long rgb) {
        windows.push_back(MakePatch(d, x, y, w, h, rgb));
        return windows.back();
    }

    void Screenshot(CDibSectionPicture& p) {
        XSync(d, False);
        ShapeMask all(0, DisplayWidth(d, 0), kCompareRows);
        CScreenGrabber(d).Grab({0, 0, DisplayWidth(d, 0), kCompareRows}, all, 0, p);
    }
    // A screenshot once the screen has settled: a window manager decorates and places a new
    // frame after it has taken the client, so the first picture may catch it half drawn.
    void SettledScreenshot(CDibSectionPicture& p) {
        CDibSectionPicture next;
        Screenshot(p);
        ASSERT_TRUE(WaitFor([&] {
            Screenshot(next);
            if (Difference(p, next).empty()) return true;
            p.CopyWithDepth(next, 0);
            return false;
        })) << "the screen never settled";
    }
    // Empty when both are the same, else where they first differ.
    static std::string Difference(const CPicture& a, const CPicture& b) {
        for (int y = 0; y < a.GetHeight(); ++y)
            for (int x = 0; x < a.GetWidth(); ++x)
                if (RgbAt(a, x, y) != RgbAt(b, x, y))
                    return "at " + std::to_string(x) + "," + std::to_string(y);
        return {};
    }
    uint32_t LivePixel(int x, int y) {
        CDibSectionPicture p;
        ShapeMask one(0, 1, 1);
        XSync(d, False);
        CScreenGrabber(d).Grab({x, y, x + 1, y + 1}, one, 0, p);
        return RgbAt(p, 0, 0);
    }
    CCaptureSelection::Action Send(unsigned message, int x, int y) {
        return selection->OnMouse(message, x, y);
    }

    CScreenConnection conn;
    Display* d = nullptr;
    std::vector<Window> windows;
    CCaptureTracker tracker;
    std::unique_ptr<CScreenCanvas> canvas;
    std::unique_ptr<CCaptureSelection> selection;
};

// A client window as a person's program has one: managed (so it carries WM_STATE under the
// window manager's frame), with one child window like a button.
struct ClientWithButton {
    Window client = None, button = None;
};

ClientWithButton MakeClient(Display* d, std::vector<Window>& windows) {
    ClientWithButton c;
    // Clear of the patches, which lie above every managed window.
    c.client = XCreateSimpleWindow(d, DefaultRootWindow(d), 620, 420, 300, 200, 0, 0, 0xE0E0E0);
    XStoreName(d, c.client, "pick test");
    XSizeHints hints{};
    hints.flags = USPosition;
    hints.x = 620;
    hints.y = 420;
    XSetWMNormalHints(d, c.client, &hints);
    c.button = XCreateSimpleWindow(d, c.client, 40, 50, 90, 30, 1, 0x000000, 0x60C060);
    XMapWindow(d, c.button);
    XMapWindow(d, c.client);
    XSync(d, False);
    windows.push_back(c.client);
    return c;
}

bool HasWmState(Display* d, Window w) {
    Atom type = None;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, w, XInternAtom(d, "WM_STATE", False), 0, 1, False, AnyPropertyType, &type,
                       &format, &n, &after, &data);
    if (data) XFree(data);
    return type != None;
}

CRect RectOnRoot(Display* d, Window w) {
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    int x, y;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return {x - a.border_width, y - a.border_width, x + a.width + a.border_width,
            y + a.height + a.border_width};
}

} // namespace

TEST_F(SelectionX11, FeedbackOnTheRootIsErasedToTheLastPixel) {
    ASSERT_FALSE(CScreenCanvas::CompositorRunning(d));
    CDibSectionPicture before, during, after;
    Screenshot(before);

    for (int mode : {TM_RECTANGLE, TM_CIRCLE}) {
        SCOPED_TRACE(mode);
        canvas->BeginSelection();
        EXPECT_FALSE(canvas->UsesOverlay());
        selection->Start(mode);
        Send(MOVE, 100, 100);
        Send(LDOWN, 100, 100);
        for (int i = 1; i <= 20; ++i) Send(MOVE, 100 + 15 * i, 100 + 10 * i);
        Send(RDOWN, 400, 300);
        Send(MOVE, 380, 320);
        EXPECT_NE(LivePixel(250, 200), RgbAt(before, 250, 200)) << "the inside is inverted";
        Screenshot(during);
        EXPECT_NE(Difference(before, during), "");
        EXPECT_EQ(Send(LDOWN, 380, 320), CCaptureSelection::SEL_FINISHED_POST_GRAB);
        Screenshot(after);
        EXPECT_EQ(Difference(before, after), "");
        canvas->EndSelection();
        tracker.Reset();
    }
}

TEST_F(SelectionX11, StarShowsItsCentreUninvertedAndErasesCleanly) {
    CDibSectionPicture before, after;
    Screenshot(before);
    canvas->BeginSelection();
    selection->Start(TM_POLYGON);
    const ShapePoint star[] = {{300, 100}, {359, 281}, {205, 169}, {395, 169}, {241, 281}};
    for (const ShapePoint& p : star) {
        Send(MOVE, p.x, p.y);
        Send(LDOWN, p.x, p.y);
        Send(LUP, p.x, p.y);
        selection->OnTimerTick();
    }
    EXPECT_EQ(LivePixel(300, 200), RgbAt(before, 300, 200)) << "the centre pentagon";
    EXPECT_EQ(LivePixel(300, 130), ~RgbAt(before, 300, 130) & 0xFFFFFF) << "a point";
    // The double click on the last vertex adds nothing.
    Send(LDOWN, 241, 281);
    EXPECT_EQ(Send(LDOWN, 241, 281), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 5);
    Screenshot(after);
    EXPECT_EQ(Difference(before, after), "");
    canvas->EndSelection();
}

// A helper that owns _NET_WM_CM_S0 stands for a compositing manager.
TEST_F(SelectionX11, UnderACompositorTheOverlayShowsTheFrozenScreen) {
    CDibSectionPicture before, after;
    Screenshot(before);
    Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    windows.push_back(owner);
    XSetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False), owner, CurrentTime);
    XSync(d, False);
    ASSERT_TRUE(CScreenCanvas::CompositorRunning(d));

    canvas->BeginSelection();
    ASSERT_TRUE(canvas->UsesOverlay());
    ASSERT_NE(canvas->FrozenScreen(), nullptr);
    Screenshot(after);
    EXPECT_EQ(Difference(before, after), "") << "the overlay shows the screen as it was";

    // What changes underneath does not reach the selection nor the grab.
    XSetWindowBackground(d, windows[0], 0x00FF00);
    XClearWindow(d, windows[0]);
    selection->Start(TM_ELLIPSE);
    Send(LDOWN, 90, 90);
    Send(MOVE, 200, 170);
    EXPECT_NE(LivePixel(145, 130), RgbAt(before, 145, 130));
    EXPECT_EQ(Send(LDOWN, 200, 170), CCaptureSelection::SEL_FINISHED_POST_GRAB);
    Screenshot(after);
    EXPECT_EQ(Difference(before, after), "");

    CDibSectionPicture grabbed;
    ShapeMask mask(tracker.GetShapeKind(), tracker.GetRect().Width(), tracker.GetRect().Height());
    canvas->Grab(tracker.GetRect(), mask, 0x00FF00FF, grabbed);
    ASSERT_EQ(grabbed.GetWidth(), 110);
    ASSERT_EQ(grabbed.GetHeight(), 80);
    EXPECT_EQ(RgbAt(grabbed, 0, 0), 0xFF00FFu) << "outside the ellipse";
    EXPECT_EQ(RgbAt(grabbed, 30, 30), RgbAt(before, 120, 120)) << "the frozen screen";

    canvas->EndSelection();
    EXPECT_FALSE(canvas->UsesOverlay());
    EXPECT_TRUE(WaitFor([&] { return LivePixel(60, 60) == 0x00FF00; }))
        << "the live screen is back";
    XSetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False), None, CurrentTime);
}

TEST_F(SelectionX11, PicksTheChildWindowOrTheWholeFrame) {
    ClientWithButton c = MakeClient(d, windows);
    CRect r, button;
    // The window manager places the frame after it has taken the client.
    ASSERT_TRUE(WaitFor([&] {
        button = RectOnRoot(d, c.button);
        return HasWmState(d, c.client) &&
               WindowFinder::ControlRectAt(d, button.left + 10, button.top + 10, r) && r == button;
    })) << "the window manager never managed the client";
    const CRect client = RectOnRoot(d, c.client);
    const int bx = button.left + 10, by = button.top + 10;
    EXPECT_EQ(r.Width(), 92) << "the border belongs to the window";
    // The client itself and its title bar are no controls.
    EXPECT_FALSE(WindowFinder::ControlRectAt(d, client.left + 250, client.top + 150, r));
    EXPECT_FALSE(WindowFinder::ControlRectAt(d, client.left + 150, client.top - 5, r));

    ASSERT_TRUE(WindowFinder::WindowRectAt(d, client.left + 250, client.top + 150, r));
    const CRect frame = r;
    EXPECT_LT(frame.top, client.top) << "the whole frame, title bar included";
    EXPECT_GE(frame.right, client.right);
    ASSERT_TRUE(WindowFinder::WindowRectAt(d, client.left + 150, client.top - 5, r));
    EXPECT_EQ(r, frame);
    ASSERT_TRUE(WindowFinder::WindowRectAt(d, bx, by, r));
    EXPECT_EQ(r, button);

    // Through the selection: the highlight stays on the button over the frame, the finish
    // inverts it back.
    CDibSectionPicture before, after;
    SettledScreenshot(before);
    selection->Start(TM_CONTROL);
    Send(MOVE, bx, by);
    EXPECT_EQ(LivePixel(bx, by), ~RgbAt(before, bx, by) & 0xFFFFFF);
    Send(MOVE, client.left + 150, client.top - 5);
    EXPECT_EQ(tracker.GetRect(), button);
    EXPECT_EQ(Send(LDOWN, client.left + 150, client.top - 5),
              CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetRect(), button);
    Screenshot(after);
    EXPECT_EQ(Difference(before, after), "");
}

TEST_F(SelectionX11, PickLooksThroughTheOverlay) {
    ClientWithButton c = MakeClient(d, windows);
    CRect r, button;
    ASSERT_TRUE(WaitFor([&] {
        button = RectOnRoot(d, c.button);
        return HasWmState(d, c.client) &&
               WindowFinder::ControlRectAt(d, button.left + 5, button.top + 5, r) && r == button;
    }));
    Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    windows.push_back(owner);
    XSetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False), owner, CurrentTime);
    canvas->BeginSelection();
    ASSERT_TRUE(canvas->UsesOverlay());
    EXPECT_TRUE(canvas->FindWindowAt({button.left + 5, button.top + 5}, true, r));
    EXPECT_EQ(r, button);
    canvas->EndSelection();
    XSetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S0", False), None, CurrentTime);
}
