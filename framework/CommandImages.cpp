#include "framework/CommandImages.h"
#include "framework/Commands.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// One palette for every drawing, so that the tool bar reads as one set next to theme icons.
const QColor kInk(0x1f, 0x4e, 0x8c);
const QColor kFill(0xa8, 0xc8, 0xf0);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kAccent(0xd0, 0x30, 0x30);

// An arrow head pointing from `from` to `tip`, filled with the ink.
void ArrowHead(QPainter& p, QPointF from, QPointF tip, double size) {
    const QLineF shaft(tip, from);
    QLineF side = shaft;
    side.setLength(size);
    QLineF left = side, right = side;
    left.setAngle(side.angle() + 30);
    right.setAngle(side.angle() - 30);
    const QPointF head[] = {tip, left.p2(), right.p2()};
    p.save();
    p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kInk);
    p.drawPolygon(head, 3);
    p.restore();
}

// A sheet of paper with lines of text on it.
void Page(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    for (double y = r.top() + 2.5; y < r.bottom() - 1; y += 2)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

// Three quarters of a circle turning clockwise over the top, the head at the right end,
// around a small picture.
void RotateClockwise(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kFill);
    p.drawRect(QRectF(5.5, 8.5, 5, 5));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.5));
    p.drawArc(QRectF(2.5, 2.5, 10, 10), 200 * 16, -200 * 16);
    ArrowHead(p, QPointF(12.5, 4), QPointF(12.5, 10), 4);
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    p.setPen(QPen(kInk, 1));
    p.setBrush(kFill);
    p.drawEllipse(QRectF(1.5, 1.5, 10, 10));
    p.setPen(QPen(kInk, 1.5));
    p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (plus) p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
}

} // namespace

