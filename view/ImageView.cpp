#include "view/ImageView.h"
#include "view/ViewPrinting.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstdlib>

#include "editor/Filters.h"
#include "editor/ImageDoc.h"
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"
#include "imagefile/TextException.h"

namespace {

QColor FromColorRef(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

CRect ToCRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// One toggle for the whole program: every outline blinks in step.
bool g_outlineInverted = false;

constexpr int kZoomSteps[] = {25, 50, 100, 200, 400};

const MenuItem kSep{0, nullptr};

bool ClipboardHasBitmap() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && (mime->hasImage() || mime->hasFormat("image/bmp"));
}

} // namespace

std::vector<MenuItem> OperationsMenuItems() {
    return {
        {ID_OP_RESIZE, "&Resize..."},
        {ID_OP_SCALE, "&Scale..."},
        {ID_OP_STRETCH, "S&trecth..."},
        kSep,
        {0,
         "Rotate",
         {
             {ID_OP_ROTATE_CW, "90\u00b0 &Clockwise"},
             {ID_OP_ROTATE_CCW, "90\u00b0 C&ounter-Clockwise"},
             {ID_OP_ROTATE_ANY, "Any Angle &Rotate..."},
         }},
        {ID_OP_CROP, "&Crop"},
        {0,
         "Flip",
         {
             {ID_OP_FLIP_H, "&Horizontally"},
             {ID_OP_FLIP_V, "&Vertically"},
         }},
        kSep,
        {ID_OP_BRIGHTNESS, "&Brightness..."},
        {ID_OP_CONTRAST, "C&ontrast..."},
        {ID_OP_GRAYSCALE, "&Grayscale"},
        {ID_OP_INVERT, "&Invert"},
    };
}

MenuItem ImageContextMenu() {
    MenuItem menu{0,
                  "Image",
                  {
                      {ID_TRAY_BANNER, "https://www.orvane.example/screen/"},
                      {ID_EDIT_SELECT_ALL, "Select &All"},
                      {ID_EDIT_SELECT_REGION, "&Select Region"},
                      {ID_EDIT_UNSELECT, "U&nselect Region"},
                      kSep,
                      {ID_EDIT_CUT, "Cu&t\tCtrl+X"},
                      {ID_EDIT_COPY, "&Copy\tCtrl+C"},
                      {ID_EDIT_PASTE, "&Paste Into Current Image \tCtrl+V"},
                      {ID_EDIT_PASTE_NEW, "Paste As Ne&w Image\tCtrl+W"},
                      kSep,
                  }};
    for (MenuItem& item : OperationsMenuItems()) menu.children.push_back(std::move(item));
    menu.children.push_back(kSep);
    menu.children.push_back({ID_HELP_FINDER, "&Help Topics"});
    return menu;
}

