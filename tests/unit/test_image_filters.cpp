// Each filter against a straightforward scalar reference of its formula, byte for byte, on
// random pictures of odd sizes, with one and with two threads; then the worked examples.
#include <cmath>

#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "editor/Filters.h"
#include "imagefile/Bands.h"

using namespace edtest;

namespace {

uint8_t ClampTrunc(double v) {
    return v >= 255 ? 255 : v < 0 ? 0 : uint8_t(v);
}

// --- references, one pixel at a time as the formulas are written -------------------------

Image RefRotate(const Image& s, double angle, uint32_t background) {
    const double c = std::cos(-angle), sn = std::sin(-angle);
    auto R = [](double v) { return std::floor(v + 0.5); };
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int cx : {0, s.width - 1})
        for (int cy : {0, s.height - 1}) {
            const double x = R(cx * c - cy * sn), y = R(cx * sn + cy * c);
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    Image d{int(maxX - minX) + 1, int(maxY - minY) + 1, {}};
    d.bytes.resize(size_t(d.width) * d.height * 4);
    for (int i = 0; i < d.height; ++i)
        for (int j = 0; j < d.width; ++j) {
            const double x = minX + j, y = minY + i;
            const double col = R(x * c + y * sn), row = R(y * c - x * sn);
            uint32_t v = background;
            if (col >= 0 && col < s.width && row >= 0 && row < s.height)
                std::memcpy(&v, &s.bytes[(size_t(row) * s.width + size_t(col)) * 4], 4);
            std::memcpy(d.at(j, i), &v, 4);
        }
    return d;
}

template <class ChannelFn> Image RefPerChannel(Image s, ChannelFn fn) {
    for (size_t i = 0; i < s.bytes.size(); i += 4)
        for (int c = 0; c < 3; ++c) s.bytes[i + c] = fn(s.bytes[i + c]);
    return s;
}

Image RefIntensity(Image s, double intensity, double offset, double exponent) {
    const double factor = ((intensity - 20) * 0.25) / std::pow(255.0, exponent);
    for (size_t i = 0; i < s.bytes.size(); i += 4) {
        uint8_t* p = &s.bytes[i];
        const int r = p[2], g = p[1], b = p[0];
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
        double value = mx;
        const double sat = mx == 0 ? 0 : double(mx - mn) * 255 / mx;
        double hue = 0;
        if (sat != 0) {
            if (r == mx)
                hue = double(g - b) / (mx - mn);
            else if (g == mx)
                hue = double(b - r) / (mx - mn) + 2;
            else
                hue = double(r - g) / (mx - mn) + 4;
            hue = hue * 42.5;
            if (hue < 0) hue += 255;
            if (hue > 255) hue -= 255;
        }
        if (value >= offset) value = value * (factor * std::pow(value - offset, exponent) + 1);
        double rr, gg, bb;
        if (int(sat) == 0) {
            rr = gg = bb = value;
        } else {
            const double h = hue * 6 / 255;
            const int sector = int(h);
            const double f = h - sector, v = value / 255, ss = sat / 255;
            const double P = v * (1 - ss) * 255, Q = v * (1 - ss * f) * 255;
            const double T = v * (1 - ss * (1 - f)) * 255, V = v * 255;
            const double table[6][3] = {{V, T, P}, {Q, V, P}, {P, V, T},
                                        {P, Q, V}, {T, P, V}, {V, P, Q}};
            rr = table[sector][0], gg = table[sector][1], bb = table[sector][2];
        }
        p[0] = ClampTrunc(bb), p[1] = ClampTrunc(gg), p[2] = ClampTrunc(rr);
    }
    return s;
}

std::vector<uint8_t> RefGray(const Image& s) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.bytes.size(); i += 4)
        out.push_back(
            uint8_t(0.212671 * s.bytes[i + 2] + 0.71516 * s.bytes[i + 1] + 0.072169 * s.bytes[i]));
    return out;
}

// Runs the filter into a fresh destination with one, two and four threads; all must match.
template <class Filter> void ExpectFilter(Filter& f, const CPicture& src, const Image& expected) {
    const int before = GetMaxThreads();
    for (int threads : {1, 2, 4}) {
        SetMaxThreads(threads);
        CDibSectionPicture dst;
        f.Apply(src, dst);
        ASSERT_EQ(dst.GetWidth(), expected.width);
        ASSERT_EQ(dst.GetHeight(), expected.height);
        EXPECT_EQ(PixelBytes(dst), expected.bytes) << "threads " << threads;
    }
    SetMaxThreads(before);
}

struct Size {
    int w, h;
};
// Odd and awkward sizes; the large one makes the two-thread path run.
const Size kSizes[] = {{1, 1}, {1, 7}, {13, 1}, {37, 23}, {301, 277}};

} // namespace

