#include "imagefile/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace raster {

namespace {

struct Edge {
    double x0, y0, x1, y1;
    int dir; // +1 downwards, -1 upwards
};

// Cells of an 8 x 8 hatch, by style: horizontal, vertical, falling, rising, cross, diagonal
// cross.
bool HatchOn(int style, int x, int y) {
    const int mx = x & 7, my = y & 7;
    switch (style) {
    case 0:
        return my == 0;
    case 1:
        return mx == 0;
    case 2:
        return mx == my;
    case 3:
        return mx == 7 - my;
    case 4:
        return mx == 0 || my == 0;
    case 5:
        return mx == my || mx == 7 - my;
    default:
        return false;
    }
}

// A coordinate far outside any picture is brought in, so that float to int conversions
// stay defined.
} // namespace

double Tame(double v) {
    if (!(v == v)) return 0; // not a number
    return std::clamp(v, -1e7, 1e7);
}

uint32_t Paint::At(int x, int y, bool* draw) const {
    *draw = true;
    switch (kind) {
    case Solid:
        return colour;
    case Hatch:
        if (HatchOn(hatch, x, y)) return colour;
        *draw = opaqueBackground;
        return background;
    case Pattern: {
        const int w = pattern->GetWidth(), h = pattern->GetHeight();
        const int px = ((x % w) + w) % w, py = ((y % h) + h) % h;
        uint32_t c;
        std::memcpy(&c, pattern->GetLineArray()[py] + 4 * px, 4);
        return c | 0xFF000000u;
    }
    }
    return colour;
}

Canvas::Canvas(CPicture& picture)
    : m_lines(picture.GetLineArray()), m_width(picture.GetWidth()),
      m_height(picture.GetHeight()), m_clip{0, 0, picture.GetWidth(), picture.GetHeight()} {}

void Canvas::SetClip(const CRect* clip) {
    m_clip = {0, 0, m_width, m_height};
    if (!clip) return;
    m_clip.left = std::clamp(clip->left, 0, m_width);
    m_clip.right = std::clamp(clip->right, m_clip.left, m_width);
    m_clip.top = std::clamp(clip->top, 0, m_height);
    m_clip.bottom = std::clamp(clip->bottom, m_clip.top, m_height);
}

void Canvas::SetPixel(int x, int y, uint32_t colour) {
    if (x < m_clip.left || x >= m_clip.right || y < m_clip.top || y >= m_clip.bottom) return;
    std::memcpy(m_lines[y] + 4 * size_t(x), &colour, 4);
}

void Canvas::FillContours(const std::vector<Contour>& contours, bool nonZero, const Paint& paint) {
    std::vector<Edge> edges;
    double minY = 1e300, maxY = -1e300;
    for (const Contour& c : contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const PointF a{Tame(c[i].x), Tame(c[i].y)};
            const PointF b{Tame(c[(i + 1) % c.size()].x), Tame(c[(i + 1) % c.size()].y)};
            if (a.y == b.y) continue;
            if (a.y < b.y)
                edges.push_back({a.x, a.y, b.x, b.y, 1});
            else
                edges.push_back({b.x, b.y, a.x, a.y, -1});
            minY = std::min({minY, a.y, b.y});
            maxY = std::max({maxY, a.y, b.y});
        }
    }
    if (edges.empty()) return;
    const int yStart = std::max(m_clip.top, int(std::floor(minY - 0.5)));
    const int yEnd = std::min(m_clip.bottom - 1, int(std::ceil(maxY)));
    if (yStart > yEnd) return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> crossings;
    size_t next = 0;
    for (int y = yStart; y <= yEnd; ++y) {
        const double sy = y + 0.5;
        while (next < edges.size() && edges[next].y0 <= sy) active.push_back(&edges[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [sy](const Edge* e) { return e->y1 <= sy; }),
                     active.end());
        crossings.clear();
        for (const Edge* e : active) {
            if (e->y0 > sy) continue;
            const double t = (sy - e->y0) / (e->y1 - e->y0);
            crossings.push_back({e->x0 + t * (e->x1 - e->x0), e->dir});
        }
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        uint8_t* row = m_lines[y];
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += nonZero ? crossings[i].second : 1;
            const bool inside = nonZero ? winding != 0 : (winding & 1) != 0;
            if (!inside) continue;
            // Pixels whose centres lie between the two crossings.
            const int x0 = std::max(m_clip.left, int(std::ceil(crossings[i].first - 0.5)));
            const int x1 = std::min(m_clip.right, int(std::ceil(crossings[i + 1].first - 0.5)));
            if (paint.kind == Paint::Solid) {
                for (int x = x0; x < x1; ++x) std::memcpy(row + 4 * size_t(x), &paint.colour, 4);
            } else {
                for (int x = x0; x < x1; ++x) {
                    bool draw;
                    const uint32_t c = paint.At(x, y, &draw);
                    if (draw) std::memcpy(row + 4 * size_t(x), &c, 4);
                }
            }
        }
    }
}