CTilletCaptureView::CTilletCaptureView() {
    setObjectName("OrvaneImageViewClass");
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    QScreen* screen = QGuiApplication::primaryScreen();
    m_screenDepth = screen ? screen->depth() : 32;

    OnCommand(ID_EDIT_SELECT_REGION, [this] { SetSelectionMode(!InSelectionMode()); });
    CCmdTarget::OnUpdate(ID_EDIT_SELECT_REGION,
                         [this](CCmdUI& ui) { ui.SetCheck(InSelectionMode()); });
    OnCommand(ID_EDIT_SELECT_ALL, [this] { SelectAll(); });
    OnCommand(ID_EDIT_UNSELECT, [this] {
        if (InSelectionMode()) SetSelectionMode(false);
    });
    CCmdTarget::OnUpdate(ID_EDIT_UNSELECT, [this](CCmdUI& ui) { ui.Enable(InSelectionMode()); });
    OnCommand(ID_VIEW_ZOOM_IN, [this] { ZoomIn(); });
    CCmdTarget::OnUpdate(ID_VIEW_ZOOM_IN,
                         [this](CCmdUI& ui) { ui.Enable(int(m_zoomFactor * 100) < 400); });
    OnCommand(ID_VIEW_ZOOM_OUT, [this] { ZoomOut(); });
    CCmdTarget::OnUpdate(ID_VIEW_ZOOM_OUT,
                         [this](CCmdUI& ui) { ui.Enable(int(m_zoomFactor * 100) > 25); });
    const int zoomIds[] = {ID_VIEW_ZOOM25, ID_VIEW_ZOOM50, ID_VIEW_ZOOM100, ID_VIEW_ZOOM200,
                           ID_VIEW_ZOOM400};
    for (int i = 0; i < 5; ++i) {
        const int percent = kZoomSteps[i];
        OnCommand(zoomIds[i], [this, percent] { SetZoom(percent * 0.01); });
        CCmdTarget::OnUpdate(zoomIds[i], [this, percent](CCmdUI& ui) {
            ui.SetCheck(int(m_zoomFactor * 100) == percent);
        });
    }
    // The document's cut, copy, paste and crop land here: this is the active image view.
    OnCommand(ID_EDIT_COPY, [this] { CopySelection(); });
    CCmdTarget::OnUpdate(ID_EDIT_COPY,
                         [this](CCmdUI& ui) { ui.Enable(Picture() && !m_selection.isEmpty()); });
    OnCommand(ID_EDIT_CUT, [this] { CutSelection(); });
    CCmdTarget::OnUpdate(ID_EDIT_CUT,
                         [this](CCmdUI& ui) { ui.Enable(Picture() && !m_selection.isEmpty()); });
    OnCommand(ID_EDIT_PASTE, [this] { PasteFloating(); });
    CCmdTarget::OnUpdate(ID_EDIT_PASTE,
                         [this](CCmdUI& ui) { ui.Enable(Picture() && ClipboardHasBitmap()); });
    OnCommand(ID_OP_CROP, [this] {
        if (!Picture()) return;
        CropToSelection();
        if (CTilletCaptureDoc* doc = GetDocument())
            doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    });
    for (int id : {ID_FILE_PRINT, ID_FILE_PRINT_DIRECT, ID_FILE_PRINT_PREVIEW}) {
        OnCommand(id, [this, id] {
            if (Picture() && InstalledViewPrinting()) InstalledViewPrinting()(id, *this);
        });
        CCmdTarget::OnUpdate(id, [this](CCmdUI& ui) {
            ui.Enable(Picture() != nullptr && bool(InstalledViewPrinting()));
        });
    }
}

CTilletCaptureView::~CTilletCaptureView() = default;

CTilletCaptureDoc* CTilletCaptureView::GetDocument() const {
    return dynamic_cast<CTilletCaptureDoc*>(CView::GetDocument());
}

CDisplayPicture* CTilletCaptureView::Picture() const {
    CTilletCaptureDoc* doc = GetDocument();
    CDisplayPicture* pic = doc ? doc->GetPicture() : nullptr;
    return pic && pic->GetWidth() > 0 && pic->GetHeight() > 0 ? pic : nullptr;
}

QRect CTilletCaptureView::PictureRect() const {
    CDisplayPicture* pic = Picture();
    return pic ? QRect(0, 0, pic->GetWidth(), pic->GetHeight()) : QRect();
}

int CTilletCaptureView::StretchMode() const {
    CDisplayPicture* pic = Picture();
    // Smoothing pays only where the display has fewer colours than the picture.
    if (pic && m_screenDepth <= 8 && m_screenDepth < pic->GetBitsPerPixel()) return HALFTONE;
    return COLORONCOLOR;
}

// ------------------------------------------------------------------------------ drawing

void CTilletCaptureView::paintEvent(QPaintEvent* event) {
    const QRect device = event->rect().normalized();
    m_updateRect = DeviceToLogical(device).adjusted(-1, -1, 1, 1) & PictureRect();
    QPainter painter(viewport());
    // With both bars the picture covers the whole client area.
    if (!(HasHorizontalBar() && HasVerticalBar())) {
        ImageDocHost* host = GetImageDocHost();
        painter.fillRect(device, FromColorRef(host ? host->ViewBackgroundColor() : 0x00C0C000));
    }
    PrepareDC(painter);
    OnDraw(painter);
    painter.resetTransform();

    // The dotted outline and a selection being drawn, in client pixels.
    auto dotted = [&](const QRect& r, bool inverted) {
        QPen pen(inverted ? Qt::white : Qt::black, 0, Qt::DotLine);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(inverted ? Qt::black : Qt::white, 0));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(pen);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    };
    if (!m_outline.isEmpty()) {
        const QRect outline =
            m_outline.adjusted(-1, -1, 1, 1) & PictureRect().adjusted(-1, -1, 1, 1);
        dotted(LogicalToDevice(outline), g_outlineInverted);
    }
    if (m_tracking) dotted(QRect(m_trackStart, m_trackEnd).normalized(), false);
}

