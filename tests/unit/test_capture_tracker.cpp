// Selection geometry without a display. The engine draws through IScreenCanvas; here that
// is a canvas over an array of pixels that performs the same inverting operations. It is
// the one stand-in of the capture tests: the geometry has to be checked where there is no X
// server, and a pixel model is what lets "every drawing is undone" be checked exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "capture/CaptureSelection.h"
#include "capture/CaptureTracker.h"

namespace {

class PixelCanvas : public IScreenCanvas {
public:
    PixelCanvas(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h)) {
        // A pattern in which any misplaced pixel shows.
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
    }

    int ScreenWidth() override { return width; }
    int ScreenHeight() override { return height; }
    void InvertRect(const CRect& r) override {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) Invert(x, y);
    }
    void InvertRects(const CRect* r, int n) override {
        for (int i = 0; i < n; ++i) InvertRect(r[i]);
    }
    void DrawFocusRect(const CRect& r) override {
        if (r.IsEmpty()) return;
        ++focusRects;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const bool edge =
                    y == r.top || y == r.bottom - 1 || x == r.left || x == r.right - 1;
                if (edge && ((x + y) & 1) == 0) Invert(x, y);
            }
    }
    void InvertEllipse(const CRect& r) override {
        if (r.IsEmpty()) return;
        ShapeMask mask(2, r.Width(), r.Height());
        for (int y = 0; y < r.Height(); ++y)
            for (const ShapeSpan& s : mask.Row(y))
                for (int x = s.begin; x < s.end; ++x) Invert(r.left + x, r.top + y);
    }
    void InvertPolygon(const ShapePoint* p, int n) override {
        lastPolygon.assign(p, p + n);
        int x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (int i = 1; i < n; ++i) {
            x0 = std::min(x0, p[i].x), x1 = std::max(x1, p[i].x);
            y0 = std::min(y0, p[i].y), y1 = std::max(y1, p[i].y);
        }
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (InsideEvenOdd(p, n, x + 0.5, y + 0.5)) Invert(x, y);
    }
    void InvertLine(ShapePoint a, ShapePoint b) override {
        ++lines;
        const int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
        for (int i = 0; i <= steps; ++i) {
            const double t = steps ? double(i) / steps : 0;
            Invert(a.x + int(std::lround((b.x - a.x) * t)),
                   a.y + int(std::lround((b.y - a.y) * t)));
        }
    }
    void Beep() override { ++beeps; }
    void MeasureText(const std::string& text, int& w, int& h) override {
        w = int(text.size()) * 7;
        h = 14;
    }
    void CreateTipImages(int w, int h) override {
        tipW = w, tipH = h;
        tipImage.assign(size_t(w * h), 0);
        saveUnder.assign(size_t(w * h), 0);
    }
    void DrawTipText(const std::string& text) override {
        tipText = text;
        std::fill(tipImage.begin(), tipImage.end(), uint32_t(std::hash<std::string>()(text)));
    }
    void SaveUnderTip(int x, int y) override { Copy(x, y, saveUnder, true); }
    void RestoreUnderTip(int x, int y) override { Copy(x, y, saveUnder, false); }
    void ShowTipImage(int x, int y) override {
        Copy(x, y, tipImage, false);
        maxTipRight = std::max(maxTipRight, x + tipW - 1);
        maxTipBottom = std::max(maxTipBottom, y + tipH - 1);
    }
    bool FindActiveWindow(CRect&) override { return false; }
    bool FindClientArea(CRect&) override { return false; }
    bool FindOpenMenu(CRect& out) override {
        out = {5, 6, 70, 80};
        return true;
    }
    CRect DesktopRect() override { return {0, 0, width, height}; }
    // Windows from bottom to top; a child lies inside a top-level client.
    struct Win {
        CRect rect;
        bool child;
    };
    std::vector<Win> windows;
    bool FindWindowAt(ShapePoint p, bool controlOnly, CRect& out) override {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            const CRect& r = it->rect;
            if (p.x < r.left || p.x >= r.right || p.y < r.top || p.y >= r.bottom) continue;
            if (controlOnly && !it->child) return false;
            out = r;
            return true;
        }
        return false;
    }
    void Flush() override { ++flushes; }

    uint32_t& At(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }

    int width, height;
    std::vector<uint32_t> pixels;
    int tipW = 0, tipH = 0;
    std::vector<uint32_t> tipImage, saveUnder;
    std::string tipText;
    std::vector<ShapePoint> lastPolygon;
    int beeps = 0, lines = 0, focusRects = 0, flushes = 0;
    int maxTipRight = -1, maxTipBottom = -1;

