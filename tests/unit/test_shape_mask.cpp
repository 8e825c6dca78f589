#include <gtest/gtest.h>

#include "capture/ShapeMask.h"

namespace {

bool Inside(ShapeMask& mask, int x, int y) {
    for (const ShapeSpan& s : mask.Row(y))
        if (x >= s.begin && x < s.end) return true;
    return false;
}

int CountInside(ShapeMask& mask) {
    int n = 0;
    for (int y = 0; y < mask.Height(); ++y)
        for (const ShapeSpan& s : mask.Row(y)) n += s.end - s.begin;
    return n;
}

} // namespace

TEST(ShapeMask, RectangleIsEverything) {
    ShapeMask mask(0, 7, 3);
    for (int y = 0; y < 3; ++y) {
        ASSERT_EQ(mask.Row(y).size(), 1u);
        EXPECT_EQ(mask.Row(y)[0].begin, 0);
        EXPECT_EQ(mask.Row(y)[0].end, 7);
    }
    EXPECT_TRUE(mask.Row(3).empty());
    ShapeMask nothing(1, 7, 3);
    EXPECT_EQ(CountInside(nothing), 0);
}

TEST(ShapeMask, CircleLeavesCornersOutAndIsSymmetric) {
    ShapeMask mask(2, 100, 100);
    for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 99}, {99, 99}, {10, 10}})
        EXPECT_FALSE(Inside(mask, x, y)) << x << "," << y;
    for (auto [x, y] : {std::pair{50, 50}, {0, 50}, {99, 50}, {50, 0}, {50, 99}})
        EXPECT_TRUE(Inside(mask, x, y)) << x << "," << y;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(Inside(mask, x, y), Inside(mask, 99 - x, y));
            ASSERT_EQ(Inside(mask, x, y), Inside(mask, y, x));
        }
    // Close to pi r^2.
    EXPECT_NEAR(CountInside(mask), 7854, 60);
}

TEST(ShapeMask, TriangleFillsBetweenItsEdges) {
    ShapeMask mask(3, 100, 100, {{0, 0}, {100, 0}, {0, 100}});
    EXPECT_TRUE(Inside(mask, 1, 1));
    EXPECT_TRUE(Inside(mask, 48, 50));
    EXPECT_FALSE(Inside(mask, 52, 50));
    EXPECT_FALSE(Inside(mask, 99, 99));
    EXPECT_NEAR(CountInside(mask), 5000, 100);
}

TEST(ShapeMask, StarCentreIsInsideByTheWindingRule) {
    // A five-pointed star drawn in one stroke: its centre is wound twice.
    const std::vector<ShapePoint> star = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
    ShapeMask mask(5, 100, 100, star);
    EXPECT_TRUE(Inside(mask, 50, 50));
    EXPECT_TRUE(Inside(mask, 50, 10));
    EXPECT_FALSE(Inside(mask, 5, 80));
    EXPECT_FALSE(Inside(mask, 50, 95));
    // Extra points beyond the shape kind's count are not part of the polygon.
    ShapeMask cut(3, 100, 100, {{0, 0}, {100, 0}, {0, 100}, {100, 100}});
    EXPECT_FALSE(Inside(cut, 99, 99));
}
