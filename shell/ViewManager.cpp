#include "shell/ViewManager.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>

#include "framework/DocView.h"

namespace {
constexpr int kTabRowHeight = 26;
constexpr int kFitFallback = 15;
constexpr int kTabMargin = 4;
constexpr int kIconSize = 16;
constexpr int kTextGap = 4;

CDocument* DocumentOf(QMdiSubWindow* window) {
    auto* child = dynamic_cast<CMDIChildWnd*>(window);
    return child ? child->GetActiveDocument() : nullptr;
}
} // namespace

CViewTabCtrl::CViewTabCtrl(QWidget* parent) : QTabBar(parent) {
    setFocusPolicy(Qt::NoFocus);
    // The right button opens the tab's own menu; the main window's menu of bars, which the
    // event would reach through the bar, must not open on top of it.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setDrawBase(false);
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    // Both fonts come from the menu font; the selected tab stands out by weight as well.
    const QFont menuFont = QApplication::font("QMenu");
    m_selectedFont = menuFont;
    m_selectedFont.setBold(true);
    m_normalFont = menuFont;
}

QMdiSubWindow* CViewTabCtrl::Window(int index) const {
    return qvariant_cast<QMdiSubWindow*>(tabData(index));
}

QColor CViewTabCtrl::TextColor(int index) const {
    if (CDocument* doc = DocumentOf(Window(index)); doc && doc->IsModified())
        return QColor::fromRgb(kModifiedColor);
    return QColor::fromRgb(index == currentIndex() ? kSelectedColor : kNormalColor);
}

const QFont& CViewTabCtrl::TextFont(int index) const {
    return index == currentIndex() ? m_selectedFont : m_normalFont;
}

QRect CViewTabCtrl::IconRect(int index) const {
    const QRect r = tabRect(index).adjusted(kTabMargin, 2, -kTabMargin, -2);
    const int indent = fontMetrics().horizontalAdvance(' ');
    return QRect(r.left() + indent, r.center().y() - kIconSize / 2, kIconSize, kIconSize);
}

QRect CViewTabCtrl::TextRect(int index) const {
    QRect r = tabRect(index).adjusted(kTabMargin, 2, -kTabMargin, -2);
    r.setLeft(IconRect(index).right() + 1 + kTextGap);
    return r;
}

void CViewTabCtrl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.text.clear();
        option.icon = QIcon();
        painter.drawControl(QStyle::CE_TabBarTabShape, option);
        if (QMdiSubWindow* window = Window(i)) window->windowIcon().paint(&painter, IconRect(i));
        painter.setFont(TextFont(i));
        painter.setPen(TextColor(i));
        painter.drawText(TextRect(i), Qt::AlignCenter | Qt::TextSingleLine, tabText(i));
    }
}

void CViewTabCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTabBar::mousePressEvent(event);
        return;
    }
    const int index = tabAt(event->position().toPoint());
    if (index < 0) return;
    setCurrentIndex(index);
    if (QMdiSubWindow* window = Window(index); window && window->mdiArea())
        window->mdiArea()->setActiveSubWindow(window);
    if (onContextMenu) onContextMenu(event->globalPosition().toPoint());
}

CViewManager::CViewManager(QWidget* parent, QMdiArea* mdi)
    : QToolBar("Open File Tabs Bar", parent), m_mdi(mdi), m_tabs(new CViewTabCtrl(this)) {
    setObjectName("OpenFileTabsBar");
    setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    setFloatable(false);
    setMinimumHeight(kTabRowHeight + 6);
    m_tabs->setMinimumHeight(kTabRowHeight);
    addWidget(m_tabs);
    QObject::connect(m_tabs, &QTabBar::currentChanged, m_tabs, [this](int index) {
        QMdiSubWindow* window = index >= 0 ? m_tabs->Window(index) : nullptr;
        if (window && m_mdi->activeSubWindow() != window) m_mdi->setActiveSubWindow(window);
    });
}

int CViewManager::TabIndexOf(QMdiSubWindow* window) const {
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->Window(i) == window) return i;
    return -1;
}

