#pragma once

#include "framework/DocView.h"

class CTilletCaptureDoc;

// Shows the document's picture at its own size on the view background colour.
class CTilletCaptureView : public CView {
public:
    CTilletCaptureView();
    CTilletCaptureDoc* GetDocument() const;
    void OnDraw(QPainter& painter) override;
    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, long hint) override;
    // Timer 3 of the main frame; the selection outline arrives with the full view.
    void OnSelectionTimer() {}

protected:
    bool event(QEvent* event) override;
};

// Posted by a view to itself when its document came from a capture: run the deliveries.
constexpr int WM_CAPTURE_DELIVER = 1230;

// The MDI child frame of an image.
class CChildFrame : public CMDIChildWnd {
public:
    CChildFrame();
};
