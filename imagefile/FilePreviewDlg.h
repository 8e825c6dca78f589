#pragma once

#include <QFileDialog>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class CDisplayPicture;

// Where a picture of the given size is drawn in area: centred, shrunk to fit with its aspect
// ratio kept, never enlarged.
QRect PreviewPlacement(QSize picture, const QRect& area);

// What a decode for the preview found. image is the picture already shrunk for the preview
// area the request named, so that the user interface thread only has to copy it.
struct PreviewResult {
    uint64_t request = 0;
    bool decoded = false;
    int bitsPerPixel = 0;
    QSize size;
    QImage image;
};

// Decodes files for the preview on a thread of its own. Only the newest request is kept: one
// made while another still waits replaces it, and the owner drops results of requests it has
// moved past. The last picture decoded is kept, so that a new area size or a second look at
// the same unchanged file costs no second decode. Destroying the decoder does not wait for a
// decode under way (opening a big file would otherwise wait for its preview first): the thread
// finishes it alone and drops the result.
class CPreviewDecoder {
public:
    // Called on the decoder's thread, never after the decoder is destroyed.
    using Done = std::function<void(PreviewResult)>;
    explicit CPreviewDecoder(Done done);
    ~CPreviewDecoder();
    CPreviewDecoder(const CPreviewDecoder&) = delete;
    CPreviewDecoder& operator=(const CPreviewDecoder&) = delete;

    void Request(uint64_t id, const QString& path, QSize area);
    // How many files have been decoded (cached pictures not counted).
    int DecodeCount() const;
    // Whether nothing waits and nothing is being decoded; every result is handed over by then.
    bool Idle() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// The preview area: a frame filled with the button-face colour with the picture centred on
// it, or the shadow colour when there is no picture.
class CFilePicturePreview : public QWidget {
public:
    explicit CFilePicturePreview(QWidget* parent = nullptr);
    void SetPicture(const QImage& shrunk, QSize pictureSize, int bitsPerPixel);
    void Clear();
    bool HasPicture() const { return m_hasPicture; }
    QSize PictureSize() const { return m_pictureSize; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    // Called after the area changed size.
    std::function<void()> onResize;
    // The rectangle the picture is drawn in, in widget coordinates (empty without one).
    QRect PictureRect() const;
    // The inside of the frame, where a picture may go.
    QRect Area() const { return rect().adjusted(1, 1, -1, -1); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_image;
    QSize m_pictureSize;
    int m_bitsPerPixel = 0;
    bool m_hasPicture = false;
};

// The open dialog: Qt's own file dialog (the same on every desktop) with the filter list of
// every readable format and a preview of the selected picture beside the file list.
class CFilePreviewDlg : public QFileDialog {
public:
    CFilePreviewDlg(QWidget* parent, const QString& title);
    ~CFilePreviewDlg() override;

    // The filters in the order shown; the dialog starts at AllFormatsFilter.
    static QStringList OpenFilters();
    static constexpr int kAllFormatsFilter = 11;

    // Shows the picture at path, or nothing for a file that does not decode; a folder leaves
    // the preview as it is. Decoding happens on the preview's own thread.
    void LoadSelection(const QString& path);
    void SetPreviewEnabled(bool on);
    bool PreviewEnabled() const { return m_previewOn; }

    CFilePicturePreview* Preview() const { return m_preview; }
    QCheckBox* PreviewCheck() const { return m_check; }
    QLabel* ColorBitsLabel() const { return m_colorBits; }
    QLabel* ImageSizeLabel() const { return m_imageSize; }
    // Whether a decode asked for has not come back yet.
    bool DecodePending() const { return m_shown != m_requested; }
    // How many decoded pictures reached the preview, and how many files were decoded.
    int PicturesShown() const { return m_picturesShown; }
    int DecodeCount() const { return m_decoder->DecodeCount(); }
    bool DecoderIdle() const { return m_decoder->Idle(); }

private:
    void Accept(PreviewResult result);
    void RefreshLabels();
    void Rerequest();

    CFilePicturePreview* m_preview = nullptr;
    QCheckBox* m_check = nullptr;
    QLabel* m_colorBits = nullptr;
    QLabel* m_imageSize = nullptr;
    bool m_previewOn = true;
    QString m_current;
    // The file whose picture is shown or being decoded.
    QString m_previewPath;
    uint64_t m_requested = 0;
    uint64_t m_shown = 0;
    int m_picturesShown = 0;
    std::unique_ptr<CPreviewDecoder> m_decoder;
};

// The Save As dialog: the five formats the program writes, ".jpg" added to a name typed
// without an extension, and a question before a file is replaced. The extension of the name,
// not the filter shown, decides the format the picture is written in.
QStringList SaveAsFilters();
void SetUpSaveAsDialog(QFileDialog& dialog, const QString& proposedName);