bool PaintCommandImage(int id, QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPen dashed(kInk, 1, Qt::DashLine);
    p.setPen(QPen(kInk, 1));
    p.setBrush(kFill);
    switch (id) {
    // Capture kinds: what is captured, its outline dashed where the user draws it.
    case ID_CAPTURE_ACTIVE_WINDOW:
    case ID_CAPTURE_SINGLE_WINDOW:
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 3, kInk);
        if (id == ID_CAPTURE_SINGLE_WINDOW) ArrowHead(p, QPointF(15, 15), QPointF(9, 9), 5);
        break;
    case ID_CAPTURE_ACTIVE_CLIENT:
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 2, kInk);
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(3, 6, 9, 5);
        break;
    case ID_CAPTURE_CONTROL:
        p.drawRoundedRect(2, 5, 12, 6, 2, 2);
        break;
    case ID_CAPTURE_RECTANGLE:
        p.setPen(dashed);
        p.drawRect(1, 3, 13, 9);
        break;
    case ID_CAPTURE_SQUARE:
        p.setPen(dashed);
        p.drawRect(2, 2, 11, 11);
        break;
    case ID_CAPTURE_CIRCLE:
        p.setPen(dashed);
        p.drawEllipse(QRectF(1.5, 1.5, 12, 12));
        break;
    case ID_CAPTURE_ELLIPSE:
        p.setPen(dashed);
        p.drawEllipse(QRectF(0.5, 3.5, 14, 9));
        break;
    case ID_CAPTURE_POLYGON: {
        p.setPen(dashed);
        const QPointF pts[] = {{2, 13}, {4, 2}, {9, 6}, {14, 3}, {13, 14}};
        p.drawPolygon(pts, 5);
        break;
    }
    case ID_CAPTURE_MENU:
        p.drawRect(3, 1, 10, 14);
        for (int y = 4; y < 14; y += 3) p.drawLine(5, y, 11, y);
        break;
    case ID_CAPTURE_DESKTOP:
        p.drawRect(1, 2, 14, 9);
        p.drawLine(8, 11, 8, 13);
        p.drawLine(5, 14, 11, 14);
        break;
    case ID_CAPTURE_REPEAT_LAST: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kInk, 2));
        p.drawArc(QRectF(2, 2, 12, 12), 30 * 16, 270 * 16);
        p.setBrush(kInk);
        const QPointF head[] = {{14, 1}, {14, 7}, {9, 5}};
        p.drawPolygon(head, 3);
        break;
    }
    case ID_CAPTURE_DEFAULT:
        p.drawRect(1, 3, 14, 10);
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(5, 5, 6, 6));
        break;
    case ID_CAPTURE_OPTIONS:
        // A gear: eight teeth around a ring.
        p.setPen(QPen(kInk, 2.5));
        for (int k = 0; k < 8; ++k) {
            p.save();
            p.translate(8, 8);
            p.rotate(45.0 * k);
            p.drawLine(QPointF(0, -4.5), QPointF(0, -7));
            p.restore();
        }
        p.setPen(QPen(kInk, 1));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.setBrush(kPaper);
        p.drawEllipse(QRectF(6, 6, 4, 4));
        break;

    // Files and the clipboard.
    case ID_FILE_OPEN: {
        const QPointF back[] = {{1.5, 13.5}, {1.5, 2.5},  {6, 2.5},
                                {7.5, 4.5},  {13.5, 4.5}, {13.5, 13.5}};
        p.drawPolygon(back, 6);
        p.setBrush(kPaper);
        const QPointF front[] = {{1.5, 13.5}, {4, 7.5}, {15.5, 7.5}, {13.5, 13.5}};
        p.drawPolygon(front, 4);
        break;
    }
    case ID_FILE_SAVE:
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.fillRect(QRectF(9, 2.5, 1.5, 3), kInk);
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ID_FILE_PRINT:
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(kFill);
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.fillRect(QRectF(11.5, 8, 1.5, 1.5), kAccent);
        break;
    case ID_EDIT_CUT:
        p.setPen(QPen(kInk, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 10), QPointF(11.5, 1.5));
        p.drawLine(QPointF(10.5, 10), QPointF(4.5, 1.5));
        p.setPen(QPen(kInk, 1));
        p.drawEllipse(QRectF(1.5, 10, 4.5, 4.5));
        p.drawEllipse(QRectF(10, 10, 4.5, 4.5));
        break;
    case ID_EDIT_COPY:
        Page(p, QRectF(1.5, 1.5, 8, 10));
        Page(p, QRectF(6.5, 4.5, 8, 10));
        break;
    case ID_EDIT_PASTE:
        p.drawRect(QRectF(1.5, 2.5, 10, 12));
        p.setBrush(kInk);
        p.drawRect(QRectF(4.5, 1, 4, 3));
        Page(p, QRectF(6.5, 6.5, 8, 8));
        break;
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO: {
        if (id == ID_EDIT_REDO) { // the same turn, mirrored
            p.translate(16, 0);
            p.scale(-1, 1);
        }
        QPainterPath path(QPointF(13.5, 13.5));
        path.cubicTo(QPointF(14, 6), QPointF(9, 4.5), QPointF(4, 6.5));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(path);
        ArrowHead(p, QPointF(7, 5.5), QPointF(1.5, 7.5), 5.5);
        break;
    }
    case ID_EDIT_SELECT_REGION: {
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(1.5, 1.5, 10, 9));
        const QPointF pointer[] = {{7.5, 6.5}, {7.5, 15}, {9.5, 13}, {11, 15.5},
                                   {12.5, 15}, {11, 12},  {13.5, 12}};
        p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(kPaper);
        p.drawPolygon(pointer, 7);
        break;
    }

    // The view.
    case ID_VIEW_ZOOM_IN:
    case ID_VIEW_ZOOM_OUT:
        Magnifier(p, id == ID_VIEW_ZOOM_IN);
        break;

    // Image operations.
    case ID_OP_BRIGHTNESS:
        p.setPen(QPen(kInk, 1.5, Qt::SolidLine, Qt::RoundCap));
        for (int k = 0; k < 8; ++k) {
            p.save();
            p.translate(8, 8);
            p.rotate(45.0 * k);
            p.drawLine(QPointF(0, -5), QPointF(0, -7));
            p.restore();
        }
        p.setPen(QPen(kInk, 1));
        p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
        break;
    case ID_OP_CONTRAST:
        p.setBrush(kPaper);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(kInk);
        p.drawPie(QRectF(1.5, 1.5, 13, 13), 90 * 16, 180 * 16);
        break;
    case ID_OP_CROP:
        p.fillRect(QRectF(4, 4, 8, 8), kFill);
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        {
            const QPointF upper[] = {{4, 0.5}, {4, 12}, {15.5, 12}};
            const QPointF lower[] = {{0.5, 4}, {12, 4}, {12, 15.5}};
            p.drawPolyline(upper, 3);
            p.drawPolyline(lower, 3);
        }
        break;
    case ID_OP_RESIZE:
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(kInk, 1));
        p.setBrush(kFill);
        p.drawRect(QRectF(1.5, 8.5, 6, 6));
        p.setPen(QPen(kInk, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 10), QPointF(11, 5));
        ArrowHead(p, QPointF(6, 10), QPointF(13, 3), 4);
        break;
    case ID_OP_ROTATE_CW:
        RotateClockwise(p);
        break;
    case ID_OP_ROTATE_CCW:
        p.translate(16, 0);
        p.scale(-1, 1);
        RotateClockwise(p);
        break;

    // Help.
    case ID_APP_ABOUT:
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QRectF(7, 3.5, 2, 2));
        p.drawRect(QRectF(7, 7, 2, 5.5));
        break;
    default:
        return false;
    }
    return true;
}

QIcon DrawnCommandIcon(int id) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.scale(size / 16.0, size / 16.0);
        const bool drawn = PaintCommandImage(id, p);
        p.end();
        // Commands without a drawing of their own get none; the menu shows text only.
        if (!drawn) return {};
        icon.addPixmap(pm);
    }
    return icon;
}

void PaintProgramIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    // A camera lens inside a dashed selection frame.
    p.setPen(QPen(kInk, 1.2, Qt::DashLine));
    p.setBrush(QColor(0xe8, 0xf0, 0xfc));
    p.drawRect(QRectF(0.8, 0.8, 14.4, 14.4));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QRectF(3, 3, 10, 10));
    p.setBrush(QColor(0x6f, 0xb0, 0xff));
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
}

QIcon DrawnProgramIcon() {
    QIcon icon;
    for (int size : kProgramIconSizes) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.scale(size / 16.0, size / 16.0);
        PaintProgramIcon(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
