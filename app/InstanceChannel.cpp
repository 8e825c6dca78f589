#include "app/InstanceChannel.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

#include "app/CommandLine.h"
#include "app/InstanceChecker.h"

namespace {

const char kActivate[] = "_ORVANE_ACTIVATE";
const char kRequest[] = "_ORVANE_REQUEST";
const char kAnswer[] = "_ORVANE_ACCEPTED";
const char kUtf8[] = "UTF8_STRING";

uint32_t InternAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const uint32_t atom = reply ? reply->atom : 0;
    free(reply);
    return atom;
}

xcb_connection_t* QtConnection() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_client_message_event_t ClientMessage(uint32_t window, uint32_t type, uint32_t first) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    ev.data.data32[0] = first;
    return ev;
}

// Waits for the answer to a request on the connection's own queue.
CInstanceChecker::Answer WaitForAnswer(xcb_connection_t* c, uint32_t window, uint32_t answerAtom,
                                       int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            const auto* cm = reinterpret_cast<const xcb_client_message_event_t*>(ev);
            const bool answer = (ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                                cm->window == window && cm->type == answerAtom;
            const bool accepted = answer && cm->data.data32[0] != 0;
            free(ev);
            if (answer)
                return accepted ? CInstanceChecker::Answer::Accepted
                                : CInstanceChecker::Answer::Refused;
        }
        if (xcb_connection_has_error(c)) return CInstanceChecker::Answer::Unreachable;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return CInstanceChecker::Answer::NoAnswer;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, int(left.count()));
    }
}

} // namespace

// The sending end works on a connection of its own: the toolkit's reads its events on another
// thread, where an answer could not be waited for.
CInstanceChecker::Answer CInstanceChecker::ActivatePreviousInstance(const std::string& request,
                                                                    int timeoutMs) {
    if (!m_previousWindow) return Answer::Unreachable;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return Answer::Unreachable;
    }
    const uint32_t activate = InternAtom(c, kActivate);
    uint32_t own = 0;
    uint32_t answerAtom = 0;
    if (!request.empty()) {
        const uint32_t requestAtom = InternAtom(c, kRequest);
        const uint32_t utf8 = InternAtom(c, kUtf8);
        answerAtom = InternAtom(c, kAnswer);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screenNumber && it.rem > 1; ++i) xcb_screen_next(&it);
        own = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, own, it.data->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        // In pieces that fit any server's request size, big requests or not.
        const size_t piece = 64 * 1024;
        for (size_t at = 0; at < request.size(); at += piece)
            xcb_change_property(
                c, at == 0 ? XCB_PROP_MODE_REPLACE : XCB_PROP_MODE_APPEND, own, requestAtom, utf8,
                8, uint32_t(std::min(piece, request.size() - at)), request.data() + at);
    }
    xcb_client_message_event_t ev = ClientMessage(uint32_t(m_previousWindow), activate, own);
    xcb_void_cookie_t cookie = xcb_send_event_checked(c, 0, ev.window, XCB_EVENT_MASK_NO_EVENT,
                                                      reinterpret_cast<const char*>(&ev));
    // A window that is gone (its owner died between the test and now) is reported here.
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    Answer answer = error ? Answer::Unreachable : Answer::Accepted;
    free(error);
    if (answer == Answer::Accepted && own) answer = WaitForAnswer(c, own, answerAtom, timeoutMs);
    xcb_disconnect(c);
    return answer;
}

CInstanceChannel::CInstanceChannel(std::function<void()> onActivate,
                                   std::function<bool(const std::string&)> onRequest)
    : m_onActivate(std::move(onActivate)), m_onRequest(std::move(onRequest)) {
    if (xcb_connection_t* c = QtConnection()) {
        m_activateAtom = InternAtom(c, kActivate);
        m_requestAtom = InternAtom(c, kRequest);
        m_answerAtom = InternAtom(c, kAnswer);
        m_utf8Atom = InternAtom(c, kUtf8);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

CInstanceChannel::~CInstanceChannel() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool CInstanceChannel::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t" || !m_activateAtom) return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    if ((ev->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    auto* cm = reinterpret_cast<xcb_client_message_event_t*>(ev);
    if (cm->type != m_activateAtom) return false;
    const uint32_t sender = cm->data.data32[0];
    if (!sender) {
        m_onActivate();
        return true;
    }
    std::string bytes;
    // A request that cannot be read or understood is refused, so that the sender says so
    // instead of waiting in vain.
    Answer(sender, ReadRequest(sender, bytes) && m_onRequest(bytes));
    return true;
}

bool CInstanceChannel::ReadRequest(uint32_t window, std::string& bytes) {
    xcb_connection_t* c = QtConnection();
    if (!c) return false;
    // Read and deleted at once; a larger property stays where it is and is refused.
    auto cookie = xcb_get_property(c, 1, window, m_requestAtom, m_utf8Atom, 0,
                                   uint32_t(kMaxStartRequestBytes / 4 + 1));
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply) return false;
    const bool ok = reply->format == 8 && reply->type == m_utf8Atom && reply->bytes_after == 0;
    if (ok)
        bytes.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     size_t(xcb_get_property_value_length(reply)));
    free(reply);
    return ok;
}

void CInstanceChannel::Answer(uint32_t window, bool accepted) {
    xcb_connection_t* c = QtConnection();
    if (!c) return;
    xcb_client_message_event_t ev = ClientMessage(window, m_answerAtom, accepted ? 1 : 0);
    // Sent with no event mask, the message goes to the client that made the window.
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}
