// Text records in metafiles: what the player hands to the text renderer. The real renderer
// needs Qt's fonts, which this plain-C++ test program does not link, so a recording renderer
// stands in for it here; the drawing itself is tested with the GUI tests.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "MetafileBuilder.h"
#include "imagefile/MetafileText.h"

using namespace metafiletest;
using imagetest::RgbAt;

namespace {

std::vector<MetafileTextRun> g_runs;

// Every character is 10 pixels wide, so that the current position has something to move by.
double Record(CPicture&, const MetafileTextRun& run) {
    g_runs.push_back(run);
    return 10.0 * double(run.text.size());
}

class MetafileText : public ::testing::Test {
protected:
    void SetUp() override {
        g_runs.clear();
        SetMetafileTextRenderer(&Record);
    }
    void TearDown() override { SetMetafileTextRenderer(nullptr); }

    static std::vector<MetafileTextRun> Play(const std::vector<uint8_t>& file) {
        g_runs.clear();
        CDibPicture picture;
        metafiletest::Play(file, picture);
        return g_runs;
    }
};

// EMR_ record types used below.
enum : uint32_t {
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kSetWindowExt = 9,
    kSetViewportExt = 11,
    kMoveTo = 27,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSelect = 37,
    kDelete = 40,
    kBeginPath = 59,
    kEndPath = 60,
};

} // namespace

TEST_F(MetafileText, EnhancedRunIsMappedWithItsFontColourAndAlignment) {
    // Logical units at half a pixel: the position, the height and the advances all halve.
    Emf f(192, 96);
    f.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {200, 100}).Rec(kSetViewportExt, {100, 50});
    f.Font(1, -20, u"Arial", 700, true).Rec(kSelect, {1});
    f.Rec(kSetTextColor, {0x0000FF}).Rec(kSetBkMode, {1}).Rec(kSetTextAlign, {24 | 6});
    f.Text(40, 60, u"Hi", {10, 12});
    f.Text(0, 0, {}, {}, 0, {}, std::string("\xE9\x80", 2)); // Latin-1 and the euro sign
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 2u);
    const MetafileTextRun& r = runs[0];
    EXPECT_EQ(r.text, u"Hi");
    EXPECT_EQ(r.face, "Arial");
    EXPECT_NEAR(r.height, -10, 0.01);
    EXPECT_EQ(r.weight, 700);
    EXPECT_TRUE(r.italic);
    EXPECT_EQ(r.colour, 0xFFFF0000u);
    EXPECT_FALSE(r.opaque);
    EXPECT_EQ(r.align, 30u);
    EXPECT_NEAR(r.x, 20, 0.05);
    EXPECT_NEAR(r.y, 30, 0.05);
    ASSERT_EQ(r.dx.size(), 2u);
    EXPECT_NEAR(r.dx[0], 5, 0.01);
    EXPECT_NEAR(r.dx[1], 6, 0.01);
    EXPECT_EQ(runs[1].text, u"\u00E9\u20AC");
}

TEST_F(MetafileText, EscapementTurnsWithTheWorldButNotWithAFlippedAxis) {
    Emf f(192, 96);
    f.Font(1, -20, u"Arial", 400, false, 300).Rec(kSelect, {1});
    f.Text(10, 10, u"a");
    f.Rec(kSetMapMode, {2}); // 0.1 mm, y up
    f.Text(100, -100, u"b");
    f.Rec(kSetMapMode, {1});
    // A world transform turning a quarter counter-clockwise on the page (y down).
    const float c = 0.0f, s = 1.0f;
    uint32_t m[6];
    const float v[6] = {c, -s, s, c, 0, 0};
    std::memcpy(m, v, sizeof m);
    f.Rec(35, {int32_t(m[0]), int32_t(m[1]), int32_t(m[2]), int32_t(m[3]), 0, 0});
    f.Text(10, 10, u"c");
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_NEAR(runs[0].escapement, 30, 1e-9);
    EXPECT_NEAR(runs[1].escapement, 30, 1e-9);
    EXPECT_NEAR(runs[1].height, -20 * 0.1 * 96 / 25.4, 0.01);
    EXPECT_NEAR(runs[2].escapement, 120, 1e-6);
}

