// Decode and encode of a 1920 x 1080 screenshot-like picture in each written format. The
// encoded files stay in $ORVANE_BENCH_DIR (default /tmp/orvane-bench) so that
// compare_pillow.py can time Pillow on exactly the same files.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// Writes the picture as a TGA (24 bits, raw or run-length coded, bottom row first) or a
// 24-bit PCX, since the program reads these formats but does not write them.
void WriteBuiltinSample(const std::string& path, const char* kind) {
    const CPicture& p = Screenshot();
    const int w = p.GetWidth(), h = p.GetHeight();
    std::string out;
    const auto pixel = [&](int x, int y) { return p.GetLineArray()[y] + 4 * size_t(x); };
    if (std::string(kind) != "pcx") {
        const bool rle = std::string(kind) == "tga_rle";
        const char header[18] = {0,
                                 0,
                                 char(rle ? 10 : 2),
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 char(w & 255),
                                 char(w >> 8),
                                 char(h & 255),
                                 char(h >> 8),
                                 24,
                                 0};
        out.append(header, 18);
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w;) {
                int run = 1;
                while (rle && x + run < w && run < 128 &&
                       std::memcmp(pixel(x, y), pixel(x + run, y), 3) == 0)
                    ++run;
                if (rle && run > 1) {
                    out += char(0x80 | (run - 1));
                    out.append(reinterpret_cast<const char*>(pixel(x, y)), 3);
                } else {
                    int lit = 1;
                    while (rle && x + lit < w && lit < 128 &&
                           std::memcmp(pixel(x + lit - 1, y), pixel(x + lit, y), 3) != 0)
                        ++lit;
                    if (!rle) lit = w - x;
                    if (rle) out += char(lit - 1);
                    for (int i = 0; i < lit; ++i)
                        out.append(reinterpret_cast<const char*>(pixel(x + i, y)), 3);
                    run = lit;
                }
                x += run;
            }
        }
    } else {
        std::string header(128, '\0');
        header[0] = 10, header[1] = 5, header[2] = 1, header[3] = 8;
        header[8] = char((w - 1) & 255), header[9] = char((w - 1) >> 8);
        header[10] = char((h - 1) & 255), header[11] = char((h - 1) >> 8);
        header[65] = 3, header[66] = char(w & 255), header[67] = char(w >> 8);
        out = header;
        for (int y = 0; y < h; ++y)
            for (int plane = 2; plane >= 0; --plane)
                for (int x = 0; x < w;) {
                    const uint8_t v = pixel(x, y)[plane];
                    int run = 1;
                    while (x + run < w && run < 63 && pixel(x + run, y)[plane] == v) ++run;
                    if (run > 1 || v >= 0xC0) out += char(0xC0 | run);
                    out += char(v);
                    x += run;
                }
    }
    std::ofstream(path, std::ios::binary).write(out.data(), std::streamsize(out.size()));
}

void DecodeBuiltin(benchmark::State& state, const char* kind) {
    const std::string path =
        BenchDir() + "/screenshot_" + kind + "." + std::string(kind).substr(0, 3);
    if (!std::filesystem::exists(path)) WriteBuiltinSample(path, kind);
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
BENCHMARK_CAPTURE(DecodeBuiltin, tga_raw, "tga_raw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeBuiltin, tga_rle, "tga_rle")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeBuiltin, pcx, "pcx")->Unit(benchmark::kMillisecond);
