#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imagefile/Picture.h"
#include "imagefile/Rect.h"

// A small rasteriser drawing into a 32-bit picture in device pixels: polygons filled by the
// even-odd or non-zero rule with pixel-centre sampling (no anti-aliasing, as a display
// driver draws), wide lines built from those polygons, and scaled images. Everything is
// clipped to the picture and to one clip rectangle.
namespace raster {

struct PointF {
    double x, y;
};
using Contour = std::vector<PointF>;

// Coordinates from a file can be anything a double holds; converting those to int is
// undefined beyond its range. Everything that becomes a pixel index goes through these.
double Tame(double v); // NaN to 0, then clamped to +-1e7
inline int ToInt(double v) {
    return int(Tame(v));
}

// What a filled area is painted with.
struct Paint {
    enum Kind { Solid, Hatch, Pattern } kind = Solid;
    uint32_t colour = 0xFF000000u; // as a pixel: blue in the lowest byte
    int hatch = 0;                 // the hatch style for Hatch
    bool opaqueBackground = false; // Hatch: fill the gaps with background
    uint32_t background = 0xFFFFFFFFu;
    std::shared_ptr<const CPicture> pattern; // 32-bit tile for Pattern

    uint32_t At(int x, int y, bool* draw) const;
};

class Canvas {
public:
    explicit Canvas(CPicture& picture);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetClip(const CRect* clip); // null: the whole picture
    const CRect& Clip() const { return m_clip; }

    void FillContours(const std::vector<Contour>& contours, bool nonZero, const Paint& paint);
    // A line of the given width through the points; round joins and caps for wide lines.
    void StrokePolyline(const Contour& points, bool closed, double width, uint32_t colour);
    void SetPixel(int x, int y, uint32_t colour);
    // Draws a 32-bit image scaled onto the device rectangle from (x0, y0) to (x1, y1); a
    // rectangle given right to left or bottom to top mirrors the image.
    void DrawImage(const CPicture& image, int sx, int sy, int sw, int sh, double x0, double y0,
                   double x1, double y1);

private:
    uint8_t* const* m_lines;
    int m_width, m_height;
    CRect m_clip;
};

} // namespace raster