void CTilletCaptureView::OnDraw(QPainter& painter) {
    CDisplayPicture* pic = Picture();
    if (!pic) return;
    const int mode = StretchMode();
    const QRect whole = PictureRect();
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(-1, -1, whole.width() + 1, whole.height() + 1));
    if (!m_updateRect.isEmpty())
        pic->DrawRegion(painter, &m_updateRect, &m_updateRect, false, mode, SRCCOPY);

    if (m_dragState == DragSelection) {
        painter.save();
        painter.setClipRect(whole);
        const QRect start = m_selection & whole;
        if (!m_copyOnMove) {
            ImageDocHost* host = GetImageDocHost();
            painter.fillRect(start, FromColorRef(host ? host->ImageBackgroundColor() : 0x00C08000));
        }
        const QRect moved(m_dragPos + (start.topLeft() - m_selection.topLeft()), start.size());
        if (!start.isEmpty())
            pic->DrawRegion(painter, &moved, &start, false, COLORONCOLOR, SRCCOPY);
        painter.restore();
    }
    if (m_pasted) {
        const QRect into =
            m_dragState == DragPasted ? QRect(m_dragPos, m_selection.size()) : m_selection;
        painter.save();
        painter.setClipRect(whole);
        if (!into.isEmpty()) m_pasted->DrawRegion(painter, &into, nullptr, false, mode, SRCCOPY);
        painter.restore();
    }
}

void CTilletCaptureView::UpdateLogical(const QRect& logical, int grow) {
    if (logical.isEmpty()) return;
    viewport()->update(LogicalToDevice(logical).adjusted(-grow, -grow, grow, grow));
}

void CTilletCaptureView::OnSelectionTimer() {
    g_outlineInverted = !g_outlineInverted;
    if (m_outline.isEmpty()) return;
    const QRect device = LogicalToDevice(m_outline.adjusted(-1, -1, 1, 1));
    // Only the outline's edges change.
    viewport()->update(QRect(device.left(), device.top(), device.width(), 1));
    viewport()->update(QRect(device.left(), device.bottom(), device.width(), 1));
    viewport()->update(QRect(device.left(), device.top(), 1, device.height()));
    viewport()->update(QRect(device.right(), device.top(), 1, device.height()));
}

// ------------------------------------------------------------------- document updates

void CTilletCaptureView::FitScrollSizes() {
    CDisplayPicture* pic = Picture();
    const QSize size = pic ? QSize(pic->GetWidth(), pic->GetHeight()) : QSize(0, 0);
    if (size != m_lastPictureSize) {
        SetScaledSizes(size);
        m_lastPictureSize = size;
        m_zoomMode = 0;
        // Shown at 1:1 until the next zoom command, which starts from the kept factor.
        m_zoomScale = m_zoomFactor;
        m_clip = PictureRect();
        if (hasFocus()) ShowPictureInfo();
    }
    viewport()->update();
}

void CTilletCaptureView::OnUpdate(CView* sender, long hint) {
    const bool imageView = dynamic_cast<CTilletCaptureView*>(sender) != nullptr;
    if (sender == this || ((!sender || !imageView) && hint == HINT_PICTURE_CHANGED))
        FitScrollSizes();
    viewport()->update();
}

bool CTilletCaptureView::event(QEvent* e) {
    if (int(e->type()) != WM_CAPTURE_DELIVER) return CZoomView::event(e);
    ImageDocHost* host = GetImageDocHost();
    if (host && GetDocument()) host->DeliverCapture(GetDocument());
    return true;
}

