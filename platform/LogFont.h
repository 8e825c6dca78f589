#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// A logical font as the settings store keeps it ("TVLogoFont"): 60 bytes, little-endian, the
// same layout on every machine so that a stored value reads back wherever it was written.
//
//   offset  size  field
//        0     4  height          int32; < 0 character height, > 0 cell height, 0 default
//        4     4  width           int32; average character width, 0 for the font's own
//        8     4  escapement      int32; tenths of a degree
//       12     4  orientation     int32; tenths of a degree
//       16     4  weight          int32; 0 default, 100 thin ... 400 normal, 700 bold ... 900
//       20     1  italic          0 or 1
//       21     1  underline       0 or 1
//       22     1  strikeOut       0 or 1
//       23     1  charSet
//       24     1  outPrecision
//       25     1  clipPrecision
//       26     1  quality         0 default, 3 no antialiasing, 4 antialiased, 5 cleartype
//       27     1  pitchAndFamily  low two bits pitch (1 fixed, 2 variable), high four family
//       28    32  faceName        NUL-terminated, at most 31 bytes of text
struct LOGFONT {
    int32_t lfHeight = 0;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    std::string lfFaceName; // without the terminating NUL

    bool operator==(const LOGFONT&) const = default;
};

constexpr size_t kLogFontSize = 60;
constexpr size_t kLogFontFaceSize = 32;

constexpr uint8_t FIXED_PITCH = 1;
constexpr uint8_t VARIABLE_PITCH = 2;
constexpr uint8_t FF_ROMAN = 0x10;
constexpr uint8_t FF_SWISS = 0x20;
constexpr uint8_t FF_MODERN = 0x30;
constexpr uint8_t FF_SCRIPT = 0x40;
constexpr uint8_t FF_DECORATIVE = 0x50;
constexpr uint8_t NONANTIALIASED_QUALITY = 3;
constexpr uint8_t ANTIALIASED_QUALITY = 4;
constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_BOLD = 700;

// A face name longer than 31 bytes is cut at a character boundary (the text is UTF-8).
std::array<uint8_t, kLogFontSize> PackLogFont(const LOGFONT& font);
// Nothing unless exactly 60 bytes; a face name without its NUL ends at the record's end.
std::optional<LOGFONT> UnpackLogFont(const uint8_t* data, size_t size);

// Rounded a * b / c, as the character height of a point size is computed.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
