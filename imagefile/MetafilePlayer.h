#pragma once

// The metafile player shared by the enhanced and the Windows metafile records: a device
// context's state (objects, mapping, world transform, clipping, current position, path, font)
// and the drawing of shapes, lines, paths, bitmaps and text onto a picture.

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/MetafileText.h"
#include "imagefile/Picture.h"
#include "imagefile/PictureDecoder.h"
#include "imagefile/Raster.h"

namespace metafile {

using raster::Contour;
using raster::PointF;

constexpr double kScreenDpi = 96.0; // no screen to ask: the common desktop resolution
constexpr size_t kMaxSavedStates = 256;
constexpr size_t kMaxObjects = 65536;

[[noreturn]] inline void RaiseCannotPlay() {
    RaiseImageError(CTextException::NotSupported,
                    "Windows Metafile functions failed to load this image.");
}

inline int16_t S16(const uint8_t* p) {
    return int16_t(LE16(p));
}
inline int32_t S32(const uint8_t* p) {
    return int32_t(LE32(p));
}
inline float F32(const uint8_t* p) {
    const uint32_t v = LE32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return std::isfinite(f) ? f : 0.0f;
}

// A COLORREF (0x00BBGGRR) as a pixel.
inline uint32_t Pixel(uint32_t colorref) {
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

// Text and face names from the files' 8-bit (Windows western code page) and UTF-16 strings.
std::u16string TextFromAnsi(const uint8_t* p, size_t count);
std::u16string TextFromUtf16(const uint8_t* p, size_t count);
// A face name of up to count characters, ending at the first NUL, as UTF-8.
std::string FaceFromAnsi(const uint8_t* p, size_t count);
std::string FaceFromUtf16(const uint8_t* p, size_t units);

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
    CRect clip{0, 0, 0, 0};
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

// A white 32-bit picture of the given size.
void MakeWhite(CPicture& picture, int width, int height);

// Picture size in pixels; 320 x 200 when a dimension is not positive. A metafile's size is
// only a number in its header, backed by no data: a side above 8192 pixels (over two metres
// at screen resolution) is scaled down with the aspect kept, so that a few bytes cannot make
// us allocate and paint a gigabyte.
void FixSize(double& w, double& h);

// The two kinds of file, from their first record on.
void DecodeEmf(const uint8_t* data, size_t size, CPicture& picture, int wantedBpp);
void DecodeWmf(const uint8_t* data, size_t size, CPicture& picture);

} // namespace metafile
