#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

class CMainFrame;
class QMenu;

// Message sent to the main window just before the notification-area menu opens.
constexpr int WM_TRAY_MENU_OPENING = 1231;

// The notification-area icon with its menu (155). A double-click restores the main window
// and runs the default item.
class CSystemTray : public QObject {
public:
    CSystemTray();
    ~CSystemTray() override;

    // False when the desktop has no notification area or the icon cannot be shown.
    bool Create(CMainFrame* parent, int callbackMessage, const QString& tip, const QIcon& icon,
                int id);
    bool Enabled() const { return m_enabled; }
    void RemoveIcon();
    void SetIcon(const QIcon& icon);
    void SetDefaultItem(int item, bool byPosition) {
        m_defaultItem = item;
        m_defaultByPos = byPosition;
    }
    QSystemTrayIcon* Icon() const { return m_icon.get(); }

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    int DefaultCommand() const;

    bool m_enabled = false;
    int m_defaultItem = 0;
    bool m_defaultByPos = true;
    int m_id = 0;
    CMainFrame* m_parent = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QMenu> m_menu;
};
