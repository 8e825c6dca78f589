#include "shell/Menus.h"

#include "dialogs/AboutDlg.h"
#include "view/ImageView.h"

namespace {

const MenuItem kSep{0, nullptr};

// The Capture items carry the notification-area texts until their hotkey texts are made.
MenuItem CaptureMenu() {
    return {0,
            "&Capture",
            {
                {ID_CAPTURE_OPTIONS, "&Options..."},
                kSep,
                {ID_CAPTURE_ACTIVE_WINDOW, "Ac&tive Window"},
                {ID_CAPTURE_ACTIVE_CLIENT, "Active Window C&lient"},
                {ID_CAPTURE_CONTROL, "&Control,Button,Child Window"},
                {ID_CAPTURE_SINGLE_WINDOW, "Sin&gle Window"},
                {ID_CAPTURE_SQUARE, "&Square"},
                {ID_CAPTURE_RECTANGLE, "&Rectangle"},
                {ID_CAPTURE_POLYGON, "&Polygon"},
                {ID_CAPTURE_CIRCLE, "&Circle"},
                {ID_CAPTURE_ELLIPSE, "&Ellipse"},
                {ID_CAPTURE_MENU, "&Menu"},
                {ID_CAPTURE_DESKTOP, "&Desktop"},
                kSep,
                {ID_CAPTURE_REPEAT_LAST, "&Repeat Last"},
                {ID_CAPTURE_DEFAULT, "De&fault Action"},
            }};
}

MenuItem HelpMenu() {
    return {0,
            "&Help",
            {
                {ID_HELP_FINDER, "&Help Topics"},
                kSep,
                {ID_HOME_PAGE, "Orvane Screen &Home Page"},
                kSep,
                {ID_APP_ABOUT, "&About..."},
            }};
}

} // namespace

