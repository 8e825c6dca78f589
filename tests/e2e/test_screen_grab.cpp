// Screen grabs and window finders against a real X server (run inside a private session).
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "capture/CaptureSound.h"
#include "capture/ScreenGrab.h"
#include "imagefile/Picture.h"
#include "tests/e2e/X11TestSupport.h"

namespace {

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(conn.Open()) << "no X display";
        d = conn.Get();
    }
    void TearDown() override {
        for (Window w : windows) XDestroyWindow(d, w);
        XSync(d, False);
    }

    // An override-redirect window of one colour, placed exactly where asked.
    Window Patch(int x, int y, int w, int h, unsigned long rgb, const char* type = nullptr) {
        windows.push_back(MakePatch(d, x, y, w, h, rgb, type));
        return windows.back();
    }

    uint32_t ScreenPixel(int x, int y) {
        CDibSectionPicture p;
        ShapeMask all(0, 1, 1);
        CScreenGrabber(d).Grab({x, y, x + 1, y + 1}, all, 0, p);
        return PixelAt(p, 0, 0) & 0xFFFFFF;
    }

    CScreenConnection conn;
    Display* d = nullptr;
    std::vector<Window> windows;
};

} // namespace

TEST_F(X11Test, GrabsScreenPixelsMaskedToTheShape) {
    Patch(50, 60, 200, 100, 0xFF0000);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(149, 109) == 0xFF0000; }));
    CScreenGrabber grabber(d);
    EXPECT_TRUE(grabber.UsesSharedMemory());
    CDibSectionPicture p;

    ShapeMask rect(0, 200, 100);
    grabber.Grab({50, 60, 250, 160}, rect, 0x00FF00FF, p);
    ASSERT_EQ(p.GetWidth(), 200);
    ASSERT_EQ(p.GetHeight(), 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) ASSERT_EQ(PixelAt(p, x, y), 0xFFFF0000u) << x << "," << y;

    // An ellipse: magenta corners (colour references are 0x00BBGGRR), the screen inside.
    ShapeMask ellipse(2, 200, 100);
    grabber.Grab({50, 60, 250, 160}, ellipse, 0x00FF00FF, p);
    for (auto [x, y] : {std::pair{0, 0}, {199, 0}, {0, 99}, {199, 99}})
        EXPECT_EQ(PixelAt(p, x, y), 0xFFFF00FFu);
    EXPECT_EQ(PixelAt(p, 100, 50), 0xFFFF0000u);

    // White as the background colour.
    grabber.Grab({50, 60, 250, 160}, ellipse, 0x00FFFFFF, p);
    EXPECT_EQ(PixelAt(p, 0, 0), 0xFFFFFFFFu);

    // Kind 1 copies nothing.
    ShapeMask none(1, 200, 100);
    grabber.Grab({50, 60, 250, 160}, none, 0x00123456, p);
    EXPECT_EQ(PixelAt(p, 100, 50), 0xFF563412u);
}

TEST_F(X11Test, GrabsAcrossTheScreenEdgeAndTheWholeScreen) {
    Patch(0, 0, 20, 20, 0x00FF00);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(5, 5) == 0x00FF00; }));
    CScreenGrabber grabber(d);
    CDibSectionPicture p;
    ShapeMask rect(0, 20, 20);
    grabber.Grab({-10, -10, 10, 10}, rect, 0x000000FF, p);
    EXPECT_EQ(PixelAt(p, 0, 0), 0xFFFF0000u);   // off the screen: the background
    EXPECT_EQ(PixelAt(p, 15, 15), 0xFF00FF00u); // on it: the patch

    const CRect desk = WindowFinder::DesktopRect(d);
    EXPECT_EQ(desk, (CRect{0, 0, DisplayWidth(d, 0), DisplayHeight(d, 0)}));
    ShapeMask whole(0, desk.Width(), desk.Height());
    grabber.Grab(desk, whole, 0, p);
    EXPECT_EQ(p.GetWidth(), desk.Width());
    EXPECT_EQ(PixelAt(p, 5, 5), 0xFF00FF00u);
    // A smaller grab after a larger one reuses the shared segment, row by row.
    Patch(30, 40, 3, 2, 0x0000FF);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(31, 41) == 0x0000FF; }));
    ShapeMask small(0, 6, 6);
    grabber.Grab({28, 38, 34, 44}, small, 0, p);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inPatch = x >= 2 && x < 5 && y >= 2 && y < 4;
            EXPECT_EQ(PixelAt(p, x, y), inPatch ? 0xFF0000FFu : 0xFF000000u) << x << "," << y;
        }
}