TEST_F(MetafileText, UpdateCpDrawsAtTheCurrentPositionAndMovesIt) {
    Emf f(192, 96);
    f.Rec(kMoveTo, {10, 20}).Rec(kSetTextAlign, {1});
    f.Text(99, 99, u"ab");         // at (10, 20); the renderer says 20 pixels
    f.Text(99, 99, u"cz", {3, 4}); // at (30, 20); the advances say 7
    f.Text(99, 99, u"d");          // at (37, 20)
    f.Rec(kSetTextAlign, {1 | 2});
    f.Text(99, 99, u"ef"); // right-aligned at (47, 20): moves back to 27
    f.Rec(kSetTextAlign, {1 | 6});
    f.Text(99, 99, u"g"); // centred: stays
    f.Rec(kSetTextAlign, {0});
    f.Text(5, 6, u"h");
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 6u);
    const double xs[] = {10, 30, 37, 47, 27, 5};
    for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(runs[i].x, xs[i], 0.05) << i;
    EXPECT_NEAR(runs[4].y, 20, 0.05);
    EXPECT_NEAR(runs[5].y, 6, 0.05);
}

TEST_F(MetafileText, FontsAreObjectsSelectedDeletedSavedAndStock) {
    Emf f(192, 96);
    f.Font(3, -30, u"Times New Roman").Rec(kSelect, {3});
    f.Text(0, 0, u"1");
    f.Rec(kSaveDc, {}).Font(4, 12, u"Courier New").Rec(kSelect, {4});
    f.Text(0, 0, u"2");
    f.Rec(kRestoreDc, {-1}).Text(0, 0, u"3");                                 // back to Times
    f.Rec(kDelete, {3}).Rec(kSelect, {4}).Rec(kSelect, {3}).Text(0, 0, u"4"); // 3 is gone
    f.Rec(kSelect, {int32_t(0x8000000D)}).Text(0, 0, u"5"); // SYSTEM_FONT: the default
    f.Rec(kSelect, {int32_t(0x8000000B)}).Text(0, 0, u"6"); // ANSI_FIXED_FONT
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0].face, "Times New Roman");
    EXPECT_NEAR(runs[0].height, -30, 0.05);
    EXPECT_EQ(runs[1].face, "Courier New");
    EXPECT_NEAR(runs[1].height, 12, 0.05);
    EXPECT_EQ(runs[2].face, "Times New Roman");
    EXPECT_EQ(runs[3].face, "Courier New");
    EXPECT_EQ(runs[4].face, "");
    EXPECT_EQ(runs[4].height, 0);
    EXPECT_EQ(runs[5].pitchAndFamily >> 4, 3u);
}

TEST_F(MetafileText, PlainMetafileTextAndExtendedTextWithClipAndAdvances) {
    Wmf f(200, 100);
    f.Rec(0x020C, {200, 400});       // the window now 400 x 200 on the same picture: half a pixel
    f.Rec(0x02FC, {0, 0, 0, 0});     // a brush takes slot 0
    f.Font(-40, "Courier New", 700); // slot 1
    f.Rec(0x01F0, {0});              // free slot 0
    f.Rec(0x02FA, {0, 1, 0, 0, 0});  // a pen takes it again
    f.Rec(0x012D, {1});              // the font
    f.Rec(0x0209, {0x00FF, 0x0000}); // text colour: red
    f.Rec(0x0201, {0x0000, 0x00FF}).Rec(0x0102, {2}); // opaque blue background
    f.Rec(0x012E, {8 | 2});
    f.TextOut(100, 60, "abc"); // odd length: padded
    f.ExtTextOut(20, 40, "xy", 4, {10, 20, 110, 70}, {16, 18});
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, u"abc");
    EXPECT_EQ(runs[0].face, "Courier New");
    EXPECT_EQ(runs[0].weight, 700);
    EXPECT_NEAR(runs[0].height, -20, 0.05);
    EXPECT_NEAR(runs[0].x, 50, 0.05);
    EXPECT_NEAR(runs[0].y, 30, 0.05);
    EXPECT_EQ(runs[0].align, 10u);
    EXPECT_EQ(runs[0].colour, 0xFFFF0000u);
    EXPECT_TRUE(runs[0].opaque);
    EXPECT_EQ(runs[0].background, 0xFF0000FFu);
    EXPECT_TRUE(runs[0].dx.empty());
    const MetafileTextRun& e = runs[1];
    EXPECT_EQ(e.text, u"xy");
    ASSERT_EQ(e.dx.size(), 2u);
    EXPECT_NEAR(e.dx[1], 9, 0.01);
    ASSERT_TRUE(e.clipToRect);
    EXPECT_NEAR(e.clipRect.left, 5, 0.05);
    EXPECT_NEAR(e.clipRect.bottom, 35, 0.05);
}

