#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "BenchPictures.h"
#include "editor/Filters.h"
#include "editor/Resample.h"
#include "editor/Snapshot.h"
#include "imagefile/Bands.h"

namespace {

// Source pictures built once; every benchmark writes into a destination it reuses, as the
// editor's dialogs and the converter do.
const CPicture& Photo(int width, int height) {
    static CDibSectionPicture big, small;
    CDibSectionPicture& p = width == 3840 ? big : small;
    if (p.GetWidth() != width) bench::MakePhotoLike(p, width, height);
    return p;
}

// Argument 0: 0 = 3840x2160 -> 1920x1080, 1 = 1920x1080 -> 3840x2160. Argument 1: threads.
template <class Make> void Resize(benchmark::State& state, Make make) {
    const bool up = state.range(0) != 0;
    const int threadsBefore = GetMaxThreads();
    SetMaxThreads(int(state.range(1)));
    const CPicture& src = up ? Photo(1920, 1080) : Photo(3840, 2160);
    const int w = up ? 3840 : 1920, h = up ? 2160 : 1080;
    std::unique_ptr<ImageFilter> f = make(w, h);
    CDibSectionPicture dst;
    for (auto _ : state) {
        f->Apply(src, dst);
        benchmark::DoNotOptimize(dst.GetBits());
    }
    state.SetLabel(up ? "up" : "down");
    SetMaxThreads(threadsBefore);
}

void BM_ResizeBilinear(benchmark::State& s) {
    Resize(s, [](int w, int h) { return std::make_unique<BilinearResizeFilter>(w, h); });
}
void BM_ResizeBox(benchmark::State& s) {
    Resize(s, [](int w, int h) { return std::make_unique<BoxResizeFilter>(w, h, 0.5); });
}
void BM_ResizeHamming(benchmark::State& s) {
    Resize(s, [](int w, int h) { return std::make_unique<HammingResizeFilter>(w, h, 1.0); });
}
void BM_ResizeGaussian(benchmark::State& s) {
    Resize(s, [](int w, int h) { return std::make_unique<GaussianResizeFilter>(w, h, 1.0); });
}
BENCHMARK(BM_ResizeBilinear)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeBox)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeHamming)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeGaussian)->ArgsProduct({{0, 1}, {2}})->Unit(benchmark::kMillisecond);

// Point operations and rotations on a 3840x2160 32-bit picture. Argument: threads.
template <class F> void Op(benchmark::State& state, F&& filter) {
    const int threadsBefore = GetMaxThreads();
    SetMaxThreads(int(state.range(0)));
    const CPicture& src = Photo(3840, 2160);
    CDibSectionPicture dst;
    for (auto _ : state) {
        filter.Apply(src, dst);
        benchmark::DoNotOptimize(dst.GetBits());
    }
    SetMaxThreads(threadsBefore);
}

void BM_Memcpy4K(benchmark::State& state) {
    const CPicture& src = Photo(3840, 2160);
    const size_t bytes = size_t(src.GetBytesPerLine()) * size_t(src.GetHeight());
    CDibSectionPicture dst;
    dst.CreateForOverwrite(3840, 2160, 32, false);
    for (auto _ : state) {
        std::memcpy(dst.GetBits(), src.GetBits(), bytes);
        benchmark::DoNotOptimize(dst.GetBits());
    }
}
BENCHMARK(BM_Memcpy4K)->Unit(benchmark::kMillisecond);

void BM_Invert(benchmark::State& s) {
    InvertFilter f;
    Op(s, f);
}
void BM_Grayscale(benchmark::State& s) {
    GrayscaleFilter f;
    Op(s, f);
}
void BM_Brightness(benchmark::State& s) {
    BrightnessFilter f(18);
    Op(s, f);
}
void BM_Contrast(benchmark::State& s) {
    ContrastFilter f(1.5, 140);
    Op(s, f);
}
void BM_FlipHorizontal(benchmark::State& s) {
    FlipHorizontalFilter f;
    Op(s, f);
}
void BM_FlipVertical(benchmark::State& s) {
    FlipVerticalFilter f;
    Op(s, f);
}
void BM_Intensity(benchmark::State& s) {
    IntensityFilter f(60, 100, 1.5);
    Op(s, f);
}
void BM_Rotate90(benchmark::State& s) {
    RotateFilter f(-RotateFilter::kQuarterTurn, 0);
    Op(s, f);
}
void BM_RotateAnyAngle(benchmark::State& s) {
    RotateFilter f(30 * RotateFilter::kRadiansPerDegree, 0xFFFF00FF);
    Op(s, f);
}
BENCHMARK(BM_Invert)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grayscale)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Brightness)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Contrast)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipHorizontal)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipVertical)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Intensity)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate90)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateAnyAngle)->Arg(2)->Unit(benchmark::kMillisecond);

