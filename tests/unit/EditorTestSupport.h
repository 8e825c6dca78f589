#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "imagefile/Picture.h"
#include "imagefile/ProgressSink.h"

namespace edtest {

// Random pixels, every byte of every pixel (the fourth too).
inline void FillRandom(CPicture& p, int width, int height, uint32_t seed, uint16_t bpp = 32) {
    p.Create(width, height, bpp, false);
    std::mt19937 rng(seed);
    const int bytes = bpp == 32 ? width * 4 : bpp == 8 ? width : (width + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < bytes; ++x) p.GetLineArray()[y][x] = uint8_t(rng());
}

// The meaningful bytes of each row, without the padding.
inline std::vector<uint8_t> PixelBytes(const CPicture& p) {
    const int bpp = p.GetBitsPerPixel();
    const int bytes = bpp == 32  ? p.GetWidth() * 4
                      : bpp == 8 ? p.GetWidth()
                                 : (p.GetWidth() + 7) / 8;
    std::vector<uint8_t> out;
    for (int y = 0; y < p.GetHeight(); ++y)
        out.insert(out.end(), p.GetLineArray()[y], p.GetLineArray()[y] + bytes);
    return out;
}

inline uint32_t Pixel(const CPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.GetLineArray()[y] + 4 * x, 4);
    return v;
}

inline void SetPixel(CPicture& p, int x, int y, uint32_t v) {
    std::memcpy(p.GetLineArray()[y] + 4 * x, &v, 4);
}

// Records every report and the thread it came from.
struct RecordingSink : ProgressSink {
    std::vector<double> values;
    bool otherThread = false;
    std::thread::id caller = std::this_thread::get_id();
    void OnProgress(double f) override {
        values.push_back(f);
        if (std::this_thread::get_id() != caller) otherThread = true;
    }
};

// A plain expected picture: width, height and four bytes a pixel, top row first.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    uint8_t* at(int x, int y) { return &bytes[(size_t(y) * width + x) * 4]; }
};

inline Image ToImage(const CPicture& p) {
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
    return {p.GetWidth(), p.GetHeight(), PixelBytes(p)};
}

} // namespace edtest
