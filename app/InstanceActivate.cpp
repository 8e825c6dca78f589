#include <QGuiApplication>
#include <cstring>
#include <xcb/xcb.h>

#include "app/InstanceChecker.h"

bool CInstanceChecker::ActivatePreviousInstance() {
    if (!m_previousWindow) return false;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const char* name = "_ORVANE_ACTIVATE";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    if (!reply) return false;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = xcb_window_t(m_previousWindow);
    ev.type = reply->atom;
    free(reply);
    xcb_void_cookie_t cookie = xcb_send_event_checked(c, 0, ev.window, XCB_EVENT_MASK_NO_EVENT,
                                                      reinterpret_cast<const char*>(&ev));
    // A window that is gone (its owner died between the test and now) is reported here.
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    bool ok = error == nullptr;
    free(error);
    return ok;
}
