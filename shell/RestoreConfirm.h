#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

// Makes sure a window asked to come back really is on screen. Showing a window is a request
// to the window manager, which answers later; an answer to an earlier request (a minimize, a
// withdrawal) that arrives after the show can take the window away again. After a restore
// the window is watched until it has stayed mapped and viewable for a while, and shown again
// when it is not; a hide the program itself asks for ends the watch.
class CRestoreConfirm : public QObject {
public:
    // reshow: shows, restores and raises the window again.
    CRestoreConfirm(QWidget* window, std::function<void()> reshow);

    // A restore has just been asked for.
    void Start();
    // The program hides the window on purpose: nothing to confirm any more.
    void Cancel();
    // While true, a minimize reported for the window is a late answer, not the user's.
    bool Active() const { return m_timer.isActive(); }

    // Whether the X server shows the window now (mapped, with every ancestor mapped).
    static bool Viewable(QWidget* window);

private:
    void Tick();

    QWidget* m_window;
    std::function<void()> m_reshow;
    QTimer m_timer;
    int m_stableTicks = 0;
    int m_waitTicks = 0;
    int m_retries = 0;
};
