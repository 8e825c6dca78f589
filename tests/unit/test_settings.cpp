#include <cstring>
#include <fstream>
#include <iterator>

#include "RegistryFixture.h"
#include "app/AppServices.h"
#include "framework/RecentFileList.h"
#include "platform/AppSettings.h"

namespace {

const RegistryNames kNames{"Orvane", "Orvane Screen"};
const std::string kApp = "software\\Orvane\\Orvane Screen\\";

RegKey Section(const std::string& name) {
    RegKey key;
    key.Create(RegKey::RootKey(RegRoot::CurrentUser, true), kApp + name);
    return key;
}

} // namespace

TEST_F(RegistryTest, FirstRunCreatesTheSectionsWithEveryDefault) {
    AppSettings s(programPath);
    EXPECT_EQ(std::string(s.autoSave.path), dir + "/bin/Output");
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/bin/Output"));
    s.Load(kNames);
    for (const char* name : {"PrintLayout", "Hotkey", "CaptureOptions"}) {
        RegKey key;
        EXPECT_EQ(key.Open(RegKey::RootKey(RegRoot::CurrentUser, false), kApp + name, false),
                  ERROR_SUCCESS)
            << name;
    }
    EXPECT_EQ(s.optionsA, 0x0008166Bu);
    EXPECT_EQ(s.colorTransparency, 0x00FF00FFu);
    EXPECT_EQ(s.colorViewBackground, 0x00C0C000u);
    EXPECT_EQ(s.colorImageBackground, 0x00C08000u);
    EXPECT_EQ(s.defaultCaptureAction, 9);
    EXPECT_EQ(s.printLayout.margins.left, 120);
    EXPECT_EQ(s.printLayout.margins.bottom, 120);
    EXPECT_EQ(s.printLayout.titleAlign, 4u);
    EXPECT_EQ(s.printLayout.imageCenterFlag, 3u);
    EXPECT_EQ(s.printLayout.printMode, 1);
    EXPECT_STREQ(s.printLayout.title, "");
    EXPECT_EQ(s.autoSave.imageType, 1);
    EXPECT_STREQ(s.autoSave.leadFileName, "Orvn");
    EXPECT_EQ(s.autoSave.digitCount, 5u);
    EXPECT_EQ(s.autoSave.startNO, 1);
    EXPECT_EQ(s.autoSave.options, 5u);
    EXPECT_EQ(s.programPath, programPath);
    const uint16_t keys[13] = {0x202C, 0xE043, 0x804E, 0xA053, 0xA052, 0xC043, 0xA045,
                               0xA050, 0xC04D, 0xA044, 0xC053, 0xC04C, 0x002C};
    for (int i = 0; i < HOTKEY_TABLE_SIZE; ++i)
        EXPECT_EQ(s.hotkeys.keys[i], i < 13 ? keys[i] : 0) << i;

    // The saved file holds the stored forms: the default action as "12, 44".
    s.Save(kNames);
    std::string text = Read(userFile);
    EXPECT_NE(text.find("\"Default\"=\"12, 44\""), std::string::npos);
    EXPECT_NE(text.find("\"Margins\"=\"120, 120, 120, 120\""), std::string::npos);
    EXPECT_NE(text.find("\"OptionsA\"=dword:0008166b"), std::string::npos);
    EXPECT_NE(text.find("\"AutoSaveDigitCount\"=dword:00000005"), std::string::npos);
}

TEST_F(RegistryTest, HotkeyValuesPickTheirSlotModulo35) {
    RegKey hk = Section("Hotkey");
    hk.SetString("Polygon", "7, 0");      // disables the polygon hotkey
    hk.SetString("Circle", "40, 65");     // lands on slot 5
    hk.SetString("Desktop", "9,\t70000"); // the word is cut to 16 bits
    hk.SetString("Square", "-1, 33");     // a negative slot stays inside the table
    hk.SetString("Control", "abc, x");    // non-numeric: slot 0, word 0
    hk.SetString("Ellipse", "");          // empty: the preset stays
    AppSettings s(programPath);
    s.Load(kNames);
    EXPECT_EQ(s.hotkeys.keys[7], 0);
    EXPECT_EQ(s.hotkeys.keys[5], 65);
    EXPECT_EQ(s.hotkeys.keys[9], 70000 & 0xFFFF);
    EXPECT_EQ(s.hotkeys.keys[34], 33);
    EXPECT_EQ(s.hotkeys.keys[3], 0xA053);
    EXPECT_EQ(s.hotkeys.keys[0], 0); // "Control" wrote slot 0 after "ActiveWindow"
    EXPECT_EQ(s.hotkeys.keys[6], 0xA045);
}

