#include "imagefile/DisplayPicture.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>

#include <cstring>
#include <memory>

namespace {

QPainter::CompositionMode CompositionFor(uint32_t rop) {
    switch (rop) {
    case SRCPAINT:
        return QPainter::RasterOp_SourceOrDestination;
    case SRCAND:
        return QPainter::RasterOp_SourceAndDestination;
    case SRCINVERT:
        return QPainter::RasterOp_SourceXorDestination;
    case NOTSRCCOPY:
        return QPainter::RasterOp_NotSource;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

// Clipboard contents made on request: a paste in another program asks for one format only,
// so nothing is encoded that nobody reads.
class PictureMimeData : public QMimeData {
public:
    // Takes a snapshot: the clipboard keeps the picture as it was when copied. The memory of
    // the snapshot being replaced is reused when there is one: a fresh screen-sized block
    // costs more to fault in than the copy itself.
    PictureMimeData(const CPicture& picture, PictureMimeData* replaced) {
        if (replaced && replaced->m_picture)
            m_picture = std::move(replaced->m_picture);
        else
            m_picture = std::make_unique<CDisplayPicture>();
        m_picture->CopyWithDepth(picture, 0);
    }

    QStringList formats() const override {
        return {QStringLiteral("image/png"), QStringLiteral("image/bmp")};
    }
    bool hasFormat(const QString& mime) const override { return formats().contains(mime); }

protected:
    QVariant retrieveData(const QString& mime, QMetaType) const override {
        if (!m_picture) return {};
        if (mime == QLatin1String("image/bmp")) {
            if (m_bmp.isEmpty()) {
                const std::vector<uint8_t> bmp = m_picture->GetBmpFile();
                m_bmp =
                    QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size()));
            }
            return m_bmp;
        }
        if (mime == QLatin1String("image/png")) {
            if (m_png.isEmpty()) {
                QBuffer buffer(&m_png);
                buffer.open(QIODevice::WriteOnly);
                m_picture->WrapPixels().mirrored(false, true).save(&buffer, "PNG");
            }
            return m_png;
        }
        return {};
    }

private:
    std::unique_ptr<CDisplayPicture> m_picture;
    mutable QByteArray m_bmp, m_png;
};

} // namespace

QImage CDisplayPicture::WrapPixels() const {
    const int w = GetWidth(), h = GetHeight(), stride = GetBytesPerLine();
    QImage image;
    switch (GetBitsPerPixel()) {
    case 32:
        image = QImage(GetBits(), w, h, stride,
                       HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        break;
    case 8:
    case 1: {
        image = QImage(GetBits(), w, h, stride,
                       GetBitsPerPixel() == 8 ? QImage::Format_Indexed8 : QImage::Format_Mono);
        QList<QRgb> table(GetPaletteSize());
        const RGBAPIXEL* pal = GetPalette();
        for (int i = 0; i < GetPaletteSize(); ++i) table[i] = qRgb(pal[i].r, pal[i].g, pal[i].b);
        image.setColorTable(table);
        break;
    }
    }
    return image;
}

QImage CDisplayPicture::ToQImage() const {
    return WrapPixels().mirrored(false, true);
}

void CDisplayPicture::CreateFromQImage(const QImage& source) {
    QImage image = source;
    uint16_t bpp = 32;
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) {
        image = image.convertToFormat(QImage::Format_Mono);
        bpp = 1;
    } else if (image.format() == QImage::Format_Indexed8) {
        bpp = 8;
    } else {
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                              : QImage::Format_RGB32);
    }
    CreateForOverwrite(image.width(), image.height(), bpp, bpp == 32 && image.hasAlphaChannel());
    if (bpp <= 8) {
        const QList<QRgb> table = image.colorTable();
        std::memset(GetPalette(), 0, size_t(GetPaletteSize()) * 4);
        for (int i = 0; i < std::min<int>(int(table.size()), GetPaletteSize()); ++i)
            SetPaletteEntry(i, uint8_t(qRed(table[i])), uint8_t(qGreen(table[i])),
                            uint8_t(qBlue(table[i])), 255);
    }
    const size_t rowBytes =
        std::min<size_t>(size_t(GetBytesPerLine()), size_t(image.bytesPerLine()));
    for (int y = 0; y < GetHeight(); ++y)
        std::memcpy(GetLineArray()[y], image.constScanLine(y), rowBytes);
}

