// Enhanced metafile records, played onto the picture.

#include <algorithm>
#include <map>

#include "imagefile/MetafilePlayer.h"
#include "imagefile/MetafileRecords.h"

namespace metafile {

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

        const EmfRecord record = EmfRecord(type);
        switch (record) {
        case EmfRecord::Eof:
            return;
        case EmfRecord::PolyBezier:
        case EmfRecord::PolyBezier16:
            if (need(20))
                Bezier(points(20, LE32(r + 16), record == EmfRecord::PolyBezier16), false);
            break;
        case EmfRecord::Polygon:
        case EmfRecord::Polygon16:
        case EmfRecord::Polyline:
        case EmfRecord::Polyline16:
            if (need(20)) {
                const auto pts =
                    points(20, LE32(r + 16),
                           record == EmfRecord::Polygon16 || record == EmfRecord::Polyline16);
                const bool polygon = record == EmfRecord::Polygon || record == EmfRecord::Polygon16;
                Figure(mapped(pts), polygon, polygon, true);
            }
            break;
        case EmfRecord::PolyBezierTo:
        case EmfRecord::PolyBezierTo16:
            if (need(20))
                Bezier(points(20, LE32(r + 16), record == EmfRecord::PolyBezierTo16), true);
            break;
        case EmfRecord::PolylineTo:
        case EmfRecord::PolylineTo16:
            if (need(20)) {
                auto pts = points(20, LE32(r + 16), record == EmfRecord::PolylineTo16);
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
        case EmfRecord::PolyPolyline:
        case EmfRecord::PolyPolyline16:
        case EmfRecord::PolyPolygon:
        case EmfRecord::PolyPolygon16: {
            if (!need(24)) break;
            const uint32_t figures = LE32(r + 16), total = LE32(r + 20);
            if (figures > (n - 24) / 4) break;
            const auto all =
                points(24 + 4 * size_t(figures), total,
                       record == EmfRecord::PolyPolyline16 || record == EmfRecord::PolyPolygon16);
            std::vector<Contour> contours;
            size_t at = 0;
            for (uint32_t i = 0; i < figures; ++i) {
                const uint32_t count = LE32(r + 24 + 4 * i);
                if (count > all.size() - at) break;
                contours.push_back(
                    mapped({all.begin() + long(at), all.begin() + long(at + count)}));
                at += count;
            }
            const bool polygon =
                record == EmfRecord::PolyPolygon || record == EmfRecord::PolyPolygon16;
            if (m_inPath) {
                for (const Contour& c : contours) Figure(c, polygon, false, false);
                break;
            }
            if (polygon) FillWith(contours, m_state.brush);
            for (const Contour& c : contours) StrokeWith(c, polygon);
            break;
        }
        case EmfRecord::SetWindowExtEx:
            if (need(8)) SetWindowExt(i32(0), i32(1));
            break;
        case EmfRecord::SetWindowOrgEx:
            if (need(8)) m_state.wOrgX = i32(0), m_state.wOrgY = i32(1);
            break;
        case EmfRecord::SetViewportExtEx:
            if (need(8)) m_state.vExtX = i32(0), m_state.vExtY = i32(1);
            break;
        case EmfRecord::SetViewportOrgEx:
            if (need(8)) m_state.vOrgX = i32(0), m_state.vOrgY = i32(1);
            break;
        case EmfRecord::SetPixelV:
            if (need(12)) {
                const PointF p = Map(i32(0), i32(1));
                ApplyClip();
                m_canvas.SetPixel(raster::ToInt(std::floor(p.x)), raster::ToInt(std::floor(p.y)),
                                  Pixel(LE32(r + 8)));
            }
            break;
        case EmfRecord::SetMapMode:
            if (need(4)) m_state.mapMode = i32(0);
            break;
        case EmfRecord::SetBkMode:
            if (need(4)) m_state.opaqueBk = i32(0) == 2;
            break;
        case EmfRecord::SetPolyFillMode:
            if (need(4)) m_state.winding = i32(0) == 2;
            break;
        case EmfRecord::SetTextColor:
            if (need(4)) m_state.textColour = Pixel(LE32(r));
            break;
        case EmfRecord::SetBkColor:
            if (need(4)) m_state.bkColour = Pixel(LE32(r));
            break;
        case EmfRecord::MoveToEx:
            if (need(8)) {
                m_state.pos = {double(i32(0)), double(i32(1))};
                if (m_inPath) {
                    m_path.push_back({Map(i32(0), i32(1))});
                    m_pathClosed.push_back(false);
                }
            }
            break;
        case EmfRecord::IntersectClipRect:
            if (need(16)) IntersectClip(i32(0), i32(1), i32(2), i32(3));
            break;
        case EmfRecord::ScaleViewportExtEx:
            if (need(16) && i32(1) && i32(3))
                m_state.vExtX = m_state.vExtX * i32(0) / i32(1),
                m_state.vExtY = m_state.vExtY * i32(2) / i32(3);
            break;
        case EmfRecord::ScaleWindowExtEx:
            if (need(16) && i32(1) && i32(3))
                m_state.wExtX = m_state.wExtX * i32(0) / i32(1),
                m_state.wExtY = m_state.wExtY * i32(2) / i32(3);
            break;
        case EmfRecord::SaveDC:
            Save();
            break;
        case EmfRecord::RestoreDC:
            if (need(4)) Restore(i32(0));
            break;
        case EmfRecord::SetWorldTransform:
            if (need(24))
                m_state.world = {F32(r),      F32(r + 4),  F32(r + 8),
                                 F32(r + 12), F32(r + 16), F32(r + 20)};
            break;
        case EmfRecord::ModifyWorldTransform:
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
        case EmfRecord::SelectObject: {
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
        case EmfRecord::ExtCreateFontIndirectW: // index, then a LOGFONTW
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
        case EmfRecord::SetTextAlign:
            if (need(4)) m_state.textAlign = LE32(r);
            break;
        case EmfRecord::ExtTextOutA:
        case EmfRecord::ExtTextOutW: {
            // Bounds, graphics mode and two scales, then the text: reference point, count,
            // string offset, options, rectangle, offset of the advances. Offsets count from
            // the start of the record.
            if (!need(68)) break;
            const uint8_t* start = r - 8;
            TextCall call;
            call.x = i32(7), call.y = i32(8);
            const uint32_t count = LE32(r + 36), offString = LE32(r + 40), offDx = LE32(r + 64);
            call.options = LE32(r + 44);
            call.hasRect = true;
            call.left = i32(12), call.top = i32(13), call.right = i32(14), call.bottom = i32(15);
            const size_t unit = record == EmfRecord::ExtTextOutW ? 2 : 1;
            if (offString <= len && count <= (len - offString) / unit) {
                call.text = record == EmfRecord::ExtTextOutW
                                ? TextFromUtf16(start + offString, count)
                                : TextFromAnsi(start + offString, count);
                // With ETO_PDY each character has an x and a y advance; only x is used.
                const size_t per = call.options & 0x2000 ? 2 : 1;
                if (offDx >= 8 && offDx <= len && count <= (len - offDx) / (4 * per)) {
                    call.dx.resize(count);
                    for (size_t i = 0; i < count; ++i)
                        call.dx[i] = S32(start + offDx + 4 * per * i);
                }
            }
            Text(call);
            break;
        }
        case EmfRecord::SmallTextOut: { // x, y, count, options, graphics mode, scales, [rect], text
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
        case EmfRecord::CreatePen: // index, style, width (x, y), colour
            if (need(20) && LE32(r) < kMaxObjects) {
                if (LE32(r) >= m_objects.size()) m_objects.resize(LE32(r) + 1);
                Object& o = m_objects[LE32(r)];
                o = {Object::PenObj,
                     {int(LE32(r + 4) & 0xF), double(i32(2)), Pixel(LE32(r + 16))},
                     {}};
            }
            break;
        case EmfRecord::ExtCreatePen: // index, offsets, then style, width, brush style, colour
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
        case EmfRecord::CreateBrushIndirect: // index, style, colour, hatch
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
        case EmfRecord::CreateDIBPatternBrushPt: // index, usage, bmi offset, size, bits offset,
                                                 // size
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
        case EmfRecord::DeleteObject:
            if (need(4) && LE32(r) < m_objects.size()) m_objects[LE32(r)] = {};
            break;
        case EmfRecord::Ellipse:
            if (need(16)) Ellipse(i32(0), i32(1), i32(2), i32(3), true);
            break;
        case EmfRecord::Rectangle:
            rect(true);
            break;
        case EmfRecord::RoundRect:
            if (need(24)) RoundRect(i32(0), i32(1), i32(2), i32(3), i32(4), i32(5));
            break;
        case EmfRecord::Arc:
        case EmfRecord::Chord:
        case EmfRecord::Pie:
            if (need(32)) {
                int32_t v[8];
                for (int i = 0; i < 8; ++i) v[i] = i32(size_t(i));
                Arc(v, int(type - uint32_t(EmfRecord::Arc))); // arc 0, chord 1, pie 2
            }
            break;
        case EmfRecord::LineTo:
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
        case EmfRecord::BeginPath:
            m_inPath = true;
            m_path.clear();
            m_pathClosed.clear();
            break;
        case EmfRecord::EndPath:
            m_inPath = false;
            break;
        case EmfRecord::CloseFigure:
            if (!m_pathClosed.empty()) m_pathClosed.back() = true;
            break;
        case EmfRecord::FillPath:
        case EmfRecord::StrokeAndFillPath:
        case EmfRecord::StrokePath: {
            m_inPath = false;
            if (record != EmfRecord::StrokePath) FillWith(m_path, m_state.brush);
            if (record != EmfRecord::FillPath)
                for (size_t i = 0; i < m_path.size(); ++i) StrokeWith(m_path[i], m_pathClosed[i]);
            m_path.clear();
            m_pathClosed.clear();
            break;
        }
        case EmfRecord::AbortPath:
            m_inPath = false;
            m_path.clear();
            m_pathClosed.clear();
            break;
        case EmfRecord::SelectClipPath: { // the path's bounding box
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
        case EmfRecord::ExtSelectClipRgn: // a copy of no region resets the clip
            if (need(8) && LE32(r) == 0 && LE32(r + 4) == 5) m_state.clipped = false;
            break;
        case EmfRecord::BitBlt: // without a source bitmap it fills with the brush
        case EmfRecord::StretchBlt:
            if (need(100)) {
                const int32_t x = i32(4), y = i32(5), w = i32(6), h = i32(7);
                const uint32_t rop = LE32(r + 32);
                const uint32_t offBmi = LE32(r + 76), cbBmi = LE32(r + 80), offBits = LE32(r + 84),
                               cbBits = LE32(r + 88);
                if (cbBmi == 0) {
                    Brush b = m_state.brush;
                    if (rop == 0x00FF0062)
                        b = {0, 0xFFFFFFFFu};
                    else if (rop == 0x00000042)
                        b = {0, 0xFF000000u};
                    else if (rop != 0x00F00021)
                        break; // only PATCOPY paints
                    FillWith({{Map(x, y), Map(x + w, y), Map(x + w, y + h), Map(x, y + h)}}, b);
                } else if (offBmi >= 8 && offBits >= offBmi && offBits - 8 <= n &&
                           cbBits <= n - (offBits - 8)) {
                    const int sx = i32(9), sy = i32(10);
                    const int sw = record == EmfRecord::StretchBlt && need(108) ? i32(25) : w;
                    const int sh = record == EmfRecord::StretchBlt && need(108) ? i32(26) : h;
                    // Source y counts from the top of the bitmap here.
                    CDibPicture probe;
                    const uint8_t* dib = r + offBmi - 8;
                    const size_t dibSize = offBits - offBmi + cbBits;
                    const int32_t bh = dibSize >= 12 ? std::abs(S32(dib + 8)) : 0;
                    Dib(dib, dibSize, sx, bh - sy - sh, sw, sh, x, y, w, h);
                }
            }
            break;
        case EmfRecord::SetDIBitsToDevice:
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
        case EmfRecord::StretchDIBits:
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
        if (type == uint32_t(EmfRecord::Eof)) {
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

} // namespace metafile
