#include "capture/CaptureSelection.h"

#include <cstdint>

namespace {

bool IsMove(unsigned m) {
    return m == TRACK_MOUSEMOVE || m == TRACK_NCMOUSEMOVE;
}
bool IsLeftDown(unsigned m) {
    return m == TRACK_LBUTTONDOWN || m == TRACK_NCLBUTTONDOWN;
}
// The second press of a quick pair arrives as a double click; outside a polygon it is one more
// click like any other, or two clicks in one place would never finish a selection.
bool IsLeftPress(unsigned m) {
    return IsLeftDown(m) || m == TRACK_LBUTTONDBLCLK || m == TRACK_NCLBUTTONDBLCLK;
}
bool IsLeftUp(unsigned m) {
    return m == TRACK_LBUTTONUP || m == TRACK_NCLBUTTONUP;
}
bool IsRightDown(unsigned m) {
    return m == TRACK_RBUTTONDOWN || m == TRACK_NCRBUTTONDOWN;
}

} // namespace

void CCaptureSelection::Start(int mode) {
    m_tracker.SetMode(mode);
    m_nTrackMode = mode;
    switch (mode) {
    case TM_CONTROL:
        m_tracker.SetState(TS_CONTROL_PICK);
        break;
    case TM_SINGLE_WINDOW:
        m_tracker.SetState(TS_WINDOW_PICK);
        break;
    case TM_POLYGON:
        m_tracker.SetState(TS_POLYGON);
        // A tick left from the previous polygon must not finish this one at its first click.
        m_nClickTick = 0;
        m_nLastPressTick = -1;
        m_nLastReleaseTick = -1;
        break;
    default:
        m_tracker.SetState(TS_HINT);
        break;
    }
    m_bRunning = true;
}

void CCaptureSelection::Cancel() {
    if (!m_bRunning) return;
    // The finish step erases exactly the feedback that is on the screen.
    m_tracker.SetState(TS_FINISH);
    m_tracker.TrackStep(m_canvas, {});
    m_tracker.Reset();
    m_bAnchored = false;
    m_bMoveMode = false;
    m_bRunning = false;
    m_canvas.Flush();
}

CCaptureSelection::Action CCaptureSelection::OnMouseLParam(unsigned message, long lParam) {
    const int x = int16_t(uint16_t(lParam & 0xFFFF));
    const int y = int16_t(uint16_t((lParam >> 16) & 0xFFFF));
    return OnMouse(message, x, y);
}

CCaptureSelection::Action CCaptureSelection::OnMouse(unsigned message, int x, int y) {
    // Messages queued before the hook went away arrive after the finish: they must not
    // draw a tip nobody erases or grab a second time.
    if (!m_bRunning) return SEL_CONTINUE;
    const ShapePoint point{x, y};
    Action action;
    if (m_nTrackMode == TM_POLYGON)
        action = PolygonMessage(message, point);
    else if (m_nTrackMode == TM_CONTROL || m_nTrackMode == TM_SINGLE_WINDOW)
        action = PickMouse(message, point);
    else
        action = RegionMouse(message, point);
    if (action != SEL_CONTINUE) m_bRunning = false;
    m_canvas.Flush();
    return action;
}

CCaptureSelection::Action CCaptureSelection::RegionMouse(unsigned message, ShapePoint point) {
    if (IsMove(message)) {
        m_tracker.SetState(!m_bAnchored ? TS_HINT : m_bMoveMode ? TS_MOVE : TS_STRETCH);
        m_tracker.TrackStep(m_canvas, point);
    } else if (IsLeftPress(message)) {
        if (!m_bAnchored) {
            m_bAnchored = true;
            m_tracker.SetState(TS_STRETCH);
            m_tracker.TrackStep(m_canvas, point);
        } else {
            m_tracker.SetState(TS_FINISH);
            m_tracker.TrackStep(m_canvas, point);
            m_bAnchored = false;
            m_bMoveMode = false;
            return SEL_FINISHED_POST_GRAB;
        }
    } else if (IsRightDown(message)) {
        if (m_bAnchored) m_bMoveMode = !m_bMoveMode;
    }
    return SEL_CONTINUE;
}

CCaptureSelection::Action CCaptureSelection::PickMouse(unsigned message, ShapePoint point) {
    if (IsMove(message)) {
        m_tracker.TrackStep(m_canvas, point);
    } else if (IsLeftPress(message)) {
        m_tracker.SetState(TS_FINISH);
        m_tracker.TrackStep(m_canvas, point);
        return SEL_FINISHED_GRAB_NOW;
    }
    return SEL_CONTINUE;
}

CCaptureSelection::Action CCaptureSelection::PolygonMessage(unsigned message, ShapePoint point) {
    m_tracker.PolygonMouse(m_canvas, point, message);
    bool finish = false;
    if (IsLeftDown(message)) {
        finish = m_nLastPressTick == m_nClickTick;
        m_nLastPressTick = m_nClickTick;
    } else if (IsLeftUp(message)) {
        finish = m_nLastReleaseTick == m_nClickTick;
        m_nLastReleaseTick = m_nClickTick;
    }
    if (!finish) return SEL_CONTINUE;
    m_tracker.FinishPolygon(m_canvas);
    return SEL_FINISHED_GRAB_NOW;
}