TEST(ImageFiltersExact, RotateAnyAngleQuarterAndHalfTurns) {
    const double angles[] = {RotateFilter::kQuarterTurn,
                             -RotateFilter::kQuarterTurn,
                             2 * RotateFilter::kQuarterTurn,
                             30 * RotateFilter::kRadiansPerDegree,
                             -127 * RotateFilter::kRadiansPerDegree,
                             180 * RotateFilter::kRadiansPerDegree,
                             360 * RotateFilter::kRadiansPerDegree,
                             0.0};
    uint32_t seed = 1;
    for (const Size& sz : kSizes)
        for (double a : angles) {
            CDibSectionPicture src;
            FillRandom(src, sz.w, sz.h, seed++);
            RotateFilter f(a, 0xFFFF0000);
            ExpectFilter(f, src, RefRotate(ToImage(src), a, 0xFFFF0000));
        }
}

TEST(ImageFiltersExact, QuarterTurnsOntoRowsOfWholeCacheLines) {
    // Destination rows a multiple of 64 bytes long take the block path that writes whole
    // lines; odd heights leave rows after the last block, the line boundaries columns
    // before the first and after the last.
    const Size sizes[] = {{53, 80}, {301, 160}, {17, 48}};
    uint32_t seed = 500;
    for (const Size& sz : sizes)
        for (double a : {RotateFilter::kQuarterTurn, -RotateFilter::kQuarterTurn}) {
            CDibSectionPicture src;
            FillRandom(src, sz.w, sz.h, seed++);
            RotateFilter f(a, 0);
            ExpectFilter(f, src, RefRotate(ToImage(src), a, 0));
        }
}

TEST(ImageFiltersExact, ColourOperationsOverTheirWholeRanges) {
    uint32_t seed = 100;
    for (const Size& sz : kSizes) {
        CDibSectionPicture src;
        FillRandom(src, sz.w, sz.h, seed++);
        const Image s = ToImage(src);
        for (int value : {-100, -37, 0, 55, 100}) {
            const int lightness = int(value * 0.36);
            BrightnessFilter f(lightness);
            const double offset = double(lightness) * 2.55;
            ExpectFilter(f, src,
                         RefPerChannel(s, [&](uint8_t c) { return ClampTrunc(c + offset); }));
        }
        for (int contrast : {1, 10, 20, 100})
            for (int offset : {0, 125, 255}) {
                ContrastFilter f(contrast * 0.1, uint8_t(offset));
                const double k = contrast * 0.1, base = ((offset - 125.0) - 125) * k + 125;
                ExpectFilter(f, src,
                             RefPerChannel(s, [&](uint8_t c) { return ClampTrunc(c * k + base); }));
            }
        for (int intensity : {0, 20, 200})
            for (int offset : {0, 128})
                for (int exponent : {1, 10, 37}) {
                    IntensityFilter f(intensity, uint8_t(offset), exponent * 0.1);
                    ExpectFilter(f, src, RefIntensity(s, intensity, offset, exponent * 0.1));
                }
        InvertFilter inv;
        ExpectFilter(inv, src, RefPerChannel(s, [](uint8_t c) { return uint8_t(~c); }));
    }
}

TEST(ImageFiltersExact, GrayscaleFlipsAndCrop) {
    uint32_t seed = 200;
    for (const Size& sz : kSizes) {
        CDibSectionPicture src;
        FillRandom(src, sz.w, sz.h, seed++);
        const Image s = ToImage(src);

        CDibSectionPicture gray;
        GrayscaleFilter().Apply(src, gray);
        EXPECT_EQ(gray.GetBitsPerPixel(), 8);
        EXPECT_FALSE(gray.HasAlpha());
        EXPECT_EQ(PixelBytes(gray), RefGray(s));
        EXPECT_EQ(gray.GetPalette()[200], (RGBAPIXEL{200, 200, 200, 255}));

        Image h = s, v = s;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                std::memcpy(h.at(x, y), &s.bytes[(size_t(y) * s.width + s.width - 1 - x) * 4], 4);
                std::memcpy(v.at(x, y), &s.bytes[(size_t(s.height - 1 - y) * s.width + x) * 4], 4);
            }
        FlipHorizontalFilter fh;
        ExpectFilter(fh, src, h);
        FlipVerticalFilter fv;
        ExpectFilter(fv, src, v);

        const int l = sz.w / 3, r = sz.w - sz.w / 4, t = sz.h / 2, b = sz.h;
        Image c{r - l, b - t, {}};
        for (int y = t; y < b; ++y)
            c.bytes.insert(c.bytes.end(), &s.bytes[(size_t(y) * s.width + l) * 4],
                           &s.bytes[(size_t(y) * s.width + r) * 4]);
        CropFilter crop(l, r, t, b);
        ExpectFilter(crop, src, c);
    }
}

