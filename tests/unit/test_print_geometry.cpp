// Where pictures land on paper: fitting, posters, the layout page's units and spins, paper sizes.

#include <gtest/gtest.h>

#include "print/PrintGeometry.h"

using namespace print;

namespace {

// A layout whose printable area is `areaW` x `areaH` with 100 margins all round.
PrintLayoutSettings Layout(long areaW, long areaH, int mode, unsigned center = 3) {
    PrintLayoutSettings l;
    l.sizePage = {areaW + 200, areaH + 200};
    l.margins = {100, 100, 100, 100};
    l.printMode = mode;
    l.imageCenterFlag = center;
    return l;
}

} // namespace

TEST(PrintGeometry, FitToMarginsScalesAndCentres) {
    const Size picture{400, 200};
    EXPECT_EQ(FitToMargins(picture, Layout(2000, 2800, 1, 3)), (Rect{100, 1000, 2100, 2000}));
    EXPECT_EQ(FitToMargins(picture, Layout(2000, 2800, 1, 1)), (Rect{100, 100, 2100, 1100}));
    EXPECT_EQ(FitToMargins(picture, Layout(2000, 2800, 1, 0)), (Rect{100, 100, 2100, 1100}));
    // Limited by height, centred across: 2800 / 200 would be 14, 2000 / 400 is 5.
    EXPECT_EQ(FitToMargins({100, 400}, Layout(2000, 2800, 1, 3)), (Rect{750, 100, 1450, 2900}));
    // Rounding: 3 x 1 into 1000 x 1000 is 1000 x 333.33 -> 333.
    EXPECT_EQ(FitToMargins({3, 1}, Layout(1000, 1000, 1, 0)).Height(), 333);
}

TEST(PrintGeometry, ModesTwoAndFourActLikeOneAndThreeOthersPrintNothing) {
    const Size picture{400, 200};
    PrintLayoutSettings l = Layout(2000, 2800, 2);
    ASSERT_TRUE(PageToPrint(picture, l, 1));
    EXPECT_EQ(PageToPrint(picture, l, 1)->destination, FitToMargins(picture, l));
    EXPECT_EQ(PageCount(l), 1);
    EXPECT_FALSE(PageToPrint(picture, l, 2));
    l.sizePrint = {4100, 100};
    l.printMode = 4;
    EXPECT_EQ(PageCount(l), 3);
    for (int mode : {0, 5, -1}) {
        l.printMode = mode;
        EXPECT_EQ(PageCount(l), 0);
        EXPECT_FALSE(PageToPrint(picture, l, 1));
    }
}

TEST(PrintGeometry, PosterColumnsAndTheCutLastColumn) {
    PrintLayoutSettings l = Layout(2000, 2800, 3);
    l.sizePrint = {4100, 1000};
    const Size picture{400, 200};
    EXPECT_EQ(PosterGridOf(l).columns, 3);
    EXPECT_EQ(PosterGridOf(l).rows, 1);
    const auto first = PosterPage(picture, l, 1);
    const auto third = PosterPage(picture, l, 3);
    ASSERT_TRUE(first && third);
    // A full page holds 2000 / 4100 of the width: pixels 0 to 195, across the printable width,
    // with no centring on a poster.
    EXPECT_EQ(first->source, (Rect{0, 0, 195, 200}));
    EXPECT_EQ(first->destination.left, 100);
    EXPECT_EQ(first->destination.right, 2100);
    // The third page holds the last 10 of 400 pixels (100 / 4100 of the width) at the same scale.
    EXPECT_EQ(third->source.left, 390);
    EXPECT_EQ(third->source.right, 400);
    EXPECT_EQ(third->destination.left, 100);
    // 10 pixels at 2000 / 195.12 tenths each: the 100 tenths left plus the fraction of a pixel
    // the first pages' truncated sources left over.
    EXPECT_EQ(third->destination.Width(), 102);
    // Height: one row, cut at the print height 1000 of the 2800 available.
    EXPECT_EQ(third->source.top, 0);
    EXPECT_EQ(third->source.bottom, 200);
    EXPECT_EQ(third->destination.Height(), 1000);
    EXPECT_FALSE(PosterPage(picture, l, 4));
    EXPECT_FALSE(PosterPage(picture, l, 0));
}

