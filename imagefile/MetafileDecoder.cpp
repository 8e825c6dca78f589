// Windows metafiles and enhanced metafiles, played by our own player onto a white picture.
// The player keeps a device context's state (objects, mapping, world transform, clipping,
// current position, path, font) and draws shapes, lines, paths and bitmaps with the
// rasteriser. Text is placed here and drawn by the renderer the program registers
// (MetafileText.h); without one it is left out, and so is text that goes into a path. Raster
// operations other than plain copies and region shapes are not drawn; clip regions and clip
// paths are taken by their bounding rectangles.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imagefile/ImageError.h"
#include "imagefile/MetafileText.h"
#include "imagefile/PictureDecoder.h"
#include "imagefile/Raster.h"

using raster::Contour;
using raster::PointF;

namespace {

constexpr double kScreenDpi = 96.0; // no screen to ask: the common desktop resolution
constexpr size_t kMaxSavedStates = 256;
constexpr size_t kMaxObjects = 65536;

[[noreturn]] void RaiseCannotPlay() {
    RaiseImageError(CTextException::NotSupported,
                    "Windows Metafile functions failed to load this image.");
}

uint16_t LE16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
int16_t S16(const uint8_t* p) {
    return int16_t(LE16(p));
}
uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t S32(const uint8_t* p) {
    return int32_t(LE32(p));
}
float F32(const uint8_t* p) {
    const uint32_t v = LE32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return std::isfinite(f) ? f : 0.0f;
}

// A COLORREF (0x00BBGGRR) as a pixel.
uint32_t Pixel(uint32_t colorref) {
    return 0xFF000000u | (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}

struct Pen {
    int style = 0; // 5: none
    double width = 0;
    uint32_t colour = 0xFF000000u;
    Pen() = default;
    Pen(int s, double w = 0, uint32_t c = 0xFF000000u) : style(s), width(w), colour(c) {}
};

struct Brush {
    int style = 0; // 0 solid, 1 none, 2 hatched, 3 pattern
    uint32_t colour = 0xFFFFFFFFu;
    int hatch = 0;
    std::shared_ptr<const CPicture> pattern;
    Brush() = default;
    Brush(int s, uint32_t c = 0xFFFFFFFFu, int h = 0, std::shared_ptr<const CPicture> p = nullptr)
        : style(s), colour(c), hatch(h), pattern(std::move(p)) {}
};

// A logical font as the file describes it; the renderer finds the nearest face it has.
struct Font {
    int32_t height = 0, width = 0, escapement = 0, weight = 0; // escapement: 0.1 degree
    bool italic = false, underline = false, strikeOut = false;
    uint8_t pitchAndFamily = 0;
    std::string face; // UTF-8
};

struct Object {
    enum Kind { None, PenObj, BrushObj, FontObj, Other } kind = None;
    Pen pen;
    Brush brush;
    Font font;
    Object() = default;
    Object(Kind k, Pen p = {}, Brush b = {}) : kind(k), pen(p), brush(std::move(b)) {}
    explicit Object(Font f) : kind(FontObj), font(std::move(f)) {}
};

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

// One text output record, in logical units.
struct TextCall {
    double x = 0, y = 0;
    std::u16string text;
    std::vector<double> dx; // one per UTF-16 unit, or none
    unsigned options = 0;   // ETO_* flags
    bool hasRect = false;
    double left = 0, top = 0, right = 0, bottom = 0;
};

constexpr unsigned kEtoOpaque = 0x2, kEtoClipped = 0x4;

struct Affine { // x' = a x + c y + e, y' = b x + d y + f
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    PointF Apply(PointF p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    Affine Then(const Affine& o) const { // this first, then o
        return {o.a * a + o.c * b, o.b * a + o.d * b,       o.a * c + o.c * d,
                o.b * c + o.d * d, o.a * e + o.c * f + o.e, o.b * e + o.d * f + o.f};
    }
};

struct State {
    Pen pen;
    Brush brush;
    uint32_t textColour = 0xFF000000u, bkColour = 0xFFFFFFFFu;
    bool opaqueBk = true;
    bool winding = false;
    int mapMode = 1;
    double wOrgX = 0, wOrgY = 0, wExtX = 1, wExtY = 1;
    double vOrgX = 0, vOrgY = 0, vExtX = 1, vExtY = 1;
    Affine world;
    PointF pos{0, 0};
    bool clipped = false;
    raster::RectI clip{0, 0, 0, 0};
    Font font;
    unsigned textAlign = 0;
};

class Player {
public:
    Player(CPicture& picture, double refPxPerMmX, double refPxPerMmY, Affine toPicture)
        : m_picture(picture), m_canvas(picture), m_refX(refPxPerMmX), m_refY(refPxPerMmY),
          m_final(toPicture) {}

    void PlayEmf(const uint8_t* data, size_t size);
    void PlayWmf(const uint8_t* data, size_t size);
    // Maps the logical window onto the picture (width x height pixels).
    void MapWindow(double orgX, double orgY, double extX, double extY, double width,
                   double height) {
        m_state.mapMode = 8;
        m_state.wOrgX = orgX, m_state.wOrgY = orgY, m_state.wExtX = extX, m_state.wExtY = extY;
        m_state.vOrgX = 0, m_state.vOrgY = 0, m_state.vExtX = width, m_state.vExtY = height;
    }

private:
    // Logical coordinates to picture pixels.
    Affine Transform() const;
    PointF Map(double x, double y) const { return Transform().Apply({x, y}); }
    double PenWidth() const {
        const Affine t = Transform();
        return m_state.pen.width * std::sqrt(std::fabs(t.a * t.d - t.b * t.c));
    }
    void ApplyClip() { m_canvas.SetClip(m_state.clipped ? &m_state.clip : nullptr); }

    // Drawing in device coordinates; while a path is being defined the figures go into it.
    void Figure(const Contour& points, bool closed, bool fill, bool stroke);
    void FillWith(const std::vector<Contour>& contours, const Brush& brush);
    void StrokeWith(const Contour& points, bool closed);
    void Ellipse(double l, double t, double r, double b, bool fill);
    void Arc(const int32_t* v, int kind); // 0 arc, 1 chord, 2 pie
    void RoundRect(double l, double t, double r, double b, double w, double h);
    void Bezier(const std::vector<PointF>& logical, bool fromCurrent);
    void IntersectClip(double l, double t, double r, double b);
    void SetWindowExt(double x, double y) { m_state.wExtX = x, m_state.wExtY = y; }
    void Dib(const uint8_t* dib, size_t size, int sx, int sy, int sw, int sh, double dx, double dy,
             double dw, double dh);
    void Save();
    void Restore(int n);
    void Text(const TextCall& call);
    void SelectStockFont(uint32_t index);

    CPicture& m_picture;
    raster::Canvas m_canvas;
    double m_refX, m_refY;
    Affine m_final;
    State m_state;
    std::vector<State> m_saved;
    std::vector<Object> m_objects;
    bool m_inPath = false;
    std::vector<Contour> m_path;
    std::vector<bool> m_pathClosed;
    bool m_wmf = false;
};

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
    raster::RectI rc{raster::ToInt(std::round(std::min(p.x, q.x))),
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

// ---------------------------------------------------------------------------------------------
// Enhanced metafiles

void Player::PlayEmf(const uint8_t* data, size_t size) {
    m_objects.resize(kMaxObjects / 64);
    m_state.mapMode = 1;
    size_t pos = 0;
    while (pos + 8 <= size) {
        const uint32_t type = LE32(data + pos);
        const uint32_t len = LE32(data + pos + 4);
        if (len < 8 || len > size - pos || len % 4) break;
        const uint8_t* r = data + pos + 8;
        const size_t n = len - 8; // parameter bytes
        pos += len;
        const auto need = [&](size_t bytes) { return n >= bytes; };
        const auto i32 = [&](size_t i) { return S32(r + 4 * i); };
        const auto rect = [&](bool fill) {
            if (!need(16)) return;
            const double l = i32(0), t = i32(1), rr = i32(2), b = i32(3);
            Figure({Map(l, t), Map(rr, t), Map(rr, b), Map(l, b)}, true, fill, true);
        };
        // Point lists: 32-bit (POLY*) or 16-bit (POLY*16) coordinates after a bounds rect.
        const auto points = [&](size_t offset, uint32_t count, bool small) {
            std::vector<PointF> pts;
            const size_t each = small ? 4 : 8;
            if (offset > n || count > (n - offset) / each) return pts;
            pts.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* p = r + offset + each * i;
                pts.push_back(small ? PointF{double(S16(p)), double(S16(p + 2))}
                                    : PointF{double(S32(p)), double(S32(p + 4))});
            }
            return pts;
        };
        const auto mapped = [&](const std::vector<PointF>& pts) {
            Contour c;
            c.reserve(pts.size());
            for (const PointF& p : pts) c.push_back(Map(p.x, p.y));
            return c;
        };

        switch (type) {
        case 14: // EOF
            return;
        case 2:
        case 85: // POLYBEZIER
            if (need(20)) Bezier(points(20, LE32(r + 16), type == 85), false);
            break;
        case 3:
        case 86: // POLYGON
        case 4:
        case 87: // POLYLINE
            if (need(20)) {
                const auto pts = points(20, LE32(r + 16), type >= 85);
                const bool polygon = type == 3 || type == 86;
                Figure(mapped(pts), polygon, polygon, true);
            }
            break;
        case 5:
        case 88: // POLYBEZIERTO
            if (need(20)) Bezier(points(20, LE32(r + 16), type == 88), true);
            break;
        case 6:
        case 89: // POLYLINETO
            if (need(20)) {
                auto pts = points(20, LE32(r + 16), type == 89);
                if (pts.empty()) break;
                pts.insert(pts.begin(), m_state.pos);
                m_state.pos = pts.back();
                if (m_inPath && !m_path.empty() && !m_pathClosed.back()) {
                    const Contour c = mapped(pts);
                    m_path.back().insert(m_path.back().end(), c.begin() + 1, c.end());
                } else {
                    Figure(mapped(pts), false, false, true);
                }
            }
            break;
        case 7:
        case 90: // POLYPOLYLINE
        case 8:
        case 91: { // POLYPOLYGON
            if (!need(24)) break;
            const uint32_t figures = LE32(r + 16), total = LE32(r + 20);
            if (figures > (n - 24) / 4) break;
            const auto all = points(24 + 4 * size_t(figures), total, type >= 90);
            std::vector<Contour> contours;
            size_t at = 0;
            for (uint32_t i = 0; i < figures; ++i) {
                const uint32_t count = LE32(r + 24 + 4 * i);
                if (count > all.size() - at) break;
                contours.push_back(
                    mapped({all.begin() + long(at), all.begin() + long(at + count)}));
                at += count;
            }
            const bool polygon = type == 8 || type == 91;
            if (m_inPath) {
                for (const Contour& c : contours) Figure(c, polygon, false, false);
                break;
            }
            if (polygon) FillWith(contours, m_state.brush);
            for (const Contour& c : contours) StrokeWith(c, polygon);
            break;
        }
        case 9:
            if (need(8)) SetWindowExt(i32(0), i32(1));
            break;
        case 10:
            if (need(8)) m_state.wOrgX = i32(0), m_state.wOrgY = i32(1);
            break;
        case 11:
            if (need(8)) m_state.vExtX = i32(0), m_state.vExtY = i32(1);
            break;
        case 12:
            if (need(8)) m_state.vOrgX = i32(0), m_state.vOrgY = i32(1);
            break;
        case 15: // SETPIXELV
            if (need(12)) {
                const PointF p = Map(i32(0), i32(1));
                ApplyClip();
                m_canvas.SetPixel(raster::ToInt(std::floor(p.x)), raster::ToInt(std::floor(p.y)),
                                  Pixel(LE32(r + 8)));
            }
            break;
        case 17:
            if (need(4)) m_state.mapMode = i32(0);
            break;
        case 18:
            if (need(4)) m_state.opaqueBk = i32(0) == 2;
            break;
        case 19:
            if (need(4)) m_state.winding = i32(0) == 2;
            break;
        case 24:
            if (need(4)) m_state.textColour = Pixel(LE32(r));
            break;
        case 25:
            if (need(4)) m_state.bkColour = Pixel(LE32(r));
            break;
        case 27: // MOVETOEX
            if (need(8)) {
                m_state.pos = {double(i32(0)), double(i32(1))};
                if (m_inPath) {
                    m_path.push_back({Map(i32(0), i32(1))});
                    m_pathClosed.push_back(false);
                }
            }
            break;
        case 30:
            if (need(16)) IntersectClip(i32(0), i32(1), i32(2), i32(3));
            break;
        case 31: // SCALEVIEWPORTEXTEX
            if (need(16) && i32(1) && i32(3))
                m_state.vExtX = m_state.vExtX * i32(0) / i32(1),
                m_state.vExtY = m_state.vExtY * i32(2) / i32(3);
            break;
        case 32: // SCALEWINDOWEXTEX
            if (need(16) && i32(1) && i32(3))
                m_state.wExtX = m_state.wExtX * i32(0) / i32(1),
                m_state.wExtY = m_state.wExtY * i32(2) / i32(3);
            break;
        case 33:
            Save();
            break;
        case 34:
            if (need(4)) Restore(i32(0));
            break;
        case 35: // SETWORLDTRANSFORM
            if (need(24))
                m_state.world = {F32(r),      F32(r + 4),  F32(r + 8),
                                 F32(r + 12), F32(r + 16), F32(r + 20)};
            break;
        case 36: // MODIFYWORLDTRANSFORM
            if (need(28)) {
                const Affine x{F32(r),      F32(r + 4),  F32(r + 8),
                               F32(r + 12), F32(r + 16), F32(r + 20)};
                switch (i32(6)) {
                case 1:
                    m_state.world = Affine{};
                    break;
                case 2:
                    m_state.world = x.Then(m_state.world);
                    break;
                case 3:
                    m_state.world = m_state.world.Then(x);
                    break;
                case 4:
                    m_state.world = x;
                    break;
                }
            }
            break;
        case 37: { // SELECTOBJECT
            if (!need(4)) break;
            const uint32_t index = LE32(r);
            if (index & 0x80000000u) {
                switch (index & 0x7FFFFFFF) {
                case 0:
                    m_state.brush = {0, 0xFFFFFFFFu};
                    break;
                case 1:
                    m_state.brush = {0, 0xFFC0C0C0u};
                    break;
                case 2:
                    m_state.brush = {0, 0xFF808080u};
                    break;
                case 3:
                    m_state.brush = {0, 0xFF404040u};
                    break;
                case 4:
                    m_state.brush = {0, 0xFF000000u};
                    break;
                case 5:
                    m_state.brush = {1};
                    break;
                case 6:
                    m_state.pen = {0, 0, 0xFFFFFFFFu};
                    break;
                case 7:
                    m_state.pen = {0, 0, 0xFF000000u};
                    break;
                case 8:
                    m_state.pen = {5};
                    break;
                default:
                    SelectStockFont(index & 0x7FFFFFFF);
                    break;
                }
            } else if (index < m_objects.size()) {
                const Object& o = m_objects[index];
                if (o.kind == Object::PenObj) m_state.pen = o.pen;
                if (o.kind == Object::BrushObj) m_state.brush = o.brush;
                if (o.kind == Object::FontObj) m_state.font = o.font;
            }
            break;
        }
        case 82: // EXTCREATEFONTINDIRECTW: index, then a LOGFONTW
            if (need(32) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Font f;
                f.height = i32(1), f.width = i32(2), f.escapement = i32(3), f.weight = i32(5);
                f.italic = r[24] != 0, f.underline = r[25] != 0, f.strikeOut = r[26] != 0;
                f.pitchAndFamily = r[31];
                f.face = FaceFromUtf16(r + 32, std::min<size_t>(32, (n - 32) / 2));
                m_objects[LE32(r)] = Object(std::move(f));
            }
            break;
        case 22:
            if (need(4)) m_state.textAlign = LE32(r);
            break;
        case 83:
        case 84: { // EXTTEXTOUTA, EXTTEXTOUTW
            // Bounds, graphics mode and two scales, then the text: reference point, count,
            // string offset, options, rectangle, offset of the advances. Offsets count from
            // the start of the record.
            if (!need(68)) break;
            const uint8_t* record = r - 8;
            TextCall call;
            call.x = i32(7), call.y = i32(8);
            const uint32_t count = LE32(r + 36), offString = LE32(r + 40), offDx = LE32(r + 64);
            call.options = LE32(r + 44);
            call.hasRect = true;
            call.left = i32(12), call.top = i32(13), call.right = i32(14), call.bottom = i32(15);
            const size_t unit = type == 84 ? 2 : 1;
            if (offString <= len && count <= (len - offString) / unit) {
                call.text = type == 84 ? TextFromUtf16(record + offString, count)
                                       : TextFromAnsi(record + offString, count);
                // With ETO_PDY each character has an x and a y advance; only x is used.
                const size_t per = call.options & 0x2000 ? 2 : 1;
                if (offDx >= 8 && offDx <= len && count <= (len - offDx) / (4 * per)) {
                    call.dx.resize(count);
                    for (size_t i = 0; i < count; ++i)
                        call.dx[i] = S32(record + offDx + 4 * per * i);
                }
            }
            Text(call);
            break;
        }
        case 108: { // SMALLTEXTOUT: x, y, count, options, graphics mode, scales, [rect], text
            if (!need(28)) break;
            TextCall call;
            call.x = i32(0), call.y = i32(1);
            const uint32_t count = LE32(r + 8);
            call.options = LE32(r + 12);
            size_t at = 28;
            if (!(call.options & 0x100)) { // ETO_NO_RECT leaves the rectangle out
                if (!need(44)) break;
                call.hasRect = true;
                call.left = i32(7), call.top = i32(8), call.right = i32(9), call.bottom = i32(10);
                at = 44;
            }
            const size_t unit = call.options & 0x200 ? 1 : 2; // ETO_SMALL_CHARS: 8-bit text
            if (count <= (n - at) / unit)
                call.text = unit == 1 ? TextFromAnsi(r + at, count) : TextFromUtf16(r + at, count);
            Text(call);
            break;
        }
        case 38: // CREATEPEN: index, style, width (x, y), colour
            if (need(20) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Object& o = m_objects[LE32(r)];
                o = {Object::PenObj,
                     {int(LE32(r + 4) & 0xF), double(i32(2)), Pixel(LE32(r + 16))},
                     {}};
            }
            break;
        case 95: // EXTCREATEPEN: index, offsets, then style, width, brush style, colour
            if (need(36) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Object& o = m_objects[LE32(r)];
                const bool geometric = (LE32(r + 20) & 0x10000) != 0;
                o = {Object::PenObj,
                     {int(LE32(r + 20) & 0xF), geometric ? double(LE32(r + 24)) : 0,
                      Pixel(LE32(r + 32))},
                     {}};
                if (LE32(r + 28) == 1) o.pen.style = 5; // a hollow brush draws nothing
            }
            break;
        case 39: // CREATEBRUSHINDIRECT: index, style, colour, hatch
            if (need(16) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Object& o = m_objects[LE32(r)];
                o = {Object::BrushObj,
                     {},
                     {int(std::min(LE32(r + 4), 3u)), Pixel(LE32(r + 8)), int(LE32(r + 12)),
                      nullptr}};
                if (o.brush.style == 3) o.brush.style = 0; // a pattern without its bitmap
            }
            break;
        case 94: // CREATEDIBPATTERNBRUSHPT: index, usage, bmi offset, size, bits offset, size
            if (need(24) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Object& o = m_objects[LE32(r)];
                o = {Object::BrushObj, {}, {0, 0xFF808080u}};
                const uint32_t offBmi = LE32(r + 8), offBits = LE32(r + 16), cbBits = LE32(r + 20);
                if (offBmi >= 8 && offBmi - 8 < n && offBits >= offBmi && offBits - 8 <= n &&
                    cbBits <= n - (offBits - 8)) {
                    // The header and the bits are contiguous in practice; read them as one DIB.
                    auto image = std::make_shared<CDibPicture>();
                    try {
                        image->CreateFromDIB(r + offBmi - 8, offBits - offBmi + cbBits);
                        auto colour = std::make_shared<CDibPicture>();
                        colour->CopyWithDepth(*image, 32);
                        o.brush = {3, 0, 0, colour};
                    } catch (const CTextException&) {
                    }
                }
            }
            break;
        case 40: // DELETEOBJECT
            if (need(4) && LE32(r) < m_objects.size()) m_objects[LE32(r)] = {};
            break;
        case 42:
            if (need(16)) Ellipse(i32(0), i32(1), i32(2), i32(3), true);
            break;
        case 43:
            rect(true);
            break;
        case 44:
            if (need(24)) RoundRect(i32(0), i32(1), i32(2), i32(3), i32(4), i32(5));
            break;
        case 45:
        case 46:
        case 47: // ARC, CHORD, PIE
            if (need(32)) {
                int32_t v[8];
                for (int i = 0; i < 8; ++i) v[i] = i32(size_t(i));
                Arc(v, int(type) - 45);
            }
            break;
        case 54: // LINETO
            if (need(8)) {
                const PointF to{double(i32(0)), double(i32(1))};
                if (m_inPath && !m_path.empty() && !m_pathClosed.back()) {
                    m_path.back().push_back(Map(to.x, to.y));
                } else {
                    Figure({Map(m_state.pos.x, m_state.pos.y), Map(to.x, to.y)}, false, false,
                           true);
                }
                m_state.pos = to;
            }
            break;
        case 59: // BEGINPATH
            m_inPath = true;
            m_path.clear();
            m_pathClosed.clear();
            break;
        case 60:
            m_inPath = false;
            break; // ENDPATH
        case 61:   // CLOSEFIGURE
            if (!m_pathClosed.empty()) m_pathClosed.back() = true;
            break;
        case 62:
        case 63:
        case 64: { // FILLPATH, STROKEANDFILLPATH, STROKEPATH
            m_inPath = false;
            if (type != 64) FillWith(m_path, m_state.brush);
            if (type != 62)
                for (size_t i = 0; i < m_path.size(); ++i) StrokeWith(m_path[i], m_pathClosed[i]);
            m_path.clear();
            m_pathClosed.clear();
            break;
        }
        case 68: // ABORTPATH
            m_inPath = false;
            m_path.clear();
            m_pathClosed.clear();
            break;
        case 67: { // SELECTCLIPPATH: the path's bounding box
            m_inPath = false;
            double l = 1e300, t = 1e300, rr = -1e300, b = -1e300;
            for (const Contour& c : m_path)
                for (const PointF& p : c)
                    l = std::min(l, p.x), t = std::min(t, p.y), rr = std::max(rr, p.x),
                    b = std::max(b, p.y);
            if (l <= rr) {
                m_state.clipped = true;
                m_state.clip = {raster::ToInt(l), raster::ToInt(t), raster::ToInt(std::ceil(rr)),
                                raster::ToInt(std::ceil(b))};
            }
            m_path.clear();
            m_pathClosed.clear();
            break;
        }
        case 75: // EXTSELECTCLIPRGN: a copy of no region resets the clip
            if (need(8) && LE32(r) == 0 && LE32(r + 4) == 5) m_state.clipped = false;
            break;
        case 76: // BITBLT: without a source bitmap it fills with the brush
        case 77: // STRETCHBLT
            if (need(100)) {
                const int32_t x = i32(4), y = i32(5), w = i32(6), h = i32(7);
                const uint32_t rop = LE32(r + 32);
                // STRETCHBLT lays out its fields as BITBLT does up to the source bitmap.
                const uint32_t offBmi = LE32(r + 76), cbBmi = LE32(r + 80), offBits = LE32(r + 84),
                               cbBits = LE32(r + 88);
                if (cbBmi == 0) {
                    Brush b = m_state.brush;
                    if (rop == 0x00FF0062)
                        b = {0, 0xFFFFFFFFu}; // WHITENESS
                    else if (rop == 0x00000042)
                        b = {0, 0xFF000000u}; // BLACKNESS
                    else if (rop != 0x00F00021)
                        break; // only PATCOPY paints
                    FillWith({{Map(x, y), Map(x + w, y), Map(x + w, y + h), Map(x, y + h)}}, b);
                } else if (offBmi >= 8 && offBits >= offBmi && offBits - 8 <= n &&
                           cbBits <= n - (offBits - 8)) {
                    const int sx = i32(9), sy = i32(10);
                    const int sw = type == 77 && need(108) ? i32(25) : w;
                    const int sh = type == 77 && need(108) ? i32(26) : h;
                    // Source y counts from the top of the bitmap here.
                    CDibPicture probe;
                    const uint8_t* dib = r + offBmi - 8;
                    const size_t dibSize = offBits - offBmi + cbBits;
                    const int32_t bh = dibSize >= 12 ? std::abs(S32(dib + 8)) : 0;
                    Dib(dib, dibSize, sx, bh - sy - sh, sw, sh, x, y, w, h);
                }
            }
            break;
        case 80: // SETDIBITSTODEVICE
            if (need(68)) {
                const uint32_t offBmi = LE32(r + 40), offBits = LE32(r + 48), cbBits = LE32(r + 52);
                if (offBmi >= 8 && offBits >= offBmi && offBits - 8 <= n &&
                    cbBits <= n - (offBits - 8)) {
                    const int w = i32(8), h = i32(9);
                    Dib(r + offBmi - 8, offBits - offBmi + cbBits, i32(6), i32(7), w, h, i32(4),
                        i32(5), w, h);
                }
            }
            break;
        case 81: // STRETCHDIBITS
            if (need(72)) {
                const uint32_t offBmi = LE32(r + 40), offBits = LE32(r + 48), cbBits = LE32(r + 52);
                if (offBmi >= 8 && offBits >= offBmi && offBits - 8 <= n &&
                    cbBits <= n - (offBits - 8))
                    Dib(r + offBmi - 8, offBits - offBmi + cbBits, i32(6), i32(7), i32(8), i32(9),
                        i32(4), i32(5), i32(16), i32(17));
            }
            break;
        default:
            break; // palettes, comments and the rest are not drawn
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Windows metafiles

void Player::PlayWmf(const uint8_t* data, size_t size) {
    m_wmf = true;
    // Objects take the lowest free slot, whatever kind they are.
    const auto add = [&](const Object& o) {
        for (Object& slot : m_objects)
            if (slot.kind == Object::None) {
                slot = o;
                return;
            }
        if (m_objects.size() < kMaxObjects) m_objects.push_back(o);
    };
    size_t pos = 0;
    while (pos + 6 <= size) {
        const uint64_t words = LE32(data + pos);
        const unsigned fn = LE16(data + pos + 4);
        if (words < 3 || words * 2 > size - pos) break;
        const uint8_t* r = data + pos + 6;
        const size_t n = size_t(words) * 2 - 6;
        pos += size_t(words) * 2;
        const auto need = [&](size_t params) { return n >= params * 2; };
        const auto w = [&](size_t i) { return double(S16(r + 2 * i)); };
        const auto points = [&](size_t at, size_t count) {
            Contour c;
            if (at > n / 2 || count > (n / 2 - at) / 2) return c;
            for (size_t i = 0; i < count; ++i) c.push_back(Map(w(at + 2 * i), w(at + 2 * i + 1)));
            return c;
        };
        switch (fn) {
        case 0x0000:
            return;
        case 0x0201:
            if (need(2)) m_state.bkColour = Pixel(LE32(r));
            break;
        case 0x0102:
            if (need(1)) m_state.opaqueBk = w(0) == 2;
            break;
        // The mapping mode and viewport are left alone: the window always fills the picture.
        case 0x0106:
            if (need(1)) m_state.winding = w(0) == 2;
            break;
        case 0x0209:
            if (need(2)) m_state.textColour = Pixel(LE32(r));
            break;
        case 0x020B:
            if (need(2)) m_state.wOrgY = w(0), m_state.wOrgX = w(1);
            break;
        case 0x020C:
            if (need(2)) SetWindowExt(w(1), w(0));
            break;
        case 0x020F:
            if (need(2)) m_state.wOrgY += w(0), m_state.wOrgX += w(1);
            break;
        case 0x0410: // SCALEWINDOWEXT: yDenom, yNum, xDenom, xNum
            if (need(4) && w(0) != 0 && w(2) != 0)
                m_state.wExtY = m_state.wExtY * w(1) / w(0),
                m_state.wExtX = m_state.wExtX * w(3) / w(2);
            break;
        case 0x0213: // LINETO
            if (need(2)) {
                Figure({Map(m_state.pos.x, m_state.pos.y), Map(w(1), w(0))}, false, false, true);
                m_state.pos = {w(1), w(0)};
            }
            break;
        case 0x0214:
            if (need(2)) m_state.pos = {w(1), w(0)};
            break;
        case 0x0416:
            if (need(4)) IntersectClip(w(3), w(2), w(1), w(0));
            break;
        case 0x0817:
        case 0x0830:
        case 0x081A: // ARC, CHORD, PIE
            if (need(8)) {
                int32_t v[8] = {int32_t(w(7)), int32_t(w(6)), int32_t(w(5)), int32_t(w(4)),
                                int32_t(w(3)), int32_t(w(2)), int32_t(w(1)), int32_t(w(0))};
                Arc(v, fn == 0x0817 ? 0 : fn == 0x0830 ? 1 : 2);
            }
            break;
        case 0x0418:
            if (need(4)) Ellipse(w(3), w(2), w(1), w(0), true);
            break;
        case 0x041B: // RECTANGLE
            if (need(4)) {
                const double b = w(0), rr = w(1), t = w(2), l = w(3);
                Figure({Map(l, t), Map(rr, t), Map(rr, b), Map(l, b)}, true, true, true);
            }
            break;
        case 0x061C:
            if (need(6)) RoundRect(w(5), w(4), w(3), w(2), w(1), w(0));
            break;
        case 0x061D: // PATBLT: rop (2 words), height, width, y, x
            if (need(6)) {
                const uint32_t rop = LE32(r);
                const double h = w(2), wd = w(3), y = w(4), x = w(5);
                Brush b = m_state.brush;
                if (rop == 0x00FF0062)
                    b = {0, 0xFFFFFFFFu};
                else if (rop == 0x00000042)
                    b = {0, 0xFF000000u};
                else if (rop != 0x00F00021)
                    break;
                FillWith({{Map(x, y), Map(x + wd, y), Map(x + wd, y + h), Map(x, y + h)}}, b);
            }
            break;
        case 0x001E:
            Save();
            break;
        case 0x0127:
            if (need(1)) Restore(int(w(0)));
            break;
        case 0x041F: // SETPIXEL: colour, y, x
            if (need(4)) {
                const PointF p = Map(w(3), w(2));
                ApplyClip();
                m_canvas.SetPixel(raster::ToInt(std::floor(p.x)), raster::ToInt(std::floor(p.y)),
                                  Pixel(LE32(r)));
            }
            break;
        case 0x0324:
        case 0x0325: // POLYGON, POLYLINE
            if (need(1)) Figure(points(1, size_t(LE16(r))), fn == 0x0324, fn == 0x0324, true);
            break;
        case 0x0538: { // POLYPOLYGON
            if (!need(1)) break;
            const size_t count = LE16(r);
            if (!need(1 + count)) break;
            std::vector<Contour> contours;
            size_t at = 1 + count;
            for (size_t i = 0; i < count; ++i) {
                const size_t k = LE16(r + 2 + 2 * i);
                Contour c = points(at, k);
                if (c.size() != k) break;
                contours.push_back(std::move(c));
                at += 2 * k;
            }
            FillWith(contours, m_state.brush);
            for (const Contour& c : contours) StrokeWith(c, true);
            break;
        }
        case 0x012C:
            m_state.clipped = false;
            break;   // SELECTCLIPREGION
        case 0x012D: // SELECTOBJECT
            if (need(1) && LE16(r) < m_objects.size()) {
                const Object& o = m_objects[LE16(r)];
                if (o.kind == Object::PenObj) m_state.pen = o.pen;
                if (o.kind == Object::BrushObj) m_state.brush = o.brush;
                if (o.kind == Object::FontObj) m_state.font = o.font;
            }
            break;
        case 0x01F0:
            if (need(1) && LE16(r) < m_objects.size()) m_objects[LE16(r)] = {};
            break;
        case 0x02FA: // CREATEPENINDIRECT: style, width x, width y, colour
            if (need(5))
                add({Object::PenObj, {int(LE16(r) & 0xF), w(1), Pixel(LE32(r + 6))}, {}});
            else
                add({Object::Other});
            break;
        case 0x02FC: // CREATEBRUSHINDIRECT: style, colour, hatch
            if (need(4)) {
                Object o{
                    Object::BrushObj,
                    {},
                    {int(std::min<unsigned>(LE16(r), 3)), Pixel(LE32(r + 2)), int(w(3)), nullptr}};
                if (o.brush.style == 3) o.brush.style = 0;
                add(o);
            } else {
                add({Object::Other});
            }
            break;
        case 0x0142: { // DIBCREATEPATTERNBRUSH: style, usage, then a DIB
            Object o{Object::BrushObj, {}, {0, 0xFF808080u}};
            if (need(2)) {
                try {
                    auto image = std::make_shared<CDibPicture>();
                    image->CreateFromDIB(r + 4, n - 4);
                    auto colour = std::make_shared<CDibPicture>();
                    colour->CopyWithDepth(*image, 32);
                    o.brush = {3, 0, 0, colour};
                } catch (const CTextException&) {
                }
            }
            add(o);
            break;
        }
        case 0x02FB: // CREATEFONTINDIRECT: height, width, escapement, orientation, weight,
                     // italic, underline, strike-out, charset, 3 precision bytes, pitch and
                     // family, then the face name in 8-bit characters
            if (need(9)) {
                Font f;
                f.height = S16(r), f.width = S16(r + 2), f.escapement = S16(r + 4);
                f.weight = S16(r + 8);
                f.italic = r[10] != 0, f.underline = r[11] != 0, f.strikeOut = r[12] != 0;
                f.pitchAndFamily = r[17];
                f.face = FaceFromAnsi(r + 18, std::min<size_t>(32, n - 18));
                add(Object(std::move(f)));
            } else {
                add({Object::Other});
            }
            break;
        case 0x00F7:
        case 0x01F9:
        case 0x06FF: // palette, pattern, region
            add({Object::Other});
            break;
        case 0x012E:
            if (need(1)) m_state.textAlign = LE16(r);
            break;
        case 0x0521: { // TEXTOUT: count, string padded to a word, y, x
            if (!need(1)) break;
            const size_t count = LE16(r), padded = (count + 1) & ~size_t(1);
            if (n < 2 + padded + 4) break;
            TextCall call;
            call.text = TextFromAnsi(r + 2, count);
            call.y = S16(r + 2 + padded), call.x = S16(r + 4 + padded);
            Text(call);
            break;
        }
        case 0x0A32: { // EXTTEXTOUT: y, x, count, options, [rectangle], string, [advances]
            if (!need(4)) break;
            TextCall call;
            call.y = w(0), call.x = w(1);
            const size_t count = LE16(r + 4);
            call.options = LE16(r + 6);
            size_t at = 8;
            if (call.options & (kEtoOpaque | kEtoClipped)) {
                if (!need(8)) break;
                call.hasRect = true;
                call.left = w(4), call.top = w(5), call.right = w(6), call.bottom = w(7);
                at = 16;
            }
            if (count <= n - at) {
                call.text = TextFromAnsi(r + at, count);
                const size_t dxAt = at + ((count + 1) & ~size_t(1));
                if (dxAt <= n && count <= (n - dxAt) / 2) {
                    call.dx.resize(count);
                    for (size_t i = 0; i < count; ++i) call.dx[i] = S16(r + dxAt + 2 * i);
                }
            }
            Text(call);
            break;
        }
        case 0x0940: // DIBBITBLT: rop, sy, sx, height, width, dy, dx, DIB
            if (need(8) && n > 16) {
                const int h = int(w(3)), wd = int(w(4));
                const int32_t bh = n - 16 >= 12 ? std::abs(S32(r + 16 + 8)) : 0;
                Dib(r + 16, n - 16, int(w(2)), bh - int(w(1)) - h, wd, h, w(6), w(5), wd, h);
            }
            break;
        case 0x0B41: // DIBSTRETCHBLT: rop, srcH, srcW, sy, sx, dstH, dstW, dy, dx, DIB
            if (need(10) && n > 20) {
                const int sh = int(w(2)), sw = int(w(3));
                const int32_t bh = n - 20 >= 12 ? std::abs(S32(r + 20 + 8)) : 0;
                Dib(r + 20, n - 20, int(w(5)), bh - int(w(4)) - sh, sw, sh, w(9), w(8), w(7), w(6));
            }
            break;
        case 0x0F43: // STRETCHDIB: rop, usage, srcH, srcW, sy, sx, dstH, dstW, dy, dx, DIB
            if (need(11) && n > 22)
                Dib(r + 22, n - 22, int(w(6)), int(w(5)), int(w(4)), int(w(3)), w(10), w(9), w(8),
                    w(7));
            break;
        case 0x0D33: // SETDIBTODEV: usage, scans, start scan, sy, sx, height, width, dy, dx, DIB
            if (need(9) && n > 18) {
                const int h = int(w(5)), wd = int(w(6));
                Dib(r + 18, n - 18, int(w(4)), int(w(3)), wd, h, w(8), w(7), wd, h);
            }
            break;
        default:
            break; // palettes, regions, escapes and the rest are not drawn
        }
    }
}

// The mapping of a plain metafile's window onto the picture: the first window extent and
// origin the file sets, or the placeable header's box.
struct WmfWindow {
    bool found = false;
    double orgX = 0, orgY = 0, extX = 0, extY = 0;
};

WmfWindow FindWmfWindow(const uint8_t* data, size_t size) {
    WmfWindow win;
    bool haveOrg = false;
    size_t pos = 0;
    while (pos + 6 <= size && !(win.found && haveOrg)) {
        const uint64_t words = LE32(data + pos);
        const unsigned fn = LE16(data + pos + 4);
        if (words < 3 || words * 2 > size - pos) break;
        const uint8_t* r = data + pos + 6;
        if (fn == 0x020C && words >= 5 && !win.found) {
            win.found = true;
            win.extY = S16(r), win.extX = S16(r + 2);
        } else if (fn == 0x020B && words >= 5 && !haveOrg) {
            haveOrg = true;
            win.orgY = S16(r), win.orgX = S16(r + 2);
        } else if (fn == 0) {
            break;
        }
        pos += size_t(words) * 2;
    }
    return win;
}

void MakeWhite(CPicture& picture, int width, int height) {
    CheckPictureSize(width, height);
    picture.CreateForOverwrite(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        std::memset(picture.GetLineArray()[y], 0xFF, size_t(width) * 4);
}

// Picture size in pixels; 320 x 200 when a dimension is not positive. A metafile's size is
// only a number in its header, backed by no data: a side above 8192 pixels (over two metres
// at screen resolution) is scaled down with the aspect kept, so that a few bytes cannot make
// us allocate and paint a gigabyte.
void FixSize(double& w, double& h) {
    if (!(w >= 1) || !(h >= 1)) w = 320, h = 200;
    const double fit = std::min({1.0, 8192 / w, 8192 / h});
    w = std::max(1.0, std::round(w * fit)), h = std::max(1.0, std::round(h * fit));
}

void DecodeEmf(const uint8_t* data, size_t size, CPicture& picture, int wantedBpp) {
    if (size < 88 || LE32(data) != 1 || LE32(data + 40) != 0x464D4520)
        RaiseImageError(CTextException::Malformed, "No header information in metafile");
    const int32_t fl = S32(data + 24), ft = S32(data + 28), fr = S32(data + 32),
                  fb = S32(data + 36);
    const double pxPerMm = kScreenDpi / 25.4;
    double width = std::round((double(fr) - fl) / 100.0 * pxPerMm);
    double height = std::round((double(fb) - ft) / 100.0 * pxPerMm);
    FixSize(width, height);
    if (width * height > double(kMaxPicturePixels))
        CheckPictureSize(int64_t(width), int64_t(height));
    const int32_t devW = S32(data + 72), devH = S32(data + 76), mmW = S32(data + 80),
                  mmH = S32(data + 84);
    const double refX = devW > 0 && mmW > 0 ? double(devW) / mmW : pxPerMm;
    const double refY = devH > 0 && mmH > 0 ? double(devH) / mmH : pxPerMm;

    // Reference-device pixels to picture pixels: the frame fills the picture.
    const double frameL = fl / 100.0 * refX, frameT = ft / 100.0 * refY;
    const double frameW = (double(fr) - fl) / 100.0 * refX,
                 frameH = (double(fb) - ft) / 100.0 * refY;
    Affine toPicture;
    if (frameW > 0 && frameH > 0) {
        toPicture.a = width / frameW, toPicture.d = height / frameH;
        toPicture.e = -frameL * toPicture.a, toPicture.f = -frameT * toPicture.d;
    }

    MakeWhite(picture, int(width), int(height));
    {
        CPictureWriteLock lock(picture);
        Player(picture, refX, refY, toPicture).PlayEmf(data, size);
    }

    // A metafile with a small palette of its own gives an 8-bit picture in those colours.
    const uint32_t palEntries = LE32(data + 68);
    if (wantedBpp == 32 || palEntries < 1 || palEntries > 255) return;
    // The entries are in the end-of-file record.
    size_t pos = 0;
    while (pos + 16 <= size) {
        const uint32_t type = LE32(data + pos), len = LE32(data + pos + 4);
        if (len < 8 || len > size - pos) return;
        if (type == 14) {
            const uint32_t count = LE32(data + pos + 8), offset = LE32(data + pos + 12);
            if (count < 1 || count > 255 || offset > len || (len - offset) / 4 < count) return;
            CDibPicture indexed;
            indexed.Create(picture.GetWidth(), picture.GetHeight(), 8, false);
            const uint8_t* e = data + pos + offset;
            for (uint32_t i = 0; i < 256; ++i) {
                if (i < count)
                    indexed.SetPaletteEntry(int(i), e[4 * i], e[4 * i + 1], e[4 * i + 2]);
                else
                    indexed.SetPaletteEntry(int(i), e[0], e[1], e[2]);
            }
            std::map<uint32_t, uint8_t> cache;
            for (int y = 0; y < picture.GetHeight(); ++y) {
                const uint8_t* in = picture.GetLineArray()[y];
                uint8_t* out = indexed.GetLineArray()[y];
                for (int x = 0; x < picture.GetWidth(); ++x) {
                    uint32_t c;
                    std::memcpy(&c, in + 4 * x, 4);
                    c &= 0xFFFFFF;
                    auto it = cache.find(c);
                    if (it == cache.end())
                        it = cache.emplace(c, uint8_t(indexed.FindNearestIndex(c))).first;
                    out[x] = it->second;
                }
            }
            picture.CopyWithDepth(indexed, 0);
            return;
        }
        pos += len;
    }
}

void DecodeWmf(const uint8_t* data, size_t size, CPicture& picture) {
    double width = 0, height = 0;
    WmfWindow box;
    if (size >= 22 && LE32(data) == 0x9AC6CDD7u) {
        const double l = S16(data + 6), t = S16(data + 8), r = S16(data + 10), b = S16(data + 12);
        const double inch = LE16(data + 14);
        if (inch > 0) {
            width = std::round((r - l) * kScreenDpi / inch);
            height = std::round((b - t) * kScreenDpi / inch);
        }
        box = {true, l, t, r - l, b - t};
        data += 22;
        size -= 22;
    }
    if (size < 18 || (LE16(data) != 1 && LE16(data) != 2) || LE16(data + 2) != 9) RaiseCannotPlay();
    data += 18;
    size -= 18;

    WmfWindow window = FindWmfWindow(data, size);
    if (!window.found) window = box;
    if (width == 0 && height == 0 && window.found) {
        // Without a placeable header the window itself, in pixels, fitted to the screen.
        width = std::fabs(window.extX), height = std::fabs(window.extY);
        const double fit =
            std::min({1.0, 1920 / std::max(width, 1.0), 1080 / std::max(height, 1.0)});
        width = std::round(width * fit), height = std::round(height * fit);
    }
    FixSize(width, height);
    if (width * height > double(kMaxPicturePixels))
        CheckPictureSize(int64_t(width), int64_t(height));

    Affine toPicture;
    MakeWhite(picture, int(width), int(height));
    CPictureWriteLock lock(picture);
    Player player(picture, kScreenDpi / 25.4, kScreenDpi / 25.4, toPicture);
    if (window.found && window.extX != 0 && window.extY != 0)
        player.MapWindow(window.orgX, window.orgY, window.extX, window.extY, width, height);
    player.PlayWmf(data, size);
}

} // namespace

void SetMetafileTextRenderer(MetafileTextRenderer renderer) {
    g_textRenderer.store(renderer, std::memory_order_release);
}

MetafileTextRenderer GetMetafileTextRenderer() {
    return g_textRenderer.load(std::memory_order_acquire);
}

void CMetafileDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    size_t size = 0;
    const uint8_t* data = source.ReadEverything(&size);
    // Enhanced metafiles start with their header record (type 1); a Windows metafile's first
    // word is the placeable key or the file type 1 or 2 followed by the header size 9.
    if (size >= 4 && LE32(data) == 1)
        DecodeEmf(data, size, picture, wantedBpp);
    else
        DecodeWmf(data, size, picture);
}
