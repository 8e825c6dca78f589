#include "capture/ScreenGrab.h"

#include "imagefile/Bands.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

// Xlibint.h brings macros named after standard functions.
#undef min
#undef max

namespace {

int SwallowError(Display*, xError*, XExtCodes*, int* ret) {
    *ret = 0;
    return 1;
}

// A pixel of an image in any other layout (16-bit displays, other byte orders).
uint32_t ConvertPixel(XImage* image, int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    auto scale = [p](unsigned long m) -> uint32_t {
        if (!m) return 0;
        unsigned long v = p;
        while (!(m & 1)) {
            m >>= 1;
            v >>= 1;
        }
        return uint32_t((v & m) * 255 / m);
    };
    return 0xFF000000u | scale(image->red_mask) << 16 | scale(image->green_mask) << 8 |
           scale(image->blue_mask);
}

} // namespace

// ---------------------------------------------------------------------------------------------

CScreenConnection::~CScreenConnection() {
    if (m_display) XCloseDisplay(m_display);
}

bool CScreenConnection::Open(const char* name) {
    if (m_display) return true;
    m_display = XOpenDisplay(name);
    if (!m_display) return false;
    if (XExtCodes* codes = XAddExtension(m_display))
        XESetError(m_display, codes->extension, SwallowError);
    return true;
}

// ---------------------------------------------------------------------------------------------

struct CScreenGrabber::Shm {
    XShmSegmentInfo info{};
    XImage* image = nullptr;
};

CScreenGrabber::CScreenGrabber(Display* display) : m_display(display) {
    int major, minor;
    Bool pixmaps;
    m_useShm = display && XShmQueryVersion(display, &major, &minor, &pixmaps);
}

CScreenGrabber::~CScreenGrabber() {
    ReleaseShm();
}

void CScreenGrabber::ReleaseShm() {
    if (!m_shm) return;
    XShmDetach(m_display, &m_shm->info);
    XSync(m_display, False);
    m_shm->image->data = nullptr;
    XDestroyImage(m_shm->image);
    shmdt(m_shm->info.shmaddr);
    m_shm.reset();
}

void* CScreenGrabber::Capture(int x, int y, int width, int height, int& bytesPerLine) {
    const int screen = DefaultScreen(m_display);
    Visual* visual = DefaultVisual(m_display, screen);
    const int depth = DefaultDepth(m_display, screen);
    if (m_useShm) {
        // The segment of the last grab is kept while it is large enough.
        if (m_shm && (m_shm->image->width < width || m_shm->image->height < height)) ReleaseShm();
        if (!m_shm) {
            auto shm = std::make_unique<Shm>();
            shm->image = XShmCreateImage(m_display, visual, unsigned(depth), ZPixmap, nullptr,
                                         &shm->info, unsigned(width), unsigned(height));
            if (shm->image) {
                shm->info.shmid =
                    shmget(IPC_PRIVATE, size_t(shm->image->bytes_per_line) * size_t(height),
                           IPC_CREAT | 0600);
                shm->info.shmaddr = shm->info.shmid >= 0
                                        ? static_cast<char*>(shmat(shm->info.shmid, nullptr, 0))
                                        : reinterpret_cast<char*>(-1);
                if (shm->info.shmaddr != reinterpret_cast<char*>(-1)) {
                    shm->image->data = shm->info.shmaddr;
                    shm->info.readOnly = False;
                    const bool attached = XShmAttach(m_display, &shm->info);
                    XSync(m_display, False);
                    // Marked for removal now; it goes when the last user detaches.
                    shmctl(shm->info.shmid, IPC_RMID, nullptr);
                    if (attached)
                        m_shm = std::move(shm);
                    else
                        shmdt(shm->info.shmaddr);
                } else if (shm->info.shmid >= 0) {
                    shmctl(shm->info.shmid, IPC_RMID, nullptr);
                }
                if (!m_shm) {
                    // Only reached when shm was not moved into m_shm.
                    shm->image->data = nullptr; // NOLINT(bugprone-use-after-move)
                    XDestroyImage(shm->image);
                }
            }
            if (!m_shm) m_useShm = false;
        }
        if (m_shm) {
            // Grab into the top-left corner of a segment that may be larger.
            XImage* image = m_shm->image;
            const int fullW = image->width, fullH = image->height;
            image->width = width;
            image->height = height;
            const bool ok =
                XShmGetImage(m_display, DefaultRootWindow(m_display), image, x, y, AllPlanes);
            image->width = fullW;
            image->height = fullH;
            if (ok) {
                // The server packs the rows for the width asked for, not the segment's.
                const int pad = image->bitmap_pad;
                bytesPerLine = (width * image->bits_per_pixel + pad - 1) / pad * (pad / 8);
                return image;
            }
        }
    }
    XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x, y, unsigned(width),
                              unsigned(height), AllPlanes, ZPixmap);
    if (image) bytesPerLine = image->bytes_per_line;
    return image;
}

