#include "capture/CaptureActions.h"

const CaptureAction CaptureActionTable[CAPTURE_ACTION_COUNT] = {
    {0, 1100, "Ac&tive Window", "ActiveWindow", CaptureKind::Immediate, TM_ACTIVE_WINDOW, 0},
    {1, 32788, "Active Window C&lient", "ActiveWindowClient", CaptureKind::Immediate,
     TM_CLIENT_AREA, 0},
    {2, 1101, "&Control,Button,Child Window", "Control", CaptureKind::Pick, TM_CONTROL, 261},
    {3, 32791, "&Square", "Square", CaptureKind::Region, TM_SQUARE, 233},
    {4, 1168, "&Rectangle", "Rectangle", CaptureKind::Region, TM_RECTANGLE, 9},
    {5, 32790, "&Circle", "Circle", CaptureKind::Region, TM_CIRCLE, 340},
    {6, 1104, "&Ellipse", "Ellipse", CaptureKind::Region, TM_ELLIPSE, 7},
    {7, 1152, "&Polygon", "Polygon", CaptureKind::Polygon, TM_POLYGON, 255},
    {8, 1103, "&Menu", "PopupMenu", CaptureKind::Immediate, TM_MENU, 0},
    {9, 32792, "&Desktop", "Desktop", CaptureKind::Immediate, TM_DESKTOP, 0},
    {10, 32793, "Sin&gle Window", "SingleWindow", CaptureKind::Pick, TM_SINGLE_WINDOW, 10},
    {11, 1232, "&Repeat Last", "RepeatLast", CaptureKind::Repeat, TM_NONE, 0},
    {12, 32824, "De&fault Action", "Default", CaptureKind::Default, TM_NONE, 0},
};

const CaptureAction* CaptureActionForCommand(int command) {
    for (const CaptureAction& a : CaptureActionTable)
        if (a.command == command) return &a;
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