TEST_F(RegistryTest, LoadKeepsDefaultsForEmptyOrMistypedValues) {
    RegKey co = Section("CaptureOptions");
    co.SetString("AutoSavePath", "");
    co.SetString("AutoSaveLeadFileName", "");
    co.SetString("OptionsA", "0");
    co.SetDword("ColorTransparency", 0x123456);
    RegKey pl = Section("PrintLayout");
    pl.SetString("Margins", "1, 2");
    pl.SetString("Title", std::string(400, 'x'));
    pl.SetString("SizePage", "850 1100 7");
    AppSettings s(programPath);
    s.Load(kNames);
    EXPECT_EQ(std::string(s.autoSave.path), dir + "/bin/Output");
    EXPECT_STREQ(s.autoSave.leadFileName, "Orvn");
    EXPECT_EQ(s.optionsA, 0x0008166Bu);
    EXPECT_EQ(s.colorTransparency, 0x123456u);
    EXPECT_EQ(s.printLayout.margins.left, 1);
    EXPECT_EQ(s.printLayout.margins.top, 2);
    EXPECT_EQ(s.printLayout.margins.right, 120);
    EXPECT_EQ(std::strlen(s.printLayout.title), 255u);
    EXPECT_EQ(s.printLayout.sizePage.x, 850);
    EXPECT_EQ(s.printLayout.sizePage.y, 1100);
}

TEST_F(RegistryTest, SaveAndLoadReproduceEveryField) {
    AppSettings a(programPath);
    a.printLayout.sizePage = {850, 1100};
    a.printLayout.sizePrint = {-5, 7};
    a.printLayout.margins = {1, 2, 3, 4};
    a.printLayout.titleAlign = 2;
    a.printLayout.imageCenterFlag = 1;
    a.printLayout.printMode = 3;
    CopyToBuffer(a.printLayout.title, TITLE_BUFFER, "A \"title\"");
    for (int i = 0; i < 13; ++i) a.hotkeys.keys[i] = uint16_t(0x8000 + i);
    a.optionsA = 0xFFF00001; // bits without a name travel too
    a.colorTransparency = 1;
    a.colorViewBackground = 2;
    a.colorImageBackground = 3;
    a.defaultCaptureAction = 4;
    CopyToBuffer(a.autoSave.path, PATH_BUFFER, dir + "/shots dir");
    CopyToBuffer(a.autoSave.leadFileName, LEAD_NAME_BUFFER, "Shot");
    a.autoSave.options = 2;
    a.autoSave.digitCount = 3;
    a.autoSave.startNO = 42;
    a.autoSave.imageType = 4;
    a.Save(kNames);

    Reload();
    AppSettings b(programPath);
    b.Load(kNames);
    EXPECT_EQ(0, std::memcmp(&a.printLayout.sizePage, &b.printLayout.sizePage, sizeof(POINT)));
    EXPECT_EQ(b.printLayout.sizePrint.x, -5);
    EXPECT_EQ(b.printLayout.margins.bottom, 4);
    EXPECT_EQ(b.printLayout.titleAlign, 2u);
    EXPECT_EQ(b.printLayout.imageCenterFlag, 1u);
    EXPECT_EQ(b.printLayout.printMode, 3);
    EXPECT_STREQ(b.printLayout.title, "A \"title\"");
    for (int i = 0; i < HOTKEY_TABLE_SIZE; ++i) EXPECT_EQ(a.hotkeys.keys[i], b.hotkeys.keys[i]);
    EXPECT_EQ(b.optionsA, 0xFFF00001u);
    EXPECT_EQ(b.colorTransparency, 1u);
    EXPECT_EQ(b.colorViewBackground, 2u);
    EXPECT_EQ(b.colorImageBackground, 3u);
    EXPECT_EQ(b.defaultCaptureAction, 4);
    EXPECT_STREQ(b.autoSave.path, a.autoSave.path);
    EXPECT_STREQ(b.autoSave.leadFileName, "Shot");
    EXPECT_EQ(b.autoSave.options, 2u);
    EXPECT_EQ(b.autoSave.digitCount, 3u);
    EXPECT_EQ(b.autoSave.startNO, 42);
    EXPECT_EQ(b.autoSave.imageType, 4);
}

