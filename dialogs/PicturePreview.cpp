#include "dialogs/PicturePreview.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "editor/Resample.h"

CPicturePreview::CPicturePreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPicturePreview::SetHasPicture(bool has) {
    m_hasPicture = has;
    update();
}

void CPicturePreview::SetSource(const CPicture* picture) {
    if (!picture || picture->GetWidth() <= 0 || picture->GetHeight() <= 0) {
        m_hasSource = false;
        SetHasPicture(false);
        return;
    }
    // In device pixels, so that a high-density screen shows the preview at its own resolution.
    const double ratio = devicePixelRatioF();
    const QRect area = PictureArea();
    const double areaW = std::max(1.0, area.width() * ratio);
    const double areaH = std::max(1.0, area.height() * ratio);
    const int w = picture->GetWidth(), h = picture->GetHeight();
    const double scale = std::min({1.0, areaW / w, areaH / h});
    if (scale >= 1.0) {
        m_source.CopyWithDepth(*picture, 0);
    } else {
        CDisplayPicture wide;
        const CPicture* from = picture;
        if (picture->GetBitsPerPixel() != 32) {
            wide.CopyWithDepth(*picture, 32);
            from = &wide;
        }
        // Every source pixel counts (an area average), as the picture shrunk for showing.
        BoxResizeFilter(std::max(1, int(w * scale)), std::max(1, int(h * scale)), 0.5)
            .Apply(*from, m_source);
    }
    m_hasSource = true;
    m_picture.CopyWithDepth(m_source, 0);
    SetHasPicture(true);
}

void CPicturePreview::ApplyFilter(ImageFilter& filter) {
    if (!m_hasSource) return;
    filter.Apply(m_source, m_picture);
    SetHasPicture(true);
}

void CPicturePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const QRect area = PictureArea();
    painter.fillRect(area, palette().color(m_hasPicture ? QPalette::Button : QPalette::Dark));
    if (!m_hasPicture || m_picture.GetWidth() <= 0 || m_picture.GetHeight() <= 0) return;
    const double ratio = devicePixelRatioF();
    const double w = m_picture.GetWidth() / ratio, h = m_picture.GetHeight() / ratio;
    const double fit = std::max(w / area.width(), h / area.height());
    const double scale = fit > 1 ? 1 / fit : 1;
    const int dw = std::max(1, int(w * scale)), dh = std::max(1, int(h * scale));
    const QRect dest(area.x() + (area.width() - dw) / 2, area.y() + (area.height() - dh) / 2, dw,
                     dh);
    m_picture.DrawRegion(painter, &dest, nullptr, true, HALFTONE, SRCCOPY);
}
