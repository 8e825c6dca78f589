// Logical font records and the QFonts that draw them: a stored font comes back as it was, and
// a font changed in between keeps what QFont has no room for.
#include <QFontMetrics>
#include <gtest/gtest.h>

#include "framework/LogicalFont.h"

namespace {

LOGFONT Stored() {
    LOGFONT f;
    f.lfHeight = -21;
    f.lfWidth = 9;
    f.lfEscapement = 450;
    f.lfOrientation = 450;
    f.lfWeight = 600;
    f.lfItalic = 1;
    f.lfStrikeOut = 1;
    f.lfCharSet = 0xA1;
    f.lfOutPrecision = 7;
    f.lfClipPrecision = 2;
    f.lfQuality = 5;
    f.lfPitchAndFamily = FF_SWISS | VARIABLE_PITCH;
    f.lfFaceName = "DejaVu Sans";
    return f;
}

void ExpectSameFont(const QFont& a, const QFont& b) {
    EXPECT_EQ(a.family(), b.family());
    EXPECT_EQ(a.pixelSize(), b.pixelSize());
    EXPECT_EQ(a.weight(), b.weight());
    EXPECT_EQ(a.italic(), b.italic());
    EXPECT_EQ(a.underline(), b.underline());
    EXPECT_EQ(a.strikeOut(), b.strikeOut());
    EXPECT_EQ(a.styleStrategy(), b.styleStrategy());
    EXPECT_EQ(a.styleHint(), b.styleHint());
    EXPECT_EQ(a.fixedPitch(), b.fixedPitch());
}

} // namespace

TEST(LogicalFont, AStoredRecordSurvivesTheQFontByteForByte) {
    for (LOGFONT record : {Stored(), LOGFONT{}}) {
        const QFont font = FontFromLogFont(record);
        const auto bytes = PackLogFont(LogFontFromFont(font, 96, record));
        EXPECT_EQ(UnpackLogFont(bytes.data(), bytes.size()), record) << record.lfFaceName;
    }
    const QFont font = FontFromLogFont(Stored());
    EXPECT_EQ(font.family(), "DejaVu Sans");
    EXPECT_EQ(font.pixelSize(), 21);
    EXPECT_EQ(font.weight(), QFont::DemiBold);
    EXPECT_TRUE(font.italic() && font.strikeOut() && !font.underline());
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
    EXPECT_TRUE(font.styleStrategy() & QFont::PreferAntialias);
}

TEST(LogicalFont, AChangedFontIsWrittenWithWhatQFontCannotHoldKept) {
    QFont font = FontFromLogFont(Stored());
    font.setItalic(false);
    font.setUnderline(true);
    font.setPointSize(12); // a size in points is stored in pixels at the screen's resolution
    font.setStyleStrategy(QFont::NoAntialias);
    const LOGFONT record = LogFontFromFont(font, 120, Stored());
    EXPECT_EQ(record.lfHeight, -20);
    EXPECT_EQ(record.lfItalic, 0);
    EXPECT_EQ(record.lfUnderline, 1);
    EXPECT_EQ(record.lfQuality, NONANTIALIASED_QUALITY);
    EXPECT_EQ(record.lfEscapement, 450);
    EXPECT_EQ(record.lfWidth, 9);
    EXPECT_EQ(record.lfCharSet, 0xA1);
    EXPECT_EQ(record.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(record.lfWeight, 600);

    // A font that never was a record goes there and back with everything a QFont says.
    QFont mono("DejaVu Sans Mono");
    mono.setPixelSize(17);
    mono.setWeight(QFont::Light);
    mono.setStrikeOut(true);
    mono.setFixedPitch(true);
    mono.setStyleHint(QFont::Monospace);
    mono.setStyleStrategy(QFont::PreferAntialias);
    const auto bytes = PackLogFont(LogFontFromFont(mono, 96));
    const LOGFONT stored = *UnpackLogFont(bytes.data(), bytes.size());
    EXPECT_EQ(stored.lfPitchAndFamily, FF_MODERN | FIXED_PITCH);
    EXPECT_EQ(stored.lfWeight, 300);
    ExpectSameFont(FontFromLogFont(stored), mono);
}

TEST(LogicalFont, HeightsAreCharacterOrCellHeights) {
    LOGFONT record;
    record.lfFaceName = "DejaVu Sans";
    record.lfHeight = -MulDiv(18, 96, 72);
    EXPECT_GT(QFontMetrics(FontFromLogFont(record)).height(), 24);
    record.lfHeight = 40; // the cell: ascent and descent together
    EXPECT_NEAR(QFontMetrics(FontFromLogFont(record)).height(), 40, 1);
    record.lfHeight = 0; // the default size
    EXPECT_EQ(FontFromLogFont(record).pointSizeF(), QFont().pointSizeF());
    record.lfWeight = 5000;
    EXPECT_EQ(int(FontFromLogFont(record).weight()), 1000);
}
