#pragma once

#include <QPointer>
#include <QTabBar>
#include <QToolBar>
#include <functional>
#include <vector>

class QMdiArea;
class QMdiSubWindow;

// The tabs of the open-file bar: drawn by the program so that the active image, the others
// and the unsaved ones can be told apart at a glance.
class CViewTabCtrl : public QTabBar {
public:
    static constexpr QRgb kSelectedColor = 0x0000FF; // blue
    static constexpr QRgb kNormalColor = 0x323232;   // dark grey
    static constexpr QRgb kModifiedColor = 0xFF0000; // red

    explicit CViewTabCtrl(QWidget* parent);
    // The text colour and font of a tab as it is drawn.
    QColor TextColor(int index) const;
    const QFont& TextFont(int index) const;
    QMdiSubWindow* Window(int index) const;
    // Where a tab's icon and its title are drawn.
    QRect IconRect(int index) const;
    QRect TextRect(int index) const;

    // Right click over a tab, after that tab's window was activated.
    std::function<void(const QPoint& globalPos)> onContextMenu;

protected:
    // Wide enough for the icon and the title in the wider of the two fonts, so that a tab
    // keeps its width when it is selected.
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QFont m_selectedFont;
    QFont m_normalFont;
};

// The bar that keeps one tab per image window, in opening order, so that the user can
// switch between captures with one click.
class CViewManager : public QToolBar {
public:
    static constexpr int kControlId = 32771;

    CViewManager(QWidget* parent, QMdiArea* mdi);

    // Adding and removing do nothing while the frame is closing.
    void AddView(const QString& title, QMdiSubWindow* window);
    void RemoveView(QMdiSubWindow* window);
    void SetViewName(const QString& title, QMdiSubWindow* window);
    int GetCount() const { return int(m_views.size()); }
    // Follows the MDI area: new windows get their tab, titles and tool tips are refreshed, the
    // active window's tab is selected; without an active window the tab row is hidden.
    void OnIdleUpdate();
    CViewTabCtrl* TabCtrl() const { return m_tabs; }
    static QString ToolTipFor(QMdiSubWindow* window);

    bool m_bClosing = false;

private:
    int TabIndexOf(QMdiSubWindow* window) const;
    void AppendTab(int viewIndex);

    QMdiArea* m_mdi;
    CViewTabCtrl* m_tabs;
    std::vector<QPointer<QMdiSubWindow>> m_views;
    std::vector<QMdiSubWindow*> m_keys; // the same windows, valid as keys while they die
    std::vector<QString> m_titles;
};
