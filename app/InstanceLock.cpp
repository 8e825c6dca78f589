#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/InstanceChecker.h"

namespace {
// The lock stays held by this descriptor until the process ends.
int g_lockFd = -1;

uint64_t ReadId(int fd) {
    char buf[32] = {};
    ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) return 0;
    return std::strtoull(buf, nullptr, 10);
}
} // namespace

CInstanceChecker::CInstanceChecker(const std::string& appName, const std::string& display)
    : m_path(LockFilePath(appName, display)) {}

CInstanceChecker::~CInstanceChecker() = default;

std::string CInstanceChecker::NormalizeDisplay(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) return display;
    std::string host = display.substr(0, colon);
    if (host == "unix") host.clear();
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    return host + ":" + number;
}

std::string CInstanceChecker::LockName(const std::string& appName, const std::string& display) {
    std::string name = "CInstanceChecker_MMF_" + appName + NormalizeDisplay(display);
    // A host given as a socket path must not reach outside the runtime folder.
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

std::string CInstanceChecker::LockFilePath(const std::string& appName, const std::string& display) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir;
    if (runtime && *runtime == '/') {
        dir = runtime;
    } else {
        // Without a runtime folder: a private one in /tmp per user.
        dir = "/tmp/orvane-" + std::to_string(::getuid());
        ::mkdir(dir.c_str(), 0700);
    }
    return dir + "/" + LockName(appName, display);
}

bool CInstanceChecker::PreviousInstanceRunning(uint64_t windowId) {
    if (g_lockFd >= 0) return false; // this process already is the first instance
    int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false; // cannot guard: run on as the first instance
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return false;
        }
        // The holder writes its id right after taking the lock; give it a moment.
        for (int i = 0; i < 200 && (m_previousWindow = ReadId(fd)) == 0; ++i) ::usleep(10000);
        ::close(fd);
        return true;
    }
    char text[32];
    int len = std::snprintf(text, sizeof text, "%llu\n", static_cast<unsigned long long>(windowId));
    if (::ftruncate(fd, 0) == 0) {
        ssize_t written = ::pwrite(fd, text, size_t(len), 0);
        (void)written;
    }
    g_lockFd = fd;
    return false;
}
