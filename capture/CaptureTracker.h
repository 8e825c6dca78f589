#pragma once

#include <memory>
#include <string>
#include <vector>

#include "capture/ScreenCanvas.h"

enum TrackMode {
    TM_NONE = 0,
    TM_RECTANGLE = 1,
    TM_SQUARE = 3,
    TM_ELLIPSE = 5,
    TM_CIRCLE = 6,
    TM_POLYGON = 17,
    TM_CLIENT_AREA = 18,
    TM_ACTIVE_WINDOW = 19,
    TM_CONTROL = 20,
    TM_SINGLE_WINDOW = 21,
    TM_MENU = 23,
    TM_DESKTOP = 24,
};

enum TrackState {
    TS_NONE = 0,
    TS_HINT = 1,
    TS_STRETCH = 2,
    TS_MOVE = 3,
    TS_FINISH = 4,
    TS_CONTROL_PICK = 5,
    TS_POLYGON = 7,
    TS_WINDOW_PICK = 8,
};

// 0 rectangle, 2 ellipse inscribed in the rectangle, 3 or more a polygon of that many
// points; 1 copies nothing.
using ShapeKind = int;

// Mouse message ids as the hook forwards them, with the non-client twins the selection
// treats alike.
enum TrackMessage : unsigned {
    TRACK_NCMOUSEMOVE = 0x00A0,
    TRACK_NCLBUTTONDOWN = 0x00A1,
    TRACK_NCLBUTTONUP = 0x00A2,
    TRACK_NCLBUTTONDBLCLK = 0x00A3,
    TRACK_NCRBUTTONDOWN = 0x00A4,
    TRACK_MOUSEMOVE = 0x0200,
    TRACK_LBUTTONDOWN = 0x0201,
    TRACK_LBUTTONUP = 0x0202,
    TRACK_LBUTTONDBLCLK = 0x0203,
    TRACK_RBUTTONDOWN = 0x0204,
};

struct TrackSize {
    int width = 0, height = 0;
};

// The information box that follows the cursor: the hint before the first click, then the
// size of the selection. Its two images (the box and the pixels it covers) live on the
// canvas; this keeps what is shown where.
class CCaptureTip {
public:
    enum TipState { TIP_NONE = 0, TIP_HINT = 1, TIP_SIZE = 2 };

    void Prepare(IScreenCanvas& dc, const std::string& hintText, const std::string& sizeFormat);
    void SetTipState(IScreenCanvas& dc, int state);
    void MoveTip(IScreenCanvas& dc, ShapePoint point, TrackSize size);
    void HideTip(IScreenCanvas& dc);
    // Where the box goes for a cursor at point, and where it is (empty while hidden).
    ShapePoint PositionFor(IScreenCanvas& dc, ShapePoint point) const;
    CRect RectFor(IScreenCanvas& dc, ShapePoint point) const;
    CRect ShownRect() const;

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    int GetTipState() const { return m_nTipState; }
    ShapePoint GetShownPosition() const { return m_ptShown; }
    bool IsHidden() const { return m_bHidden; }
    const std::string& GetText() const { return m_strText; }
    // The size line: the format's %1 and %2 replaced by the numbers.
    static std::string FormatSize(const std::string& format, int width, int height);

private:
    int m_nWidth = 0, m_nHeight = 0;
    std::string m_strHint;
    std::string m_strSizeFormat;
    std::string m_strText;
    int m_nTipState = TIP_NONE;
    ShapePoint m_ptShown{-1, -1};
    bool m_bHidden = true;
};

// The selection engine: draws the feedback of rectangles, squares, ellipses, circles,
// polygons and window picks, and leaves the rectangle, shape kind and points for the grab.
class CCaptureTracker {
public:
    static constexpr int kCapacity = 36;

    CCaptureTracker();

    void SetMode(int mode) { m_nMode = mode; }
    void SetState(int state) { m_nState = state; }
    int GetMode() const { return m_nMode; }
    int GetState() const { return m_nState; }

    // One step of the current mode and state. The immediate modes answer whether a
    // rectangle was found; everything else answers 1.
    int TrackStep(IScreenCanvas& dc, ShapePoint point);
    void PolygonMouse(IScreenCanvas& dc, ShapePoint point, unsigned message);
    // Back to the initial values; the point array is kept (cleared).
    void Reset();
    void PrepareTip(IScreenCanvas& dc, const std::string& hintText, const std::string& sizeFormat);

    const CRect& GetRect() const { return m_rect; }
    const ShapePoint* GetPoints() const { return m_pPoints.get(); }
    int GetCount() const { return m_nCount; }
    ShapeKind GetShapeKind() const { return m_nShapeKind; }
    bool GetPolygonMove() const { return m_bPolygonMove; }
    const CCaptureTip& GetTip() const { return m_tip; }
    TrackSize GetSize() const { return m_size; }
    ShapePoint GetAnchor() const { return m_ptAnchor; }
    // The polygon as it will be grabbed: the vertices relative to the rectangle.
    std::vector<ShapePoint> GetShapePoints() const;

    // Called by the selection when a polygon is finished: the trailing point becomes a
    // vertex when the whole polygon was being moved.
    void FinishPolygon(IScreenCanvas& dc);

private:
    // What is inverted on the screen besides the focus rectangle.
    struct Region {
        enum Kind { NONE, ELLIPSE, POLYGON } kind = NONE;
        CRect rect;
        std::vector<ShapePoint> points;
    };

    void ShowRect(IScreenCanvas& dc);
    void EraseRect(IScreenCanvas& dc);
    void ShowRegion(IScreenCanvas& dc);
    void EraseRegion(IScreenCanvas& dc);
    CRect StretchRect(ShapePoint point, bool square) const;
    void Stretch(IScreenCanvas& dc, ShapePoint point);
    void Move(IScreenCanvas& dc, ShapePoint point);
    void Replace(IScreenCanvas& dc, ShapePoint point, const CRect& rect);
    void ReplaceRect(IScreenCanvas& dc, ShapePoint point, const CRect& rect);
    void Pick(IScreenCanvas& dc, ShapePoint point, bool controlOnly);
    void Finish(IScreenCanvas& dc);
    void PolygonMove(IScreenCanvas& dc, ShapePoint point);
    void PolygonPress(IScreenCanvas& dc, ShapePoint point);
    bool IsRegionMode() const { return m_nMode == TM_ELLIPSE || m_nMode == TM_CIRCLE; }

    bool m_bPolygonMove = false;
    CCaptureTip m_tip;
    ShapePoint m_ptAnchor{-1, -1};
    ShapePoint m_ptLast{-1, -1};
    CRect m_rect;
    Region m_region;
    int m_nMode = TM_NONE;
    int m_nState = TS_HINT;
    std::unique_ptr<ShapePoint[]> m_pPoints;
    int m_nCapacity = kCapacity;
    int m_nCount = 0;
    ShapeKind m_nShapeKind = 0;
    TrackSize m_size;
    // The rubber line of a one-vertex polygon is on the screen. Kept apart from the last
    // point so that a click that erases the line does not make the next move draw it back.
    bool m_bLineShown = false;
    // Rectangle lists reused on every mouse move.
    std::vector<CRect> m_tipAreas, m_scratch, m_scratch2;
};
