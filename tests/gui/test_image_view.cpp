// The image view inside a real main frame and document template, on the offscreen platform.
#include <gtest/gtest.h>

#include "tests/gui/ImageHost.h"

// A second window on a captured image must not copy, save and print the capture again.
TEST(ImageView, CaptureDeliveryRunsOnceForTwoViews) {
    ImageHost host;
    host.captured = true;
    host.makePicture = [](CDisplayPicture& p) { p.Create(40, 30, 32, false); };
    CDocument* doc = host.GetDocManager()->FirstTemplate()->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(host.deliveries, 1);

    // Window > New Window on the same document.
    host.Frame().MDIClient()->setActiveSubWindow(doc->GetViews().front()->GetParentFrame());
    host.Frame().ExecuteCommand(ID_WINDOW_NEW);
    ASSERT_EQ(doc->GetViews().size(), 2u);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(host.deliveries, 1);
    EXPECT_EQ(static_cast<CTilletCaptureDoc*>(doc)->fromCapture, 0);
}

// A document that did not come from a capture runs no delivery at all.
TEST(ImageView, NewImageRunsNoDelivery) {
    ImageHost host;
    ASSERT_NE(host.GetDocManager()->FirstTemplate()->OpenDocumentFile(QString()), nullptr);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(host.deliveries, 0);
}

// The frame opens at the picture's size; a taller picture is cut to the MDI area with room
// for the vertical bar, a wider one cut at the right.
TEST(ImageView, FrameFitsThePictureUpToTheWindowArea) {
    ImageHost host;
    const QSize room = host.Frame().MDIClient()->viewport()->size();
    host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 300, 200); };
    CTilletCaptureDoc* small = host.NewImage();
    ASSERT_NE(small, nullptr);
    CTilletCaptureView* view = ImageHost::ViewOf(small);
    EXPECT_GE(view->viewport()->width(), 302);
    EXPECT_LE(view->viewport()->width(), 310);
    EXPECT_GE(view->viewport()->height(), 202);
    EXPECT_LE(view->viewport()->height(), 210);

    host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 200, 3000); };
    CTilletCaptureDoc* tall = host.NewImage();
    CMDIChildWnd* frame = ImageHost::ViewOf(tall)->GetParentFrame();
    EXPECT_EQ(frame->height(), room.height());
    EXPECT_GT(frame->width(), 202 + 10); // the picture, its frame and the bar

    host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 3000, 3000); };
    CTilletCaptureDoc* big = host.NewImage();
    frame = ImageHost::ViewOf(big)->GetParentFrame();
    EXPECT_EQ(frame->size(), room);
}
