#include "framework/Commands.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStringList>

namespace {

const std::vector<CommandInfo> kTable = {
    {ID_APP_ABOUT, "&About...", "", "help-about", "Display program information and version\nAbout"},
    {ID_APP_EXIT, "E&xit", "", "application-exit", "Quit the application"},
    {ID_FILE_NEW, "&New Image...", "Ctrl+N", "document-new", "Create a new image"},
    {ID_FILE_OPEN, "&Open...", "Ctrl+O", "document-open", "Open an existing image\nOpen"},
    {ID_FILE_CLOSE, "&Close", "", "document-close", "Close the active image"},
    {ID_FILE_SAVE, "&Save", "Ctrl+S", "document-save", "Save the active image\nSave"},
    {ID_FILE_SAVE_AS, "Save &As...", "", "document-save-as",
     "Save the active image with a new name"},
    {ID_FILE_PRINT_SETUP, "P&rint Setup...", "", nullptr, "Change the printer and its options"},
    {ID_FILE_PRINT, "&Print...", "Ctrl+P", "document-print", "Print the active image\nPrint"},
    {ID_FILE_PRINT_PREVIEW, "Print Pre&view", "", "document-print-preview", "Display full pages"},
    {ID_EDIT_COPY, "&Copy", "Ctrl+C;Ctrl+Ins", "edit-copy",
     "Copy the selection to the clipboard\nCopy"},
    {ID_EDIT_CUT, "Cu&t", "Ctrl+X;Shift+Del", "edit-cut",
     "Cut the selection to the clipboard\nCut"},
    {ID_EDIT_PASTE, "&Paste Into Current Image ", "Ctrl+V;Shift+Ins", "edit-paste",
     "Paste the clipboard's image into the active image\nPaste"},
    {ID_EDIT_UNDO, "&Undo", "Ctrl+Z;Alt+Backspace", "edit-undo", "Undo the last action\nUndo"},
    {ID_EDIT_REDO, "&Redo", "", "edit-redo", "Redo the previously undone action\nRedo"},
    {ID_WINDOW_NEW, "&New Window", "", nullptr, "Open another window for the active image"},
    {ID_WINDOW_ARRANGE, "&Arrange Icons", "", nullptr, "Arrange icons at the bottom of the window"},
    {ID_WINDOW_CASCADE, "&Cascade", "", nullptr, "Arrange windows so they overlap"},
    {ID_WINDOW_TILE_HORZ, "&Tile", "", nullptr, "Arrange windows as non-overlapping tiles"},
    {ID_WINDOW_TAB_BAR, "Open File Tabs Bar", "", nullptr, "Show or hide the tab bar"},
    {ID_WINDOW_NEXT, "Next Window", "", nullptr, "Activate the next image window"},
    {ID_WINDOW_PREVIOUS, "Previous Window", "", nullptr, "Activate the previous image window"},
    {ID_WINDOW_SAVE_CLOSE_ALL, "Save and Close All", "", nullptr,
     "Save every modified image and close all images"},
    {ID_WINDOW_SAVE_ALL, "Save All", "", nullptr, "Save every modified image"},
    {ID_WINDOW_MANAGE, "&Windows...", "", nullptr, "Manage the open image windows"},
    {ID_HELP_FINDER, "&Help Topics", "", "help-contents", "List help topics"},
    {ID_CONTEXT_HELP, "Context Help", "Shift+F1", nullptr, "Display help for clicked items"},
    {ID_HELP, "Help", "F1", "help-contents", "Display help for the current task"},
    {ID_DEFAULT_HELP, "Help", "", nullptr, "Display help"},
    {ID_NEXT_PANE, "Next Pane", "F6", nullptr, "Switch to the next window pane"},
    {ID_PREV_PANE, "Previous Pane", "Shift+F6", nullptr, "Switch back to the previous pane"},
    {ID_VIEW_TOOLBAR, "&Toolbar", "", nullptr, "Show or hide the toolbar"},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "", nullptr, "Show or hide the status bar"},
    {ID_VIEW_TAB_BAR, "&Manage View Tab Bar", "", nullptr, "Show or hide the tab bar"},
    {ID_CAPTURE_ACTIVE_WINDOW, "Ac&tive Window", "", nullptr,
     "Capture the active window automatically\nCapture the active window automatically"},
    {ID_CAPTURE_ACTIVE_CLIENT, "Active Window C&lient", "", nullptr,
     "Capture the active client area automatically\nCapture the active client area automatically"},
    {ID_CAPTURE_CONTROL, "&Control,Button,Child Window", "", nullptr,
     "Capture a control,button or child window\nCapture a control,button or child window"},
    {ID_CAPTURE_SINGLE_WINDOW, "Sin&gle Window", "", nullptr,
     "Select and capture a window\nSelect and capture a window"},
    {ID_CAPTURE_RECTANGLE, "&Rectangle", "", nullptr,
     "Select and capture a rectangle area of the screen\nSelect and capture a rectangle area of "
     "the screen"},
    {ID_CAPTURE_SQUARE, "&Square", "", nullptr,
     "Select and capture a square area of  the screen\nSelect and capture a square area of  the "
     "screen"},
    {ID_CAPTURE_CIRCLE, "&Circle", "", nullptr,
     "Select and capture a circlel area of  the screen\nSelect and capture a circlel area of  the "
     "screen"},
    {ID_CAPTURE_ELLIPSE, "&Ellipse", "", nullptr,
     "Select and capture a oval area of  the screen\nSelect and capture a oval area of  the "
     "screen"},
    {ID_CAPTURE_MENU, "&Menu", "", nullptr, "Capture a displayed menu\nCapture a displayed menu"},
    {ID_CAPTURE_POLYGON, "&Polygon", "", nullptr,
     "Select and capture a polygonal area of  the screen\nSelect and capture a polygonal area of  "
     "the screen"},
    {ID_CAPTURE_DESKTOP, "&Desktop", "", nullptr,
     "Capture the entire screen\nCapture the entire screen"},
    {ID_CAPTURE_REPEAT_LAST, "&Repeat Last", "", nullptr,
     "Repeat last capture action\nRepeat last capture action"},
    {ID_CAPTURE_DEFAULT, "De&fault Action", "", nullptr,
     "Capture used default mode\nCapture used default mode"},
    {ID_CAPTURE_OPTIONS, "&Options...", "", "preferences-system", "Change the options\nOptions"},
    {ID_OP_RESIZE, "&Resize...", "", nullptr, "Resize the image\nResize"},
    {ID_OP_ROTATE_ANY, "Any Angle &Rotate...", "", nullptr, "Rotate the image by any angle"},
    {ID_OP_ROTATE_CW, "90\u00b0 &Clockwise", "", "object-rotate-right",
     "Rotate the image clockwise by 90 degrees\nRotate clockwise"},
    {ID_OP_ROTATE_CCW, "90\u00b0 C&ounter-Clockwise", "", "object-rotate-left",
     "Rotate the image counter-clockwise by 90 degrees\nRotate counter-clockwise"},
    {ID_OP_SCALE, "&Scale...", "", nullptr, "Scale the image"},
    {ID_OP_STRETCH, "S&trecth...", "", nullptr, "Stretch the image"},
    {ID_OP_CROP, "&Crop", "", nullptr, "Crop the image to the selection\nCrop"},
    {ID_OP_FLIP_H, "&Horizontally", "", "object-flip-horizontal", "Flip left to right"},
    {ID_OP_FLIP_V, "&Vertically", "", "object-flip-vertical", "Flip top to bottom"},
    {ID_OP_BRIGHTNESS, "&Brightness...", "", nullptr, "Change the brightness\nBrightness"},
    {ID_OP_CONTRAST, "C&ontrast...", "", nullptr, "Change the contrast\nContrast"},
    {ID_OP_GRAYSCALE, "&Grayscale", "", nullptr, "Turn the image grey"},
    {ID_OP_INTENSITY, "Intensity", "", nullptr, "Adjust the image intensity"},
    {ID_OP_INVERT, "&Invert", "", nullptr, "Invert the colours"},
    {ID_EDIT_SELECT_REGION, "&Select Region", "", nullptr,
     "Select a region of the image\nSelect region"},
    {ID_EDIT_SELECT_ALL, "Select &All", "", "edit-select-all", "Select the whole image"},
    {ID_EDIT_UNSELECT, "U&nselect Region", "", nullptr, "Remove the selection"},
    {ID_VIEW_ZOOM25, "&Zoom:25%", "", nullptr, "Show the image at 25 percent"},
    {ID_VIEW_ZOOM50, "Zoom:&50%", "", nullptr, "Show the image at 50 percent"},
    {ID_VIEW_ZOOM100, "Zoom:&100%", "", "zoom-original", "Show the image at its size"},
    {ID_VIEW_ZOOM200, "Zoom:&200%", "", nullptr, "Show the image at 200 percent"},
    {ID_VIEW_ZOOM400, "Zoom:&400%", "", nullptr, "Show the image at 400 percent"},
    {ID_VIEW_ZOOM_IN, "Zoom in", "", "zoom-in", "Zoom in\nZoom in"},
    {ID_VIEW_ZOOM_OUT, "Zoom out", "", "zoom-out", "Zoom out\nZoom out"},
    {ID_EDIT_PASTE_NEW, "Paste As Ne&w Image", "Ctrl+W", nullptr,
     "Make a new image from the clipboard"},
    {ID_FILE_CLOSE_ALL, "Close A&ll", "", nullptr, "Close all images"},
    {ID_SHOW_MAIN_WINDOW, "&Show Main Window", "", nullptr, "Show the main window"},
    {ID_EXPLORE_OUTPUT, "&Explore Output Directory", "", "folder-open",
     "Open the output directory"},
    {ID_HOME_PAGE, "Orvane Screen &Home Page", "", "go-home", "Visit the product web page"},
};

