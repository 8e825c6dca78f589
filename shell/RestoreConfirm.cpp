#include "shell/RestoreConfirm.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
constexpr int kTickMs = 40;
// Viewable this long in a row: the window manager has settled.
constexpr int kStableTicks = 400 / kTickMs;
// Not viewable this long after a show: show again.
constexpr int kWaitTicks = 400 / kTickMs;
constexpr int kMaxRetries = 5;
} // namespace

CRestoreConfirm::CRestoreConfirm(QWidget* window, std::function<void()> reshow)
    : m_window(window), m_reshow(std::move(reshow)) {
    m_timer.setInterval(kTickMs);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

void CRestoreConfirm::Start() {
    m_stableTicks = 0;
    m_waitTicks = 0;
    m_retries = 0;
    m_timer.start();
}

void CRestoreConfirm::Cancel() {
    m_timer.stop();
}

bool CRestoreConfirm::Viewable(QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    // Without X the toolkit's own word is all there is.
    if (!c) return window->isVisible() && !window->isMinimized();
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, xcb_window_t(window->winId())), nullptr);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    free(reply);
    return viewable;
}

void CRestoreConfirm::Tick() {
    if (Viewable(m_window)) {
        // A late minimize may have been taken for the window's state although it is shown;
        // left so, the user's next minimize would change nothing and go unnoticed.
        if (m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
        m_waitTicks = 0;
        if (++m_stableTicks >= kStableTicks) m_timer.stop();
        return;
    }
    m_stableTicks = 0;
    if (++m_waitTicks < kWaitTicks) return;
    if (m_retries++ >= kMaxRetries) {
        m_timer.stop();
        return;
    }
    m_waitTicks = 0;
    m_reshow();
}
