// The program around image documents in GUI tests: a real main frame and document template
// on the offscreen platform, a picture handed to each new document, and answers to the
// message boxes the document asks.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

#include "editor/ImageDoc.h"
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"
#include "view/ImageView.h"

class ImageHost : public CFrameworkApp, public ImageDocHost {
public:
    ImageHost() : CFrameworkApp("Orvane Screen") {
        SetMainWnd(&m_frame);
        SetDocManager(std::make_unique<CDocManager>());
        GetDocManager()->AddDocTemplate(std::make_unique<CMultiDocTemplate>(
            129, "\nOrvcap\nOrvcap\n\n\nOrvane Screen.Document\nOrvcap Document",
            [] { return new CTilletCaptureDoc; }, [] { return new CChildFrame; },
            [] { return new CTilletCaptureView; }));
        SetImageDocHost(this);
        m_frame.resize(800, 600);
        m_frame.show();
        // Every box the document asks is answered and counted.
        QObject::connect(&m_answer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++questions;
                lastQuestion = box->text();
                box->done(answer);
            }
        });
        m_answer.start(5);
    }
    ~ImageHost() override {
        for (CDocument* doc : GetDocManager()->Documents()) doc->OnCloseDocument();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetImageDocHost(nullptr);
        SetMainWnd(nullptr);
    }
    bool InitInstance() override { return true; }

    std::unique_ptr<CDisplayPicture> TakePendingImage() override {
        auto picture = std::make_unique<CDisplayPicture>();
        if (makePicture) makePicture(*picture);
        return picture;
    }
    QWidget* MainWindow() override { return &m_frame; }
    uint32_t ViewBackgroundColor() override { return 0x00C0C000; }
    uint32_t ImageBackgroundColor() override { return 0x00804020; } // RGB 20 40 80
    bool TakePendingCaptureFlag() override { return std::exchange(captured, false); }
    void DeliverCapture(CTilletCaptureDoc*) override { ++deliveries; }

    // A new document with the picture makePicture fills in, its view shown in a frame.
    CTilletCaptureDoc* NewImage() {
        auto* doc = static_cast<CTilletCaptureDoc*>(
            GetDocManager()->FirstTemplate()->OpenDocumentFile(QString()));
        QCoreApplication::processEvents();
        return doc;
    }
    static CTilletCaptureView* ViewOf(CDocument* doc) {
        return static_cast<CTilletCaptureView*>(doc->GetViews().front());
    }

    CMDIFrameWnd& Frame() { return m_frame; }
    std::function<void(CDisplayPicture&)> makePicture;
    bool captured = false;
    int deliveries = 0;
    int questions = 0;
    QString lastQuestion;
    int answer = QMessageBox::Yes;

private:
    CMDIFrameWnd m_frame;
    QTimer m_answer;
};

// A picture whose every pixel tells where it is: red x, green y, blue 7.
inline void FillPattern(CDisplayPicture& picture, int width, int height) {
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(picture.GetLineArray()[y]);
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 7u;
    }
}

inline uint32_t PixelAt(const CPicture& picture, int x, int y) {
    return reinterpret_cast<const uint32_t*>(picture.GetLineArray()[y])[x] & 0xFFFFFFu;
}
