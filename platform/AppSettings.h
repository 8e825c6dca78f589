#pragma once

#include <cstdint>
#include <string>

#include "platform/RegProfile.h"

// OptionsA flags. Bits without a name are carried through load and save unchanged.
constexpr DWORD OPTA_ENABLE_SOUND = 0x1;
constexpr DWORD OPTA_TRAY_ON_STARTUP = 0x2;
constexpr DWORD OPTA_POPUP_AFTER_CAPTURE = 0x8;
constexpr DWORD OPTA_OPEN_IN_EDITOR = 0x20;
constexpr DWORD OPTA_COPY_TO_CLIPBOARD = 0x40;
constexpr DWORD OPTA_PRINT = 0x80;
constexpr DWORD OPTA_SKIP_PRINT_DIALOG = 0x100;
constexpr DWORD OPTA_SAVE_TO_FILE = 0x200;
constexpr DWORD OPTA_AUTO_NAME = 0x400;
constexpr DWORD OPTA_PROMPT_SAVE = 0x1000;
constexpr DWORD OPTA_RESET_MRU_ON_EXIT = 0x40000;
constexpr DWORD OPTA_TRAY_ON_MINIMIZE = 0x80000;

// AutoSaveOptions flags.
constexpr uint32_t ASO_REPLACE_EXISTING = 0x1;
constexpr uint32_t ASO_RESET_COUNTER_ON_STARTUP = 0x2;
constexpr uint32_t ASO_WRAP_COUNTER = 0x4;

constexpr int HOTKEY_TABLE_SIZE = 35;
constexpr int HOTKEY_ACTION_COUNT = 13;

// Buffer sizes, terminator included.
constexpr size_t TITLE_BUFFER = 256;
constexpr size_t PATH_BUFFER = 260;
constexpr size_t LEAD_NAME_BUFFER = 128;

struct PrintLayoutSettings {
    POINT sizePage;
    POINT sizePrint;
    RECT margins{120, 120, 120, 120};
    unsigned titleAlign = 4;
    unsigned imageCenterFlag = 3;
    int printMode = 1;
    char title[TITLE_BUFFER] = {};
};

struct HotkeyTable {
    uint16_t keys[HOTKEY_TABLE_SIZE] = {0x202C, 0xE043, 0x804E, 0xA053, 0xA052, 0xC043, 0xA045,
                                        0xA050, 0xC04D, 0xA044, 0xC053, 0xC04C, 0x002C};
};

struct AutoSaveSettings {
    int imageType = 1;
    char path[PATH_BUFFER] = {};
    char leadFileName[LEAD_NAME_BUFFER] = "Orvn";
    unsigned digitCount = 5;
    int startNO = 1;
    DWORD options = ASO_REPLACE_EXISTING | ASO_WRAP_COUNTER;
};

struct OutputType {
    int code;
    const char* name;
    const char* extension;
};
// The "Save image as" list, in its order.
extern const OutputType OutputTypeTable[5];

// Registry value names of the hotkey table in load and save order, with their action index.
struct HotkeyName {
    const char* name;
    int index;
};
extern const HotkeyName HotkeyNames[HOTKEY_ACTION_COUNT];

// Copies text into a fixed buffer, cut to fit (never in the middle of a UTF-8 character).
void CopyToBuffer(char* buffer, size_t size, const std::string& text);

// Every persistent option of the program, read once at start and written once at exit.
struct AppSettings {
    // Defaults, with the program path of the running executable.
    AppSettings();
    // Defaults for a program at programPath (empty: none known).
    explicit AppSettings(const std::string& programPath);

    PrintLayoutSettings printLayout;
    HotkeyTable hotkeys;
    DWORD optionsA = 0x0008166B;
    DWORD colorTransparency = 0x00FF00FF;
    DWORD colorViewBackground = 0x00C0C000;
    DWORD colorImageBackground = 0x00C08000;
    int defaultCaptureAction = 9;
    AutoSaveSettings autoSave;
    // The program's own file, whatever its length: help, the autostart entry and the default
    // output folder are found from it, so a deep install must not lose it.
    std::string programPath;

    void Load(const RegistryNames& names);
    void Save(const RegistryNames& names);
    static bool OutputExtension(int typeCode, std::string& extension);
};

// The running program's file (empty when it cannot be known).
std::string ModuleFileName();
// "Output" beside the program when that folder is (or can be made) a writable folder whose
// path fits "AutoSavePath", else the user's pictures folder + "/Orvane Screen"; the folder
// is created. Empty without a program path.
std::string DefaultOutputDirectory(const std::string& programPath);
