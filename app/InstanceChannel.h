#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>
#include <string>

// The running instance's end of the channel a later start of the program talks through: a
// _ORVANE_ACTIVATE client message to the main window. Its first item is 0 for a plain
// activation, or a window of the sender whose _ORVANE_REQUEST property holds an encoded
// request; that one is answered with a _ORVANE_ACCEPTED client message to the same window
// (first item 1 for accepted, 0 for refused).
class CInstanceChannel : public QAbstractNativeEventFilter {
public:
    // onRequest gets the request's bytes and says whether it is accepted; both run inside
    // the native event dispatch, so they should only schedule their work.
    CInstanceChannel(std::function<void()> onActivate,
                     std::function<bool(const std::string&)> onRequest);
    ~CInstanceChannel() override;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    bool ReadRequest(uint32_t window, std::string& bytes);
    void Answer(uint32_t window, bool accepted);

    std::function<void()> m_onActivate;
    std::function<bool(const std::string&)> m_onRequest;
    uint32_t m_activateAtom = 0;
    uint32_t m_requestAtom = 0;
    uint32_t m_answerAtom = 0;
    uint32_t m_utf8Atom = 0;
};