TEST(PrintGeometry, PosterPagesNumberRowByRow) {
    PrintLayoutSettings l = Layout(1000, 1000, 3);
    l.sizePrint = {2000, 3000};
    const Size picture{200, 300};
    EXPECT_EQ(PageCount(l), 6);
    // Page 4 is row 1, column 1 (2 columns): the right half, middle third.
    const auto p = PosterPage(picture, l, 4);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->source, (Rect{100, 100, 200, 200}));
    EXPECT_EQ(p->destination, (Rect{100, 100, 1100, 1100}));
}

TEST(PrintGeometry, PrintSizeEqualToPrintableIsOnePageAtThatSize) {
    PrintLayoutSettings l = Layout(2000, 2800, 3);
    l.sizePrint = {2000, 2800};
    ASSERT_EQ(PageCount(l), 1);
    const auto p = PosterPage({400, 200}, l, 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->source, (Rect{0, 0, 400, 200}));
    EXPECT_EQ(p->destination, (Rect{100, 100, 2100, 2900}));
    // A smaller single page is centred as the flags say.
    l.sizePrint = {1000, 800};
    EXPECT_EQ(PosterPage({400, 200}, l, 1)->destination, (Rect{600, 1100, 1600, 1900}));
    l.imageCenterFlag = 0;
    EXPECT_EQ(PosterPage({400, 200}, l, 1)->destination, (Rect{100, 100, 1100, 900}));
    // A print size not chosen yet prints nothing.
    l.sizePrint = {0, 0};
    EXPECT_EQ(PageCount(l), 0);
    EXPECT_FALSE(PosterPage({400, 200}, l, 1));
}

TEST(PrintGeometry, MarginsCoveringThePageUseTheWholePageDimension) {
    PrintLayoutSettings l;
    l.sizePage = {2100, 2970};
    l.margins = {1100, 120, 1000, 120};
    const Rect r = PrintableRect(l);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 2100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.bottom, 2850);
    l.margins = {120, 2000, 120, 2000};
    EXPECT_EQ(PrintableRect(l).Height(), 2970);
}

TEST(PrintGeometry, DisplayUnits) {
    EXPECT_EQ(FormatDisplayUnit(120, true), "0.47");
    EXPECT_EQ(FormatDisplayUnit(120, false), "1.20");
    EXPECT_EQ(FormatDisplayUnit(2100, true), "8.26");
    EXPECT_EQ(FromDisplayUnit(0.47, true), 119);
    EXPECT_EQ(FromDisplayUnit(1.2, false), 120);
    // Values whose binary form falls just short of the decimal still come back whole.
    EXPECT_EQ(FromDisplayUnit(2.01, false), 201);
    EXPECT_EQ(FromDisplayUnit(0.29, false), 29);
}

TEST(PrintGeometry, SpinsKeepProportionsAndMarginsInsideThePage) {
    double x = 4.0, y = 2.0;
    SpinPrintSize(x, y, {400, 200}, true, true);
    EXPECT_DOUBLE_EQ(x, 4.1);
    EXPECT_DOUBLE_EQ(y, 2.05);
    SpinPrintSize(x, y, {400, 200}, false, false);
    EXPECT_DOUBLE_EQ(y, 1.95);
    EXPECT_DOUBLE_EQ(x, 3.9);
    x = 0.05, y = 0.02;
    SpinPrintSize(x, y, {400, 200}, true, false);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);

    EXPECT_DOUBLE_EQ(SpinMargin(1.2, 1.2, 21.0, true), 1.3);
    EXPECT_DOUBLE_EQ(SpinMargin(0.05, 1.2, 21.0, false), 0.0);
    EXPECT_DOUBLE_EQ(SpinMargin(19.75, 1.2, 21.0, true), 19.8);
    EXPECT_DOUBLE_EQ(ClampMargin(25.0, 1.2, 21.0), 19.8);
    EXPECT_DOUBLE_EQ(ClampMargin(5.0, 1.2, 21.0), 5.0);
}

TEST(PrintGeometry, PaperSizes) {
    EXPECT_EQ(PaperSize(9, false, {}), (Size{2100, 2970}));
    EXPECT_EQ(PaperSize(9, true, {}), (Size{2970, 2100}));
    EXPECT_EQ(PaperSize(1, false, {}), (Size{2159, 2794}));
    EXPECT_EQ(PaperSize(66, false, {}), (Size{4200, 5940}));
    EXPECT_EQ(PaperSize(68, true, {}), (Size{4450, 3220}));
    for (int code : {0, 48, 69, 256, -3})
        EXPECT_EQ(PaperSize(code, true, {1234, 5678}), (Size{1234, 5678})) << code;
    EXPECT_EQ(DefaultPrintSize({2100, 2970}, {400, 200}), (Size{2100, 1050}));
}
