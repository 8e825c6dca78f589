#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "capture/AutoSaveName.h"
#include "capture/CaptureActions.h"
#include "capture/HotkeyText.h"

namespace fs = std::filesystem;

TEST(HotkeyText, DisplayTexts) {
    EXPECT_EQ(HotkeyDisplayText(0x202C), "Alt+Print Screen");
    EXPECT_EQ(HotkeyDisplayText(0xE043), "Ctrl+Shift+Alt+C");
    EXPECT_EQ(HotkeyDisplayText(0x002C), "Print Screen");
    EXPECT_EQ(HotkeyDisplayText(0x4000 | 112), "Shift+F1");
    EXPECT_EQ(HotkeyDisplayText(0), "");
    // A modifier without a key, or a key without a name, leaves the modifiers alone.
    EXPECT_EQ(HotkeyDisplayText(0x8000), "Ctrl");
    EXPECT_EQ(HotkeyDisplayText(0x8000 | 110), "Ctrl");
    EXPECT_EQ(HotkeyDisplayText(110), "");
}

TEST(HotkeyText, MenuTextsPutTheHotkeyAfterATab) {
    EXPECT_EQ(HotkeyMenuText("&Rectangle", 0xA052), "&Rectangle\tCtrl+Alt+R");
    EXPECT_EQ(HotkeyMenuText("Ac&tive Window", 0x202C), "Ac&tive Window\tAlt+Print Screen");
    EXPECT_EQ(HotkeyMenuText("De&fault Action", 0x002C), "De&fault Action\tPrint Screen");
    EXPECT_EQ(HotkeyMenuText("&Menu", 0), "&Menu");
    EXPECT_EQ(HotkeyMenuText("&Menu", 0x8000), "&Menu\tCtrl");
    EXPECT_EQ(StripMnemonics("&Control,Button,Child Window"), "Control,Button,Child Window");
}

TEST(HotkeyText, KeyNamesInTheirOrder) {
    const auto& table = KeyNameTable();
    EXPECT_EQ(table.front(), (std::pair<int, std::string>{44, "Print Screen"}));
    EXPECT_EQ(table.back(), (std::pair<int, std::string>{'Z', "Z"}));
    EXPECT_EQ(KeyName(96), "Num 0");
    EXPECT_EQ(KeyName(123), "F12");
    for (int vk : {110, 108, 16, 17, 18, 19, 20, 33, 34, 144, 145})
        EXPECT_EQ(KeyName(vk), "") << vk;
}

class AutoSaveNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orvane-autosave-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        request.directory = dir.string();
        request.leadName = "Orvn";
        request.digitCount = 5;
        request.extension = ".JPG";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Records what was asked and answers with `answer`.
    AutoSaveAsk Recorder(AutoSaveAnswer answer = AutoSaveAnswer::Yes) {
        return [this, answer](int id, const std::string& arg) {
            asked.push_back(id);
            lastArgument = arg;
            return answer;
        };
    }

    fs::path dir;
    AutoSaveRequest request;
    std::vector<int> asked;
    std::string lastArgument;
};

TEST_F(AutoSaveNameTest, DefaultsCountUp) {
    uint32_t counter = 1;
    std::string name;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn00001.JPG").string());
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn00002.JPG").string());
    EXPECT_EQ(counter, 3u);
    EXPECT_TRUE(asked.empty());
}

TEST_F(AutoSaveNameTest, CounterLimitsAndWrapping) {
    std::string name;
    // Six digits at 999999 without wrapping: that number is used, the next is refused.
    request.digitCount = 6;
    uint32_t counter = 999999;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn999999.JPG").string());
    EXPECT_EQ(counter, 1000000u);
    EXPECT_FALSE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(asked, std::vector<int>{143});
    EXPECT_EQ(counter, 1000000u);

    // Three digits at 999 with wrapping: the next number is 1, not 0.
    request.digitCount = 3;
    request.options = ASO_WRAP_COUNTER;
    counter = 999;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn999.JPG").string());
    EXPECT_EQ(counter, 1u);

    // A counter far past the limit with wrapping takes the largest number that fits.
    request.digitCount = 5;
    counter = 1234567;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn99999.JPG").string());

    // Digit counts are taken modulo 7: 9 means 2.
    request.digitCount = 9;
    request.options = 0;
    counter = 7;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(name, (dir / "Orvn07.JPG").string());
}

TEST_F(AutoSaveNameTest, ExistingFileAsksUnlessReplacing) {
    std::ofstream(dir / "Orvn00001.JPG") << "x";
    uint32_t counter = 1;
    std::string name;
    EXPECT_FALSE(MakeAutoSaveName(request, counter, Recorder(AutoSaveAnswer::No), name));
    EXPECT_FALSE(MakeAutoSaveName(request, counter, Recorder(AutoSaveAnswer::Cancel), name));
    EXPECT_EQ(counter, 1u);
    EXPECT_EQ(asked, (std::vector<int>{142, 142}));
    EXPECT_EQ(lastArgument, (dir / "Orvn00001.JPG").string());
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(AutoSaveAnswer::Yes), name));
    EXPECT_EQ(counter, 2u);

    asked.clear();
    request.options = ASO_REPLACE_EXISTING;
    counter = 1;
    ASSERT_TRUE(MakeAutoSaveName(request, counter, Recorder(AutoSaveAnswer::No), name));
    EXPECT_TRUE(asked.empty());
}

TEST_F(AutoSaveNameTest, MissingDirectoryIsReported) {
    request.directory = (dir / "gone").string();
    uint32_t counter = 5;
    std::string name;
    EXPECT_FALSE(MakeAutoSaveName(request, counter, Recorder(), name));
    EXPECT_EQ(asked, std::vector<int>{141});
    EXPECT_EQ(lastArgument, request.directory);
    EXPECT_EQ(counter, 5u);
}

TEST(CaptureActions, DefaultActionTable) {
    // Each stored value names the action with that index; anything else does nothing.
    for (int value = 0; value <= 10; ++value) EXPECT_EQ(DefaultActionIndex(value), value);
    for (int value : {-1, 11, 12, 13, 1000}) EXPECT_EQ(DefaultActionIndex(value), -1);
    for (const CaptureAction& a : CaptureActionTable) {
        EXPECT_EQ(&CaptureActionTable[a.index], &a);
        EXPECT_EQ(CaptureActionForCommand(a.command), &a);
    }
    EXPECT_EQ(CaptureActionForCommand(32822), nullptr);
    EXPECT_STREQ(CaptureActionTable[CAPTURE_MENU].registryValue, "PopupMenu");
}
