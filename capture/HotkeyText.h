#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Hotkey words: low byte the virtual-key code, plus these modifier bits; 0 is no hotkey.
constexpr uint16_t HOTKEY_CTRL = 0x8000;
constexpr uint16_t HOTKEY_SHIFT = 0x4000;
constexpr uint16_t HOTKEY_ALT = 0x2000;

// The keys that have a display name, in the order lists show them.
const std::vector<std::pair<int, std::string>>& KeyNameTable();
// The name of a virtual-key code, or empty when the key has none.
std::string KeyName(int vk);

// "Ctrl+Alt+R", "Alt+Print Screen", "Print Screen"; empty for 0. A key without a name adds
// nothing, so the text may end with a modifier.
std::string HotkeyDisplayText(uint16_t word);
// A menu item's text with its hotkey after a tab: "&Rectangle\tCtrl+Alt+R".
std::string HotkeyMenuText(const std::string& itemText, uint16_t word);
// A menu text without its mnemonic marks: "Ac&tive Window" -> "Active Window".
std::string StripMnemonics(const std::string& text);
