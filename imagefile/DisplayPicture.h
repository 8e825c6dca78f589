#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include "imagefile/Picture.h"

// Raster operations a picture can be drawn with.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t NOTSRCCOPY = 0x00330008;

// Stretch modes: HALFTONE scales smoothly, COLORONCOLOR picks the nearest pixel.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// Clipboard formats a paste may ask for; either takes whatever image the clipboard holds.
constexpr int CF_BITMAP = 2;
constexpr int CF_DIB = 8;

// The picture the document, the view, the clipboard and printing use: it draws itself with
// a painter and travels through the clipboard.
class CDisplayPicture : public CDibSectionPicture {
public:
    CDisplayPicture() = default;

    // A QImage over the picture's own pixels, without copying. Rows are bottom-up, so the
    // image is upside down; the draw operations turn it the right way.
    QImage WrapPixels() const;
    // A top-down copy, for encoders and other programs.
    QImage ToQImage() const;
    // Takes a copy of image: Mono stays 1 bpp, indexed formats become 8 bpp with their
    // colour table, everything else 32 bpp (with the alpha flag when it has alpha).
    void CreateFromQImage(const QImage& image);

    // dest null: the source's own size at the source's position; src null: the whole picture.
    // stretchMode below 0 draws as plainly as possible, HALFTONE smoothly.
    void DrawRegion(QPainter& painter, const QRect* dest, const QRect* src, bool foreground,
                    int stretchMode, uint32_t rop) const;
    // Like DrawRegion, but a stretch mode below 0 means HALFTONE.
    void DrawRegionStretched(QPainter& painter, const QRect* dest, const QRect* src,
                             bool foreground, int stretchMode, uint32_t rop) const;

    void DrawAt(QPainter& painter, int x, int y, uint32_t rop = SRCCOPY) const;
    void DrawScaled(QPainter& painter, int x, int y, int width, int height,
                    uint32_t rop = SRCCOPY) const;
    void DrawScaled(QPainter& painter, int x, int y, double factor, uint32_t rop = SRCCOPY) const;
    void DrawPart(QPainter& painter, QPoint dest, const QRect& src) const;

    // Offers the picture as image/png and image/bmp; the data is made when asked for.
    void CopyToClipboard() const;
    // Takes the image the clipboard holds; returns whether a picture was made.
    bool CreateFromClipboard(int format);
    // Loads a bitmap compiled into the program (":/bitmaps/<id>.bmp").
    bool CreateFromResource(int id);
};
