#pragma once

// The capture actions: their index (the position of their hotkey in the table, and the
// number the hook library forwards), command, menu text, registry name and kind.
enum class CaptureKind { Immediate, Pick, Region, Polygon, Repeat, Default };

// Tracker modes of the actions that have one.
enum TrackModeValue {
    TM_NONE = 0,
    TM_RECTANGLE = 1,
    TM_SQUARE = 3,
    TM_ELLIPSE = 5,
    TM_CIRCLE = 6,
    TM_POLYGON = 17,
    TM_CLIENT_AREA = 18,
    TM_ACTIVE_WINDOW = 19,
    TM_CONTROL = 20,
    TM_SINGLE_WINDOW = 21,
    TM_MENU = 23,
    TM_DESKTOP = 24,
};

struct CaptureAction {
    int index;
    int command;
    const char* menuText;
    const char* registryValue;
    CaptureKind kind;
    int trackMode;
    int cursor; // the cursor resource shown while it selects; 0 for none
};

constexpr int CAPTURE_ACTION_COUNT = 13;
constexpr int CAPTURE_REPEAT_LAST = 11;
constexpr int CAPTURE_DEFAULT = 12;
constexpr int CAPTURE_MENU = 8;

extern const CaptureAction CaptureActionTable[CAPTURE_ACTION_COUNT];

// The action of a command, or null.
const CaptureAction* CaptureActionForCommand(int command);
// The action index Default Action runs for a "DefaultCaptureAction" value, or -1 for none.
int DefaultActionIndex(int value);
