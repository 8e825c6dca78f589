#include "framework/Commands.h"
#include "framework/CommandImages.h"

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
    return DrawnCommandIcon(id);
}

QIcon CommandIcon(int id) {
    const CommandInfo* c = FindCommand(id);
    if (c && c->themeIcon && QIcon::hasThemeIcon(QString::fromLatin1(c->themeIcon)))
        return QIcon::fromTheme(QString::fromLatin1(c->themeIcon));
    return DrawnCommandIcon(id);
}

QIcon ProgramIcon() {
    return DrawnProgramIcon();
}