void CTilletCaptureView::OnInitialUpdate() {
    FitScrollSizes();
    SetSelectionMode(false);
    m_zoomMode = 0;

    // The frame opens at the picture's size, as far as the main window's client area allows.
    CMDIChildWnd* frame = GetParentFrame();
    if (frame && frame->mdiArea()) {
        const int border =
            frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
        const int title = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
        // The red frame one unit outside the picture needs a pixel on each side.
        QSize want = GetTotalDeviceSize() + QSize(2 * border + 2, title + border + 2);
        // A capture arrives while the main window is hidden, perhaps never shown yet: its
        // layout has then not placed the window area, whose size would be a default.
        QMdiArea* area = frame->mdiArea();
        if (QLayout* layout = area->window()->layout()) layout->activate();
        const QSize room = area->contentsRect().size();
        const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        if (want.height() > room.height()) {
            want.setHeight(room.height());
            want.rwidth() += barWidth + 1;
        }
        if (want.width() > room.width()) want.setWidth(room.width());
        frame->resize(want);
    }

    CTilletCaptureDoc* doc = GetDocument();
    // The capture is delivered once, by the document's first view: another window on the same
    // document must not copy, save and print it again.
    if (doc && doc->fromCapture) {
        doc->fromCapture = 0;
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_CAPTURE_DELIVER)));
    }
}

void CTilletCaptureView::SetPaneText(int pane, const QString& text) {
    if (CFrameworkApp* app = AfxGetApp())
        if (CMDIFrameWnd* main = app->GetMainWnd()) main->SetPaneText(pane, text);
}

void CTilletCaptureView::ShowPictureInfo() {
    CDisplayPicture* pic = Picture();
    if (!pic) return;
    SetPaneText(2, QString("  Color: %1 Bits").arg(pic->GetBitsPerPixel()));
    SetPaneText(3, QString("  Image Size: (%1,%2)").arg(pic->GetWidth()).arg(pic->GetHeight()));
}

void CTilletCaptureView::focusInEvent(QFocusEvent* event) {
    CZoomView::focusInEvent(event);
    // True colour everywhere: no palette to realise, only the panes to fill.
    ShowPictureInfo();
}

// ------------------------------------------------------------------------------- zoom

void CTilletCaptureView::SetZoom(double factor) {
    m_zoomFactor = factor;
    ApplyZoom(factor, true);
}

void CTilletCaptureView::ZoomIn() {
    const int percent = int(m_zoomFactor * 100);
    if (percent == 400) return;
    int next = 200;
    for (int i = 0; i < 4; ++i)
        if (kZoomSteps[i] == percent) next = kZoomSteps[i + 1];
    SetZoom(next * 0.01);
}

void CTilletCaptureView::ZoomOut() {
    const int percent = int(m_zoomFactor * 100);
    if (percent == 25) return;
    int next = 50;
    for (int i = 1; i < 5; ++i)
        if (kZoomSteps[i] == percent) next = kZoomSteps[i - 1];
    SetZoom(next * 0.01);
}

// -------------------------------------------------------------------------- selection

void CTilletCaptureView::ClearSelection() {
    m_selection = QRect();
    m_outline = QRect();
}

void CTilletCaptureView::SetSelectionMode(bool on) {
    m_selectionMode = on ? 2 : 0;
    if (!on) {
        ClearSelection();
        viewport()->update();
    }
}

void CTilletCaptureView::SelectAll() {
    if (!Picture()) return;
    m_selectionMode = 2;
    m_selection = m_outline = PictureRect();
    viewport()->update();
}

bool CTilletCaptureView::CopySelection() {
    CDisplayPicture* pic = Picture();
    const QRect area = m_selection & PictureRect();
    if (!pic || area.isEmpty()) return false;
    CDisplayPicture part;
    CropFilter crop(area.left(), area.left() + area.width(), area.top(),
                    area.top() + area.height());
    crop.Apply(*pic, part);
    part.CopyToClipboard();
    return true;
}

bool CTilletCaptureView::CutSelection() {
    if (!CopySelection()) return false;
    GetDocument()->MoveRegion(ToCRect(m_selection), CRect{}, CRect{}, false);
    return true;
}

void CTilletCaptureView::PasteFloating() {
    if (!Picture()) return;
    auto pasted = m_pasted ? std::move(m_pasted) : std::make_unique<CDisplayPicture>();
    if (!pasted->CreateFromClipboard(CF_BITMAP)) return;
    m_pasted = std::move(pasted);
    m_selection = QRect(0, 0, m_pasted->GetWidth(), m_pasted->GetHeight()) & PictureRect();
    m_selectionMode = 2;
    m_outline = m_selection;
    m_clip = PictureRect();
    viewport()->update();
}