QPixmap Canvas() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon Draw(int id) {
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink(0x1f, 0x4e, 0x8c), fill(0xa8, 0xc8, 0xf0);
    QPen dashed(ink, 1, Qt::DashLine);
    p.setPen(QPen(ink, 1));
    p.setBrush(fill);
    switch (id) {
    case ID_CAPTURE_ACTIVE_WINDOW:
    case ID_CAPTURE_SINGLE_WINDOW:
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 3, ink);
        break;
    case ID_CAPTURE_ACTIVE_CLIENT:
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 2, ink);
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
        p.setPen(QPen(ink, 2));
        p.drawArc(QRectF(2, 2, 12, 12), 30 * 16, 270 * 16);
        p.setBrush(ink);
        const QPointF head[] = {{14, 1}, {14, 7}, {9, 5}};
        p.drawPolygon(head, 3);
        break;
    }
    case ID_CAPTURE_DEFAULT:
        p.drawRect(1, 3, 14, 10);
        p.setBrush(QColor(0xd0, 0x30, 0x30));
        p.drawEllipse(QRectF(5, 5, 6, 6));
        break;
    case ID_CAPTURE_OPTIONS:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2));
        p.drawEllipse(QRectF(4, 4, 8, 8));
        for (int k = 0; k < 4; ++k) {
            p.save();
            p.translate(8, 8);
            p.rotate(45.0 * k);
            p.drawLine(0, -7, 0, 7);
            p.restore();
        }
        break;
    default: {
        // Commands without a drawing of their own get none; the menu shows text only.
        p.end();
        return {};
    }
    }
    p.end();
    return QIcon(pm);
}

} // namespace

