#include "framework/LogicalFont.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {

struct FamilyHint {
    uint8_t family;
    QFont::StyleHint hint;
};
constexpr FamilyHint kFamilies[] = {
    {FF_ROMAN, QFont::Serif},    {FF_SWISS, QFont::SansSerif},       {FF_MODERN, QFont::Monospace},
    {FF_SCRIPT, QFont::Cursive}, {FF_DECORATIVE, QFont::Decorative},
};

QFont::StyleHint HintOf(uint8_t pitchAndFamily) {
    for (const auto& f : kFamilies)
        if ((pitchAndFamily & 0xF0) == f.family) return f.hint;
    return QFont::AnyStyle;
}

uint8_t FamilyOf(QFont::StyleHint hint) {
    for (const auto& f : kFamilies)
        if (f.hint == hint) return f.family;
    return 0;
}

// The height a record would give this font: negative, in pixels at dpiY.
int32_t HeightOf(const QFont& font, int dpiY) {
    if (font.pixelSize() > 0) return -font.pixelSize();
    return -int32_t(std::lround(font.pointSizeF() * dpiY / 72.0));
}

} // namespace

int ScreenDpiY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? int(std::lround(screen->logicalDotsPerInchY())) : 96;
}

int32_t CharacterHeight(int points, int dpiY) {
    return -MulDiv(points, dpiY, 72);
}

QFont FontFromLogFont(const LOGFONT& record) {
    QFont font;
    if (!record.lfFaceName.empty()) font.setFamily(QString::fromStdString(record.lfFaceName));
    font.setStyleHint(HintOf(record.lfPitchAndFamily));
    font.setFixedPitch((record.lfPitchAndFamily & 3) == FIXED_PITCH);
    if (record.lfHeight < 0) {
        font.setPixelSize(-record.lfHeight);
    } else if (record.lfHeight > 0) {
        // A positive height is the cell (ascent plus descent), not the character height.
        QFont probe = font;
        probe.setPixelSize(100);
        const qreal cell = QFontMetricsF(probe).height();
        font.setPixelSize(
            std::max(1, int(std::lround(record.lfHeight * 100.0 / (cell > 0 ? cell : 100.0)))));
    }
    font.setWeight(record.lfWeight <= 0 ? QFont::Normal
                                        : QFont::Weight(std::min(record.lfWeight, 1000)));
    font.setItalic(record.lfItalic != 0);
    font.setUnderline(record.lfUnderline != 0);
    font.setStrikeOut(record.lfStrikeOut != 0);
    if (record.lfQuality == NONANTIALIASED_QUALITY)
        font.setStyleStrategy(QFont::NoAntialias);
    else if (record.lfQuality >= ANTIALIASED_QUALITY)
        font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

LOGFONT LogFontFromFont(const QFont& font, int dpiY, const LOGFONT& base) {
    LOGFONT record = base;
    const QFont was = FontFromLogFont(base);
    if (font.family() != was.family()) record.lfFaceName = font.family().toStdString();
    if (HeightOf(font, dpiY) != HeightOf(was, dpiY)) record.lfHeight = HeightOf(font, dpiY);
    if (font.weight() != was.weight()) record.lfWeight = font.weight();
    if (font.italic() != was.italic()) record.lfItalic = font.italic();
    if (font.underline() != was.underline()) record.lfUnderline = font.underline();
    if (font.strikeOut() != was.strikeOut()) record.lfStrikeOut = font.strikeOut();
    if (font.styleStrategy() != was.styleStrategy()) {
        if (font.styleStrategy() & QFont::NoAntialias)
            record.lfQuality = NONANTIALIASED_QUALITY;
        else if (font.styleStrategy() & QFont::PreferAntialias)
            record.lfQuality = ANTIALIASED_QUALITY;
        else
            record.lfQuality = 0;
    }
    if (font.styleHint() != was.styleHint())
        record.lfPitchAndFamily =
            uint8_t((record.lfPitchAndFamily & 0x0F) | FamilyOf(font.styleHint()));
    if (font.fixedPitch() != was.fixedPitch())
        record.lfPitchAndFamily = uint8_t((record.lfPitchAndFamily & 0xF0) |
                                          (font.fixedPitch() ? FIXED_PITCH : VARIABLE_PITCH));
    return record;
}
