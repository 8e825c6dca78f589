// The image view inside a real main frame and document template, on the offscreen platform.
#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "editor/ImageDoc.h"
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"
#include "view/ImageView.h"

namespace {

// The program around the document: hands over one captured picture and counts deliveries.
class CaptureHost : public CFrameworkApp, public ImageDocHost {
public:
    CaptureHost() : CFrameworkApp("Orvane Screen") {
        SetMainWnd(&m_frame);
        SetDocManager(std::make_unique<CDocManager>());
        GetDocManager()->AddDocTemplate(std::make_unique<CMultiDocTemplate>(
            129, "\nOrvcap\nOrvcap\n\n\nOrvane Screen.Document\nOrvcap Document",
            [] { return new CTilletCaptureDoc; }, [] { return new CChildFrame; },
            [] { return new CTilletCaptureView; }));
        SetImageDocHost(this);
    }
    ~CaptureHost() override {
        for (CDocument* doc : GetDocManager()->Documents()) doc->OnCloseDocument();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetImageDocHost(nullptr);
        SetMainWnd(nullptr);
    }
    bool InitInstance() override { return true; }

    std::unique_ptr<CDisplayPicture> TakePendingImage() override {
        auto picture = std::make_unique<CDisplayPicture>();
        if (m_captured) picture->Create(40, 30, 32, false);
        return picture;
    }
    QWidget* MainWindow() override { return &m_frame; }
    uint32_t ViewBackgroundColor() override { return 0x00C0C000; }
    bool TakePendingCaptureFlag() override { return std::exchange(m_captured, false); }
    void DeliverCapture(CTilletCaptureDoc*) override { ++deliveries; }

    CMDIFrameWnd& Frame() { return m_frame; }
    int deliveries = 0;

private:
    CMDIFrameWnd m_frame;
    bool m_captured = true;
};

} // namespace

// A second window on a captured image must not copy, save and print the capture again.
TEST(ImageView, CaptureDeliveryRunsOnceForTwoViews) {
    CaptureHost host;
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
    CaptureHost host;
    host.TakePendingCaptureFlag();
    ASSERT_NE(host.GetDocManager()->FirstTemplate()->OpenDocumentFile(QString()), nullptr);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(host.deliveries, 0);
}
