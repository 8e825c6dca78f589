#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "imagefile/ColorQuantizer.h"
#include "imagefile/Picture.h"

namespace {

int BruteNearest(const std::array<RGBAPIXEL, 256>& pal, int r, int g, int b) {
    int best = 0, bestD = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        const int d = std::abs(r - pal[size_t(i)].r) + std::abs(g - pal[size_t(i)].g) +
                      std::abs(b - pal[size_t(i)].b);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

uint32_t PixelAt(const CPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.GetLineArray()[y] + 4 * x, 4);
    return v;
}

} // namespace

TEST(ColorQuantizer, FixedPaletteIsDistinctAndOpaque) {
    const auto& pal = CColorQuantizer::FixedPalette();
    std::set<uint32_t> seen;
    for (const RGBAPIXEL& e : pal) {
        EXPECT_EQ(e.a, 255);
        seen.insert(uint32_t(e.r) << 16 | uint32_t(e.g) << 8 | e.b);
    }
    EXPECT_EQ(seen.size(), 256u);
}

TEST(ColorQuantizer, NearestFixedIndexAgreesWithFullSearch) {
    const auto& pal = CColorQuantizer::FixedPalette();
    // Every colour on a grid that crosses every level boundary, then random colours.
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 7)
                ASSERT_EQ(CColorQuantizer::NearestFixedIndex(uint8_t(r), uint8_t(g), uint8_t(b)),
                          BruteNearest(pal, r, g, b))
                    << r << "," << g << "," << b;
    std::mt19937 rng(7);
    for (int i = 0; i < 100000; ++i) {
        const int r = int(rng() & 255), g = int(rng() & 255), b = int(rng() & 255);
        ASSERT_EQ(CColorQuantizer::NearestFixedIndex(uint8_t(r), uint8_t(g), uint8_t(b)),
                  BruteNearest(pal, r, g, b));
    }
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(CColorQuantizer::NearestFixedIndex(uint8_t(v), uint8_t(v), uint8_t(v)),
                  BruteNearest(pal, v, v, v));
}

class AdaptiveModes : public ::testing::TestWithParam<int> {};

TEST_P(AdaptiveModes, FewColoursAreKeptExactly) {
    CDibPicture src;
    src.Create(50, 40, 32, false);
    std::mt19937 rng(9);
    std::vector<uint32_t> colours(200);
    for (uint32_t& c : colours) c = rng() & 0x00FFFFFF;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            const uint32_t c = colours[size_t((x * 7 + y * 13) % 200)];
            std::memcpy(src.GetLineArray()[y] + 4 * x, &c, 4);
        }
    src.SetDitherPaletteMode(GetParam());
    CDibPicture dst;
    dst.SetDitherPaletteMode(GetParam());
    dst.CopyWithDepth(src, 8);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            const RGBAPIXEL e = dst.GetPalette()[dst.GetLineArray()[y][x]];
            const uint32_t got = uint32_t(e.r) << 16 | uint32_t(e.g) << 8 | e.b;
            ASSERT_EQ(got, PixelAt(src, x, y) & 0x00FFFFFF);
        }
}

TEST_P(AdaptiveModes, ManyColoursStayClose) {
    // A smooth gradient with far more than 256 colours.
    CDibPicture src;
    src.Create(256, 128, 32, false);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint32_t c = uint32_t(x) << 16 | uint32_t(y * 2) << 8 | uint32_t((x + y) & 255);
            std::memcpy(src.GetLineArray()[y] + 4 * x, &c, 4);
        }
    CDibPicture dst;
    dst.SetDitherPaletteMode(GetParam());
    dst.CopyWithDepth(src, 8);
    long long total = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const RGBAPIXEL e = dst.GetPalette()[dst.GetLineArray()[y][x]];
            const uint32_t s = PixelAt(src, x, y);
            total += std::abs(int(e.r) - int((s >> 16) & 255)) +
                     std::abs(int(e.g) - int((s >> 8) & 255)) + std::abs(int(e.b) - int(s & 255));
        }
    const double mean = double(total) / (256 * 128);
    // Median cut spreads its entries over the picture's colours; popularity only has the
    // most frequent cells, which for an even gradient is a poor set.
    EXPECT_LT(mean, GetParam() == CColorQuantizer::MedianCut ? 20.0 : 120.0);
}

INSTANTIATE_TEST_SUITE_P(Modes, AdaptiveModes,
                         ::testing::Values(int(CColorQuantizer::MedianCut),
                                           int(CColorQuantizer::Popularity)));
