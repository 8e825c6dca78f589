#pragma once

#include <cstdint>
#include <memory>

#include "capture/ShapeMask.h"
#include "imagefile/Rect.h"
// What is grabbed is mostly a rectangle the window finders give.
#include "capture/WindowFinder.h"
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
    void Grab(const CRect& rect, ShapeMask& mask, uint32_t colorRef, CPicture& out);
    bool UsesSharedMemory() const { return m_useShm; }
    // Sets up the shared segment for grabs up to rect's size ahead of the first grab.
    void Prepare(const CRect& rect);

private:
    struct Shm;
    void* Capture(int x, int y, int width, int height, int& bytesPerLine);
    void ReleaseShm();

    Display* m_display;
    bool m_useShm = false;
    std::unique_ptr<Shm> m_shm;
};
