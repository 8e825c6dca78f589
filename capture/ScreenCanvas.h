#pragma once

#include <string>

#include "capture/ShapeMask.h"
#include "imagefile/Rect.h"

// The screen as the selection engine sees it: it draws feedback straight on what the user
// looks at and asks which windows are there. Every drawing call inverts pixels, so the same
// call a second time puts the screen back exactly; the selection relies on that to erase.
// The tip (the information box by the cursor) keeps two images here: the box itself and
// the screen pixels it covers.
class IScreenCanvas {
public:
    virtual ~IScreenCanvas() = default;

    // The size of the screen the tip stays on.
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;

    virtual void InvertRect(const CRect& rect) = 0;
    // Rectangles that do not overlap, in one go.
    virtual void InvertRects(const CRect* rects, int count) = 0;
    // A dotted frame one pixel wide just inside rect; nothing for an empty rect.
    virtual void DrawFocusRect(const CRect& rect) = 0;
    // The ellipse inscribed in rect.
    virtual void InvertEllipse(const CRect& rect) = 0;
    // Alternate (even-odd) filling: where the outline crosses itself, the overlap stays as is.
    virtual void InvertPolygon(const ShapePoint* points, int count) = 0;
    virtual void InvertLine(ShapePoint from, ShapePoint to) = 0;
    virtual void Beep() = 0;

    // The tip's font: the size of one line of text.
    virtual void MeasureText(const std::string& text, int& width, int& height) = 0;
    // Makes the tip image and the save-under of this size (the contents are undefined).
    virtual void CreateTipImages(int width, int height) = 0;
    // The tip image becomes text, white on black, flush right, centred vertically.
    virtual void DrawTipText(const std::string& text) = 0;
    virtual void SaveUnderTip(int x, int y) = 0;
    virtual void RestoreUnderTip(int x, int y) = 0;
    virtual void ShowTipImage(int x, int y) = 0;

    // Window rectangles for the immediate and pick modes; false when there is none.
    virtual bool FindActiveWindow(CRect& out) = 0;
    virtual bool FindClientArea(CRect& out) = 0;
    virtual bool FindOpenMenu(CRect& out) = 0;
    virtual CRect DesktopRect() = 0;
    // controlOnly: only a window inside a top-level client (a button, a child window);
    // otherwise that, or the whole frame of the top-level window under the point.
    virtual bool FindWindowAt(ShapePoint point, bool controlOnly, CRect& out) = 0;

    // Hands the drawing of one mouse message to the screen.
    virtual void Flush() = 0;
};
