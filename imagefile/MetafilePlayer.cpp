#include "imagefile/MetafilePlayer.h"

#include <algorithm>
#include <atomic>

namespace metafile {

namespace {

std::atomic<MetafileTextRenderer> g_textRenderer{nullptr};

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

// A face name of up to units UTF-16 units, ending at the first NUL.
std::string FaceFromUtf16(const uint8_t* p, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = LE16(p + 2 * i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && LE16(p + 2 * i + 2) >= 0xDC00 &&
            LE16(p + 2 * i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (LE16(p + 2 * i + 2) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone half of a pair
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Eight-bit text in the Windows western code page; other code pages are read as it too.
char16_t FromAnsi(uint8_t b) {
    static const char16_t k80[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return b >= 0x80 && b < 0xA0 ? k80[b - 0x80] : char16_t(b);
}

std::u16string TextFromAnsi(const uint8_t* p, size_t count) {
    std::u16string text(count, u'\0');
    for (size_t i = 0; i < count; ++i) text[i] = FromAnsi(p[i]);
    return text;
}

std::u16string TextFromUtf16(const uint8_t* p, size_t count) {
    std::u16string text(count, u'\0');
    for (size_t i = 0; i < count; ++i) text[i] = char16_t(LE16(p + 2 * i));
    return text;
}

std::string FaceFromAnsi(const uint8_t* p, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && p[i]; ++i) AppendUtf8(out, FromAnsi(p[i]));
    return out;
}

Affine Player::Transform() const {
    const State& s = m_state;
    double sx = 1, sy = 1;
    switch (s.mapMode) {
    case 2:
        sx = 0.1 * m_refX, sy = -0.1 * m_refY;
        break; // 0.1 mm
    case 3:
        sx = 0.01 * m_refX, sy = -0.01 * m_refY;
        break; // 0.01 mm
    case 4:
        sx = 0.254 * m_refX, sy = -0.254 * m_refY;
        break; // 0.01 inch
    case 5:
        sx = 0.0254 * m_refX, sy = -0.0254 * m_refY;
        break;
    case 6:
        sx = 25.4 / 1440 * m_refX, sy = -25.4 / 1440 * m_refY;
        break; // twips
    case 7:
    case 8:
        if (s.wExtX != 0 && s.wExtY != 0) {
            sx = s.vExtX / s.wExtX;
            sy = s.vExtY / s.wExtY;
            if (s.mapMode == 7) { // the same scale both ways, keeping each direction
                const double m = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(m, sx), sy = std::copysign(m, sy);
            }
        }
        break;
    default:
        break;
    }
    Affine page{sx, 0, 0, sy, s.vOrgX - s.wOrgX * sx, s.vOrgY - s.wOrgY * sy};
    return s.world.Then(page).Then(m_final);
}

void Player::FillWith(const std::vector<Contour>& contours, const Brush& brush) {
    if (brush.style == 1) return;
    raster::Paint paint;
    paint.colour = brush.colour;
    if (brush.style == 2) {
        paint.kind = raster::Paint::Hatch;
        paint.hatch = brush.hatch;
        paint.opaqueBackground = m_state.opaqueBk;
        paint.background = m_state.bkColour;
    } else if (brush.style == 3 && brush.pattern) {
        paint.kind = raster::Paint::Pattern;
        paint.pattern = brush.pattern;
    }
    ApplyClip();
    m_canvas.FillContours(contours, m_state.winding, paint);
}

void Player::StrokeWith(const Contour& points, bool closed) {
    if (m_state.pen.style == 5) return;
    ApplyClip();
    m_canvas.StrokePolyline(points, closed, PenWidth(), m_state.pen.colour);
}

void Player::Figure(const Contour& points, bool closed, bool fill, bool stroke) {
    if (points.empty()) return;
    if (m_inPath) {
        m_path.push_back(points);
        m_pathClosed.push_back(closed);
        return;
    }
    if (fill) FillWith({points}, m_state.brush);
    if (stroke) StrokeWith(points, closed);
}

void Player::Ellipse(double l, double t, double r, double b, bool fill) {
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2,
                 ry = std::fabs(b - t) / 2;
    const PointF c = Map(cx, cy), e = Map(cx + rx, cy + ry);
    const int n =
        std::clamp(raster::ToInt(std::max(std::fabs(e.x - c.x), std::fabs(e.y - c.y))), 16, 360);
    Contour pts;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        pts.push_back(Map(cx + rx * std::cos(a), cy + ry * std::sin(a)));
    }
    Figure(pts, true, fill, true);
}

void Player::Arc(const int32_t* v, int kind) {
    // v: bounding box left, top, right, bottom, then the start and end radial points.
    const double l = v[0], t = v[1], r = v[2], b = v[3]; // in double: int32 sums overflow
    const double cx = (l + r) / 2, cy = (t + b) / 2;
    const double rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
    // Counter-clockwise as seen on the page (y grows downwards in logical space here).
    double a0 = std::atan2(-(v[5] - cy), v[4] - cx);
    double a1 = std::atan2(-(v[7] - cy), v[6] - cx);
    if (a1 <= a0) a1 += 2 * M_PI;
    Contour pts;
    const int n = std::clamp(raster::ToInt((a1 - a0) * std::max(rx, ry)), 8, 360);
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + (a1 - a0) * i / n;
        pts.push_back(Map(cx + rx * std::cos(a), cy - ry * std::sin(a)));
    }
    if (kind == 2) pts.push_back(Map(cx, cy));
    Figure(pts, kind != 0, kind != 0, true);
}

void Player::RoundRect(double l, double t, double r, double b, double w, double h) {
    const double rx = std::min(std::fabs(w) / 2, std::fabs(r - l) / 2);
    const double ry = std::min(std::fabs(h) / 2, std::fabs(b - t) / 2);
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    Contour pts;
    const double corners[4][3] = {
        {r - rx, t + ry, 0}, {l + rx, t + ry, 1}, {l + rx, b - ry, 2}, {r - rx, b - ry, 3}};
    for (const auto& c : corners)
        for (int i = 0; i <= 8; ++i) {
            const double a = (c[2] + i / 8.0) * M_PI / 2;
            pts.push_back(Map(c[0] + rx * std::cos(a), c[1] - ry * std::sin(a)));
        }
    Figure(pts, true, true, true);
}

void Player::Bezier(const std::vector<PointF>& logical, bool fromCurrent) {
    std::vector<PointF> p;
    if (fromCurrent) p.push_back(m_state.pos);
    p.insert(p.end(), logical.begin(), logical.end());
    if (p.empty()) return;
    Contour pts{Map(p[0].x, p[0].y)};
    for (size_t i = 0; i + 3 < p.size() + 0 && i + 3 <= p.size() - 1; i += 3) {
        for (int k = 1; k <= 16; ++k) {
            const double t = k / 16.0, u = 1 - t;
            const double x = u * u * u * p[i].x + 3 * u * u * t * p[i + 1].x +
                             3 * u * t * t * p[i + 2].x + t * t * t * p[i + 3].x;
            const double y = u * u * u * p[i].y + 3 * u * u * t * p[i + 1].y +
                             3 * u * t * t * p[i + 2].y + t * t * t * p[i + 3].y;
            pts.push_back(Map(x, y));
        }
    }
    m_state.pos = p.back();
    if (m_inPath && fromCurrent && !m_path.empty() && !m_pathClosed.back()) {
        m_path.back().insert(m_path.back().end(), pts.begin() + 1, pts.end());
        return;
    }
    Figure(pts, false, false, true);
}

void Player::IntersectClip(double l, double t, double r, double b) {
    const PointF p = Map(l, t), q = Map(r, b);
    CRect rc{raster::ToInt(std::round(std::min(p.x, q.x))),
             raster::ToInt(std::round(std::min(p.y, q.y))),
             raster::ToInt(std::round(std::max(p.x, q.x))),
             raster::ToInt(std::round(std::max(p.y, q.y)))};
    if (m_state.clipped) {
        rc.left = std::max(rc.left, m_state.clip.left);
        rc.top = std::max(rc.top, m_state.clip.top);
        rc.right = std::max(rc.left, std::min(rc.right, m_state.clip.right));
        rc.bottom = std::max(rc.top, std::min(rc.bottom, m_state.clip.bottom));
    }
    m_state.clip = rc;
    m_state.clipped = true;
}

void Player::Dib(const uint8_t* dib, size_t size, int sx, int sy, int sw, int sh, double dx,
                 double dy, double dw, double dh) {
    auto image = std::make_shared<CDibPicture>();
    try {
        image->CreateFromDIB(dib, size);
    } catch (const CTextException&) {
        return; // a bitmap we cannot read is left out, as the system would
    }
    CDibPicture colour;
    const CPicture* img = image.get();
    if (image->GetBitsPerPixel() != 32) {
        colour.CopyWithDepth(*image, 32);
        img = &colour;
    }
    // Source rows count from the bottom of the bitmap in device-independent coordinates.
    const int srcTop = img->GetHeight() - sy - sh;
    const PointF p = Map(dx, dy), q = Map(dx + dw, dy + dh);
    ApplyClip();
    m_canvas.DrawImage(*img, sx, srcTop, sw, sh, p.x, p.y, q.x, q.y);
}

void Player::Save() {
    if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_state);
}

void Player::Restore(int n) {
    // Negative: that many steps back; positive: that saved level.
    size_t keep;
    if (n < 0)
        keep =
            size_t(-int64_t(n)) > m_saved.size() ? m_saved.size() + 1 : m_saved.size() + size_t(n);
    else
        keep = size_t(n) >= 1 ? size_t(n) - 1 : m_saved.size() + 1;
    if (keep >= m_saved.size()) return;
    m_state = m_saved[keep];
    m_saved.resize(keep);
}

void Player::SelectStockFont(uint32_t index) {
    switch (index) {
    case 10: // OEM_FIXED_FONT
    case 11: // ANSI_FIXED_FONT
    case 16: // SYSTEM_FIXED_FONT
        m_state.font = {};
        m_state.font.pitchAndFamily = 0x31; // fixed pitch, modern
        break;
    case 12:
    case 13:
    case 14:
    case 17: // the variable-pitch system and GUI fonts
        m_state.font = {};
        break;
    default:
        break;
    }
}

void Player::Text(const TextCall& call) {
    const Affine t = Transform();
    const Font& font = m_state.font;
    // Sizes along the baseline scale with the mapped x axis, the height with the mapped y.
    const double sx = std::hypot(t.a, t.b), sy = std::hypot(t.c, t.d);
    MetafileTextRun run;
    run.text = call.text;
    run.face = font.face;
    run.height = raster::Tame(font.height * sy);
    run.width = raster::Tame(std::fabs(font.width * sx));
    run.weight = std::clamp(font.weight, 0, 1000);
    run.pitchAndFamily = font.pitchAndFamily;
    run.italic = font.italic, run.underline = font.underline, run.strikeOut = font.strikeOut;
    // Escapement is measured on the device; a world transform that turns the page turns the
    // text with it, while plain flips of an axis (y up in the metric mapping modes) do not.
    run.escapement = font.escapement / 10.0;
    if (std::fabs(t.b) > 1e-9 * sx || std::fabs(t.c) > 1e-9 * sy)
        run.escapement += std::atan2(-t.b, t.a) * 180 / M_PI;
    const bool updateCp = (m_state.textAlign & kTextAlignUpdateCp) != 0;
    const PointF ref = t.Apply(updateCp ? m_state.pos : PointF{call.x, call.y});
    run.x = raster::Tame(ref.x), run.y = raster::Tame(ref.y);
    run.align = m_state.textAlign;
    run.colour = m_state.textColour;
    run.opaque = m_state.opaqueBk;
    run.background = m_state.bkColour;
    run.clipped = m_state.clipped;
    run.clip = {double(m_state.clip.left), double(m_state.clip.top), double(m_state.clip.right),
                double(m_state.clip.bottom)};
    double advance = 0;
    run.dx.reserve(call.dx.size());
    for (double d : call.dx) {
        run.dx.push_back(raster::Tame(d * sx));
        advance += run.dx.back();
    }

    if (call.hasRect && (call.options & (kEtoOpaque | kEtoClipped))) {
        const PointF p = Map(call.left, call.top), q = Map(call.right, call.bottom);
        const MetafileRect box{raster::Tame(std::min(p.x, q.x)), raster::Tame(std::min(p.y, q.y)),
                               raster::Tame(std::max(p.x, q.x)), raster::Tame(std::max(p.y, q.y))};
        if (call.options & kEtoClipped) run.clipToRect = true, run.clipRect = box;
        // The opaque rectangle is a plain fill in the background colour, drawn whether or not
        // any text can be.
        if ((call.options & kEtoOpaque) && !m_inPath)
            FillWith({{{box.left, box.top},
                       {box.right, box.top},
                       {box.right, box.bottom},
                       {box.left, box.bottom}}},
                     Brush{0, m_state.bkColour});
    }

    const MetafileTextRenderer renderer = g_textRenderer.load(std::memory_order_acquire);
    if (renderer && !run.text.empty() && !m_inPath && m_picture.GetBitsPerPixel() == 32) {
        const double drawn = renderer(m_picture, run);
        if (run.dx.empty() && std::isfinite(drawn)) advance = drawn;
    }

    if (updateCp) {
        // Left-aligned text leaves the position after its end, right-aligned text before its
        // start; centred text leaves it where it was.
        const unsigned horizontal = m_state.textAlign & kTextAlignCenter;
        const double move = horizontal == kTextAlignCenter  ? 0
                            : horizontal == kTextAlignRight ? -advance
                                                            : advance;
        const double angle = run.escapement * M_PI / 180;
        const double px = move * std::cos(angle), py = -move * std::sin(angle);
        const double det = t.a * t.d - t.b * t.c;
        if (std::fabs(det) > 1e-12) {
            m_state.pos.x = raster::Tame(m_state.pos.x + (t.d * px - t.c * py) / det);
            m_state.pos.y = raster::Tame(m_state.pos.y + (t.a * py - t.b * px) / det);
        }
    }
}

void MakeWhite(CPicture& picture, int width, int height) {
    CheckPictureSize(width, height);
    picture.CreateForOverwrite(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        std::memset(picture.GetLineArray()[y], 0xFF, size_t(width) * 4);
}

void FixSize(double& w, double& h) {
    if (!(w >= 1) || !(h >= 1)) w = 320, h = 200;
    const double fit = std::min({1.0, 8192 / w, 8192 / h});
    w = std::max(1.0, std::round(w * fit)), h = std::max(1.0, std::round(h * fit));
}

} // namespace metafile

void SetMetafileTextRenderer(MetafileTextRenderer renderer) {
    metafile::g_textRenderer.store(renderer, std::memory_order_release);
}

MetafileTextRenderer GetMetafileTextRenderer() {
    return metafile::g_textRenderer.load(std::memory_order_acquire);
}
