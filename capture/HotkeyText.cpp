#include "capture/HotkeyText.h"

#include <algorithm>

const std::vector<std::pair<int, std::string>>& KeyNameTable() {
    static const std::vector<std::pair<int, std::string>> table = [] {
        std::vector<std::pair<int, std::string>> t = {
            {44, "Print Screen"}, {8, "Backspace"}, {9, "Tab"},     {13, "Enter"},  {27, "Escape"},
            {32, "Space"},        {35, "End"},      {36, "Home"},   {37, "Left"},   {38, "Up"},
            {39, "Right"},        {40, "Down"},     {45, "Insert"}, {46, "Delete"},
        };
        for (int i = 0; i <= 9; ++i) t.emplace_back(96 + i, "Num " + std::to_string(i));
        t.emplace_back(106, "*");
        t.emplace_back(107, "+");
        t.emplace_back(109, "-");
        t.emplace_back(111, "/");
        for (int i = 1; i <= 12; ++i) t.emplace_back(111 + i, "F" + std::to_string(i));
        for (int c = '0'; c <= '9'; ++c) t.emplace_back(c, std::string(1, char(c)));
        for (int c = 'A'; c <= 'Z'; ++c) t.emplace_back(c, std::string(1, char(c)));
        return t;
    }();
    return table;
}

std::string KeyName(int vk) {
    const auto& table = KeyNameTable();
    const auto it =
        std::find_if(table.begin(), table.end(), [vk](const auto& e) { return e.first == vk; });
    return it == table.end() ? std::string() : it->second;
}

namespace {

// The modifiers joined by "+", then the key's name; `lead` goes before the first word.
std::string Compose(uint16_t word, const char* lead) {
    std::string text;
    auto add = [&](const char* part) {
        text += text.empty() ? lead : "+";
        text += part;
    };
    if (word & HOTKEY_CTRL) add("Ctrl");
    if (word & HOTKEY_SHIFT) add("Shift");
    if (word & HOTKEY_ALT) add("Alt");
    const std::string name = KeyName(word & 0xFF);
    if (!name.empty()) add(name.c_str());
    return text;
}

} // namespace

std::string HotkeyDisplayText(uint16_t word) {
    return Compose(word, "");
}

std::string HotkeyMenuText(const std::string& itemText, uint16_t word) {
    return itemText + Compose(word, "\t");
}

std::string StripMnemonics(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return out;
}
