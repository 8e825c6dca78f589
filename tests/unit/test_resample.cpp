// The resampling engine against a scalar reference written straight from the formulas: the
// weight table per pass, the horizontal pass into bytes, then the vertical pass column by
// column.
#include <cmath>

#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "editor/Resample.h"
#include "imagefile/Bands.h"

using namespace edtest;

namespace {

const double kPi = 3.14159265358979323846;

enum class K { Bilinear, Box, Gaussian, Hamming };

double RefKernel(K k, double x, double r) {
    switch (k) {
    case K::Bilinear:
        return std::fabs(x) < r ? r - std::fabs(x) : 0;
    case K::Box:
        return std::fabs(x) <= r ? 1 : 0;
    case K::Gaussian:
        return std::fabs(x) <= r ? std::exp(-x * x / r - 1) / std::sqrt(2 * kPi) : 0;
    case K::Hamming:
        if (std::fabs(x) > r) return 0;
        return (0.54 + 0.46 * std::cos(2 * kPi * x)) * (x == 0 ? 1 : std::sin(kPi * x) / (kPi * x));
    }
    return 0;
}

struct Window {
    int left;
    std::vector<double> w;
};

std::vector<Window> RefTable(int outSize, int inSize, double r, K k) {
    const double scale = double(outSize) / inSize;
    const double width = scale >= 1 ? r : r / scale, f = scale >= 1 ? 1 : scale;
    const int room = 2 * int(std::ceil(width)) + 1;
    std::vector<Window> t;
    for (int i = 0; i < outSize; ++i) {
        const double center = i / scale;
        int left = std::max(0, int(std::floor(center - width)));
        int right = std::min(inSize - 1, int(std::ceil(center + width)));
        if (right - left + 1 > room) {
            if (left < inSize)
                left++;
            else
                right--;
        }
        Window win{left, {}};
        double sum = 0;
        for (int j = left; j <= right; ++j) {
            win.w.push_back(f * RefKernel(k, (center - j) * f, r));
            sum += win.w.back();
        }
        if (sum > 0)
            for (double& w : win.w) w /= sum;
        t.push_back(win);
    }
    return t;
}

int g_outOfRange = 0; // sums the clamp had to catch, to show the test reaches it

uint8_t RefStore(double sum) {
    const double v = std::trunc(sum + 0.5);
    if (v < 0 || v > 255) ++g_outOfRange;
    return uint8_t(std::clamp(v, 0.0, 255.0));
}

Image RefResize(const Image& s, int outW, int outH, double r, K k) {
    Image mid{outW, s.height, std::vector<uint8_t>(size_t(outW) * s.height * 4)};
    const auto h = RefTable(outW, s.width, r, k);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < outW; ++x)
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (size_t j = 0; j < h[x].w.size(); ++j)
                    sum += h[x].w[j] * s.bytes[(size_t(y) * s.width + h[x].left + j) * 4 + c];
                mid.at(x, y)[c] = RefStore(sum);
            }
    Image d{outW, outH, std::vector<uint8_t>(size_t(outW) * outH * 4)};
    const auto v = RefTable(outH, s.height, r, k);
    for (int x = 0; x < outW; ++x)
        for (int y = 0; y < outH; ++y)
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (size_t j = 0; j < v[y].w.size(); ++j)
                    sum += v[y].w[j] * mid.at(x, v[y].left + int(j))[c];
                d.at(x, y)[c] = RefStore(sum);
            }
    return d;
}

std::unique_ptr<ResizeFilter> Make(K k, int w, int h, double r, ProgressSink* sink = nullptr) {
    switch (k) {
    case K::Bilinear:
        return std::make_unique<BilinearResizeFilter>(w, h, sink);
    case K::Box:
        return std::make_unique<BoxResizeFilter>(w, h, r, sink);
    case K::Gaussian:
        return std::make_unique<GaussianResizeFilter>(w, h, r, sink);
    case K::Hamming:
        return std::make_unique<HammingResizeFilter>(w, h, r, sink);
    }
    return nullptr;
}