void Canvas::StrokePolyline(const Contour& points, bool closed, double width, uint32_t colour) {
    if (points.empty()) return;
    Paint paint;
    paint.colour = colour;
    const double half = std::max(width, 1.0) / 2;
    // Pen positions are pixel centres.
    std::vector<PointF> pts;
    pts.reserve(points.size() + 1);
    for (const PointF& p : points) pts.push_back({Tame(p.x) + 0.5, Tame(p.y) + 0.5});
    if (closed && pts.size() > 2) pts.push_back(pts.front());
    const auto dot = [&](const PointF& c) {
        if (half <= 1.0) return;
        Contour disc;
        const int n = std::clamp(ToInt(half * 2), 8, 64);
        for (int i = 0; i < n; ++i) {
            const double a = 2 * M_PI * i / n;
            disc.push_back({c.x + half * std::cos(a), c.y + half * std::sin(a)});
        }
        FillContours({disc}, true, paint);
    };
    if (pts.size() == 1) {
        dot(pts[0]);
        return;
    }
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const PointF a = pts[i], b = pts[i + 1];
        double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::hypot(dx, dy);
        if (len == 0) {
            dot(a);
            continue;
        }
        // Thin lines are widened along their minor axis so that every step is one pixel.
        double nx, ny;
        if (half <= 0.5) {
            nx = std::fabs(dx) >= std::fabs(dy) ? 0 : half;
            ny = std::fabs(dx) >= std::fabs(dy) ? half : 0;
        } else {
            nx = -dy / len * half;
            ny = dx / len * half;
        }
        FillContours({{{a.x + nx, a.y + ny},
                       {b.x + nx, b.y + ny},
                       {b.x - nx, b.y - ny},
                       {a.x - nx, a.y - ny}}},
                     true, paint);
        dot(b);
    }
    if (!closed) dot(pts.front());
}

void Canvas::DrawImage(const CPicture& image, int sx, int sy, int sw, int sh, double x0, double y0,
                       double x1, double y1) {
    x0 = Tame(x0), y0 = Tame(y0), x1 = Tame(x1), y1 = Tame(y1);
    if (sw <= 0 || sh <= 0 || x0 == x1 || y0 == y1 || image.GetBitsPerPixel() != 32) return;
    const int dl = std::max(m_clip.left, int(std::lround(std::min(x0, x1))));
    const int dr = std::min(m_clip.right, int(std::lround(std::max(x0, x1))));
    const int dt = std::max(m_clip.top, int(std::lround(std::min(y0, y1))));
    const int db = std::min(m_clip.bottom, int(std::lround(std::max(y0, y1))));
    if (dl >= dr || dt >= db) return;
    std::vector<int> columns(size_t(dr - dl));
    for (int x = dl; x < dr; ++x) {
        const double u = (x + 0.5 - x0) / (x1 - x0);
        columns[size_t(x - dl)] = sx + std::clamp(ToInt(u * sw), 0, sw - 1);
    }
    for (int y = dt; y < db; ++y) {
        const double v = (y + 0.5 - y0) / (y1 - y0);
        const int row = sy + std::clamp(ToInt(v * sh), 0, sh - 1);
        if (row < 0 || row >= image.GetHeight()) continue;
        const uint8_t* src = image.GetLineArray()[row];
        uint8_t* dst = m_lines[y];
        for (int x = dl; x < dr; ++x) {
            const int c = columns[size_t(x - dl)];
            if (c < 0 || c >= image.GetWidth()) continue;
            uint32_t px;
            std::memcpy(&px, src + 4 * size_t(c), 4);
            px |= 0xFF000000u;
            std::memcpy(dst + 4 * size_t(x), &px, 4);
        }
    }
}

} // namespace raster
