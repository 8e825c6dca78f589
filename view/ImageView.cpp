#include "view/ImageView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QPainter>
#include <QStyle>

#include "editor/ImageDoc.h"
#include "framework/Commands.h"

namespace {
QColor FromColorRef(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
} // namespace

CTilletCaptureView::CTilletCaptureView() {
    setObjectName("OrvaneImageViewClass");
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

CTilletCaptureDoc* CTilletCaptureView::GetDocument() const {
    return dynamic_cast<CTilletCaptureDoc*>(CView::GetDocument());
}

void CTilletCaptureView::OnDraw(QPainter& painter) {
    ImageDocHost* host = GetImageDocHost();
    QColor back = FromColorRef(host ? host->ViewBackgroundColor() : 0x00C0C000);
    QRect area = painter.transform().inverted().mapRect(QRect(QPoint(), viewport()->size()));
    painter.fillRect(area, back);
    CTilletCaptureDoc* doc = GetDocument();
    if (doc && doc->GetPicture() && doc->GetPicture()->GetWidth() > 0)
        doc->GetPicture()->DrawAt(painter, 0, 0);
}

void CTilletCaptureView::OnUpdate(CView* sender, long hint) {
    CTilletCaptureDoc* doc = GetDocument();
    CDisplayPicture* pic = doc ? doc->GetPicture() : nullptr;
    QSize size = pic ? QSize(pic->GetWidth(), pic->GetHeight()) : QSize();
    if (size != GetTotalSize()) SetScrollSizes(size);
    CView::OnUpdate(sender, hint);
}

bool CTilletCaptureView::event(QEvent* e) {
    if (int(e->type()) != WM_CAPTURE_DELIVER) return CView::event(e);
    ImageDocHost* host = GetImageDocHost();
    if (host && GetDocument()) host->DeliverCapture(GetDocument());
    return true;
}

void CTilletCaptureView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    CTilletCaptureDoc* doc = GetDocument();
    // The capture is delivered once, by the document's first view: another window on the same
    // document must not copy, save and print it again.
    if (doc && doc->fromCapture) {
        doc->fromCapture = 0;
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_CAPTURE_DELIVER)));
    }
    // The frame opens at the picture's size, as far as the main window's client area allows.
    CMDIChildWnd* frame = GetParentFrame();
    if (!frame || !frame->mdiArea()) return;
    const int border =
        frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    const int title = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
    const QSize extra(2 * border, title + border);
    QSize want = GetTotalSize() + extra + QSize(2, 2);
    QSize room = frame->mdiArea()->viewport()->size();
    frame->resize(want.boundedTo(room).expandedTo(QSize(160, 100)));
}

CChildFrame::CChildFrame() {
    setObjectName("OrvaneImageFrameClass");
    setWindowIcon(ProgramIcon());
}
