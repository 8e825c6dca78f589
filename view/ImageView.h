#pragma once

#include <QRect>
#include <memory>
#include <vector>

#include "framework/Commands.h"
#include "imagefile/DisplayPicture.h"
#include "view/ZoomView.h"

class CTilletCaptureDoc;

// The view of an image document: draws the picture at the zoom factor, pans, selects, drags
// the selection or a pasted picture, crops, copies, cuts and pastes, and shows the mouse
// position, depth and size in the status bar. Pixels change only through the document.
class CTilletCaptureView : public CZoomView {
public:
    enum DragState { DragNone = 0, DragSelection = 1, DragPasted = 2 };

    CTilletCaptureView();
    ~CTilletCaptureView() override;
    CTilletCaptureDoc* GetDocument() const;
    void OnDraw(QPainter& painter) override;
    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, long hint) override;
    // Timer 3 of the main frame: the selection outline changes its dots.
    void OnSelectionTimer();

    void SetZoom(double factor);
    void ZoomIn();
    void ZoomOut();
    double GetZoomFactor() const { return m_zoomFactor; }
    bool CopySelection();
    bool CutSelection();
    void PasteFloating();
    bool CropToSelection();
    void SelectAll();
    // Selection mode on or off; off clears the selection.
    void SetSelectionMode(bool on);

    bool InSelectionMode() const { return m_selectionMode == 2; }
    bool CropPending() const { return m_cropPending; }
    bool HasPasted() const { return m_pasted != nullptr; }
    const QRect& Selection() const { return m_selection; }
    const QRect& Outline() const { return m_outline; }
    int GetDragState() const { return m_dragState; }
    QPoint PixelUnderMouse() const { return m_pixel; }
    // Stretches smoothly only on a display of this many bits or fewer, as palette displays
    // need; the screen's own depth unless set.
    void SetScreenDepth(int bits) { m_screenDepth = bits; }
    int StretchMode() const;
    // The status panes this view fills in, for the active view.
    void ShowPictureInfo();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    CDisplayPicture* Picture() const;
    QRect PictureRect() const;
    void FitScrollSizes();
    void ClearSelection();
    void CommitPasted();
    void FinishTracking(QPoint device);
    // Repaints the client area that shows these logical rectangles, grown by a few pixels.
    void UpdateLogical(const QRect& logical, int grow = 4);
    void UpdateCursor(QPoint device);
    void SetPaneText(int pane, const QString& text);

    int m_screenDepth;
    QRect m_updateRect;
    QPoint m_pixel{-1, -1};
    int m_selectionMode = 0;
    bool m_cropPending = false;
    int m_dragState = DragNone;
    QPoint m_lastPoint;
    QPoint m_dragPos;
    bool m_copyOnMove = false;
    double m_zoomFactor = 1.0;
    QSize m_lastPictureSize;
    QRect m_selection;
    QRect m_outline;
    QRect m_clip;
    std::unique_ptr<CDisplayPicture> m_pasted;

    // Panning with the hand and drawing a new selection.
    bool m_panning = false;
    QPoint m_panLast;
    bool m_tracking = false;
    QPoint m_trackStart, m_trackEnd;
};

// Posted by a view to itself when its document came from a capture: run the deliveries.
constexpr int WM_CAPTURE_DELIVER = 1230;

// The popup of menu 343, the image view's context menu.
// The items of the Operations menu, which the image's context menu repeats.
std::vector<MenuItem> OperationsMenuItems();
MenuItem ImageContextMenu();

// The MDI child frame of an image.
class CChildFrame : public CMDIChildWnd {
public:
    CChildFrame();
};
