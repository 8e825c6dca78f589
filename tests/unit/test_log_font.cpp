#include <gtest/gtest.h>

#include "RegistryFixture.h"
#include "platform/LogFont.h"
#include "platform/RegProfile.h"

namespace {

LOGFONT Sample() {
    LOGFONT f;
    f.lfHeight = -24;
    f.lfWidth = 0x01020304;
    f.lfEscapement = 900;
    f.lfOrientation = -900;
    f.lfWeight = 700;
    f.lfItalic = 1;
    f.lfUnderline = 0;
    f.lfStrikeOut = 1;
    f.lfCharSet = 0xEE;
    f.lfOutPrecision = 3;
    f.lfClipPrecision = 2;
    f.lfQuality = 4;
    f.lfPitchAndFamily = FF_ROMAN | VARIABLE_PITCH;
    f.lfFaceName = "Times New Roman";
    return f;
}

} // namespace

// Values written on one machine are read on another: every field at its offset, little-endian.
TEST(LogFont, PacksEveryFieldAtItsOffset) {
    const auto bytes = PackLogFont(Sample());
    ASSERT_EQ(bytes.size(), 60u);
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 28);
    const std::vector<uint8_t> expected = {0xE8, 0xFF, 0xFF, 0xFF, // -24
                                           0x04, 0x03, 0x02, 0x01, //
                                           0x84, 0x03, 0x00, 0x00, // 900
                                           0x7C, 0xFC, 0xFF, 0xFF, // -900
                                           0xBC, 0x02, 0x00, 0x00, // 700
                                           1,    0,    1,    0xEE, 3, 2, 4, 0x12};
    EXPECT_EQ(head, expected);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), "Times New Roman");
    for (size_t i = 28 + 15; i < 60; ++i) EXPECT_EQ(bytes[i], 0) << i;

    const auto back = UnpackLogFont(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, Sample());
}

TEST(LogFont, FaceNamesFitTheirThirtyTwoBytes) {
    LOGFONT f = Sample();
    // 30 ASCII bytes and a two-byte character: the character would leave no room for the NUL.
    f.lfFaceName = std::string(30, 'a') + "\xc3\xa4" + "tail";
    auto bytes = PackLogFont(f);
    EXPECT_EQ(bytes[28 + 30], 0);
    EXPECT_EQ(UnpackLogFont(bytes.data(), 60)->lfFaceName, std::string(30, 'a'));
    f.lfFaceName = std::string(29, 'b') + "\xc3\xa4";
    bytes = PackLogFont(f);
    EXPECT_EQ(UnpackLogFont(bytes.data(), 60)->lfFaceName, f.lfFaceName);

    // A record from elsewhere whose name fills all 32 bytes ends at the record's end.
    for (size_t i = 28; i < 60; ++i) bytes[i] = 'x';
    EXPECT_EQ(UnpackLogFont(bytes.data(), 60)->lfFaceName, std::string(32, 'x'));
}

TEST(LogFont, OnlyWholeRecordsAreRead) {
    const auto bytes = PackLogFont(Sample());
    EXPECT_FALSE(UnpackLogFont(bytes.data(), 59));
    std::vector<uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    EXPECT_FALSE(UnpackLogFont(longer.data(), longer.size()));
    EXPECT_FALSE(UnpackLogFont(nullptr, 60));
}

TEST(LogFont, CharacterHeightsRoundLikeTheScreenDoes) {
    EXPECT_EQ(MulDiv(18, 96, 72), 24);
    EXPECT_EQ(MulDiv(18, 120, 72), 30);
    EXPECT_EQ(MulDiv(10, 7, 3), 23); // 23.33
    EXPECT_EQ(MulDiv(10, 7, 4), 18); // 17.5 rounds away from zero
    EXPECT_EQ(MulDiv(-10, 7, 4), -18);
    EXPECT_EQ(MulDiv(10, -7, -4), 18);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(INT32_MAX, 4, 2), -1); // does not fit
}

// The setting as the program keeps it: binary in the file, and a value of another type is not
// taken for a font.
TEST_F(RegistryTest, FontRecordsAreKeptAsBinaryValues) {
    const auto packed = PackLogFont(Sample());
    {
        CRegProfile profile({"Orvane", "Orvane Screen"}, false);
        profile.SetSection("Settings");
        std::vector<uint8_t> bytes(packed.begin(), packed.end());
        EXPECT_EQ(profile.BinaryValue("TVLogoFont", bytes), ERROR_SUCCESS);
        std::string text = "not a font";
        profile.StringValue("Other", text);
    }
    Reload();
    EXPECT_NE(Read(userFile).find("\"TVLogoFont\"=hex:e8,ff,ff,ff,"), std::string::npos);
    CRegProfile profile({"Orvane", "Orvane Screen"}, true);
    profile.SetSection("Settings");
    std::vector<uint8_t> bytes;
    EXPECT_EQ(profile.BinaryValue("TVLogoFont", bytes), ERROR_SUCCESS);
    EXPECT_EQ(UnpackLogFont(bytes.data(), bytes.size()), Sample());
    bytes = {1, 2};
    EXPECT_NE(profile.BinaryValue("Other", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::vector<uint8_t>({1, 2}));
}
