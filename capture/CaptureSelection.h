#pragma once

#include "capture/CaptureTracker.h"

// The main frame's side of a selection: which handler a forwarded mouse message goes to,
// the progress of a region selection and the polygon's double-click ticks. The main frame
// owns one next to its tracker and does what each call answers.
class CCaptureSelection {
public:
    enum Action {
        // Keep waiting for mouse messages.
        SEL_CONTINUE = 0,
        // Region selection done: unhook the mouse, post message 1229 (the grab runs there).
        SEL_FINISHED_POST_GRAB = 1,
        // Pick or polygon done: unhook the mouse (and stop the polygon timer), grab now.
        SEL_FINISHED_GRAB_NOW = 2,
    };

    CCaptureSelection(CCaptureTracker& tracker, IScreenCanvas& canvas)
        : m_tracker(tracker), m_canvas(canvas) {}

    // A region, pick or polygon action begins: mode is its TrackMode. For a polygon the main
    // frame then starts its tick timer with the double-click time as period.
    void Start(int mode);
    // One forwarded mouse message; x and y are the signed 16-bit halves of lParam.
    Action OnMouse(unsigned message, int x, int y);
    Action OnMouseLParam(unsigned message, long lParam);
    // Ends a running selection without a result: what it drew is erased and the engine
    // starts afresh; mouse messages still queued are ignored.
    void Cancel();
    // The polygon timer fired.
    void OnTimerTick() { ++m_nClickTick; }
    bool IsRunning() const { return m_bRunning; }
    bool m_bAnchored = false;
    bool m_bMoveMode = false;
    int m_nTrackMode = TM_NONE;
    int m_nClickTick = 0;
    int m_nLastPressTick = -1;
    int m_nLastReleaseTick = -1;

private:
    Action RegionMouse(unsigned message, ShapePoint point);
    Action PickMouse(unsigned message, ShapePoint point);
    Action PolygonMessage(unsigned message, ShapePoint point);

    CCaptureTracker& m_tracker;
    IScreenCanvas& m_canvas;
    bool m_bRunning = false;
};