TEST(ImageFilters, FourQuarterTurnsGiveThePictureBack) {
    CDibSectionPicture p, start;
    FillRandom(p, 10, 8, 5);
    start.CopyWithDepth(p, 0);
    RotateFilter cw(-RotateFilter::kQuarterTurn, 0);
    cw.ApplyInPlace(p);
    EXPECT_EQ(p.GetWidth(), 8);
    EXPECT_EQ(p.GetHeight(), 10);
    // Clockwise on screen: the top-left pixel goes to the top-right corner.
    EXPECT_EQ(Pixel(p, 7, 0), Pixel(start, 0, 0));
    for (int i = 0; i < 3; ++i) cw.ApplyInPlace(p);
    EXPECT_EQ(PixelBytes(p), PixelBytes(start));

    RotateFilter ccw(RotateFilter::kQuarterTurn, 0);
    ccw.ApplyInPlace(p);
    EXPECT_EQ(Pixel(p, 0, 9), Pixel(start, 0, 0));
}

TEST(ImageFilters, ThirtyDegreesOnRedKeepsCornersRedAndInsideFromTheSource) {
    CDibSectionPicture p;
    p.Create(40, 20, 32, false);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) SetPixel(p, x, y, 0x00102030);
    CDibSectionPicture d;
    RotateFilter(30 * RotateFilter::kRadiansPerDegree, 0xFFFF0000).Apply(p, d);
    EXPECT_GT(d.GetWidth(), 40);
    EXPECT_GT(d.GetHeight(), 20);
    for (auto [x, y] : {std::pair{0, 0},
                        {d.GetWidth() - 1, 0},
                        {0, d.GetHeight() - 1},
                        {d.GetWidth() - 1, d.GetHeight() - 1}})
        EXPECT_EQ(Pixel(d, x, y), 0xFFFF0000u);
    EXPECT_EQ(Pixel(d, d.GetWidth() / 2, d.GetHeight() / 2), 0x00102030u);
}

TEST(ImageFilters, WorkedColourExamples) {
    CDibSectionPicture p, d;
    p.Create(2, 1, 32, false);
    SetPixel(p, 0, 0, 0xFFC8C8C8); // channels 200
    SetPixel(p, 1, 0, 0x80646464); // channels 100
    BrightnessFilter(int(100 * 0.36)).Apply(p, d);
    EXPECT_EQ(Pixel(d, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(d, 1, 0), 0x80BFBFBFu); // 191, the fourth byte kept
    ContrastFilter(2.0, 125).Apply(p, d);
    EXPECT_EQ(Pixel(d, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(d, 1, 0), 0x804B4B4Bu); // 75
    ContrastFilter(1.0, 125).Apply(p, d);
    EXPECT_EQ(PixelBytes(d), PixelBytes(p));
}

TEST(ImageFilters, OneColumnFlipAndOtherDepthsAreSafe) {
    CDibSectionPicture p, d;
    FillRandom(p, 1, 9, 3);
    FlipHorizontalFilter().Apply(p, d);
    EXPECT_EQ(PixelBytes(d), PixelBytes(p));

    // An 8-bit picture handed to a four-byte filter is widened first, not overread.
    CDibSectionPicture gray, wide;
    FillRandom(gray, 7, 5, 4, 8);
    wide.CopyWithDepth(gray, 32);
    InvertFilter().Apply(gray, d);
    CDibSectionPicture expected;
    InvertFilter().Apply(wide, expected);
    EXPECT_EQ(PixelBytes(d), PixelBytes(expected));

    // Quarter turns and crops keep 8- and 1-bit pictures at their depth, palette included.
    gray.SetPaletteEntry(3, 1, 2, 3);
    RotateFilter(-RotateFilter::kQuarterTurn, 0).Apply(gray, d);
    EXPECT_EQ(d.GetBitsPerPixel(), 8);
    EXPECT_EQ(d.GetLineArray()[0][4], gray.GetLineArray()[0][0]);
    EXPECT_EQ(d.GetPalette()[3], gray.GetPalette()[3]);

    CDibSectionPicture mono;
    FillRandom(mono, 19, 3, 9, 1);
    CropFilter(5, 17, 1, 3).Apply(mono, d);
    ASSERT_EQ(d.GetBitsPerPixel(), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 12; ++x) {
            const int sx = x + 5;
            EXPECT_EQ((d.GetLineArray()[y][x / 8] >> (7 - x % 8)) & 1,
                      (mono.GetLineArray()[y + 1][sx / 8] >> (7 - sx % 8)) & 1);
        }
}

TEST(ImageFilters, CropIsClippedToThePicture) {
    CDibSectionPicture p, d;
    FillRandom(p, 10, 10, 8);
    CropFilter(-5, 4, 8, 50).Apply(p, d);
    EXPECT_EQ(d.GetWidth(), 4);
    EXPECT_EQ(d.GetHeight(), 2);
    EXPECT_EQ(Pixel(d, 3, 1), Pixel(p, 3, 9));
    EXPECT_THROW(CropFilter(20, 30, 0, 5).Apply(p, d), CTextException);
}

TEST(ImageFilters, MoveOverlappingItsAreaCopiesTheOldPixelsAndFillsTheRest) {
    CDibSectionPicture p, d;
    FillRandom(p, 12, 10, 11);
    const CRect area{2, 2, 6, 6};
    const CRect to{4, 3, 8, 7};
    RegionMoveFilter(area, area, to, 0x00332211, false).Apply(p, d);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            uint32_t want = Pixel(p, x, y);
            if (x >= 2 && x < 6 && y >= 2 && y < 6) want = 0x00112233;
            if (x >= 4 && x < 8 && y >= 3 && y < 7) want = Pixel(p, x - 2, y - 1);
            EXPECT_EQ(Pixel(d, x, y), want) << x << "," << y;
        }
    // Copy keeps the area; a destination reaching outside the picture is clipped.
    RegionMoveFilter({0, 0, 5, 5}, {0, 0, 5, 5}, {9, 8, 14, 13}, 0, true).Apply(p, d);
    EXPECT_EQ(Pixel(d, 0, 0), Pixel(p, 0, 0));
    EXPECT_EQ(Pixel(d, 11, 9), Pixel(p, 2, 1));

    // On an 8-bit picture the fill is the nearest palette entry.
    CDibSectionPicture g;
    FillRandom(g, 6, 6, 12, 8);
    RegionMoveFilter({0, 0, 2, 2}, {0, 0, 2, 2}, {4, 4, 6, 6}, 0x00808080, false).Apply(g, d);
    EXPECT_EQ(d.GetLineArray()[0][0], 128);
}

TEST(ImageFilters, PasteCopiesThePastedAreaAndSkipsRowsOutside) {
    CDibSectionPicture p, pasted, d;
    FillRandom(p, 10, 6, 20);
    FillRandom(pasted, 5, 5, 21);
    PasteFilter f(pasted, {1, 1, 4, 5}, {7, 4, 10, 8});
    f.Apply(p, d);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool in = x >= 7 && y >= 4;
            EXPECT_EQ(Pixel(d, x, y), in ? Pixel(pasted, x - 6, y - 3) : Pixel(p, x, y));
        }
}