bool CTilletCaptureView::CropToSelection() {
    CTilletCaptureDoc* doc = GetDocument();
    if (!Picture() || !doc) return false;
    if (m_selection.isEmpty()) {
        m_selectionMode = 2;
        m_cropPending = true;
        return true;
    }
    const QRect area = m_selection & PictureRect();
    if (area.isEmpty()) {
        ClearSelection();
        return true;
    }
    doc->RunCommand(new CropFilter(area.left(), area.left() + area.width(), area.top(),
                                   area.top() + area.height()),
                    "Crop the image to selected rectangle,reducing its size");
    ClearSelection();
    doc->UpdateAllViews(nullptr, HINT_PICTURE_CHANGED);
    return true;
}

void CTilletCaptureView::CommitPasted() {
    CTilletCaptureDoc* doc = GetDocument();
    CDisplayPicture* pic = Picture();
    if (!m_pasted) return;
    std::unique_ptr<CDisplayPicture> pasted = std::move(m_pasted);
    m_clip = PictureRect();
    const QRect destination = m_selection & PictureRect();
    if (!doc || !pic || destination.isEmpty()) return;
    const QRect source = destination.translated(-m_selection.topLeft());
    if (pasted->GetBitsPerPixel() != pic->GetBitsPerPixel()) {
        CDisplayPicture converted;
        converted.CopyWithDepth(*pasted, pic->GetBitsPerPixel());
        pasted->CopyWithDepth(converted, 0);
    }
    doc->PasteImage(*pasted, ToCRect(source), ToCRect(destination));
}

// ------------------------------------------------------------------------ keys and mouse

void CTilletCaptureView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_PageUp:
        v->setValue(v->value() - GetPageStep().height());
        break;
    case Qt::Key_PageDown:
        v->setValue(v->value() + GetPageStep().height());
        break;
    case Qt::Key_Home:
        (ctrl ? v : h)->setValue((ctrl ? v : h)->minimum());
        break;
    case Qt::Key_End:
        (ctrl ? v : h)->setValue((ctrl ? v : h)->maximum());
        break;
    case Qt::Key_Left:
        h->setValue(h->value() - GetLineStep().width());
        break;
    case Qt::Key_Right:
        h->setValue(h->value() + GetLineStep().width());
        break;
    case Qt::Key_Up:
        v->setValue(v->value() - GetLineStep().height());
        break;
    case Qt::Key_Down:
        v->setValue(v->value() + GetLineStep().height());
        break;
    default:
        CZoomView::keyPressEvent(event);
    }
}

void CTilletCaptureView::UpdateCursor(QPoint device) {
    const bool bars = HasHorizontalBar() || HasVerticalBar();
    if (m_panning) {
        viewport()->setCursor(Qt::ClosedHandCursor);
    } else if (m_selectionMode == 0 && bars) {
        viewport()->setCursor(Qt::OpenHandCursor);
    } else if (m_selectionMode == 2 && LogicalToDevice(m_selection).contains(device)) {
        viewport()->setCursor(Qt::SizeAllCursor);
    } else if (m_selectionMode == 2 && LogicalToDevice(PictureRect()).contains(device)) {
        viewport()->setCursor(Qt::CrossCursor);
    } else {
        viewport()->setCursor(Qt::ArrowCursor);
    }
}

void CTilletCaptureView::mousePressEvent(QMouseEvent* event) {
    const QPoint device = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // The size may have changed under another window's command.
        FitScrollSizes();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    const bool bars = HasHorizontalBar() || HasVerticalBar();
    if (m_selectionMode == 0) {
        if (bars) {
            m_panning = true;
            m_panLast = device;
            UpdateCursor(device);
        }
        return;
    }
    const QPoint p = DeviceToLogical(device);
    if (!m_selection.isEmpty() && m_selection.contains(p)) {
        m_dragPos = m_selection.topLeft();
        m_lastPoint = p;
        m_dragState = m_pasted ? DragPasted : DragSelection;
        m_copyOnMove = m_dragState == DragSelection && (event->modifiers() & Qt::ControlModifier);
        return;
    }
    if (m_pasted) {
        CommitPasted();
        viewport()->update();
    }
    m_tracking = true;
    m_trackStart = m_trackEnd = device;
}

