#pragma once

#include <cstdint>
#include <memory>

#include "capture/ScreenCanvas.h"
#include "capture/ScreenGrab.h"
#include "imagefile/Picture.h"

// The selection's drawing surface on X11. Without a compositing manager it draws on the
// root window through every window on it (IncludeInferiors) with inverting raster
// operations. Where a compositing manager owns _NET_WM_CM_S0, drawing on the root is never
// shown: BeginSelection then freezes the screen into a full-screen override-redirect window
// that takes no input, and all drawing goes there; Grab copies from the frozen screen, since
// the live one is hidden under that window.
class CScreenCanvas : public IScreenCanvas {
public:
    // display stays owned by the caller and must outlive the canvas.
    explicit CScreenCanvas(Display* display);
    ~CScreenCanvas() override;
    CScreenCanvas(const CScreenCanvas&) = delete;
    CScreenCanvas& operator=(const CScreenCanvas&) = delete;

    // The program's own window, never taken as the active window.
    void SetOwnWindow(unsigned long window) { m_ownWindow = window; }

    // Call when a region, polygon or pick action starts (after the main window is hidden)
    // and again after its grab. Nothing happens between them without a compositor.
    void BeginSelection();
    void EndSelection();
    bool UsesOverlay() const { return m_overlay != 0; }
    // The screen as it was at BeginSelection while the overlay is up, else null.
    const CPicture* FrozenScreen() const { return m_frozen.get(); }
    // Sets up the live grab for rect's size ahead of the first capture.
    void PrepareGrab(const CRect& rect) { m_grabber.Prepare(rect); }
    // The grab: from the frozen screen while the overlay is up, else from the live screen.
    void Grab(const CRect& rect, ShapeMask& mask, uint32_t colorRef, CPicture& out);

    static bool CompositorRunning(Display* display);

    int ScreenWidth() override;
    int ScreenHeight() override;
    void InvertRect(const CRect& rect) override;
    void InvertRects(const CRect* rects, int count) override;
    void DrawFocusRect(const CRect& rect) override;
    void InvertEllipse(const CRect& rect) override;
    void InvertPolygon(const ShapePoint* points, int count) override;
    void InvertLine(ShapePoint from, ShapePoint to) override;
    void Beep() override;
    void MeasureText(const std::string& text, int& width, int& height) override;
    void CreateTipImages(int width, int height) override;
    void DrawTipText(const std::string& text) override;
    void SaveUnderTip(int x, int y) override;
    void RestoreUnderTip(int x, int y) override;
    void ShowTipImage(int x, int y) override;
    bool FindActiveWindow(CRect& out) override;
    bool FindClientArea(CRect& out) override;
    bool FindOpenMenu(CRect& out) override;
    CRect DesktopRect() override;
    bool FindWindowAt(ShapePoint point, bool controlOnly, CRect& out) override;
    void Flush() override;

private:
    struct X;
    void FreeTipImages();
    void DropOverlay();

    Display* m_display;
    std::unique_ptr<X> m_x;
    unsigned long m_ownWindow = 0;
    unsigned long m_target = 0;  // the root window, or the overlay
    unsigned long m_overlay = 0; // 0 without a compositor
    unsigned long m_frozenPixmap = 0;
    std::unique_ptr<CDibSectionPicture> m_frozen;
    CScreenGrabber m_grabber;
    int m_tipWidth = 0, m_tipHeight = 0;
    unsigned long m_tipImage = 0, m_saveUnder = 0;
};