// In place, as the document runs a command: the filter plus the copy back.
void BM_InvertInPlace(benchmark::State& state) {
    CDibSectionPicture p;
    bench::MakePhotoLike(p, 3840, 2160);
    InvertFilter f;
    for (auto _ : state) {
        f.ApplyInPlace(p);
        benchmark::DoNotOptimize(p.GetBits());
    }
}
BENCHMARK(BM_InvertInPlace)->Unit(benchmark::kMillisecond);

// Undo snapshots of a 3840x2160 capture. Argument: 0 = desktop-like, 1 = photo-like.
const CPicture& Capture(int kind) {
    static CDibSectionPicture desktop, photo;
    CDibSectionPicture& p = kind == 0 ? desktop : photo;
    if (p.GetWidth() != 3840) {
        if (kind == 0)
            bench::MakeDesktopLike(p, 3840, 2160);
        else
            bench::MakePhotoLike(p, 3840, 2160);
    }
    return p;
}

void Label(benchmark::State& state, const CPictureSnapshot& s) {
    state.counters["ratio"] = double(s.GetPixelBytes()) / double(s.GetStoredBytes());
    state.SetLabel(state.range(0) == 0 ? "desktop" : "photo");
}

// What a command did before: a new full copy of the picture.
void BM_SnapshotPlainCopy(benchmark::State& state) {
    const CPicture& src = Capture(int(state.range(0)));
    for (auto _ : state) {
        CDibPicture copy;
        copy.CopyWithDepth(src, 0);
        benchmark::DoNotOptimize(copy.GetBits());
    }
    state.SetLabel(state.range(0) == 0 ? "desktop" : "photo");
}
BENCHMARK(BM_SnapshotPlainCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The time a command waits for its snapshot; the compression runs afterwards and is not
// counted, but is let finish outside the timing so that it does not slow the next take.
void BM_SnapshotTake(benchmark::State& state) {
    const CPicture& src = Capture(int(state.range(0)));
    for (auto _ : state) {
        CPictureSnapshot s(src);
        state.PauseTiming();
        s.WaitUntilSettled();
        Label(state, s);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SnapshotTake)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole work of a snapshot, copy and compression, on the band runner's threads.
void BM_SnapshotCompress(benchmark::State& state) {
    const CPicture& src = Capture(int(state.range(0)));
    for (auto _ : state) {
        CPictureSnapshot s(src, CPictureSnapshot::Mode::Immediate);
        benchmark::DoNotOptimize(s.GetStoredBytes());
        state.PauseTiming();
        Label(state, s);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SnapshotCompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the user waits for when a command runs: its snapshot, then the operation, with the
// compression of the snapshot competing for the cores. Argument 1: 0 = a plain copy, as
// before, 1 = compressed in the background.
void BM_SnapshotThenInvert(benchmark::State& state) {
    CDibSectionPicture picture;
    picture.CopyWithDepth(Capture(int(state.range(0))), 0);
    InvertFilter invert;
    const auto mode =
        state.range(1) ? CPictureSnapshot::Mode::Background : CPictureSnapshot::Mode::Plain;
    for (auto _ : state) {
        CPictureSnapshot s(picture, mode);
        invert.ApplyInPlace(picture);
        benchmark::DoNotOptimize(picture.GetBits());
        state.PauseTiming();
        s.WaitUntilSettled();
        state.ResumeTiming();
    }
    state.SetLabel(std::string(state.range(0) == 0 ? "desktop" : "photo") +
                   (state.range(1) ? " compressed" : " plain"));
}
BENCHMARK(BM_SnapshotThenInvert)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// One undo step: the snapshot back into the document's picture.
void BM_SnapshotRestore(benchmark::State& state) {
    const CPicture& src = Capture(int(state.range(0)));
    CPictureSnapshot s(src, CPictureSnapshot::Mode::Immediate);
    CDibSectionPicture target;
    target.CopyWithDepth(src, 0);
    for (auto _ : state) {
        s.RestoreInto(target);
        benchmark::DoNotOptimize(target.GetBits());
    }
    Label(state, s);
}
BENCHMARK(BM_SnapshotRestore)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
