#include "capture/CaptureTracker.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr ShapePoint kNoPoint{-1, -1};

CRect Normalised(ShapePoint a, ShapePoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

void Offset(CRect& r, int dx, int dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

CRect BoundingRect(const ShapePoint* points, int count) {
    if (count <= 0) return {};
    CRect r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (int i = 1; i < count; ++i) {
        r.left = std::min(r.left, points[i].x);
        r.top = std::min(r.top, points[i].y);
        r.right = std::max(r.right, points[i].x);
        r.bottom = std::max(r.bottom, points[i].y);
    }
    return r;
}

CRect Intersect(const CRect& a, const CRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Appends the parts of a outside b: at most four rectangles that do not overlap.
void AppendMinus(std::vector<CRect>& out, const CRect& a, const CRect& b) {
    if (a.IsEmpty()) return;
    const CRect i = Intersect(a, b);
    if (i.IsEmpty()) {
        out.push_back(a);
        return;
    }
    auto add = [&](CRect r) {
        if (!r.IsEmpty()) out.push_back(r);
    };
    add({a.left, a.top, a.right, i.top});
    add({a.left, i.bottom, a.right, a.bottom});
    add({a.left, i.top, i.left, i.bottom});
    add({i.right, i.top, a.right, i.bottom});
}

bool IsMove(unsigned m) {
    return m == TRACK_MOUSEMOVE || m == TRACK_NCMOUSEMOVE;
}

} // namespace

// ---------------------------------------------------------------------------------------------

std::string CCaptureTip::FormatSize(const std::string& format, int width, int height) {
    std::string out;
    out.reserve(format.size() + 16);
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() &&
            (format[i + 1] == '1' || format[i + 1] == '2')) {
            out += std::to_string(format[i + 1] == '1' ? width : height);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

void CCaptureTip::Prepare(IScreenCanvas& dc, const std::string& hintText,
                          const std::string& sizeFormat) {
    // Texts longer than the string buffers of the box are cut where they would have been.
    m_strHint = hintText.substr(0, 255);
    m_strSizeFormat = sizeFormat.substr(0, 255);
    int hintW, hintH, sizeW, sizeH;
    dc.MeasureText(m_strHint, hintW, hintH);
    dc.MeasureText(FormatSize(m_strSizeFormat, 8888, 8888), sizeW, sizeH);
    m_nWidth = std::max(hintW, sizeW) + 16;
    m_nHeight = std::max(sizeH + 8, hintH + 6);
    dc.CreateTipImages(m_nWidth, m_nHeight);
    m_nTipState = TIP_NONE;
    SetTipState(dc, TIP_HINT);
}

void CCaptureTip::SetTipState(IScreenCanvas& dc, int state) {
    if (state == m_nTipState) return;
    m_nTipState = state;
    if (state == TIP_HINT) {
        m_strText = m_strHint;
        dc.DrawTipText(m_strText);
    } else if (state == TIP_SIZE) {
        m_strText = m_strSizeFormat;
    }
}

ShapePoint CCaptureTip::PositionFor(IScreenCanvas& dc, ShapePoint point) const {
    ShapePoint pos{point.x + 2, point.y + 2};
    const int screenW = dc.ScreenWidth(), screenH = dc.ScreenHeight();
    if (pos.x + m_nWidth + 4 >= screenW) pos.x = screenW - m_nWidth - 4;
    if (pos.y + m_nHeight + 4 >= screenH) pos.y = screenH - m_nHeight - 4;
    return pos;
}

CRect CCaptureTip::RectFor(IScreenCanvas& dc, ShapePoint point) const {
    const ShapePoint p = PositionFor(dc, point);
    return {p.x, p.y, p.x + m_nWidth, p.y + m_nHeight};
}

CRect CCaptureTip::ShownRect() const {
    if (m_bHidden) return {};
    return {m_ptShown.x, m_ptShown.y, m_ptShown.x + m_nWidth, m_ptShown.y + m_nHeight};
}

void CCaptureTip::MoveTip(IScreenCanvas& dc, ShapePoint point, TrackSize size) {
    const ShapePoint pos = PositionFor(dc, point);
    if (pos == m_ptShown) return;
    // The size line is drawn even when the box comes back from hiding, so it never shows
    // the hint with the size state.
    if (m_nTipState == TIP_SIZE) {
        m_strText = FormatSize(m_strSizeFormat, size.width, size.height);
        dc.DrawTipText(m_strText);
    }
    if (m_bHidden) {
        m_bHidden = false;
    } else {
        dc.RestoreUnderTip(m_ptShown.x, m_ptShown.y);
    }
    dc.SaveUnderTip(pos.x, pos.y);
    dc.ShowTipImage(pos.x, pos.y);
    m_ptShown = pos;
}

void CCaptureTip::HideTip(IScreenCanvas& dc) {
    if (!m_bHidden) dc.RestoreUnderTip(m_ptShown.x, m_ptShown.y);
    m_ptShown = kNoPoint;
    m_bHidden = true;
}

// ---------------------------------------------------------------------------------------------

CCaptureTracker::CCaptureTracker() : m_pPoints(new ShapePoint[kCapacity]()) {
    m_region.points.reserve(kCapacity);
}

void CCaptureTracker::Reset() {
    m_bPolygonMove = false;
    m_ptAnchor = kNoPoint;
    m_ptLast = kNoPoint;
    m_rect = {};
    m_region.kind = Region::NONE;
    m_region.points.clear();
    m_nMode = TM_NONE;
    m_nState = TS_HINT;
    std::fill(m_pPoints.get(), m_pPoints.get() + m_nCapacity, ShapePoint{0, 0});
    m_nCount = 0;
    m_nShapeKind = 0;
    m_size = {};
    m_bLineShown = false;
}

void CCaptureTracker::PrepareTip(IScreenCanvas& dc, const std::string& hintText,
                                 const std::string& sizeFormat) {
    m_tip.Prepare(dc, hintText, sizeFormat);
}

std::vector<ShapePoint> CCaptureTracker::GetShapePoints() const {
    return std::vector<ShapePoint>(m_pPoints.get(), m_pPoints.get() + m_nCount);
}

// The rectangle feedback: the inverted rectangle with the focus rectangle on it.
void CCaptureTracker::ShowRect(IScreenCanvas& dc) {
    dc.DrawFocusRect(m_rect);
    dc.InvertRect(m_rect);
}

void CCaptureTracker::EraseRect(IScreenCanvas& dc) {
    dc.InvertRect(m_rect);
    dc.DrawFocusRect(m_rect);
}

void CCaptureTracker::ShowRegion(IScreenCanvas& dc) {
    dc.DrawFocusRect(m_rect);
    if (m_region.kind == Region::ELLIPSE)
        dc.InvertEllipse(m_region.rect);
    else
        dc.InvertPolygon(m_region.points.data(), int(m_region.points.size()));
}

// The region remembers the shape it showed, so the erase matches whatever changed since.
void CCaptureTracker::EraseRegion(IScreenCanvas& dc) {
    if (m_region.kind == Region::ELLIPSE)
        dc.InvertEllipse(m_region.rect);
    else
        dc.InvertPolygon(m_region.points.data(), int(m_region.points.size()));
    dc.DrawFocusRect(m_rect);
    m_region.kind = Region::NONE;
}

CRect CCaptureTracker::StretchRect(ShapePoint point, bool square) const {
    if (!square) return Normalised(m_ptAnchor, point);
    const int side = std::min(std::abs(point.x - m_ptAnchor.x), std::abs(point.y - m_ptAnchor.y));
    CRect r;
    if (m_ptAnchor.x < point.x) {
        r.left = m_ptAnchor.x;
        r.right = m_ptAnchor.x + side;
    } else {
        r.left = m_ptAnchor.x - side;
        r.right = m_ptAnchor.x;
    }
    if (m_ptAnchor.y < point.y) {
        r.top = m_ptAnchor.y;
        r.bottom = m_ptAnchor.y + side;
    } else {
        r.top = m_ptAnchor.y - side;
        r.bottom = m_ptAnchor.y;
    }
    return r;
}

void CCaptureTracker::Stretch(IScreenCanvas& dc, ShapePoint point) {
    m_nShapeKind = IsRegionMode() ? 2 : 0;
    if (m_ptAnchor == kNoPoint) {
        m_ptAnchor = m_ptLast = point;
        return;
    }
    if (point == m_ptLast) return;
    Replace(dc, point, StretchRect(point, m_nMode == TM_SQUARE || m_nMode == TM_CIRCLE));
}

void CCaptureTracker::Move(IScreenCanvas& dc, ShapePoint point) {
    m_nShapeKind = IsRegionMode() ? 2 : 0;
    const int dx = point.x - m_ptLast.x, dy = point.y - m_ptLast.y;
    CRect moved = m_rect;
    Offset(moved, dx, dy);
    m_ptAnchor.x += dx;
    m_ptAnchor.y += dy;
    Replace(dc, point, moved);
}

// The rectangle feedback changes from m_rect to rect with the tip moving in between. Where
// the tip is, or goes, that is the erase, the move and the show in this order, so that the
// tip saves clean pixels and ends up inverted with the rectangle. Everywhere else only the
// pixels in one of the two rectangles change, which saves inverting a large rectangle twice
// on every mouse move.
void CCaptureTracker::ReplaceRect(IScreenCanvas& dc, ShapePoint point, const CRect& rect) {
    const CRect tipOld = m_tip.ShownRect();
    const CRect tipNew = m_tip.RectFor(dc, point);
    std::vector<CRect>& tips = m_tipAreas;
    tips.clear();
    if (!tipOld.IsEmpty()) tips.push_back(tipOld);
    AppendMinus(tips, tipNew, tipOld);
    auto invertInTips = [&](const CRect& r) {
        m_scratch.clear();
        for (const CRect& t : tips) {
            const CRect i = Intersect(r, t);
            if (!i.IsEmpty()) m_scratch.push_back(i);
        }
        dc.InvertRects(m_scratch.data(), int(m_scratch.size()));
    };
    invertInTips(m_rect);
    dc.DrawFocusRect(m_rect);
    m_size = {rect.Width(), rect.Height()};
    m_tip.MoveTip(dc, point, m_size);
    dc.DrawFocusRect(rect);
    invertInTips(rect);

    m_scratch.clear();
    AppendMinus(m_scratch, m_rect, rect);
    AppendMinus(m_scratch, rect, m_rect);
    for (const CRect& t : tips) {
        m_scratch2.clear();
        for (const CRect& r : m_scratch) AppendMinus(m_scratch2, r, t);
        m_scratch.swap(m_scratch2);
    }
    dc.InvertRects(m_scratch.data(), int(m_scratch.size()));
    m_rect = rect;
    m_ptLast = point;
}

// Erases the shown feedback, moves the tip and shows the shape of rect. The size is taken
// before the tip moves so that the box shows the numbers of the shape drawn with it.
void CCaptureTracker::Replace(IScreenCanvas& dc, ShapePoint point, const CRect& rect) {
    const bool region = IsRegionMode();
    const bool shown = region ? m_region.kind != Region::NONE : !m_rect.IsEmpty();
    if (shown && !region) {
        ReplaceRect(dc, point, rect);
        return;
    }
    if (shown) {
        if (region)
            EraseRegion(dc);
        else
            EraseRect(dc);
    }
    m_size = {rect.Width(), rect.Height()};
    if (shown) m_tip.MoveTip(dc, point, m_size);
    m_rect = rect;
    m_ptLast = point;
    if (region) {
        m_region.kind = Region::ELLIPSE;
        m_region.rect = m_rect;
        ShowRegion(dc);
    } else {
        ShowRect(dc);
    }
}

void CCaptureTracker::Pick(IScreenCanvas& dc, ShapePoint point, bool controlOnly) {
    m_nShapeKind = 0;
    CRect found;
    if (!dc.FindWindowAt(point, controlOnly, found)) return;
    if (found == m_rect) return;
    if (!m_rect.IsEmpty()) dc.InvertRect(m_rect);
    m_rect = found;
    dc.InvertRect(m_rect);
}

void CCaptureTracker::Finish(IScreenCanvas& dc) {
    if (m_region.kind != Region::NONE) {
        EraseRegion(dc);
    } else if (!m_rect.IsEmpty()) {
        if (m_nMode == TM_RECTANGLE || m_nMode == TM_SQUARE)
            EraseRect(dc);
        else if (m_nMode == TM_CONTROL || m_nMode == TM_SINGLE_WINDOW)
            dc.InvertRect(m_rect);
    }
    if (m_bLineShown) {
        // A one-vertex polygon finished while its rubber line is out.
        dc.InvertLine(m_pPoints[0], m_ptLast);
        m_bLineShown = false;
    }
    m_tip.SetTipState(dc, CCaptureTip::TIP_HINT);
    m_tip.HideTip(dc);
    if (m_nMode == TM_POLYGON) {
        // The grab covers the vertices that are kept, not a trailing point left behind.
        m_rect = BoundingRect(m_pPoints.get(), m_nCount);
        for (int i = 0; i < m_nCapacity; ++i) {
            m_pPoints[i].x -= m_rect.left;
            m_pPoints[i].y -= m_rect.top;
        }
    }
}

int CCaptureTracker::TrackStep(IScreenCanvas& dc, ShapePoint point) {
    switch (m_nMode) {
    case TM_CLIENT_AREA:
        m_nShapeKind = 0;
        return dc.FindClientArea(m_rect) ? 1 : 0;
    case TM_ACTIVE_WINDOW:
        m_nShapeKind = 0;
        return dc.FindActiveWindow(m_rect) ? 1 : 0;
    case TM_MENU:
        return dc.FindOpenMenu(m_rect) ? 1 : 0;
    case TM_DESKTOP:
        m_nShapeKind = 0;
        m_rect = dc.DesktopRect();
        return 1;
    default:
        break;
    }
    switch (m_nState) {
    case TS_HINT:
        m_tip.SetTipState(dc, CCaptureTip::TIP_HINT);
        m_tip.MoveTip(dc, point, m_size);
        break;
    case TS_STRETCH:
        m_tip.SetTipState(dc, CCaptureTip::TIP_SIZE);
        Stretch(dc, point);
        break;
    case TS_MOVE:
        m_tip.SetTipState(dc, CCaptureTip::TIP_SIZE);
        Move(dc, point);
        break;
    case TS_FINISH:
        Finish(dc);
        break;
    case TS_CONTROL_PICK:
        Pick(dc, point, true);
        break;
    case TS_WINDOW_PICK:
        Pick(dc, point, false);
        break;
    default:
        break;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------

void CCaptureTracker::PolygonMove(IScreenCanvas& dc, ShapePoint point) {
    if (point == m_ptLast) return;
    if (m_nCount == 0) {
        m_tip.SetTipState(dc, CCaptureTip::TIP_HINT);
        m_tip.MoveTip(dc, point, m_size);
        return;
    }
    if (m_nCount == 1) {
        if (m_bLineShown) {
            dc.InvertLine(m_pPoints[0], m_ptLast);
            m_tip.SetTipState(dc, CCaptureTip::TIP_SIZE);
            m_tip.MoveTip(dc, point, m_size);
        }
        m_ptLast = point;
        dc.InvertLine(m_pPoints[0], point);
        m_bLineShown = true;
        return;
    }
    const bool shown = m_region.kind != Region::NONE;
    if (shown) EraseRegion(dc);
    if (m_bPolygonMove) {
        const int dx = point.x - m_ptLast.x, dy = point.y - m_ptLast.y;
        for (int i = 0; i <= m_nCount; ++i) {
            m_pPoints[i].x += dx;
            m_pPoints[i].y += dy;
        }
    } else {
        m_pPoints[m_nCount] = point;
    }
    const CRect rect = BoundingRect(m_pPoints.get(), m_nCount + 1);
    m_size = {rect.Width(), rect.Height()};
    if (shown) {
        m_tip.SetTipState(dc, CCaptureTip::TIP_SIZE);
        m_tip.MoveTip(dc, point, m_size);
    }
    m_rect = rect;
    m_region.kind = Region::POLYGON;
    m_region.points.assign(m_pPoints.get(), m_pPoints.get() + m_nCount + 1);
    m_ptLast = point;
    ShowRegion(dc);
}

void CCaptureTracker::PolygonPress(IScreenCanvas& dc, ShapePoint point) {
    if (m_nCount == 0) {
        m_pPoints[0] = point;
        m_nCount = 1;
        return;
    }
    if (m_nCount == 1 && m_bLineShown) {
        dc.InvertLine(m_pPoints[0], m_ptLast);
        m_bLineShown = false;
    }
    if (m_bPolygonMove) return;
    if (point == m_pPoints[m_nCount - 1]) return;
    // One slot always stays free for the trailing point.
    if (m_nCount + 1 < m_nCapacity) {
        m_pPoints[m_nCount] = point;
        ++m_nCount;
    } else {
        dc.Beep();
    }
    m_nShapeKind = m_nCount;
}

void CCaptureTracker::PolygonMouse(IScreenCanvas& dc, ShapePoint point, unsigned message) {
    if (IsMove(message)) {
        PolygonMove(dc, point);
    } else if (message == TRACK_LBUTTONDOWN || message == TRACK_NCLBUTTONDOWN) {
        PolygonPress(dc, point);
    } else if (message == TRACK_LBUTTONDBLCLK || message == TRACK_NCLBUTTONDBLCLK) {
        m_nShapeKind = m_nCount;
        if (m_region.kind != Region::NONE) EraseRegion(dc);
    } else if (message == TRACK_RBUTTONDOWN || message == TRACK_NCRBUTTONDOWN) {
        if (m_nCount > 1) m_bPolygonMove = !m_bPolygonMove;
    }
}

void CCaptureTracker::FinishPolygon(IScreenCanvas& dc) {
    if (m_bPolygonMove && m_nCount < m_nCapacity) ++m_nCount;
    // Fewer than three vertices enclose nothing; kind 2 would grab an ellipse instead.
    m_nShapeKind = m_nCount >= 3 ? m_nCount : 1;
    m_nState = TS_FINISH;
    TrackStep(dc, m_ptLast);
}
