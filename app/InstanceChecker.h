#pragma once

#include <cstdint>
#include <string>

// Lets one copy of the program run per X display. The first instance holds an exclusive
// lock on a file in $XDG_RUNTIME_DIR, named after the display, for as long as it lives and
// writes its main window's id there (a nested or remote session of the same user is another
// display and gets its own instance); a later instance finds the lock taken, reads the id and asks
// that window to come forward. The system drops the lock when a process ends in any way, so a file
// left by a crashed instance never stops a new start.
class CInstanceChecker {
public:
    // display: the X display name as in $DISPLAY (empty without one).
    CInstanceChecker(const std::string& appName, const std::string& display);
    ~CInstanceChecker();

    // True when another instance holds the lock. Otherwise this instance takes it (for the
    // rest of the process) and publishes windowId.
    bool PreviousInstanceRunning(uint64_t windowId);
    // Only after a true answer: the other instance's window id (0 if none was published).
    uint64_t PreviousWindowId() const { return m_previousWindow; }
    enum class Answer { Accepted, Refused, NoAnswer, Unreachable };
    // Asks the other instance's window to restore itself and come forward or, given a request
    // (its encoded bytes), to carry that out instead. A request is carried in a property of a
    // window of this process, and the other instance answers whether it accepted it; without
    // an answer within timeoutMs the result is NoAnswer. A plain activation is not answered:
    // it is Accepted once sent.
    Answer ActivatePreviousInstance(const std::string& request = {}, int timeoutMs = 10000);

    // "host:number" of a display name: the screen number and the "unix" host (the local
    // socket, as an empty host) are dropped, so every spelling of one server gives one name.
    static std::string NormalizeDisplay(const std::string& display);
    // "CInstanceChecker_MMF_<app name><normalized display>", safe as a file name.
    static std::string LockName(const std::string& appName, const std::string& display);
    static std::string LockFilePath(const std::string& appName, const std::string& display);

private:
    std::string m_path;
    uint64_t m_previousWindow = 0;
};