private:
    void Invert(int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height) At(x, y) = ~At(x, y);
    }
    void Copy(int x0, int y0, std::vector<uint32_t>& image, bool fromScreen) {
        for (int y = 0; y < tipH; ++y)
            for (int x = 0; x < tipW; ++x) {
                const int sx = x0 + x, sy = y0 + y;
                if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
                uint32_t& img = image[size_t(y * tipW + x)];
                if (fromScreen)
                    img = At(sx, sy);
                else
                    At(sx, sy) = img;
            }
    }
    static bool InsideEvenOdd(const ShapePoint* p, int n, double x, double y) {
        bool inside = false;
        for (int i = 0, j = n - 1; i < n; j = i++) {
            if ((p[i].y > y) != (p[j].y > y) &&
                x < p[j].x + (y - p[j].y) * (p[i].x - p[j].x) / double(p[i].y - p[j].y))
                inside = !inside;
        }
        return inside;
    }
};

constexpr unsigned MOVE = TRACK_MOUSEMOVE, LDOWN = TRACK_LBUTTONDOWN, LUP = TRACK_LBUTTONUP,
                   RDOWN = TRACK_RBUTTONDOWN;

class Selection : public ::testing::Test {
protected:
    Selection() : canvas(1024, 768), selection(tracker, canvas) {
        tracker.PrepareTip(canvas,
                           "<Orvane Screen> => Left click on the mouse to start the capture",
                           "Size <%1,%2> => Right click to toggle between stretch and move");
        original = canvas.pixels;
    }
    CCaptureSelection::Action Send(unsigned message, int x, int y) {
        return selection.OnMouse(message, x, y);
    }
    CCaptureSelection::Action Click(int x, int y) {
        Send(LDOWN, x, y);
        return Send(LUP, x, y);
    }
    bool ScreenUntouched() const { return canvas.pixels == original; }

    PixelCanvas canvas;
    CCaptureTracker tracker;
    CCaptureSelection selection;
    std::vector<uint32_t> original;
};

} // namespace

TEST_F(Selection, SquareKeepsItsAnchorAtTheCornerTheCursorLeft) {
    selection.Start(TM_SQUARE);
    Send(MOVE, 100, 100);
    EXPECT_EQ(canvas.tipText, "<Orvane Screen> => Left click on the mouse to start the capture");
    EXPECT_EQ(Send(LDOWN, 100, 100), CCaptureSelection::SEL_CONTINUE);
    Send(MOVE, 150, 80); // 50 right, 20 up
    EXPECT_EQ(tracker.GetRect(), (CRect{100, 80, 120, 100}));
    EXPECT_EQ(tracker.GetShapeKind(), 0);
    Send(MOVE, 40, 190); // 60 left, 90 down: the smaller distance wins
    EXPECT_EQ(tracker.GetRect(), (CRect{40, 100, 100, 160}));
    // The box shows the size of the shape drawn with it, not the one of the step before.
    EXPECT_EQ(canvas.tipText, "Size <60,60> => Right click to toggle between stretch and move");
    Send(MOVE, 41, 190);
    EXPECT_EQ(canvas.tipText, "Size <59,59> => Right click to toggle between stretch and move");
    EXPECT_EQ(Send(LDOWN, 300, 300), CCaptureSelection::SEL_FINISHED_POST_GRAB);
    EXPECT_EQ(tracker.GetRect(), (CRect{41, 100, 100, 159})) << "the finishing click moves nothing";
    EXPECT_TRUE(ScreenUntouched());
    EXPECT_FALSE(selection.m_bAnchored);
}