void CViewManager::AppendTab(int viewIndex) {
    const QSignalBlocker block(m_tabs);
    const int tab = m_tabs->addTab(m_titles[viewIndex]);
    m_tabs->setTabData(tab, QVariant::fromValue(m_views[viewIndex].data()));
    m_tabs->setTabToolTip(tab, ToolTipFor(m_views[viewIndex]));
}

void CViewManager::AddView(const QString& title, QMdiSubWindow* window) {
    if (m_bClosing || !window) return;
    m_views.emplace_back(window);
    m_keys.push_back(window);
    m_titles.push_back(title);
    AppendTab(int(m_views.size()) - 1);
    // The window's own end removes its tab, however it is closed.
    QObject::connect(window, &QObject::destroyed, this, [this, window] { RemoveView(window); });
}

void CViewManager::RemoveView(QMdiSubWindow* window) {
    if (m_bClosing || m_keys.empty()) return;
    const auto it = std::find(m_keys.begin(), m_keys.end(), window);
    if (it == m_keys.end()) return;
    const auto index = it - m_keys.begin();
    {
        const QSignalBlocker block(m_tabs);
        for (int i = 0; i < m_tabs->count(); ++i)
            if (m_tabs->tabData(i).value<QMdiSubWindow*>() == window || !m_tabs->Window(i))
                m_tabs->removeTab(i--);
    }
    m_keys.erase(it);
    m_views.erase(m_views.begin() + index);
    m_titles.erase(m_titles.begin() + index);
    if (m_tabs->count() == 0) return;

    // When the row is full, the tail is laid out again so that the last windows stay in view.
    const int first = m_tabs->tabRect(0).width();
    const int fit = first > 0 ? std::max(1, m_tabs->width() / first) : kFitFallback;
    if (m_tabs->count() < fit) return;
    const int keep = m_tabs->currentIndex();
    const QSignalBlocker block(m_tabs);
    m_tabs->setUpdatesEnabled(false);
    const int removeCount = std::min(fit, m_tabs->count());
    for (int i = 0; i < removeCount; ++i) m_tabs->removeTab(m_tabs->count() - 1);
    const int views = int(m_views.size());
    for (int v = std::max(0, views - removeCount); v < views; ++v) AppendTab(v);
    m_tabs->setCurrentIndex(keep);
    m_tabs->setUpdatesEnabled(true);
}

void CViewManager::SetViewName(const QString& title, QMdiSubWindow* window) {
    const auto it = std::find(m_keys.begin(), m_keys.end(), window);
    if (it == m_keys.end()) return;
    m_titles[it - m_keys.begin()] = title;
    if (const int tab = TabIndexOf(window); tab >= 0) m_tabs->setTabText(tab, title);
}

QString CViewManager::ToolTipFor(QMdiSubWindow* window) {
    CDocument* doc = DocumentOf(window);
    if (!doc || doc->GetPathName().isEmpty()) return "A new unsaved file";
    return doc->GetPathName();
}

void CViewManager::OnIdleUpdate() {
    for (QMdiSubWindow* window : m_mdi->subWindowList(QMdiArea::CreationOrder))
        if (std::find(m_keys.begin(), m_keys.end(), window) == m_keys.end())
            AddView(QString(), window);
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    m_tabs->setVisible(active != nullptr);
    if (!active) return;
    for (size_t i = 0; i < m_views.size(); ++i) {
        QMdiSubWindow* window = m_views[i];
        if (!window) continue;
        if (window->windowTitle() != m_titles[i]) SetViewName(window->windowTitle(), window);
        if (const int tab = TabIndexOf(window); tab >= 0)
            m_tabs->setTabToolTip(tab, ToolTipFor(window));
    }
    if (const int tab = TabIndexOf(active); tab >= 0 && tab != m_tabs->currentIndex()) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(tab);
    }
    m_tabs->update();
}

QSize CViewTabCtrl::tabSizeHint(int index) const {
    const QString text = tabText(index);
    const int textWidth = std::max(QFontMetrics(m_selectedFont).horizontalAdvance(text),
                                   QFontMetrics(m_normalFont).horizontalAdvance(text));
    const int indent = fontMetrics().horizontalAdvance(' ');
    const int width = 2 * kTabMargin + indent + kIconSize + kTextGap + textWidth + kTextGap;
    return QSize(width, std::max(QTabBar::tabSizeHint(index).height(), kIconSize + 4));
}