void CDisplayPicture::DrawRegion(QPainter& painter, const QRect* dest, const QRect* src, bool,
                                 int stretchMode, uint32_t rop) const {
    const QRect whole(0, 0, GetWidth(), GetHeight());
    const QRect s = src ? *src : whole;
    const QRect d = dest ? *dest : s;
    if (s.isEmpty() || d.isEmpty()) return;

    painter.save();
    painter.setCompositionMode(CompositionFor(rop));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, stretchMode == HALFTONE);
    // The wrapped image is upside down: its row r is the picture's row height - 1 - r.
    const QImage image = WrapPixels();
    const QRectF imageSource(s.x(), GetHeight() - s.y() - s.height(), s.width(), s.height());
    painter.translate(d.x(), d.y() + d.height());
    painter.scale(double(d.width()) / s.width(), -double(d.height()) / s.height());
    painter.drawImage(QRectF(0, 0, s.width(), s.height()), image, imageSource);
    painter.restore();
}

void CDisplayPicture::DrawRegionStretched(QPainter& painter, const QRect* dest, const QRect* src,
                                          bool foreground, int stretchMode, uint32_t rop) const {
    DrawRegion(painter, dest, src, foreground, stretchMode < 0 ? HALFTONE : stretchMode, rop);
}

void CDisplayPicture::DrawAt(QPainter& painter, int x, int y, uint32_t rop) const {
    const QRect dest(x, y, GetWidth(), GetHeight());
    DrawRegion(painter, &dest, nullptr, true, -1, rop);
}

void CDisplayPicture::DrawScaled(QPainter& painter, int x, int y, int width, int height,
                                 uint32_t rop) const {
    const QRect dest(x, y, width, height);
    DrawRegion(painter, &dest, nullptr, true, -1, rop);
}

void CDisplayPicture::DrawScaled(QPainter& painter, int x, int y, double factor,
                                 uint32_t rop) const {
    DrawScaled(painter, x, y, int(GetWidth() * factor), int(GetHeight() * factor), rop);
}

void CDisplayPicture::DrawPart(QPainter& painter, QPoint dest, const QRect& src) const {
    const QRect d(dest, src.size());
    DrawRegion(painter, &d, &src, true, -1, SRCCOPY);
}

void CDisplayPicture::CopyToClipboard() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // Our own earlier copy, about to be replaced, lends its memory to the new one.
    PictureMimeData* replaced =
        clipboard->ownsClipboard()
            ? dynamic_cast<PictureMimeData*>(const_cast<QMimeData*>(clipboard->mimeData()))
            : nullptr;
    clipboard->setMimeData(new PictureMimeData(*this, replaced));
}

bool CDisplayPicture::CreateFromClipboard(int format) {
    if (format != CF_BITMAP && format != CF_DIB) return false;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return false;
    // A bitmap keeps its depth; other images come through Qt's readers.
    const QByteArray bmp = mime->hasFormat(QStringLiteral("image/bmp"))
                               ? mime->data(QStringLiteral("image/bmp"))
                               : QByteArray();
    if (bmp.size() > 14 && bmp.startsWith("BM")) {
        try {
            CreateFromDIB(reinterpret_cast<const uint8_t*>(bmp.constData()) + 14,
                          size_t(bmp.size()) - 14);
            return true;
        } catch (const CTextException&) {
            // fall through to the other readers
        }
    }
    QImage image;
    if (mime->hasImage()) image = qvariant_cast<QImage>(mime->imageData());
    if (image.isNull()) {
        for (const QString& f : mime->formats()) {
            if (!f.startsWith(QLatin1String("image/"))) continue;
            if (image.loadFromData(mime->data(f))) break;
        }
    }
    if (image.isNull()) return false;
    CreateFromQImage(image);
    return true;
}

bool CDisplayPicture::CreateFromResource(int id) {
    QFile file(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.readAll();
    if (data.size() <= 14 || !data.startsWith("BM")) return false;
    try {
        CreateFromDIB(reinterpret_cast<const uint8_t*>(data.constData()) + 14,
                      size_t(data.size()) - 14);
    } catch (const CTextException&) {
        return false;
    }
    return true;
}
