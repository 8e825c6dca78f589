#include "imagefile/FilePreviewDlg.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "imagefile/DisplayPicture.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/TextException.h"

namespace {

struct Filter {
    const char* name;
    const char* patterns; // separated by ';'
};

constexpr Filter kReadable[] = {
    {"BMP File", "*.bmp;*.dib;*.rle"},
    {"JPEG File", "*.jpg;*.jpeg;*.jif"},
    {"PNG File", "*.png"},
    {"PICT File", "*.pct"},
    {"TIFF File", "*.tif;*.eps"},
    {"TARGA File", "*.tga"},
    {"Windows Metafile", "*.wmf"},
    {"Windows Enhanced Metafile", "*.emf"},
    {"PCX File", "*.pcx"},
    {"Portable Greymap File", "*.pgm"},
    {"GIF File", "*.gif"},
};

// Qt's form of a filter: the name, then the patterns in parentheses. The dialog shows the
// name only (HideNameFilterDetails).
QString QtFilter(const QString& name, const QString& patterns) {
    return name + " (" + QString(patterns).replace(';', ' ') + ")";
}

QString Blank() {
    return QStringLiteral(" ");
}

} // namespace

QRect PreviewPlacement(QSize picture, const QRect& area) {
    if (picture.isEmpty() || area.isEmpty()) return {};
    QSize shown = picture;
    if (picture.width() > area.width() || picture.height() > area.height()) {
        const double scale = 1.0 / std::max(double(picture.width()) / area.width(),
                                            double(picture.height()) / area.height());
        shown = QSize(std::max(1, int(picture.width() * scale)),
                      std::max(1, int(picture.height() * scale)));
        shown = shown.boundedTo(area.size());
    }
    return QRect(area.x() + (area.width() - shown.width()) / 2,
                 area.y() + (area.height() - shown.height()) / 2, shown.width(), shown.height());
}

// ------------------------------------------------------------------------------ CPreviewDecoder

struct CPreviewDecoder::State {
    struct Job {
        uint64_t id;
        QString path;
        QSize area;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Job> next;
    Done done; // cleared when the decoder goes
    bool stop = false;
    bool busy = false;
    int decodes = 0;
    // Used by the decoder's thread only.
    CDisplayPicture picture;
    QString cachedPath;
    qint64 cachedStamp = -1;
    qint64 cachedBytes = -1;

    static void Run(const std::shared_ptr<State>& state);
    PreviewResult Decode(const Job& job);
};

CPreviewDecoder::CPreviewDecoder(Done done) : m_state(std::make_shared<State>()) {
    m_state->done = std::move(done);
    std::thread([state = m_state] { State::Run(state); }).detach();
}

CPreviewDecoder::~CPreviewDecoder() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stop = true;
        m_state->next.reset();
        m_state->done = nullptr;
    }
    m_state->wake.notify_one();
}

void CPreviewDecoder::Request(uint64_t id, const QString& path, QSize area) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->next = State::Job{id, path, area};
    }
    m_state->wake.notify_one();
}

int CPreviewDecoder::DecodeCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->decodes;
}

bool CPreviewDecoder::Idle() const {
    std::lock_guard lock(m_state->mutex);
    return !m_state->busy && !m_state->next;
}

void CPreviewDecoder::State::Run(const std::shared_ptr<State>& state) {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stop || state->next; });
            if (state->stop) return;
            job = std::move(*state->next);
            state->next.reset();
            state->busy = true;
        }
        PreviewResult result = state->Decode(job);
        // Handed over under the lock, so that the owner cannot go in between.
        std::lock_guard lock(state->mutex);
        if (state->done) state->done(std::move(result));
        state->busy = false;
    }
}

PreviewResult CPreviewDecoder::State::Decode(const Job& job) {
    PreviewResult result;
    result.request = job.id;
    const QFileInfo info(job.path);
    const qint64 stamp = info.lastModified().toMSecsSinceEpoch();
    if (job.path != cachedPath || stamp != cachedStamp || info.size() != cachedBytes) {
        cachedPath.clear();
        {
            std::lock_guard lock(mutex);
            ++decodes;
        }
        try {
            static thread_local ImageDecoder decoder;
            decoder.MakePictureFromFile(job.path.toStdString(), picture, 0, nullptr);
        } catch (const CTextException&) {
            return result; // not a picture we read: the preview stays empty, no message
        } catch (const std::bad_alloc&) {
            return result;
        }
        cachedPath = job.path;
        cachedStamp = stamp;
        cachedBytes = info.size();
    }
    result.decoded = true;
    result.bitsPerPixel = picture.GetBitsPerPixel();
    result.size = QSize(picture.GetWidth(), picture.GetHeight());
    const QRect placed = PreviewPlacement(result.size, QRect(QPoint(), job.area));
    if (placed.isEmpty()) return result;
    result.image = QImage(placed.size(), QImage::Format_ARGB32_Premultiplied);
    result.image.fill(Qt::transparent);
    QPainter painter(&result.image);
    const QRect dest(QPoint(), placed.size());
    picture.DrawRegion(painter, &dest, nullptr, true, HALFTONE, SRCCOPY);
    return result;
}

// -------------------------------------------------------------------------- CFilePicturePreview

CFilePicturePreview::CFilePicturePreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(QStringLiteral("Picture preview"));
}

void CFilePicturePreview::SetPicture(const QImage& shrunk, QSize pictureSize, int bitsPerPixel) {
    m_image = shrunk;
    m_pictureSize = pictureSize;
    m_bitsPerPixel = bitsPerPixel;
    m_hasPicture = true;
    update();
}