struct Case {
    int w, h, outW, outH;
};

} // namespace

TEST(ResampleExact, EveryKernelUpAndDownMatchesTheReference) {
    const Case cases[] = {{37, 23, 111, 61}, {111, 61, 37, 23},   {301, 177, 149, 389},
                          {13, 1, 7, 3},     {1, 1, 5, 3},        {5, 9, 5, 9},
                          {1001, 7, 99, 7},  {255, 263, 513, 131}};
    const double radii[] = {0.01, 0.5, 1.0, 2.37, 5.0, 10.0};
    uint32_t seed = 1;
    const int threadsBefore = GetMaxThreads();
    for (const Case& c : cases) {
        CDibSectionPicture src;
        FillRandom(src, c.w, c.h, seed++);
        const Image s = ToImage(src);
        for (K k : {K::Bilinear, K::Box, K::Gaussian, K::Hamming})
            for (double r : radii) {
                if (k == K::Bilinear && r != 1.0) continue;
                const Image expected = RefResize(s, c.outW, c.outH, r, k);
                for (int variant = 0; variant < 3; ++variant) {
                    // Vector kernels with three threads, with one, and the portable loops.
                    SetMaxThreads(variant == 1 ? 1 : 3);
                    ResizeFilter::EnableVectorKernels(variant != 2);
                    CDibSectionPicture dst;
                    Make(k, c.outW, c.outH, r)->Apply(src, dst);
                    ASSERT_EQ(PixelBytes(dst), expected.bytes)
                        << c.w << "x" << c.h << " -> " << c.outW << "x" << c.outH << " kernel "
                        << int(k) << " r " << r << " variant " << variant;
                }
            }
    }
    SetMaxThreads(threadsBefore);
    ResizeFilter::EnableVectorKernels(true);
    // Hamming with a radius above 1 overshoots at edges: the clamp was needed and applied.
    EXPECT_GT(g_outOfRange, 0);
}

TEST(ResampleExact, EveryVectorWidthMatchesTheReference) {
    // Each width of vector instructions the processor has (wider ones fall back to the
    // narrower), with window sizes from one tap to many and odd widths for the pairs.
    const Case cases[] = {{37, 23, 111, 61}, {111, 61, 37, 23}, {301, 177, 149, 389}, {3, 5, 1, 2}};
    uint32_t seed = 40;
    for (const Case& c : cases) {
        CDibSectionPicture src;
        FillRandom(src, c.w, c.h, seed++);
        const Image s = ToImage(src);
        for (K k : {K::Bilinear, K::Box, K::Hamming})
            for (double r : {0.5, 1.0, 3.0}) {
                if (k == K::Bilinear && r != 1.0) continue;
                const Image expected = RefResize(s, c.outW, c.outH, r, k);
                for (int level = 0; level <= 2; ++level) {
                    ResizeFilter::LimitVectorKernels(level);
                    CDibSectionPicture dst;
                    Make(k, c.outW, c.outH, r)->Apply(src, dst);
                    ASSERT_EQ(PixelBytes(dst), expected.bytes)
                        << c.w << "x" << c.h << " -> " << c.outW << "x" << c.outH << " kernel "
                        << int(k) << " r " << r << " level " << level;
                }
            }
    }
    ResizeFilter::LimitVectorKernels(2);
}

TEST(Resample, BilinearDoublingOfTwoPixels) {
    CDibSectionPicture p, d;
    p.Create(2, 1, 32, false);
    SetPixel(p, 0, 0, 0x00000000);
    SetPixel(p, 1, 0, 0xC8C8C8C8);
    BilinearResizeFilter(4, 1).Apply(p, d);
    EXPECT_EQ(Pixel(d, 0, 0), 0x00000000u);
    EXPECT_EQ(Pixel(d, 1, 0), 0x64646464u);
    EXPECT_EQ(Pixel(d, 2, 0), 0xC8C8C8C8u);
    EXPECT_EQ(Pixel(d, 3, 0), 0xC8C8C8C8u);
}

