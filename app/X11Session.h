#pragma once

#include <string>

// Everything the program does (hotkeys, captures, its windows) goes through an X server. The
// toolkit's X platform ends the process when it cannot connect, so the server is looked for
// before the toolkit starts, and the user is told when there is none.
struct X11Check {
    // Which platform the toolkit is to use: "xcb", or the headless one asked for.
    std::string platform = "xcb";
    // Empty when the server answers; otherwise why the program cannot run, in one sentence.
    std::string problem;
};

// platform: the -platform option, else $QT_QPA_PLATFORM; display: the -display option, else
// $DISPLAY. A Wayland platform asked for is replaced by X11 (through XWayland): the program
// cannot work without one. The headless platforms (offscreen, minimal) are kept unchecked.
X11Check CheckX11Session(const std::string& platform, const std::string& display);

// The message for the user: what is missing, and what works under XWayland.
std::string NoX11Message(const std::string& problem);

// Prints the message on stderr and, where a Wayland window can be shown, also in a message box.
void ReportNoX11(const std::string& message, char* programName);
