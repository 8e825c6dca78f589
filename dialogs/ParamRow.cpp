#include "dialogs/ParamRow.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {
// Limits what a person types, not what the program writes (setText is not validated).
class LengthValidator : public QValidator {
public:
    LengthValidator(int limit, QObject* parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString& input, int&) const override {
        return input.size() <= m_limit ? Acceptable : Invalid;
    }

private:
    int m_limit;
};
} // namespace

std::optional<int> ParseInt(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(bytes.constData(), &end, 10);
    if (end == bytes.constData()) return std::nullopt;
    return int(std::clamp<long>(v, INT_MIN, INT_MAX));
}

CUpDown::CUpDown(QLineEdit* buddy, QWidget* parent) : QWidget(parent), m_buddy(buddy) {
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_up);
    column->addWidget(m_down);
    buddy->installEventFilter(this);
    QObject::connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    QObject::connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CUpDown::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    m_pos = std::clamp(m_pos, lower, upper);
}

void CUpDown::SetPos(int pos) {
    m_pos = std::clamp(pos, m_lower, m_upper);
    m_buddy->setText(QString::number(m_pos));
}

void CUpDown::Step(int delta) {
    // A number typed into the edit is where the step starts.
    if (auto typed = ParseInt(m_buddy->text())) m_pos = std::clamp(*typed, m_lower, m_upper);
    SetPos(m_pos + delta);
}

CParamRow::CParamRow(QWidget* parent, QGridLayout* grid, int row, const QString& label,
                     const int ids[3], int lower, int upper, int initial, int editLimit)
    : m_value(initial) {
    auto* text = new QLabel(label, parent);
    m_edit = new QLineEdit(parent);
    m_edit->setObjectName(QString::number(ids[0]));
    m_edit->setValidator(new LengthValidator(editLimit, m_edit));
    m_edit->setAccessibleName(QString(label).remove('&').remove(':'));
    m_edit->setMaximumWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 12);
    text->setBuddy(m_edit);
    m_upDown = new CUpDown(m_edit, parent);
    m_upDown->setObjectName(QString::number(ids[1]));
    m_upDown->SetRange(lower, upper);
    m_trackbar = new QSlider(Qt::Horizontal, parent);
    m_trackbar->setObjectName(QString::number(ids[2]));
    m_trackbar->setAccessibleName(m_edit->accessibleName());
    m_trackbar->setRange(lower, upper);
    m_trackbar->setMinimumWidth(160);
    grid->addWidget(text, row, 0);
    grid->addWidget(m_edit, row, 1);
    grid->addWidget(m_upDown, row, 2);
    grid->addWidget(m_trackbar, row, 3);
    {
        const QSignalBlocker block(m_trackbar);
        m_trackbar->setValue(initial);
    }
    m_upDown->SetPos(initial);
    QObject::connect(m_trackbar, &QSlider::valueChanged, m_edit,
                     [this](int pos) { m_upDown->SetPos(pos); });
    QObject::connect(m_edit, &QLineEdit::textChanged, m_edit,
                     [this](const QString& t) { OnEditChanged(t); });
}

int CParamRow::TrackbarPos() const {
    return m_trackbar->value();
}

void CParamRow::OnEditChanged(const QString& text) {
    if (auto v = ParseInt(text)) m_value = *v;
    {
        const QSignalBlocker block(m_trackbar);
        m_trackbar->setValue(m_value);
    }
    if (onChange) onChange();
}
