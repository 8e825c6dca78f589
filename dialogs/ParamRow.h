#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QGridLayout;
class QLineEdit;
class QSlider;
class QToolButton;

// Reads a number as "%d" does: leading blanks, a sign, digits; what follows is ignored.
std::optional<int> ParseInt(const QString& text);

// Two arrow buttons that step a position within a range and write it into their buddy edit.
class CUpDown : public QWidget {
public:
    CUpDown(QLineEdit* buddy, QWidget* parent);
    void SetRange(int lower, int upper);
    int GetPos() const { return m_pos; }
    void SetPos(int pos);
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

protected:
    // The arrow keys in the edit step as the buttons do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_lower = 0, m_upper = 100, m_pos = 0;
};

// One numeric parameter: an edit, its up-down and a trackbar. Scrolling the trackbar sets the
// up-down (and so the edit text); changing the edit text sets the trackbar and calls onChange.
class CParamRow {
public:
    // ids: edit, up-down, trackbar (the controls' object names). editLimit: characters a person
    // may type; the up-down may write more (a sign).
    CParamRow(QWidget* parent, QGridLayout* grid, int row, const QString& label, const int ids[3],
              int lower, int upper, int initial, int editLimit);

    QLineEdit* Edit() const { return m_edit; }
    CUpDown* UpDown() const { return m_upDown; }
    QSlider* Trackbar() const { return m_trackbar; }
    // The edit's value as last read ("%d"; a text that is no number keeps the value before).
    int EditValue() const { return m_value; }
    int TrackbarPos() const;

    std::function<void()> onChange;

private:
    void OnEditChanged(const QString& text);

    QLineEdit* m_edit;
    CUpDown* m_upDown;
    QSlider* m_trackbar;
    int m_value;
};
