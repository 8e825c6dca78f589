#include "capture/CaptureActions.h"

#include <cstring>

const CaptureAction CaptureActionTable[CAPTURE_ACTION_COUNT] = {
    {0, 1100, "Ac&tive Window", "ActiveWindow", CaptureKind::Immediate, TM_ACTIVE_WINDOW, 0,
     "active-window"},
    {1, 32788, "Active Window C&lient", "ActiveWindowClient", CaptureKind::Immediate,
     TM_CLIENT_AREA, 0, "client-area"},
    {2, 1101, "&Control,Button,Child Window", "Control", CaptureKind::Pick, TM_CONTROL, 261,
     "control"},
    {3, 32791, "&Square", "Square", CaptureKind::Region, TM_SQUARE, 233, "square"},
    {4, 1168, "&Rectangle", "Rectangle", CaptureKind::Region, TM_RECTANGLE, 9, "rectangle"},
    {5, 32790, "&Circle", "Circle", CaptureKind::Region, TM_CIRCLE, 340, "circle"},
    {6, 1104, "&Ellipse", "Ellipse", CaptureKind::Region, TM_ELLIPSE, 7, "ellipse"},
    {7, 1152, "&Polygon", "Polygon", CaptureKind::Polygon, TM_POLYGON, 255, "polygon"},
    {8, 1103, "&Menu", "PopupMenu", CaptureKind::Immediate, TM_MENU, 0, "menu"},
    {9, 32792, "&Desktop", "Desktop", CaptureKind::Immediate, TM_DESKTOP, 0, "desktop"},
    {10, 32793, "Sin&gle Window", "SingleWindow", CaptureKind::Pick, TM_SINGLE_WINDOW, 10,
     "window"},
    {11, 1232, "&Repeat Last", "RepeatLast", CaptureKind::Repeat, TM_NONE, 0, "repeat"},
    {12, 32824, "De&fault Action", "Default", CaptureKind::Default, TM_NONE, 0, "default"},
};

const CaptureAction* CaptureActionForCommand(int command) {
    for (const CaptureAction& a : CaptureActionTable)
        if (a.command == command) return &a;
    return nullptr;
}

const CaptureAction* CaptureActionForName(const char* commandLineName) {
    for (const CaptureAction& a : CaptureActionTable)
        if (std::strcmp(a.commandLineName, commandLineName) == 0) return &a;
    return nullptr;
}

int DefaultActionIndex(int value) {
    // (value, action index), first match wins.
    static const int table[][2] = {{0, 0}, {1, 1}, {4, 4},   {3, 3}, {5, 5}, {6, 6},
                                   {2, 2}, {9, 9}, {10, 10}, {8, 8}, {7, 7}};
    for (const auto& row : table)
        if (row[0] == value) return row[1];
    return -1;
}
