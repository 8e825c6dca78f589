#include "platform/AppSettings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const OutputType OutputTypeTable[5] = {
    {1, "JPEG", ".JPG"}, {0, "Bitmap", ".BMP"}, {2, "PNG", ".PNG"},
    {3, "GIF", ".GIF"},  {4, "TIFF", ".TIF"},
};

const HotkeyName HotkeyNames[HOTKEY_ACTION_COUNT] = {
    {"ActiveWindow", 0}, {"ActiveWindowClient", 1},
    {"Desktop", 9},      {"PopupMenu", 8},
    {"Control", 2},      {"SingleWindow", 10},
    {"Rectangle", 4},    {"Square", 3},
    {"Circle", 5},       {"Ellipse", 6},
    {"Polygon", 7},      {"RepeatLast", 11},
    {"Default", 12},
};

void CopyToBuffer(char* buffer, size_t size, const std::string& text) {
    if (size == 0) return;
    size_t len = text.size() < size - 1 ? text.size() : size - 1;
    if (len < text.size())
        while (len > 0 && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80) --len;
    std::memcpy(buffer, text.data(), len);
    buffer[len] = 0;
}

std::string ModuleFileName() {
    std::string buf(4096, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n <= 0) return {};
        if (size_t(n) < buf.size()) return buf.substr(0, size_t(n));
        buf.resize(buf.size() * 2); // possibly cut: ask again with room to spare
    }
}

namespace {

bool IsDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeDirs(const std::string& dir) {
    for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/') ::mkdir(dir.substr(0, i).c_str(), 0755);
}

std::string PicturesFolder() {
    const char* homeEnv = std::getenv("HOME");
    std::string home = homeEnv ? homeEnv : "";
    std::string dir;
    if (FILE* p = ::popen("xdg-user-dir PICTURES 2>/dev/null", "r")) {
        char buf[1024];
        if (std::fgets(buf, sizeof buf, p)) dir = buf;
        ::pclose(p);
    }
    while (!dir.empty() && (dir.back() == '\n' || dir.back() == '/')) dir.pop_back();
    // Without a configured pictures folder the tool answers the home folder itself.
    if (dir.empty() || dir == home) dir = home + "/Pictures";
    return dir;
}

} // namespace

std::string DefaultOutputDirectory(const std::string& programPath) {
    size_t slash = programPath.rfind('/');
    if (slash == std::string::npos) return {};
    std::string programDir = programPath.substr(0, slash);
    std::string beside = programDir + "/Output";
    // A folder whose name "AutoSavePath" cannot hold would be stored cut, naming another one.
    if (beside.size() <= PATH_BUFFER - 1) {
        if (IsDir(beside) && ::access(beside.c_str(), W_OK) == 0) return beside;
        struct stat st {};
        if (::stat(beside.c_str(), &st) != 0 && ::access(programDir.c_str(), W_OK) == 0 &&
            ::mkdir(beside.c_str(), 0755) == 0)
            return beside;
    }
    // An installed program: its folder is not the user's to write into.
    std::string pictures = PicturesFolder() + "/Orvane Screen";
    MakeDirs(pictures);
    return pictures;
}

AppSettings::AppSettings() : AppSettings(ModuleFileName()) {}

AppSettings::AppSettings(const std::string& path) {
    programPath = path;
    CopyToBuffer(autoSave.path, PATH_BUFFER, DefaultOutputDirectory(path));
}

bool AppSettings::OutputExtension(int typeCode, std::string& extension) {
    for (const auto& row : OutputTypeTable) {
        if (row.code == typeCode) {
            extension = row.extension;
            return true;
        }
    }
    extension.clear();
    return false;
}