TEST(ImageFilters, ProgressStartsOncePerRowEndsAtOneFromTheCallingThread) {
    CDibSectionPicture p, d;
    FillRandom(p, 700, 500, 30);
    RecordingSink sink;
    InvertFilter(&sink).Apply(p, d);
    ASSERT_EQ(sink.values.size(), 502u);
    EXPECT_DOUBLE_EQ(sink.values[0], 0.05);
    EXPECT_DOUBLE_EQ(sink.values[1], 0.05);
    EXPECT_DOUBLE_EQ(sink.values[500], 0.05 + 0.95 * 499 / 500);
    EXPECT_EQ(sink.values.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(sink.values.begin(), sink.values.end()));
    EXPECT_FALSE(sink.otherThread);

    // Rotation divides by the destination height - 1, so its last row reports 1.0.
    RecordingSink rot;
    RotateFilter(-RotateFilter::kQuarterTurn, 0, &rot).Apply(p, d);
    ASSERT_EQ(rot.values.size(), 702u);
    EXPECT_DOUBLE_EQ(rot.values[700], 1.0);
    EXPECT_FALSE(rot.otherThread);

    // A one-row picture has no per-row report for rotation.
    CDibSectionPicture row;
    FillRandom(row, 1, 1, 31);
    RecordingSink one;
    RotateFilter(0.3, 0, &one).Apply(row, d);
    EXPECT_EQ(one.values, (std::vector<double>{0.01, 1.0}));
}

TEST(ImageFilters, ApplyInPlaceChangesSizeAndDepthAndKeepsTheObject) {
    CDibSectionPicture p;
    FillRandom(p, 9, 4, 40);
    CDibSectionPicture expected;
    GrayscaleFilter().Apply(p, expected);
    GrayscaleFilter().ApplyInPlace(p);
    EXPECT_EQ(p.GetBitsPerPixel(), 8);
    EXPECT_EQ(PixelBytes(p), PixelBytes(expected));
    // Applying a filter with the same picture as source and destination works in place.
    RotateFilter r(RotateFilter::kQuarterTurn, 0);
    r.Apply(p, p);
    EXPECT_EQ(p.GetWidth(), 4);
}
