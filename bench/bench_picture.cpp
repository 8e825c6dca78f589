#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "imagefile/Picture.h"

namespace {

void BM_CopyWithDepth32To8(benchmark::State& state) {
    const int mode = int(state.range(0));
    const bool photo = state.range(1) != 0;
    CDibSectionPicture src, dst;
    if (photo)
        bench::MakePhotoLike(src, 1920, 1080);
    else
        bench::MakeScreenshotLike(src, 1920, 1080);
    dst.SetDitherPaletteMode(mode);
    for (auto _ : state) {
        dst.CopyWithDepth(src, 8);
        benchmark::DoNotOptimize(dst.GetBits());
    }
    state.SetLabel(std::string(mode == 0   ? "median-cut"
                               : mode == 1 ? "popularity"
                                           : "fixed") +
                   (photo ? " photo" : " screen"));
}
BENCHMARK(BM_CopyWithDepth32To8)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_CopyWithDepth8To32(benchmark::State& state) {
    CDibSectionPicture wide, src, dst;
    bench::MakePhotoLike(wide, 1920, 1080);
    src.CopyWithDepth(wide, 8);
    for (auto _ : state) {
        dst.CopyWithDepth(src, 32);
        benchmark::DoNotOptimize(dst.GetBits());
    }
}
BENCHMARK(BM_CopyWithDepth8To32)->Unit(benchmark::kMillisecond);

// A fresh 4K picture and a conversion into it: the cost should be one pass over its memory.
void BM_Create4KAndConvert(benchmark::State& state) {
    CDibSectionPicture src;
    bench::MakeScreenshotLike(src, 3840, 2160);
    for (auto _ : state) {
        CDibSectionPicture dst;
        dst.CopyWithDepth(src, 32);
        benchmark::DoNotOptimize(dst.GetBits());
    }
}
BENCHMARK(BM_Create4KAndConvert)->Unit(benchmark::kMillisecond);

// The same conversion into a picture that is reused, as the editor's hot paths do.
void BM_Reuse4KAndConvert(benchmark::State& state) {
    CDibSectionPicture src, dst;
    bench::MakeScreenshotLike(src, 3840, 2160);
    for (auto _ : state) {
        dst.CopyWithDepth(src, 32);
        benchmark::DoNotOptimize(dst.GetBits());
    }
}
BENCHMARK(BM_Reuse4KAndConvert)->Unit(benchmark::kMillisecond);

void BM_Memcpy4K(benchmark::State& state) {
    CDibSectionPicture src, dst;
    bench::MakeScreenshotLike(src, 3840, 2160);
    dst.Create(3840, 2160, 32, false);
    for (auto _ : state) {
        std::memcpy(dst.GetBits(), src.GetBits(), size_t(3840) * 2160 * 4);
        benchmark::DoNotOptimize(dst.GetBits());
    }
}
BENCHMARK(BM_Memcpy4K)->Unit(benchmark::kMillisecond);

} // namespace
