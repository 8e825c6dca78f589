#pragma once

#include "imagefile/Rect.h"

typedef struct _XDisplay Display;

// The rectangles capture actions take from the window system.
namespace WindowFinder {

// The active top-level window's frame; not found when there is none or it is ownWindow.
// A maximised window loses the side and bottom borders it keeps off the screen.
bool ActiveWindowRect(Display* display, unsigned long ownWindow, CRect& out);
// The active window's client area in root coordinates.
bool ClientAreaRect(Display* display, unsigned long ownWindow, CRect& out);
// The primary monitor (the whole root window when the display names no primary output).
CRect DesktopRect(Display* display);
// The topmost open popup menu: a mapped override-redirect window typed as a popup or
// drop-down menu, or one with no type or the normal type (toolkits that leave their menus
// untyped); tooltips, notifications and drag icons are not menus.
bool OpenMenuRect(Display* display, CRect& out);
// The deepest window under (x, y) that lies inside a top-level client: a button or other
// child window. Not found over a top-level window itself, its decorations or the desktop.
// ignore: a window of our own to look through.
bool ControlRectAt(Display* display, int x, int y, CRect& out, unsigned long ignore = 0);
// A child window under (x, y) as for ControlRectAt; elsewhere the whole frame of the
// top-level window under it.
bool WindowRectAt(Display* display, int x, int y, CRect& out, unsigned long ignore = 0);

} // namespace WindowFinder
