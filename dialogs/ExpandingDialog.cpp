#include "dialogs/ExpandingDialog.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

CExpandingDialog::CExpandingDialog(QWidget* parent, int frameId, int toggleId, bool keepButton)
    : QDialog(parent), m_frameId(frameId), m_toggleId(toggleId), m_keepButton(keepButton) {
    // A dialog of fixed size: a title and a close box, nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
}

QRect CExpandingDialog::Dlu(int x, int y, int width, int height) const {
    const QFontMetrics fm(font());
    // The average width of the letters, as dialog templates measure it.
    const int baseX =
        (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    const int baseY = fm.height();
    auto mx = [baseX](int v) { return (v * baseX + 2) / 4; };
    auto my = [baseY](int v) { return (v * baseY + 4) / 8; };
    return QRect(mx(x), my(y), mx(x + width) - mx(x), my(y + height) - my(y));
}

void CExpandingDialog::PlaceWidget(QWidget* control, int id, const QRect& dlu) {
    if (id) control->setObjectName(QString::number(id));
    control->setGeometry(Dlu(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
}

QWidget* CExpandingDialog::Control(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CExpandingDialog::FinishLayout(const QRect& fullDlu) {
    const QRect full = Dlu(0, 0, fullDlu.width(), fullDlu.height());
    setFixedSize(full.size());
    if (auto* toggle = qobject_cast<QAbstractButton*>(Control(m_toggleId)))
        connect(toggle, &QAbstractButton::clicked, this, [this] { Expand(!m_expanded); });
    Collapse();
}

bool CExpandingDialog::OutsideFrame(const QWidget* control) const {
    const QWidget* frame = Control(m_frameId);
    return frame && !control->geometry().intersects(frame->geometry());
}

void CExpandingDialog::Expand(bool expand) {
    if (expand == m_expanded || !OnDialogExpanding(expand)) return;
    if (expand) {
        m_expanded = true;
        for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it)
            it.key()->setEnabled(it.value());
        if (m_fullSize) setFixedSize(*m_fullSize);
        Reposition();
        if (auto* toggle = qobject_cast<QAbstractButton*>(Control(m_toggleId))) {
            if (m_keepButton)
                toggle->setText(m_expandedText);
            else
                toggle->setEnabled(false);
            // Focus goes to the control after the toggle button.
            for (QWidget* w = toggle->nextInFocusChain(); w && w != toggle;
                 w = w->nextInFocusChain()) {
                if (w->parentWidget() == this && w->isEnabled() &&
                    (w->focusPolicy() & Qt::TabFocus)) {
                    w->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
        }
    } else {
        Collapse();
    }
    OnDialogExpanded(m_expanded);
}

void CExpandingDialog::Collapse() {
    QWidget* frame = Control(m_frameId);
    if (!frame) return;
    if (!m_fullSize) {
        m_fullSize = size();
        frame->hide();
    }
    m_expanded = false;
    const QRect f = frame->geometry();
    setFixedSize(f.right() + 1, f.bottom() + 1);
    if (auto* toggle = qobject_cast<QAbstractButton*>(Control(m_toggleId)))
        toggle->setText(m_collapsedText);
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w == frame || w->isWindow() || !OutsideFrame(w)) continue;
        if (!m_wanted.contains(w)) m_wanted.insert(w, w->isEnabled());
        w->setEnabled(false);
    }
}

void CExpandingDialog::EnableControl(QWidget* control, bool enable) {
    if (m_wanted.contains(control)) {
        m_wanted[control] = enable;
        if (!m_expanded) return;
    }
    control->setEnabled(enable);
}

void CExpandingDialog::Reposition() {
    // The grown dialog is moved back inside the screen it is on.
    if (!isVisible()) return;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect r = frameGeometry();
    r.setSize(QSize(m_fullSize ? m_fullSize->width() : width(),
                    m_fullSize ? m_fullSize->height() : height()) +
              (frameGeometry().size() - size()));
    if (r.right() > area.right()) r.moveRight(area.right());
    if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
    if (r.left() < area.left()) r.moveLeft(area.left());
    if (r.top() < area.top()) r.moveTop(area.top());
    if (r.topLeft() != frameGeometry().topLeft()) move(r.topLeft());
}
