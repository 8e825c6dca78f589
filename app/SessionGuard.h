#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Keeps the settings when the session ends under the program. The end of a desktop session
// comes as SIGTERM or SIGHUP (SIGINT from a terminal), as the session manager's request to
// commit data, or as the X server going away, when the display plugin calls exit() from
// inside the event loop; none of these returns from the event loop, so the normal shut-down
// never runs. A signal is turned into an event-loop wake-up through a pipe: the settings are
// saved and the event loop ends, so the normal shut-down follows. A commit request saves. An
// exit() while the guard lives saves on the way out; a display lost under another thread's
// connection leaves the exit to the main thread, so that one save runs with all it needs.
class SessionGuard : public QObject {
public:
    // save writes the settings; it runs on the main thread, or in exit() on the thread that
    // called it, and must not touch the display.
    explicit SessionGuard(std::function<void()> save);

    // Holds the session's signals back until a guard is made (or ReleaseSignals): called
    // first in main, before any thread starts, so that an end of session while the program
    // starts is answered once the settings it would save are loaded, not by a silent death.
    static void HoldSignals();
    static void ReleaseSignals();
    ~SessionGuard() override;
    SessionGuard(const SessionGuard&) = delete;
    SessionGuard& operator=(const SessionGuard&) = delete;

private:
    void OnSignalPipe();
    static void AtExit();

    std::function<void()> m_save;
    QSocketNotifier* m_notifier = nullptr;
};