TEST_F(RegistryTest, DamagedUserFileYieldsDefaultsAndInstallPathComesFromTheMachine) {
    Write(userFile, "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\software\\Or");
    Write(machineFile, "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\software\\Orvane\\Orvane Screen\\1.00]\n"
                       "\"InstallPath\"=\"/opt/orvane/OrvaneScreen\"\n");
    AppSettings s(programPath);
    s.Load(kNames);
    EXPECT_EQ(s.optionsA, 0x0008166Bu);
    EXPECT_EQ(s.hotkeys.keys[12], 0x2C);
    EXPECT_EQ(s.programPath, "/opt/orvane/OrvaneScreen");
    s.Save(kNames);
    // The machine's value is never written into the user's file.
    EXPECT_EQ(Read(userFile).find("InstallPath"), std::string::npos);
}

TEST_F(RegistryTest, OutputFolderFallsBackToPicturesWhenBesideTheProgramIsNotAFolder) {
    Write(dir + "/bin/Output", "a file, not a folder");
    std::string home = dir + "/home";
    std::filesystem::create_directories(home);
    UseHome(home);
    std::string out = DefaultOutputDirectory(programPath);
    EXPECT_EQ(out, home + "/Pictures/Orvane Screen");
    EXPECT_TRUE(std::filesystem::is_directory(out));
    EXPECT_EQ(DefaultOutputDirectory("noslash"), "");
}

// Installed deep in a tree: the program keeps its whole path, and what is found from it
// (help, the autostart entry, the output folder) names real places, not cut ones.
TEST_F(RegistryTest, DeepInstallKeepsTheProgramPath) {
    std::string deep = dir + "/bin";
    while (deep.size() < 400) deep += "/a-rather-long-folder-name";
    std::filesystem::create_directories(deep);
    const std::string program = deep + "/OrvaneScreen";
    std::string home = dir + "/home";
    std::filesystem::create_directories(home);
    UseHome(home);
    AppSettings s(program);
    EXPECT_EQ(s.programPath, program);
    // "Output" beside the program does not fit the stored folder name: the pictures folder.
    EXPECT_EQ(std::string(s.autoSave.path), home + "/Pictures/Orvane Screen");
    EXPECT_TRUE(std::filesystem::is_directory(s.autoSave.path));
    EXPECT_EQ(HelpLocation(s.programPath, HelpTopicPath(0)), deep + "/help/index.htm");
    EXPECT_NE(AutostartEntry(s.programPath).find("Exec=\"" + program + "\"\n"), std::string::npos);
    EXPECT_TRUE(SetStartWithSystem(true, s.programPath));
    EXPECT_NE(Read(home + "/.config/autostart/OrvaneScreen.desktop").find(program),
              std::string::npos);

    // An install path from the machine's settings is kept whole as well.
    Write(machineFile, "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\software\\Orvane\\Orvane Screen\\1.00]\n"
                       "\"InstallPath\"=\"" +
                           deep + "/Other\"\n");
    Reload();
    s.Load(kNames);
    EXPECT_EQ(s.programPath, deep + "/Other");

    // This very program's path comes back whole.
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    ASSERT_GT(n, 0);
    EXPECT_EQ(ModuleFileName(), std::string(buf, size_t(n)));
}

