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
