#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "editor/Command.h"
#include "framework/DocView.h"
#include "imagefile/DisplayPicture.h"

class QWidget;
class ProgressSink;
class ImageFilter;

// What the image document needs of the program around it.
class ImageDocHost {
public:
    virtual ~ImageDocHost() = default;
    // Hands over the picture a producer parked for the next new document (an empty picture
    // when none was parked).
    virtual std::unique_ptr<CDisplayPicture> TakePendingImage() = 0;
    virtual QWidget* MainWindow() = 0;
    virtual uint32_t ViewBackgroundColor() = 0; // 0x00BBGGRR
    // The colour a moved or cut area leaves behind (0x00BBGGRR).
    virtual uint32_t ImageBackgroundColor() { return 0x00C08000; }
    // Whether the picture handed over last came from a capture (asked once per document).
    virtual bool TakePendingCaptureFlag() { return false; }
    // Runs a captured document's deliveries: clipboard, file, printer.
    virtual void DeliverCapture(class CTilletCaptureDoc*) {}
    // The fill outside a captured shape (0x00BBGGRR), also the first background of a rotation.
    virtual uint32_t TransparencyColor() { return 0x00FF00FF; }
    // Receives the progress of long file operations; may be null.
    virtual ProgressSink* Progress() { return nullptr; }
};
void SetImageDocHost(ImageDocHost* host);
ImageDocHost* GetImageDocHost();

// Message posted to the main window after a document is made, opened or closed.
constexpr int WM_DOC_COUNT_CHANGED = 1228;

// The hint of an update that may have changed the picture's size.
constexpr long HINT_PICTURE_CHANGED = 1;

// Reads and writes picture files. These are the one place the document reaches the file
// formats; they throw CTextException with a text for the user.
void LoadPictureFile(const QString& path, CDisplayPicture& picture);
void SavePictureFile(const QString& path, const CDisplayPicture& picture);

// The image document: owns one picture and the history of the edits made to it.
class CTilletCaptureDoc : public CDocument, public CHistoryDocument {
public:
    CTilletCaptureDoc();
    ~CTilletCaptureDoc() override;

    // The same object for the document's whole life: commands hold it.
    CDisplayPicture* GetPicture() override { return m_picture.get(); }
    CDocCommandHistory& History() { return m_history; }
    void SetTitle(const QString& title) override;
    bool IsModified() const override { return CDocument::IsModified(); }
    void SetModifiedFlag(bool modified = true) override;
    void UpdateTitle() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const QString& path) override;
    bool OnSaveDocument(const QString& path) override;
    void DeleteContents() override;
    void OnCloseDocument() override;

    // Converts an 8- or 24-bit picture to 32 bits when the user agrees; false when declined.
    bool EnsureTrueColor();
    // Runs filter on the picture as a recorded command; takes ownership of filter. False when
    // there is no picture or the filter failed (its text has then been shown).
    bool RunCommand(ImageFilter* filter, const std::string& description);
    // Moves (or with copy, copies) the source rectangle's pixels to the destination; a move
    // leaves the area in the image background colour.
    void MoveRegion(const CRect& area, const CRect& source, const CRect& destination, bool copy);
    // Copies the pasted area of pasted onto the destination rectangle.
    void PasteImage(const CPicture& pasted, const CRect& pastedArea, const CRect& destination);

    // The resize-type dialogs preview on the picture and restore it from here.
    void MakeBackup();
    void DropBackup() { m_backupPicture.reset(); }
    CDisplayPicture* GetBackup() const { return m_backupPicture.get(); }

    int fromCapture = 0;

    // CHistoryDocument
    using CDocument::UpdateAllViews;
    void UpdateAllViews(int hint, CCommand* command) override;
    void SetStatusText(const std::string& text) override;

private:
    // Resize, Scale and Stretch: their dialog works on the picture while it is open.
    void RunResizeDialog(int commandId);
    // An operation of the command map that needs a true-colour picture.
    void RunColorOperation(ImageFilter* (*make)(ProgressSink*), const char* description);

    // Runs an operation's dialog for a true-colour picture; true when it ended with OK.
    template <class Values>
    bool RunOperationDialog(const std::function<bool(CTilletCaptureDoc&, Values&)>& run,
                            Values& values);

    // Steps between the picture and the one last saved, once saved: an undo past a save
    // leaves a picture the file no longer holds.
    void StepFromSave(int step);

    CDocCommandHistory m_history{this};
    std::optional<int> m_stepsFromSave;
    QString m_baseTitle;
    std::unique_ptr<CDisplayPicture> m_picture;
    std::unique_ptr<CDisplayPicture> m_backupPicture;
};