TEST_F(X11Test, FindsTheTopmostOpenMenu) {
    CRect r;
    EXPECT_FALSE(WindowFinder::OpenMenuRect(d, r));
    Patch(300, 300, 80, 40, 0x0000FF, "_NET_WM_WINDOW_TYPE_TOOLTIP");
    EXPECT_FALSE(WindowFinder::OpenMenuRect(d, r));
    Patch(100, 120, 150, 200, 0x0000FF, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
    ASSERT_TRUE(WindowFinder::OpenMenuRect(d, r));
    EXPECT_EQ(r, (CRect{100, 120, 250, 320}));
    // A submenu opened above it is the one taken; an untyped popup counts as a menu.
    Window sub = Patch(250, 140, 90, 60, 0x00FFFF);
    ASSERT_TRUE(WindowFinder::OpenMenuRect(d, r));
    EXPECT_EQ(r, (CRect{250, 140, 340, 200}));
    XUnmapWindow(d, sub);
    XSync(d, False);
    ASSERT_TRUE(WindowFinder::OpenMenuRect(d, r));
    EXPECT_EQ(r, (CRect{100, 120, 250, 320}));
}

TEST_F(X11Test, FindsTheActiveWindowAndItsClientArea) {
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 300, 200, 0, 0, 0xFFFFFF);
    windows.push_back(w);
    XStoreName(d, w, "finder test");
    XMapWindow(d, w);
    XSync(d, False);
    const Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    auto activeWindow = [&]() -> Window {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        Window result = None;
        if (XGetWindowProperty(d, DefaultRootWindow(d), active, 0, 1, False, XA_WINDOW, &type,
                               &format, &n, &after, &data) == Success &&
            data && n)
            result = *reinterpret_cast<Window*>(data);
        if (data) XFree(data);
        return result;
    };
    ASSERT_TRUE(WaitFor([&] { return activeWindow() == w; }))
        << "the window manager never activated it";

    CRect client, frame;
    ASSERT_TRUE(WaitFor([&] {
        return WindowFinder::ClientAreaRect(d, 0, client) && client.Width() == 300 &&
               client.Height() == 200;
    }));
    ASSERT_TRUE(WindowFinder::ActiveWindowRect(d, 0, frame));
    // The frame holds the client with the decorations around it.
    EXPECT_LE(frame.left, client.left);
    EXPECT_LT(frame.top, client.top);
    EXPECT_GE(frame.right, client.right);
    EXPECT_GE(frame.bottom, client.bottom);
    EXPECT_GT(frame.Width() * frame.Height(), 300 * 200);

    // The program's own window is never the active window to capture.
    EXPECT_FALSE(WindowFinder::ActiveWindowRect(d, w, frame));
    EXPECT_FALSE(WindowFinder::ClientAreaRect(d, w, client));
}

TEST(CaptureSound, ReadsOurWaveAndRefusesBrokenOnes) {
    std::FILE* f = std::fopen(ORVANE_SOURCE_DIR "/resources/sounds/capture.wav", "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> wav(65536);
    wav.resize(std::fread(wav.data(), 1, wav.size(), f));
    std::fclose(f);
    WaveData w;
    ASSERT_TRUE(ParseWave(wav.data(), wav.size(), w));
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.bitsPerSample, 16);
    EXPECT_EQ(w.size, wav.size() - 44);
    for (size_t cut : {size_t(0), size_t(11), size_t(30), size_t(43), wav.size() - 1})
        EXPECT_FALSE(ParseWave(wav.data(), cut, w)) << cut;
    // Without a sound service the call returns at once and nothing breaks.
    PlayWaveAsync(wav);
    PlayWaveAsync(std::vector<uint8_t>(10, 0));
}
