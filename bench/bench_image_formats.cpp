// Decode and encode of a 1920 x 1080 screenshot-like picture in each written format. The
// encoded files stay in $ORVANE_BENCH_DIR (default /tmp/orvane-bench) so that
// compare_pillow.py can time Pillow on exactly the same files.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchPictures.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureEncoder.h"

namespace {

const std::string& BenchDir() {
    static const std::string dir = [] {
        const char* env = std::getenv("ORVANE_BENCH_DIR");
        std::string d = env && *env ? env : "/tmp/orvane-bench";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

const CPicture& Screenshot() {
    static CDibSectionPicture picture;
    if (picture.GetWidth() != 1920) bench::MakeScreenshotLike(picture, 1920, 1080);
    return picture;
}

std::string SamplePath(const char* ext) {
    return BenchDir() + "/screenshot." + ext;
}

void Encode(benchmark::State& state, const char* ext) {
    const CPicture& picture = Screenshot();
    const std::string path = SamplePath(ext);
    for (auto _ : state) EncodePictureByExtension(path, picture);
}

void Decode(benchmark::State& state, const char* ext) {
    const std::string path = SamplePath(ext);
    if (!std::filesystem::exists(path)) EncodePictureByExtension(path, Screenshot());
    // One picture for every run: its pixel block is reused, as the document's would be.
    CDibSectionPicture picture;
    ImageDecoder decoder;
    for (auto _ : state) {
        decoder.MakePictureFromFile(path, picture);
        benchmark::DoNotOptimize(picture.GetBits());
    }
}

} // namespace

BENCHMARK_CAPTURE(Encode, bmp, "bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, png, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, jpg, "jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, gif, "gif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, tif, "tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, bmp, "bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, png, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, jpg, "jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, gif, "gif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, tif, "tif")->Unit(benchmark::kMillisecond);
