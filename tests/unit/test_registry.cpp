#include "RegistryFixture.h"

namespace {

RegKey OpenKey(const std::string& path, bool create) {
    RegKey key;
    RegKey root = RegKey::RootKey(RegRoot::CurrentUser, create);
    if (create)
        key.Create(root, path);
    else
        key.Open(root, path, false);
    return key;
}

} // namespace

TEST_F(RegistryTest, ValuesOfEveryTypeSurviveTheFile) {
    RegKey key = OpenKey("software\\Orvane\\Orvane Screen\\S", true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(key.SetDword("D", 0xDEADBEEF), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString("Quote", "a \"b\" c:\\dir"), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString("Line", "two\nlines"), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString("Utf8", "Bilder \xc3\xa4"), ERROR_SUCCESS);
    const uint8_t bin[] = {0, 1, 0xff};
    EXPECT_EQ(key.SetValue("B", REG_BINARY, bin, 3), ERROR_SUCCESS);
    EXPECT_EQ(key.Flush(), ERROR_SUCCESS);

    Reload();
    // Keys and value names are found whatever their case.
    RegKey back = OpenKey("SOFTWARE\\orvane\\ORVANE SCREEN\\s", false);
    ASSERT_TRUE(back.IsOpen());
    DWORD d = 0;
    EXPECT_EQ(back.QueryDword("d", d), ERROR_SUCCESS);
    EXPECT_EQ(d, 0xDEADBEEFu);
    std::string s;
    EXPECT_EQ(back.QueryString("Quote", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "a \"b\" c:\\dir");
    EXPECT_EQ(back.QueryString("Line", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "two\nlines");
    EXPECT_EQ(back.QueryString("Utf8", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "Bilder \xc3\xa4");
    DWORD type = 0;
    std::vector<uint8_t> data;
    EXPECT_EQ(back.QueryValue("B", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, std::vector<uint8_t>({0, 1, 0xff}));
    // A value of another type is not read as a number.
    EXPECT_NE(back.QueryDword("Quote", d), ERROR_SUCCESS);
    EXPECT_EQ(back.SetDword("X", 1), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, ReadsTheExportFormatOfOtherTools) {
    Write(userFile, "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n"
                    "; written by hand\r\n"
                    "[HKEY_CURRENT_USER\\Software\\A]\r\n"
                    "@=\"default\"\r\n"
                    "\"Long\"=hex:01,02,\\\r\n  03\r\n");
    RegKey key = OpenKey("software\\a", false);
    ASSERT_TRUE(key.IsOpen());
    std::string s;
    EXPECT_EQ(key.QueryString("", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "default");
    std::vector<uint8_t> data;
    EXPECT_EQ(key.QueryValue("Long", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data.size(), 3u);
}

TEST_F(RegistryTest, DamagedFilesAreEmptyRootsAndAreKeptAside) {
    const char* damaged[] = {
        "",
        "not a registry file\n",
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\software\\A]\n\"X\"=dword:12",
        "Windows Registry Editor Version 5.00\n\"X\"=dword:00000001\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\x]\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\x]\n\"X\"=\"open\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\x]\n\"X\"=hex(zz):00\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\x]\n\"X\"=hex:0\n",
    };
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        Write(userFile, text);
        Reload();
        RegKey root = RegKey::RootKey(RegRoot::CurrentUser, true);
        EXPECT_TRUE(Registry::Instance().Hive(RegRoot::CurrentUser).Root().children.empty());
        RegKey key;
        ASSERT_EQ(key.Create(root, "software\\New"), ERROR_SUCCESS);
        key.SetDword("V", 7);
        ASSERT_EQ(key.Flush(), ERROR_SUCCESS);
        EXPECT_EQ(Read(userFile + ".damaged"), text);
        EXPECT_NE(Read(userFile).find("\"V\"=dword:00000007"), std::string::npos);
    }
}

TEST_F(RegistryTest, AFailedOrInterruptedSaveLeavesThePreviousFile) {
    RegKey key = OpenKey("software\\A", true);
    key.SetDword("V", 1);
    ASSERT_EQ(key.Flush(), ERROR_SUCCESS);
    const std::string good = Read(userFile);

    // The temporary file cannot be made: the write fails, is reported, the old file stays.
    std::string tmp = userFile + "." + std::to_string(getpid()) + ".tmp";
    std::filesystem::create_directory(tmp);
    key.SetDword("V", 2);
    EXPECT_EQ(key.Flush(), ERROR_WRITE_FAULT);
    EXPECT_EQ(Read(userFile), good);
    std::filesystem::remove(tmp);

    // A crash in the middle of a save leaves a partial temporary file beside the good one:
    // the next start reads the good file.
    Write(userFile + ".999999.tmp", "Windows Registry Editor Version 5.00\n[HKEY_CURR");
    Reload();
    DWORD v = 0;
    EXPECT_EQ(OpenKey("software\\A", false).QueryDword("V", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 1u);
}

TEST_F(RegistryTest, TheMachineRootIsReadOnly) {
    Write(machineFile, "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\software\\Orvane\\Orvane Screen\\1.00]\n"
                       "\"InstallPath\"=\"/opt/orvane/OrvaneScreen\"\n");
    RegKey root = RegKey::RootKey(RegRoot::LocalMachine, true);
    EXPECT_FALSE(root.Writable());
    RegKey key;
    EXPECT_EQ(key.Create(root, "software\\X"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.Open(root, "software\\Orvane\\Orvane Screen\\1.00", false), ERROR_SUCCESS);
    std::string s;
    EXPECT_EQ(key.QueryString("InstallPath", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "/opt/orvane/OrvaneScreen");
}