void CScreenGrabber::Prepare(const CRect& rect) {
    if (!m_useShm || rect.IsEmpty()) return;
    // A grab of the whole size makes the segment that later grabs reuse.
    int stride = 0;
    auto* image =
        static_cast<XImage*>(Capture(rect.left, rect.top, rect.Width(), rect.Height(), stride));
    if (!image) return;
    if (m_shm && image == m_shm->image) {
        // Reading every page once now maps the segment into this process, a fault per page
        // that the first capture would otherwise pay.
        const volatile char* data = image->data;
        const size_t bytes = size_t(image->bytes_per_line) * size_t(image->height);
        char sum = 0;
        for (size_t i = 0; i < bytes; i += 4096) sum = char(sum + data[i]);
        (void)sum;
        return;
    }
    XDestroyImage(image);
}

void CScreenGrabber::Grab(const CRect& rect, ShapeMask& mask, uint32_t colorRef, CPicture& out) {
    const int width = std::max(rect.Width(), 1), height = std::max(rect.Height(), 1);
    out.CreateForOverwrite(width, height, 32, false);
    const uint32_t background =
        0xFF000000u | (colorRef & 0xFF) << 16 | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);

    // Only the part of the rectangle that lies on the screen is read.
    const int rootW = DisplayWidth(m_display, DefaultScreen(m_display));
    const int rootH = DisplayHeight(m_display, DefaultScreen(m_display));
    const int x0 = std::max(rect.left, 0), y0 = std::max(rect.top, 0);
    const int x1 = std::min(rect.left + width, rootW), y1 = std::min(rect.top + height, rootH);
    XImage* image = nullptr;
    int stride = 0;
    if (x0 < x1 && y0 < y1 && !rect.IsEmpty()) {
        image = static_cast<XImage*>(Capture(x0, y0, x1 - x0, y1 - y0, stride));
    }
    const bool direct = image && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                        image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                        image->blue_mask == 0xFF;

    // Rows in bands, on two threads when the picture is large: the copy is most of a grab's
    // time on our side. Each band walks its own copy of the mask, which keeps row state.
    const auto copyRows = [&](int first, int last) {
        ShapeMask bandMask = mask;
        for (int y = first; y < last; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(out.GetLineArray()[y]);
            const int sy = rect.top + y;
            int filled = 0; // everything left of this is written
            if (image && sy >= y0 && sy < y1) {
                const char* srcRow = image->data + size_t(sy - y0) * size_t(stride);
                for (const ShapeSpan& span : bandMask.Row(y)) {
                    // Clip the span to the part that was read.
                    const int b = std::max(span.begin, x0 - rect.left);
                    const int e = std::min(span.end, x1 - rect.left);
                    if (b >= e) continue;
                    std::fill(row + filled, row + b, background);
                    if (direct) {
                        // The server leaves the fourth byte 0; pictures without alpha keep it
                        // 255.
                        const uint32_t* src =
                            reinterpret_cast<const uint32_t*>(srcRow) + (rect.left + b - x0);
                        uint32_t* dst = row + b;
                        const int n = e - b;
                        for (int i = 0; i < n; ++i) dst[i] = src[i] | 0xFF000000u;
                    } else {
                        for (int x = b; x < e; ++x)
                            row[x] = ConvertPixel(image, rect.left + x - x0, sy - y0);
                    }
                    filled = e;
                }
            }
            std::fill(row + filled, row + width, background);
        }
    };
    ForEachBand(height, 64, 8.0 * width, copyRows, [](int) {});
    if (image && !(m_shm && image == m_shm->image)) XDestroyImage(image);
}