void AppSettings::Load(const RegistryNames& names) {
    CRegProfile profile(names, true);
    profile.OpenRootCreate(RegRoot::CurrentUser);

    profile.SetSection("PrintLayout");
    profile.PointValue("SizePage", printLayout.sizePage);
    profile.PointValue("SizePrint", printLayout.sizePrint);
    profile.WordValue("ImageCenterFlag", printLayout.imageCenterFlag);
    std::string title;
    profile.StringValue("Title", title);
    CopyToBuffer(printLayout.title, TITLE_BUFFER, title);
    profile.IntValue("PrintMode", printLayout.printMode);
    profile.WordValue("TitleAlign", printLayout.titleAlign);
    RECT margins{120, 120, 120, 120};
    profile.RectValue("Margins", margins);
    printLayout.margins = margins;

    profile.SetSection("Hotkey");
    for (const auto& hk : HotkeyNames) {
        POINT pt{hk.index, hotkeys.keys[hk.index]};
        profile.PointValue(hk.name, pt);
        // Any number names some slot; a negative one must not reach outside the table.
        long slot = pt.x % HOTKEY_TABLE_SIZE;
        if (slot < 0) slot += HOTKEY_TABLE_SIZE;
        hotkeys.keys[slot] = uint16_t(pt.y & 0xFFFF);
    }

    profile.SetSection("CaptureOptions");
    profile.DwordValue("OptionsA", optionsA);
    profile.DwordValue("ColorViewBackground", colorViewBackground);
    profile.DwordValue("ColorImageBackground", colorImageBackground);
    profile.DwordValue("ColorTransparency", colorTransparency);
    profile.IntValue("DefaultCaptureAction", defaultCaptureAction);
    std::string text;
    if (profile.StringValue("AutoSavePath", text) == ERROR_SUCCESS && !text.empty())
        CopyToBuffer(autoSave.path, PATH_BUFFER, text);
    text.clear();
    if (profile.StringValue("AutoSaveLeadFileName", text) == ERROR_SUCCESS && !text.empty())
        CopyToBuffer(autoSave.leadFileName, LEAD_NAME_BUFFER, text);
    profile.DwordValue("AutoSaveOptions", autoSave.options);
    profile.WordValue("AutoSaveDigitCount", autoSave.digitCount);
    profile.IntValue("AutoSaveStartNO", autoSave.startNO);
    profile.IntValue("AutoSaveImageType", autoSave.imageType);

    if (profile.OpenRootReadOnly(RegRoot::LocalMachine)) {
        profile.SetSection("1.00");
        text.clear();
        if (profile.StringValue("InstallPath", text) == ERROR_SUCCESS && !text.empty())
            programPath = text;
    }
}

void AppSettings::Save(const RegistryNames& names) {
    CRegProfile profile(names, false);
    profile.OpenRootCreate(RegRoot::CurrentUser);

    profile.SetSection("PrintLayout");
    profile.PointValue("SizePage", printLayout.sizePage);
    profile.PointValue("SizePrint", printLayout.sizePrint);
    profile.WordValue("ImageCenterFlag", printLayout.imageCenterFlag);
    std::string title = printLayout.title;
    profile.StringValue("Title", title);
    profile.IntValue("PrintMode", printLayout.printMode);
    profile.WordValue("TitleAlign", printLayout.titleAlign);
    profile.RectValue("Margins", printLayout.margins);

    profile.SetSection("Hotkey");
    for (const auto& hk : HotkeyNames) {
        POINT pt{hk.index, hotkeys.keys[hk.index]};
        profile.PointValue(hk.name, pt);
    }

    profile.SetSection("CaptureOptions");
    profile.DwordValue("OptionsA", optionsA);
    profile.DwordValue("ColorViewBackground", colorViewBackground);
    profile.DwordValue("ColorImageBackground", colorImageBackground);
    profile.DwordValue("ColorTransparency", colorTransparency);
    profile.IntValue("DefaultCaptureAction", defaultCaptureAction);
    std::string text = autoSave.path;
    profile.StringValue("AutoSavePath", text);
    text = autoSave.leadFileName;
    profile.StringValue("AutoSaveLeadFileName", text);
    profile.DwordValue("AutoSaveOptions", autoSave.options);
    profile.WordValue("AutoSaveDigitCount", autoSave.digitCount);
    profile.IntValue("AutoSaveStartNO", autoSave.startNO);
    profile.IntValue("AutoSaveImageType", autoSave.imageType);
}