void CFilePicturePreview::Clear() {
    m_image = QImage();
    m_pictureSize = QSize();
    m_bitsPerPixel = 0;
    m_hasPicture = false;
    update();
}

QRect CFilePicturePreview::PictureRect() const {
    return m_hasPicture ? PreviewPlacement(m_pictureSize, Area()) : QRect();
}

void CFilePicturePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(Area(), palette().color(m_hasPicture ? QPalette::Button : QPalette::Dark));
    if (!m_hasPicture || m_image.isNull()) return;
    // Until the picture made for a new size arrives, the old one is stretched to the place.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(PictureRect(), m_image);
}

void CFilePicturePreview::resizeEvent(QResizeEvent*) {
    if (onResize) onResize();
}

// ------------------------------------------------------------------------------ CFilePreviewDlg

CFilePreviewDlg::CFilePreviewDlg(QWidget* parent, const QString& title)
    : QFileDialog(parent, title) {
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters(OpenFilters());
    selectNameFilter(OpenFilters().at(kAllFormatsFilter));

    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("previewPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    auto* options = new QGroupBox(QStringLiteral("Options"), panel);
    auto* line = new QHBoxLayout(options);
    m_check = new QCheckBox(QStringLiteral("Preview"), options);
    m_check->setChecked(m_previewOn);
    m_colorBits = new QLabel(options);
    m_imageSize = new QLabel(options);
    line->addWidget(m_check);
    line->addWidget(m_colorBits, 1);
    line->addWidget(m_imageSize, 1);
    m_preview = new CFilePicturePreview(panel);
    m_preview->onResize = [this] { Rerequest(); };
    column->addWidget(options);
    column->addWidget(m_preview, 1);
    RefreshLabels();

    // Beside the file list, in the same splitter, so that it lines up with the list.
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->addWidget(panel);
    else
        layout()->addWidget(panel);

    m_decoder = std::make_unique<CPreviewDecoder>([this](PreviewResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)]() mutable { Accept(std::move(result)); },
            Qt::QueuedConnection);
    });
    connect(this, &QFileDialog::currentChanged, this, &CFilePreviewDlg::LoadSelection);
    connect(m_check, &QCheckBox::toggled, this, &CFilePreviewDlg::SetPreviewEnabled);
}

CFilePreviewDlg::~CFilePreviewDlg() {
    // No result is posted to this object once the decoder is gone.
    m_decoder.reset();
}

QStringList CFilePreviewDlg::OpenFilters() {
    QStringList filters;
    QStringList all;
    for (const Filter& f : kReadable) {
        filters << QtFilter(f.name, f.patterns);
        all << f.patterns;
    }
    filters << QtFilter(QStringLiteral("All supported graphic formats"), all.join(';'));
    // "*.*" would hide the files without an extension here.
    filters << QStringLiteral("All Files (*.*) (*)");
    return filters;
}

void CFilePreviewDlg::LoadSelection(const QString& path) {
    m_current = path;
    if (!m_previewOn) return;
    if (path.isEmpty() || QFileInfo(path).isDir()) return;
    m_previewPath = path;
    m_requested += 1;
    m_decoder->Request(m_requested, path, m_preview->Area().size());
    m_preview->setCursor(Qt::BusyCursor);
}

void CFilePreviewDlg::Rerequest() {
    // A picture shown or on its way is made again for the new size (from the decoder's copy).
    if (!m_previewOn || m_previewPath.isEmpty() || (!m_preview->HasPicture() && !DecodePending()))
        return;
    m_requested += 1;
    m_decoder->Request(m_requested, m_previewPath, m_preview->Area().size());
}

void CFilePreviewDlg::SetPreviewEnabled(bool on) {
    if (m_check->isChecked() != on) m_check->setChecked(on); // comes back here
    if (m_previewOn == on) return;
    m_previewOn = on;
    if (on) {
        LoadSelection(m_current);
        return;
    }
    // Whatever is still being decoded is no longer wanted: its result is dropped on arrival.
    m_requested += 1;
    m_shown = m_requested;
    m_preview->unsetCursor();
    m_preview->Clear();
    RefreshLabels();
}

void CFilePreviewDlg::Accept(PreviewResult result) {
    if (result.request != m_requested) return; // a newer selection came since
    m_shown = result.request;
    m_preview->unsetCursor();
    if (result.decoded) {
        m_preview->SetPicture(result.image, result.size, result.bitsPerPixel);
        ++m_picturesShown;
    } else {
        m_preview->Clear();
    }
    RefreshLabels();
}

void CFilePreviewDlg::RefreshLabels() {
    const bool has = m_preview->HasPicture();
    const QSize size = m_preview->PictureSize();
    m_colorBits->setText(QStringLiteral("Color bits : %1")
                             .arg(has ? QString::number(m_preview->BitsPerPixel()) : Blank()));
    m_imageSize->setText(
        QStringLiteral("Image size : %1")
            .arg(has ? QStringLiteral("(%1,%2)").arg(size.width()).arg(size.height()) : Blank()));
}

// ---------------------------------------------------------------------------------- Save As

QStringList SaveAsFilters() {
    return {QStringLiteral("JPEG file (*.jpg)"), QStringLiteral("BMP file (*.bmp)"),
            QStringLiteral("PNG file (*.png)"), QStringLiteral("TIFF file (*.tif)"),
            QStringLiteral("GIF file (*.gif)")};
}

void SetUpSaveAsDialog(QFileDialog& dialog, const QString& proposedName) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(SaveAsFilters());
    dialog.selectNameFilter(SaveAsFilters().first());
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
}
