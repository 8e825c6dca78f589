#pragma once

#include <QDialog>
#include <vector>

class QListWidget;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;

// Dialog 130 "Windows": acts on several image windows at once.
class CWindowsDlg : public QDialog {
public:
    enum { IDD = 130 };
    CWindowsDlg(QMdiArea* mdi, QWidget* parent);

    QListWidget* List() const { return m_list; }
    QPushButton* Button(int id) const;
    // The list again from the MDI area, the active window's line alone selected.
    void Refill();
    void OnActivate();
    void OnSave();
    // From the last selected line upwards; a window whose save question was cancelled stops it.
    void OnCloseWindows();
    void OnMinimize();
    enum class Arrangement { Cascade, TileHorizontally, TileVertically };
    void Arrange(Arrangement how);

private:
    std::vector<QMdiSubWindow*> Selected() const;
    void UpdateButtons();

    QMdiArea* m_mdi;
    QListWidget* m_list;
    std::vector<std::pair<int, QPushButton*>> m_buttons;
};
