#pragma once

#include <cstdint>
#include <string>

// Lets one copy of the program run per user session. The first instance holds an exclusive
// lock on a file in $XDG_RUNTIME_DIR for as long as it lives and writes its main window's id
// there; a later instance finds the lock taken, reads the id and asks that window to come
// forward. The system drops the lock when a process ends in any way, so a file left by a
// crashed instance never stops a new start.
class CInstanceChecker {
public:
    explicit CInstanceChecker(std::string appName);
    ~CInstanceChecker();

    // True when another instance holds the lock. Otherwise this instance takes it (for the
    // rest of the process) and publishes windowId.
    bool PreviousInstanceRunning(uint64_t windowId);
    // Only after a true answer: the other instance's window id (0 if none was published).
    uint64_t PreviousWindowId() const { return m_previousWindow; }
    // Asks the other instance's window to restore itself and come forward.
    bool ActivatePreviousInstance();

    static std::string LockFilePath(const std::string& appName);

private:
    std::string m_path;
    uint64_t m_previousWindow = 0;
};
