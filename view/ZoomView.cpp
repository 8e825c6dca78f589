#include "view/ZoomView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

namespace {
// Rounds towards minus infinity: a client pixel belongs to the logical unit that covers it.
int FloorDiv(double value) {
    return int(std::floor(value));
}
} // namespace

CZoomView::CZoomView() : m_zoomCursor(Qt::CrossCursor) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
}

void CZoomView::SetScaledSizes(QSize total, QSize page, QSize line) {
    m_totalLog = total;
    m_totalDev = total;
    m_unscaledDev = total;
    m_pageSize = page;
    m_lineSize = line;
    RecalcBars();
    OnScaleChanged();
}

void CZoomView::RecalcBars() {
    m_pageDev = QSize(std::abs(m_pageSize.width()), std::abs(m_pageSize.height()));
    m_lineDev = QSize(std::abs(m_lineSize.width()), std::abs(m_lineSize.height()));
    if (m_pageDev.width() == 0) m_pageDev.setWidth(m_totalDev.width() / 10);
    if (m_pageDev.height() == 0) m_pageDev.setHeight(m_totalDev.height() / 10);
    if (m_lineDev.width() == 0) m_lineDev.setWidth(m_pageDev.width() / 10);
    if (m_lineDev.height() == 0) m_lineDev.setHeight(m_pageDev.height() / 10);
    SetScrollSizes(m_totalDev);
    horizontalScrollBar()->setSingleStep(std::max(1, m_lineDev.width()));
    verticalScrollBar()->setSingleStep(std::max(1, m_lineDev.height()));
    viewport()->update();
}

void CZoomView::ApplyZoom(double factor, bool absolute, const QPoint* centre) {
    const QPoint middle = centre ? *centre : GetVisibleCentre();
    m_zoomScale = absolute ? factor : m_zoomScale * factor;
    if (m_zoomScale > 80.0) {
        m_zoomScale /= factor;
        return;
    }
    m_totalDev =
        QSize(int(m_unscaledDev.width() * m_zoomScale), int(m_unscaledDev.height() * m_zoomScale));
    RecalcBars();
    CentreOnPicturePoint(middle);
    OnScaleChanged();
}

void CZoomView::CentreOnPicturePoint(QPoint logical) {
    const QPoint device = AddScrollOffset(LogicalToDevice(logical));
    const QSize client = viewport()->size();
    ScrollToDevicePosition(device - QPoint(client.width() / 2, client.height() / 2));
}

QPoint CZoomView::GetVisibleCentre() const {
    const QSize client = viewport()->size();
    return DeviceToLogical(QPoint(client.width() / 2, client.height() / 2));
}

QPoint CZoomView::Origin() const {
    const QSize client = viewport()->size();
    QPoint origin = -GetDeviceScrollPosition();
    if (m_centring && m_totalDev.width() < client.width())
        origin.setX((client.width() - m_totalDev.width()) / 2);
    if (m_centring && m_totalDev.height() < client.height())
        origin.setY((client.height() - m_totalDev.height()) / 2);
    return origin;
}

QPoint CZoomView::DeviceToLogical(QPoint device) const {
    if (m_totalDev.isEmpty()) return device - Origin();
    const QPoint d = device - Origin();
    return QPoint(FloorDiv(double(d.x()) * m_totalLog.width() / m_totalDev.width()),
                  FloorDiv(double(d.y()) * m_totalLog.height() / m_totalDev.height()));
}

QPoint CZoomView::LogicalToDevice(QPoint logical) const {
    if (m_totalLog.isEmpty()) return logical + Origin();
    return Origin() +
           QPoint(FloorDiv(double(logical.x()) * m_totalDev.width() / m_totalLog.width()),
                  FloorDiv(double(logical.y()) * m_totalDev.height() / m_totalLog.height()));
}

QRect CZoomView::DeviceToLogical(const QRect& device) const {
    const QRect r = device.normalized();
    const QPoint a = DeviceToLogical(r.topLeft());
    const QPoint b = DeviceToLogical(QPoint(r.x() + r.width(), r.y() + r.height()));
    return QRect(a, QSize(b.x() - a.x(), b.y() - a.y()));
}

QRect CZoomView::LogicalToDevice(const QRect& logical) const {
    const QPoint a = LogicalToDevice(logical.topLeft());
    const QPoint b =
        LogicalToDevice(QPoint(logical.x() + logical.width(), logical.y() + logical.height()));
    return QRect(a, QSize(b.x() - a.x(), b.y() - a.y()));
}

QPoint CZoomView::AddScrollOffset(QPoint point) const {
    return point + GetDeviceScrollPosition();
}

QPoint CZoomView::GetDeviceScrollPosition() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CZoomView::ScrollToDevicePosition(QPoint position) {
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

bool CZoomView::HasHorizontalBar() const {
    return horizontalScrollBar()->maximum() > 0;
}

bool CZoomView::HasVerticalBar() const {
    return verticalScrollBar()->maximum() > 0;
}

void CZoomView::PrepareDC(QPainter& painter) const {
    painter.translate(Origin());
    if (!m_totalLog.isEmpty())
        painter.scale(double(m_totalDev.width()) / m_totalLog.width(),
                      double(m_totalDev.height()) / m_totalLog.height());
}

void CZoomView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    PrepareDC(painter);
    OnDraw(painter);
}

void CZoomView::resizeEvent(QResizeEvent* event) {
    CView::resizeEvent(event);
    horizontalScrollBar()->setSingleStep(std::max(1, m_lineDev.width()));
    verticalScrollBar()->setSingleStep(std::max(1, m_lineDev.height()));
}

void CZoomView::mouseMoveEvent(QMouseEvent* event) {
    // The zoom mode is never switched on by this program: the arrow it is.
    viewport()->setCursor(m_zoomMode != 0 ? m_zoomCursor : QCursor(Qt::ArrowCursor));
    CView::mouseMoveEvent(event);
}