void CTilletCaptureView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint device = event->position().toPoint();
    const QPoint p = DeviceToLogical(device);
    SetPaneText(1, QString("  Mouse Position: (%1,%2)").arg(p.x()).arg(p.y()));
    m_pixel = PictureRect().contains(p) ? p : QPoint(-1, -1);

    if (m_panning) {
        const QPoint moved = device - m_panLast;
        m_panLast = device;
        QPoint pos = GetDeviceScrollPosition() - moved;
        pos.setX(HasHorizontalBar() ? std::max(0, pos.x()) : 0);
        pos.setY(HasVerticalBar() ? std::max(0, pos.y()) : 0);
        ScrollToDevicePosition(pos);
    } else if (m_tracking) {
        const QRect before = QRect(m_trackStart, m_trackEnd).normalized();
        m_trackEnd = device;
        viewport()->update(
            (before | QRect(m_trackStart, m_trackEnd).normalized()).adjusted(-2, -2, 2, 2));
    } else if (m_dragState != DragNone) {
        const QPoint d = p - m_lastPoint;
        if (!d.isNull()) {
            const QRect before = m_outline;
            m_outline.translate(d);
            m_clip.translate(-d);
            m_dragPos += d;
            m_lastPoint = p;
            UpdateLogical(before | m_outline);
            if (m_dragState == DragSelection && !m_copyOnMove) UpdateLogical(m_selection);
        }
    }
    UpdateCursor(device);
}

void CTilletCaptureView::leaveEvent(QEvent* event) {
    m_pixel = QPoint(-1, -1);
    CZoomView::leaveEvent(event);
}

void CTilletCaptureView::FinishTracking(QPoint device) {
    m_tracking = false;
    // The corner the button went up at is the exclusive one.
    const QRect drawn(
        QPoint(std::min(m_trackStart.x(), device.x()), std::min(m_trackStart.y(), device.y())),
        QSize(std::abs(device.x() - m_trackStart.x()), std::abs(device.y() - m_trackStart.y())));
    if (drawn.width() > 1 || drawn.height() > 1) {
        const QRect logical = DeviceToLogical(drawn) & PictureRect();
        m_selection = m_outline = logical.isEmpty() ? QRect() : logical;
        if (m_cropPending) {
            m_cropPending = false;
            CropToSelection();
        }
    } else {
        ClearSelection();
    }
    m_clip = PictureRect();
    viewport()->update();
}

void CTilletCaptureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint device = event->position().toPoint();
    if (m_panning) {
        m_panning = false;
        UpdateCursor(device);
        return;
    }
    if (m_tracking) {
        FinishTracking(device);
        return;
    }
    if (m_dragState == DragSelection) {
        m_dragState = DragNone;
        const QRect whole = PictureRect();
        const QRect destination = m_outline & whole;
        const QPoint shift = m_outline.topLeft() - m_selection.topLeft();
        // The source is the part whose new place lies inside the picture, so that the two
        // line up pixel for pixel.
        const QRect source = destination.translated(-shift);
        const QRect start = m_selection;
        m_selection = m_outline = destination;
        if (!destination.isEmpty())
            GetDocument()->MoveRegion(ToCRect(start), ToCRect(source), ToCRect(destination),
                                      m_copyOnMove);
        m_copyOnMove = false;
        m_clip = whole;
        GetDocument()->UpdateAllViews(nullptr, 0);
    } else if (m_dragState == DragPasted) {
        m_dragState = DragNone;
        m_selection.moveTopLeft(m_dragPos);
        m_outline = m_selection;
        GetDocument()->UpdateAllViews(nullptr, 0);
    }
}

void CTilletCaptureView::contextMenuEvent(QContextMenuEvent* event) {
    CFrameworkApp* app = AfxGetApp();
    CMDIFrameWnd* main = app ? app->GetMainWnd() : nullptr;
    if (!main) return;
    QMenu* menu = main->BuildPopup(ImageContextMenu(), main);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ------------------------------------------------------------------------- child frame

CChildFrame::CChildFrame() {
    setObjectName("OrvaneImageFrameClass");
    setWindowIcon(ProgramIcon());
}
