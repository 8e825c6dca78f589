#pragma once

#include <cstdint>
#include <memory>

#include "capture/ScreenRect.h"
#include "capture/ShapeMask.h"
#include "imagefile/Picture.h"

typedef struct _XDisplay Display;

// A connection of the capture code's own to the X display. X errors on it (a window that
// went away while it was looked at) are answered by the call's result, never by the
// process-wide error handler.
class CScreenConnection {
public:
    CScreenConnection() = default;
    ~CScreenConnection();
    CScreenConnection(const CScreenConnection&) = delete;
    CScreenConnection& operator=(const CScreenConnection&) = delete;

    // name null: $DISPLAY.
    bool Open(const char* name = nullptr);
    Display* Get() const { return m_display; }

private:
    Display* m_display = nullptr;
};

// Copies screen pixels into pictures with MIT-SHM (plain XGetImage where shared memory is
// not available, as over a network). The shared segment is kept for the next grab.
class CScreenGrabber {
public:
    explicit CScreenGrabber(Display* display);
    ~CScreenGrabber();
    CScreenGrabber(const CScreenGrabber&) = delete;
    CScreenGrabber& operator=(const CScreenGrabber&) = delete;

    // Makes out a 32-bit picture of rect's size holding the screen inside the shape and
    // colorRef (0x00BBGGRR) everywhere else. Parts of rect off the screen keep the colour.
    void Grab(const ScreenRect& rect, ShapeMask& mask, uint32_t colorRef, CPicture& out);
    bool UsesSharedMemory() const { return m_useShm; }
    // Sets up the shared segment for grabs up to rect's size ahead of the first grab.
    void Prepare(const ScreenRect& rect);

private:
    struct Shm;
    void* Capture(int x, int y, int width, int height, int& bytesPerLine);
    void ReleaseShm();

    Display* m_display;
    bool m_useShm = false;
    std::unique_ptr<Shm> m_shm;
};

// The rectangles capture actions take from the window system.
namespace WindowFinder {

// The active top-level window's frame; not found when there is none or it is ownWindow.
// A maximised window loses the side and bottom borders it keeps off the screen.
bool ActiveWindowRect(Display* display, unsigned long ownWindow, ScreenRect& out);
// The active window's client area in root coordinates.
bool ClientAreaRect(Display* display, unsigned long ownWindow, ScreenRect& out);
// The primary monitor (the whole root window when the display names no primary output).
ScreenRect DesktopRect(Display* display);
// The topmost open popup menu: a mapped override-redirect window typed as a popup or
// drop-down menu, or one with no type or the normal type (toolkits that leave their menus
// untyped); tooltips, notifications and drag icons are not menus.
bool OpenMenuRect(Display* display, ScreenRect& out);
// The deepest window under (x, y) that lies inside a top-level client: a button or other
// child window. Not found over a top-level window itself, its decorations or the desktop.
// ignore: a window of our own to look through.
bool ControlRectAt(Display* display, int x, int y, ScreenRect& out, unsigned long ignore = 0);
// A child window under (x, y) as for ControlRectAt; elsewhere the whole frame of the
// top-level window under it.
bool WindowRectAt(Display* display, int x, int y, ScreenRect& out, unsigned long ignore = 0);

} // namespace WindowFinder
