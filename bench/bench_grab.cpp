// Screen grabs need an X server: run inside a private session, for example
//   /usr/bin/python3 tests/e2e/run_in_xsession.py --size 1920x1080x24 -- build/bin/bench_grab
#include <benchmark/benchmark.h>

#include "capture/ScreenGrab.h"
#include "imagefile/Picture.h"

namespace {

void BM_GrabDesktop(benchmark::State& state) {
    CScreenConnection conn;
    if (!conn.Open()) {
        state.SkipWithError("no X display");
        return;
    }
    CScreenGrabber grabber(conn.Get());
    const CRect desk = WindowFinder::DesktopRect(conn.Get());
    ShapeMask mask(int(state.range(0)), desk.Width(), desk.Height(),
                   {{0, 0}, {desk.Width(), desk.Height() / 3}, {desk.Width() / 4, desk.Height()}});
    CDibSectionPicture picture;
    for (auto _ : state) {
        grabber.Grab(desk, mask, 0x00FF00FF, picture);
        benchmark::DoNotOptimize(picture.GetBits());
    }
    state.SetLabel(std::to_string(desk.Width()) + "x" + std::to_string(desk.Height()) +
                   (state.range(0) == 0   ? " rectangle"
                    : state.range(0) == 2 ? " ellipse"
                                          : " polygon") +
                   (grabber.UsesSharedMemory() ? " shm" : " XGetImage"));
}
BENCHMARK(BM_GrabDesktop)->Arg(0)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace
