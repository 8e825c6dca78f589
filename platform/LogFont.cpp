#include "platform/LogFont.h"

#include <cstdint>
#include <cstdlib>

namespace {

void PutInt(uint8_t* at, int32_t value) {
    const auto v = uint32_t(value);
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}

int32_t GetInt(const uint8_t* at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(at[i]) << (8 * i);
    return int32_t(v);
}

// The longest prefix of at most max bytes that does not split a UTF-8 sequence.
size_t Utf8Prefix(const std::string& text, size_t max) {
    if (text.size() <= max) return text.size();
    size_t n = max;
    while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

} // namespace

std::array<uint8_t, kLogFontSize> PackLogFont(const LOGFONT& font) {
    std::array<uint8_t, kLogFontSize> out{};
    PutInt(&out[0], font.lfHeight);
    PutInt(&out[4], font.lfWidth);
    PutInt(&out[8], font.lfEscapement);
    PutInt(&out[12], font.lfOrientation);
    PutInt(&out[16], font.lfWeight);
    out[20] = font.lfItalic;
    out[21] = font.lfUnderline;
    out[22] = font.lfStrikeOut;
    out[23] = font.lfCharSet;
    out[24] = font.lfOutPrecision;
    out[25] = font.lfClipPrecision;
    out[26] = font.lfQuality;
    out[27] = font.lfPitchAndFamily;
    const size_t face = Utf8Prefix(font.lfFaceName, kLogFontFaceSize - 1);
    for (size_t i = 0; i < face && font.lfFaceName[i] != '\0'; ++i)
        out[28 + i] = uint8_t(font.lfFaceName[i]);
    return out;
}

std::optional<LOGFONT> UnpackLogFont(const uint8_t* data, size_t size) {
    if (!data || size != kLogFontSize) return std::nullopt;
    LOGFONT font;
    font.lfHeight = GetInt(data);
    font.lfWidth = GetInt(data + 4);
    font.lfEscapement = GetInt(data + 8);
    font.lfOrientation = GetInt(data + 12);
    font.lfWeight = GetInt(data + 16);
    font.lfItalic = data[20];
    font.lfUnderline = data[21];
    font.lfStrikeOut = data[22];
    font.lfCharSet = data[23];
    font.lfOutPrecision = data[24];
    font.lfClipPrecision = data[25];
    font.lfQuality = data[26];
    font.lfPitchAndFamily = data[27];
    size_t face = 0;
    while (face < kLogFontFaceSize && data[28 + face] != 0) ++face;
    font.lfFaceName.assign(reinterpret_cast<const char*>(data + 28), face);
    return font;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    // Halves round away from zero, whatever the signs.
    const int64_t product = int64_t(a) * b;
    const int64_t divisor = c;
    const int64_t magnitude = (std::llabs(product) + std::llabs(divisor) / 2) / std::llabs(divisor);
    const int64_t q = (product < 0) != (divisor < 0) ? -magnitude : magnitude;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return int32_t(q);
}