TEST_F(MetafileText, OpaqueRectangleIsFilledWithoutARenderer) {
    SetMetafileTextRenderer(nullptr);
    Emf f(96, 48);
    f.Rec(kSetBkColor, {0xFF0000}); // blue
    f.Text(0, 0, u"", {}, 2, {10, 10, 30, 20});
    const auto file = f.Bytes();
    CDibPicture p;
    metafiletest::Play(file, p);
    EXPECT_EQ(RgbAt(p, 10, 10), 0x0000FFu);
    EXPECT_EQ(RgbAt(p, 29, 19), 0x0000FFu);
    EXPECT_EQ(RgbAt(p, 30, 15), 0xFFFFFFu);
    EXPECT_EQ(RgbAt(p, 20, 20), 0xFFFFFFu);
    EXPECT_EQ(RgbAt(p, 9, 15), 0xFFFFFFu);
}

TEST_F(MetafileText, TextInAPathIsNotDrawn) {
    Emf f(96, 48);
    f.Rec(kBeginPath, {}).Text(0, 0, u"x").Rec(kEndPath, {}).Text(0, 0, u"y");
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, u"y");
}

// Counts and offsets come from the file: each must be checked against the record before
// anything is read through it.
TEST_F(MetafileText, HostileCountsAndOffsetsAreSkipped) {
    Emf f(96, 48);
    f.Text(0, 0, u"ok", {5, 6});
    std::vector<uint8_t> good;
    {
        Emf one(96, 48);
        one.Text(0, 0, u"ok", {5, 6});
        const auto bytes = one.Bytes();
        good.assign(bytes.begin() + 108 + 8, bytes.end() - 20);
    }
    const auto patched = [&](size_t at, uint32_t v) {
        auto p = good;
        p[at] = uint8_t(v), p[at + 1] = uint8_t(v >> 8), p[at + 2] = uint8_t(v >> 16);
        p[at + 3] = uint8_t(v >> 24);
        return p;
    };
    f.Raw(84, patched(36, 0x7FFFFFFF)); // a huge count
    f.Raw(84, patched(40, 0xFFFFFFF0)); // the string far past the record
    f.Raw(84, patched(40, 86));         // a string running past the end
    f.Raw(84, patched(64, 0xFFFFFFFC)); // the advances far past the record
    f.Raw(84, patched(44, 0x2000));     // x and y advances: twice as many as there are
    f.Raw(84, std::vector<uint8_t>(good.begin(), good.begin() + 60)); // cut short
    f.Raw(82, {1, 0, 0, 0, 0xEC, 0xFF});                              // a font cut short
    f.Rec(kSelect, {1});
    // SMALLTEXTOUT without a rectangle, claiming far more characters than it has
    f.Raw(108, {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0,   1, 0,   0,
                1, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0, 'a', 0, 'b', 0});
    f.Text(1, 1, u"end");
    const auto runs = Play(f.Bytes());
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].dx.size(), 2u);
    EXPECT_EQ(runs[1].text, u"ok"); // drawn without the advances it could not have
    EXPECT_TRUE(runs[1].dx.empty());
    EXPECT_TRUE(runs[2].dx.empty());
    EXPECT_EQ(runs[3].text, u"end");
    EXPECT_EQ(runs[3].face, "");

    Wmf w(100, 50);
    w.Raw(0x0521, {9, 0, 'a', 'b'});                       // a count past the record
    w.Raw(0x0A32, {0, 0, 0, 0, 3, 0, 6, 0, 1, 0});         // a rectangle cut short
    w.Raw(0x0A32, {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 'z', 0}); // a count past the record
    w.Raw(0x02FB, {0xEC, 0xFF});                           // a font cut short still takes a slot
    w.Font(-20, "Arial").Rec(0x012D, {1});
    w.ExtTextOut(1, 2, "pq", 0, {}, {7}); // too few advances for the text: none are used
    const auto wruns = Play(w.Bytes());
    ASSERT_EQ(wruns.size(), 1u);
    EXPECT_EQ(wruns[0].face, "Arial");
    EXPECT_TRUE(wruns[0].dx.empty());
}
