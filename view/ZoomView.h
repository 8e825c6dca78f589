#pragma once

#include <QCursor>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "framework/DocView.h"

// A scrolling view of a logical surface at any scale: it owns the mapping between logical
// and device (client) points, the scroll sizes and the centring of a surface smaller than
// the window. OnDraw receives a painter in logical units.
class CZoomView : public CView {
public:
    CZoomView();

    // Shows a surface of total logical units at scale 1 (the zoom-scale field is left as it
    // is); a zero page step is a tenth of the total, a zero line step a tenth of the page.
    void SetScaledSizes(QSize total, QSize page = QSize(0, 0), QSize line = QSize(0, 0));
    // Scales around centre (the middle of the client area when null), absolutely or by a
    // factor. A result above 80 times is refused.
    void ApplyZoom(double factor, bool absolute, const QPoint* centre = nullptr);
    void CentreOnPicturePoint(QPoint logical);
    QPoint GetVisibleCentre() const;

    QPoint DeviceToLogical(QPoint device) const;
    QPoint LogicalToDevice(QPoint logical) const;
    // Rectangles with exclusive right and bottom edges.
    QRect DeviceToLogical(const QRect& device) const;
    QRect LogicalToDevice(const QRect& logical) const;
    QPoint AddScrollOffset(QPoint point) const;
    static QRect OrderRect(const QRect& rect) { return rect.normalized(); }

    double GetZoomScale() const { return m_zoomScale; }
    int GetZoomMode() const { return m_zoomMode; }
    QSize GetTotalDeviceSize() const { return m_totalDev; }
    QSize GetPageStep() const { return m_pageDev; }
    QSize GetLineStep() const { return m_lineDev; }
    // The client position of logical (0, 0).
    QPoint Origin() const;
    bool HasHorizontalBar() const;
    bool HasVerticalBar() const;
    // Scrolls to a device position, clamped to the bars' ranges.
    void ScrollToDevicePosition(QPoint position);
    QPoint GetDeviceScrollPosition() const;

    // After every scale or size change.
    virtual void OnScaleChanged() {}

protected:
    // The painter maps logical units to the client.
    void PrepareDC(QPainter& painter) const;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void RecalcBars();

    double m_zoomScale = 1.0;
    int m_zoomMode = 0;
    bool m_centring = true;

private:
    QSize m_totalLog;
    QSize m_totalDev;
    QSize m_unscaledDev;
    QSize m_pageSize, m_lineSize;
    QSize m_pageDev, m_lineDev;
    QCursor m_zoomCursor;
};
