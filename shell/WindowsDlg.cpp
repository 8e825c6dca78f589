#include "shell/WindowsDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "framework/DocView.h"

namespace {
enum {
    IDC_LIST = 1007,
    IDC_ACTIVATE = 1000,
    IDC_CLOSE = 1001,
    IDC_SAVE = 1002,
    IDC_TILE_HORZ = 1003,
    IDC_MINIMIZE = 1004,
    IDC_CASCADE = 1005,
    IDC_TILE_VERT = 1006
};

QMdiSubWindow* WindowOf(const QListWidgetItem* item) {
    return static_cast<QMdiSubWindow*>(item->data(Qt::UserRole).value<QObject*>());
}
} // namespace

CWindowsDlg::CWindowsDlg(QMdiArea* mdi, QWidget* parent)
    : QDialog(parent), m_mdi(mdi), m_list(new QListWidget(this)) {
    setWindowTitle("Windows");
    setObjectName("WindowsDialog");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setIconSize(QSize(16, 16));
    auto* label = new QLabel("Select &window:", this);
    label->setBuddy(m_list);

    auto* buttons = new QVBoxLayout;
    const struct {
        int id;
        const char* text;
        std::function<void()> run;
    } table[] = {
        {IDC_ACTIVATE, "&Actvate", [this] { OnActivate(); }},
        {1, "&OK", [this] { accept(); }},
        {IDC_SAVE, "&Save", [this] { OnSave(); }},
        {IDC_CLOSE, "&Close Window(s)", [this] { OnCloseWindows(); }},
        {IDC_CASCADE, "Cascade", [this] { Arrange(Arrangement::Cascade); }},
        {IDC_TILE_HORZ, "Tile &Horizontaly", [this] { Arrange(Arrangement::TileHorizontally); }},
        {IDC_TILE_VERT, "Tile &Verticaly", [this] { Arrange(Arrangement::TileVertically); }},
        {IDC_MINIMIZE, "Minimize", [this] { OnMinimize(); }},
    };
    for (const auto& b : table) {
        auto* button = new QPushButton(b.text, this);
        button->setAutoDefault(false);
        if (b.id == 1) button->setDefault(true);
        connect(button, &QPushButton::clicked, this, b.run);
        buttons->addWidget(button);
        m_buttons.emplace_back(b.id, button);
    }
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addWidget(m_list);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnActivate(); });
    Refill();
}

QPushButton* CWindowsDlg::Button(int id) const {
    for (const auto& [bid, button] : m_buttons)
        if (bid == id) return button;
    return nullptr;
}

void CWindowsDlg::Refill() {
    m_list->clear();
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    for (QMdiSubWindow* window : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        auto* item = new QListWidgetItem(window->windowIcon(), window->windowTitle(), m_list);
        item->setData(Qt::UserRole, QVariant::fromValue<QObject*>(window));
        if (window == active) item->setSelected(true);
    }
    UpdateButtons();
}

std::vector<QMdiSubWindow*> CWindowsDlg::Selected() const {
    std::vector<QMdiSubWindow*> windows;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected()) windows.push_back(WindowOf(m_list->item(i)));
    return windows;
}

void CWindowsDlg::UpdateButtons() {
    const size_t n = Selected().size();
    Button(IDC_ACTIVATE)->setEnabled(n == 1);
    for (int id : {IDC_SAVE, IDC_CLOSE, IDC_MINIMIZE}) Button(id)->setEnabled(n >= 1);
    for (int id : {IDC_CASCADE, IDC_TILE_HORZ, IDC_TILE_VERT}) Button(id)->setEnabled(n >= 2);
}

void CWindowsDlg::OnActivate() {
    const auto windows = Selected();
    if (windows.size() != 1) return;
    if (windows.front()->isMinimized()) windows.front()->showNormal();
    m_mdi->setActiveSubWindow(windows.front());
    accept();
}

void CWindowsDlg::OnSave() {
    for (QMdiSubWindow* window : Selected())
        if (auto* child = dynamic_cast<CMDIChildWnd*>(window))
            if (CDocument* doc = child->GetActiveDocument()) doc->DoFileSave();
    Refill();
}

void CWindowsDlg::OnCloseWindows() {
    const auto windows = Selected();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QPointer<QMdiSubWindow> window = *it;
        // The frame of a closing document refuses the close event and goes on its own.
        window->close();
        if (window && window->isVisible()) break;
    }
    // A closed window goes at once: the list must not offer it again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Refill();
}

void CWindowsDlg::OnMinimize() {
    for (QMdiSubWindow* window : Selected()) window->showMinimized();
    Refill();
}

void CWindowsDlg::Arrange(Arrangement how) {
    const auto selected = Selected();
    m_mdi->setUpdatesEnabled(false);
    for (int i = 0; i < m_list->count(); ++i) {
        QMdiSubWindow* window = WindowOf(m_list->item(i));
        if (m_list->item(i)->isSelected())
            window->showNormal();
        else
            window->showMinimized();
    }
    if (how == Arrangement::Cascade) {
        m_mdi->cascadeSubWindows();
    } else {
        // Side by side (vertically) or one above the other (horizontally), over the area.
        const QRect area = m_mdi->viewport()->rect();
        const int n = int(selected.size());
        for (int i = 0; i < n; ++i) {
            if (how == Arrangement::TileVertically)
                selected[i]->setGeometry(area.width() * i / n, 0, area.width() / n, area.height());
            else
                selected[i]->setGeometry(0, area.height() * i / n, area.width(), area.height() / n);
        }
    }
    m_mdi->setUpdatesEnabled(true);
}
