#include "app/SessionGuard.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <X11/Xlib.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

int g_pipe[2] = {-1, -1};
// The guard that exit() reaches; cleared before the guard goes.
std::atomic<SessionGuard*> g_guard{nullptr};

XIOErrorHandler g_previousIoHandler = nullptr;
pthread_t g_mainThread;

// Xlib's answer to a lost display is exit() on whichever thread noticed it. Two threads in
// exit() at once (the main thread through the toolkit, another through a connection of its
// own) would tear down the objects one uses to save while it saves. Only the main thread
// ends the process; another one waits for that, and after a long while ends the process
// without running anything more.
int OnDisplayLost(Display* dpy) {
    if (!pthread_equal(pthread_self(), g_mainThread)) {
        for (int i = 0; i < 1000; ++i) ::usleep(10000);
        ::_exit(1);
    }
    if (g_previousIoHandler) g_previousIoHandler(dpy);
    std::exit(1);
}

extern "C" void OnSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    if (g_pipe[1] >= 0) (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SessionGuard::SessionGuard(std::function<void()> save) : m_save(std::move(save)) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
    if (g_pipe[0] >= 0) {
        m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnSignalPipe(); });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int signo : kSignals) ::sigaction(signo, &sa, nullptr);
    }
    // A signal held back since the start arrives now, through the pipe.
    ReleaseSignals();

    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // The session manager asks before it ends the session; the answer is to be saved.
        QObject::connect(gui, &QGuiApplication::commitDataRequest, this,
                         [this](QSessionManager&) { m_save(); });
        QObject::connect(gui, &QGuiApplication::saveStateRequest, this,
                         [this](QSessionManager&) { m_save(); });
    }

    static bool registered = false;
    if (!registered) {
        registered = std::atexit(AtExit) == 0;
        g_mainThread = pthread_self();
        g_previousIoHandler = XSetIOErrorHandler(OnDisplayLost);
    }
    g_guard.store(this);
}

SessionGuard::~SessionGuard() {
    g_guard.store(nullptr);
    // Past this point a signal ends the process as it would without the guard.
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int signo : kSignals) ::sigaction(signo, &sa, nullptr);
}

namespace {
sigset_t SessionSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signo : kSignals) sigaddset(&set, signo);
    return set;
}
} // namespace

void SessionGuard::HoldSignals() {
    const sigset_t set = SessionSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void SessionGuard::ReleaseSignals() {
    const sigset_t set = SessionSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void SessionGuard::OnSignalPipe() {
    unsigned char byte = 0;
    bool signalled = false;
    while (::read(g_pipe[0], &byte, 1) == 1) signalled = true;
    if (!signalled) return;
    m_save();
    // The normal shut-down follows (and saves once more, with nothing changed).
    QCoreApplication::exit(0);
}

void SessionGuard::AtExit() {
    // exit() from inside the event loop: the display connection broke. The objects the save
    // uses still live, since exit() unwinds no stack.
    SessionGuard* guard = g_guard.exchange(nullptr);
    if (guard) guard->m_save();
}
