#include "imagefile/MetafileTextQt.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>

#include "imagefile/Picture.h"

namespace {

// The system font Windows falls back to is about 12 points: 16 pixels at the 96 dpi the
// player assumes.
constexpr double kDefaultEmPixels = 16;

int PixelSize(double em) {
    return int(std::max(1L, std::lround(em)));
}

// limit caps the em height: glyphs many times the picture's size show nothing useful and
// cost a great deal to draw.
QFont MakeFont(const MetafileTextRun& run, const QPaintDevice* device, double limit) {
    QFont font;
    if (!run.face.empty()) font.setFamily(QString::fromStdString(run.face));
    switch (run.pitchAndFamily >> 4) {
    case 1:
        font.setStyleHint(QFont::Serif);
        break;
    case 3:
        font.setStyleHint(QFont::Monospace);
        break;
    case 4:
        font.setStyleHint(QFont::Cursive);
        break;
    case 5:
        font.setStyleHint(QFont::Decorative);
        break;
    default:
        font.setStyleHint(QFont::SansSerif);
        break;
    }
    if ((run.pitchAndFamily & 3) == 1) font.setFixedPitch(true);
    font.setWeight(QFont::Weight(run.weight > 0 ? std::clamp(run.weight, 1, 1000) : 400));
    font.setItalic(run.italic);
    font.setUnderline(run.underline);
    font.setStrikeOut(run.strikeOut);
    const double em = std::clamp(run.height < 0   ? -run.height
                                 : run.height > 0 ? run.height
                                                  : kDefaultEmPixels,
                                 1.0, limit);
    font.setPixelSize(PixelSize(em));
    if (run.height > 0) {
        // A positive height is the whole cell, ascent and descent, which the em is less than.
        const QFontMetricsF metrics(font, device);
        const double cell = metrics.ascent() + metrics.descent();
        if (cell > 0) font.setPixelSize(PixelSize(em * em / cell));
    }
    if (run.width > 0) {
        // Windows stretches the face so that its average character is this wide.
        const QFontMetricsF metrics(font, device);
        const double average = metrics.averageCharWidth();
        if (average > 0)
            font.setStretch(std::clamp(int(std::lround(100 * run.width / average)), 1, 4000));
    }
    return font;
}

bool HighSurrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool LowSurrogate(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

} // namespace

double DrawMetafileTextQt(CPicture& picture, const MetafileTextRun& run) {
    if (picture.GetBitsPerPixel() != 32 || run.text.empty()) return 0;
    const int w = picture.GetWidth(), h = picture.GetHeight();
    QImage image(picture.GetBits(), w, h, picture.GetBytesPerLine(),
                 picture.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const QFont font = MakeFont(run, &image, 2.0 * std::max(w, h) + 64);
    const QFontMetricsF metrics(font, &image);
    const QString text = QString::fromUtf16(run.text.data(), qsizetype(run.text.size()));
    double advance = 0;
    if (run.dx.empty())
        advance = metrics.horizontalAdvance(text);
    else
        for (double d : run.dx) advance += d;

    QRectF clip(0, 0, w, h);
    const auto cut = [&](const MetafileRect& r) {
        clip &= QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom)).normalized();
    };
    if (run.clipped) cut(run.clip);
    if (run.clipToRect) cut(run.clipRect);
    if (clip.isEmpty()) return advance;

    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The rows are stored bottom-up; flipped, the painter works in picture coordinates and
    // the glyphs come out upright in the picture.
    painter.translate(0, h);
    painter.scale(1, -1);
    painter.setClipRect(clip);
    painter.translate(run.x, run.y);
    painter.rotate(-run.escapement); // y points down here: negative turns counter-clockwise

    double x = 0;
    const unsigned horizontal = run.align & kTextAlignCenter;
    if (horizontal == kTextAlignCenter)
        x = -advance / 2;
    else if (horizontal == kTextAlignRight)
        x = -advance;
    double baseline = metrics.ascent(); // the reference point is the cell's top
    if ((run.align & kTextAlignBaseline) == kTextAlignBaseline)
        baseline = 0;
    else if (run.align & kTextAlignBottom)
        baseline = -metrics.descent();

    if (run.opaque)
        painter.fillRect(QRectF(std::min(x, x + advance), baseline - metrics.ascent(),
                                std::fabs(advance), metrics.ascent() + metrics.descent()),
                         QColor::fromRgb(run.background));
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(run.colour));
    if (run.dx.empty()) {
        painter.drawText(QPointF(x, baseline), text);
        return advance;
    }
    // Each character at its own place: the file fixed the layout for the fonts it was made
    // with, and ours differ.
    for (size_t i = 0; i < run.text.size();) {
        const size_t units =
            HighSurrogate(run.text[i]) && i + 1 < run.text.size() && LowSurrogate(run.text[i + 1])
                ? 2
                : 1;
        painter.drawText(QPointF(x, baseline),
                         QString::fromUtf16(run.text.data() + i, qsizetype(units)));
        for (size_t k = i; k < i + units && k < run.dx.size(); ++k) x += run.dx[k];
        i += units;
    }
    return advance;
}

void InstallMetafileTextRenderer() {
    SetMetafileTextRenderer(&DrawMetafileTextQt);
}
