#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>

#include "platform/LogFont.h"

class QMdiArea;
class QPainter;
class CRegProfile;

// The empty area behind the image windows: a colour or a picture, and the engraved product
// line at the lower right.
class CEditorBackground : public QObject {
public:
    enum DispType { Tile = 0, Centre = 1, Stretch = 2 };

    explicit CEditorBackground(QMdiArea* mdi);

    // The "TV..." values of section "Settings"; reading keeps the current value as default.
    void Load(CRegProfile& profile);
    void Save(CRegProfile& profile);
    // A file that cannot be loaded leaves the plain background.
    void SetBitmapFile(const QString& path);

    static QString ProductLine();
    // Where the product line goes in a client rectangle, from the logo font's metrics.
    QRect ProductLineRect(const QRect& client) const;
    void Paint(QPainter& painter, const QRect& client) const;

    QColor backColor;
    QColor logoColor;
    int dispType = Centre;
    int bkBitmap = 1;
    QString fileName;
    QFont logoFont;
    QImage bitmap;
    // The record the logo font was made from: what a QFont cannot hold is written back as read.
    LOGFONT logoRecord;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiArea* m_mdi;
};
