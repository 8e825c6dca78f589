// The zoom view's mapping, scroll steps and zoom limits, and the image view's drawing.
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "tests/gui/ImageHost.h"
#include "view/ZoomView.h"

namespace {

class PlainZoomView : public CZoomView {
public:
    void OnDraw(QPainter&) override {}
};

// An image view of its own document, outside any frame, with a client of the given size.
struct StandaloneView {
    StandaloneView(ImageHost& host, QSize client, int width, int height) {
        host.makePicture = [width, height](CDisplayPicture& p) { FillPattern(p, width, height); };
        doc.OnNewDocument();
        view = new CTilletCaptureView;
        doc.AddView(view);
        view->resize(client);
        view->show();
        view->OnInitialUpdate();
        QCoreApplication::processEvents();
    }
    ~StandaloneView() { delete view; }
    QImage Shot() { return view->viewport()->grab().toImage(); }
    CTilletCaptureDoc doc;
    CTilletCaptureView* view;
};

} // namespace

TEST(ZoomView, SmallPictureIsCentredAndLargeOneFollowsTheScrollBar) {
    PlainZoomView view;
    view.resize(400, 400);
    view.show();
    view.SetScaledSizes(QSize(100, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.LogicalToDevice(QPoint(0, 0)), QPoint(150, 175));
    EXPECT_EQ(view.DeviceToLogical(QPoint(150, 175)), QPoint(0, 0));

    // Wider than the client: x follows the scroll position, y is still centred.
    view.SetScaledSizes(QSize(1000, 50));
    QCoreApplication::processEvents();
    view.horizontalScrollBar()->setValue(30);
    const int clientHeight = view.viewport()->height();
    EXPECT_EQ(view.LogicalToDevice(QPoint(0, 0)), QPoint(-30, (clientHeight - 50) / 2));
}

TEST(ZoomView, ZoomPastEightyIsRefusedAndStepsAreTenths) {
    PlainZoomView view;
    view.resize(400, 400);
    view.show();
    view.SetScaledSizes(QSize(640, 480));
    EXPECT_EQ(view.GetPageStep(), QSize(64, 48));
    EXPECT_EQ(view.GetLineStep(), QSize(6, 4));

    view.ApplyZoom(64, true);
    ASSERT_EQ(view.GetZoomScale(), 64.0);
    const QSize total = view.GetTotalDeviceSize();
    EXPECT_EQ(total, QSize(640 * 64, 480 * 64));
    view.ApplyZoom(2, false);
    EXPECT_EQ(view.GetZoomScale(), 64.0);
    EXPECT_EQ(view.GetTotalDeviceSize(), total);
}

TEST(ImageViewDrawing, PictureAtItsPlaceWithARedFrameOneUnitOutside) {
    ImageHost host;
    StandaloneView s(host, QSize(400, 400), 100, 50);
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(150, 175) & 0xFFFFFF, 0x000007u); // picture pixel (0, 0)
    EXPECT_EQ(shot.pixel(249, 224) & 0xFFFFFF, 0x633107u); // picture pixel (99, 49)
    EXPECT_EQ(shot.pixel(149, 174) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shot.pixel(250, 225) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shot.pixel(148, 173) & 0xFFFFFF, 0x00C0C0u); // the view background
}

TEST(ImageViewDrawing, FourHundredPercentShowsEachPixelAsAFourByFourBlock) {
    ImageHost host;
    StandaloneView s(host, QSize(400, 400), 100, 50);
    s.view->SetZoom(4.0);
    QCoreApplication::processEvents();
    const QPoint origin = s.view->LogicalToDevice(QPoint(0, 0));
    const QImage shot = s.Shot();
    for (int px = 0; px < 3; ++px)
        for (int dy = 0; dy < 4; ++dy)
            for (int dx = 0; dx < 4; ++dx)
                ASSERT_EQ(shot.pixel(origin.x() + px * 4 + dx, origin.y() + dy) & 0xFFFFFF,
                          0x000007u | uint32_t(px) << 16)
                    << px << " " << dx << " " << dy;
    EXPECT_EQ(s.view->StretchMode(), COLORONCOLOR);
    // On a palette display the picture is smoothed.
    s.view->SetScreenDepth(8);
    EXPECT_EQ(s.view->StretchMode(), HALFTONE);
}

TEST(ImageViewZoom, StepsLimitsAndChecks) {
    ImageHost host;
    StandaloneView s(host, QSize(300, 300), 100, 50);
    auto state = [&](int id) {
        CCmdUI ui(id);
        s.view->OnCmdMsg(id, &ui);
        return ui;
    };
    EXPECT_TRUE(state(ID_VIEW_ZOOM100).m_checked);
    s.view->OnCmdMsg(ID_VIEW_ZOOM_IN, nullptr);
    s.view->OnCmdMsg(ID_VIEW_ZOOM_IN, nullptr);
    EXPECT_DOUBLE_EQ(s.view->GetZoomFactor(), 4.0);
    EXPECT_EQ(s.view->GetTotalDeviceSize(), QSize(400, 200));
    EXPECT_TRUE(state(ID_VIEW_ZOOM400).m_checked);
    EXPECT_FALSE(state(ID_VIEW_ZOOM_IN).m_enabled);
    EXPECT_TRUE(state(ID_VIEW_ZOOM_OUT).m_enabled);
    for (int i = 0; i < 4; ++i) s.view->OnCmdMsg(ID_VIEW_ZOOM_OUT, nullptr);
    EXPECT_DOUBLE_EQ(s.view->GetZoomFactor(), 0.25);
    EXPECT_EQ(s.view->GetTotalDeviceSize(), QSize(25, 12));
    EXPECT_FALSE(state(ID_VIEW_ZOOM_OUT).m_enabled);
    EXPECT_TRUE(state(ID_VIEW_ZOOM_IN).m_enabled);
}
