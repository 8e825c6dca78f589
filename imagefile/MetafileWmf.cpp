// Windows metafile records, played onto the picture.

#include <algorithm>

#include "imagefile/MetafilePlayer.h"
#include "imagefile/MetafileRecords.h"

namespace metafile {

namespace {

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
        if (fn == unsigned(WmfRecord::SetWindowExt) && words >= 5 && !win.found) {
            win.found = true;
            win.extY = S16(r), win.extX = S16(r + 2);
        } else if (fn == unsigned(WmfRecord::SetWindowOrg) && words >= 5 && !haveOrg) {
            haveOrg = true;
            win.orgY = S16(r), win.orgX = S16(r + 2);
        } else if (fn == unsigned(WmfRecord::Eof)) {
            break;
        }
        pos += size_t(words) * 2;
    }
    return win;
}

} // namespace

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
        const WmfRecord record = WmfRecord(fn);
        switch (record) {
        case WmfRecord::Eof:
            return;
        case WmfRecord::SetBkColor:
            if (need(2)) m_state.bkColour = Pixel(LE32(r));
            break;
        case WmfRecord::SetBkMode:
            if (need(1)) m_state.opaqueBk = w(0) == 2;
            break;
        // The mapping mode and viewport are left alone: the window always fills the picture.
        case WmfRecord::SetPolyFillMode:
            if (need(1)) m_state.winding = w(0) == 2;
            break;
        case WmfRecord::SetTextColor:
            if (need(2)) m_state.textColour = Pixel(LE32(r));
            break;
        case WmfRecord::SetWindowOrg:
            if (need(2)) m_state.wOrgY = w(0), m_state.wOrgX = w(1);
            break;
        case WmfRecord::SetWindowExt:
            if (need(2)) SetWindowExt(w(1), w(0));
            break;
        case WmfRecord::OffsetWindowOrg:
            if (need(2)) m_state.wOrgY += w(0), m_state.wOrgX += w(1);
            break;
        case WmfRecord::ScaleWindowExt: // yDenom, yNum, xDenom, xNum
            if (need(4) && w(0) != 0 && w(2) != 0)
                m_state.wExtY = m_state.wExtY * w(1) / w(0),
                m_state.wExtX = m_state.wExtX * w(3) / w(2);
            break;
        case WmfRecord::LineTo:
            if (need(2)) {
                Figure({Map(m_state.pos.x, m_state.pos.y), Map(w(1), w(0))}, false, false, true);
                m_state.pos = {w(1), w(0)};
            }
            break;
        case WmfRecord::MoveTo:
            if (need(2)) m_state.pos = {w(1), w(0)};
            break;
        case WmfRecord::IntersectClipRect:
            if (need(4)) IntersectClip(w(3), w(2), w(1), w(0));
            break;
        case WmfRecord::Arc:
        case WmfRecord::Chord:
        case WmfRecord::Pie:
            if (need(8)) {
                int32_t v[8] = {int32_t(w(7)), int32_t(w(6)), int32_t(w(5)), int32_t(w(4)),
                                int32_t(w(3)), int32_t(w(2)), int32_t(w(1)), int32_t(w(0))};
                Arc(v, record == WmfRecord::Arc ? 0 : record == WmfRecord::Chord ? 1 : 2);
            }
            break;
        case WmfRecord::Ellipse:
            if (need(4)) Ellipse(w(3), w(2), w(1), w(0), true);
            break;
        case WmfRecord::Rectangle:
            if (need(4)) {
                const double b = w(0), rr = w(1), t = w(2), l = w(3);
                Figure({Map(l, t), Map(rr, t), Map(rr, b), Map(l, b)}, true, true, true);
            }
            break;
        case WmfRecord::RoundRect:
            if (need(6)) RoundRect(w(5), w(4), w(3), w(2), w(1), w(0));
            break;
        case WmfRecord::PatBlt: // rop (2 words), height, width, y, x
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
        case WmfRecord::SaveDC:
            Save();
            break;
        case WmfRecord::RestoreDC:
            if (need(1)) Restore(int(w(0)));
            break;
        case WmfRecord::SetPixel: // colour, y, x
            if (need(4)) {
                const PointF p = Map(w(3), w(2));
                ApplyClip();
                m_canvas.SetPixel(raster::ToInt(std::floor(p.x)), raster::ToInt(std::floor(p.y)),
                                  Pixel(LE32(r)));
            }
            break;
        case WmfRecord::Polygon:
        case WmfRecord::Polyline:
            if (need(1))
                Figure(points(1, size_t(LE16(r))), record == WmfRecord::Polygon,
                       record == WmfRecord::Polygon, true);
            break;
        case WmfRecord::PolyPolygon: {
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
        case WmfRecord::SelectClipRegion:
            m_state.clipped = false;
            break;
        case WmfRecord::SelectObject:
            if (need(1) && LE16(r) < m_objects.size()) {
                const Object& o = m_objects[LE16(r)];
                if (o.kind == Object::PenObj) m_state.pen = o.pen;
                if (o.kind == Object::BrushObj) m_state.brush = o.brush;
                if (o.kind == Object::FontObj) m_state.font = o.font;
            }
            break;
        case WmfRecord::DeleteObject:
            if (need(1) && LE16(r) < m_objects.size()) m_objects[LE16(r)] = {};
            break;
        case WmfRecord::CreatePenIndirect: // style, width x, width y, colour
            if (need(5))
                add({Object::PenObj, {int(LE16(r) & 0xF), w(1), Pixel(LE32(r + 6))}, {}});
            else
                add({Object::Other});
            break;
        case WmfRecord::CreateBrushIndirect: // style, colour, hatch
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
        case WmfRecord::DIBCreatePatternBrush: { // style, usage, then a DIB
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
        case WmfRecord::CreateFontIndirect: // height, width, escapement, orientation, weight,
                                            // italic, underline, strike-out, charset, 3 precision
                                            // bytes, pitch and family, then the face name in 8-bit
                                            // characters
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
        case WmfRecord::CreatePalette:
        case WmfRecord::CreatePatternBrush:
        case WmfRecord::CreateRegion: // palette, pattern, region
            add({Object::Other});
            break;
        case WmfRecord::SetTextAlign:
            if (need(1)) m_state.textAlign = LE16(r);
            break;
        case WmfRecord::TextOut: { // count, string padded to a word, y, x
            if (!need(1)) break;
            const size_t count = LE16(r), padded = (count + 1) & ~size_t(1);
            if (n < 2 + padded + 4) break;
            TextCall call;
            call.text = TextFromAnsi(r + 2, count);
            call.y = S16(r + 2 + padded), call.x = S16(r + 4 + padded);
            Text(call);
            break;
        }
        case WmfRecord::ExtTextOut: { // y, x, count, options, [rectangle], string, [advances]
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
        case WmfRecord::DIBBitBlt: // rop, sy, sx, height, width, dy, dx, DIB
            if (need(8) && n > 16) {
                const int h = int(w(3)), wd = int(w(4));
                const int32_t bh = n - 16 >= 12 ? std::abs(S32(r + 16 + 8)) : 0;
                Dib(r + 16, n - 16, int(w(2)), bh - int(w(1)) - h, wd, h, w(6), w(5), wd, h);
            }
            break;
        case WmfRecord::DIBStretchBlt: // rop, srcH, srcW, sy, sx, dstH, dstW, dy, dx, DIB
            if (need(10) && n > 20) {
                const int sh = int(w(2)), sw = int(w(3));
                const int32_t bh = n - 20 >= 12 ? std::abs(S32(r + 20 + 8)) : 0;
                Dib(r + 20, n - 20, int(w(5)), bh - int(w(4)) - sh, sw, sh, w(9), w(8), w(7), w(6));
            }
            break;
        case WmfRecord::StretchDIB: // rop, usage, srcH, srcW, sy, sx, dstH, dstW, dy, dx, DIB
            if (need(11) && n > 22)
                Dib(r + 22, n - 22, int(w(6)), int(w(5)), int(w(4)), int(w(3)), w(10), w(9), w(8),
                    w(7));
            break;
        case WmfRecord::SetDIBToDev: // usage, scans, start scan, sy, sx, height, width, dy, dx, DIB
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

} // namespace metafile
