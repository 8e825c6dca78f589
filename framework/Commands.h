#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

// Command IDs used across the program (menus, tool bars, accelerators, the tray menu).
enum CommandId : int {
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_HELP_INDEX = 57666,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_DEFAULT_HELP = 57671,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_CAPTURE_ACTIVE_WINDOW = 1100,
    ID_CAPTURE_CONTROL = 1101,
    ID_CAPTURE_MENU = 1103,
    ID_CAPTURE_ELLIPSE = 1104,
    ID_CAPTURE_POLYGON = 1152,
    ID_CAPTURE_RECTANGLE = 1168,
    ID_CAPTURE_REPEAT_LAST = 1232,
    ID_VIEW_TAB_BAR = 32787,
    ID_WINDOW_TAB_BAR = 32771,
    ID_WINDOW_NEXT = 32773,
    ID_WINDOW_PREVIOUS = 32774,
    ID_WINDOW_SAVE_CLOSE_ALL = 32775,
    ID_WINDOW_SAVE_ALL = 32776,
    ID_WINDOW_MANAGE = 32777,
    ID_CAPTURE_ACTIVE_CLIENT = 32788,
    ID_CAPTURE_CIRCLE = 32790,
    ID_CAPTURE_SQUARE = 32791,
    ID_CAPTURE_DESKTOP = 32792,
    ID_CAPTURE_SINGLE_WINDOW = 32793,
    ID_OP_RESIZE = 32794,
    ID_OP_ROTATE_ANY = 32795,
    ID_OP_ROTATE_CW = 32796,
    ID_OP_ROTATE_CCW = 32797,
    ID_OP_SCALE = 32798,
    ID_OP_STRETCH = 32799,
    ID_OP_CROP = 32800,
    ID_OP_FLIP_H = 32801,
    ID_OP_FLIP_V = 32802,
    ID_OP_BRIGHTNESS = 32803,
    ID_OP_CONTRAST = 32804,
    ID_OP_GRAYSCALE = 32805,
    ID_OP_INTENSITY = 32807,
    ID_EDIT_SELECT_REGION = 32808,
    ID_OP_INVERT = 32809,
    ID_VIEW_ZOOM25 = 32811,
    ID_VIEW_ZOOM50 = 32812,
    ID_VIEW_ZOOM100 = 32813,
    ID_VIEW_ZOOM200 = 32814,
    ID_VIEW_ZOOM400 = 32815,
    ID_EDIT_PASTE_NEW = 32818,
    ID_EDIT_SELECT_ALL = 32819,
    ID_CAPTURE_OPTIONS = 32822,
    ID_CAPTURE_DEFAULT = 32824,
    ID_VIEW_ZOOM_IN = 32839,
    ID_VIEW_ZOOM_OUT = 32840,
    ID_FILE_CLOSE_ALL = 32847,
    ID_EDIT_UNSELECT = 32848,
    ID_SHOW_MAIN_WINDOW = 32849,
    ID_EXPLORE_OUTPUT = 32850,
    ID_HOME_PAGE = 32854,
    ID_TRAY_BANNER = 666,
};

// What the program knows of each command in one place: its default text, its shortcuts, its
// tool-bar image (a desktop theme icon name, else one of the program's own drawings), its
// status-bar prompt and its tool-bar tool tip.
struct CommandInfo {
    int id;
    const char* text;
    const char* shortcuts; // "Ctrl+C;Ctrl+Ins", empty for none
    const char* themeIcon; // standard icon of the desktop theme, or null
    const char* prompt;    // "prompt\ntool tip"; without the second half the prompt is the tip
};

const CommandInfo* FindCommand(int id);
const std::vector<CommandInfo>& CommandTable();
QList<QKeySequence> CommandShortcuts(int id);
// Whether any command of the table is bound to the key.
bool IsCommandShortcut(const QKeySequence& key);
// The status-bar half of the command's prompt entry.
QString CommandPrompt(int id);
// The tool-tip half of the command's prompt entry.
QString CommandToolTip(int id);
// The command's image: the theme icon when the desktop has one, else our own drawing (none
// for commands without an image).
QIcon CommandIcon(int id);
// Our own drawing for a command (capture kinds and the rest without a standard icon).
QIcon OwnCommandIcon(int id);
// The program's icon (window, notification area, About box).
QIcon ProgramIcon();

// A menu as data: id 0 with no text is a separator, a popup has children.
struct MenuItem {
    int id;
    const char* text;
    std::vector<MenuItem> children = {};
};
