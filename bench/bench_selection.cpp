// The selection feedback needs an X server: run inside a private session, for example
//   /usr/bin/python3 tests/e2e/run_in_xsession.py --size 1920x1080x24 -- build/bin/bench_selection
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include "capture/CaptureSelection.h"
#include "capture/X11ScreenCanvas.h"

namespace {

// One mouse move while a rectangle stretches: erase the old feedback, move the tip, show the
// new feedback, and wait until the server has drawn it all.
void BM_RectangleStretchStep(benchmark::State& state) {
    CScreenConnection conn;
    if (!conn.Open()) {
        state.SkipWithError("no X display");
        return;
    }
    CScreenCanvas canvas(conn.Get());
    CCaptureTracker tracker;
    tracker.PrepareTip(canvas, "<Orvane Screen> => Left click on the mouse to start the capture",
                       "Size <%1,%2> => Right click to toggle between stretch and move");
    CCaptureSelection selection(tracker, canvas);
    selection.Start(TM_RECTANGLE);
    const int side = int(state.range(0));
    const int x0 = 100, y0 = 100;
    selection.OnMouse(TRACK_LBUTTONDOWN, x0, y0);
    selection.OnMouse(TRACK_MOUSEMOVE, x0 + side, y0 + side / 2);
    int i = 0;
    for (auto _ : state) {
        const int d = (i++ & 1) ? 1 : 0;
        selection.OnMouse(TRACK_MOUSEMOVE, x0 + side + d, y0 + side / 2 + d);
        XSync(conn.Get(), False);
    }
    selection.OnMouse(TRACK_LBUTTONDOWN, x0 + side, y0 + side / 2);
    XSync(conn.Get(), False);
    state.SetLabel(std::to_string(DisplayWidth(conn.Get(), 0)) + "x" +
                   std::to_string(DisplayHeight(conn.Get(), 0)) + " screen, rectangle " +
                   std::to_string(side) + "x" + std::to_string(side / 2));
}
BENCHMARK(BM_RectangleStretchStep)->Arg(200)->Arg(800)->Arg(1700)->Unit(benchmark::kMicrosecond);

} // namespace
