// Text in metafiles drawn with Qt's fonts. Which face fontconfig picks differs between
// machines, so the checks are about where ink lands, not about exact glyphs.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/MetafileTextQt.h"
#include "imagefile/Picture.h"
#include "tests/unit/ImageTestUtil.h"
#include "tests/unit/MetafileBuilder.h"

using namespace metafiletest;
using imagetest::RgbAt;

namespace {

// The extent of the pixels a test picks, and how many there are.
struct Ink {
    int count = 0;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int CentreX() const { return (left + right) / 2; }
};

template <typename Pick> Ink Find(const CPicture& p, Pick pick) {
    Ink ink;
    for (int y = 0; y < p.GetHeight(); ++y)
        for (int x = 0; x < p.GetWidth(); ++x)
            if (pick(RgbAt(p, x, y))) {
                ++ink.count;
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

bool Dark(uint32_t rgb) {
    return (rgb >> 16 & 0xFF) < 100 && (rgb >> 8 & 0xFF) < 100 && (rgb & 0xFF) < 100;
}

Ink DarkInk(const CPicture& p) {
    return Find(p, Dark);
}

class MetafileTextQt : public ::testing::Test {
protected:
    void SetUp() override { InstallMetafileTextRenderer(); }
    void TearDown() override { SetMetafileTextRenderer(nullptr); }
};

// A 20-pixel font, black on a transparent background, and one line of text.
Emf TextEmf(unsigned align, int x, int y, const std::u16string& text) {
    Emf f(240, 100);
    f.Font(1, -20, u"Arial").Rec(37, {1}).Rec(18, {1}).Rec(22, {int32_t(align)});
    f.Text(x, y, text);
    return f;
}

Ink DrawEmf(const Emf& f, CDibPicture& p) {
    Play(f.Bytes(), p);
    return DarkInk(p);
}

} // namespace

TEST_F(MetafileTextQt, EnhancedTextLandsInItsBoxAndFollowsTheAlignment) {
    CDibPicture p;
    // Top-left at (20, 30): the cell of a 20-pixel em is about 23 pixels high.
    const Ink left = DrawEmf(TextEmf(0, 20, 30, u"TTTT"), p);
    ASSERT_GT(left.count, 40);
    EXPECT_GE(left.left, 19);
    EXPECT_LE(left.left, 24);
    EXPECT_GE(left.top, 30);
    EXPECT_LE(left.bottom, 54);
    const int width = left.right - left.left;
    EXPECT_GT(width, 30);
    EXPECT_LT(width, 80);
    // Upright: the bars of the Ts are at the top of the ink, not at its bottom.
    int topDark = 0, bottomDark = 0;
    for (int x = left.left; x <= left.right; ++x) {
        topDark += Dark(RgbAt(p, x, left.top + 1));
        bottomDark += Dark(RgbAt(p, x, left.bottom - 1));
    }
    EXPECT_GT(topDark, 2 * bottomDark);

    const Ink right = DrawEmf(TextEmf(2, 220, 30, u"TTTT"), p);
    EXPECT_NEAR(right.right, 219, 3);
    EXPECT_NEAR(right.right - right.left, width, 2);
    const Ink centre = DrawEmf(TextEmf(6, 120, 30, u"TTTT"), p);
    EXPECT_NEAR(centre.CentreX(), 120, 3);
    // On the baseline: capitals end just above it.
    const Ink baseline = DrawEmf(TextEmf(24, 20, 60, u"TTTT"), p);
    EXPECT_NEAR(baseline.bottom, 59, 1);
    EXPECT_LT(baseline.top, 50);
    // The bottom of the cell: the descent is left below the capitals.
    const Ink bottom = DrawEmf(TextEmf(8, 20, 60, u"TTTT"), p);
    EXPECT_LT(bottom.bottom, 58);
    EXPECT_GT(bottom.bottom, 50);
}

TEST_F(MetafileTextQt, OpaqueBackgroundClipAndTurnedText) {
    CDibPicture p;
    Emf opaque(240, 100);
    opaque.Font(1, -20, u"Arial").Rec(37, {1});
    opaque.Rec(25, {0xFF0000}).Rec(18, {2}); // blue, opaque
    opaque.Text(20, 30, u"TTTT");
    Play(opaque.Bytes(), p);
    const Ink blue = Find(p, [](uint32_t c) { return c == 0x0000FF; });
    const Ink dark = DarkInk(p);
    ASSERT_GT(blue.count, 200);
    EXPECT_LE(blue.left, dark.left);
    EXPECT_GE(blue.right, dark.right);
    EXPECT_NEAR(blue.top, 30, 1);
    EXPECT_LT(blue.bottom, 56);

    // The record's clip rectangle cuts the text at x = 40.
    Emf clipped(240, 100);
    clipped.Font(1, -20, u"Arial").Rec(37, {1}).Rec(18, {1});
    clipped.Text(20, 30, u"TTTTTTTT", {}, 4, {0, 0, 40, 100});
    Play(clipped.Bytes(), p);
    const Ink cut = DarkInk(p);
    ASSERT_GT(cut.count, 10);
    EXPECT_LT(cut.right, 40);

    // Turned a quarter counter-clockwise about its reference point: the text runs up.
    Emf turned(240, 100);
    turned.Font(1, -20, u"Arial", 400, false, 900).Rec(37, {1}).Rec(18, {1});
    turned.Rec(22, {24}).Text(120, 90, u"TTTT");
    Play(turned.Bytes(), p);
    const Ink up = DarkInk(p);
    ASSERT_GT(up.count, 40);
    EXPECT_LE(up.bottom, 91);
    EXPECT_LT(up.top, 60);
    EXPECT_LT(up.right - up.left, 25);
    EXPECT_LE(up.right, 121);
}

TEST_F(MetafileTextQt, PlainMetafileTextInItsColourAndPlace) {
    // Red Ts, each at its own place 30 pixels apart: the last starts 60 pixels in.
    Wmf f(200, 100);
    f.Font(-20, "Times New Roman").Rec(0x012D, {0});
    f.Rec(0x0209, {0x00FF, 0}).Rec(0x0102, {1}); // red, transparent
    f.ExtTextOut(30, 20, "TTT", 0, {}, {30, 30, 30});
    CDibPicture p;
    Play(f.Bytes(), p);
    const Ink red = Find(p, [](uint32_t c) {
        return (c >> 16 & 0xFF) > 180 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90;
    });
    ASSERT_GT(red.count, 30);
    EXPECT_GE(red.left, 29);
    EXPECT_GE(red.top, 20);
    EXPECT_LE(red.bottom, 45);
    EXPECT_GT(red.right, 30 + 60 + 5);
    EXPECT_LT(red.right, 30 + 90 + 3);
}

// Files from elsewhere that have text: with the renderer they must come out different from
// the same files played without it.
TEST_F(MetafileTextQt, CorpusFilesGetTheirText) {
    const std::string root = ORVANE_SHARED_TESTDATA;
    for (const char* name : {"emf/apache-poi/SimpleEMF_windows.emf", "emf/wmf2svg/fulltest.emf",
                             "emf/libemf2svg/emf/test-001.emf", "wmf/libwmf/text.wmf",
                             "wmf/libwmf/formula1.wmf", "wmf/wmf2svg/fulltest.wmf"}) {
        const auto bytes = imagetest::ReadFile(root + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        CDibPicture with, without;
        Play(bytes, with);
        SetMetafileTextRenderer(nullptr);
        Play(bytes, without);
        InstallMetafileTextRenderer();
        ASSERT_EQ(with.GetWidth(), without.GetWidth()) << name;
        ASSERT_EQ(with.GetHeight(), without.GetHeight()) << name;
        int differ = 0;
        for (int y = 0; y < with.GetHeight(); ++y)
            differ += std::memcmp(with.GetLineArray()[y], without.GetLineArray()[y],
                                  size_t(with.GetWidth()) * 4) != 0;
        EXPECT_GT(differ, 2) << name << ": rows with text";
    }
}
