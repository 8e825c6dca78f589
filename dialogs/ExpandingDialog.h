#pragma once

#include <QDialog>
#include <QHash>
#include <QSize>
#include <QString>
#include <optional>

class QPushButton;

// A dialog that opens folded to the area of an invisible frame control and folds out to its
// full size with a toggle button. Controls outside the frame are disabled while folded, so
// that neither Tab nor a shortcut reaches what cannot be seen.
//
// Controls are placed as in a dialog template: in dialog units (a quarter of the average
// character width across, an eighth of the character height down), so the dialog grows with
// its font. Every control carries its numeric ID as its object name.
class CExpandingDialog : public QDialog {
public:
    CExpandingDialog(QWidget* parent, int frameId, int toggleId, bool keepButton = true);

    bool IsExpanded() const { return m_expanded; }
    // Folds out (true) or in (false), asking OnDialogExpanding first.
    void Expand(bool expand);
    // The enabled state a control should have; one outside the frame gets it only while the
    // dialog is folded out.
    void EnableControl(QWidget* control, bool enable);
    QWidget* Control(int id) const;

protected:
    // May refuse a change of state; allows it by default.
    virtual bool OnDialogExpanding(bool /*expanding*/) { return true; }
    virtual void OnDialogExpanded(bool /*expanded*/) {}

    // Dialog units to pixels.
    QRect Dlu(int x, int y, int width, int height) const;
    // Places a control made with this dialog as parent and names it by its ID.
    template <class W> W* Place(W* control, int id, const QRect& dlu) {
        PlaceWidget(control, id, dlu);
        return control;
    }
    // Sets the full size, the frame and the toggle button from the controls placed so far,
    // then folds the dialog in. Called once, at the end of construction.
    void FinishLayout(const QRect& fullDlu);

private:
    void PlaceWidget(QWidget* control, int id, const QRect& dlu);
    void Collapse();
    void Reposition();
    // The rectangle of a control in dialog coordinates.
    bool OutsideFrame(const QWidget* control) const;

    QString m_collapsedText = "A&dvanced >>";
    QString m_expandedText = "A&dvanced <<";
    int m_frameId;
    int m_toggleId;
    bool m_keepButton;
    bool m_expanded = true;
    std::optional<QSize> m_fullSize;
    // What the dialog wants of the controls outside the frame.
    QHash<QWidget*, bool> m_wanted;
};
