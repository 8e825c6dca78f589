#pragma once

#include <cstdint>
#include <vector>

// Shapes a capture can be masked to, by the tracker's shape kind: 0 rectangle, 2 ellipse
// inscribed in the rectangle, 3 or more a polygon with that many points; 1 copies nothing.
struct ShapePoint {
    int x, y;
    bool operator==(const ShapePoint&) const = default;
};

// A run of pixels [begin, end) inside the shape on one row.
struct ShapeSpan {
    int begin, end;
};

// Visits the inside of the shape row by row (rows 0 to height - 1): rowSpans(y, spans).
// Polygon points are relative to the rectangle's top-left corner; the polygon is filled by
// the winding rule, sampling pixel centres. Spans on a row are sorted and disjoint.
class ShapeMask {
public:
    ShapeMask(int shapeKind, int width, int height, std::vector<ShapePoint> points = {});

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The spans of row y (empty when the row is wholly outside).
    const std::vector<ShapeSpan>& Row(int y);

private:
    int m_kind;
    int m_width, m_height;
    std::vector<ShapePoint> m_points;
    std::vector<ShapeSpan> m_row;
    std::vector<std::pair<double, int>> m_crossings;
};
