#include "capture/ShapeMask.h"

#include <algorithm>
#include <cmath>

ShapeMask::ShapeMask(int shapeKind, int width, int height, std::vector<ShapePoint> points)
    : m_kind(shapeKind), m_width(width), m_height(height), m_points(std::move(points)) {
    if (m_kind >= 3 && int(m_points.size()) > m_kind) m_points.resize(size_t(m_kind));
}

const std::vector<ShapeSpan>& ShapeMask::Row(int y) {
    m_row.clear();
    if (y < 0 || y >= m_height || m_width <= 0) return m_row;

    if (m_kind == 0) {
        m_row.push_back({0, m_width});
    } else if (m_kind == 2) {
        // Pixel centres inside the ellipse inscribed in the rectangle.
        const double a = m_width / 2.0, b = m_height / 2.0;
        const double dy = (y + 0.5 - b) / b;
        const double t = 1.0 - dy * dy;
        if (t >= 0) {
            const double dx = a * std::sqrt(t);
            const int begin = std::max(0, int(std::ceil(a - dx - 0.5)));
            const int end = std::min(m_width, int(std::floor(a + dx - 0.5)) + 1);
            if (begin < end) m_row.push_back({begin, end});
        }
    } else if (m_kind >= 3 && m_points.size() >= 3) {
        // Winding rule at the row's centre line: each edge crossing adds its direction.
        const double yc = y + 0.5;
        m_crossings.clear();
        const size_t n = m_points.size();
        for (size_t i = 0; i < n; ++i) {
            const ShapePoint& p = m_points[i];
            const ShapePoint& q = m_points[(i + 1) % n];
            if (p.y == q.y) continue;
            const bool down = q.y > p.y;
            const double y0 = down ? p.y : q.y, y1 = down ? q.y : p.y;
            if (yc < y0 || yc >= y1) continue;
            const double x = p.x + (yc - p.y) * double(q.x - p.x) / double(q.y - p.y);
            m_crossings.emplace_back(x, down ? 1 : -1);
        }
        std::sort(m_crossings.begin(), m_crossings.end());
        int winding = 0;
        double enter = 0;
        for (const auto& [x, direction] : m_crossings) {
            const int before = winding;
            winding += direction;
            if (before == 0 && winding != 0) {
                enter = x;
            } else if (before != 0 && winding == 0) {
                // Pixels whose centres lie in [enter, x).
                const int begin = std::max(0, int(std::ceil(enter - 0.5)));
                const int end = std::min(m_width, int(std::ceil(x - 0.5)));
                if (begin >= end) continue;
                if (!m_row.empty() && m_row.back().end >= begin)
                    m_row.back().end = std::max(m_row.back().end, end);
                else
                    m_row.push_back({begin, end});
            }
        }
    }
    return m_row;
}
