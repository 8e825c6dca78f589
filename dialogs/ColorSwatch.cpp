#include "dialogs/ColorSwatch.h"

#include <QMouseEvent>
#include <QPainter>

QColor ColorFromRef(uint32_t colorRef) {
    return QColor(int(colorRef & 0xFF), int(colorRef >> 8 & 0xFF), int(colorRef >> 16 & 0xFF));
}

uint32_t RefFromColor(const QColor& color) {
    return uint32_t(color.red()) | uint32_t(color.green()) << 8 | uint32_t(color.blue()) << 16;
}

CColorSwatch::CColorSwatch(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void CColorSwatch::SetColor(uint32_t colorRef) {
    m_color = colorRef & 0xFFFFFF;
    update();
}

void CColorSwatch::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), ColorFromRef(m_color));
}

void CColorSwatch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        m_clicked)
        m_clicked();
}