TEST_F(Selection, RectangleIsNormalisedAndReleaseOrRightClickDoNotFinish) {
    selection.Start(TM_RECTANGLE);
    Send(RDOWN, 10, 10); // before the anchor: nothing
    EXPECT_FALSE(selection.m_bMoveMode);
    Send(LDOWN, 300, 200);
    Send(MOVE, 250, 150);
    Send(LUP, 250, 150); // a drag's release does not finish
    Send(MOVE, 200, 120);
    EXPECT_EQ(tracker.GetRect(), (CRect{200, 120, 300, 200}));
    EXPECT_EQ(tracker.GetSize().width, 100);
    EXPECT_EQ(tracker.GetSize().height, 80);
    EXPECT_EQ(selection.m_bAnchored, true);

    // Right click: the whole rectangle follows the mouse with its size.
    Send(RDOWN, 200, 120);
    EXPECT_TRUE(selection.m_bMoveMode);
    Send(MOVE, 230, 140);
    Send(MOVE, 260, 170);
    EXPECT_EQ(tracker.GetRect(), (CRect{260, 170, 360, 250}));
    EXPECT_EQ(tracker.GetAnchor(), (ShapePoint{360, 250}));
    // Right click again: it stretches from the moved anchor.
    Send(RDOWN, 260, 170);
    Send(MOVE, 400, 300);
    EXPECT_EQ(tracker.GetRect(), (CRect{360, 250, 400, 300}));
    EXPECT_EQ(Send(LDOWN, 400, 300), CCaptureSelection::SEL_FINISHED_POST_GRAB);
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, TwoClicksInOnePlaceStillFinishWithAnEmptyRectangle) {
    selection.Start(TM_RECTANGLE);
    Send(MOVE, 50, 50);
    EXPECT_EQ(Click(50, 50), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(Send(LDOWN, 50, 50), CCaptureSelection::SEL_FINISHED_POST_GRAB);
    EXPECT_TRUE(tracker.GetRect().IsEmpty());
    EXPECT_TRUE(ScreenUntouched());
    // Messages still queued from the hook after the finish change nothing.
    EXPECT_EQ(Send(MOVE, 80, 80), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(Send(LDOWN, 80, 80), CCaptureSelection::SEL_CONTINUE);
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, AQuickSecondClickFinishesAsADoubleClick) {
    // The pointer grab reports the second press of a quick pair as a double click.
    for (int mode : {int(TM_RECTANGLE), int(TM_SINGLE_WINDOW)}) {
        selection.Start(mode);
        Send(MOVE, 50, 50);
        if (mode == TM_RECTANGLE) {
            EXPECT_EQ(Click(50, 50), CCaptureSelection::SEL_CONTINUE);
        }
        const auto expected = mode == TM_RECTANGLE ? CCaptureSelection::SEL_FINISHED_POST_GRAB
                                                   : CCaptureSelection::SEL_FINISHED_GRAB_NOW;
        EXPECT_EQ(Send(TRACK_LBUTTONDBLCLK, 50, 50), expected) << mode;
        tracker.Reset();
    }
}

TEST_F(Selection, TipStaysOnTheScreenPushedOverTheCursor) {
    selection.Start(TM_RECTANGLE);
    for (int x = 900; x < 1024; x += 3) Send(MOVE, x, 700 + (x - 900) / 2);
    EXPECT_EQ(canvas.maxTipRight, 1019);
    EXPECT_EQ(canvas.maxTipBottom, 763);
    // Near the right edge the box sits left of the cursor, over it.
    const ShapePoint shown = tracker.GetTip().GetShownPosition();
    EXPECT_LT(shown.x, 1021);
    EXPECT_EQ(shown.x, 1024 - tracker.GetTip().GetWidth() - 4);
    Send(LDOWN, 1021, 761);
    Send(MOVE, 500, 400);
    Send(LDOWN, 500, 400);
    EXPECT_TRUE(tracker.GetTip().IsHidden());
    EXPECT_TRUE(ScreenUntouched());
}

// Every mode's feedback, driven through stretches, moves and clicks, leaves the screen as it
// was after the finish; the tip overlapping the shape included.
TEST_F(Selection, FinishErasesExactlyWhatIsShown) {
    for (int mode : {TM_RECTANGLE, TM_SQUARE, TM_ELLIPSE, TM_CIRCLE}) {
        SCOPED_TRACE(mode);
        selection.Start(mode);
        Send(MOVE, 400, 300);
        Send(LDOWN, 400, 300);
        Send(MOVE, 400, 300);
        Send(MOVE, 400, 340); // empty for the rectangle
        for (int i = 0; i < 30; ++i) Send(MOVE, 400 - 7 * i, 300 - 3 * i);
        Send(RDOWN, 0, 0);
        for (int i = 0; i < 10; ++i) Send(MOVE, 190 + 11 * i, 210 - 5 * i);
        Send(RDOWN, 0, 0);
        Send(MOVE, 500, 500);
        EXPECT_NE(canvas.pixels, original);
        EXPECT_EQ(tracker.GetShapeKind(), mode == TM_ELLIPSE || mode == TM_CIRCLE ? 2 : 0);
        EXPECT_EQ(Send(LDOWN, 500, 500), CCaptureSelection::SEL_FINISHED_POST_GRAB);
        EXPECT_TRUE(ScreenUntouched());
        tracker.Reset();
    }
}

// Each step shows exactly the clean screen with the tip on it, inverted by the rectangle, the
// tip overlapping the rectangle or not.
TEST_F(Selection, EveryStretchStepShowsTheRectangleOverTheTip) {
    selection.Start(TM_RECTANGLE);
    Send(MOVE, 400, 300);
    Send(LDOWN, 400, 300);
    auto check = [&] {
        PixelCanvas expected(1024, 768);
        const ShapePoint tip = tracker.GetTip().GetShownPosition();
        for (int y = 0; y < canvas.tipH; ++y)
            for (int x = 0; x < canvas.tipW; ++x)
                expected.At(tip.x + x, tip.y + y) = canvas.tipImage[size_t(y * canvas.tipW + x)];
        expected.DrawFocusRect(tracker.GetRect());
        expected.InvertRect(tracker.GetRect());
        return expected.pixels == canvas.pixels;
    };
    const ShapePoint path[] = {{500, 380}, {520, 390},  {390, 290},  {300, 250}, {305, 251},
                               {390, 295}, {1000, 700}, {1010, 760}, {990, 740}, {410, 310}};
    for (const ShapePoint& p : path) {
        Send(MOVE, p.x, p.y);
        EXPECT_TRUE(check()) << p.x << "," << p.y;
    }
    Send(RDOWN, 0, 0);
    for (const ShapePoint& p : path) {
        Send(MOVE, p.x / 2, p.y / 2);
        EXPECT_TRUE(check()) << "moving " << p.x << "," << p.y;
    }
}

TEST_F(Selection, ControlPickKeepsItsHighlightOverTopLevelWindows) {
    canvas.windows = {
        {{100, 100, 500, 400}, false}, {{120, 150, 200, 180}, true}, {{300, 150, 380, 180}, true}};
    selection.Start(TM_CONTROL);
    Send(MOVE, 130, 160);
    EXPECT_EQ(tracker.GetRect(), (CRect{120, 150, 200, 180}));
    Send(MOVE, 450, 350); // the top-level window itself
    Send(MOVE, 10, 10);   // the desktop
    EXPECT_EQ(tracker.GetRect(), (CRect{120, 150, 200, 180}));
    Send(MOVE, 310, 160);
    EXPECT_EQ(tracker.GetRect(), (CRect{300, 150, 380, 180}));
    Send(RDOWN, 310, 160);
    EXPECT_EQ(Send(LDOWN, 311, 161), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetRect(), (CRect{300, 150, 380, 180}));
    EXPECT_EQ(tracker.GetShapeKind(), 0);
    EXPECT_TRUE(ScreenUntouched());

    tracker.Reset();
    selection.Start(TM_SINGLE_WINDOW);
    Send(MOVE, 450, 350);
    EXPECT_EQ(tracker.GetRect(), (CRect{100, 100, 500, 400}));
    Send(MOVE, 130, 160);
    EXPECT_EQ(tracker.GetRect(), (CRect{120, 150, 200, 180}));
    EXPECT_EQ(Send(LDOWN, 130, 160), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, ImmediateModesTakeTheFindersRectangles) {
    tracker.SetMode(TM_DESKTOP);
    EXPECT_EQ(tracker.TrackStep(canvas, {0, 0}), 1);
    EXPECT_EQ(tracker.GetRect(), (CRect{0, 0, 1024, 768}));
    tracker.SetMode(TM_ACTIVE_WINDOW);
    EXPECT_EQ(tracker.TrackStep(canvas, {0, 0}), 0);
    tracker.SetMode(TM_MENU);
    EXPECT_EQ(tracker.TrackStep(canvas, {0, 0}), 1);
    EXPECT_EQ(tracker.GetRect(), (CRect{5, 6, 70, 80}));
}

TEST_F(Selection, TriangleFinishedByADoubleClickIsGrabbedRelativeToItsBox) {
    selection.Start(TM_POLYGON);
    Send(MOVE, 90, 90);
    Click(100, 100);
    selection.OnTimerTick();
    Send(MOVE, 150, 120); // rubber line
    EXPECT_GT(canvas.lines, 0);
    Click(200, 100);
    selection.OnTimerTick();
    Send(MOVE, 170, 160);
    Click(150, 180);
    Send(MOVE, 150, 180);
    selection.OnTimerTick();
    EXPECT_NE(canvas.pixels, original);
    // The double click: its press repeats the last vertex and adds nothing.
    EXPECT_EQ(Send(LDOWN, 150, 180), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(Send(LUP, 150, 180), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(Send(LDOWN, 150, 180), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 3);
    EXPECT_EQ(tracker.GetRect(), (CRect{100, 100, 200, 180}));
    EXPECT_EQ(tracker.GetShapePoints(), (std::vector<ShapePoint>{{0, 0}, {100, 0}, {50, 80}}));
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, DoubleClickIsTwoPressesOrTwoReleasesInOneTick) {
    selection.Start(TM_POLYGON);
    Click(10, 10); // press and release in tick 0: different counters
    selection.OnTimerTick();
    Send(LDOWN, 50, 10);
    selection.OnTimerTick();
    Send(LUP, 50, 10); // release in tick 2, last release in tick 0
    Send(LDOWN, 50, 60);
    EXPECT_EQ(tracker.GetCount(), 3);
    // Two releases in one tick finish too.
    EXPECT_EQ(Send(LUP, 50, 60), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(selection.m_nLastReleaseTick, 2);

    // A new polygon starts its ticks afresh: its first press in tick 0 is not taken for the
    // second press of the one before, finished by two presses in tick 0.
    tracker.Reset();
    selection.Start(TM_POLYGON);
    Send(LDOWN, 10, 10);
    EXPECT_EQ(Send(LDOWN, 10, 10), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    tracker.Reset();
    selection.Start(TM_POLYGON);
    EXPECT_EQ(selection.m_nClickTick, 0);
    EXPECT_EQ(Send(LDOWN, 10, 10), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(Send(LUP, 10, 10), CCaptureSelection::SEL_CONTINUE);
    EXPECT_EQ(tracker.GetCount(), 1);
}

TEST_F(Selection, PolygonHoldsThirtyFiveVerticesAndBeepsAtTheThirtySixth) {
    selection.Start(TM_POLYGON);
    for (int i = 0; i < 40; ++i) {
        Send(MOVE, 20 + 10 * i, 300 + (i % 2) * 50);
        Send(LDOWN, 20 + 10 * i, 300 + (i % 2) * 50);
        selection.OnTimerTick();
    }
    EXPECT_EQ(tracker.GetCount(), 35);
    EXPECT_EQ(canvas.beeps, 5);
    Send(MOVE, 600, 600);
    EXPECT_EQ(canvas.lastPolygon.size(), 36u) << "the trailing point fills the last slot";
    Send(LDOWN, 600, 600);
    EXPECT_EQ(Send(LDOWN, 600, 600), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 35);
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, MovedPolygonKeepsItsTrailingPointAsAVertex) {
    selection.Start(TM_POLYGON);
    Send(RDOWN, 0, 0); // fewer than two vertices: no move
    Click(100, 100);
    selection.OnTimerTick();
    Send(RDOWN, 0, 0);
    EXPECT_FALSE(tracker.GetPolygonMove());
    Send(MOVE, 150, 150);
    Click(200, 100);
    selection.OnTimerTick();
    Send(MOVE, 200, 200); // trailing point
    Send(RDOWN, 200, 200);
    EXPECT_TRUE(tracker.GetPolygonMove());
    Send(MOVE, 210, 230);  // everything moves by (10, 30)
    Send(LDOWN, 210, 230); // adds nothing while moving
    EXPECT_EQ(tracker.GetCount(), 2);
    EXPECT_EQ(Send(LDOWN, 210, 230), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 3);
    EXPECT_EQ(tracker.GetRect(), (CRect{110, 130, 210, 230}));
    EXPECT_EQ(tracker.GetShapePoints(), (std::vector<ShapePoint>{{0, 0}, {100, 0}, {100, 100}}));
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, PolygonsTooSmallToEncloseAnythingCopyNothing) {
    // One vertex with its rubber line out, finished by two releases.
    selection.Start(TM_POLYGON);
    Send(LDOWN, 100, 100);
    Send(LUP, 100, 100);
    Send(MOVE, 180, 140);
    EXPECT_NE(canvas.pixels, original);
    EXPECT_EQ(Send(LUP, 180, 140), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 1);
    EXPECT_TRUE(ScreenUntouched());

    // Two vertices would otherwise read as an ellipse.
    tracker.Reset();
    selection.Start(TM_POLYGON);
    Click(100, 100);
    selection.OnTimerTick();
    Send(MOVE, 150, 150);
    Send(LDOWN, 200, 160);
    EXPECT_EQ(Send(LDOWN, 200, 160), CCaptureSelection::SEL_FINISHED_GRAB_NOW);
    EXPECT_EQ(tracker.GetShapeKind(), 1);
    EXPECT_EQ(tracker.GetRect(), (CRect{100, 100, 200, 160}));
    EXPECT_TRUE(ScreenUntouched());
}

TEST_F(Selection, StarFeedbackLeavesItsCentreAlone) {
    selection.Start(TM_POLYGON);
    const ShapePoint star[] = {{300, 100}, {359, 281}, {205, 169}, {395, 169}, {241, 281}};
    for (const ShapePoint& p : star) {
        Send(MOVE, p.x, p.y);
        Click(p.x, p.y);
        selection.OnTimerTick();
    }
    Send(MOVE, 300, 100); // the trailing point closes on the first vertex
    EXPECT_EQ(canvas.At(300, 200), original[200 * 1024 + 300]) << "the centre pentagon";
    EXPECT_NE(canvas.At(300, 130), original[130 * 1024 + 300]) << "a point of the star";
}

TEST(CaptureTip, SizeLineFillsBothNumbers) {
    EXPECT_EQ(CCaptureTip::FormatSize("Size <%1,%2> => x", 120, 80), "Size <120,80> => x");
    EXPECT_EQ(CCaptureTip::FormatSize("%2%1%", 1, 2), "21%");
}

TEST(CaptureSelectionInput, UnpacksSignedCoordinates) {
    PixelCanvas canvas(200, 100);
    CCaptureTracker tracker;
    CCaptureSelection selection(tracker, canvas);
    selection.Start(TM_RECTANGLE);
    selection.OnMouseLParam(LDOWN, long(uint32_t(0xFFF6u << 16 | 0xFFFBu))); // (-5, -10)
    EXPECT_EQ(tracker.GetAnchor(), (ShapePoint{-5, -10}));
    EXPECT_EQ(canvas.flushes, 1);
}

// An immediate capture asked for in the middle of a selection ends it first: every kind of
// feedback goes, and the clicks that follow belong to the desktop again.
TEST_F(Selection, CancelErasesWhatIsShownAndIgnoresTheMessagesThatFollow) {
    canvas.windows.push_back({{300, 150, 500, 400}, false});
    canvas.windows.push_back({{310, 160, 340, 180}, true});
    const auto feedback = [&](int mode) {
        selection.Start(mode);
        Send(MOVE, 100, 100);
        if (mode == TM_CONTROL || mode == TM_SINGLE_WINDOW) {
            Send(MOVE, 320, 170);
            return;
        }
        Click(100, 100);
        Send(MOVE, 180, 150); // the rubber line of a polygon's first side
        if (mode != TM_POLYGON) return;
        selection.OnTimerTick();
        Click(200, 100);
        selection.OnTimerTick();
        Send(MOVE, 170, 220); // a region with its trailing point
    };
    for (int mode : {TM_RECTANGLE, TM_SQUARE, TM_ELLIPSE, TM_CIRCLE, TM_POLYGON, TM_CONTROL,
                     TM_SINGLE_WINDOW}) {
        SCOPED_TRACE(mode);
        feedback(mode);
        EXPECT_NE(canvas.pixels, original);
        selection.Cancel();
        EXPECT_FALSE(selection.IsRunning());
        EXPECT_TRUE(ScreenUntouched());
        EXPECT_EQ(tracker.GetMode(), TM_NONE);
        EXPECT_EQ(tracker.GetRect(), CRect{});
        // Two clicks that would have finished it make nothing and draw nothing.
        EXPECT_EQ(Click(300, 300), CCaptureSelection::SEL_CONTINUE);
        EXPECT_EQ(Click(310, 320), CCaptureSelection::SEL_CONTINUE);
        EXPECT_TRUE(ScreenUntouched());
        EXPECT_FALSE(selection.m_bAnchored);
    }
    // A selection that never drew anything cancels to the same clean state.
    selection.Start(TM_RECTANGLE);
    selection.Cancel();
    EXPECT_TRUE(ScreenUntouched());
    selection.Cancel(); // nothing running: nothing happens
    EXPECT_TRUE(ScreenUntouched());
}