std::vector<MenuItem> DefaultMenu() {
    return {
        {0,
         "&File",
         {
             {ID_FILE_OPEN, "&Open...\tCtrl+O"},
             kSep,
             {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
             kSep,
             {ID_EXPLORE_OUTPUT, "&Explore Output Directory"},
             kSep,
             {ID_FILE_MRU_FILE1, "Recent File"},
             kSep,
             {ID_APP_EXIT, "E&xit"},
         }},
        {0, "&Edit", {{ID_EDIT_PASTE_NEW, "Paste As Ne&w Image\tCtrl+W"}}},
        CaptureMenu(),
        {0,
         "&View",
         {
             {ID_VIEW_TOOLBAR, "&Toolbar"},
             {ID_VIEW_STATUS_BAR, "&Status Bar"},
             {ID_VIEW_TAB_BAR, "&Manage View Tab Bar"},
         }},
        HelpMenu(),
    };
}

std::vector<MenuItem> DocumentMenu() {
    return {
        {0,
         "&File",
         {
             {ID_FILE_OPEN, "&Open...\tCtrl+O"},
             {ID_FILE_CLOSE, "&Close"},
             {ID_FILE_CLOSE_ALL, "Close A&ll"},
             {ID_FILE_SAVE, "&Save\tCtrl+S"},
             {ID_FILE_SAVE_AS, "Save &As..."},
             kSep,
             {ID_FILE_PRINT, "&Print...\tCtrl+P"},
             {ID_FILE_PRINT_PREVIEW, "Print Pre&view"},
             {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
             kSep,
             {ID_EXPLORE_OUTPUT, "&Explore Output Directory"},
             kSep,
             {ID_FILE_MRU_FILE1, "Recent File"},
             kSep,
             {ID_APP_EXIT, "E&xit"},
         }},
        {0,
         "&Edit",
         {
             {ID_EDIT_UNDO, "&Undo\tCtrl+Z"},
             {ID_EDIT_REDO, "&Redo"},
             kSep,
             {ID_EDIT_CUT, "Cu&t\tCtrl+X"},
             {ID_EDIT_COPY, "&Copy\tCtrl+C"},
             {ID_EDIT_PASTE, "&Paste Into Current Image \tCtrl+V"},
             {ID_EDIT_PASTE_NEW, "Paste As Ne&w Image\tCtrl+W"},
             kSep,
             {ID_EDIT_SELECT_REGION, "&Select Region"},
             {ID_EDIT_SELECT_ALL, "Select &All"},
             {ID_EDIT_UNSELECT, "U&nselect Region"},
         }},
        CaptureMenu(),
        {0, "&Operations", OperationsMenuItems()},
        {0,
         "&View",
         {
             {ID_VIEW_ZOOM25, "&Zoom:25%"},
             {ID_VIEW_ZOOM50, "Zoom:&50%"},
             {ID_VIEW_ZOOM100, "Zoom:&100%"},
             {ID_VIEW_ZOOM200, "Zoom:&200%"},
             {ID_VIEW_ZOOM400, "Zoom:&400%"},
             kSep,
             {ID_VIEW_TOOLBAR, "&Toolbar"},
             {ID_VIEW_STATUS_BAR, "&Status Bar"},
             {ID_VIEW_TAB_BAR, "&Manage View Tab Bar"},
         }},
        {0,
         "&Window",
         {
             {ID_WINDOW_NEW, "&New Window"},
             {ID_WINDOW_CASCADE, "&Cascade"},
             {ID_WINDOW_ARRANGE, "&Arrange Icons"},
             kSep,
             {ID_WINDOW_MANAGE, "&Windows..."},
         }},
        HelpMenu(),
    };
}

MenuItem TabViewMenu() {
    return {0,
            "TabViewCtrl",
            {
                {ID_TRAY_BANNER, CAboutDlg::kWebPage},
                {ID_FILE_CLOSE, "&Close"},
                {ID_FILE_CLOSE_ALL, "Close A&ll"},
                {ID_FILE_SAVE, "&Save\tCtrl+S"},
                {ID_FILE_SAVE_AS, "Save &As..."},
                kSep,
                {ID_FILE_PRINT_PREVIEW, "Print Pre&view"},
                {ID_FILE_PRINT, "&Print...\tCtrl+P"},
                {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
                kSep,
                {ID_WINDOW_NEW, "&New Window"},
                {ID_WINDOW_CASCADE, "&Cascade"},
                {ID_WINDOW_TILE_HORZ, "&Tile"},
                {ID_WINDOW_MANAGE, "Windows &Manage..."},
            }};
}

MenuItem TrayMenu() {
    return {0,
            "Tray",
            {
                {ID_TRAY_BANNER, CAboutDlg::kWebPage},
                {ID_CAPTURE_OPTIONS, "&Options..."},
                kSep,
                {ID_CAPTURE_ACTIVE_WINDOW, "Ac&tive Window"},
                {ID_CAPTURE_ACTIVE_CLIENT, "Active Window C&lient"},
                {ID_CAPTURE_CONTROL, "&Control,Button,Child Window"},
                {ID_CAPTURE_SINGLE_WINDOW, "Sin&gle Window"},
                {ID_CAPTURE_RECTANGLE, "&Rectangle"},
                {ID_CAPTURE_SQUARE, "&Square"},
                {ID_CAPTURE_CIRCLE, "&Circle"},
                {ID_CAPTURE_ELLIPSE, "&Ellipse"},
                {ID_CAPTURE_MENU, "&Menu"},
                {ID_CAPTURE_POLYGON, "&Polygon"},
                {ID_CAPTURE_DESKTOP, "&Desktop"},
                kSep,
                {ID_CAPTURE_REPEAT_LAST, "&Repeat Last"},
                {ID_CAPTURE_DEFAULT, "De&fault Action"},
                kSep,
                {ID_SHOW_MAIN_WINDOW, "&Show Main Window"},
                {ID_APP_ABOUT, "&About Orvane Screen..."},
                {ID_HOME_PAGE, "&Home Page"},
                kSep,
                {ID_APP_EXIT, "E&xit TilletCapture"},
            }};
}

std::vector<int> MainToolBar() {
    return {ID_FILE_OPEN,
            ID_FILE_SAVE,
            ID_FILE_PRINT,
            0,
            ID_EDIT_CUT,
            ID_EDIT_COPY,
            ID_EDIT_PASTE,
            ID_EDIT_UNDO,
            ID_EDIT_REDO,
            ID_EDIT_SELECT_REGION,
            0,
            ID_CAPTURE_OPTIONS,
            ID_CAPTURE_DEFAULT,
            ID_CAPTURE_REPEAT_LAST,
            0,
            ID_CAPTURE_DESKTOP,
            ID_CAPTURE_CONTROL,
            ID_CAPTURE_ACTIVE_WINDOW,
            ID_CAPTURE_ACTIVE_CLIENT,
            ID_CAPTURE_RECTANGLE,
            ID_CAPTURE_SQUARE,
            ID_CAPTURE_CIRCLE,
            ID_CAPTURE_ELLIPSE,
            ID_CAPTURE_POLYGON,
            0,
            ID_VIEW_ZOOM_IN,
            ID_VIEW_ZOOM_OUT,
            0,
            ID_OP_BRIGHTNESS,
            ID_OP_CONTRAST,
            ID_OP_CROP,
            ID_OP_RESIZE,
            ID_OP_ROTATE_CW,
            ID_OP_ROTATE_CCW,
            0,
            ID_APP_ABOUT};
}

std::vector<int> AcceleratorCommands() {
    return {ID_EDIT_COPY,    ID_FILE_NEW,       ID_FILE_OPEN, ID_FILE_PRINT, ID_FILE_SAVE,
            ID_EDIT_PASTE,   ID_EDIT_PASTE_NEW, ID_EDIT_CUT,  ID_EDIT_UNDO,  ID_HELP,
            ID_CONTEXT_HELP, ID_NEXT_PANE,      ID_PREV_PANE};
}
