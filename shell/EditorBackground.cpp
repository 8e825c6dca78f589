#include "shell/EditorBackground.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QMdiArea>
#include <QPainter>
#include <QPalette>

#include "dialogs/AboutDlg.h"
#include "framework/LogicalFont.h"
#include "platform/RegProfile.h"

namespace {
// Colours are kept in the profile as 0x00BBGGRR.
DWORD ToColorRef(const QColor& c) {
    return DWORD(c.red()) | DWORD(c.green()) << 8 | DWORD(c.blue()) << 16;
}
QColor FromColorRef(DWORD v) {
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

void ColorValue(CRegProfile& profile, const char* name, QColor& color) {
    DWORD value = ToColorRef(color);
    if (profile.DwordValue(name, value) == 0 && profile.Loading()) color = FromColorRef(value);
}
} // namespace

CEditorBackground::CEditorBackground(QMdiArea* mdi) : QObject(mdi), m_mdi(mdi) {
    const QPalette palette = QApplication::palette();
    backColor = palette.color(QPalette::Dark);
    logoColor = palette.color(QPalette::Button);
    logoRecord.lfHeight = CharacterHeight(18, ScreenDpiY());
    logoRecord.lfWeight = FW_BOLD;
    logoRecord.lfPitchAndFamily = FF_ROMAN;
    logoRecord.lfFaceName = "Times New Roman";
    logoFont = FontFromLogFont(logoRecord);
    mdi->viewport()->installEventFilter(this);
}

void CEditorBackground::Load(CRegProfile& profile) {
    profile.SetSection("Settings");
    std::vector<uint8_t> bytes;
    if (profile.BinaryValue("TVLogoFont", bytes) == 0)
        if (auto record = UnpackLogFont(bytes.data(), bytes.size())) {
            logoRecord = *record;
            logoFont = FontFromLogFont(logoRecord);
        }
    profile.IntValue("TVBkBitmap", bkBitmap);
    ColorValue(profile, "TVLogoColor", logoColor);
    ColorValue(profile, "TVBackColor", backColor);
    profile.IntValue("TVDispType", dispType);
    if (fileName.isEmpty()) {
        std::string name;
        if (profile.StringValue("TVFileName", name) == 0)
            SetBitmapFile(QString::fromStdString(name));
    }
}

void CEditorBackground::Save(CRegProfile& profile) {
    profile.SetSection("Settings");
    const auto packed = PackLogFont(LogFontFromFont(logoFont, ScreenDpiY(), logoRecord));
    std::vector<uint8_t> bytes(packed.begin(), packed.end());
    profile.BinaryValue("TVLogoFont", bytes);
    ColorValue(profile, "TVLogoColor", logoColor);
    ColorValue(profile, "TVBackColor", backColor);
    profile.IntValue("TVDispType", dispType);
    profile.IntValue("TVBkBitmap", bkBitmap);
    std::string name = fileName.toStdString();
    profile.StringValue("TVFileName", name);
}

void CEditorBackground::SetBitmapFile(const QString& path) {
    fileName = path;
    bitmap = path.isEmpty() ? QImage() : QImage(path);
    m_mdi->viewport()->update();
}

QString CEditorBackground::ProductLine() {
    return QString("Orvane Screen => ") + CAboutDlg::kWebPage;
}

QRect CEditorBackground::ProductLineRect(const QRect& client) const {
    const QFontMetrics metrics(logoFont);
    const QSize text = metrics.size(Qt::TextSingleLine, ProductLine());
    const int left = client.right() + 1 - metrics.averageCharWidth() / 2 - text.width();
    const int top = client.bottom() + 1 - metrics.height() / 5 - text.height();
    return QRect(QPoint(left, top), client.bottomRight());
}

void CEditorBackground::Paint(QPainter& painter, const QRect& client) const {
    painter.fillRect(client, backColor);
    if (!bitmap.isNull()) {
        // A tiled picture is the whole background: no product line over it.
        if (dispType == Tile) {
            painter.drawTiledPixmap(client, QPixmap::fromImage(bitmap));
            return;
        }
        if (dispType == Stretch)
            painter.drawImage(client, bitmap);
        else
            painter.drawImage(client.center() - QPoint(bitmap.width(), bitmap.height()) / 2,
                              bitmap);
    }
    // Engraved: a dark and a light copy either side, then the text in the logo colour.
    const QRect r = ProductLineRect(client);
    const int shift = QFontMetrics(logoFont).averageCharWidth() / 5;
    painter.setFont(logoFont);
    const std::pair<QColor, int> passes[] = {
        {Qt::black, shift}, {Qt::white, -shift}, {logoColor, 0}};
    for (const auto& [color, dx] : passes) {
        painter.setPen(color);
        painter.drawText(r.translated(dx, 0), Qt::AlignCenter | Qt::TextSingleLine, ProductLine());
    }
}

bool CEditorBackground::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || watched != m_mdi->viewport())
        return QObject::eventFilter(watched, event);
    QPainter painter(m_mdi->viewport());
    Paint(painter, m_mdi->viewport()->rect());
    return true;
}