TEST(OutputTypes, ExtensionLookup) {
    std::string ext;
    EXPECT_TRUE(AppSettings::OutputExtension(1, ext));
    EXPECT_EQ(ext, ".JPG");
    EXPECT_TRUE(AppSettings::OutputExtension(4, ext));
    EXPECT_EQ(ext, ".TIF");
    EXPECT_FALSE(AppSettings::OutputExtension(5, ext));
    EXPECT_EQ(ext, "");
    EXPECT_STREQ(OutputTypeTable[1].name, "Bitmap");
}

TEST_F(RegistryTest, RecentFilesKeepSixMostRecentFirst) {
    CRecentFileList list("Recent File List", "File", 6);
    for (int i = 1; i <= 7; ++i) list.Add("/p/" + std::to_string(i) + ".png");
    list.Add("/p/4.png");
    EXPECT_EQ(list[0], "/p/4.png");
    EXPECT_EQ(list[1], "/p/7.png");
    EXPECT_EQ(list[5], "/p/2.png");
    list.WriteList(kNames);
    Reload();
    CRecentFileList back("Recent File List", "File", 6);
    back.ReadList(kNames);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(back[i], list[i]);
    EXPECT_NE(Read(userFile).find("[HKEY_CURRENT_USER\\software\\Orvane\\Orvane Screen\\"
                                  "Recent File List]\n\"File1\"=\"/p/4.png\""),
              std::string::npos);
    back.Clear();
    EXPECT_TRUE(back.IsEmpty());
    back.WriteList(kNames);
    Reload();
    CRecentFileList empty("Recent File List", "File", 6);
    empty.ReadList(kNames);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(RegistryTest, AutostartEntryAndHelpLocations) {
    SetEnv("XDG_CONFIG_HOME", dir + "/config");
    EXPECT_FALSE(IsStartedWithSystem());
    EXPECT_TRUE(SetStartWithSystem(true, "/opt/my \"apps\"/OrvaneScreen"));
    std::string text = Read(dir + "/config/autostart/OrvaneScreen.desktop");
    EXPECT_NE(text.find("Exec=\"/opt/my \\\\\"apps\\\\\"/OrvaneScreen\"\n"), std::string::npos);
    EXPECT_TRUE(IsStartedWithSystem());
    EXPECT_TRUE(SetStartWithSystem(false, ""));
    EXPECT_FALSE(IsStartedWithSystem());

    EXPECT_EQ(HelpLocation("/opt/o/OrvaneScreen", HelpTopicPath(4)),
              "/opt/o/help/dialog.htm#printlayout");
    EXPECT_EQ(HelpTopicPath(1), "dialog.htm#generaloption");
    EXPECT_EQ(HelpTopicPath(99), "index.htm");
}

// Installed under a prefix, the pages are in the prefix's data folder; a build tree's pages
// beside the program come first.
TEST_F(RegistryTest, HelpPagesOfAnInstalledProgram) {
    namespace fs = std::filesystem;
    const fs::path prefix = fs::path(dir) / "prefix";
    const fs::path installed = prefix / "share/orvane-screen/help";
    fs::create_directories(prefix / "bin");
    fs::create_directories(installed);
    const std::string program = (prefix / "bin/OrvaneScreen").string();
    const fs::path found = HelpLocation(program, "dialog.htm#resizedialog");
    EXPECT_EQ(found.filename(), "dialog.htm#resizedialog");
    EXPECT_TRUE(fs::equivalent(found.parent_path(), installed)) << found;

    fs::create_directories(prefix / "bin/help");
    EXPECT_EQ(HelpLocation(program, "index.htm"), (prefix / "bin/help/index.htm").string());
}

// Every topic a Help button opens names a page that is there and an anchor on it.
TEST(HelpPages, EveryTopicHasItsPageAndAnchor) {
    const std::string pages = std::string(ORVANE_TEST_DATA) + "/../../resources/help/";
    for (int topic = 0; topic <= 6; ++topic) {
        const std::string path = HelpTopicPath(topic);
        const size_t hash = path.find('#');
        std::ifstream in(pages + path.substr(0, hash));
        ASSERT_TRUE(in) << path;
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        if (hash == std::string::npos) continue;
        EXPECT_NE(text.find("name=\"" + path.substr(hash + 1) + "\""), std::string::npos) << path;
    }
}
