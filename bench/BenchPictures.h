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

// A desktop as a capture shows it: a gradient wallpaper, windows with title bars, flat
// panels and lines of anti-aliased text in a small made-up font, icons, a task bar, and a
// photograph shown in one of the windows.
inline void MakeDesktopLike(CPicture& p, int width, int height) {
    p.CreateForOverwrite(width, height, 32, false);
    std::mt19937 rng(11);
    const auto put = [&](int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            std::memcpy(p.GetLineArray()[y] + 4 * x, &c, 4);
    };
    const auto fill = [&](int x0, int y0, int w, int h, uint32_t c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) put(x, y, c);
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            put(x, y,
                0xFF000000u | uint32_t(40 + y * 80 / height) << 16 |
                    uint32_t(60 + x * 90 / width) << 8 |
                    uint32_t(120 + (x + y) * 100 / (width + height)));
    // 64 glyphs of 7 x 12 with four levels of ink, as anti-aliased text has.
    uint8_t glyphs[64][12][7];
    for (auto& g : glyphs)
        for (auto& row : g)
            for (auto& v : row) v = uint8_t(rng() % 7 < 3 ? rng() % 4 : 0);
    const uint32_t ink[4] = {0, 0xFFB0B0B0, 0xFF707070, 0xFF202020};
    const auto text = [&](int x0, int y0, int w, int h) {
        for (int line = y0; line + 12 <= y0 + h; line += 18) {
            int x = x0;
            while (x + 7 <= x0 + w) {
                const int word = 2 + int(rng() % 9);
                for (int i = 0; i < word && x + 7 <= x0 + w; ++i, x += 8) {
                    const auto& g = glyphs[rng() % 64];
                    for (int gy = 0; gy < 12; ++gy)
                        for (int gx = 0; gx < 7; ++gx)
                            if (g[gy][gx]) put(x + gx, line + gy, ink[g[gy][gx]]);
                }
                x += 8;
                if (rng() % 12 == 0) break; // a short line
            }
        }
    };
    // Windows, back to front; the last shows a photograph.
    const int windows[][4] = {{120, 80, 1500, 1100},
                              {900, 300, 1700, 1300},
                              {2100, 150, 1600, 900},
                              {2300, 1000, 1400, 950},
                              {300, 1250, 1200, 800}};
    for (int i = 0; i < 5; ++i) {
        const int x0 = windows[i][0], y0 = windows[i][1], w = windows[i][2], h = windows[i][3];
        for (int x = x0; x < x0 + w; ++x) // title bar gradient
            for (int y = y0; y < y0 + 32; ++y)
                put(x, y,
                    0xFF000000u | uint32_t(30 + 60 * (x - x0) / w) << 16 |
                        uint32_t(80 + 60 * (x - x0) / w) << 8 | 200);
        fill(x0, y0 + 32, w, h - 32, 0xFFFFFFFF);
        fill(x0, y0 + 32, w, 28, 0xFFF0F0F0); // menu bar
        fill(x0, y0 + 32, 1, h - 32, 0xFF808080);
        fill(x0 + w - 1, y0 + 32, 1, h - 32, 0xFF808080);
        text(x0 + 10, y0 + 8, w / 3, 14);
        if (i == 4) {
            text(x0 + 20, y0 + 80, w - 40, 100);
            for (int y = y0 + 200; y < y0 + h - 20 && y < height; ++y)
                for (int x = x0 + 20; x < x0 + w - 20; ++x) {
                    const uint32_t n = rng();
                    put(x, y,
                        0xFF000000u | uint32_t((x * 255 / width + (n & 31)) & 255) << 16 |
                            uint32_t((y * 255 / height + ((n >> 5) & 31)) & 255) << 8 |
                            uint32_t(((x + y) * 127 / (width + height) + ((n >> 10) & 31)) & 255));
                }
        } else {
            fill(x0 + 1, y0 + 60, 220, h - 60, 0xFFF5F6F8); // a side panel
            text(x0 + 10, y0 + 70, 200, h - 80);
            text(x0 + 240, y0 + 70, w - 260, h - 80);
        }
    }
    // Icons on the desktop and the task bar.
    for (int i = 0; i < 12; ++i) fill(20, 40 + i * 90, 48, 48, 0xFF000000u | (rng() & 0xFFFFFF));
    fill(0, height - 48, width, 48, 0xFF202428);
    for (int i = 0; i < 10; ++i)
        fill(60 + i * 56, height - 40, 32, 32, 0xFF000000u | (rng() & 0xFFFFFF));
    text(width - 200, height - 34, 180, 20);
}

} // namespace bench