const std::vector<CommandInfo>& CommandTable() {
    return kTable;
}

const CommandInfo* FindCommand(int id) {
    for (const auto& c : kTable)
        if (c.id == id) return &c;
    return nullptr;
}

QList<QKeySequence> CommandShortcuts(int id) {
    QList<QKeySequence> keys;
    const CommandInfo* c = FindCommand(id);
    if (!c || !*c->shortcuts) return keys;
    for (const QString& s : QString::fromLatin1(c->shortcuts).split(';'))
        keys << QKeySequence(s, QKeySequence::PortableText);
    return keys;
}

bool IsCommandShortcut(const QKeySequence& key) {
    for (const auto& c : kTable)
        if (CommandShortcuts(c.id).contains(key)) return true;
    return false;
}

QString CommandPrompt(int id) {
    const CommandInfo* c = FindCommand(id);
    return c ? QString::fromUtf8(c->prompt).section('\n', 0, 0) : QString();
}

QString CommandToolTip(int id) {
    const CommandInfo* c = FindCommand(id);
    if (!c) return QString();
    const QString entry = QString::fromUtf8(c->prompt);
    // An entry without a tool-tip half lets its prompt serve as the tip.
    return entry.contains('\n') ? entry.section('\n', 1, 1) : entry;
}

QIcon OwnCommandIcon(int id) {
    return Draw(id);
}

QIcon CommandIcon(int id) {
    const CommandInfo* c = FindCommand(id);
    if (c && c->themeIcon && QIcon::hasThemeIcon(QString::fromLatin1(c->themeIcon)))
        return QIcon::fromTheme(QString::fromLatin1(c->themeIcon));
    return Draw(id);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, true);
        const double s = size / 16.0;
        p.scale(s, s);
        // A camera lens inside a dashed selection frame.
        p.setPen(QPen(QColor(0x1f, 0x4e, 0x8c), 1.2, Qt::DashLine));
        p.setBrush(QColor(0xe8, 0xf0, 0xfc));
        p.drawRect(QRectF(0.8, 0.8, 14.4, 14.4));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x4e, 0x8c));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.setBrush(QColor(0x6f, 0xb0, 0xff));
        p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
