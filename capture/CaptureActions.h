#pragma once

#include "capture/CaptureTracker.h"

// The capture actions: their index (the position of their hotkey in the table, and the
// number the hook library forwards), command, menu text, registry name and kind.
enum class CaptureKind { Immediate, Pick, Region, Polygon, Repeat, Default };

struct CaptureAction {
    int index;
    int command;
    const char* menuText;
    const char* registryValue;
    CaptureKind kind;
    int trackMode;
    int cursor; // the cursor resource shown while it selects; 0 for none
    // The word that names it after --capture on the command line.
    const char* commandLineName;
};

constexpr int CAPTURE_ACTION_COUNT = 13;
constexpr int CAPTURE_REPEAT_LAST = 11;
constexpr int CAPTURE_DEFAULT = 12;
constexpr int CAPTURE_MENU = 8;

extern const CaptureAction CaptureActionTable[CAPTURE_ACTION_COUNT];

// The action of a command, or null.
const CaptureAction* CaptureActionForCommand(int command);
// The action a command-line word names, or null.
const CaptureAction* CaptureActionForName(const char* commandLineName);
// The action index Default Action runs for a "DefaultCaptureAction" value, or -1 for none.
int DefaultActionIndex(int value);
