#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "editor/Filters.h"
#include "editor/Resample.h"
#include "tools/ConvertOperations.h"

using namespace convertops;
using namespace edtest;

namespace {

ParseResult Parse(std::vector<std::string> args) {
    return ParseOperations(args);
}

std::string Error(std::vector<std::string> args) {
    return ParseOperations(args).error;
}

} // namespace

TEST(ConvertOperations, KeepsOrderAndHandsBackOtherArguments) {
    const ParseResult r = Parse({"in.png", "--resize", "10", "20", "--bpp", "8", "--filter",
                                 "hamming", "--invert", "--radius", "0.5", "--brightness", "-40",
                                 "--rotate90", "cw", "out.bmp", "--", "--invert"});
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.operations.size(), 4u);
    EXPECT_EQ(r.operations[0], (Operation{Kind::Resize, {10, 20}}));
    EXPECT_EQ(r.operations[1].kind, Kind::Invert);
    EXPECT_EQ(r.operations[2], (Operation{Kind::Brightness, {-40}}));
    EXPECT_EQ(r.operations[3], (Operation{Kind::Rotate90, {1}}));
    EXPECT_EQ(r.settings.method, Method::Hamming);
    EXPECT_EQ(r.settings.radiusSteps, 50);
    EXPECT_EQ(r.rest,
              (std::vector<std::string>{"in.png", "--bpp", "8", "out.bmp", "--", "--invert"}));
    EXPECT_EQ(Parse({}).settings.radiusSteps, 500);
    EXPECT_EQ(Parse({}).settings.background, 0xFF00FFu);
}

TEST(ConvertOperations, OutOfRangeAndMalformedValuesAreUsageErrors) {
    EXPECT_EQ(Error({"--brightness", "101"}),
              "--brightness: V must be between -100 and 100 (got 101)");
    EXPECT_EQ(Error({"--contrast", "10", "256"}),
              "--contrast: OFFSET must be between 0 and 255 (got 256)");
    EXPECT_EQ(Error({"--intensity", "1", "2"}), "--intensity needs 3 values: I OFFSET E");
    EXPECT_EQ(Error({"--scale", "ten"}), "--scale: 'ten' is not a whole number");
    for (auto args : std::vector<std::vector<std::string>>{{"--resize", "2049", "1"},
                                                           {"--scale", "0"},
                                                           {"--stretch", "100", "401"},
                                                           {"--rotate", "361"},
                                                           {"--contrast", "0", "125"},
                                                           {"--intensity", "0", "0", "0"},
                                                           {"--radius", "0.005"},
                                                           {"--radius", "10.01"},
                                                           {"--radius", "1.234"},
                                                           {"--radius", "x"},
                                                           {"--filter", "lanczos"},
                                                           {"--rotate90", "up"},
                                                           {"--flip", "x"},
                                                           {"--background", "12345"},
                                                           {"--background", "gg0000"},
                                                           {"--crop", "5", "5", "5", "9"},
                                                           {"--crop", "-1", "0", "5", "9"},
                                                           {"--resize", "10", "1.5"},
                                                           {"--grayscale", "--flip"}})
        EXPECT_NE(Error(args), "") << args[0] << " " << args[1];
    EXPECT_EQ(Error({"--radius", "10", "--radius", "0.01", "--background", "#00ff00"}), "");
}

TEST(ConvertOperations, RunsEachOperationAsTheEditorDoes) {
    CDibSectionPicture src;
    FillRandom(src, 101, 51, 1);

    auto run = [&](std::vector<std::string> args, CDibSectionPicture& out) {
        out.CopyWithDepth(src, 0);
        const ParseResult r = Parse(args);
        EXPECT_EQ(r.error, "");
        return ApplyOperations(r, out);
    };
    CDibSectionPicture got, want;

    // Scale and stretch sizes use integer division of the picture's size.
    run({"--scale", "50", "--filter", "box", "--radius", "0.5"}, got);
    BoxResizeFilter(50, 25, 0.5).Apply(src, want);
    EXPECT_EQ(PixelBytes(got), PixelBytes(want));
    run({"--stretch", "200", "33"}, got);
    BilinearResizeFilter(202, 16).Apply(src, want);
    EXPECT_EQ(PixelBytes(got), PixelBytes(want));
    // 1 percent of 51 rows is still one row.
    run({"--scale", "1"}, got);
    EXPECT_EQ(got.GetWidth(), 1);
    EXPECT_EQ(got.GetHeight(), 1);

    run({"--brightness", "100", "--contrast", "20", "125"}, got);
    BrightnessFilter(36).Apply(src, want);
    ContrastFilter(2.0, 125).ApplyInPlace(want);
    EXPECT_EQ(PixelBytes(got), PixelBytes(want));

    run({"--intensity", "200", "100", "15"}, got);
    IntensityFilter(200, 100, 15 * 0.1).Apply(src, want);
    EXPECT_EQ(PixelBytes(got), PixelBytes(want));

    run({"--rotate", "30", "--background", "00ff00"}, got);
    EXPECT_EQ(Pixel(got, 0, 0), 0xFF00FF00u);
    run({"--rotate90", "ccw", "--flip", "h", "--flip", "v"}, got);
    RotateFilter(RotateFilter::kQuarterTurn, 0).Apply(src, want);
    FlipHorizontalFilter().ApplyInPlace(want);
    FlipVerticalFilter().ApplyInPlace(want);
    EXPECT_EQ(PixelBytes(got), PixelBytes(want));

    // A crop reaching outside is clipped as the view clips a selection.
    EXPECT_EQ(run({"--crop", "100", "50", "200", "200"}, got), "");
    EXPECT_EQ(got.GetWidth(), 1);
    EXPECT_EQ(Pixel(got, 0, 0), Pixel(src, 100, 50));
    EXPECT_NE(run({"--crop", "101", "0", "200", "10"}, got), "");
}

TEST(ConvertOperations, DepthFollowsTheEditor) {
    CDibSectionPicture gray, p;
    FillRandom(gray, 9, 7, 2, 8);
    ParseResult r = Parse({"--grayscale"});
    p.CopyWithDepth(gray, 0);
    ApplyOperations(r, p);
    EXPECT_EQ(p.GetBitsPerPixel(), 8); // widened for the operation, grey again after it

    r = Parse({"--crop", "1", "1", "4", "4"});
    p.CopyWithDepth(gray, 0);
    ApplyOperations(r, p);
    EXPECT_EQ(p.GetBitsPerPixel(), 8); // crop needs no conversion

    r = Parse({"--grayscale", "--invert"});
    p.CopyWithDepth(gray, 0);
    ApplyOperations(r, p);
    EXPECT_EQ(p.GetBitsPerPixel(), 32);
}
