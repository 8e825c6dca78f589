#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "imagefile/Picture.h"

// Pictures for benchmarks, the same in every run.
namespace bench {

// Looks like a desktop: flat panels, text-like strokes and a few gradients, few colours.
inline void MakeScreenshotLike(CPicture& p, int width, int height) {
    p.CreateForOverwrite(width, height, 32, false);
    std::mt19937 rng(42);
    const uint32_t panel[] = {0xFFF0F0F0, 0xFFFFFFFF, 0xFF2B579A, 0xFFDDDDDD, 0xFF333333};
    for (int y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(p.GetLineArray()[y]);
        const uint32_t base = panel[(y / 120) % 5];
        for (int x = 0; x < width; ++x) {
            uint32_t c = base;
            if ((y % 24) > 6 && (y % 24) < 18 && ((x / 3 + y / 24) % 7) < 3) c = 0xFF101010;
            if (y < 40) c = 0xFF000000 | uint32_t(x * 255 / width) << 16 | 0x4060;
            row[x] = c;
        }
    }
}

// Looks like a photograph: smooth variation plus noise, many colours.
inline void MakePhotoLike(CPicture& p, int width, int height) {
    p.CreateForOverwrite(width, height, 32, false);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.GetLineArray()[y];
        for (int x = 0; x < width; ++x) {
            const uint32_t n = rng();
            row[4 * x] = uint8_t((x * 255 / width + (n & 15)) & 255);
            row[4 * x + 1] = uint8_t((y * 255 / height + ((n >> 4) & 15)) & 255);
            row[4 * x + 2] = uint8_t(((x + y) * 127 / (width + height) + ((n >> 8) & 31)) & 255);
            row[4 * x + 3] = 255;
        }
    }
}

} // namespace bench
