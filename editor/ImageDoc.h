#pragma once

#include <QString>
#include <memory>

#include "framework/DocView.h"
#include "imagefile/DisplayPicture.h"

class QWidget;
class ProgressSink;

// What the image document needs of the program around it.
class ImageDocHost {
public:
    virtual ~ImageDocHost() = default;
    // Hands over the picture a producer parked for the next new document (an empty picture
    // when none was parked).
    virtual std::unique_ptr<CDisplayPicture> TakePendingImage() = 0;
    virtual QWidget* MainWindow() = 0;
    virtual uint32_t ViewBackgroundColor() = 0; // 0x00BBGGRR
    // Whether the picture handed over last came from a capture (asked once per document).
    virtual bool TakePendingCaptureFlag() { return false; }
    // Runs a captured document's deliveries: clipboard, file, printer.
    virtual void DeliverCapture(class CTilletCaptureDoc*) {}
    // Receives the progress of long file operations; may be null.
    virtual ProgressSink* Progress() { return nullptr; }
};
void SetImageDocHost(ImageDocHost* host);
ImageDocHost* GetImageDocHost();

// Message posted to the main window after a document is made, opened or closed.
constexpr int WM_DOC_COUNT_CHANGED = 1228;

// Reads and writes picture files. These are the one place the document reaches the file
// formats; they throw CTextException with a text for the user.
void LoadPictureFile(const QString& path, CDisplayPicture& picture);
void SavePictureFile(const QString& path, const CDisplayPicture& picture);

// The image document: owns one picture.
class CTilletCaptureDoc : public CDocument {
public:
    CTilletCaptureDoc();
    ~CTilletCaptureDoc() override;

    CDisplayPicture* GetPicture() const { return m_picture.get(); }
    void SetTitle(const QString& title) override;
    void SetModifiedFlag(bool modified = true) override;
    void UpdateTitle();

    bool OnNewDocument() override;
    bool OnOpenDocument(const QString& path) override;
    bool OnSaveDocument(const QString& path) override;
    void DeleteContents() override;
    void OnCloseDocument() override;

    int fromCapture = 0;

private:
    QString m_baseTitle;
    std::unique_ptr<CDisplayPicture> m_picture;
};