TEST(Resample, BoxHalfPixelEnlargingAndShrinkingTenfold) {
    CDibSectionPicture p, d;
    p.Create(3, 1, 32, false);
    SetPixel(p, 0, 0, 0x0A0A0A0A);
    SetPixel(p, 1, 0, 0x14141414);
    SetPixel(p, 2, 0, 0x32323232);
    BoxResizeFilter(6, 1, 0.5).Apply(p, d);
    // Centres 0, 0.5, 1, 1.5, 2, 2.5: at half-way both neighbours weigh the same.
    const uint32_t want[] = {0x0A0A0A0A, 0x0F0F0F0F, 0x14141414,
                             0x23232323, 0x32323232, 0x32323232};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(d, x, 0), want[x]) << x;

    // 1000 -> 100: output i averages the inputs within 5 of i * 10.
    const ContributionTable t(100, 1000, 0.5, BoxKernel);
    for (int i : {0, 1, 50, 99}) {
        EXPECT_EQ(t.GetLeft(i), std::max(0, 10 * i - 5));
        EXPECT_EQ(t.GetRight(i), std::min(999, 10 * i + 5));
        const int n = t.GetRight(i) - t.GetLeft(i) + 1;
        for (int k = 0; k < n; ++k) EXPECT_DOUBLE_EQ(t.GetWeights(i)[k], 1.0 / n);
    }
    p.Create(1000, 1, 32, false);
    for (int x = 0; x < 1000; ++x) SetPixel(p, x, 0, x % 11 == 0 ? 0xFFFFFFFF : 0);
    BoxResizeFilter(100, 1, 0.5).Apply(p, d);
    EXPECT_EQ(d.GetLineArray()[0][4 * 50], 23); // one white in 11: 255 / 11 = 23.2
}

TEST(Resample, SameSizeBilinearIsTheIdentityGaussianBlurs) {
    CDibSectionPicture p, d;
    FillRandom(p, 31, 17, 77);
    BilinearResizeFilter(31, 17).Apply(p, d);
    EXPECT_EQ(PixelBytes(d), PixelBytes(p));
    GaussianResizeFilter(31, 17, 5.0).Apply(p, d);
    EXPECT_NE(PixelBytes(d), PixelBytes(p));
}

TEST(Resample, ProgressPerRowThenPerColumnFromTheCallingThread) {
    CDibSectionPicture p, d;
    FillRandom(p, 640, 480, 78);
    RecordingSink sink;
    HammingResizeFilter(1280, 720, 1.0, &sink).Apply(p, d);
    ASSERT_EQ(sink.values.size(), 1 + 480 + 1 + 1280 + 1u);
    EXPECT_DOUBLE_EQ(sink.values[0], 0.01);
    EXPECT_DOUBLE_EQ(sink.values[1], 0.5 / 480);
    EXPECT_DOUBLE_EQ(sink.values[480], 0.5);
    EXPECT_DOUBLE_EQ(sink.values[481], 0.5);
    EXPECT_DOUBLE_EQ(sink.values[482], 0.5 + 0.5 / 1280);
    EXPECT_EQ(sink.values.back(), 1.0);
    // After the start value (0.01, above the first row's share) the reports only grow.
    EXPECT_TRUE(std::is_sorted(sink.values.begin() + 1, sink.values.end()));
    EXPECT_FALSE(sink.otherThread);
}

TEST(Resample, AnEightBitSourceIsWidenedAndTheAlphaFlagKept) {
    CDibSectionPicture g, d;
    FillRandom(g, 9, 9, 79, 8);
    BilinearResizeFilter(9, 9).Apply(g, d);
    CDibSectionPicture wide;
    wide.CopyWithDepth(g, 32);
    EXPECT_EQ(PixelBytes(d), PixelBytes(wide));
    wide.SetHasAlpha(true);
    BoxResizeFilter(3, 3, 1).Apply(wide, d);
    EXPECT_TRUE(d.HasAlpha());
}
