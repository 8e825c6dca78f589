#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class CMainFrame;
class QMenu;

// Message sent to the main window just before the notification-area menu opens.
constexpr int WM_TRAY_MENU_OPENING = 1231;

// The notification-area icon with its menu (155). A double-click restores the main window
// and runs the default item. The notification area may come after the program (a panel
// started later at login) or go and come back (a panel restarting): the icon is kept asked
// for throughout and shows whenever there is a notification area to hold it.
class CSystemTray : public QObject, public QAbstractNativeEventFilter {
public:
    CSystemTray();
    ~CSystemTray() override;

    // False when the desktop has no notification area now or the icon cannot be shown; the
    // icon still appears when one comes.
    bool Create(CMainFrame* parent, int callbackMessage, const QString& tip, const QIcon& icon,
                int id);
    // Whether the icon is in a notification area now.
    bool Enabled() const { return m_enabled; }
    // Called with the new answer of Enabled() when a notification area comes or goes.
    void SetAvailabilityHandler(std::function<void(bool)> handler) {
        m_onAvailability = std::move(handler);
    }
    void RemoveIcon();
    void SetIcon(const QIcon& icon);
    void SetDefaultItem(int item, bool byPosition) {
        m_defaultItem = item;
        m_defaultByPos = byPosition;
    }
    QSystemTrayIcon* Icon() const { return m_icon.get(); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    int DefaultCommand() const;
    // Asks whether a notification area is there now; shows the icon in a new one.
    void Recheck();

    bool m_enabled = false;
    bool m_removed = false;
    bool m_recheckQueued = false;
    uint32_t m_managerAtom = 0;
    std::function<void(bool)> m_onAvailability;
    int m_defaultItem = 0;
    bool m_defaultByPos = true;
    int m_id = 0;
    CMainFrame* m_parent = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QMenu> m_menu;
};
